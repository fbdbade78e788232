// TImagerView: mouse gestures (zoom clicks, scroll drags, rectangle,
// ellipse, polygon, lasso and magic-wand selections, moving and resizing a
// selection), auto-scrolling while dragging, and the Shift cursors.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "imaging/model/geometry.h"
#include "imaging/views/imager_view.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/forms.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {
const TIMMouseInteract kSelectionModes{miSelect, miSelectPolygon, miSelectCircle, miSelectZoom, miSelectMagicWand,
                                       miSelectLasso};
bool AnyOf(TIMMouseInteract Set, TIMMouseInteract Items) { return !(Set * Items).Empty(); }
}  // namespace

void TImagerView::ApplyCursor(TCursor C) { TIMView::SetCursor(C); }

bool TImagerView::AltHeld() const { return ForceAltKey || GetKeyState(VK_MENU) < 0; }

TPoint TImagerView::ClampToPicture(int32_t X, int32_t Y) const {
  return TPoint{std::clamp(X, FOffsetX, FOffsetX + FVisibleWidth), std::clamp(Y, FOffsetY, FOffsetY + FVisibleHeight)};
}

void TImagerView::ShiftMouseOrigins(int32_t DX, int32_t DY) {
  FLastPos.X -= DX;
  FLastPos.Y -= DY;
  FMoveOrigin.X -= DX;
  FMoveOrigin.Y -= DY;
}

bool TImagerView::AutoScrolling() const { return FScrollTimer->Enabled(); }

void TImagerView::StartAutoScroll(int32_t X, int32_t Y) {
  FAutoScrollPos = TPoint{X, Y};
  const bool outside = X < FOffsetX || X > FOffsetX + FVisibleWidth - 1 || Y < FOffsetY ||
                       Y > FOffsetY + FVisibleHeight - 1;
  if (!outside) {
    StopAutoScroll();
    return;
  }
  // The first step at once; the timer goes on while the mouse stays outside.
  if (!FScrollTimer->Enabled()) {
    FScrollTimer->SetEnabled(true);
    AutoScrollStep();
  }
}

void TImagerView::StopAutoScroll() { FScrollTimer->SetEnabled(false); }

void TImagerView::AutoScrollStep() {
  const int32_t x = FAutoScrollPos.X, y = FAutoScrollPos.Y;
  const int32_t dx = x < FOffsetX ? x - FOffsetX : x > FOffsetX + FVisibleWidth - 1 ? x - (FOffsetX + FVisibleWidth - 1) : 0;
  const int32_t dy =
      y < FOffsetY ? y - FOffsetY : y > FOffsetY + FVisibleHeight - 1 ? y - (FOffsetY + FVisibleHeight - 1) : 0;
  if (dx == 0 && dy == 0) {
    StopAutoScroll();
    return;
  }
  const int32_t vx = FViewX, vy = FViewY;
  SetViewXY(FViewX + dx, FViewY + dy);
  const int32_t mx = FViewX - vx, my = FViewY - vy;
  if (mx == 0 && my == 0) {
    StopAutoScroll();
    return;
  }
  FDownPos.X -= mx;
  FDownPos.Y -= my;
  ShiftMouseOrigins(mx, my);
  // The gesture follows the picture under the resting mouse.
  if (GetCaptureControl() == this) {
    DragMove(FDragShift, x, y);
    AutoScrollMove(FDragShift, x, y);
  }
}

// ---- mouse down ----

