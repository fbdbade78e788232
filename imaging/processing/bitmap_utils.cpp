#include "imaging/processing/bitmap_utils.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/processing/colour_convert.h"
#include "imaging/model/mask.h"
#include "imaging/processing/quantizer.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

uint8_t* Row(TBitmap& B, int32_t Y) { return static_cast<uint8_t*>(B.ScanLine(Y)); }
const uint8_t* Row(const TBitmap& B, int32_t Y) { return static_cast<const uint8_t*>(B.ScanLine(Y)); }

// Up to 8 bits of Src from bit P, in the top bits of the result. Reads the
// next byte only when the N wanted bits run into it.
inline uint8_t FetchBits(const uint8_t* Src, int64_t P, int32_t N) {
  const uint8_t* b = Src + (P >> 3);
  const int32_t sh = int32_t(P & 7);
  uint32_t v = uint32_t(b[0]) << sh;
  if (sh + N > 8) v |= uint32_t(b[1]) >> (8 - sh);
  return uint8_t(v);
}


}  // namespace

std::unique_ptr<TBitmap> DuplicateBitmap(const TBitmap& Bitmap) {
  auto copy = std::make_unique<TBitmap>();
  IMCloneBitmapRows(Bitmap, *copy);
  return copy;
}

void IMCloneBitmapRows(const TBitmap& Source, TBitmap& Target) {
  if (&Source == &Target) return;
  // Dropping to 1 x 1 first means the resize below carries no old pixels over.
  Target.SetSize(1, 1);
  Target.SetPixelFormat(Source.PixelFormat());
  if (Source.PaletteCount() > 0)
    Target.SetPaletteEntries(0, Source.PaletteCount(), Source.Palette().data());
  if (Source.Empty()) return;
  Target.SetSize(Source.Width(), Source.Height());
  std::memcpy(Target.Bits(), Source.Bits(), size_t(int64_t(Source.RowBytes()) * Source.Height()));
}

bool CopyBitmapRect(const TBitmap& Source, TBitmap& Target, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  const TPixelFormat pf = Source.PixelFormat();
  if ((pf != pf24bit && pf != pf1bit) || &Source == &Target) return false;
  if (X2 == 0) X2 = Source.Width();
  if (Y2 == 0) Y2 = Source.Height();
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Source.Width());
  Y2 = std::min(Y2, Source.Height());
  if (X1 >= X2 || Y1 >= Y2) return false;
  const int32_t w = X2 - X1, h = Y2 - Y1;
  Target.SetSize(0, 0);
  Target.SetPixelFormat(pf);
  if (pf == pf1bit) Target.SetPaletteEntries(0, Source.PaletteCount(), Source.Palette().data());
  Target.SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = Row(Source, Y1 + y);
    uint8_t* d = Row(Target, y);
    if (pf == pf24bit) std::memcpy(d, s + int64_t(X1) * 3, size_t(w) * 3);
    else CopyBits(d, s, 0, w, X1);
  }
  return true;
}

void CopyBits(uint8_t* TargetRow, const uint8_t* SourceRow, int32_t TargetBit, int32_t Count, int32_t SourceBit) {
  if (Count <= 0 || TargetBit < 0 || SourceBit < 0) return;
  int64_t d = TargetBit, s = SourceBit, left = Count;
  // Head: the part of the first target byte.
  if (d & 7) {
    const int32_t off = int32_t(d & 7);
    const int32_t k = int32_t(std::min<int64_t>(8 - off, left));
    const uint8_t mask = uint8_t((0xFF >> off) & ~(0xFF >> (off + k)));
    const uint8_t bits = uint8_t(FetchBits(SourceRow, s, k) >> off);
    uint8_t& t = TargetRow[d >> 3];
    t = uint8_t((t & ~mask) | (bits & mask));
    d += k, s += k, left -= k;
  }
  uint8_t* t = TargetRow + (d >> 3);
  if ((s & 7) == 0) {
    // Byte-aligned on both sides.
    const int64_t n = left >> 3;
    std::memcpy(t, SourceRow + (s >> 3), size_t(n));
    t += n, s += n * 8, left -= n * 8;
  } else {
    for (; left >= 8; left -= 8, s += 8) *t++ = FetchBits(SourceRow, s, 8);
  }
  if (left > 0) {
    const uint8_t mask = uint8_t(~(0xFF >> left));
    *t = uint8_t((*t & ~mask) | (FetchBits(SourceRow, s, int32_t(left)) & mask));
  }
}

