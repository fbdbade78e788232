#include "app/filters/filter_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/filters/colour_models.h"
#include "imaging/model/pixel.h"
#include "imaging/processing/colour_convert.h"
#include "imaging/processing/convert_bits.h"

namespace kv {

void GammaCorrect(TBitmap& Bitmap, double Gamma, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                  TObject* Sender, const TIMProgressEvent& OnProgress) {
  // A gamma of 0 would divide by zero; there is no sensible curve for it.
  if (!(Gamma > 0) || !std::isfinite(Gamma)) return;
  if (Bitmap.PixelFormat() != pf24bit || !ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
  uint8_t lut[256];
  for (int32_t c = 0; c < 256; ++c) lut[c] = uint8_t(Clamp255(Round(255.0 * std::pow(c / 255.0, 1.0 / Gamma))));
  const TRowProgress progress(Sender, OnProgress, Y1, Y2 - 1);
  for (int32_t y = Y1; y < Y2; ++y) {
    uint8_t* row = static_cast<uint8_t*>(Bitmap.ScanLine(y)) + X1 * 3;
    for (int32_t i = 0, n = (X2 - X1) * 3; i < n; ++i) row[i] = lut[row[i]];
    progress.Row(y);
  }
}

std::array<double, 4> ChannelOffsets(TColorModel Model, const std::array<int32_t, 4>& P) {
  const TModelValues lo = DenormalizeModelValues({0, 0, 0, 0}, Model);
  const TModelValues hi = DenormalizeModelValues({1, 1, 1, 1}, Model);
  std::array<double, 4> d{};
  for (size_t i = 0; i < 4; ++i) {
    d[i] = std::abs(P[i]) / 100.0 * (hi[i] - lo[i]);
    if (P[i] < 0) d[i] = -d[i];
  }
  return d;
}

void ColorChannelAdd(TBitmap& Bitmap, TColorModel Model, const std::array<int32_t, 4>& P, int32_t X1, int32_t Y1,
                     int32_t X2, int32_t Y2, TObject* Sender, const TIMProgressEvent& OnProgress) {
  if (Bitmap.PixelFormat() != pf24bit || !ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
  const std::array<double, 4> d = ChannelOffsets(Model, P);
  const int32_t channels = ColorModelChannelCount(Model);
  // The integer and rounded conversions do not all come back to the colour
  // they started from: with nothing to add, no pixel goes through them.
  if (std::all_of(d.begin(), d.begin() + channels, [](double v) { return v == 0; })) return;
  const TRowProgress progress(Sender, OnProgress, Y1, Y2 - 1);
  for (int32_t y = Y1; y < Y2; ++y) {
    auto* row = static_cast<TBGRPixel*>(Bitmap.ScanLine(y));
    for (int32_t x = X1; x < X2; ++x) {
      TModelValues v = ColorToModel(Model, PackedColour(row[x]));
      for (int32_t i = 0; i < channels; ++i) v[size_t(i)] += d[size_t(i)];
      row[x] = ColorFromModel(v, Model);
    }
    progress.Row(y);
  }
}

void CombineChannels(TBitmap& Bitmap, const std::array<const TBitmap*, 4>& Sources, TColorModel Model, int32_t X1,
                     int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender, const TIMProgressEvent& OnProgress) {
  if (Bitmap.PixelFormat() != pf24bit) return;
  for (const TBitmap* s : Sources)
    if (s) {
      if (s->PixelFormat() != pf24bit) return;
      X2 = std::min(X2, s->Width());
      Y2 = std::min(Y2, s->Height());
    }
  if (!ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
  const TRowProgress progress(Sender, OnProgress, Y1, Y2 - 1);
  std::array<const TBGRPixel*, 4> src{};
  for (int32_t y = Y1; y < Y2; ++y) {
    for (size_t i = 0; i < 4; ++i) src[i] = Sources[i] ? static_cast<const TBGRPixel*>(Sources[i]->ScanLine(y)) : nullptr;
    auto* row = static_cast<TBGRPixel*>(Bitmap.ScanLine(y));
    for (int32_t x = X1; x < X2; ++x) {
      TModelValues v{0, 0, 0, 0};
      for (size_t i = 0; i < 4; ++i)
        if (src[i]) v[i] = src[i][x].r / 255.0;
      row[x] = ColorFromModel(DenormalizeModelValues(v, Model), Model);
    }
    progress.Row(y);
  }
}

void MergeBitmap(TBitmap& Bitmap, const TBitmap& Source, int32_t Opacity, int32_t X1, int32_t Y1, int32_t X2,
                 int32_t Y2, TObject* Sender, const TIMProgressEvent& OnProgress) {
  if (Bitmap.PixelFormat() != pf24bit || Source.PixelFormat() != pf24bit) return;
  // The source is read from its origin at (X1, Y1): a rectangle that starts
  // off the picture loses the source pixels that would have gone there.
  int32_t sx = 0, sy = 0;
  if (X1 < 0) sx = -X1;
  if (Y1 < 0) sy = -Y1;
  X2 = std::min<int64_t>(X2, int64_t(X1) + Source.Width());
  Y2 = std::min<int64_t>(Y2, int64_t(Y1) + Source.Height());
  if (!ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
  const int32_t a = std::clamp(int32_t(int64_t(Opacity) * 256 / 100), 0, 256);
  const TRowProgress progress(Sender, OnProgress, Y1, Y2 - 1);
  for (int32_t y = Y1; y < Y2; ++y) {
    uint8_t* t = static_cast<uint8_t*>(Bitmap.ScanLine(y)) + X1 * 3;
    const uint8_t* s = static_cast<const uint8_t*>(Source.ScanLine(sy + y - Y1)) + sx * 3;
    for (int32_t i = 0, n = (X2 - X1) * 3; i < n; ++i) t[i] = uint8_t((a * s[i] + (256 - a) * t[i]) >> 8);
    progress.Row(y);
  }
}

void DirectionOffset(int32_t Mask, int32_t FreeWidth, int32_t FreeHeight, int32_t& X, int32_t& Y) {
  if (Mask == -1) return;
  X = FreeWidth / 2;
  Y = FreeHeight / 2;
  if (Mask & 1) Y = FreeHeight;
  if (Mask & 2) Y = 0;
  if (Mask & 4) X = FreeWidth;
  if (Mask & 8) X = 0;
}

bool AspectRatioRect(int32_t PictureWidth, int32_t PictureHeight, double Width, double Height, bool Reciprocal,
                     int32_t Anchor, int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2) {
  if (std::fabs(Width) < 1e-6 || std::fabs(Height) < 1e-6 || PictureWidth <= 0 || PictureHeight <= 0) return false;
  double r = std::fabs(Width / Height);
  if (Reciprocal && ((PictureWidth > PictureHeight && r < 1) || (PictureWidth < PictureHeight && r > 1))) r = 1 / r;
  int32_t w = PictureWidth, h = PictureHeight;
  if (double(PictureWidth) / PictureHeight > r)
    w = std::clamp(Round32(PictureHeight * r), 1, PictureWidth);
  else
    h = std::clamp(Round32(PictureWidth / r), 1, PictureHeight);
  int32_t x = 0, y = 0;
  DirectionOffset(Anchor, PictureWidth - w, PictureHeight - h, x, y);
  X1 = x;
  Y1 = y;
  X2 = x + w;
  Y2 = y + h;
  return true;
}

void DrawBitmapAt(TBitmap& Bitmap, const TBitmap& Source, int32_t X, int32_t Y) {
  if (Bitmap.PixelFormat() != pf24bit) return;
  const TBitmap* src = &Source;
  TBitmap expanded;
  if (Source.PixelFormat() == pf1bit) {
    TProgressRec none;
    ConvertTo24BitRows(Source, expanded, none);
    src = &expanded;
  }
  if (src->PixelFormat() != pf24bit) return;
  const int32_t x1 = std::max(X, 0), y1 = std::max(Y, 0);
  const int32_t x2 = std::min<int64_t>(Bitmap.Width(), int64_t(X) + src->Width());
  const int32_t y2 = std::min<int64_t>(Bitmap.Height(), int64_t(Y) + src->Height());
  if (x1 >= x2 || y1 >= y2) return;
  for (int32_t y = y1; y < y2; ++y)
    std::memcpy(static_cast<uint8_t*>(Bitmap.ScanLine(y)) + x1 * 3,
                static_cast<const uint8_t*>(src->ScanLine(y - Y)) + (x1 - X) * 3, size_t(x2 - x1) * 3);
}

}  // namespace kv
