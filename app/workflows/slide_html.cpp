#include "app/workflows/slide_html.h"

#include <cstdio>

#include "app/catalog/thumbnail_cache.h"
#include "app/helpers/folder_helpers.h"
#include "app/layer/imager_layer.h"
#include "app/params/format_params.h"
#include "app/params/param_strings.h"
#include "app/tools/tool_files.h"
#include "app/workflows/slide_exports.h"
#include "app/workflows/slide_frames.h"
#include "app/catalog/image_source.h"
#include "app/workflows/slide_sources.h"
#include "app/workflows/slide_text_file.h"
#include "imaging/formats/imager_io.h"
#include "imaging/processing/resample.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/strings.h"
#include "platform/system/paths.h"

namespace kv {

// ---- settings text ----

namespace {

std::string WriteLines(const std::string& Key, const std::vector<std::string>& Lines) {
  TStringList l;
  for (const std::string& s : Lines) l.Add(StringReplace(s, "\"", "'", TReplaceFlags{rfReplaceAll}));
  return WriteParamStrings(Key, l);
}

void ReadLines(const std::string& Line, const std::string& Key, std::vector<std::string>& Out) {
  TStringList l;
  if (!ReadParamStrings(Line, Key, l)) return;
  Out.clear();
  for (int32_t i = 0; i < l.Count(); ++i) Out.push_back(l.Get(i));
}

std::string Hex6(uint32_t V) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%06X", V & 0xFFFFFF);
  return buf;
}

std::string Clean(const std::string& S) {
  std::string r;
  for (char c : S)
    if (c != '"' && c != '\r' && c != '\n') r += c;
  return r;
}

}  // namespace

std::string WriteHtmlSettings(const THtmlSettings& H) {
  return "WebSlide" + WriteParamInt("TPbs", H.TPbs) + WriteParamInt("TPcp", H.TPcp) + WriteParamInt("TPnc", H.TPnc) +
         WriteParamString("TPpt", Clean(H.TPpt)) + WriteParamString("TPt", Clean(H.TPt)) +
         WriteParamString("TPfn", Clean(H.TPfn)) + WriteParamBool("TCst", H.TCst) + WriteParamInt("TCbs", H.TCbs) +
         WriteParamBool("TCss", H.TCss) + WriteParamInt("TCw", H.TCw) + WriteParamInt("TCh", H.TCh) +
         WriteParamBool("TCew", H.TCew) + WriteParamBool("TCoo", H.TCoo) +
         WriteParamFileFormatset("Filetypes", H.Filetypes) + WriteParamInt("IPbs", H.IPbs) +
         WriteParamString("IPt", Clean(H.IPt)) + WriteParamBool("IPnb", H.IPnb) + WriteParamString("IPnp", Clean(H.IPnp)) +
         WriteParamString("IPpp", Clean(H.IPpp)) + WriteParamString("IPtn", Clean(H.IPtn)) +
         WriteParamString("IPfp", Clean(H.IPfp)) + WriteParamString("IPlp", Clean(H.IPlp)) +
         WriteParamBool("IOca", H.IOca) + WriteParamString("GRbc", Hex6(H.GRbc)) + WriteParamString("GRtc", Hex6(H.GRtc)) +
         WriteParamString("GRlc", Hex6(H.GRlc)) + WriteParamString("GRlv", Hex6(H.GRlv)) +
         WriteParamString("GRbl", Clean(H.GRbl)) + WriteParamString("GRbt", Clean(H.GRbt)) +
         WriteParamString("GRbi", Clean(H.GRbi)) + WriteLines("BT", H.BT) + WriteLines("AT", H.AT) +
         WriteLines("BI", H.BI) + WriteLines("AI", H.AI) + WriteParamString("SD", Clean(H.SD)) +
         WriteParamString("MD", Clean(H.MD)) + (H.JpegParams.empty() ? "" : " " + H.JpegParams);
}

