// The exports of a slide show: the CD folder (its files, "show.ini" and the
// autorun script that starts the player there), the screen-saver module and
// its entry in xscreensaver's list, and the wallpaper changer under a fake gsettings.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

#include "app/catalog/image_source.h"
#include "app/helpers/folder_helpers.h"
#include "app/startup/hand_over.h"
#include "app/tools/tool_files.h"
#include "app/workflows/slide_exports.h"
#include "app/workflows/wallpaper_form.h"
#include "command_fixture.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/popup_menu.h"
#include "platform/ui/timer.h"
#include "support/bitmap_patterns.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;
namespace fs = std::filesystem;

class SlideExports : public CommandTest {
 protected:
  void Picture(const std::string& Path, TBGRPixel P = TBGRPixel{10, 20, 30}) {
    fs::create_directories(fs::path(Path).parent_path());
    TBitmap b(8, 6, pf24bit);
    FillFlat24(b, P);
    SaveToolPicture(Path, b);
  }
  TSlideSettings Folder(const std::string& D, bool Subdirs) {
    TSlideSettings s;
    s.Source.Dir = D;
    s.Source.Subdirs = Subdirs;
    return s;
  }
};

TEST_F(SlideExports, CommonFoldersByWholeNamesWithCase) {
  struct TCase {
    std::vector<std::string> Files;
    size_t Length;
  };
  const TCase cases[] = {
      {{"/p/A/x.png", "/p/B/y.png"}, 3},
      {{"/p/A/x.png"}, 5},
      {{"/a/bc/x.png", "/a/b/y.png"}, 3},  // "b" is no prefix of "bc"
      {{"/P/x.png", "/p/y.png"}, 1},       // names keep their case here
      {{}, 0},
  };
  for (const TCase& c : cases) EXPECT_EQ(CommonFolderLength(c.Files), c.Length) << c.Files.size();
}

TEST_F(SlideExports, CDFolderHoldsPicturesCommentsProgramAndAutorun) {
  SetProgramFolder(KV_PROGRAM_DIR);
  Picture(Dir + "show/A/x.png");
  Picture(Dir + "show/B/y.png");
  WriteText(Dir + "show/A/x.png.txt", "Am Strand");
  WriteText(Dir + "show/B/y.png.wav", "RIFF");
  TSlideSettings s = Folder(Dir + "show", true);
  s.Soundmode = 2;
  const std::string target = Dir + "burn/";
  EXPECT_TRUE(WriteCDFolder(s, target).empty());
  for (const char* f : {"Pics/A/x.png", "Pics/B/y.png", "Pics/A/x.png.txt", "Pics/B/y.png.wav", "show",
                        "kavrelin-editor", "autorun", "autorun.inf", "show.ini"})
    EXPECT_TRUE(fs::exists(target + f)) << f;
  EXPECT_EQ(ReadText(target + "show.ini"), CDFolderShowIni(s) + "\n");
  EXPECT_NE(ReadText(target + "show.ini").find(" SourceMode=1 Dir=\"Pics\" Subdirs=1"), std::string::npos);
  EXPECT_EQ(ReadText(target + "autorun.inf"), "[autorun]\r\nOPEN=show.exe\r\nICON=show.exe,0\r\n");
  EXPECT_TRUE(::access((target + "autorun").c_str(), X_OK) == 0);
  EXPECT_TRUE(::access((target + "show").c_str(), X_OK) == 0);

  // A single picture goes straight into "Pics/".
  const TCopyList one = CDFolderCopies(Folder(Dir + "show/A", false), {Dir + "show/A/x.png"}, target);
  EXPECT_EQ(one.Targets[0], target + "Pics/x.png");
  SetProgramFolder("");
}

// The exports list the show's source as the player does: a catalog's entries
// of kinds the show leaves out are not copied.
TEST_F(SlideExports, CDFolderTakesOnlyTheChosenKindsOfACatalog) {
  SetProgramFolder(KV_PROGRAM_DIR);
  Picture(Dir + "show/x.png");
  Picture(Dir + "show/y.bmp");
  Picture(Dir + "show/z.png");
  WriteText(Dir + "show.pcf", Dir + "show/x.png\n" + Dir + "show/y.bmp\n" + Dir + "show/z.png\n");
  TSlideSettings s;
  s.Source.Kind = 0;
  s.Source.Catalog = Dir + "show.pcf";
  s.Source.Options = "Sort1=1 Filetypes=2";  // PNG only
  const std::string target = Dir + "burn/";
  EXPECT_TRUE(WriteCDFolder(s, target).empty());
  EXPECT_TRUE(fs::exists(target + "Pics/x.png"));
  EXPECT_TRUE(fs::exists(target + "Pics/z.png"));
  EXPECT_FALSE(fs::exists(target + "Pics/y.bmp"));
  SetProgramFolder("");
}

