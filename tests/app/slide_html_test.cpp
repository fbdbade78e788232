// The HTML gallery: pages tidy accepts, links and pictures that all resolve,
// names with markup characters escaped, and the settings text and ".sht" files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <regex>

#include "app/main/main_form.h"
#include "app/tools/tool_files.h"
#include "app/workflows/slide_html.h"
#include "command_fixture.h"
#include "imaging/views/io_previews.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/button.h"
#include "platform/ui/std_controls.h"
#include "support/bitmap_patterns.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;
namespace fs = std::filesystem;

class SlideHtml : public CommandTest {
 protected:
  void Picture(const std::string& Name) {
    fs::create_directories(Dir + "pics");
    TBitmap b(40, 30, pf24bit);
    Fill24(b, Pattern);
    SaveToolPicture(Dir + "pics/" + Name, b);
  }
  THtmlExportJob Job(const std::string& Options) {
    THtmlExportJob j;
    j.Show = "SlideShow Info=1 " + Options + " SourceMode=1 Dir=\"" + Dir + "pics\" Subdirs=0";
    j.Settings.MD = Dir;
    j.Settings.SD = "web";
    j.Settings.TPnc = 2;
    j.Settings.BT = {"Schöne Grüße, Straße"};
    return j;
  }
  std::string Page(const std::string& Name) { return ReadText(Dir + "web/" + Name); }
  // Every href and src of every page names a file of the folder (or a web address).
  void CheckLinks() {
    const std::regex link("(?:HREF|SRC|href|src)=\"([^\"]*)\"");
    for (const auto& e : fs::directory_iterator(Dir + "web")) {
      if (e.path().extension() != ".html") continue;
      const std::string text = ReadText(e.path().string());
      for (auto it = std::sregex_iterator(text.begin(), text.end(), link); it != std::sregex_iterator(); ++it) {
        std::string target = (*it)[1];
        if (target.rfind("https://", 0) == 0) continue;
        target = std::regex_replace(target, std::regex("&amp;"), "&");
        EXPECT_TRUE(fs::exists(Dir + "web/" + target)) << e.path() << " -> " << target;
      }
    }
  }
};

TEST_F(SlideHtml, PagesPassTidyAndEveryLinkResolves) {
  Picture("a<b>&\"c\".png");
  Picture("b.jpg");
  Picture("c.bmp");
  const THtmlExportResult r = WriteHtmlGallery(Job("Interval=3 forever=0 Soundmode=0"));
  EXPECT_TRUE(r.Failed.empty());
  EXPECT_EQ(r.Pictures, 3);
  for (const char* f : {"index.html", "0.html", "1.html", "2.html", "0.jpg", "1.jpg", "2.jpg", "p0.jpg", "p1.jpg", "p2.jpg"})
    EXPECT_TRUE(fs::exists(Dir + "web/" + f)) << f;
  if (HaveTool("tidy")) {
    for (const char* f : {"index.html", "0.html", "1.html", "2.html"}) {
      const TToolRun t = RunTool("tidy -errors -q " + Dir + "web/" + f + " 2>&1");
      EXPECT_TRUE(WIFEXITED(t.Status) && WEXITSTATUS(t.Status) < 2) << f << ": " << t.Output;
      EXPECT_EQ(t.Output.find("Error:"), std::string::npos) << f << ": " << t.Output;
    }
  }
  CheckLinks();
  // Converted pictures are JPEG under ".jpg" names.
  if (HaveTool("identify")) {
    EXPECT_EQ(RunCapture("identify -format %m " + Dir + "web/0.jpg"), "JPEG");
  }

  const std::string index = Page("index.html");
  EXPECT_NE(index.find("a&lt;b&gt;&amp;&quot;c&quot;.png"), std::string::npos);
  EXPECT_EQ(index.find("<b>"), std::string::npos);
  EXPECT_NE(index.find("Sch&ouml;ne Gr&uuml;ße, Straße"), std::string::npos);  // ";" closes entities; "ß" stays
  EXPECT_NE(index.find("BGCOLOR=\"#a0a0a0\" LINK=\"#0000ff\" VLINK=\"#000069\" TEXT=\"#000000\""), std::string::npos);
  // Three pictures in two columns: the second row holds one cell and stays open.
  const size_t row2 = index.find("  <TR ALIGN=CENTER>", index.find("  </TR>"));
  ASSERT_NE(row2, std::string::npos);
  EXPECT_EQ(index.find("  </TR>", row2), std::string::npos);

  // Without "forever": no way back from the first page, none on from the last, which does not reload.
  EXPECT_EQ(Page("0.html").find("Vorheriges"), std::string::npos);
  EXPECT_EQ(Page("2.html").find("N&auml;chstes"), std::string::npos);
  EXPECT_EQ(Page("2.html").find("REFRESH"), std::string::npos);
  EXPECT_NE(Page("0.html").find("content=\"3; URL=1.html\""), std::string::npos);
}

