// TImagerVect: making and editing objects with the mouse (left button only,
// after the view's own gestures), the polyline, the grips and the measuring
// modes.
//
// Events raised here may change the object list (remove objects, even all of
// them): every call out is followed by a check that the handle still exists.
#include <algorithm>
#include <cmath>

#include "imaging/model/geometry.h"
#include "imaging/views/imager_vect.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/forms.h"

namespace kv {

namespace {
constexpr TIMMouseInteractVt kPutModes = miVtPutLine | miVtPutBox | miVtPutEllipse | miVtPutBitmap | miVtPutText |
                                         miVtDragLen | miVtPutRuler | miVtPutPolyLine;
}  // namespace

TPoint TImagerVect::ClampMouse(int32_t X, int32_t Y) const {
  return TPoint{std::clamp(X, OffsetX(), OffsetX() + VisibleWidth()), std::clamp(Y, OffsetY(), OffsetY() + VisibleHeight())};
}

int32_t TImagerVect::GripAt(int32_t X, int32_t Y) const {
  for (int32_t h : FObjects.Selected()) {
    const TIMVObject* o = FObjects.Get(h);
    if (!o) continue;
    auto near = [&](double GX, double GY) { return std::abs(X - GX) <= 4 && std::abs(Y - GY) <= 4; };
    const double l = XToScr(o->x1), t = YToScr(o->y1), r = XToScr(o->x2), b = YToScr(o->y2);
    if (near(l, t)) return 1;
    if (near(r, b)) return 2;
    if (near((l + r) / 2, (t + b) / 2)) return 3;
    if (o->Kind != imvkLine && o->Kind != imvkRuler) {
      if (near(r, t)) return 4;
      if (near(l, b)) return 5;
    }
  }
  return 0;
}

void TImagerVect::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TImagerView::MouseDown(Button, Shift, X, Y);
  FMouse = TPoint{X, Y};
  if (Button != mbLeft) return;
  EndTextEdit();
  const TPoint p = ClampMouse(X, Y);
  FDown = FLast = p;
  FMoved = false;
  FCtrlSnap = Shift.Contains(ssCtrl);
  const TIMMouseInteractVt m = FMouseInteractVt;
  FShape = imvkNone;
  FDragLen = false;
  if (m & miVtPutLine) FShape = imvkLine;
  else if (m & miVtPutRuler) FShape = imvkRuler;
  else if (m & miVtPutBox) FShape = imvkBox;
  else if (m & miVtPutEllipse) FShape = imvkEllipse;
  else if (m & miVtPutBitmap) FShape = imvkBitmap;
  else if (m & miVtPutText) FShape = imvkText;
  else if (m & miVtDragLen) {
    FShape = imvkLine;
    FDragLen = true;
    FDown = FLast = TPoint{X, Y};
  }
  if (FShape != imvkNone) {
    FShapeDrag = true;
    return;
  }
  if (m & miVtPutPolyLine) {
    const bool dbl = Shift.Contains(ssDouble);
    if (FPolyHandle < 0 || !FObjects.Exists(FPolyHandle)) {
      if (dbl) return;
      TIMVObject t = FObjects.Template();
      t.Kind = imvkPolyline;
      t.Points.clear();
      t.BitmapIndex = -1;
      FPolyHandle = FObjects.Add(t, nullptr, FShareBitmaps);
      FObjects.UnselectAll();
    }
    TIMVObject* o = Obj(FPolyHandle);
    const TPoint b{XScr2Bmp(p.X), YScr2Bmp(p.Y)};
    std::vector<TPoint> pts = o->Points;
    if (pts.empty() || pts.back().X != b.X || pts.back().Y != b.Y) pts.push_back(b);
    SetObjPoints(FPolyHandle, pts);
    FShowPolyRubber = false;
    if (dbl) EndPolyline();
    Invalidate();
    return;
  }
  if (m & miVtEditObject) {
    const int32_t bx = XScr2Bmp(X), by = YScr2Bmp(Y);
    if (Shift.Contains(ssDouble)) {
      const int32_t h = FindObjectAt(bx, by, false);
      if (h >= 0 && OnObjectDblClick) OnObjectDblClick(this, h);
      if (h >= 0 && FObjects.Exists(h) && FObjects.Get(h)->Kind == imvkText &&
          ObjectDistance(*FObjects.Get(h), bx, by) == 0) {
        FObjects.UnselectAll();
        SelectObject(h);
        StartTextEdit(h);
      }
      return;
    }
    FGrip = GripAt(X, Y);
    FGripApplied = TPoint{0, 0};
    if (FGrip != 0) {
      for (int32_t h : FObjects.Selected()) {
        TIMVObject* o = Obj(h);
        o->DragBox = TRect{o->x1, o->y1, o->x2, o->y2};
      }
    } else {
      FRubberSelect = true;
    }
  }
}