// A quote in the music's name or a line break in the source options would end
// a value early or split the command: "show.ini" stays one line that names
// the copied music and keeps the options.
TEST_F(SlideExports, CDFolderShowIniHoldsNamesWithQuotesAndBreaks) {
  SetProgramFolder(KV_PROGRAM_DIR);
  Picture(Dir + "show/x.png");
  WriteText(Dir + "Das \"Lied\".wav", "RIFF");
  TSlideSettings s = Folder(Dir + "show", false);
  s.Soundmode = 1;
  s.SoundFile = Dir + "Das \"Lied\".wav";
  s.Source.Options = "Sort1=2 Filetypes=2 \r\nSort2=\"3";
  const std::string target = Dir + "burn/";
  std::vector<std::string> failed;
  ASSERT_NO_THROW(failed = WriteCDFolder(s, target));
  EXPECT_TRUE(failed.empty());
  const std::string ini = ReadText(target + "show.ini");
  ASSERT_FALSE(ini.empty());
  EXPECT_EQ(ini.find_first_of("\r\n"), ini.size() - 1) << ini;
  const std::string line = ini.substr(0, ini.size() - 1);
  const TSlideSettings back = SlideSettingsFromCommand(line);
  EXPECT_EQ(back.SoundFile, "Das Lied.wav");
  EXPECT_TRUE(fs::exists(target + back.SoundFile));
  EXPECT_EQ(back.Source.Dir, "Pics");
  const TImageSourceParams source = ReadImageSourceParams(line);
  EXPECT_EQ(source.Sort.Sort1, 2);
  EXPECT_EQ(source.Filetypes, 2);
  SetProgramFolder("");
}

TEST_F(SlideExports, CopyErrorsAreReported) {
  TCopyList list;
  list.Sources = {Dir + "missing.png"};
  list.Targets = {Dir + "out/missing.png"};
  EXPECT_EQ(RunCopies(list), list.Sources);
}

// The autorun script starts the player of the folder: its show's broken picture
// ends the show with the message, which goes to standard error without a display.
TEST_F(SlideExports, AutorunStartsThePlayerInItsFolder) {
  SetProgramFolder(KV_PROGRAM_DIR);
  fs::create_directories(Dir + "show");
  WriteText(Dir + "show/broken.png", "no picture");
  const std::string target = Dir + "media/burn/";
  ASSERT_TRUE(WriteCDFolder(Folder(Dir + "show", false), target).empty());
  SetProgramFolder("");
  const TToolRun r = RunTool("cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME=" + Dir +
                             " XDG_RUNTIME_DIR=" + Dir + " XDG_CONFIG_HOME=" + Dir + "config timeout 60 " + target +
                             "autorun 2>&1");
  EXPECT_TRUE(WIFEXITED(r.Status) && WEXITSTATUS(r.Status) == 0) << r.Output;
  EXPECT_NE(r.Output.find("Kein Bild der Diaschau kann geladen werden"), std::string::npos) << r.Output;
}

TEST_F(SlideExports, ScreenSaverModuleJoinsTheXScreenSaverList) {
  const std::string config = Dir + ".xscreensaver";
  WriteText(config, "timeout:\t0:10:00\nprograms:\t\\\n\t\t\t\t\"Qix\" qix -root\t\t\t\t    \\n\\\n\n");
  EXPECT_TRUE(AddToXScreenSaverList(config, "/home/u/.local/share/kavrelin/kavrelin.scr"));
  EXPECT_TRUE(AddToXScreenSaverList(config, "/home/u/.local/share/kavrelin/kavrelin.scr"));  // once only
  const std::string text = ReadText(config);
  const size_t at = text.find("\"Kavrelin Diashow\" /home/u/.local/share/kavrelin/kavrelin.scr -root \\n\\");
  ASSERT_NE(at, std::string::npos) << text;
  EXPECT_EQ(text.find("kavrelin.scr", text.find("kavrelin.scr", at) + 1), std::string::npos);
  EXPECT_LT(text.find("programs:"), at);
  EXPECT_LT(at, text.find("\"Qix\""));

  // The screen saver's show always fills the screen, hides the mouse and repeats.
  TSlideSettings s = Folder("/pics", false);
  s.Canvasmode = 2;
  s.noBorder = false;
  s.forever = false;
  s.IntervalOn = false;
  const std::string ini = ScreenSaverShowIni(s);
  for (const char* item : {"SLIDESHOW ", " Canvasmode=0", " noBorder=1", " Hidemouse=1", " forever=1", " Interval=99.00000000"})
    EXPECT_NE(ini.find(item), std::string::npos) << item;
}

