// TImagerView: the selection: its outline and mask, the animated drawing of
// both, grips, hit tests and the magic wand.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/model/geometry.h"
#include "imaging/processing/area_filters.h"
#include "imaging/views/imager_view.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/forms.h"

namespace kv {

void TImagerView::SetMouseInteract(TIMMouseInteract Value) {
  if (Value == FMouseInteract) return;
  if (FPolygonInProgress && FMouseInteract.Contains(miSelectPolygon)) {
    ClosePolygon(false);
    Invalidate();
  }
  const TIMMouseInteract added = Value - FMouseInteract;
  // The first item added decides which others may stay.
  static const TIMMouseInteractItem order[] = {miScroll,     miSelect, miSelectPolygon, miSelectCircle,
                                               miSelectLasso, miSelectZoom, miZoom,    miSelectMagicWand};
  for (TIMMouseInteractItem item : order) {
    if (!added.Contains(item)) continue;
    switch (item) {
      case miSelectPolygon:
      case miSelectMagicWand: Value = TIMMouseInteract{item}; break;
      case miZoom: Value -= TIMMouseInteract{miSelectPolygon, miSelectMagicWand}; break;
      default: Value *= TIMMouseInteract{miZoom, item}; break;
    }
    break;
  }
  FMouseInteract = Value;
}

void TImagerView::SetSelectionOptions(TIMSelectionOptions Value) {
  FSelectionOptions = Value;
  FOutline->Animated = Value.Contains(imsoAnimated);
  FOutline->Sizeable = Value.Contains(imsoSizeable);
  Update();
}

// ---- building the selection ----

void TImagerView::SelectRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Op, bool Square) {
  if (X1 == X2 || Y1 == Y2) return;
  if (FSelectionBase == imsbClientArea) {
    X1 = XScr2Bmp(X1);
    Y1 = YScr2Bmp(Y1);
    X2 = XScr2Bmp(X2);
    Y2 = YScr2Bmp(Y2);
  }
  FSelectionExists = true;
  if (Op == 1 && !FOutline->Empty()) {
    if (!FOutline->LastIsBreak()) FOutline->AddBreak();
  } else {
    FOutline->Clear();
  }
  if (Op == 0) {
    if (FSelectionOptions.Contains(imsoFilled) && !FSelMask.IsEmpty()) {
      MarkDirty();  // the filled selection is part of the rendering
      Invalidate();
    }
    FSelMask.Empty();
  }
  if (Square) Y2 = X2 + Y1 - X1;
  const int32_t w = FBitmap->Width(), h = FBitmap->Height();
  X1 = std::clamp(X1, 0, std::max(w - 1, 0));
  X2 = std::clamp(X2, 0, std::max(w - 1, 0));
  Y1 = std::clamp(Y1, 0, std::max(h - 1, 0));
  Y2 = std::clamp(Y2, 0, std::max(h - 1, 0));
  if (X1 > X2) std::swap(X1, X2);
  if (Y1 > Y2) std::swap(Y1, Y2);
  ++X2;
  ++Y2;
  FOutline->Add(X1, Y1);
  FOutline->Add(X2, Y1);
  FOutline->Add(X2, Y2);
  FOutline->Add(X1, Y2);
  FOutline->Visible = true;
  RedrawOutline();
}

void TImagerView::Select(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t Op) {
  SelectRect(X1, Y1, X2, Y2, Op, false);
  if (Op == 0) FSelMask.Empty();
  EndSelect();
  MarkDirty();
  Invalidate();
}

void TImagerView::AddSelPoint(int32_t X, int32_t Y) {
  if (FSelectionBase == imsbClientArea) {
    X = std::clamp(XScr2Bmp(X), 0, FBitmap->Width());
    Y = std::clamp(YScr2Bmp(Y), 0, FBitmap->Height());
  }
  FOutline->Add(X, Y);
  FOutline->Visible = true;
  FSelectionExists = true;
  if (FOutline->Count() >= 3) {
    FSelMask.Empty();
    EndSelect();
  }
  RedrawOutline();
}

void TImagerView::EndSelect() {
  FSelMask.DrawPolygons(1, FOutline->Points.data(), FOutline->Count());
  if (FSelMask.IsEmpty()) {
    FSelectionExists = false;
    FOutline->Clear();
  } else {
    FSelectionExists = true;
  }
  if (FSelectionOptions.Contains(imsoFilled)) MarkDirty();
  RedrawOutline();
}

