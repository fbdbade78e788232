// The slide-show command: the settings of the setup window as one record,
// the command line built from them, and the record read back from a line,
// so that a saved show opens the window as it was set up.
#pragma once
#include <cstdint>
#include <string>

#include "app/params/file_kind_types.h"
#include "platform/graphics/color.h"

namespace kv {

class TFont;

// Where the pictures of a show come from: the two sources a show may use.
struct TSlideSource {
  int32_t Kind = 1;  // 0 "Katalog", 1 "Verzeichnis"
  std::string Catalog;
  std::string Dir;
  bool Subdirs = false;
  bool Separate = false;
  // The sort keys and the file kinds, as the source's options dialog writes them.
  std::string Options = "Sort1=1";
};

// "SourceMode", "Dir" and "Subdirs" (folder) or "catalog", "seperate", then the options text.
std::string ImageSourceParams(const TSlideSource& Source);

struct TSlideFontItems {
  TColor Color = clWhite;
  int32_t Height = 38;
  std::string Name = "Times New Roman";
  bool Bold = false, Italic = false, Underline = false, StrikeOut = false;
  void ToFont(TFont& Font) const;
  void FromFont(const TFont& Font);
};

struct TSlideSettings {
  int32_t Imagesizemode = 0;  // index of "Bildgröße"
  int32_t Anchor = 0;
  int32_t Filter = 0;
  bool Effects = true;
  int32_t EffectsTime = 2;
  int32_t Soundmode = 0;  // -1: no choice made, written as 0
  TColor Color = clBlack;
  tImageInfoset Info{tImageInfo::filename, tImageInfo::filedate, tImageInfo::textcomment};
  TSlideFontItems Font;
  int32_t Canvasmode = 0;  // -1: no choice made, written as 0
  int32_t Canvasmode2width = 400;
  int32_t Canvasmode2height = 400;
  bool noBorder = true;
  bool Hidemouse = false;
  bool Move = true;
  bool IntervalOn = true;  // "nächstes Bild nach"
  double Interval = 10;
  bool forever = true;  // "nach Beenden wiederhohlen"
  std::string SoundFile;
  TSlideSource Source;
};

// The display part: size mode, anchor, filter, effects, sound mode, colour, information and font.
std::string getSlideShowOKValues(const TSlideSettings& S);
// "SlideShow " with the display part and the window part.
std::string getCmdWithoutSourcesound(const TSlideSettings& S);
// The whole command: the sound file (its double quotes removed) and the image source follow.
std::string getcmdstring(const TSlideSettings& S);

// The record a command line describes; what the line lacks keeps the setup window's default.
TSlideSettings SlideSettingsFromCommand(const std::string& Line);

// A text as a value of a show line can hold it: quotes and line breaks left out.
std::string ShowLineText(const std::string& Text);
// The sort keys and file kinds that Text names, as the image source reads
// them, written anew; keys the text lacks stay out.
std::string ShowLineSourceOptions(const std::string& Text);

// A name the user typed for a file of the program's own folders: a plain
// name, so the file stays inside its folder. False for an empty name, for
// one holding a path delimiter or "..", and for "." alone.
bool IsPlainFileName(const std::string& Name);

}  // namespace kv
