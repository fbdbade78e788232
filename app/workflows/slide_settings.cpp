#include "app/workflows/slide_settings.h"

#include "app/catalog/image_source.h"
#include "app/params/param_strings.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/strings.h"

namespace kv {

// A quote would end a text value early, a line break would split the
// command: neither can stand in one, so they are left out.
std::string ShowLineText(const std::string& Text) {
  std::string r;
  for (char c : Text)
    if (c != '"' && c != '\r' && c != '\n') r += c;
  return r;
}

// A raw value copied over could carry blanks, quotes or line breaks into the command.
std::string ShowLineSourceOptions(const std::string& Text) {
  const TImageSourceParams read = ReadImageSourceParams(Text);
  std::string options;
  auto present = [&](const char* Key) { return ReadParamString(Text, Key, "\x01") != "\x01"; };
  if (present("Sort1")) options += WriteParamInt("Sort1", read.Sort.Sort1);
  if (present("Sort1descanding")) options += WriteParamBool("Sort1descanding", read.Sort.Sort1Descending);
  if (present("Sort2")) options += WriteParamInt("Sort2", read.Sort.Sort2);
  if (present("Sort2descanding")) options += WriteParamBool("Sort2descanding", read.Sort.Sort2Descending);
  if (present("Filetypes")) options += WriteParamInt("Filetypes", read.Filetypes);
  return Trim(options);
}

std::string ImageSourceParams(const TSlideSource& Source) {
  std::string s = WriteParamInt("SourceMode", Source.Kind);
  if (Source.Kind == 1)
    s += WriteParamString("Dir", ShowLineText(Source.Dir)) + WriteParamBool("Subdirs", Source.Subdirs);
  if (Source.Kind == 0) s += WriteParamString("catalog", ShowLineText(Source.Catalog));
  s += WriteParamBool("seperate", Source.Separate);
  s += " " + Source.Options;
  return s;
}

void TSlideFontItems::ToFont(TFont& F) const {
  F.SetColor(Color);
  F.SetHeight(Height);
  F.SetName(Name);
  TFontStyles st;
  if (Bold) st.Include(fsBold);
  if (Italic) st.Include(fsItalic);
  if (Underline) st.Include(fsUnderline);
  if (StrikeOut) st.Include(fsStrikeOut);
  F.SetStyle(st);
}

void TSlideFontItems::FromFont(const TFont& F) {
  Color = F.Color();
  Height = F.Height();
  Name = F.Name();
  Bold = F.Style().Contains(fsBold);
  Italic = F.Style().Contains(fsItalic);
  Underline = F.Style().Contains(fsUnderline);
  StrikeOut = F.Style().Contains(fsStrikeOut);
}

std::string getSlideShowOKValues(const TSlideSettings& S) {
  TFont font;
  S.Font.ToFont(font);
  font.SetName(ShowLineText(S.Font.Name));
  return WriteParamInt("Imagesizemode", S.Imagesizemode) + WriteParamInt("Anchor", S.Anchor) +
         WriteParamInt("Filter", S.Filter) + WriteParamBool("Effects", S.Effects) +
         WriteParamInt("EffectsTime", S.EffectsTime) + WriteParamInt("Soundmode", S.Soundmode < 0 ? 0 : S.Soundmode) +
         WriteParamInt("Color", int32_t(S.Color)) + WriteParamImageInfoset("Info", S.Info) + WriteParamFont(font);
}

std::string getCmdWithoutSourcesound(const TSlideSettings& S) {
  return "SlideShow " + getSlideShowOKValues(S) + WriteParamInt("Canvasmode", S.Canvasmode < 0 ? 0 : S.Canvasmode) +
         WriteParamInt("Canvasmode2width", S.Canvasmode2width) + WriteParamInt("Canvasmode2height", S.Canvasmode2height) +
         WriteParamBool("noBorder", S.noBorder) + WriteParamBool("Hidemouse", S.Hidemouse) +
         WriteParamBool("Move", S.Move) + WriteParamFloat("Interval", S.IntervalOn ? S.Interval : -1.0) +
         WriteParamBool("forever", S.forever);
}

std::string getcmdstring(const TSlideSettings& S) {
  return getCmdWithoutSourcesound(S) + WriteParamString("Soundmode1Filename", ShowLineText(S.SoundFile)) +
         ImageSourceParams(S.Source);
}

TSlideSettings SlideSettingsFromCommand(const std::string& Line) {
  TSlideSettings s;
  s.Imagesizemode = ReadParamInt(Line, "Imagesizemode", s.Imagesizemode);
  s.Anchor = ReadParamInt(Line, "Anchor", s.Anchor);
  s.Filter = ReadParamInt(Line, "Filter", s.Filter);
  s.Effects = ReadParamBool(Line, "Effects", s.Effects);
  s.EffectsTime = ReadParamInt(Line, "EffectsTime", s.EffectsTime);
  s.Soundmode = ReadParamInt(Line, "Soundmode", s.Soundmode);
  s.Color = TColor(ReadParamInt(Line, "Color", int32_t(s.Color)));
  if (ReadParamString(Line, "Info", "\x01") != "\x01") s.Info = ReadParamImageInfoset(Line, "Info");
  if (ReadParamString(Line, "fontName", "\x01") != "\x01") {
    TFont font;
    ReadParamFont(Line, font);
    s.Font.FromFont(font);
  }
  s.Canvasmode = ReadParamInt(Line, "Canvasmode", s.Canvasmode);
  s.Canvasmode2width = ReadParamInt(Line, "Canvasmode2width", s.Canvasmode2width);
  s.Canvasmode2height = ReadParamInt(Line, "Canvasmode2height", s.Canvasmode2height);
  s.noBorder = ReadParamBool(Line, "noBorder", s.noBorder);
  s.Hidemouse = ReadParamBool(Line, "Hidemouse", s.Hidemouse);
  s.Move = ReadParamBool(Line, "Move", s.Move);
  const double interval = ReadParamFloat(Line, "Interval", s.Interval);
  s.IntervalOn = interval > 0;
  if (s.IntervalOn) s.Interval = interval;
  s.forever = ReadParamBool(Line, "forever", s.forever);
  s.SoundFile = ReadParamString(Line, "Soundmode1Filename", "");
  s.Source.Kind = ReadParamInt(Line, "SourceMode", s.Source.Kind);
  s.Source.Dir = ReadParamString(Line, "Dir", "");
  s.Source.Subdirs = ReadParamBool(Line, "Subdirs", false);
  s.Source.Catalog = ReadParamString(Line, "catalog", "");
  s.Source.Separate = ReadParamBool(Line, "seperate", false);
  // The options as the image source reads them, written anew.
  if (const std::string options = ShowLineSourceOptions(Line); !options.empty()) s.Source.Options = options;
  return s;
}

bool IsPlainFileName(const std::string& Name) {
  if (Name.empty() || Name == "." || Name.find("..") != std::string::npos) return false;
  return Name.find('/') == std::string::npos && Name.find('\\') == std::string::npos &&
         Name.find('\0') == std::string::npos;
}

}  // namespace kv
