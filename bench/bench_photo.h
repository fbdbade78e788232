// A synthetic photo-like 24-bit picture for the benchmarks: smooth gradients,
// a few hard edges and fine noise, the same for every run.
#pragma once
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/graphics/bitmap.h"

namespace kv::bench {

inline void FillPhoto(TBitmap& Bmp) {
  const int32_t w = Bmp.Width(), h = Bmp.Height();
  std::vector<float> cx(size_t(w) * 3), cy(size_t(h) * 3);
  for (int32_t x = 0; x < w; ++x)
    for (int c = 0; c < 3; ++c) cx[size_t(x) * 3 + c] = 70.0f * std::sin(x * 0.0021f + c * 1.3f);
  for (int32_t y = 0; y < h; ++y)
    for (int c = 0; c < 3; ++c) cy[size_t(y) * 3 + c] = 50.0f * std::cos(y * 0.0017f - c * 0.7f);
  uint32_t state = 0x9E3779B9u;
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(Bmp.ScanLine(y));
    for (int32_t x = 0; x < w; ++x) {
      // Bright rectangles give the picture edges to ring on.
      const int edge = (((x / 700) + (y / 500)) % 3 == 0 && (x % 700) < 400 && (y % 500) < 300) ? 40 : 0;
      for (int c = 0; c < 3; ++c) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        const float v = 128.0f + cx[size_t(x) * 3 + c] + cy[size_t(y) * 3 + c] + edge + float(state & 15) - 7.5f;
        row[3 * x + c] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
}

// The 6000 x 4000 photo every benchmark works on, made once.
inline const TBitmap& Photo() {
  static const std::unique_ptr<TBitmap> photo = [] {
    auto b = std::make_unique<TBitmap>(6000, 4000, pf24bit);
    FillPhoto(*b);
    return b;
  }();
  return *photo;
}

}  // namespace kv::bench
