// TImagerView: rendering the visible part into the cached picture and
// painting the window from it.
#include <algorithm>
#include <cstring>
#include <exception>
#include <vector>

#include "imaging/model/mask.h"
#include "imaging/processing/resample.h"
#include "imaging/views/imager_view.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

// Box averages of the rectangle L..L+W-1 x T..T+H-1 of a plane of C bytes a
// pixel (RowOf(y) gives row y) into OW x OH pixels (OutRow(y) gives row y of
// the result), each the mean of a box of FX x FY source pixels (smaller at
// the right and bottom edges). Every pixel of a box counts: a picture shown
// far smaller than its size is brought near the destination size before the
// filter runs, without the aliasing that sampling a few pixels of each box
// would give fine patterns.
template <int C, typename TRowOf, typename TOutRow>
void BoxAverage(TRowOf RowOf, int32_t L, int32_t T, int32_t W, int32_t H, int32_t FX, int32_t FY, int32_t OW,
                int32_t OH, TOutRow OutRow) {
  std::vector<uint64_t> sum(size_t(OW) * C);
  for (int32_t oy = 0; oy < OH; ++oy) {
    std::fill(sum.begin(), sum.end(), 0u);
    const int32_t y0 = T + oy * FY, y1 = std::min(y0 + FY, T + H);
    for (int32_t y = y0; y < y1; ++y) {
      const uint8_t* s = RowOf(y);
      for (int32_t ox = 0; ox < OW; ++ox) {
        uint64_t* acc = &sum[size_t(ox) * C];
        const int32_t x0 = L + ox * FX, x1 = std::min(x0 + FX, L + W);
        for (const uint8_t* q = s + size_t(x0) * C; q < s + size_t(x1) * C; q += C)
          for (int k = 0; k < C; ++k) acc[k] += q[k];
      }
    }
    uint8_t* d = OutRow(oy);
    for (int32_t ox = 0; ox < OW; ++ox) {
      const int32_t x0 = L + ox * FX;
      const uint64_t n = uint64_t(std::min(x0 + FX, L + W) - x0) * uint64_t(y1 - y0);
      for (int k = 0; k < C; ++k) d[ox * C + k] = static_cast<uint8_t>((sum[size_t(ox) * C + k] + n / 2) / n);
    }
  }
}

void CopyPart24(const TBitmap& Src, int32_t L, int32_t T, int32_t W, int32_t H, int32_t FX, int32_t FY,
                TBitmap& Out) {
  const int32_t ow = (W + FX - 1) / FX, oh = (H + FY - 1) / FY;
  Out.AllocateForOverwrite(ow, oh, pf24bit);
  if (FX == 1 && FY == 1) {
    for (int32_t y = 0; y < H; ++y)
      std::memcpy(Out.ScanLine(y), static_cast<const uint8_t*>(Src.ScanLine(T + y)) + size_t(L) * 3, size_t(W) * 3);
    return;
  }
  BoxAverage<3>([&](int32_t y) { return static_cast<const uint8_t*>(Src.ScanLine(y)); }, L, T, W, H, FX, FY, ow, oh,
                [&](int32_t y) { return static_cast<uint8_t*>(Out.ScanLine(y)); });
}

// The same rectangle of an 8-bit alpha mask, into a mask of its own.
void CopyPartMask(const TIMMask& Src, int32_t L, int32_t T, int32_t W, int32_t H, int32_t FX, int32_t FY,
                  TIMMask& Out) {
  const int32_t ow = (W + FX - 1) / FX, oh = (H + FY - 1) / FY;
  Out.AllocateBits(ow, oh, 8);
  BoxAverage<1>([&](int32_t y) { return static_cast<const uint8_t*>(Src.ScanLine(y)); }, L, T, W, H, FX, FY, ow, oh,
                [&](int32_t y) { return Out.ScanLine(y); });
}