bool TImagerVect::LayerDrag(TShiftState Shift, int32_t X, int32_t Y) {
  FCtrlSnap = Shift.Contains(ssCtrl);
  if (FShapeDrag) {
    TPoint p = FDragLen ? TPoint{X, Y} : ClampMouse(X, Y);
    if (!FDragLen) StartAutoScroll(X, Y);
    if (FCtrlSnap && (FShape == imvkLine || FShape == imvkRuler)) SnapDragPoint(FDown.X, FDown.Y, p.X, p.Y);
    FMoved = FMoved || p.X != FDown.X || p.Y != FDown.Y;
    FLast = p;
    if (FDragLen) {
      const double inv = 100.0 / Zoom();
      FDragLenValue = std::hypot((FLast.X - FDown.X) * FUnitX * inv, (FLast.Y - FDown.Y) * FUnitY * inv);
      ShowHint(FDragLenValue, false);
    }
    Invalidate();
    return true;
  }
  if (FPolyHandle >= 0 && (FMouseInteractVt & miVtPutPolyLine)) {
    // Free-hand: every move adds a point.
    StartAutoScroll(X, Y);
    if (const TIMVObject* o = FObjects.Get(FPolyHandle)) {
      const TPoint p = ClampMouse(X, Y);
      const TPoint b{XScr2Bmp(p.X), YScr2Bmp(p.Y)};
      std::vector<TPoint> pts = o->Points;
      if (pts.empty() || pts.back().X != b.X || pts.back().Y != b.Y) {
        pts.push_back(b);
        SetObjPoints(FPolyHandle, pts);
      }
    }
    return true;
  }
  if (FGrip != 0) {
    StartAutoScroll(X, Y);
    FMoved = true;
    GripDrag(X, Y);
    return true;
  }
  if (FRubberSelect) {
    StartAutoScroll(X, Y);
    FLast = TPoint{X, Y};
    FMoved = FMoved || FLast.X != FDown.X || FLast.Y != FDown.Y;
    if (FMoved) RubberSelect();
    Invalidate();
    return true;
  }
  return false;
}

void TImagerVect::ShiftMouseOrigins(int32_t DX, int32_t DY) {
  TImagerView::ShiftMouseOrigins(DX, DY);
  // The screen points of the layer's gestures stay on the same picture points.
  FDown.X -= DX;
  FDown.Y -= DY;
}

void TImagerVect::AutoScrollMove(TShiftState Shift, int32_t X, int32_t Y) {
  if (Shift.Contains(ssLeft)) LayerDrag(Shift, X, Y);
}

void TImagerVect::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TImagerView::MouseMove(Shift, X, Y);
  FMouse = TPoint{X, Y};
  const bool held = Shift.Contains(ssLeft) && GetCaptureControl() == this;
  FCtrlSnap = Shift.Contains(ssCtrl);
  if (held) {
    LayerDrag(Shift, X, Y);
  } else if (!held) {
    if (FPolyHandle >= 0 && FObjects.Exists(FPolyHandle)) {
      TPoint p = ClampMouse(X, Y);
      const TIMVObject* o = FObjects.Get(FPolyHandle);
      if (FCtrlSnap && !o->Points.empty())
        SnapDragPoint(Px32(XToScr(o->Points.back().X)), Px32(YToScr(o->Points.back().Y)), p.X, p.Y);
      FLast = p;
      FShowPolyRubber = true;
      Invalidate();
    } else if (OnObjectOver) {
      const int32_t h = FindObjectAt(XScr2Bmp(X), YScr2Bmp(Y), false);
      if (h >= 0) OnObjectOver(this, h);
    }
  }
  // The measuring modes follow a polygon selection as it is drawn.
  if (PolygonInProgress() && (FMouseInteractVt & (miVtArea | miVtLineLen))) {
    if (FMouseInteractVt & miVtArea) ShowHint(GetSelectionArea(), true);
    else ShowHint(GetSelectionLen(), false);
  } else if (!FHintText.empty() && !FDragLen) {
    Invalidate();  // the hint follows the mouse
  }
}