void TImagerView::DeSelect() {
  const bool filled = FSelectionOptions.Contains(imsoFilled) && !FSelMask.IsEmpty();
  InvalidateOverlay();
  FOutline->Visible = false;
  FOutline->Clear();
  FSelMask.Empty();
  FSelectionExists = FPolygonInProgress = FLasso = FRectDrag = FEllipseDrag = false;
  FGrip = FMove = -1;
  ApplyCursor(FDefaultCursor);
  if (filled) {
    MarkDirty();
    Invalidate();
  }
}

void TImagerView::ClosePolygon(bool KeepMask) {
  // The closing double-click added its point once more: drop it and any breaks before it.
  if (FOutline->Count() > 0) FOutline->Truncate(FOutline->Count() - 1);
  int32_t n = FOutline->Count();
  while (n > 0 && FOutline->Points[size_t(n - 1)].X == kPolygonSeparator) --n;
  FOutline->Truncate(n);
  if (!KeepMask) FSelMask.Empty();
  EndSelect();
  FPolygonInProgress = false;
  FLasso = false;
  Update();
}

void TImagerView::RemovePointsSinceDown() {
  int32_t i = FOutline->Count() - 1;
  while (i >= 0 && FOutline->Points[size_t(i)].X != kPolygonSeparator) --i;
  FOutline->Truncate(std::max(i, 0));
}

int32_t TImagerView::SelX1() const { return GestureInProgress() || FGrip >= 0 ? FOutline->Left : FSelMask.X1; }
int32_t TImagerView::SelY1() const { return GestureInProgress() || FGrip >= 0 ? FOutline->Top : FSelMask.Y1; }
int32_t TImagerView::SelX2() const {
  return GestureInProgress() || FGrip >= 0 ? FOutline->Right - 1 : FSelMask.X2;
}
int32_t TImagerView::SelY2() const {
  return GestureInProgress() || FGrip >= 0 ? FOutline->Bottom - 1 : FSelMask.Y2;
}

bool TImagerView::IsRectanglePolygon(const TPoint* Points, int32_t Count) {
  if (Count != 4 || !Points) return false;
  auto horizontal = [&](int32_t i) {
    const TPoint& a = Points[i];
    const TPoint& b = Points[(i + 1) % 4];
    return a.Y == b.Y && a.X != b.X;
  };
  auto vertical = [&](int32_t i) {
    const TPoint& a = Points[i];
    const TPoint& b = Points[(i + 1) % 4];
    return a.X == b.X && a.Y != b.Y;
  };
  for (int32_t i = 0; i < 4; ++i)
    if (Points[i].X == kPolygonSeparator) return false;
  const bool startH = horizontal(0);
  for (int32_t i = 0; i < 4; ++i) {
    const bool wantH = (i % 2 == 0) == startH;
    if (wantH ? !horizontal(i) : !vertical(i)) return false;
  }
  return true;
}

void TImagerView::MagicWandSelect(int32_t X, int32_t Y, bool Add) {
  const TIMSelectionBase base = FSelectionBase;
  FSelectionBase = imsbClientArea;
  const int32_t bx = XScr2Bmp(X), by = YScr2Bmp(Y);
  FSelectionBase = base;
  const int32_t w = FBitmap->Width(), h = FBitmap->Height();
  if (bx < 0 || by < 0 || bx >= w || by >= h) return;
  if (MagicWandMode == 0) {
    int32_t count = 0;
    const std::vector<TPoint> pts = TraceContour(*FBitmap, bx, by, count, MagicWandTolerance, MagicWandMaxFilter);
    if (!pts.empty()) {
      if (Add && !FOutline->Empty()) {
        FOutline->AddBreak();
      } else {
        FOutline->Clear();
        FSelMask.Empty();
      }
      for (int32_t i = 0; i < std::min<int32_t>(count, int32_t(pts.size())); ++i)
        FOutline->Add(std::clamp(pts[size_t(i)].X, 0, w), std::clamp(pts[size_t(i)].Y, 0, h));
      if (!Add) FSelMask.Empty();
      EndSelect();
      FOutline->Visible = true;
    }
  } else if (MagicWandMode == 1 || MagicWandMode == 2) {
    if (!Add) {
      FOutline->Clear();
      FSelMask.Empty();
    }
    if (MagicWandMode == 1) MagicWandFill(*FBitmap, bx, by, FSelMask, MagicWandTolerance, MagicWandMaxFilter);
    else SelectSameColor(*FBitmap, bx, by, FSelMask, MagicWandTolerance);
    FSelectionExists = !FSelMask.IsEmpty();
    FOutline->Visible = true;
  }
  if (FSelectionOptions.Contains(imsoFilled)) MarkDirty();
  Invalidate();
}

// ---- hit tests ----