// Blends a pf24bit picture at (X, Y) over Target by an alpha mask of its size,
// as the unfiltered path blends: d + (s - d) * a >> 8.
void BlendBlit24(TBitmap& Target, const TBitmap& Pic, const TIMMask& Alpha, int32_t X, int32_t Y) {
  const int32_t x0 = std::max(X, 0), x1 = std::min(X + Pic.Width(), Target.Width());
  const int32_t y0 = std::max(Y, 0), y1 = std::min(Y + Pic.Height(), Target.Height());
  for (int32_t y = y0; y < y1; ++y) {
    uint8_t* d = static_cast<uint8_t*>(Target.ScanLine(y));
    const uint8_t* s = static_cast<const uint8_t*>(Pic.ScanLine(y - Y));
    const uint8_t* a = Alpha.ScanLine(y - Y);
    for (int32_t x = x0; x < x1; ++x) {
      const int32_t w = a[x - X];
      for (int k = 0; k < 3; ++k) {
        uint8_t& t = d[x * 3 + k];
        t = static_cast<uint8_t>(t + (((s[(x - X) * 3 + k] - t) * w) >> 8));
      }
    }
  }
}

// The rectangle of a pf1bit bitmap as a pf1bit bitmap of its own.
void CopyPart1(const TBitmap& Src, int32_t L, int32_t T, int32_t W, int32_t H, TBitmap& Out) {
  Out.AllocateForOverwrite(W, H, pf1bit);
  for (int32_t y = 0; y < H; ++y) {
    const uint8_t* s = static_cast<const uint8_t*>(Src.ScanLine(T + y));
    uint8_t* d = static_cast<uint8_t*>(Out.ScanLine(y));
    std::memset(d, 0, size_t(Out.RowBytes()));
    for (int32_t x = 0; x < W; ++x) {
      const int32_t sx = L + x;
      if ((s[sx >> 3] >> (7 - (sx & 7))) & 1) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
    }
  }
}

// Draws a pf24bit picture at (X, Y) into Target, clipped to Target.
void Blit24(TBitmap& Target, const TBitmap& Pic, int32_t X, int32_t Y) {
  const int32_t x0 = std::max(X, 0), x1 = std::min(X + Pic.Width(), Target.Width());
  const int32_t y0 = std::max(Y, 0), y1 = std::min(Y + Pic.Height(), Target.Height());
  if (x0 >= x1 || y0 >= y1) return;
  for (int32_t y = y0; y < y1; ++y)
    std::memcpy(static_cast<uint8_t*>(Target.ScanLine(y)) + size_t(x0) * 3,
                static_cast<const uint8_t*>(Pic.ScanLine(y - Y)) + size_t(x0 - X) * 3, size_t(x1 - x0) * 3);
}

}  // namespace

TRenderSetup TImagerView::MakeRenderSetup(const TBitmap& Target) const {
  TRenderSetup s;
  s.Bmp = FBitmap.get();
  if (FEnableAlphaChannel && FAlpha && !FAlpha->Full && FAlpha->BitsPerPixel == 8) s.Alpha = FAlpha.get();
  s.OffsetX = FOffsetX;
  s.OffsetY = FOffsetY;
  s.Style = FBackgroundStyle;
  s.Colour = ColorToRGB(Background());
  const TViewPart p = VisiblePart();
  s.NeedsBackground = FOffsetX > 0 || FOffsetY > 0 || p.DestWidth < Target.Width() ||
                      p.DestHeight < Target.Height() || s.Alpha != nullptr;
  return s;
}

bool TImagerView::FilterPathActive(const TViewPart& Part) const {
  return FZoomFilter != rfNone && FFilterDelay1 < 1 && FZoom != 100 &&
         (FBitmap->Width() > 1 || FBitmap->Height() > 1) && Part.SrcWidth > 3 && Part.SrcHeight > 3;
}

