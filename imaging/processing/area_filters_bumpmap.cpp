// Bump-map lighting: the gray levels of a rectangle are a relief lit by a
// round light; its slopes shift where each pixel looks into the light map.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "imaging/model/pixel.h"
#include "imaging/processing/area_filters.h"
#include "imaging/processing/colour_convert.h"
#include "imaging/processing/row_strips.h"

namespace kv {

namespace {

// 256 x 256 bytes: a cone of light, 255 at the centre falling to 0 at radius 128.
const std::array<uint8_t, 256 * 256>& LightMap() {
  static const auto map = [] {
    std::array<uint8_t, 256 * 256> m{};
    for (int32_t i = 0; i < 256; ++i)
      for (int32_t j = 0; j < 256; ++j) {
        const double di = (i - 128) / 128.0, dj = (j - 128) / 128.0;
        double hgt = 1 - std::sqrt(di * di + dj * dj);
        if (hgt < 0) hgt = 0;
        m[size_t(i) * 256 + size_t(j)] = static_cast<uint8_t>(std::min<int64_t>(Trunc(hgt * 256), 255));
      }
    return m;
  }();
  return map;
}

}  // namespace

void BumpMap(TBitmap& Bitmap, int32_t LightX, int32_t LightY, TProgressRec& Progress, int32_t X1, int32_t Y1,
             int32_t X2, int32_t Y2, uint32_t LightColour, int32_t Mix, int32_t EY, int32_t EX) {
  if (Bitmap.PixelFormat() != pf24bit || EX == 0 || EY == 0) return;
  if (!ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
  // Inclusive from here on.
  --X2;
  --Y2;
  const int32_t rw = X2 - X1 + 1, rh = Y2 - Y1 + 1;
  const auto& light = LightMap();

  // The relief, read before any pixel changes.
  std::vector<uint8_t> gray(size_t(rw) * size_t(rh));
  RunRowStrips(Y1, Y2 + 1, int64_t(rw) * 4, [&](int32_t From, int32_t To) {
    for (int32_t y = From; y < To; ++y) {
      const auto* row = static_cast<const TBGRPixel*>(Bitmap.ScanLine(y)) + X1;
      uint8_t* g = &gray[size_t(y - Y1) * size_t(rw)];
      for (int32_t x = 0; x < rw; ++x) g[x] = GrayLevel(row[x]);
    }
  });

  // Both terms of each channel depend on one byte only: tables of the exact
  // floating-point values, rounded per pixel after the sum.
  std::array<double, 256> keep{};
  std::array<std::array<double, 256>, 3> lit{};  // blue, green, red
  const uint32_t k[3] = {LightColour & 0xFF, (LightColour >> 8) & 0xFF, (LightColour >> 16) & 0xFF};
  for (int32_t v = 0; v < 256; ++v) {
    keep[size_t(v)] = v * double(Mix) / 100;
    for (int32_t c = 0; c < 3; ++c) lit[size_t(c)][size_t(v)] = v * double(100 - Mix) / 100 * k[c] / 255;
  }
  auto channel = [&](uint8_t c, int32_t ch, uint8_t l) {
    return static_cast<uint8_t>(Clamp255(Round(keep[c] + lit[size_t(ch)][l])));
  };

  // Where the light falls across each column.
  std::vector<int32_t> colShift(static_cast<size_t>(rw));
  for (int32_t x = X1; x <= X2; ++x) colShift[size_t(x - X1)] = Trunc32((double(x) - LightX) / EX * 128);

  Progress.per1 = 100.0 / ((Y2 - Y1) + 0.5);
  const auto strip = [&](int32_t From, int32_t To) {
    for (int32_t y = From; y < To; ++y) {
      const uint8_t* g = &gray[size_t(y - Y1) * size_t(rw)];
      const uint8_t* up = &gray[size_t(std::max(y - 1, Y1) - Y1) * size_t(rw)];
      const uint8_t* down = &gray[size_t(std::min(y + 1, Y2) - Y1) * size_t(rw)];
      const int64_t rowShift = Trunc32((double(y) - LightY) / EY * 128);
      auto* px = static_cast<TBGRPixel*>(Bitmap.ScanLine(y)) + X1;
      for (int32_t x = 0; x < rw; ++x) {
        const int32_t sx = int32_t(g[std::min(x + 1, rw - 1)]) - g[std::max(x - 1, 0)];
        const int32_t sy = int32_t(down[x]) - up[x];
        const int32_t i = Clamp255(int64_t(sx) + 128 - colShift[size_t(x)]);
        const int32_t j = Clamp255(int64_t(sy) + 128 - rowShift);
        const uint8_t l = light[size_t(i) * 256 + size_t(j)];
        px[x].b = channel(px[x].b, 0, l);
        px[x].g = channel(px[x].g, 1, l);
        px[x].r = channel(px[x].r, 2, l);
      }
    }
  };
  RunRowStrips(Y1, Y2 + 1, int64_t(rw) * 24, strip, [&](int32_t y) {
    if (Progress.OnProgress)
      Progress.OnProgress(Progress.Sender, std::min(Trunc32((y - Y1 + 1) * 100.0 / ((Y2 - Y1) + 0.5)), 100));
  });
}

}  // namespace kv
