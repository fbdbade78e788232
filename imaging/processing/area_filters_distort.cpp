// The wave and lens distortions: each output pixel is read from a displaced
// position of an unchanged copy of the picture.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "imaging/model/pixel.h"
#include "imaging/processing/area_filters.h"
#include "imaging/processing/row_strips.h"

namespace kv {

namespace {

// Bilinear sample at the source position (SX, SY). The top-left neighbour is
// held inside the picture; the fractions come from the unheld position, and
// a neighbour outside the picture (only in a picture 1 pixel wide or high)
// counts as black.
inline TBGRPixel WaveSample(const std::vector<const TBGRPixel*>& Rows, int32_t W, int32_t H, double SX, double SY) {
  const int64_t tx = Trunc(SX), ty = Trunc(SY);
  const int32_t ix = static_cast<int32_t>(std::clamp<int64_t>(tx, 0, std::max(W - 2, 0)));
  const int32_t iy = static_cast<int32_t>(std::clamp<int64_t>(ty, 0, std::max(H - 2, 0)));
  double fx = Frac(SX), fy = Frac(SY);
  if (fx < 0) fx += 1;
  if (fy < 0) fy += 1;
  if (!std::isfinite(fx)) fx = 0;
  if (!std::isfinite(fy)) fy = 0;
  const bool right = ix + 1 < W, down = iy + 1 < H;
  static constexpr TBGRPixel kBlack{};
  const TBGRPixel& p00 = Rows[size_t(iy)][ix];
  const TBGRPixel& p10 = right ? Rows[size_t(iy)][ix + 1] : kBlack;
  const TBGRPixel& p01 = down ? Rows[size_t(iy) + 1][ix] : kBlack;
  const TBGRPixel& p11 = right && down ? Rows[size_t(iy) + 1][ix + 1] : kBlack;
  const double gx = 1 - fx, gy = 1 - fy;
  auto mix = [&](uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
    return ClampByte(static_cast<int32_t>(Trunc(gy * (gx * a + fx * b) + fy * (gx * c + fx * d))));
  };
  TBGRPixel out;
  out.b = mix(p00.b, p10.b, p01.b, p11.b);
  out.g = mix(p00.g, p10.g, p01.g, p11.g);
  out.r = mix(p00.r, p10.r, p01.r, p11.r);
  return out;
}

// Displaced offset of one lens axis: the ray through the lens surface at
// offset Q and height Z is bent by Snell's law into a medium of index N. The
// surface normal leans by theta (sin theta = Q / r, cos theta = Z / r), the
// refracted ray by beta (sin beta = sin theta / N), and the ray reaches the
// picture Z * tan(theta - beta) nearer the centre; written without
// trigonometric calls, as it runs for every pixel of the lens.
inline double Refract(double Q, double Z, double N) {
  const double r = std::sqrt(Q * Q + Z * Z);
  if (!(r > 0)) return Q;
  const double s = Q / r, c = Z / r;
  const double sb = s / N, cb = std::sqrt(std::max(0.0, 1 - sb * sb));
  // tan(theta - beta); its cosine c * cb + s * sb is positive, as beta lies between 0 and theta.
  return Q - (s * cb - c * sb) / (c * cb + s * sb) * Z;
}

}  // namespace

void Wave(TBitmap& Bitmap, int32_t Amplitude, int32_t Wavelength, TProgressRec& Progress, bool Reflective,
          int32_t Phase) {
  if (Bitmap.PixelFormat() != pf24bit || Amplitude == 0 || Wavelength == 0) return;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  if (w <= 0 || h <= 0) return;

  // The copy the kernel reads from.
  const size_t rowBytes = size_t(w) * sizeof(TBGRPixel);
  std::vector<TBGRPixel> copy(size_t(w) * size_t(h));
  std::vector<const TBGRPixel*> rows(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) {
    std::memcpy(&copy[size_t(y) * size_t(w)], Bitmap.ScanLine(y), rowBytes);
    rows[size_t(y)] = &copy[size_t(y) * size_t(w)];
  }

  const double cx = (w - 1) / 2.0, cy = (h - 1) / 2.0;
  double sx = 1, sy = 1;
  if (w > h) sy = double(w) / h;
  else if (h > w) sx = double(h) / w;
  const double len = 2.0 * Wavelength;
  const double p = Phase * std::numbers::pi / 180.0;
  const double amp = Amplitude;
  Progress.per1 = 100.0 / h;

  const auto strip = [&](int32_t From, int32_t To) {
    for (int32_t y = From; y < To; ++y) {
      auto* out = static_cast<TBGRPixel*>(Bitmap.ScanLine(y));
      const double dy = (y - cy) * sy;
      for (int32_t x = 0; x < w; ++x) {
        const double dx = (x - cx) * sx;
        const double s = std::sin(std::sqrt(dx * dx + dy * dy) / len * 2 * std::numbers::pi + p);
        double srcX, srcY;
        if (Reflective) {
          const double a = std::fabs(s) * amp;
          srcX = cx + dx * a / sx;
          srcY = cy + dy * a / sy;
        } else {
          const double a = s * amp;
          srcX = (a + dx) / sx + cx;
          srcY = (a + dy) / sy + cy;
        }
        out[x] = WaveSample(rows, w, h, srcX, srcY);
      }
    }
  };
  RunRowStrips(0, h, int64_t(w) * 64, strip, [&](int32_t y) {
    if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, static_cast<int32_t>(int64_t(y) * 100 / h));
  });
}

