#include "imaging/model/pixel.h"

namespace kv {

bool IsGrayBitmap(const TBitmap& Bitmap) {
  if (Bitmap.PixelFormat() != pf24bit) return false;
  for (int32_t y = 0; y < Bitmap.Height(); ++y) {
    const auto* p = static_cast<const TBGRPixel*>(Bitmap.ScanLine(y));
    for (int32_t x = 0; x < Bitmap.Width(); ++x)
      if (p[x].r != p[x].g || p[x].g != p[x].b) return false;
  }
  return true;
}

}  // namespace kv
