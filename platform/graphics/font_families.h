// The font families installed (fontconfig, through Qt's font database), with
// what the font lists of the dialogs filter on.
#pragma once
#include <string>
#include <vector>

namespace kv {

struct TFontFamilyInfo {
  std::string Name;
  bool Outline = false;     // scalable outline glyphs (TrueType, OpenType, Type 1)
  bool Raster = false;      // bitmap glyphs only
  bool FixedPitch = false;
  bool Symbol = false;      // a symbol or dingbat font without Latin letters
  bool Latin = false;       // covers the Latin script
};

// The families of the screen, sorted by name, each once. The printer prints
// with the same families here.
std::vector<TFontFamilyInfo> ScreenFontFamilies();

}  // namespace kv