int32_t TImagerView::MoveHitTest(int32_t X, int32_t Y) const {
  if (FSelMask.IsEmpty() || GestureInProgress()) return -1;
  if (!FSelMask.IsPointInside(XScr2Bmp(X), YScr2Bmp(Y))) return -1;
  return FSelectionOptions.Contains(imsoMoveable) ? 0 : -1;
}

int32_t TImagerView::GripHitTest(int32_t X, int32_t Y) const {
  const TIMSelectionOutline& o = *FOutline;
  if (!o.Visible || !o.Sizeable || !IsRectanglePolygon(o.Points.data(), o.Count()) || FRectDrag) return -1;
  for (int32_t i = 0; i < 4; ++i) {
    const int64_t sx = XBmp2Scr(o.Points[size_t(i)].X), sy = YBmp2Scr(o.Points[size_t(i)].Y);
    if (std::abs(X - sx) <= GripSize && std::abs(Y - sy) <= GripSize) return i;
  }
  const int32_t l = XBmp2Scr(o.Left), t = YBmp2Scr(o.Top), r = XBmp2Scr(o.Right), b = YBmp2Scr(o.Bottom);
  const TPoint p{X, Y};
  if (PointSegmentDistance(p, TPoint{l, t}, TPoint{l, b}) < 3) return 4;
  if (PointSegmentDistance(p, TPoint{r, t}, TPoint{r, b}) < 3) return 5;
  if (PointSegmentDistance(p, TPoint{l, t}, TPoint{r, t}) < 3) return 6;
  if (PointSegmentDistance(p, TPoint{l, b}, TPoint{r, b}) < 3) return 7;
  return -1;
}

int32_t TImagerView::ResizeByGrip(int32_t Grip, int32_t C, int32_t D, bool Square) {
  const int32_t L0 = FGripBox.Left, T0 = FGripBox.Top, R0 = FGripBox.Right, B0 = FGripBox.Bottom;
  int32_t act = Grip;
  if (Square) {
    if (T0 == B0 + 1) return Grip;
    const double m = double(R0 - L0 + 1) / double(B0 - T0 + 1);
    switch (Grip) {
      case 0:
      case 4: D = Round32(B0 + 1 + (C - R0 - 1) / m); act = 0; break;
      case 1: D = Round32(B0 + (L0 - C - 1) / m); break;
      case 2:
      case 5: D = Round32(T0 + (C - L0 + 1) / m - 1); act = 2; break;
      case 3: D = Round32(T0 + 1 + (R0 - C + 1) / m); break;
      case 6: C = Round32(m * (D - B0 - 1) + R0 + 1); act = 0; break;
      case 7: C = Round32(m * (D - T0 + 1) + L0 - 1); act = 2; break;
      default: break;
    }
  }
  if (act == 1 || act == 2 || act == 5) ++C;
  if (act == 2 || act == 3 || act == 7) ++D;
  int32_t l = FOutline->Left, t = FOutline->Top, r = FOutline->Right, b = FOutline->Bottom;
  if (act == 0 || act == 3 || act == 4) l = C == r ? C - 1 : C;
  if (act == 1 || act == 2 || act == 5) r = C == l ? C + 1 : C;
  if (act == 0 || act == 1 || act == 6) t = D == b ? D - 1 : D;
  if (act == 2 || act == 3 || act == 7) b = D == t ? D + 1 : D;
  // Dragged across the opposite edge: the grip on the other side goes on.
  if (r < l) {
    static const int32_t swapX[8] = {1, 0, 3, 2, 5, 4, 6, 7};
    Grip = swapX[Grip];
  }
  if (b < t) {
    static const int32_t swapY[8] = {3, 2, 1, 0, 4, 5, 7, 6};
    Grip = swapY[Grip];
  }
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  const int32_t w = FBitmap->Width(), h = FBitmap->Height();
  l = std::clamp(l, 0, w);
  r = std::clamp(r, 0, w);
  t = std::clamp(t, 0, h);
  b = std::clamp(b, 0, h);
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  FOutline->Clear();
  FOutline->Add(l, t);
  FOutline->Add(r, t);
  FOutline->Add(r, b);
  FOutline->Add(l, b);
  RedrawOutline();
  return Grip;
}

// ---- drawing the outline (an overlay over the cached rendering) ----

namespace {
// Screen positions at deep zooms reach the ends of the 32-bit range: boxes
// around them are worked out in 64 bits and kept near the window.
TRect NearWindow(int64_t L, int64_t T, int64_t R, int64_t B, int32_t W, int32_t H) {
  auto c = [](int64_t V, int32_t Max) { return static_cast<int32_t>(std::clamp<int64_t>(V, -64, int64_t(Max) + 64)); };
  return Rect(c(L, W), c(T, H), c(R, W), c(B, H));
}

}  // namespace