TEST_F(SlideHtml, ZeroSecondsMakesNoReloadingPagesAndForeverLinksRound) {
  Picture("a.png");
  Picture("b.png");
  WriteHtmlGallery(Job("Interval=0 forever=1"));
  for (const char* f : {"0.html", "1.html"}) {
    EXPECT_EQ(Page(f).find("REFRESH"), std::string::npos) << f;
    EXPECT_EQ(Page(f).find("startclock"), std::string::npos) << f;
  }
  EXPECT_NE(Page("0.html").find("[<a href=\"1.html\">Vorheriges Bild</a>]"), std::string::npos);
  CheckLinks();
}

TEST_F(SlideHtml, FixedCanvasWritesJpegUnderJpgNames) {
  Picture("a.png");
  THtmlExportJob j = Job("Canvasmode=2 Canvasmode2width=20 Canvasmode2height=20");
  j.Settings.IOca = false;  // not converted, yet resized: still a JPEG, so named ".jpg"
  WriteHtmlGallery(j);
  EXPECT_TRUE(fs::exists(Dir + "web/0.jpg"));
  EXPECT_FALSE(fs::exists(Dir + "web/0.png"));
  // The table takes the canvas, the picture its size fitted into it.
  EXPECT_NE(Page("0.html").find("<TABLE ALIGN=CENTER BORDER=2 WIDTH=\"20\" HEIGHT=\"20\"><TR ALIGN=CENTER><TD><IMG "
                                "SRC=\"0.jpg\" BORDER=0 ALT=\"a.png\" WIDTH=\"20\" HEIGHT=\"15\">"),
            std::string::npos)
      << Page("0.html");
}

// Escape held while the pages are made: the loop ends after the first
// picture's thumbnail, the overview is still closed, and the main window's
// progress bar is reset.
TEST_F(SlideHtml, EscapeEndsTheExportAfterAThumbnail) {
  for (const char* n : {"a.png", "b.png", "c.png"}) Picture(n);
  const char* oldPath = std::getenv("PATH");
  const std::string path = oldPath ? oldPath : "/usr/bin:/bin";
  fs::create_directories(Dir + "bin");
  WriteText(Dir + "bin/xdg-open", "#!/bin/sh\nexit 0\n");
  fs::permissions(Dir + "bin/xdg-open", fs::perms::owner_all);
  setenv("PATH", (Dir + "bin:" + path).c_str(), 1);

  TSlideSettings show;
  show.Source.Dir = Dir + "pics";
  (*Dialogs)->Answer(mrYes);  // an overview
  (*Dialogs)->Answer(mrYes);  // and a page per picture
  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto& form = dynamic_cast<Tslidehtmlform&>(F);
    form.MD->SetText(Dir);
    form.SD->SetText("web");
    return mrOk;
  });
  (*Dialogs)->Answer(mrOk);  // the closing message
  Form->ProgressBar1->SetPosition(50);
  NoteKeyState(VK_ESCAPE, true);
  ExportHtmlGallery(show);
  NoteKeyState(VK_ESCAPE, false);
  setenv("PATH", path.c_str(), 1);

  EXPECT_TRUE(fs::exists(Dir + "web/0.html"));
  EXPECT_TRUE(fs::exists(Dir + "web/p0.jpg"));
  EXPECT_FALSE(fs::exists(Dir + "web/1.html"));
  const std::string index = Page("index.html");
  EXPECT_NE(index.find("p0.jpg"), std::string::npos);
  EXPECT_EQ(index.find("p1.jpg"), std::string::npos);
  EXPECT_NE(index.find("</HTML>"), std::string::npos);
  EXPECT_EQ(Form->ProgressBar1->Position(), 0);
}