void InvertBitmapBits(TBitmap& Bitmap) {
  if (Bitmap.Empty()) return;
  uint8_t* p = Bitmap.Bits();
  const int64_t n = int64_t(Bitmap.RowBytes()) * Bitmap.Height();
  for (int64_t i = 0; i < n; ++i) p[i] = uint8_t(~p[i]);
}

bool CompareBitmaps(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height()) return false;
  // A pixel block is only as long as its own layout: never read B at A's length.
  if (A.PixelFormat() != B.PixelFormat() || A.RowBytes() != B.RowBytes()) return false;
  if (A.Empty()) return true;
  return std::memcmp(A.Bits(), B.Bits(), size_t(int64_t(A.RowBytes()) * A.Height())) == 0;
}

int32_t NearestPaletteIndex(const TBGRPixel* Palette, int32_t Count, uint32_t Color) {
  const int32_t r = int32_t((Color >> 16) & 0xFF), g = int32_t((Color >> 8) & 0xFF), b = int32_t(Color & 0xFF);
  int32_t best = 0, bestDist = 1000;
  for (int32_t i = 0; i < Count; ++i) {
    const int32_t dist = std::abs(Palette[i].r - r) + std::abs(Palette[i].g - g) + std::abs(Palette[i].b - b);
    if (dist < bestDist) {
      bestDist = dist;
      best = i;
    }
  }
  return best;
}

void SwapPaletteRB(TBGRPixel* Palette, int32_t Count) {
  for (int32_t i = 0; i < Count; ++i) std::swap(Palette[i].r, Palette[i].b);
}

void ConvertBitmapDrawDib(const TBitmap& Source, TBitmap& Target) {
  if (&Source == &Target) return;
  const int32_t tw = Target.Width(), th = Target.Height();
  Target.SetSize(0, 0);
  Target.SetPixelFormat(Source.PixelFormat());
  if (Source.PaletteCount() > 0) Target.SetPaletteEntries(0, Source.PaletteCount(), Source.Palette().data());
  Target.SetSize(tw, th);
  if (Target.Empty() || Source.Empty()) return;
  const int32_t sw = Source.Width(), sh = Source.Height();
  const int32_t bits = PixelFormatBits(Source.PixelFormat());
  // Source column of each target column, by the stretch rule x * sw / tw.
  std::vector<int32_t> col(static_cast<size_t>(tw));
  for (int32_t x = 0; x < tw; ++x) col[size_t(x)] = int32_t(int64_t(x) * sw / tw);
  for (int32_t y = 0; y < th; ++y) {
    const uint8_t* s = Row(Source, int32_t(int64_t(y) * sh / th));
    uint8_t* d = Row(Target, y);
    switch (bits) {
      case 1:
        std::memset(d, 0, size_t(Target.RowBytes()));
        for (int32_t x = 0; x < tw; ++x)
          if (GetBit(s, col[size_t(x)])) d[x >> 3] |= kBitMask[x & 7];
        break;
      case 4:
        std::memset(d, 0, size_t(Target.RowBytes()));
        for (int32_t x = 0; x < tw; ++x) {
          const int32_t sx = col[size_t(x)];
          const uint8_t v = uint8_t((s[sx >> 1] >> ((sx & 1) ? 0 : 4)) & 0x0F);
          d[x >> 1] |= uint8_t((x & 1) ? v : v << 4);
        }
        break;
      case 24:
        for (int32_t x = 0; x < tw; ++x) std::memcpy(d + int64_t(x) * 3, s + int64_t(col[size_t(x)]) * 3, 3);
        break;
      default: {
        const int32_t bpp = bits / 8;
        for (int32_t x = 0; x < tw; ++x)
          std::memcpy(d + int64_t(x) * bpp, s + int64_t(col[size_t(x)]) * bpp, size_t(bpp));
        break;
      }
    }
  }
}