int32_t TImagerVect::Px32(double V) { return int32_t(std::llround(std::clamp(V, -2e9, 2e9))); }

void TImagerVect::GripDrag(int32_t X, int32_t Y) {
  // The whole offset since the grip was taken, so that slow moves at deep zooms add up.
  const double inv = 100.0 / Zoom();
  const int32_t tx = Trunc32((X - FDown.X) * inv), ty = Trunc32((Y - FDown.Y) * inv);
  const int32_t stepX = tx - FGripApplied.X, stepY = ty - FGripApplied.Y;
  FGripApplied = TPoint{tx, ty};
  if (stepX == 0 && stepY == 0) return;
  const bool alt = ForceAltKey || GetKeyState(VK_MENU) < 0;
  const std::vector<int32_t> handles = FObjects.Selected();  // a handler may change the selection
  for (int32_t h : handles) {
    if (!FObjects.Exists(h)) continue;
    int32_t ox = stepX, oy = stepY;
    if (OnObjectMoveResize) {
      OnObjectMoveResize(this, h, FGrip, ox, oy);
      if (!FObjects.Exists(h) || FGrip == 0) continue;
    }
    TIMVObject* o = Obj(h);
    auto add = [](int32_t& V, int32_t D) { V = int32_t(std::clamp<int64_t>(int64_t(V) + D, INT32_MIN, INT32_MAX)); };
    if (FGrip == 3) {
      if (o->Flags & imvfMoveable) {
        add(o->x1, ox);
        add(o->x2, ox);
        add(o->y1, oy);
        add(o->y2, oy);
      }
      continue;
    }
    if (!(o->Flags & imvfSizeable)) continue;
    switch (FGrip) {
      case 1: add(o->x1, ox); add(o->y1, oy); break;
      case 2: add(o->x2, ox); add(o->y2, oy); break;
      case 4: add(o->x2, ox); add(o->y1, oy); break;
      case 5: add(o->x1, ox); add(o->y2, oy); break;
      default: break;
    }
    if (alt) {
      // Keep the width-to-height ratio of the box at the start of the drag.
      const TRect& d = o->DragBox;
      const double dw = double(d.Right) - d.Left;
      if (dw != 0) {
        const double ratio = (double(d.Bottom) - d.Top) / dw;
        const int64_t hgt = Round((double(o->x2) - o->x1) * ratio);
        if (FGrip == 1 || FGrip == 4) o->y1 = int32_t(std::clamp<int64_t>(int64_t(o->y2) - hgt, INT32_MIN, INT32_MAX));
        else o->y2 = int32_t(std::clamp<int64_t>(int64_t(o->y1) + hgt, INT32_MIN, INT32_MAX));
      }
    }
  }
  Invalidate();
}

void TImagerVect::RubberSelect() {
  const TRect r = OrderedBox(XScr2Bmp(FDown.X), YScr2Bmp(FDown.Y), XScr2Bmp(FLast.X), YScr2Bmp(FLast.Y));
  FObjects.UnselectAll();
  for (int32_t h : FObjects.DrawOrder()) {
    const TRect b = OrderedBox(*FObjects.Get(h));
    if (b.Left >= r.Left && b.Right <= r.Right && b.Top >= r.Top && b.Bottom <= r.Bottom) FObjects.Select(h);
  }
  if (OnSelectObject) OnSelectObject(this);
}

