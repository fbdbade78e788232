#include "platform/graphics/color.h"

namespace kv {

namespace {

// A classic light scheme, so that pixels read back in tests are predictable.
TColorRef gSysColors[COLOR_ENDCOLORS + 1] = {
    RGB(200, 200, 200), RGB(0, 0, 0),       RGB(0, 84, 227),    RGB(122, 150, 223), RGB(255, 255, 255),
    RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(212, 208, 200), RGB(128, 128, 128), RGB(49, 106, 197),  RGB(255, 255, 255),
    RGB(212, 208, 200), RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(216, 228, 248),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),       RGB(255, 255, 225),
    RGB(181, 181, 181), RGB(0, 0, 128),     RGB(61, 149, 255),  RGB(157, 185, 235), RGB(49, 106, 197),
    RGB(236, 233, 216)};

}  // namespace

TColorRef GetSysColor(int32_t Index) {
  if (Index < 0 || Index > COLOR_ENDCOLORS) return 0;
  return gSysColors[Index];
}

void SetSysColor(int32_t Index, TColorRef Value) {
  if (Index >= 0 && Index <= COLOR_ENDCOLORS) gSysColors[Index] = Value;
}

TColorRef ColorToRGB(TColor Color) {
  if (Color < 0) return GetSysColor(Color & 0xFF);
  return static_cast<TColorRef>(Color) & 0x00FFFFFF;
}

}  // namespace kv