class WallpaperChanger : public SlideExports {
 protected:
  void SetUp() override {
    SlideExports::SetUp();
    // gsettings as the desktop's: every call is written down.
    fs::create_directories(Dir + "bin");
    WriteText(Dir + "bin/gsettings", "#!/bin/sh\necho \"$@\" >> \"" + Dir + "gsettings.log\"\n");
    ::chmod((Dir + "bin/gsettings").c_str(), 0755);
    FOldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (Dir + "bin:" + FOldPath).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", FOldPath.c_str(), 1);
    SlideExports::TearDown();
  }
  int32_t SetCalls() {
    const std::string log = fs::exists(Dir + "gsettings.log") ? ReadText(Dir + "gsettings.log") : "";
    int32_t n = 0;
    for (size_t at = log.find("set org.gnome.desktop.background picture-uri "); at != std::string::npos;
         at = log.find("set org.gnome.desktop.background picture-uri ", at + 1))
      ++n;
    return n;
  }
  std::string FOldPath;
};

TEST_F(WallpaperChanger, EachTickSetsTheNextPicture) {
  Picture(Dir + "w/a.png", TBGRPixel{0, 0, 255});
  Picture(Dir + "w/b.png", TBGRPixel{0, 255, 0});
  TSlideSettings s = Folder(Dir + "w", false);
  s.forever = false;
  WriteText(WindowsFolder() + "wallp.ini", getcmdstring(s) + "\n");
  TwallpaperForm f(nullptr);
  ASSERT_TRUE(f.Start(WindowsFolder() + "wallp.ini"));
  EXPECT_EQ(f.Index(), 0);
  EXPECT_EQ(f.Timer1->Interval(), 10000u);
  EXPECT_TRUE(f.Timer1->Enabled());
  EXPECT_EQ(SetCalls(), 1);
  f.Timer1Timer();
  EXPECT_EQ(f.Index(), 1);
  EXPECT_EQ(SetCalls(), 2);
  f.Timer1Timer();  // without "forever" the last picture again
  EXPECT_EQ(f.Index(), 1);
  f.Stopped = true;
  f.Timer1Timer();
  EXPECT_EQ(SetCalls(), 3);
  f.Previous();
  EXPECT_EQ(f.Index(), 0);
  TBitmap wall;
  LoadToolPicture(TwallpaperForm::WallpaperFile(), wall);
  EXPECT_EQ(static_cast<const uint8_t*>(wall.ScanLine(0))[2], 255);  // the red first picture
}

TEST_F(WallpaperChanger, MissingShowOrPicturesEndWithAMessage) {
  TwallpaperForm f(nullptr);
  EXPECT_FALSE(f.Start(WindowsFolder() + "none.ini"));
  WriteText(WindowsFolder() + "wallp.ini", "");
  EXPECT_FALSE(f.Start(WindowsFolder() + "wallp.ini"));
  fs::create_directories(Dir + "empty");
  WriteText(WindowsFolder() + "wallp.ini", getcmdstring(Folder(Dir + "empty", false)) + "\n");
  EXPECT_FALSE(f.Start(WindowsFolder() + "wallp.ini"));
  EXPECT_EQ(Shown().size(), 3u);
  EXPECT_EQ(SetCalls(), 0);
}

TEST_F(WallpaperChanger, WithoutIntervalOneMinuteAndNegativeStopsTheTimer) {
  Picture(Dir + "w/a.png");
  for (const auto& [interval, ms] : {std::pair<std::string, uint32_t>{"", 60000}, {" Interval=-1.00000000", 0}}) {
    WriteText(WindowsFolder() + "wallp.ini",
              "SlideShow SourceMode=1 Dir=\"" + Dir + "w\"" + interval + "\n");
    TwallpaperForm f(nullptr);
    ASSERT_TRUE(f.Start(WindowsFolder() + "wallp.ini"));
    EXPECT_EQ(f.Timer1->Interval(), ms) << interval;
    EXPECT_EQ(f.Timer1->Enabled(), ms > 0) << interval;
  }
}

TEST_F(WallpaperChanger, MenuTogglesTheAutostartLink) {
  Picture(Dir + "w/a.png");
  WriteText(WindowsFolder() + "wallp.ini", getcmdstring(Folder(Dir + "w", false)) + "\n");
  TwallpaperForm f(nullptr);
  ASSERT_TRUE(f.Start(WindowsFolder() + "wallp.ini"));
  std::vector<std::string> seen;
  SetPopupRunner([&](TPopupMenu& M, int32_t, int32_t) {
    seen.clear();
    for (const TPopupItem& it : M.Items()) seen.push_back(it.Caption + (it.Checked ? "*" : ""));
    return 0;  // "Autostart"
  });
  f.TrayMessage(WM_RBUTTONUP);
  EXPECT_EQ(seen, (std::vector<std::string>{"Autostart", "Desktop Link", "-", "Next", "Previous", "First", "Last",
                                            "Stop", "No Wallpaper", "-", "Exit"}));
  EXPECT_TRUE(fs::exists(TwallpaperForm::LinkFile(true)));
  f.TrayMessage(WM_LBUTTONUP);
  EXPECT_EQ(seen[0], "Autostart*");
  EXPECT_FALSE(fs::exists(TwallpaperForm::LinkFile(true)));
  SetPopupRunner(nullptr);
}

}  // namespace
}  // namespace kv
