#include "app/workflows/slide_frames.h"

#include <algorithm>
#include <cstring>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

void FitShownSize(int32_t Mode, int32_t ViewW, int32_t ViewH, int32_t PicW, int32_t PicH, int32_t& W, int32_t& H) {
  W = PicW;
  H = PicH;
  if (Mode != 1 && Mode != 2) return;
  if (PicW <= 0 || PicH <= 0) {
    W = ViewW;
    H = ViewH;
    return;
  }
  const int64_t a = int64_t(ViewH) * PicW, b = int64_t(ViewW) * PicH;
  const bool byWidth = Mode == 1 ? a >= b : a <= b;
  if (byWidth) {
    W = ViewW;
    H = int32_t(Round(double(ViewW) * PicH / PicW));
  } else {
    H = ViewH;
    W = int32_t(Round(double(ViewH) * PicW / PicH));
  }
}

TShownRect PlaceShown(int32_t Anchor, int32_t ViewW, int32_t ViewH, int32_t W, int32_t H) {
  TShownRect r{W, H, (ViewW - W) / 2.0, (ViewH - H) / 2.0};
  if (Anchor == -1) {
    r.X = r.Y = 0;
    return r;
  }
  if (Anchor & 1) r.Y = ViewH - H;
  if (Anchor & 2) r.Y = 0;
  if (Anchor & 4) r.X = ViewW - W;
  if (Anchor & 8) r.X = 0;
  return r;
}

int32_t NextSlideIndex(int32_t Index, int32_t Count, bool Forever) {
  if (Count <= 0) return 0;
  return Forever ? (Index + 1) % Count : std::min(Index + 1, Count - 1);
}

int32_t PrevSlideIndex(int32_t Index, int32_t Count, bool Forever) {
  if (Count <= 0) return 0;
  return Forever ? (Index + Count - 1) % Count : std::max(Index - 1, 0);
}

namespace {

inline const uint8_t* Row(const TBitmap& B, int32_t Y) { return static_cast<const uint8_t*>(B.ScanLine(Y)); }
inline uint8_t* Row(TBitmap& B, int32_t Y) { return static_cast<uint8_t*>(B.ScanLine(Y)); }

// Copies Count pixels; a count outside the row copies what fits.
inline void CopyPixels(uint8_t* Dst, int32_t DstX, const uint8_t* Src, int32_t SrcX, int32_t Count, int32_t Width) {
  if (DstX < 0) {
    SrcX -= DstX;
    Count += DstX;
    DstX = 0;
  }
  if (SrcX < 0) {
    DstX -= SrcX;
    Count += SrcX;
    SrcX = 0;
  }
  Count = std::min({Count, Width - DstX, Width - SrcX});
  if (Count > 0) std::memmove(Dst + size_t(DstX) * 3, Src + size_t(SrcX) * 3, size_t(Count) * 3);
}

}  // namespace

void ComposeRowEffect(int32_t Effect, uint8_t P, const TBitmap& New, const TBitmap& Old, TBitmap& Shown) {
  const int32_t w = Shown.Width(), h = Shown.Height();
  if (w <= 0 || h <= 0 || New.Width() != w || Old.Width() != w || New.Height() != h || Old.Height() != h) return;
  const int32_t p = P;
  const int32_t n = (w - 1) * p / 256;
  const int32_t r = (h - 1) * p / 256;
  const int32_t bytes = w * 3;
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* nw = Row(New, y);
    const uint8_t* od = Row(Old, y);
    uint8_t* sh = Row(Shown, y);
    switch (Effect) {
      case 0:
        for (int32_t i = 0; i < bytes; ++i)
          sh[i] = p <= 128 ? uint8_t(od[i] * (256 - 2 * p) / 256) : uint8_t(nw[i] * (2 * p - 256) / 256);
        break;
      case 1:
        for (int32_t i = 0; i < bytes; ++i)
          sh[i] = p <= 128 ? uint8_t(od[i] + (255 - od[i]) * 2 * p / 256)
                           : uint8_t(nw[i] + (255 - nw[i]) * (512 - 2 * p) / 256);
        break;
      case 2:
        for (int32_t i = 0; i < bytes; ++i) sh[i] = uint8_t(nw[i] + (od[i] - nw[i]) * (255 - p) / 256);
        break;
      case 3:
        std::memcpy(sh, od, size_t(bytes));
        CopyPixels(sh, 0, nw, w - n, n, w);
        break;
      case 4:
        std::memcpy(sh, od, size_t(bytes));
        CopyPixels(sh, w - n - 1, nw, 0, n, w);
        break;
      case 5: {
        std::memcpy(sh, od, size_t(bytes));
        const int32_t count = std::min(2 * std::max(n, r) - y, w - 1);
        if (count > 0) CopyPixels(sh, 0, nw, 0, count, w);
        break;
      }
      case 6:
        if (y < r / 2 || y >= h - r / 2) {
          std::memcpy(sh, nw, size_t(bytes));
        } else {
          std::memcpy(sh, od, size_t(bytes));
          CopyPixels(sh, 0, nw, 0, n / 2, w);
          CopyPixels(sh, w - n / 2, nw, w - n / 2, n / 2, w);
        }
        break;
      case 7:
        std::memcpy(sh, Row(New, std::min(y, r)), size_t(bytes));
        break;
      case 8: {
        const int32_t start = (w - n) / 2;
        CopyPixels(sh, 0, od, n / 2, start, w);
        CopyPixels(sh, start + n, od, start + n - n / 2, w - start - n, w);
        CopyPixels(sh, start, nw, start, n, w);
        break;
      }
      case 9:
        std::memcpy(sh, od, size_t(bytes));
        if (y % 12 < 6)
          CopyPixels(sh, w - n, nw, w - n, n, w);
        else
          CopyPixels(sh, 0, nw, 0, n, w);
        break;
      case 10:
        CopyPixels(sh, 0, od, n, w - n, w);
        CopyPixels(sh, w - n, nw, 0, n, w);
        break;
      case 11: {
        const bool first = p < 128;
        const TBitmap& src = first ? Old : New;
        const int32_t b = std::min({(first ? p : 255 - p) / 4, h - 1, w - 1}) + 1;
        const int32_t mid = h / 2;
        int32_t d = y - mid;
        d = (d >= 0 ? d / b : -((-d + b - 1) / b)) * b;  // floor to the grid around the middle row
        const uint8_t* s = Row(src, std::clamp(mid + d, 0, h - 1));
        for (int32_t x = 0; x < w; ++x) {
          const int32_t sx = x / b * b;
          std::memcpy(sh + size_t(x) * 3, s + size_t(sx) * 3, 3);
        }
        break;
      }
      case 12:
        std::memcpy(sh, y % 8 < p / 32 ? nw : od, size_t(bytes));
        break;
      default:
        std::memcpy(sh, nw, size_t(bytes));
        break;
    }
  }
}

}  // namespace kv