void TImagerView::DrawTo(TBitmap& Target, const TRect* Clip) {
  if (Target.PixelFormat() != pf24bit) Target.SetPixelFormat(pf24bit);
  const TRect all = Rect(0, 0, Target.Width(), Target.Height());
  const TRect clip = Clip ? Rect(std::max(Clip->Left, 0), std::max(Clip->Top, 0), std::min(Clip->Right, all.Right),
                                 std::min(Clip->Bottom, all.Bottom))
                          : all;
  if (clip.Width() <= 0 || clip.Height() <= 0) return;
  const TRenderSetup s = MakeRenderSetup(Target);
  const TViewPart p = VisiblePart();
  const TRect pic = Rect(FOffsetX, FOffsetY, FOffsetX + p.DestWidth, FOffsetY + p.DestHeight);
  const bool designing = ComponentState().Contains(csDesigning);
  const int32_t bw = FBitmap->Width(), bh = FBitmap->Height();
  const bool nothing = (bw == 1 && bh == 1) || designing || bw == 0 || bh == 0 ||
                       (s.Alpha && (s.Alpha->Width != bw || s.Alpha->Height != bh)) ||
                       (FBitmap->PixelFormat() != pf24bit && FBitmap->PixelFormat() != pf1bit);
  if (s.NeedsBackground || nothing) DrawViewBackground(Target, clip, pic, FBackgroundStyle, s.Colour, nothing || s.Alpha);
  if (nothing) return;
  std::vector<int32_t> xmap, ymap;
  BuildAxisMap(xmap, Target.Width(), FOffsetX, p.DestWidth, p.SrcLeft, p.SrcWidth, bw);
  BuildAxisMap(ymap, Target.Height(), FOffsetY, p.DestHeight, p.SrcTop, p.SrcHeight, bh);
  RenderNearestRows(Target, s, clip, xmap, ymap);
  FRenderedPixels += int64_t(clip.Width()) * clip.Height();
  PaintFillAndGrid(Target, clip, p);
}

void TImagerView::PaintFillAndGrid(TBitmap& Target, const TRect& Clip, const TViewPart& P) {
  const bool filled = FSelectionOptions.Contains(imsoFilled) && FSelectionExists && !FSelMask.IsEmpty();
  const bool grid = FDisplayGrid && FZoom >= 400;
  if (!filled && !grid) return;
  TCanvas& c = Target.Canvas();
  c.SetClipRect(Clip);
  if (filled)
    FSelMask.DrawInverted(c, FOffsetX, FOffsetY, P.DestWidth, P.DestHeight, P.SrcLeft, P.SrcTop, P.SrcWidth,
                          P.SrcHeight);
  if (grid) {
    c.Pen().SetMode(pmNot);
    c.Pen().SetStyle(psSolid);
    c.Pen().SetWidth(1);
    // Lines reach far outside the window at deep zooms: only the clip's part is drawn.
    const int32_t xl = std::max(XBmp2Scr(P.SrcLeft), Clip.Left);
    const int32_t xr = std::min(XBmp2Scr(P.SrcLeft + P.SrcWidth), Clip.Right);
    const int32_t yt = std::max(YBmp2Scr(P.SrcTop), Clip.Top);
    const int32_t yb = std::min(YBmp2Scr(P.SrcTop + P.SrcHeight), Clip.Bottom);
    for (int32_t r = P.SrcTop; r <= P.SrcTop + P.SrcHeight && xl < xr; ++r) {
      const int32_t y = YBmp2Scr(r);
      if (y < Clip.Top || y >= Clip.Bottom) continue;
      c.MoveTo(xl, y);
      c.LineTo(xr, y);
    }
    for (int32_t col = P.SrcLeft; col <= P.SrcLeft + P.SrcWidth && yt < yb; ++col) {
      const int32_t x = XBmp2Scr(col);
      if (x < Clip.Left || x >= Clip.Right) continue;
      c.MoveTo(x, yt);
      c.LineTo(x, yb);
    }
    c.Pen().SetMode(pmCopy);
  }
  c.ResetClipRect();
}

