#include "imaging/processing/join_images.h"

#include <algorithm>
#include <cstring>

#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

void DirectionOffset(int32_t Mask, double FreeWidth, double FreeHeight, double& X, double& Y) {
  if (Mask == -1) return;
  X = FreeWidth / 2;
  Y = FreeHeight / 2;
  if (Mask & 1) Y = FreeHeight;
  if (Mask & 2) Y = 0;
  if (Mask & 4) X = FreeWidth;
  if (Mask & 8) X = 0;
}

TJoinPlacement PlaceJoin(int32_t Mask, int32_t W0, int32_t H0, int32_t W1, int32_t H1) {
  const int32_t W = W0 + W1, H = H0 + H1;
  TJoinPlacement p;
  double x = 0, y = 0;
  DirectionOffset(Mask, W - W0, H - H0, x, y);
  p.X0 = Round32(x);
  p.Y0 = Round32(y);
  const int32_t m = Mask < 0 ? 0 : Mask;
  p.X1 = (W - W1) / 2;
  p.Y1 = (H - H1) / 2;
  if (m & 8) p.X1 = p.X0 + W0, p.Y1 = p.Y0;
  if (m & 4) p.X1 = p.X0 - W1, p.Y1 = p.Y0;
  if (m & 2) p.X1 = p.X0, p.Y1 = p.Y0 + H0;
  if (m & 1) p.X1 = p.X0, p.Y1 = p.Y0 - H1;
  return p;
}

void DrawJoinPreview(TBitmap& Preview, const TBitmap& Current, const TBitmap& Second, const TJoinPlacement& P,
                     double Transparency) {
  if (Preview.PixelFormat() != pf24bit || Current.PixelFormat() != pf24bit || Second.PixelFormat() != pf24bit) return;
  const int32_t W = Preview.Width(), H = Preview.Height();
  for (int32_t y = 0; y < H; ++y) std::memset(Preview.ScanLine(y), 0, size_t(W) * 3);
  for (int32_t y = std::max(P.Y0, 0); y < std::min(P.Y0 + Current.Height(), H); ++y) {
    const int32_t x0 = std::max(P.X0, 0), x1 = std::min(P.X0 + Current.Width(), W);
    if (x0 < x1)
      std::memcpy(static_cast<TBGRPixel*>(Preview.ScanLine(y)) + x0,
                  static_cast<const TBGRPixel*>(Current.ScanLine(y - P.Y0)) + (x0 - P.X0), size_t(x1 - x0) * 3);
  }
  const int32_t ol = std::max(P.X1, P.X0), ot = std::max(P.Y1, P.Y0);
  const int32_t orr = std::min(P.X1 + Second.Width(), P.X0 + Current.Width());
  const int32_t ob = std::min(P.Y1 + Second.Height(), P.Y0 + Current.Height());
  const int32_t a = std::clamp(Round32(Transparency) * 256 / 100, 0, 256);
  for (int32_t y = std::max(P.Y1, 0); y < std::min(P.Y1 + Second.Height(), H); ++y) {
    TBGRPixel* out = static_cast<TBGRPixel*>(Preview.ScanLine(y));
    const TBGRPixel* in = static_cast<const TBGRPixel*>(Second.ScanLine(y - P.Y1));
    for (int32_t x = std::max(P.X1, 0); x < std::min(P.X1 + Second.Width(), W); ++x) {
      const TBGRPixel s = in[x - P.X1];
      if (x >= ol && x < orr && y >= ot && y < ob) {
        TBGRPixel& d = out[x];
        d.r = uint8_t((a * s.r + (256 - a) * d.r) >> 8);
        d.g = uint8_t((a * s.g + (256 - a) * d.g) >> 8);
        d.b = uint8_t((a * s.b + (256 - a) * d.b) >> 8);
      } else {
        out[x] = s;
      }
    }
  }
}

TRect JoinUnion(const TBitmap& Preview, int32_t W0, int32_t H0, int32_t W1, int32_t H1, const TJoinPlacement& P) {
  // Right and bottom are exclusive: the limit is the preview's size, not one short of it.
  const int32_t W = Preview.Width(), H = Preview.Height();
  TRect r;
  r.Left = std::clamp(std::min(P.X0, P.X1), 0, W);
  r.Top = std::clamp(std::min(P.Y0, P.Y1), 0, H);
  r.Right = std::clamp(std::max(P.X0 + W0, P.X1 + W1), 0, W);
  r.Bottom = std::clamp(std::max(P.Y0 + H0, P.Y1 + H1), 0, H);
  return r;
}

}  // namespace kv