void ReadHtmlSettings(const std::string& Line, THtmlSettings& H) {
  auto i = [&](const char* K, int32_t& V) { V = ReadParamInt(Line, K, V); };
  auto b = [&](const char* K, bool& V) { V = ReadParamBool(Line, K, V); };
  auto s = [&](const char* K, std::string& V) { V = ReadParamString(Line, K, V); };
  auto c = [&](const char* K, uint32_t& V) {
    const std::string t = ReadParamString(Line, K, "\x01");
    if (t != "\x01") V = uint32_t(StrToIntDef("$" + Trim(t), int32_t(V))) & 0xFFFFFF;
  };
  i("TPbs", H.TPbs), i("TPcp", H.TPcp), i("TPnc", H.TPnc), s("TPpt", H.TPpt), s("TPt", H.TPt), s("TPfn", H.TPfn);
  b("TCst", H.TCst), i("TCbs", H.TCbs), b("TCss", H.TCss), i("TCw", H.TCw), i("TCh", H.TCh), b("TCew", H.TCew);
  b("TCoo", H.TCoo);
  H.Filetypes = ReadParamFileFormatset(Line, "Filetypes", H.Filetypes);
  i("IPbs", H.IPbs), s("IPt", H.IPt), b("IPnb", H.IPnb), s("IPnp", H.IPnp), s("IPpp", H.IPpp), s("IPtn", H.IPtn);
  s("IPfp", H.IPfp), s("IPlp", H.IPlp), b("IOca", H.IOca);
  c("GRbc", H.GRbc), c("GRtc", H.GRtc), c("GRlc", H.GRlc), c("GRlv", H.GRlv);
  s("GRbl", H.GRbl), s("GRbt", H.GRbt), s("GRbi", H.GRbi);
  ReadLines(Line, "BT", H.BT), ReadLines(Line, "AT", H.AT), ReadLines(Line, "BI", H.BI), ReadLines(Line, "AI", H.AI);
  s("SD", H.SD), s("MD", H.MD);
  // The whole line serves as the JPEG parameters, but only their own keys are
  // kept: the settings are written with the JPEG parameters after them, and
  // keeping the whole line would make every save and load add a copy.
  TIOParamsVals jpeg(nullptr);
  ReadFormatParams(Line, jpeg, "dummy.jpg");
  try {
    H.JpegParams = Trim(WriteFormatParams(jpeg, "dummy.jpg"));
  } catch (const EParamValueError&) {
    H.JpegParams.clear();  // a comment no line can hold: the writer's defaults
  }
}

// ---- page text ----

std::string HtmlColour(uint32_t Rgb) { return "#" + LowerCase(Hex6(Rgb)); }

std::string HtmlGalleryFolder(const THtmlSettings& H) {
  return IncludeBackslash(H.MD.empty() ? HomeFolder() : H.MD) + H.SD + "/";
}

namespace {

// The one writer of every line: umlauts as entities (closed by ";") and a
// typed "\r\n" as a line break.
class TPage {
 public:
  void Line(const std::string& S) {
    std::string t = S;
    static const char* const umlauts[6][2] = {{"ä", "&auml;"}, {"ö", "&ouml;"}, {"ü", "&uuml;"},
                                              {"Ä", "&Auml;"}, {"Ö", "&Ouml;"}, {"Ü", "&Uuml;"}};
    for (const auto& u : umlauts) t = StringReplace(t, u[0], u[1], TReplaceFlags{rfReplaceAll});
    t = StringReplace(t, "\\r\\n", "<BR>", TReplaceFlags{rfReplaceAll, rfIgnoreCase});
    FText += t + "\n";
  }
  const std::string& Text() const { return FText; }