void TImagerView::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TIMView::MouseDown(Button, Shift, X, Y);
  if (CanFocus() && !Focused()) SetFocus();
  if (Button != mbLeft && !FMouseInteract.Contains(miZoom)) return;
  FRememberedFilter = FZoomFilter;
  if (!FMouseInteract.Contains(miScroll)) FZoomFilter = rfNone;
  const TIMSelectionBase base = FSelectionBase;
  FSelectionBase = imsbClientArea;
  TPoint p = ClampToPicture(X, Y);
  FDownPos = FLastPos = FMoveOrigin = p;
  FDownViewX = FViewX;
  FDownViewY = FViewY;
  FDownCount = FOutline->Count();
  FDragShift = Shift;
  // Every button that got this far starts the mode's gesture (another than
  // the left one only in a zoom mode, where it drags the picture too).
  {
    if (AnyOf(FMouseInteract, {miSelectPolygon, miSelectLasso})) {
      FMove = MoveHitTest(p.X, p.Y);
      if (FMove < 0) {
        if (AltHeld() && !FOutline->Empty() && !FOutline->LastIsBreak()) {
          const TPoint& last = FOutline->Points.back();
          SnapDragPoint(last.X + FOffsetX - FViewX, last.Y + FOffsetY - FViewY, p.X, p.Y);
        }
        if (!FPolygonInProgress) {
          if (Shift.Contains(ssShift)) {
            if (!FOutline->Empty() && !FOutline->LastIsBreak()) FOutline->AddBreak();
          } else {
            DeSelect();
          }
        }
        FOutline->Add(std::clamp(XScr2Bmp(p.X), 0, FBitmap->Width()), std::clamp(YScr2Bmp(p.Y), 0, FBitmap->Height()));
        FOutline->Visible = true;
        FSelectionExists = true;
        FPolygonInProgress = true;
        FLasso = FMouseInteract.Contains(miSelectLasso);
        FLastPos = p;
        RedrawOutline();
        if (OnSelectionChanging) OnSelectionChanging(this);
      }
    } else if (AnyOf(FMouseInteract, {miSelect, miSelectZoom})) {
      FGrip = GripHitTest(p.X, p.Y);
      FMove = FGrip < 0 ? MoveHitTest(p.X, p.Y) : -1;
      if (FGrip < 0 && FMove < 0) {
        FRectDrag = true;
        if (OnSelectionChanging) OnSelectionChanging(this);
      } else if (FGrip >= 0) {
        FGripBox = Rect(FOutline->Left, FOutline->Top, FOutline->Right, FOutline->Bottom);
      }
    } else if (FMouseInteract.Contains(miSelectCircle)) {
      FMove = MoveHitTest(p.X, p.Y);
      if (FMove < 0) {
        FEllipseDrag = true;
        FOutline->Visible = true;
        if (OnSelectionChanging) OnSelectionChanging(this);
      }
    } else if (FMouseInteract.Contains(miSelectMagicWand)) {
      FMove = MoveHitTest(p.X, p.Y);
    }
    if (FMouseInteract.Contains(miScroll)) {
      FScrollDrag = true;
      if (Button == mbLeft) ApplyCursor(crIMHand);
    }
  }
  FSelectionBase = base;
}

// ---- mouse move ----

void TImagerView::RectTo(TShiftState Shift, int32_t X, int32_t Y) {
  if (Shift.Contains(ssShift)) {
    if (FOutline->Count() > FDownCount) RemovePointsSinceDown();
    SelectRect(FDownPos.X, FDownPos.Y, X, Y, 1, AltHeld());
  } else {
    SelectRect(FDownPos.X, FDownPos.Y, X, Y, 0, AltHeld());
  }
}

void TImagerView::EllipseTo(TShiftState Shift, int32_t X, int32_t Y) {
  if (Shift.Contains(ssShift)) {
    if (FOutline->Count() > FDownCount) RemovePointsSinceDown();
    if (!FOutline->Empty() && !FOutline->LastIsBreak()) FOutline->AddBreak();
  } else {
    FOutline->Clear();
  }
  int32_t rx = std::abs(FDownPos.X - X), ry = std::abs(FDownPos.Y - Y);
  if (AltHeld()) rx = ry = std::max(rx, ry);
  const int32_t rxb = Trunc32(rx * FInvZoomFactor), ryb = Trunc32(ry * FInvZoomFactor);
  const int32_t n = std::max(Trunc32(std::min(rxb, ryb) * 2 * std::numbers::pi) >> 2, 3);
  const double cx = XScr2Bmp(FDownPos.X), cy = YScr2Bmp(FDownPos.Y);
  const int32_t w = FBitmap->Width(), h = FBitmap->Height();
  for (int32_t t = 0; t < n; ++t) {
    const double a = 2 * std::numbers::pi / n * t;
    FOutline->Add(std::clamp(Trunc32(cx + std::cos(a) * rxb), 0, w), std::clamp(Trunc32(cy + std::sin(a) * ryb), 0, h));
  }
  FSelectionExists = true;
  FOutline->Visible = true;
  RedrawOutline();
}