void TImagerView::PaintTo(TBitmap& Target) {
  if (Target.PixelFormat() != pf24bit) Target.SetPixelFormat(pf24bit);
  const TRect all = Rect(0, 0, Target.Width(), Target.Height());
  const int32_t bw = FBitmap->Width(), bh = FBitmap->Height();
  const TColor colour = ColorToRGB(Background());
  if (ComponentState().Contains(csDesigning) || bw == 0 || bh == 0) {
    DrawViewBackground(Target, all, TRect{}, ComponentState().Contains(csDesigning) &&
                       (FBackgroundStyle == imbsCropped || FBackgroundStyle == imbsCropShadow) ? imbsSolid
                       : FBackgroundStyle, colour, true);
    return;
  }
  const TViewPart p = VisiblePart();
  if (!FilterPathActive(p)) {
    DrawTo(Target, nullptr);
    return;
  }
  const TRect pic = Rect(FOffsetX, FOffsetY, FOffsetX + p.DestWidth, FOffsetY + p.DestHeight);
  const TRenderSetup setup = MakeRenderSetup(Target);
  const TIMMask* alpha =
      setup.Alpha && setup.Alpha->Width == bw && setup.Alpha->Height == bh ? setup.Alpha : nullptr;
  DrawViewBackground(Target, all, pic, FBackgroundStyle, colour, alpha != nullptr);
  TBitmap part, out(0, 0, pf24bit);
  out.AllocateForOverwrite(std::max(p.DestWidth, 1), std::max(p.DestHeight, 1), pf24bit);
  const int32_t fx = std::max(1, p.SrcWidth / std::max(p.DestWidth, 1));
  const int32_t fy = std::max(1, p.SrcHeight / std::max(p.DestHeight, 1));
  if (FBitmap->PixelFormat() == pf1bit && FZoom < 100) {
    ReduceRect24(*FBitmap, p.SrcLeft, p.SrcTop, p.SrcLeft + p.SrcWidth - 1, p.SrcTop + p.SrcHeight - 1, out);
  } else if (FBitmap->PixelFormat() == pf1bit) {
    CopyPart1(*FBitmap, p.SrcLeft, p.SrcTop, p.SrcWidth, p.SrcHeight, part);
    ResampleBitmap(part, out, FZoomFilter);
  } else {
    // Whole boxes of source pixels per screen pixel; the filter does the rest.
    CopyPart24(*FBitmap, p.SrcLeft, p.SrcTop, p.SrcWidth, p.SrcHeight, fx, fy, part);
    ResampleBitmapProgress(part, out, FZoomFilter, this, nullptr);
  }
  if (alpha) {
    // The mask goes the same way as the picture, so edges stay where they are drawn.
    TIMMask partAlpha, outAlpha;
    CopyPartMask(*alpha, p.SrcLeft, p.SrcTop, p.SrcWidth, p.SrcHeight, fx, fy, partAlpha);
    outAlpha.AllocateBits(out.Width(), out.Height(), 8);
    if (partAlpha.Width == out.Width() && partAlpha.Height == out.Height())
      for (int32_t y = 0; y < out.Height(); ++y)
        std::memcpy(outAlpha.ScanLine(y), partAlpha.ScanLine(y), size_t(out.Width()));
    else
      ResampleMask(partAlpha, outAlpha, FZoomFilter);
    BlendBlit24(Target, out, outAlpha, FOffsetX, FOffsetY);
  } else {
    Blit24(Target, out, FOffsetX, FOffsetY);
  }
  FRenderedPixels += int64_t(all.Width()) * all.Height();
  PaintFillAndGrid(Target, all, p);
}

// ---- the cached rendering ----

void TImagerView::RenderNow() {
  const int32_t w = std::max(ClientWidth(), 0), h = std::max(ClientHeight(), 0);
  if (FBackBuffer.Width() != w || FBackBuffer.Height() != h) {
    FBackBuffer.AllocateForOverwrite(w, h, pf24bit);
    FDirty = true;
    FScrollOnly = false;
  }
  if (FDirty) Render();
}