 private:
  std::string FText;
};

struct THead {
  int32_t Refresh = -1;  // seconds; -1 none
  std::string Next;
  std::string Sound;
  bool Loop = false;
  bool Clock = false;
};

void WriteHead(TPage& P, const THtmlSettings& H, const THead& Head, const std::string& Background) {
  P.Line("<!DOCTYPE html>");
  P.Line("<HTML>");
  P.Line("<HEAD>");
  P.Line("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">");
  P.Line("<META NAME=\"Generator\" CONTENT=\"Kavrelin\">");
  if (Head.Refresh >= 0)
    P.Line("<meta http-equiv=\"REFRESH\" content=\"" + IntToStr(Head.Refresh) + "; URL=" + HtmlEscape(Head.Next) + "\">");
  P.Line("<TITLE>" + HtmlEscape(H.TPpt) + "</TITLE>");
  P.Line("</HEAD>");
  std::string body = "<BODY";
  if (!Background.empty()) body += " BACKGROUND=\"" + HtmlEscape(Background) + "\"";
  body += " BGCOLOR=\"" + HtmlColour(H.GRbc) + "\" LINK=\"" + HtmlColour(H.GRlc) + "\" VLINK=\"" + HtmlColour(H.GRlv) +
          "\" TEXT=\"" + HtmlColour(H.GRtc) + "\"";
  if (Head.Clock) body += " onload=\"startclock()\"";
  P.Line(body + ">");
  // One element every browser of today plays; the old pair of sound tags is no HTML.
  if (!Head.Sound.empty())
    P.Line("<audio src=\"" + HtmlEscape(Head.Sound) + "\" autoplay" + (Head.Loop ? " loop" : "") + "></audio>");
}

void WriteFoot(TPage& P, const THtmlSettings& H) {
  P.Line("<BR><A HREF=\"" + HtmlEscape(H.GRbl) + "\">" + HtmlEscape(H.GRbt) + "</A>");
  P.Line("</BODY>");
  P.Line("</HTML>");
}

void WriteMemo(TPage& P, const std::vector<std::string>& Lines) {
  for (const std::string& l : Lines) P.Line(l);
}

std::string Dotless(const std::string& Ext) { return RemoveDots(Ext); }

}  // namespace

THtmlExportResult WriteHtmlGallery(const THtmlExportJob& Job) {
  const THtmlSettings& H = Job.Settings;
  const std::string& cmd = Job.Show;
  THtmlExportResult result;
  // Names the user typed stay inside their folders.
  if (!IsPlainFileName(H.SD)) throw EInOutError("Der Ordnername \"" + H.SD + "\" ist kein einfacher Name.");
  if (Job.Overview && !IsPlainFileName(H.TPfn))
    throw EInOutError("Der Dateiname \"" + H.TPfn + "\" ist kein einfacher Name.");
  const std::string T = HtmlGalleryFolder(H);
  result.Folder = T;
  if (!ForceDirectories(T)) throw EInOutError("Das Verzeichnis " + T + " kann nicht angelegt werden.");

  const int32_t soundMode = ReadParamInt(cmd, "Soundmode", 0);
  const std::vector<std::string> files = ListImageSource(cmd);
  const int32_t n = int32_t(files.size());
  result.Pictures = n;
  const bool forever = ReadParamBool(cmd, "forever", false);
  const double interval = ReadParamFloat(cmd, "Interval", -1);
  // A change after 0 seconds would reload the pages in a loop: such a show changes on request only.
  const int32_t seconds = int32_t(interval);
  const bool automatic = interval > 0 && seconds >= 1;
  const bool fixedCanvas = ReadParamInt(cmd, "Canvasmode", 0) == 2;
  const int32_t cw = ReadParamInt(cmd, "Canvasmode2width", 400), ch = ReadParamInt(cmd, "Canvasmode2height", 400);
  const tImageInfoset showInfo = tImageInfoset::FromMask(uint32_t(ReadParamInt(cmd, "Info", 0)));

  TCopyList copies;
  auto copy = [&](const std::string& From, const std::string& To) {
    copies.Sources.push_back(From);
    copies.Targets.push_back(To);
  };
  std::string music;
  const std::string soundFile = ReadParamString(cmd, "Soundmode1Filename", "");
  if (soundMode == 1 && !soundFile.empty() && FileExists(soundFile)) {
    music = "music" + LowerCase(ExtractFileExt(soundFile));
    copy(soundFile, T + music);
  }
  std::string background;
  const std::string bgFile = Clean(H.GRbi);
  if (!bgFile.empty() && FileExists(bgFile)) {
    background = "back" + LowerCase(ExtractFileExt(bgFile));
    copy(bgFile, T + background);
  }

  TPage overview;
  if (Job.Overview) {
    THead head;
    head.Sound = music;
    head.Loop = true;
    WriteHead(overview, H, head, background);
    overview.Line("<H1><CENTER>" + HtmlEscape(H.TPpt) + "</CENTER></H1>");
    WriteMemo(overview, H.BT);
    overview.Line("<TABLE CELLPADDING=" + IntToStr(H.TPcp) + " WIDTH=\"100%\" BORDER=" + IntToStr(H.TPbs) + ">");
    overview.Line("  <COLGROUP SPAN=" + IntToStr(std::max(1, H.TPnc)) + ">");
    overview.Line("  </COLGROUP>");
  }
  const int32_t columns = std::max(1, H.TPnc);

  for (int32_t i = 0; i < n; ++i) {
    const std::string& pic = files[size_t(i)];
    TImageInfoTexts info;
    tcache().Lookup(pic, nullptr, info);
    const std::string ownExt = LowerCase(ExtractFileExt(pic));
    const bool convert = H.IOca && ownExt != ".jpg" && ownExt != ".jpeg";
    // Whatever is written as JPEG is named so.
    const bool asJpeg = fixedCanvas || convert;
    const std::string ext = asJpeg ? ".jpg" : ownExt;
    const std::string name = IntToStr(i) + ext;
    std::string next = (i + 1 < n || forever) ? IntToStr((i + 1) % n) + ".html" : "";
    std::string prev = (i > 0 || forever) ? IntToStr((i + n - 1) % n) + ".html" : "";

    TBitmap picture;
    bool loaded = false;
    int32_t shownW = 0, shownH = 0;
    if (asJpeg) {
      try {
        LoadToolPicture(pic, picture);
        loaded = true;
        if (fixedCanvas) {
          FitShownSize(1, cw, ch, picture.Width(), picture.Height(), shownW, shownH);
          TBitmap fitted(std::max(1, shownW), std::max(1, shownH), pf24bit);
          ResampleBitmapProgress(picture, fitted, rfNone, nullptr, {});
          picture.TakeOver(fitted);
        }
        TImagerIO io(nullptr);
        io.AttachBitmap(&picture);
        ReadFormatParams(H.JpegParams, io.Params(), "dummy.jpg");
        io.SaveToFileByExtension(T + name);
        if (io.Aborted()) throw EInOutError(io.AbortReason());
      } catch (const Exception&) {
        result.Failed.push_back(pic);
      }
    } else {
      copy(pic, T + name);
    }

    if (Job.PicturePages) {
      TPage page;
      std::string sound;
      bool loop = false;
      if (soundMode == 2 && FileExists(pic + ".wav")) {
        sound = IntToStr(i) + Dotless(ext) + ".wav";
        copy(pic + ".wav", T + sound);
      } else if (soundMode == 1 && !music.empty() && !H.TCew) {
        sound = music;
        loop = true;
      }
      THead head;
      if (automatic && !next.empty()) {
        head.Refresh = seconds;
        head.Next = next;
      }
      head.Clock = automatic;
      head.Sound = sound;
      head.Loop = loop;
      WriteHead(page, H, head, background);
      page.Line("<H1><CENTER>" + HtmlEscape(H.IPt) + "</CENTER></H1>");
      WriteMemo(page, H.BI);
      if (H.IPnb) {
        page.Line("<BR>");
        auto link = [&](const std::string& Target, const std::string& Text) {
          if (!Target.empty()) page.Line("[<a href=\"" + HtmlEscape(Target) + "\">" + HtmlEscape(Text) + "</a>]");
        };
        link(next, H.IPnp);
        if (Job.Overview) link(H.TPfn, H.IPtn);
        link(prev, H.IPpp);
        link("0.html", H.IPfp);
        link(IntToStr(n - 1) + ".html", H.IPlp);
        page.Line("<BR><BR>");
      }
      // A fixed canvas gives the table the canvas size and the picture its size fitted into it.
      std::string canvas, size;
      if (fixedCanvas) canvas = " WIDTH=\"" + IntToStr(cw) + "\" HEIGHT=\"" + IntToStr(ch) + "\"";
      if (fixedCanvas && loaded)
        size = " WIDTH=\"" + IntToStr(shownW) + "\" HEIGHT=\"" + IntToStr(shownH) + "\"";
      page.Line("<TABLE ALIGN=CENTER BORDER=" + IntToStr(H.IPbs) + canvas + "><TR ALIGN=CENTER><TD><IMG SRC=\"" +
                HtmlEscape(name) + "\" BORDER=0 ALT=\"" + HtmlEscape(info[tImageInfo::filename]) + "\"" + size +
                "></TD></TR></TABLE><BR>");
      page.Line("<CENTER>");
      for (int k = 0; k < kImageInfoCount; ++k)
        if (showInfo.Contains(tImageInfo(k))) page.Line("      " + HtmlEscape(info[size_t(k)]) + "<BR>");
      page.Line("</CENTER>");
      if (automatic) {
        page.Line("<script type=\"text/javascript\">");
        page.Line("var x = " + IntToStr(seconds) + ";");
        page.Line("function startclock() {");
        page.Line("  x = x - 1;");
        page.Line("  document.form0.clock.value = x;");
        page.Line("  setTimeout(startclock, 1000);");
        page.Line("}");
        page.Line("</script>");
        page.Line("<form name=\"form0\" action=\"#\"><input type=\"text\" size=\"4\" name=\"clock\" style=\"text-align: "
                  "center\"></form> ");
      }
      WriteMemo(page, H.AI);
      WriteFoot(page, H);
      WriteTextFile(T + IntToStr(i) + ".html", page.Text());
    }

    if (Job.Overview) {
      if (i % columns == 0) overview.Line("  <TR ALIGN=CENTER>");
      overview.Line("    <TD ALIGN=CENTER VALIGN=MIDDLE>");
      const std::string target = Job.PicturePages ? IntToStr(i) + ".html" : name;
      const std::string window = H.TCew ? (H.TCoo ? " target=\"new\"" : " target=\"_blank\"") : "";
      const std::string open = "<A HREF=\"" + HtmlEscape(target) + "\"" + window + ">";
      if (H.TCst) {
        const std::string thumb = "p" + IntToStr(i) + ".jpg";
        try {
          if (!loaded) {
            LoadToolPicture(pic, picture);
            loaded = true;
          }
          TBitmap small;
          if (H.TCss) {
            int32_t tw = 0, th = 0;
            FitShownSize(1, std::max(1, H.TCw), std::max(1, H.TCh), picture.Width(), picture.Height(), tw, th);
            small.SetSize(std::max(1, tw), std::max(1, th));
            ResampleBitmapProgress(picture, small, rfNone, nullptr, {});
          } else {
            small.Assign(&picture);
          }
          SaveToolPicture(T + thumb, small);
        } catch (const Exception&) {
          result.Failed.push_back(pic);
        }
        overview.Line("<TABLE BORDER=" + IntToStr(H.TCbs) + " ALIGN=CENTER><TR><TD>" + open + "<IMG SRC=\"" + thumb +
                      "\" BORDER=0 ALT=\"" + HtmlEscape(info[tImageInfo::filename]) + "\"></A></TD></TR></TABLE>");
      }
      overview.Line("    " + open);
      for (int k = 0; k < kImageInfoCount; ++k)
        if (Job.ThumbInfo.Contains(tImageInfo(k))) overview.Line("      " + HtmlEscape(info[size_t(k)]) + "<BR>");
      overview.Line("    </A>");
      overview.Line("    </TD>");
      if (i % columns == columns - 1) overview.Line("  </TR>");
    }
    if (Job.OnProgress) Job.OnProgress(i + 1, n);
    if (Job.Abort && Job.Abort->load()) break;
  }

  if (Job.Overview) {
    overview.Line("</TABLE><BR>");
    WriteMemo(overview, H.AT);
    WriteFoot(overview, H);
    WriteTextFile(T + H.TPfn, overview.Text());
  }
  for (const std::string& f : RunCopies(copies)) result.Failed.push_back(f);
  result.FirstPage = Job.Overview ? H.TPfn : "0.html";
  return result;
}

}  // namespace kv