void TImagerView::DragMove(TShiftState Shift, int32_t X, int32_t Y) {
  const TPoint p = ClampToPicture(X, Y);
  if (FScrollDrag) {
    SetViewXY(FDownViewX + FDownPos.X - X, FDownViewY + FDownPos.Y - Y);
  } else if (FGrip >= 0) {
    StartAutoScroll(X, Y);
    FGrip = ResizeByGrip(FGrip, XScr2Bmp(p.X), YScr2Bmp(p.Y), AltHeld());
    if (OnSelectionChanging) OnSelectionChanging(this);
  } else if (FMove >= 0) {
    StartAutoScroll(X, Y);
    int32_t dx = XScr2Bmp(p.X) - XScr2Bmp(FLastPos.X), dy = YScr2Bmp(p.Y) - YScr2Bmp(FLastPos.Y);
    if (dx != 0 || dy != 0) {
      InvalidateOverlay();
      FSelMask.TranslateBits(dx, dy, FSelectionOptions.Contains(imsoCutBorders));
      FOutline->Offset(dx, dy);
      const int32_t w = FBitmap->Width(), h = FBitmap->Height();
      for (TPoint& q : FOutline->Points)
        if (q.X != kPolygonSeparator) q = TPoint{std::clamp(q.X, 0, w), std::clamp(q.Y, 0, h)};
      FOutline->RecalcBox();
      if (FSelectionOptions.Contains(imsoFilled)) {
        MarkDirty();
        Invalidate();
      }
      RedrawOutline();
    }
    if (OnSelectionChanging) OnSelectionChanging(this);
  } else if (FRectDrag) {
    StartAutoScroll(X, Y);
    InvalidateOverlay();
    RectTo(Shift, p.X, p.Y);
    if (OnSelectionChanging) OnSelectionChanging(this);
  } else if (FLasso && FPolygonInProgress) {
    StartAutoScroll(X, Y);
    FOutline->Add(std::clamp(XScr2Bmp(p.X), 0, FBitmap->Width()), std::clamp(YScr2Bmp(p.Y), 0, FBitmap->Height()));
    RedrawOutline();
    if (OnSelectionChanging) OnSelectionChanging(this);
  } else if (FEllipseDrag) {
    StartAutoScroll(X, Y);
    InvalidateOverlay();
    EllipseTo(Shift, p.X, p.Y);
    if (OnSelectionChanging) OnSelectionChanging(this);
  }
  FLastPos = FMoveOrigin = p;
}

void TImagerView::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TIMView::MouseMove(Shift, X, Y);
  const TIMSelectionBase base = FSelectionBase;
  FSelectionBase = imsbClientArea;
  TPoint p = ClampToPicture(X, Y);
  const bool held = GetCaptureControl() == this &&
                    (Shift.Contains(ssLeft) || Shift.Contains(ssRight) || Shift.Contains(ssMiddle));
  if (held) {
    FDragShift = Shift;
    DragMove(Shift, X, Y);
    p = FLastPos;
  } else if (!FPolygonInProgress || FLasso) {
    if (AnyOf(FMouseInteract, kSelectionModes)) {
      const int32_t g = GripHitTest(p.X, p.Y);
      if (OnMouseInResizingGrip) OnMouseInResizingGrip(this, g);
      static const TCursor gripCursor[8] = {crIMMove2, crIMMove1, crIMMove2, crIMMove1,
                                            crIMMoveX, crIMMoveX, crIMMoveY, crIMMoveY};
      if (g >= 0) ApplyCursor(gripCursor[g]);
      else ApplyCursor(MoveHitTest(p.X, p.Y) == 0 ? crIMMove : FDefaultCursor);
    }
  } else {
    // A polygon being drawn: the rubber line follows the mouse.
    if (AltHeld() && !FOutline->Empty() && !FOutline->LastIsBreak()) {
      const TPoint& last = FOutline->Points.back();
      SnapDragPoint(last.X + FOffsetX - FViewX, last.Y + FOffsetY - FViewY, p.X, p.Y);
    }
    InvalidateOverlay();
    FLastPos = p;
    InvalidateOverlay();
    if (OnSelectionChanging) OnSelectionChanging(this);
  }
  if (OnMouseInSel && FSelMask.IsPointInside(XScr2Bmp(p.X), YScr2Bmp(p.Y))) OnMouseInSel(this);
  FLastPos = FMoveOrigin = p;
  FSelectionBase = base;
}

// ---- mouse up ----

