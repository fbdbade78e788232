// GDI failures as exceptions, bitmap colour tables, and colours on the HLS
// scale of the system colour dialog (hue 0..239, luminance and saturation 0..240).
#pragma once
#include <cstdint>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"

namespace kv {

constexpr char SOutOfResources[] = "Systemressourcen erschöpft.";

struct THLS {
  uint8_t Hue = 0;
  uint8_t Luminance = 0;
  uint8_t Saturation = 0;
};

// Raises EOutOfResources with the text of the thread's last system error
// (at most 256 characters), or SOutOfResources when there is none.
[[noreturn]] void RaiseGDIError();
// Value itself, or RaiseGDIError when it is 0.
template <typename T>
T CheckGDI(T Value) {
  if (Value == T(0)) RaiseGDIError();
  return Value;
}

// Colours[FirstIndex..LastIndex] become palette entries FirstIndex..LastIndex
// of the bitmap; a bitmap without a colour table raises the GDI error.
void SetBitmapColorTable(TBitmap& Bitmap, const TColor* Colors, int32_t LastIndex, int32_t FirstIndex = 0);

THLS RGBToHLS(TColor Color);
TColor HLSToRGB(int32_t Hue, int32_t Luminance, int32_t Saturation);

}  // namespace kv
