// Block copies between bitmaps: Draw, StretchDraw and CopyRect with the
// canvas's copy mode (a ternary raster op over pattern, source and destination).
#include <algorithm>
#include <cstring>

#include "platform/graphics/canvas.h"
#include "platform/graphics/pixel_access.h"

namespace kv {

namespace {

// Bit (P << 2 | S << 1 | D) of Table is the result for those three input bits.
inline uint32_t Rop3(uint8_t Table, uint32_t P, uint32_t S, uint32_t D) {
  uint32_t r = 0;
  for (uint32_t i = 0; i < 8; ++i)
    if ((Table >> i) & 1) r |= ((i & 4) ? P : ~P) & ((i & 2) ? S : ~S) & ((i & 1) ? D : ~D);
  return r;
}
constexpr uint8_t kRop3SrcCopy = 0xCC;

bool UsesSource(uint8_t T) { return ((T >> 2) & 0x33) != (T & 0x33); }

// Source coordinate of each destination coordinate D0 .. D1-1 (nearest neighbour,
// sampling the centre of each destination pixel), -1 where it falls outside 0..SrcLimit-1.
std::vector<int32_t> AxisMap(int64_t DStart, int64_t DLen, int32_t D0, int32_t D1, int64_t SStart, int64_t SLen,
                             bool Mirror, int32_t SrcLimit) {
  std::vector<int32_t> map(size_t(std::max(0, D1 - D0)));
  for (int32_t d = D0; d < D1; ++d) {
    const int64_t i = int64_t(d) - DStart;
    int64_t j = int64_t((__int128(2) * i + 1) * SLen / (__int128(2) * DLen));
    if (Mirror) j = SLen - 1 - j;
    const int64_t s = SStart + j;
    map[size_t(d - D0)] = (s >= 0 && s < SrcLimit) ? int32_t(s) : -1;
  }
  return map;
}

struct TBlitJob {
  TBitmap* Dst;
  const TBitmap* Src;
  int32_t X0, X1, Y0, Y1;  // destination pixels, clipped
  std::vector<int32_t> XMap, YMap;
  uint8_t Rop;
  uint32_t Pattern;        // native value in the destination
  bool Identity;           // same layout and palette: values copy as they are
  bool Stretch;            // not a plain 1:1 copy
  bool Transparent;
  TColorRef TransparentRgb;
};

template <typename S, typename D> void BlitRows(const TBlitJob& J) {
  const uint8_t* sBase = J.Src->Bits();
  uint8_t* dBase = J.Dst->Bits();
  const int64_t sRow = J.Src->RowBytes(), dRow = J.Dst->RowBytes();
  gfx::TPixelMap<S, D> map(J.Src->Palette(), J.Dst->Palette());
  // Which source values are the transparent colour: a table for indexed sources, a compare otherwise.
  std::array<bool, 256> clear{};
  const gfx::TRgb tc = gfx::RgbOf(J.TransparentRgb);
  if constexpr (S::Indexed) {
    if (J.Transparent)
      for (uint32_t i = 0; i <= S::Mask; ++i) clear[i] = gfx::PaletteRgb(J.Src->Palette(), i) == tc;
  }
  const int32_t bpp = PixelFormatBits(J.Dst->PixelFormat()) / 8;
  const bool rowCopy = J.Identity && !J.Stretch && !J.Transparent && J.Rop == kRop3SrcCopy && bpp >= 1;
  for (int32_t y = J.Y0; y < J.Y1; ++y) {
    const int32_t sy = J.YMap[size_t(y - J.Y0)];
    if (sy < 0) continue;
    const uint8_t* srow = sBase + sy * sRow;
    uint8_t* drow = dBase + y * dRow;
    if (rowCopy) {
      // 1:1 in the same layout: the valid source columns are one run.
      int32_t x = J.X0;
      while (x < J.X1 && J.XMap[size_t(x - J.X0)] < 0) ++x;
      int32_t e = x;
      while (e < J.X1 && J.XMap[size_t(e - J.X0)] >= 0) ++e;
      if (e > x)
        std::memmove(drow + int64_t(x) * bpp, srow + int64_t(J.XMap[size_t(x - J.X0)]) * bpp, size_t(e - x) * bpp);
      continue;
    }
    for (int32_t x = J.X0; x < J.X1; ++x) {
      const int32_t sx = J.XMap[size_t(x - J.X0)];
      if (sx < 0) continue;
      const uint32_t v = S::Get(srow, sx);
      if (J.Transparent) {
        if constexpr (S::Indexed) {
          if (clear[v]) continue;
        } else {
          if (S::Unpack(v) == tc) continue;
        }
      }
      const uint32_t s = J.Identity ? v : map(v);
      if (J.Rop == kRop3SrcCopy) D::Set(drow, x, s);
      else D::Set(drow, x, Rop3(J.Rop, J.Pattern, s, D::Get(drow, x)) & D::Mask);
    }
  }
}

}  // namespace

void TCanvas::Blit(const TRect& Dest, const TBitmap& Source, const TRect& SourceRect, bool UseTransparency) {
  const uint8_t rop = uint8_t((FCopyMode >> 16) & 0xFF);
  const bool usesSource = UsesSource(rop);
  if (usesSource && &Source == &FTarget) {
    // Copying within one bitmap: read from a snapshot so overlapping areas come out right.
    TBitmap snapshot;
    snapshot.Assign(&Source);
    snapshot.SetTransparent(Source.Transparent());
    Blit(Dest, snapshot, SourceRect, UseTransparency);
    return;
  }
  const TRect clip = ClipRect();
  if (!FTarget.Bits() || (usesSource && !Source.Bits())) return;
  const int64_t dl = std::min(Dest.Left, Dest.Right), dr = std::max(Dest.Left, Dest.Right);
  const int64_t dt = std::min(Dest.Top, Dest.Bottom), db = std::max(Dest.Top, Dest.Bottom);
  const int64_t sl = std::min(SourceRect.Left, SourceRect.Right), sr = std::max(SourceRect.Left, SourceRect.Right);
  const int64_t st = std::min(SourceRect.Top, SourceRect.Bottom), sb = std::max(SourceRect.Top, SourceRect.Bottom);
  if (dr == dl || db == dt || (usesSource && (sr == sl || sb == st))) return;
  const bool mirrorX = (Dest.Left > Dest.Right) != (SourceRect.Left > SourceRect.Right);
  const bool mirrorY = (Dest.Top > Dest.Bottom) != (SourceRect.Top > SourceRect.Bottom);

  TBlitJob j;
  j.Dst = &FTarget;
  j.Src = usesSource ? &Source : &FTarget;
  j.X0 = int32_t(std::max<int64_t>(dl, clip.Left));
  j.X1 = int32_t(std::min<int64_t>(dr, clip.Right));
  j.Y0 = int32_t(std::max<int64_t>(dt, clip.Top));
  j.Y1 = int32_t(std::min<int64_t>(db, clip.Bottom));
  if (j.X0 >= j.X1 || j.Y0 >= j.Y1) return;
  if (usesSource) {
    j.XMap = AxisMap(dl, dr - dl, j.X0, j.X1, sl, sr - sl, mirrorX, Source.Width());
    j.YMap = AxisMap(dt, db - dt, j.Y0, j.Y1, st, sb - st, mirrorY, Source.Height());
  } else {
    // No source: every destination pixel is its own "source".
    j.XMap.resize(size_t(j.X1 - j.X0));
    for (int32_t x = j.X0; x < j.X1; ++x) j.XMap[size_t(x - j.X0)] = x;
    j.YMap.resize(size_t(j.Y1 - j.Y0));
    for (int32_t y = j.Y0; y < j.Y1; ++y) j.YMap[size_t(y - j.Y0)] = y;
  }
  j.Rop = rop;
  j.Pattern = gfx::ColorToNative(FTarget.PixelFormat(), FTarget.Palette(), ColorToRGB(FBrush.Color()));
  j.Identity = j.Src->PixelFormat() == FTarget.PixelFormat() && j.Src->Palette() == FTarget.Palette();
  j.Stretch = dr - dl != sr - sl || db - dt != sb - st || mirrorX || mirrorY;
  j.Transparent = usesSource && UseTransparency && Source.Transparent();
  j.TransparentRgb = j.Transparent ? ColorToRGB(Source.TransparentColor()) : 0;

  Changing();
  gfx::DispatchFormat(j.Src->PixelFormat(), [&](auto s) {
    gfx::DispatchFormat(FTarget.PixelFormat(), [&](auto d) { BlitRows<decltype(s), decltype(d)>(j); });
  });
  Changed();
}

void TCanvas::Draw(int32_t X, int32_t Y, const TBitmap& Source) {
  // Saturated so that a picture placed near the end of the coordinate range cannot wrap around.
  const TRect dest{X, Y, int32_t(std::min<int64_t>(int64_t(X) + Source.Width(), INT32_MAX)),
                   int32_t(std::min<int64_t>(int64_t(Y) + Source.Height(), INT32_MAX))};
  Blit(dest, Source, Rect(0, 0, dest.Right - X, dest.Bottom - Y), true);
}

void TCanvas::StretchDraw(const TRect& Dest, const TBitmap& Source) {
  Blit(Dest, Source, Rect(0, 0, Source.Width(), Source.Height()), true);
}

void TCanvas::CopyRect(const TRect& Dest, TCanvas& Source, const TRect& SourceRect) {
  Blit(Dest, Source.Bitmap(), SourceRect, false);
}

}  // namespace kv