void Lens(TBitmap& Bitmap, int32_t CX, int32_t CY, TProgressRec& Progress, double Refraction, int32_t Height,
          int32_t Width) {
  if (Bitmap.PixelFormat() != pf24bit) return;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  if (w <= 0 || h <= 0) return;
  const int64_t hw = Width / 2, hh = Height / 2;  // toward zero, as div does
  const int32_t x1 = static_cast<int32_t>(std::clamp<int64_t>(int64_t(CX) - hw, 0, w - 1));
  const int32_t y1 = static_cast<int32_t>(std::clamp<int64_t>(int64_t(CY) - hh, 0, h - 1));
  const int32_t x2 = static_cast<int32_t>(std::clamp<int64_t>(int64_t(CX) + hw, 0, w - 1));
  const int32_t y2 = static_cast<int32_t>(std::clamp<int64_t>(int64_t(CY) + hh, 0, h - 1));
  const int32_t bw = x2 - x1, bh = y2 - y1;
  // A box without extent (a picture 1 pixel wide, a lens off the picture) bends nothing.
  if (bw <= 0 || bh <= 0) return;
  const double a = bw / 2.0, b = bh / 2.0;
  const double n = std::isnan(Refraction) ? 1.0 : std::max(Refraction, 1.0);
  const double r = std::min(a, b);

  // The work bitmap, column by column (the progress unit), drawn back at (x1, y1).
  std::vector<TBGRPixel> work(size_t(bw) * size_t(bh));
  std::vector<const TBGRPixel*> rows(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) rows[size_t(y)] = static_cast<const TBGRPixel*>(Bitmap.ScanLine(y));
  Progress.per1 = 100.0 / bw;
  // Columns are the strips here: each fills its own part of the work bitmap.
  const auto strip = [&](int32_t From, int32_t To) {
    for (int32_t u = From; u < To; ++u) {
      const double v = u - a + 0.5;
      TBGRPixel* col = &work[size_t(u) * size_t(bh)];
      for (int32_t k = 0; k < bh; ++k) {
        const double t = b - k - 0.5;
        int64_t sx = x1 + u, sy = y1 + k;
        if (b * b - b * b * v * v / (a * a) > t * t) {
          const double z = std::sqrt(r * r * (1 - v * v / (a * a) - t * t / (b * b)));
          // Held inside the picture after the box origin is added: a lens
          // near the right or bottom edge bends rays from beyond the box.
          sx = std::clamp<int64_t>(x1 + Trunc(a + Refract(v, z, n)), 0, w - 1);
          sy = std::clamp<int64_t>(y1 + Trunc(b - Refract(t, z, n)), 0, h - 1);
        }
        col[k] = rows[size_t(sy)][sx];
      }
    }
  };
  RunRowStrips(0, bw, int64_t(bh) * 32, strip, [&](int32_t u) {
    if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, static_cast<int32_t>(int64_t(u + 1) * 100 / bw));
  });
  for (int32_t k = 0; k < bh; ++k) {
    auto* out = static_cast<TBGRPixel*>(Bitmap.ScanLine(y1 + k)) + x1;
    for (int32_t u = 0; u < bw; ++u) out[u] = work[size_t(u) * size_t(bh) + size_t(k)];
  }
}

}  // namespace kv