int32_t QuantizeRow(const uint8_t* SourceRow, uint8_t* TargetRow, int32_t SourceBits, const TIMQuantizer* Quantizer,
                    int32_t PaletteCount, const TBGRPixel* Palette, int32_t Width, int32_t TargetBits) {
  // Positions in 64 bits: three or four bytes a pixel overflow 32 bits on wide rows.
  const int64_t w = std::max(Width, 0);
  const int32_t length = int32_t((w * TargetBits + 7) / 8);
  const uint8_t* s = SourceRow;
  uint8_t* d = TargetRow;
  auto index = [&](const uint8_t* px) { return Quantizer ? Quantizer->RGBIndex(PackedColour(*reinterpret_cast<const TBGRPixel*>(px))) : 0; };
  // A palette index from a file may point past the palette: black then.
  auto entry = [&](int32_t i) -> TBGRPixel { return (Palette && i < PaletteCount) ? Palette[i] : TBGRPixel{}; };
  auto put24 = [&](int64_t x, int32_t i) {
    const TBGRPixel p = entry(i);
    d[3 * x] = p.b, d[3 * x + 1] = p.g, d[3 * x + 2] = p.r;
  };
  auto nibble = [s](int64_t x) { return (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F; };
  if (SourceBits == TargetBits) {
    std::memcpy(d, s, size_t(length));
  } else if (SourceBits == 24 && TargetBits == 8) {
    for (int64_t x = 0; x < w; ++x) d[x] = uint8_t(index(s + 3 * x));
  } else if (SourceBits == 24 && TargetBits == 4) {
    for (int64_t x = 0; x < w; ++x) {
      const uint8_t v = uint8_t(index(s + 3 * x) & 0x0F);
      d[x >> 1] |= uint8_t((x & 1) ? v : v << 4);
    }
  } else if (SourceBits == 32 && TargetBits == 24) {
    for (int64_t x = 0; x < w; ++x) std::memcpy(d + 3 * x, s + 4 * x, 3);
  } else if (SourceBits == 8 && TargetBits == 24) {
    for (int64_t x = 0; x < w; ++x) put24(x, s[x]);
  } else if (SourceBits == 4 && TargetBits == 24) {
    for (int64_t x = 0; x < w; ++x) put24(x, nibble(x));
  } else if (SourceBits == 1 && TargetBits == 24) {
    for (int64_t x = 0; x < w; ++x) put24(x, GetBit(s, int32_t(x)) ? 1 : 0);
  } else if (SourceBits == 8 && TargetBits == 1) {
    std::memset(d, 0, size_t(length));
    for (int64_t x = 0; x < w; ++x)
      if (s[x] != 0) d[x >> 3] |= kBitMask[x & 7];
  } else if (SourceBits == 1 && TargetBits == 4) {
    for (int64_t x = 0; x < w; ++x)
      if (GetBit(s, int32_t(x))) d[x >> 1] |= uint8_t((x & 1) ? 0x01 : 0x10);
  } else if (SourceBits == 4 && TargetBits == 8) {
    // A whole byte a pixel: stored, not ORed in.
    for (int64_t x = 0; x < w; ++x) d[x] = uint8_t(nibble(x));
  }
  return length;
}

namespace {

// Crossing of a polygon edge with a scan line: x and winding direction.
struct TCrossing {
  double X;
  int32_t Dir;
};

// Marks, in Inside (one flag a pixel of a Width-wide row), the pixels of row
// Y whose centres lie inside the polygon by the winding rule.
void WindingSpans(const TPoint* P, int32_t N, int32_t Y, int32_t Width, std::vector<TCrossing>& Cross,
                  std::vector<uint8_t>& Inside) {
  const double yc = Y + 0.5;
  Cross.clear();
  for (int32_t i = 0; i < N; ++i) {
    const TPoint& a = P[i];
    const TPoint& b = P[(i + 1) % N];
    if (a.Y == b.Y) continue;
    const bool down = a.Y < b.Y;
    const double y0 = down ? a.Y : b.Y, y1 = down ? b.Y : a.Y;
    if (yc < y0 || yc >= y1) continue;
    const double x = a.X + (yc - a.Y) * (double(b.X) - a.X) / (double(b.Y) - a.Y);
    Cross.push_back(TCrossing{x, down ? 1 : -1});
  }
  std::sort(Cross.begin(), Cross.end(), [](const TCrossing& l, const TCrossing& r) { return l.X < r.X; });
  int32_t winding = 0;
  for (size_t i = 0; i + 1 < Cross.size(); ++i) {
    winding += Cross[i].Dir;
    if (winding == 0) continue;
    // Pixels whose centre x + 0.5 lies in [Cross[i], Cross[i + 1]).
    const double from = std::ceil(Cross[i].X - 0.5), to = std::ceil(Cross[i + 1].X - 0.5);
    const int64_t xa = std::max<int64_t>(0, int64_t(std::max(from, -1.0)));
    const int64_t xb = std::min<int64_t>(Width, int64_t(std::min(to, double(Width))));
    for (int64_t x = xa; x < xb; ++x) Inside[size_t(x)] = 1;
  }
}

}  // namespace

void DrawClippedToPolygons(TBitmap& Bitmap, const TBitmap& Graphic, int32_t X, int32_t PointCount,
                           const TPoint* Points, int32_t Y) {
  if (Bitmap.Empty() || !Points || PointCount <= 0) return;
  // The graphic is drawn once onto a copy; the pixels inside the polygons then
  // move from the copy, which is what drawing it under each clip region gives.
  auto drawn = DuplicateBitmap(Bitmap);
  drawn->Canvas().Draw(X, Y, Graphic);
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  const int32_t bits = PixelFormatBits(Bitmap.PixelFormat()), bytes = bits / 8;
  // Sub-byte pixels: the pixel's bits at the top of a byte, shifted to its place.
  const uint32_t pixelMask = bits < 8 ? (0xFFu << (8 - bits)) & 0xFF : 0;
  std::vector<uint8_t> inside(static_cast<size_t>(w));
  std::vector<TCrossing> cross;
  int32_t start = 0;
  for (int32_t i = 0; i <= PointCount; ++i) {
    if (i < PointCount && Points[i].X != kPolygonSeparator) continue;
    const int32_t n = i - start;
    const TPoint* poly = Points + start;
    start = i + 1;
    if (n < 3) continue;
    int64_t ymin = poly[0].Y, ymax = poly[0].Y;
    for (int32_t k = 1; k < n; ++k) ymin = std::min<int64_t>(ymin, poly[k].Y), ymax = std::max<int64_t>(ymax, poly[k].Y);
    for (int64_t yy = std::max<int64_t>(ymin, 0); yy < std::min<int64_t>(ymax, h); ++yy) {
      const int32_t row = int32_t(yy);
      std::fill(inside.begin(), inside.end(), 0);
      WindingSpans(poly, n, row, w, cross, inside);
      const uint8_t* s = Row(*drawn, row);
      uint8_t* d = Row(Bitmap, row);
      for (int32_t x = 0; x < w; ++x) {
        if (!inside[size_t(x)]) continue;
        if (bytes) {
          std::memcpy(d + int64_t(x) * bytes, s + int64_t(x) * bytes, size_t(bytes));
        } else {
          const int64_t bit = int64_t(x) * bits;  // 32 bits overflow on very wide 4-bit rows
          const uint8_t m = uint8_t(pixelMask >> (bit & 7));
          uint8_t& t = d[bit >> 3];
          t = uint8_t((t & ~m) | (s[bit >> 3] & m));
        }
      }
    }
  }
  Bitmap.NotifyChanged();
}

double ArcTan2(double Y, double X) { return std::atan2(Y, X); }
double ArcSin(double X) { return ArcTan2(X, std::sqrt(1 - X * X)); }
double ArcCos(double X) { return ArcTan2(std::sqrt(1 - X * X), X); }
double Tan(double X) { return std::tan(X); }

int32_t ICeil(double X) {
  const int32_t t = Trunc32(X);
  return Frac(X) > 0 && t < INT32_MAX ? t + 1 : t;
}

int32_t IFloor(double X) {
  const int32_t t = Trunc32(X);
  return Frac(X) < 0 && t > INT32_MIN ? t - 1 : t;
}

}  // namespace kv