void TImagerView::RedrawOutline() { SelectionTimerStep(false); }

TRect TImagerView::OutlineScreenBox(const TIMSelectionOutline& O) const {
  const int64_t m = GripSize + 2;
  return NearWindow(XBmp2Scr(O.Left) - m, YBmp2Scr(O.Top) - m, XBmp2Scr(O.Right) + m + 1, YBmp2Scr(O.Bottom) + m + 1,
                    ClientWidth(), ClientHeight());
}

TRect TImagerView::OverlayRect() const {
  TRect r{};
  auto add = [&r](const TRect& R) {
    if (R.Width() <= 0 || R.Height() <= 0) return;
    if (r.Width() <= 0 || r.Height() <= 0) r = R;
    else r = Rect(std::min(r.Left, R.Left), std::min(r.Top, R.Top), std::max(r.Right, R.Right),
                  std::max(r.Bottom, R.Bottom));
  };
  for (const auto& o : FOutlines)
    if (o->Visible && !o->Empty()) add(OutlineScreenBox(*o));
  const int32_t w = ClientWidth(), h = ClientHeight();
  if (!FSelMask.IsEmpty())
    add(NearWindow(int64_t(XBmp2Scr(FSelMask.X1)) - 2, int64_t(YBmp2Scr(FSelMask.Y1)) - 2,
                   int64_t(XBmp2Scr(FSelMask.X2 + 1)) + 3, int64_t(YBmp2Scr(FSelMask.Y2 + 1)) + 3, w, h));
  if (FPolygonInProgress && !FLasso && !FOutline->Empty() && !FOutline->LastIsBreak()) {
    const TPoint& p = FOutline->Points.back();
    const int64_t x = XBmp2Scr(p.X), y = YBmp2Scr(p.Y);
    add(NearWindow(std::min<int64_t>(x, FLastPos.X) - 1, std::min<int64_t>(y, FLastPos.Y) - 1,
                   std::max<int64_t>(x, FLastPos.X) + 2, std::max<int64_t>(y, FLastPos.Y) + 2, w, h));
  }
  return Rect(std::max(r.Left, 0), std::max(r.Top, 0), std::min(r.Right, ClientWidth()),
              std::min(r.Bottom, ClientHeight()));
}

void TImagerView::InvalidateOverlay() {
  if (!HasParentWindow()) return;
  const TRect now = OverlayRect();
  for (const TRect& r : {FOverlayShown, now})
    if (r.Width() > 0 && r.Height() > 0) InvalidateRect(r);
}

void TImagerView::SelectionTimerStep(bool FromTimer) {
  if (!HasParentWindow()) return;
  bool any = false;
  for (const auto& o : FOutlines) {
    if (!o->Visible) continue;
    any = any || !o->Empty() || (o.get() == FOutline && !FSelMask.IsEmpty());
    if (o->Animated && !GestureInProgress() && FromTimer && FGrip < 0 && FMove < 0) {
      o->Phase = o->Phase >= 5 ? 0 : o->Phase + 1;
      ++FBorderPhase;
    }
  }
  if (FPaintLock == 0 && (any || FOverlayShown.Width() > 0)) InvalidateOverlay();
  if (FFilterDelay1 > 0 && --FFilterDelay1 == 0 && FZoomFilter != rfNone) Update();
  if (FFilterDelay2 > 0) --FFilterDelay2;
}