void TImagerView::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TIMView::MouseUp(Button, Shift, X, Y);
  StopAutoScroll();
  const TIMSelectionBase base = FSelectionBase;
  FSelectionBase = imsbClientArea;
  const TPoint p = ClampToPicture(X, Y);
  const bool left = Button == mbLeft;
  const bool click = p.X == FDownPos.X && p.Y == FDownPos.Y;
  const bool shift = Shift.Contains(ssShift);
  auto finish = [&] {
    if (OnSelectionChange) OnSelectionChange(this);
    Update();
  };
  double proposed = 0;
  if (FMouseInteract.Contains(miZoom) && click && Button != mbMiddle) {
    if (left) {
      if (FMouseInteract.Contains(miScroll)) ApplyCursor(FDefaultCursor);
      if (FZoom >= 100) {
        proposed = FZoom + 100;
      } else {
        for (double z : {2.0, 5.0, 10.0, 25.0, 33.0, 50.0, 75.0, 100.0})
          if (z > FZoom) {
            proposed = z;
            break;
          }
      }
      if (OnZoomIn) OnZoomIn(this, proposed);
    } else {
      if (FZoom >= 200) {
        proposed = FZoom - 100;
      } else {
        proposed = 2;
        for (double z : {100.0, 75.0, 50.0, 33.0, 25.0, 10.0, 5.0, 2.0})
          if (z < FZoom) {
            proposed = z;
            break;
          }
      }
      if (OnZoomOut) OnZoomOut(this, proposed);
    }
    if (proposed != FZoom) ZoomAt(p.X, p.Y, proposed);
    FPolygonInProgress = false;
  } else if (left && FMouseInteract.Contains(miScroll)) {
    if (FScrollDrag) SetViewXY(FDownViewX + FDownPos.X - X, FDownViewY + FDownPos.Y - Y);
    ApplyCursor(FDefaultCursor);
  } else if (left && FMouseInteract.Contains(miSelectZoom)) {
    ZoomSelection();
    FRectDrag = false;
  } else if (left && AnyOf(FMouseInteract, {miSelect, miSelectCircle})) {
    if (click && FGrip < 0 && FMove < 0) {
      DeSelect();
    } else {
      if (FRectDrag || FEllipseDrag || FGrip >= 0) {
        if (!shift) FSelMask.Empty();
        FRectDrag = FEllipseDrag = false;
        FGrip = -1;
        EndSelect();
      }
      FGrip = FMove = -1;
      finish();
    }
  } else if (left && FMouseInteract.Contains(miSelectPolygon)) {
    if (FMove >= 0) {
      FMove = -1;
      if (OnSelectionChange) OnSelectionChange(this);
    }
    Update();
  } else if (left && FMouseInteract.Contains(miSelectMagicWand)) {
    if (FMove < 0) {
      FSavedCursor = Screen ? Screen->Cursor() : crDefault;
      if (Screen) Screen->SetCursor(crHourGlass);
      MagicWandSelect(p.X, p.Y, shift);
      if (Screen) Screen->SetCursor(FSavedCursor);
    }
    FMove = -1;
    finish();
  } else if (left && FMouseInteract.Contains(miSelectLasso)) {
    if (click && FMove < 0) {
      DeSelect();
    } else {
      if (FLasso && FPolygonInProgress) {
        if (!shift) FSelMask.Empty();
        FPolygonInProgress = FLasso = false;
        EndSelect();
      }
      FPolygonInProgress = FLasso = false;
      FMove = -1;
      finish();
    }
  }
  if (FZoomFilter != FRememberedFilter) {
    FZoomFilter = FRememberedFilter;
    MarkDirty();
    Invalidate();
  }
  FScrollDrag = false;  // whichever button dragged the picture
  if (left) {
    FGrip = FMove = -1;
    FRectDrag = FEllipseDrag = false;
    if (FLasso) FPolygonInProgress = FLasso = false;
    InvalidateOverlay();
  }
  FSelectionBase = base;
}

// ---- keys ----

void TImagerView::KeyDown(uint16_t& Key, TShiftState Shift) {
  TIMView::KeyDown(Key, Shift);
  if (!Shift.Contains(ssShift)) return;
  if (Cursor() == crIMCross3) ApplyCursor(crIMCross3Plus);
  else if (Cursor() == crIMCross2) ApplyCursor(crIMCross2Plus);
}

void TImagerView::KeyUp(uint16_t& Key, TShiftState Shift) {
  TIMView::KeyUp(Key, Shift);
  if (Shift.Contains(ssShift)) return;
  if (Cursor() == crIMCross3Plus) ApplyCursor(crIMCross3);
  else if (Cursor() == crIMCross2Plus) ApplyCursor(crIMCross2);
}

}  // namespace kv