// "Parameter..." opens the JPEG page of the format parameters dialog on the
// stored parameters; OK keeps what was chosen, Cancel keeps the text as it was.
TEST_F(SlideHtml, ParameterButtonEditsTheJpegParameters) {
  Tslidehtmlform f(nullptr);
  THtmlSettings h;
  ReadHtmlSettings("WebSlide Quality=55", h);
  f.SetSettings(h);
  ASSERT_TRUE(f.ParamsButton->Enabled());
  for (const bool ok : {true, false}) {
    (*Dialogs)->AnswerModal([&](TCustomForm& F) {
      auto& d = dynamic_cast<TfIOPreviews&>(F);
      EXPECT_EQ(d.ActivePageKind(), ppJPEG);
      EXPECT_EQ(d.Jpeg.Quality->Text(), ok ? "55" : "70");
      d.Jpeg.Quality->SetText(ok ? "70" : "10");
      if (!ok) return mrCancel;
      d.OKButton->Click();
      return mrNone;
    });
    f.ParamsButton->Click();
    EXPECT_NE(WriteHtmlSettings(f.Settings()).find(" Quality=70"), std::string::npos) << ok;
  }
}

TEST_F(SlideHtml, TypedNamesStayInTheirFolder) {
  Picture("a.png");
  for (const auto& [sd, fn] : {std::pair<std::string, std::string>{"../out", "index.html"}, {"web", "../index.html"}}) {
    THtmlExportJob j = Job("");
    j.Settings.SD = sd;
    j.Settings.TPfn = fn;
    EXPECT_THROW(WriteHtmlGallery(j), EInOutError) << sd << ' ' << fn;
  }
  EXPECT_FALSE(fs::exists(Dir + "index.html"));
  EXPECT_FALSE(fs::exists(Dir + "../out"));
}

TEST_F(SlideHtml, SettingsTextAndShtFiles) {
  THtmlSettings h;
  EXPECT_EQ(WriteHtmlSettings(h).rfind("WebSlide TPbs=0 TPcp=4 TPnc=5 TPpt=\"Bildergalerie\"", 0), 0u);
  h.TPnc = 3;
  h.GRbc = 0x102030;
  h.AI = {"eins", "zwei"};
  h.IOca = false;
  THtmlSettings back;
  ReadHtmlSettings(WriteHtmlSettings(h), back);
  EXPECT_EQ(back.TPnc, 3);
  EXPECT_EQ(back.GRbc, 0x102030u);
  EXPECT_EQ(back.AI, (std::vector<std::string>{"eins", "zwei"}));
  EXPECT_FALSE(back.IOca);
  EXPECT_EQ(HtmlColour(0xFF), "#0000ff");

  // The window saves its settings and reads them back; missing keys keep the control's value.
  Tslidehtmlform f(nullptr);
  f.SetSettings(h);
  f.SaveSettingsFile(Dir + "my.sht");
  Tslidehtmlform g(nullptr);
  WriteText(Dir + "part.sht", "WebSlide TPnc=7\n");
  g.LoadSettingsFile(Dir + "my.sht");
  EXPECT_EQ(g.Settings().TPnc, 3);
  g.LoadSettingsFile(Dir + "part.sht");
  EXPECT_EQ(g.Settings().TPnc, 7);
  EXPECT_EQ(g.Settings().GRbc, 0x102030u);

  // The JPEG parameters travel with the settings, and saving and loading
  // again and again keeps the line as it was.
  WriteText(Dir + "q.sht", "WebSlide TPnc=2 Quality=55 Prog=1\n");
  g.LoadSettingsFile(Dir + "q.sht");
  g.SaveSettingsFile(Dir + "again.sht");
  const std::string once = ReadText(Dir + "again.sht");
  for (int i = 0; i < 3; ++i) {
    g.LoadSettingsFile(Dir + "again.sht");
    g.SaveSettingsFile(Dir + "again.sht");
  }
  EXPECT_EQ(ReadText(Dir + "again.sht"), once);
  EXPECT_NE(once.find(" Quality=55"), std::string::npos) << once;
  EXPECT_NE(once.find(" Prog=1"), std::string::npos) << once;
  EXPECT_EQ(once.find("WebSlide", 1), std::string::npos) << once;
}

}  // namespace
}  // namespace kv