void TImagerView::Render() {
  ++FRenderCount;
  FRenderedPixels = 0;
  struct TRenderFlag {
    bool& Flag;
    explicit TRenderFlag(bool& F) : Flag(F) { Flag = true; }
    ~TRenderFlag() { Flag = false; }
  } inRender(FInRender);
  const bool done = FScrollOnly && RenderScrolled();
  if (!done) {
    const TViewPart p = VisiblePart();
    if (FilterPathActive(p) || !HasParentWindow()) PaintTo(FBackBuffer);
    else DrawTo(FBackBuffer, nullptr);
  }
  // What the rendering shows now, for the next scroll.
  const TViewPart p = VisiblePart();
  FRendered.Valid = true;
  FRendered.Filtered = FilterPathActive(p);
  FRendered.Shiftable = !FRendered.Filtered && !(FDisplayGrid && FZoom >= 400) &&
                        !(FEnableAlphaChannel && FAlpha && !FAlpha->Full) &&
                        !(FSelectionOptions.Contains(imsoFilled) && FSelectionExists);
  FRendered.SrcLeft = p.SrcLeft;
  FRendered.SrcTop = p.SrcTop;
  BuildAxisMap(FRendered.XMap, FBackBuffer.Width(), FOffsetX, p.DestWidth, p.SrcLeft, p.SrcWidth, FBitmap->Width());
  BuildAxisMap(FRendered.YMap, FBackBuffer.Height(), FOffsetY, p.DestHeight, p.SrcTop, p.SrcHeight,
               FBitmap->Height());
  FDirty = false;
  FScrollOnly = false;
}

bool TImagerView::RenderScrolled() {
  if (!FRendered.Valid || !FRendered.Shiftable) return false;
  const TViewPart p = VisiblePart();
  if (FilterPathActive(p) || !HasParentWindow()) return false;
  const int32_t w = FBackBuffer.Width(), h = FBackBuffer.Height();
  if (int32_t(FRendered.XMap.size()) != w || int32_t(FRendered.YMap.size()) != h) return false;
  std::vector<int32_t> xmap, ymap;
  BuildAxisMap(xmap, w, FOffsetX, p.DestWidth, p.SrcLeft, p.SrcWidth, FBitmap->Width());
  BuildAxisMap(ymap, h, FOffsetY, p.DestHeight, p.SrcTop, p.SrcHeight, FBitmap->Height());
  // Along a scrolled axis the picture must cover the whole client; the other
  // axis must show exactly what it showed.
  auto covers = [](const std::vector<int32_t>& m) { return std::find(m.begin(), m.end(), -1) == m.end(); };
  const int32_t reach = Trunc32(FZoomFactor) + 2;
  int32_t sx = 0, sy = 0;
  if (xmap != FRendered.XMap) {
    if (!covers(xmap) || !covers(FRendered.XMap)) return false;
    const int32_t hint = Round32((p.SrcLeft - FRendered.SrcLeft) * FZoomFactor);
    if (!FindMapShift(FRendered.XMap, xmap, hint, reach, sx)) return false;
  }
  if (ymap != FRendered.YMap) {
    if (!covers(ymap) || !covers(FRendered.YMap)) return false;
    const int32_t hint = Round32((p.SrcTop - FRendered.SrcTop) * FZoomFactor);
    if (!FindMapShift(FRendered.YMap, ymap, hint, reach, sy)) return false;
  }
  if (std::abs(sx) >= w || std::abs(sy) >= h) return false;
  const TRect pic = Rect(std::max(FOffsetX, 0), std::max(FOffsetY, 0), std::min(FOffsetX + p.DestWidth, w),
                         std::min(FOffsetY + p.DestHeight, h));
  ShiftPixels(FBackBuffer, pic, sx, sy);
  // Only the strips the shift uncovered are rendered.
  if (sx != 0) {
    const TRect strip = sx > 0 ? Rect(pic.Right - sx, pic.Top, pic.Right, pic.Bottom)
                               : Rect(pic.Left, pic.Top, pic.Left - sx, pic.Bottom);
    DrawTo(FBackBuffer, &strip);
  }
  if (sy != 0) {
    const TRect strip = sy > 0 ? Rect(pic.Left, pic.Bottom - sy, pic.Right, pic.Bottom)
                               : Rect(pic.Left, pic.Top, pic.Right, pic.Top - sy);
    DrawTo(FBackBuffer, &strip);
  }
  return true;
}