void TImagerVect::EndPolyline() {
  const int32_t h = FPolyHandle;
  FPolyHandle = -1;
  FShowPolyRubber = false;
  if (!FObjects.Exists(h)) return;
  const TIMVObject* o = FObjects.Get(h);
  TIMVObject& t = FObjects.Template();
  t.x1 = o->x1;
  t.y1 = o->y1;
  t.x2 = o->x2;
  t.y2 = o->y2;
  FObjects.UnselectAll();
  SelectObject(h);
  VectorialChanged();
  if (OnNewObject && FObjects.Exists(h)) OnNewObject(this, h);
  Invalidate();
}

void TImagerVect::FinishShape(TShiftState Shift) {
  (void)Shift;
  const TIMVKind shape = FShape;
  FShapeDrag = false;
  FShape = imvkNone;
  if (FDragLen) {
    FDragLen = false;
    FHintText.clear();
    Invalidate();
    if (OnDragLenEnd) OnDragLenEnd(this, FDragLenValue);
    return;
  }
  TIMVObject& t = FObjects.Template();
  if (FMoved) {
    int32_t x1 = XScr2Bmp(FDown.X), y1 = YScr2Bmp(FDown.Y), x2 = XScr2Bmp(FLast.X), y2 = YScr2Bmp(FLast.Y);
    if (shape == imvkEllipse && FCtrlSnap) {
      const int32_t e = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
      x2 = x1 + (x2 < x1 ? -e : e);
      y2 = y1 + (y2 < y1 ? -e : e);
    }
    t.x1 = x1;
    t.y1 = y1;
    t.x2 = x2;
    t.y2 = y2;
  } else {
    // A click puts the template's box, with its size, at the point.
    const int64_t w = std::abs(int64_t(t.x2) - t.x1), h = std::abs(int64_t(t.y2) - t.y1);
    t.x1 = XScr2Bmp(FDown.X);
    t.y1 = YScr2Bmp(FDown.Y);
    t.x2 = int32_t(std::clamp<int64_t>(t.x1 + w, INT32_MIN, INT32_MAX));
    t.y2 = int32_t(std::clamp<int64_t>(t.y1 + h, INT32_MIN, INT32_MAX));
  }
  t.Kind = shape;
  const int32_t h = FObjects.Add(t, nullptr, FShareBitmaps);
  FObjects.UnselectAll();
  FObjects.Select(h);
  if (OnSelectObject) OnSelectObject(this);
  if (shape == imvkText && FObjects.Exists(h)) StartTextEdit(h);
  else VectorialChanged();
  if (OnNewObject && FObjects.Exists(h)) OnNewObject(this, h);
}

void TImagerVect::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TImagerView::MouseUp(Button, Shift, X, Y);
  FMouse = TPoint{X, Y};
  if (Button != mbLeft) return;
  if (FPolyHandle >= 0) {
    FShowPolyRubber = false;  // the polyline goes on
    Invalidate();
    return;
  }
  if (FTextEditHandle < 0) {
    if (FShapeDrag) {
      FinishShape(Shift);
    } else if (FMouseInteractVt & miVtEditObject) {
      if (FGrip != 0) {
        FGrip = 0;
        if (FMoved) {
          for (int32_t h : FObjects.Selected()) OrderObjectBox(*Obj(h));
          VectorialChanged();
        }
      } else if (FRubberSelect && FMoved) {
        // The selection was made while dragging.
      } else if (!(FMouseInteractVt & kPutModes)) {
        const int32_t h = FindObjectAt(XScr2Bmp(X), YScr2Bmp(Y), true);
        if (h >= 0) {
          if (OnObjectClick) OnObjectClick(this, h);
          if (FObjects.Exists(h)) {
            if (Shift.Contains(ssShift)) {
              if (FObjects.IsSelected(h)) FObjects.Unselect(h);
              else FObjects.Select(h);
            } else {
              FObjects.UnselectAll();
              FObjects.Select(h);
            }
          }
        } else {
          FObjects.UnselectAll();
        }
        if (OnSelectObject) OnSelectObject(this);
      }
    }
  }
  FShapeDrag = false;
  FGrip = 0;
  FRubberSelect = false;
  FMoved = false;
  StopAutoScroll();
  Update();
}

}  // namespace kv
