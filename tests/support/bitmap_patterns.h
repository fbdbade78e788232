// Filling 24-bit bitmaps with test pictures given as a colour per pixel.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"

namespace kv::test {

using TPixelAt = std::function<TBGRPixel(int32_t x, int32_t y)>;

inline TBGRPixel Gray(uint8_t V) { return TBGRPixel{V, V, V}; }

// Every pixel of a pf24bit B, at its present size; the row padding is left alone.
inline void Fill24(TBitmap& B, const TPixelAt& Colour) {
  if (B.Empty()) return;  // a bitmap 0 pixels wide has no rows to ask for
  for (int32_t y = 0; y < B.Height(); ++y) {
    auto* row = static_cast<TBGRPixel*>(B.ScanLine(y));
    for (int32_t x = 0; x < B.Width(); ++x) row[x] = Colour(x, y);
  }
}

inline void FillFlat24(TBitmap& B, TBGRPixel P) {
  Fill24(B, [P](int32_t, int32_t) { return P; });
}

// Makes B a W x H pf24bit bitmap first.
inline void Paint24(TBitmap& B, int32_t W, int32_t H, const TPixelAt& Colour) {
  B.SetPixelFormat(pf24bit);
  B.SetSize(W, H);
  Fill24(B, Colour);
}

inline std::unique_ptr<TBitmap> Make24(int32_t W, int32_t H, const TPixelAt& Colour) {
  auto b = std::make_unique<TBitmap>(W, H, pf24bit);
  Fill24(*b, Colour);
  return b;
}

}  // namespace kv::test