// ---- painting the window ----

void TImagerView::Paint() {
  if (PaintTransitionFrame()) return;
  if (!HasParentWindow() || ClientWidth() <= 0 || ClientHeight() <= 0) return;
  if (FPaintLock == 0) {
    // The platform has set the canvas clip to what must be painted; a full
    // repaint has invalidated the whole client.
    TRect r = Canvas().ClipRect();
    if (r.Width() <= 0 || r.Height() <= 0) r = ClientRect();
    try {
      PaintRect(r);
    } catch (const std::exception&) {
      // A rendering that fails (memory for a huge picture) ends this paint
      // quietly; the next change tries again.
      FDirty = true;
      FScrollOnly = false;
    }
  }
  FFullRepaint = false;
  if (OnPaint) OnPaint(this);
}

void TImagerView::PaintRect(const TRect& R) {
  RenderNow();
  const TRect r = Rect(std::max(R.Left, 0), std::max(R.Top, 0), std::min(R.Right, FBackBuffer.Width()),
                       std::min(R.Bottom, FBackBuffer.Height()));
  if (r.Width() > 0 && r.Height() > 0) {
    CopyToCanvas(r);
    const TRect old = Canvas().ClipRect();
    Canvas().SetClipRect(r);
    PaintLayer(Canvas(), r);
    Canvas().SetClipRect(old);
  }
  PaintOverlays(Canvas());
}

void TImagerView::CopyToCanvas(const TRect& R) {
  TBitmap& dst = Canvas().Bitmap();
  if (dst.Width() < R.Right || dst.Height() < R.Bottom) return;
  const int32_t n = R.Width();
  if (dst.PixelFormat() == pf32bit) {
    for (int32_t y = R.Top; y < R.Bottom; ++y) {
      const uint8_t* s = static_cast<const uint8_t*>(FBackBuffer.ScanLine(y)) + size_t(R.Left) * 3;
      uint8_t* d = static_cast<uint8_t*>(dst.ScanLine(y)) + size_t(R.Left) * 4;
      for (int32_t x = 0; x < n; ++x, s += 3, d += 4) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = 0xFF;
      }
    }
  } else {
    TCanvas& c = Canvas();
    c.CopyRect(R, FBackBuffer.Canvas(), R);
  }
}

void TImagerView::PaintOverlays(TCanvas& C) {
  FOverlayShown = OverlayRect();
  if (ComponentState().Contains(csDesigning)) return;
  for (const auto& o : FOutlines)
    if (o->Visible) DrawOutlineRecord(C, *o, o.get() == FOutline);
  // The rubber line of a polygon being drawn, from its last point to the mouse.
  if (FPolygonInProgress && !FLasso && FOutline->Count() > 0 && !FOutline->LastIsBreak()) {
    const TPoint& last = FOutline->Points.back();
    double x0 = XBmp2Scr(last.X), y0 = YBmp2Scr(last.Y), x1 = FLastPos.X, y1 = FLastPos.Y;
    if (ClipSegment(x0, y0, x1, y1, ClientRect())) {
      C.Pen().SetMode(pmNot);
      C.Pen().SetWidth(1);
      C.Pen().SetStyle(psSolid);
      C.MoveTo(Round32(x0), Round32(y0));
      C.LineTo(Round32(x1), Round32(y1));
      C.Pen().SetMode(pmCopy);
    }
  }
}

}  // namespace kv
