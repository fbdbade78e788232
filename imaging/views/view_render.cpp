#include "imaging/views/view_render.h"

#include <algorithm>
#include <cstring>

#include "imaging/model/draw_utils.h"
#include "platform/graphics/canvas.h"

namespace kv {

void BuildAxisMap(std::vector<int32_t>& Map, int32_t TargetLen, int32_t Offset, int32_t DestLen, int32_t SrcStart,
                  int32_t SrcLen, int32_t BmpLen) {
  Map.assign(static_cast<size_t>(std::max(TargetLen, 0)), -1);
  if (DestLen <= 0 || SrcLen <= 0 || BmpLen <= 0) return;
  // The exact ratio rather than a rounded step: moving the view by whole
  // source pixels then moves the picture by whole screen pixels, so a scroll
  // can keep what stays in view. Products stay in 64 bits: a huge picture far
  // zoomed out overflows 32 bits times a row number.
  const int64_t last = std::min<int64_t>(int64_t(Offset) + DestLen, TargetLen);
  for (int64_t i = std::max<int64_t>(Offset, 0); i < last; ++i) {
    const int64_t s = (i - Offset) * SrcLen / DestLen + SrcStart;
    Map[size_t(i)] = static_cast<int32_t>(std::clamp<int64_t>(s, 0, BmpLen - 1));
  }
}

namespace {

uint32_t Complement(TColor Rgb) { return ~static_cast<uint32_t>(Rgb) & 0xFFFFFFu; }

void FillSolid(TBitmap& T, const TRect& R, TColor Rgb) {
  const int32_t x0 = std::max(R.Left, 0), x1 = std::min(R.Right, T.Width());
  const int32_t y0 = std::max(R.Top, 0), y1 = std::min(R.Bottom, T.Height());
  if (x0 >= x1 || y0 >= y1) return;
  const uint8_t b = GetBValue(Rgb), g = GetGValue(Rgb), r = GetRValue(Rgb);
  uint8_t* first = static_cast<uint8_t*>(T.ScanLine(y0)) + size_t(x0) * 3;
  for (int32_t x = 0; x < x1 - x0; ++x) {
    first[x * 3] = b;
    first[x * 3 + 1] = g;
    first[x * 3 + 2] = r;
  }
  for (int32_t y = y0 + 1; y < y1; ++y)
    std::memcpy(static_cast<uint8_t*>(T.ScanLine(y)) + size_t(x0) * 3, first, size_t(x1 - x0) * 3);
}

void FillChess(TBitmap& T, const TRect& R, TColor Rgb) {
  const TColor c[2] = {static_cast<TColor>(Complement(Rgb)), Rgb};
  const int32_t x0 = std::max(R.Left, 0), x1 = std::min(R.Right, T.Width());
  const int32_t y0 = std::max(R.Top, 0), y1 = std::min(R.Bottom, T.Height());
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* d = static_cast<uint8_t*>(T.ScanLine(y));
    for (int32_t x = x0; x < x1; ++x) {
      const TColor k = c[((x / kChessSquare) + (y / kChessSquare)) & 1];
      d[x * 3] = GetBValue(k);
      d[x * 3 + 1] = GetGValue(k);
      d[x * 3 + 2] = GetRValue(k);
    }
  }
}

// The window system's sunken edge: shadow and dark shadow on the top and
// left, highlight and light on the bottom and right.
void SunkenEdge(TCanvas& C, const TRect& R) {
  auto line = [&](TColor Colour, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    C.Pen().SetColor(Colour);
    C.MoveTo(X1, Y1);
    C.LineTo(X2, Y2);
  };
  line(clBtnShadow, R.Left, R.Bottom - 1, R.Left, R.Top);
  line(clBtnShadow, R.Left, R.Top, R.Right, R.Top);
  line(clBtnHighlight, R.Right - 1, R.Top, R.Right - 1, R.Bottom - 1);
  line(clBtnHighlight, R.Left, R.Bottom - 1, R.Right, R.Bottom - 1);
  line(cl3DDkShadow, R.Left + 1, R.Bottom - 2, R.Left + 1, R.Top + 1);
  line(cl3DDkShadow, R.Left + 1, R.Top + 1, R.Right - 1, R.Top + 1);
  line(cl3DLight, R.Right - 2, R.Top + 1, R.Right - 2, R.Bottom - 2);
  line(cl3DLight, R.Left + 1, R.Bottom - 2, R.Right - 1, R.Bottom - 2);
}

// A shadow two pixels strong right of and below the picture, reaching five pixels out.
void DrawShadowStrips(TCanvas& C, const TRect& P) {
  DrawShadowRight(C, P.Right + 3, P.Top + 2, 2, P.Bottom + 3, P.Right + 4);
  DrawShadowBottom(C, P.Left, P.Bottom + 3, 2, P.Bottom + 4, P.Right + 4);
}

}  // namespace

