// TImagerView: the selection: its outline and mask, the animated drawing of
// both, grips, hit tests and the magic wand.
#include <algorithm>
#include <cstdlib>

#include "imaging/model/geometry.h"
#include "imaging/views/imager_view.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/forms.h"

namespace kv {

TIMMagicWandHooks& MagicWandHooks() {
  static TIMMagicWandHooks hooks;
  return hooks;
}

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
  const TIMMagicWandHooks& hooks = MagicWandHooks();
  if (MagicWandMode == 0) {
    if (!hooks.Trace) return;
    const std::vector<TPoint> pts = hooks.Trace(*FBitmap, bx, by, MagicWandTolerance, MagicWandMaxFilter);
    if (!pts.empty()) {
      if (Add && !FOutline->Empty()) {
        FOutline->AddBreak();
      } else {
        FOutline->Clear();
        FSelMask.Empty();
      }
      for (const TPoint& p : pts) FOutline->Add(std::clamp(p.X, 0, w), std::clamp(p.Y, 0, h));
      if (!Add) FSelMask.Empty();
      EndSelect();
      FOutline->Visible = true;
    }
  } else if (MagicWandMode == 1 || MagicWandMode == 2) {
    if (!Add) {
      FOutline->Clear();
      FSelMask.Empty();
    }
    if (MagicWandMode == 1 && hooks.Fill) hooks.Fill(*FBitmap, bx, by, FSelMask, MagicWandTolerance, MagicWandMaxFilter);
    if (MagicWandMode == 2 && hooks.SameColor) hooks.SameColor(*FBitmap, bx, by, FSelMask, MagicWandTolerance);
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
    const int32_t sx = XBmp2Scr(o.Points[size_t(i)].X), sy = YBmp2Scr(o.Points[size_t(i)].Y);
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

void TImagerView::RedrawOutline() { SelectionTimerStep(false); }

TRect TImagerView::OutlineScreenBox(const TIMSelectionOutline& O) const {
  const int32_t m = GripSize + 2;
  return Rect(XBmp2Scr(O.Left) - m, YBmp2Scr(O.Top) - m, XBmp2Scr(O.Right) + m + 1, YBmp2Scr(O.Bottom) + m + 1);
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
  if (!FSelMask.IsEmpty())
    add(Rect(XBmp2Scr(FSelMask.X1) - 2, YBmp2Scr(FSelMask.Y1) - 2, XBmp2Scr(FSelMask.X2 + 1) + 3,
             YBmp2Scr(FSelMask.Y2 + 1) + 3));
  if (FPolygonInProgress && !FLasso && !FOutline->Empty() && !FOutline->LastIsBreak()) {
    const TPoint& p = FOutline->Points.back();
    const int32_t x = XBmp2Scr(p.X), y = YBmp2Scr(p.Y);
    add(Rect(std::min(x, FLastPos.X) - 1, std::min(y, FLastPos.Y) - 1, std::max(x, FLastPos.X) + 2,
             std::max(y, FLastPos.Y) + 2));
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
  const bool maskBorder = Current && !FSelMask.IsEmpty() && FGrip < 0 && !GestureInProgress();
  if (maskBorder) {
    if (DelayDisplaySelection && FFilterDelay2 > 0) return;
    const TViewPart p = VisiblePart();
    FSelMask.DrawOutline(C, FOffsetX, FOffsetY, O.DashColor1, O.DashColor2, FBorderPhase, p.SrcLeft, p.SrcTop,
                         p.SrcWidth, p.SrcHeight, p.DestWidth, p.DestHeight);
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
      // The window system's line walk: every pixel from A up to, not including, B.
      int32_t x = sx(A.X), y = sy(A.Y);
      const int32_t x2 = sx(B.X), y2 = sy(B.Y);
      const int32_t dx = std::abs(x2 - x), dy = -std::abs(y2 - y);
      const int32_t stx = x < x2 ? 1 : -1, sty = y < y2 ? 1 : -1;
      int32_t err = dx + dy;
      while (x != x2 || y != y2) {
        const TColor c = O.NextDashColor();
        if (x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom) C.SetPixel(x, y, c);
        const int32_t e2 = 2 * err;
        if (e2 >= dy) {
          err += dy;
          x += stx;
        }
        if (e2 <= dx) {
          err += dx;
          y += sty;
        }
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
  auto grip = [&](int32_t X, int32_t Y) { C.Rectangle(X - GripSize, Y - GripSize, X + GripSize, Y + GripSize); };
  for (int32_t i = 0; i < 4; ++i) grip(XBmp2Scr(O.Points[size_t(i)].X), YBmp2Scr(O.Points[size_t(i)].Y));
  if (ShowSideGrips) {
    const int32_t l = XBmp2Scr(O.Left), t = YBmp2Scr(O.Top), r = XBmp2Scr(O.Right), b = YBmp2Scr(O.Bottom);
    grip(l, (t + b) / 2);
    grip(r, (t + b) / 2);
    grip((l + r) / 2, t);
    grip((l + r) / 2, b);
  }
  C.Brush().SetStyle(bsSolid);
}

}  // namespace kv
