// Pixel comparisons of the PNM, PCX and TGA tests: a bitmap of 1 or 24 bits
// against raw RGB bytes an outside tool printed, or against another bitmap.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"

namespace kv::test {

// The colour of pixel (X, Y) of a pf1bit (set bit white) or pf24bit bitmap.
inline TBGRPixel PixelOf(const TBitmap& B, int32_t X, int32_t Y) {
  const auto* row = static_cast<const uint8_t*>(B.ScanLine(Y));
  if (B.PixelFormat() == pf1bit) return GetBit(row, X) ? TBGRPixel{255, 255, 255} : TBGRPixel{0, 0, 0};
  return TBGRPixel{row[3 * X], row[3 * X + 1], row[3 * X + 2]};
}

// Largest channel difference to Width x Height RGB triples; 999 when the size differs.
inline int MaxDiffToRgb(const TBitmap& B, const std::string& Rgb) {
  if (B.Empty() || Rgb.size() != size_t(B.Width()) * size_t(B.Height()) * 3) return 999;
  int worst = 0;
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x) {
      const TBGRPixel p = PixelOf(B, x, y);
      const auto* r = reinterpret_cast<const uint8_t*>(Rgb.data()) + (size_t(y) * size_t(B.Width()) + size_t(x)) * 3;
      worst = std::max({worst, std::abs(p.r - r[0]), std::abs(p.g - r[1]), std::abs(p.b - r[2])});
    }
  return worst;
}

// Largest channel difference between two bitmaps of any of the two formats; 999 when the sizes differ.
inline int MaxDiff(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height()) return 999;
  int worst = 0;
  for (int32_t y = 0; y < A.Height(); ++y)
    for (int32_t x = 0; x < A.Width(); ++x) {
      const TBGRPixel p = PixelOf(A, x, y), q = PixelOf(B, x, y);
      worst = std::max({worst, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
    }
  return worst;
}

}  // namespace kv::test