void DrawViewBackground(TBitmap& Target, const TRect& Clip, const TRect& Picture, TIMBackgroundStyle Style,
                        TColor Colour, bool UnderPicture) {
  const TRect clip = Rect(std::max(Clip.Left, 0), std::max(Clip.Top, 0), std::min(Clip.Right, Target.Width()),
                          std::min(Clip.Bottom, Target.Height()));
  if (clip.Width() <= 0 || clip.Height() <= 0) return;
  // The parts of the clip around the picture (all of it when the picture is under the background too).
  std::vector<TRect> parts;
  const bool covered = !UnderPicture && Picture.Left <= clip.Left && Picture.Top <= clip.Top &&
                       Picture.Right >= clip.Right && Picture.Bottom >= clip.Bottom;
  if (covered) return;
  if (UnderPicture || Picture.Width() <= 0 || Picture.Height() <= 0) {
    parts.push_back(clip);
  } else {
    const int32_t t = std::clamp(Picture.Top, clip.Top, clip.Bottom);
    const int32_t b = std::clamp(Picture.Bottom, clip.Top, clip.Bottom);
    parts.push_back(Rect(clip.Left, clip.Top, clip.Right, t));
    parts.push_back(Rect(clip.Left, b, clip.Right, clip.Bottom));
    parts.push_back(Rect(clip.Left, t, std::clamp(Picture.Left, clip.Left, clip.Right), b));
    parts.push_back(Rect(std::clamp(Picture.Right, clip.Left, clip.Right), t, clip.Right, b));
  }
  const TColor face = ColorToRGB(clBtnFace);
  for (const TRect& p : parts) {
    if (p.Width() <= 0 || p.Height() <= 0) continue;
    switch (Style) {
      case imbsChessboard: FillChess(Target, p, Colour); break;
      case imbsCropped:
      case imbsCropShadow: FillSolid(Target, p, face); break;
      case imbsSolid:
      case imbsDiagonals: FillSolid(Target, p, Colour); break;
      default: FillSolid(Target, p, clWhite); break;  // the hatch's gaps show the device's white
    }
  }
  const bool hatched = Style >= imbsHorizontal && Style <= imbsDiagCross;
  if (!hatched && Style != imbsDiagonals && Style != imbsCropped && Style != imbsCropShadow) return;

  TCanvas& c = Target.Canvas();
  const TRect oldClip = c.ClipRect();
  c.Pen().SetMode(pmCopy);
  c.Pen().SetWidth(1);
  c.Pen().SetStyle(psSolid);
  const int32_t w = Target.Width(), h = Target.Height();
  for (const TRect& p : parts) {
    if (p.Width() <= 0 || p.Height() <= 0) continue;
    c.SetClipRect(p);
    if (hatched) {
      static const TBrushStyle brush[] = {bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross};
      c.Brush().SetColor(Colour);
      c.Brush().SetStyle(brush[Style - imbsHorizontal]);
      c.FillRect(p);
      c.Brush().SetStyle(bsSolid);
    } else if (Style == imbsDiagonals) {
      c.Pen().SetColor(static_cast<TColor>(Complement(Colour)));
      c.MoveTo(0, 0);
      c.LineTo(w, h);
      c.MoveTo(w, 0);
      c.LineTo(0, h);
    } else if (Picture.Width() >= 2 && Picture.Height() >= 2) {
      if (Style == imbsCropped) {
        SunkenEdge(c, Rect(Picture.Left - kEdgeX, Picture.Top - kEdgeY, Picture.Right + kEdgeX,
                           Picture.Bottom + kEdgeY));
      } else {
        DrawShadowStrips(c, Picture);
      }
    }
  }
  if (oldClip.Width() == w && oldClip.Height() == h) c.ResetClipRect();
  else c.SetClipRect(oldClip);
}

namespace {

template <bool OneBit, bool Blend>
void RenderRow(uint8_t* D, const uint8_t* S, const uint8_t* A, const int32_t* XMap, int32_t X0, int32_t X1) {
  for (int32_t x = X0; x < X1; ++x) {
    const int32_t sx = XMap[x];
    uint8_t* d = D + size_t(x) * 3;
    if constexpr (OneBit) {
      const bool white = (S[sx >> 3] >> (7 - (sx & 7))) & 1;
      if constexpr (Blend) {
        const int32_t a = A[sx];
        int32_t r = d[2];
        r = white ? r + (((255 - r) * a) >> 8) : r - ((a * r + 255) >> 8);
        d[0] = d[1] = d[2] = static_cast<uint8_t>(r);
      } else {
        d[0] = d[1] = d[2] = white ? 255 : 0;
      }
    } else {
      const uint8_t* s = S + size_t(sx) * 3;
      if constexpr (Blend) {
        const int32_t a = A[sx];
        // Arithmetic shift: a negative difference rounds toward minus infinity.
        for (int k = 0; k < 3; ++k) d[k] = static_cast<uint8_t>(d[k] + (((s[k] - d[k]) * a) >> 8));
      } else {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
      }
    }
  }
}

}  // namespace