void TImagerView::DrawOutlineRecord(TCanvas& C, TIMSelectionOutline& O, bool Current) {
  // The mask's border painter works on a plane of the zoomed visible part;
  // at a deep zoom that plane would be huge, and the outline's lines serve.
  const TViewPart part = VisiblePart();
  const bool deep = int64_t(part.DestWidth) * part.DestHeight > 4 * int64_t(ClientWidth() + 1) * (ClientHeight() + 1);
  const bool maskBorder = Current && !FSelMask.IsEmpty() && FGrip < 0 && !GestureInProgress() && !(deep && !O.Empty());
  if (maskBorder) {
    if (DelayDisplaySelection && FFilterDelay2 > 0) return;
    if (deep) return;  // a selection without an outline (the wand's regions) shows no border this deep
    FSelMask.DrawOutline(C, FOffsetX, FOffsetY, O.DashColor1, O.DashColor2, FBorderPhase, part.SrcLeft, part.SrcTop,
                         part.SrcWidth, part.SrcHeight, part.DestWidth, part.DestHeight);
  } else if (!O.Empty()) {
    // Two-colour dashes along every edge; the counter runs on from edge to edge.
    const double k = FZoomedWidth > 0 ? double(FBitmap->Width()) / FZoomedWidth : 1.0;
    const double kv = FZoomedHeight > 0 ? double(FBitmap->Height()) / FZoomedHeight : 1.0;
    const double ox = double(Round(-FViewX * k)), oy = double(Round(-FViewY * kv));
    auto sx = [&](int32_t x) { return Round32(FZoomFactor * (ox + x) + FOffsetX); };
    auto sy = [&](int32_t y) { return Round32(FZoomFactor * (oy + y) + FOffsetY); };
    O.DashCounter = O.Phase;
    const TRect clip = C.ClipRect();
    auto edge = [&](const TPoint& A, const TPoint& B) {
      // Every pixel from A up to, not including, B, one per step along the
      // longer axis; only the steps inside the clip are visited, so an edge
      // far longer than the window (a deep zoom) costs what it shows.
      const int64_t x0 = sx(A.X), y0 = sy(A.Y);
      const int64_t dx = int64_t(sx(B.X)) - x0, dy = int64_t(sy(B.Y)) - y0;
      const int64_t n = std::max(std::abs(dx), std::abs(dy));
      const int32_t base = O.DashCounter;
      O.DashCounter = int32_t((base + n) % 6);
      if (n == 0) return;
      double lo = 0, hi = double(n - 1);
      auto narrow = [&](int64_t P0, int64_t D, int32_t Min, int32_t Max) {
        if (D == 0) {
          if (P0 < Min || P0 >= Max) hi = -1;
          return;
        }
        double a = (double(Min) - 1 - double(P0)) * double(n) / double(D);
        double b = (double(Max) + 1 - double(P0)) * double(n) / double(D);
        if (a > b) std::swap(a, b);
        lo = std::max(lo, std::floor(a));
        hi = std::min(hi, std::ceil(b));
      };
      narrow(x0, dx, clip.Left, clip.Right);
      narrow(y0, dy, clip.Top, clip.Bottom);
      for (int64_t i = int64_t(lo); i <= int64_t(hi); ++i) {
        const int64_t x = x0 + std::llround(double(dx) * double(i) / double(n));
        const int64_t y = y0 + std::llround(double(dy) * double(i) / double(n));
        if (x < clip.Left || x >= clip.Right || y < clip.Top || y >= clip.Bottom) continue;
        C.SetPixel(int32_t(x), int32_t(y), (base + i) % 6 < 3 ? O.DashColor1 : O.DashColor2);
      }
    };
    const std::vector<TPoint>& pts = O.Points;
    size_t first = 0;
    for (size_t i = 0; i < pts.size(); ++i) {
      if (pts[i].X == kPolygonSeparator) {
        if (i > first) edge(pts[i - 1], pts[first]);
        first = i + 1;
        continue;
      }
      if (i > first) edge(pts[i - 1], pts[i]);
    }
    const bool open = Current && FPolygonInProgress;
    if (!open && pts.size() > first + 1) edge(pts.back(), pts[first]);
  }
  if (O.Sizeable && IsRectanglePolygon(O.Points.data(), O.Count()) && !FRectDrag) DrawGrips(C, O);
}

void TImagerView::DrawGrips(TCanvas& C, const TIMSelectionOutline& O) {
  C.Pen().SetMode(pmCopy);
  C.Pen().SetStyle(psSolid);
  C.Pen().SetWidth(1);
  C.Pen().SetColor(GripPenColor);
  C.Brush().SetColor(GripBrushColor);
  C.Brush().SetStyle(GripBrushStyle);
  const TRect clip = C.ClipRect();
  auto grip = [&](int64_t X, int64_t Y) {
    if (X + GripSize < clip.Left || X - GripSize >= clip.Right || Y + GripSize < clip.Top ||
        Y - GripSize >= clip.Bottom)
      return;
    C.Rectangle(int32_t(X - GripSize), int32_t(Y - GripSize), int32_t(X + GripSize), int32_t(Y + GripSize));
  };
  for (int32_t i = 0; i < 4; ++i) grip(XBmp2Scr(O.Points[size_t(i)].X), YBmp2Scr(O.Points[size_t(i)].Y));
  if (ShowSideGrips) {
    const int64_t l = XBmp2Scr(O.Left), t = YBmp2Scr(O.Top), r = XBmp2Scr(O.Right), b = YBmp2Scr(O.Bottom);
    grip(l, (t + b) / 2);
    grip(r, (t + b) / 2);
    grip((l + r) / 2, t);
    grip((l + r) / 2, b);
  }
  C.Brush().SetStyle(bsSolid);
}

}  // namespace kv