void RenderNearestRows(TBitmap& Target, const TRenderSetup& S, const TRect& Clip, const std::vector<int32_t>& XMap,
                       const std::vector<int32_t>& YMap) {
  const TBitmap& bmp = *S.Bmp;
  const bool oneBit = bmp.PixelFormat() == pf1bit;
  const bool blend = S.Alpha != nullptr;
  // The columns that show the picture inside the clip.
  int32_t x0 = std::max(Clip.Left, 0), x1 = std::min(Clip.Right, int32_t(XMap.size()));
  while (x0 < x1 && XMap[size_t(x0)] < 0) ++x0;
  while (x1 > x0 && XMap[size_t(x1 - 1)] < 0) --x1;
  if (x0 >= x1) return;
  // A plain copy at 1:1 (both maps consecutive).
  const bool identity = !oneBit && !blend && XMap[size_t(x1 - 1)] - XMap[size_t(x0)] == x1 - 1 - x0;
  // A row that shows the same source row as the row above is a copy of it,
  // unless it blends over a background that differs from row to row.
  const bool copyRows = !blend || S.Style == imbsSolid;
  const int32_t y0 = std::max(Clip.Top, 0), y1 = std::min(Clip.Bottom, int32_t(YMap.size()));
  int32_t prevSrc = -1, prevRow = -1;
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t sy = YMap[size_t(y)];
    if (sy < 0) {
      prevSrc = -1;
      continue;
    }
    uint8_t* d = static_cast<uint8_t*>(Target.ScanLine(y));
    if (copyRows && sy == prevSrc) {
      std::memcpy(d + size_t(x0) * 3, static_cast<uint8_t*>(Target.ScanLine(prevRow)) + size_t(x0) * 3,
                  size_t(x1 - x0) * 3);
      continue;
    }
    const uint8_t* s = static_cast<const uint8_t*>(bmp.ScanLine(sy));
    const uint8_t* a = blend ? S.Alpha->ScanLine(sy) : nullptr;
    if (identity) std::memcpy(d + size_t(x0) * 3, s + size_t(XMap[size_t(x0)]) * 3, size_t(x1 - x0) * 3);
    else if (oneBit) (blend ? RenderRow<true, true> : RenderRow<true, false>)(d, s, a, XMap.data(), x0, x1);
    else (blend ? RenderRow<false, true> : RenderRow<false, false>)(d, s, a, XMap.data(), x0, x1);
    prevSrc = sy;
    prevRow = y;
  }
}

bool FindMapShift(const std::vector<int32_t>& Old, const std::vector<int32_t>& New, int32_t Hint, int32_t MaxShift,
                  int32_t& S) {
  const int32_t n = static_cast<int32_t>(New.size());
  if (int32_t(Old.size()) != n || n == 0) return false;
  for (int32_t k = 0; k <= 2 * MaxShift; ++k) {
    const int32_t s = Hint + ((k & 1) ? -(k + 1) / 2 : k / 2);
    if (s <= -n || s >= n) continue;
    const int32_t i0 = std::max(0, -s), i1 = std::min(n, n - s);
    bool same = true;
    for (int32_t i = i0; i < i1 && same; ++i) same = New[size_t(i)] == Old[size_t(i + s)];
    if (same) {
      S = s;
      return true;
    }
  }
  return false;
}

void ShiftPixels(TBitmap& B, const TRect& Area, int32_t DX, int32_t DY) {
  const int32_t l = std::max(Area.Left, 0), r = std::min(Area.Right, B.Width());
  const int32_t t = std::max(Area.Top, 0), b = std::min(Area.Bottom, B.Height());
  if (l >= r || t >= b) return;
  // Destination columns whose source column lies inside the area.
  const int32_t dl = std::max(l, l - DX), dr = std::min(r, r - DX);
  if (dl >= dr) return;
  const size_t bytes = size_t(dr - dl) * 3;
  auto move = [&](int32_t y) {
    const int32_t sy = y + DY;
    if (sy < t || sy >= b) return;
    std::memmove(static_cast<uint8_t*>(B.ScanLine(y)) + size_t(dl) * 3,
                 static_cast<uint8_t*>(B.ScanLine(sy)) + size_t(dl + DX) * 3, bytes);
  };
  // Rows are taken in the order that reads each source before it is overwritten.
  if (DY >= 0)
    for (int32_t y = t; y < b; ++y) move(y);
  else
    for (int32_t y = b - 1; y >= t; --y) move(y);
}

}  // namespace kv
