// TImagerVect: the object list by handle, bitmaps, copying, measuring and
// the text editor.
#include "imaging/views/imager_vect.h"

#include <algorithm>
#include <cmath>

#include "imaging/formats/codec.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/std_controls.h"

namespace kv {

TImagerVect::TImagerVect(TComponent* AOwner) : TImagerView(AOwner) {
  FObjects.Template().PenColor = Canvas().Font().Color();
  FObjects.Template().Font = TIMVFont{};
  SetObjBitmapICO(kIMVTemplate, "IDI_ERROR", 64, 64);
  FEdit = new TEdit(this);
  FEdit->SetVisible(false);
  FEdit->OnKeyDown = [this](TObject* S, uint16_t& K, TShiftState Sh) { EditKeyDown(S, K, Sh); };
  FEdit->OnChange = [this](TObject* S) { EditChange(S); };
  RecomputeUnits();
}

TImagerVect::~TImagerVect() = default;

// ---- objects ----

void TImagerVect::ObjChanged(int32_t hobj) {
  if (hobj != kIMVTemplate) Update();
}

int32_t TImagerVect::AddNewObject(const TIMVObject& Source) {
  const int32_t h = FObjects.Add(Source, nullptr, FShareBitmaps);
  Update();
  return h;
}

int32_t TImagerVect::AddNewObject() {
  const TIMVObject t = FObjects.Template();
  return AddNewObject(t);
}

void TImagerVect::RemoveObject(int32_t hobj) {
  const int32_t h = FObjects.Resolve(hobj);
  if (h < 0) return;
  if (h == FTextEditHandle) EndTextEdit(true);
  if (h == FPolyHandle) {
    FPolyHandle = -1;
    FShowPolyRubber = false;
  }
  const bool wasSelected = FObjects.IsSelected(h);
  FObjects.Remove(h);
  if (FObjects.Selected().empty()) FGrip = 0;
  if (wasSelected && OnSelectObject) OnSelectObject(this);
  Update();
}

void TImagerVect::RemoveAllObjects() {
  EndTextEdit(true);
  FObjects.Clear();
  FPolyHandle = -1;
  FShowPolyRubber = false;
  FGrip = 0;
  VectorialChanged();
  Update();
}

void TImagerVect::MoveObject(int32_t hobj, int32_t DX, int32_t DY) {
  TIMVObject* o = Obj(hobj);
  if (!o) return;
  auto add = [](int32_t& V, int32_t D) { V = int32_t(std::clamp<int64_t>(int64_t(V) + D, INT32_MIN, INT32_MAX)); };
  add(o->x1, DX);
  add(o->x2, DX);
  add(o->y1, DY);
  add(o->y2, DY);
  ObjChanged(hobj);
}

void TImagerVect::ResizeObject(int32_t hobj, int32_t Grip, int32_t DX, int32_t DY) {
  TIMVObject* o = Obj(hobj);
  if (!o) return;
  auto add = [](int32_t& V, int32_t D) { V = int32_t(std::clamp<int64_t>(int64_t(V) + D, INT32_MIN, INT32_MAX)); };
  switch (Grip) {
    case 0: add(o->x1, -DX); add(o->y1, -DY); add(o->x2, DX); add(o->y2, DY); break;
    case 1: add(o->x1, DX); add(o->y1, DY); break;
    case 2: add(o->x2, DX); add(o->y2, DY); break;
    case 4: add(o->x2, DX); add(o->y1, DY); break;
    case 5: add(o->x1, DX); add(o->y2, DY); break;
    default: return;
  }
  ObjChanged(hobj);
}

// ---- selection ----

void TImagerVect::SelectObject(int32_t hobj) {
  if (!FObjects.Select(hobj)) return;
  if (OnSelectObject) OnSelectObject(this);
  Invalidate();
}

void TImagerVect::UnSelObject(int32_t hobj) {
  if (!FObjects.Unselect(hobj)) return;
  if (OnSelectObject) OnSelectObject(this);
  Invalidate();
}

void TImagerVect::UnSelAllObjects() {
  FObjects.UnselectAll();
  FGrip = 0;
  if (OnSelectObject) OnSelectObject(this);
  Invalidate();
}

int32_t TImagerVect::SelObjects(int32_t Index) const {
  const auto& s = FObjects.Selected();
  return Index >= 0 && Index < int32_t(s.size()) ? s[size_t(Index)] : kIMVNone;
}

TRect TImagerVect::VisibleBitmapRect() const {
  const TViewPart p = VisiblePart();
  return TRect{p.SrcLeft, p.SrcTop, p.SrcLeft + p.SrcWidth, p.SrcTop + p.SrcHeight};
}

int32_t TImagerVect::FindObjectAt(int32_t X, int32_t Y, bool SelectableOnly) const {
  return FObjects.FindObjectAt(X, Y, SelectableOnly, VisibleBitmapRect(), Zoom(), FMaxSelectionDistance);
}

// ---- properties by handle ----

#define KV_VECT_FIELD(Type, Getter, Setter, Field, Default)            \
  Type TImagerVect::Getter(int32_t hobj) const {                       \
    const TIMVObject* o = FObjects.Get(hobj);                          \
    return o ? o->Field : Default;                                     \
  }                                                                    \
  void TImagerVect::Setter(int32_t hobj, Type Value) {                 \
    if (TIMVObject* o = Obj(hobj)) {                                   \
      o->Field = Value;                                                \
      ObjChanged(hobj);                                                   \
    }                                                                  \
  }

KV_VECT_FIELD(TIMVKind, ObjKind, SetObjKind, Kind, imvkNone)
KV_VECT_FIELD(TColor, ObjPenColor, SetObjPenColor, PenColor, clBlack)
KV_VECT_FIELD(TPenStyle, ObjPenStyle, SetObjPenStyle, PenStyle, psSolid)
KV_VECT_FIELD(int32_t, ObjPenWidth, SetObjPenWidth, PenWidth, 0)
KV_VECT_FIELD(TColor, ObjBrushColor, SetObjBrushColor, BrushColor, clWhite)
KV_VECT_FIELD(TBrushStyle, ObjBrushStyle, SetObjBrushStyle, BrushStyle, bsClear)
KV_VECT_FIELD(double, ObjArcStartingAngle, SetObjArcStartingAngle, ArcStart, 0)
KV_VECT_FIELD(double, ObjArcEndingAngle, SetObjArcEndingAngle, ArcEnd, 0)
KV_VECT_FIELD(uint8_t, ObjBeginShape, SetObjBeginShape, StartShape, 0)
KV_VECT_FIELD(uint8_t, ObjEndShape, SetObjEndShape, EndShape, 0)
KV_VECT_FIELD(int32_t, ObjShapeWidth, SetObjShapeWidth, ShapeWidth, 0)
KV_VECT_FIELD(int32_t, ObjShapeHeight, SetObjShapeHeight, ShapeHeight, 0)
KV_VECT_FIELD(uint8_t, ObjTextAlign, SetObjTextAlign, TextAlign, 0)
KV_VECT_FIELD(bool, ObjTextAutoSize, SetObjTextAutoSize, AutoSize, false)
KV_VECT_FIELD(uint8_t, ObjFlags, SetObjFlags, Flags, 0)
KV_VECT_FIELD(TIMUnits, ObjRulerUnit, SetObjRulerUnit, RulerUnit, imuPIXELS)
KV_VECT_FIELD(uint8_t, ObjRulerType, SetObjRulerType, RulerType, 0)
#undef KV_VECT_FIELD

TRect TImagerVect::ObjBox(int32_t hobj) const {
  const TIMVObject* o = FObjects.Get(hobj);
  return o ? TRect{o->x1, o->y1, o->x2, o->y2} : TRect{};
}

void TImagerVect::SetObjBox(int32_t hobj, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  TIMVObject* o = Obj(hobj);
  if (!o) return;
  o->x1 = X1;
  o->y1 = Y1;
  o->x2 = X2;
  o->y2 = Y2;
  ObjChanged(hobj);
}

std::string TImagerVect::ObjText(int32_t hobj) const {
  const TIMVObject* o = FObjects.Get(hobj);
  return o ? o->Text : std::string();
}

void TImagerVect::SetObjText(int32_t hobj, const std::string& Value) {
  if (TIMVObject* o = Obj(hobj)) {
    o->Text = Value;
    ObjChanged(hobj);
  }
}

std::string TImagerVect::ObjName(int32_t hobj) const {
  const TIMVObject* o = FObjects.Get(hobj);
  return o ? o->Name : std::string();
}

void TImagerVect::SetObjName(int32_t hobj, const std::string& Value) {
  if (TIMVObject* o = Obj(hobj)) {
    o->Name = Value;
    ObjChanged(hobj);
  }
}

TIMVFont TImagerVect::EffectiveFont(const TIMVObject& O) const {
  const TIMVObject& tp = FObjects.Template();
  const TIMVFont t = tp.Font && !tp.Font->FaceName.empty() ? *tp.Font : TIMVFont{};
  if (!O.Font) return t;
  TIMVFont f = *O.Font;
  // A font without a face is drawn with the template's face.
  if (f.FaceName.empty()) f.FaceName = t.FaceName;
  return f;
}

TIMVFont TImagerVect::ObjFont(int32_t hobj) const {
  const TIMVObject* o = FObjects.Get(hobj);
  return o ? EffectiveFont(*o) : EffectiveFont(FObjects.Template());
}

void TImagerVect::SetObjFont(int32_t hobj, const TIMVFont& Value) {
  if (TIMVObject* o = Obj(hobj)) {
    o->Font = Value;
    ObjChanged(hobj);
  }
}

void TImagerVect::SetObjFont(int32_t hobj, const TFont& Value) {
  TIMVObject* o = Obj(hobj);
  if (!o) return;
  TIMVFont f;
  f.Height = Value.Height();
  f.FaceName = Value.Name();
  f.Weight = Value.Style().Contains(fsBold) ? 700 : 400;
  f.Italic = Value.Style().Contains(fsItalic);
  f.Underline = Value.Style().Contains(fsUnderline);
  f.StrikeOut = Value.Style().Contains(fsStrikeOut);
  f.Escapement = o->Font ? o->Font->Escapement : 0;
  o->Font = f;
  o->PenColor = Value.Color();
  ObjChanged(hobj);
}

std::vector<TPoint> TImagerVect::ObjPoints(int32_t hobj) const {
  const TIMVObject* o = FObjects.Get(hobj);
  return o ? o->Points : std::vector<TPoint>{};
}

void TImagerVect::SetObjPoints(int32_t hobj, const std::vector<TPoint>& Points) {
  TIMVObject* o = Obj(hobj);
  if (!o) return;
  o->Points = Points;
  TRect b{};
  if (!Points.empty()) {
    b = TRect{Points[0].X, Points[0].Y, Points[0].X, Points[0].Y};
    for (const TPoint& p : Points) b = TRect{std::min(b.Left, p.X), std::min(b.Top, p.Y), std::max(b.Right, p.X),
                                             std::max(b.Bottom, p.Y)};
  }
  o->RecordedBox = b;
  o->x1 = b.Left;
  o->y1 = b.Top;
  o->x2 = b.Right;
  o->y2 = b.Bottom;
  ObjChanged(hobj);
}

int32_t TImagerVect::ObjBitmapIndex(int32_t hobj) const {
  const TIMVObject* o = FObjects.Get(hobj);
  return o ? o->BitmapIndex : -1;
}

const TBitmap* TImagerVect::ObjBitmap(int32_t hobj) const {
  const TIMVObject* o = FObjects.Get(hobj);
  const TIMVBitmapEntry* e = o ? FObjects.BitmapEntry(o->BitmapIndex) : nullptr;
  return e ? e->Bitmap.get() : nullptr;
}

const TIMMask* TImagerVect::ObjBitmapAlpha(int32_t hobj) const {
  const TIMVObject* o = FObjects.Get(hobj);
  const TIMVBitmapEntry* e = o ? FObjects.BitmapEntry(o->BitmapIndex) : nullptr;
  return e ? e->Alpha.get() : nullptr;
}

void TImagerVect::SetObjBitmap(int32_t hobj, const TBitmap* Bitmap, const TIMMask* Alpha) {
  TIMVObject* o = Obj(hobj);
  if (!o) return;
  if (o->BitmapIndex >= 0) FObjects.ReleaseBitmap(o->BitmapIndex);
  o->BitmapIndex = -1;
  if (Bitmap && Bitmap->Width() > 0 && Bitmap->Height() > 0)
    o->BitmapIndex = FObjects.AddBitmap(*Bitmap, Alpha, FShareBitmaps);
  ObjChanged(hobj);
}

bool TImagerVect::SetObjBitmapICO(int32_t hobj, const std::string& IconName, int32_t Width, int32_t Height) {
  const std::string n = UpperCase(IconName);
  enum { kError, kWarning, kInfo, kQuestion, kApplication, kUnknown } kind = kUnknown;
  if (n == "IDI_ERROR" || n == "IDI_HAND") kind = kError;
  else if (n == "IDI_WARNING" || n == "IDI_EXCLAMATION") kind = kWarning;
  else if (n == "IDI_INFORMATION" || n == "IDI_ASTERISK") kind = kInfo;
  else if (n == "IDI_QUESTION") kind = kQuestion;
  else if (n == "IDI_APPLICATION") kind = kApplication;
  if (kind == kUnknown || Width <= 0 || Height <= 0 || Width > 4096 || Height > 4096) return false;
  // Our own stock pictures, drawn from shapes.
  TBitmap b(Width, Height, pf24bit);
  TCanvas& c = b.Canvas();
  c.Brush().SetColor(clWhite);
  c.FillRect(Rect(0, 0, Width, Height));
  const int32_t w = Width, h = Height, pw = std::max(1, std::min(w, h) / 10);
  c.Pen().SetColor(clBlack);
  switch (kind) {
    case kError:
      c.Brush().SetColor(TColor(0x0000CC));
      c.Ellipse(1, 1, w - 1, h - 1);
      c.Pen().SetColor(clWhite);
      c.Pen().SetWidth(pw);
      c.MoveTo(w * 3 / 10, h * 3 / 10);
      c.LineTo(w * 7 / 10, h * 7 / 10);
      c.MoveTo(w * 7 / 10, h * 3 / 10);
      c.LineTo(w * 3 / 10, h * 7 / 10);
      break;
    case kWarning: {
      c.Brush().SetColor(TColor(0x00D7FF));
      const TPoint tri[3] = {{w / 2, 1}, {w - 2, h - 2}, {1, h - 2}};
      c.Polygon(tri, 3);
      c.Brush().SetColor(clBlack);
      c.FillRect(Rect(w / 2 - pw / 2, h * 3 / 10, w / 2 - pw / 2 + pw, h * 2 / 3));
      c.FillRect(Rect(w / 2 - pw / 2, h * 3 / 4, w / 2 - pw / 2 + pw, h * 3 / 4 + pw));
      break;
    }
    case kInfo:
    case kQuestion:
      c.Brush().SetColor(TColor(0xCC6600));
      c.Ellipse(1, 1, w - 1, h - 1);
      c.Brush().SetColor(clWhite);
      if (kind == kInfo) {
        c.FillRect(Rect(w / 2 - pw / 2, h * 2 / 10, w / 2 - pw / 2 + pw, h * 2 / 10 + pw));
        c.FillRect(Rect(w / 2 - pw / 2, h * 4 / 10, w / 2 - pw / 2 + pw, h * 8 / 10));
      } else {
        c.Pen().SetColor(clWhite);
        c.Pen().SetWidth(pw);
        c.Arc(w * 3 / 10, h * 2 / 10, w * 7 / 10, h * 5 / 10, w * 3 / 10, h * 35 / 100, w / 2, h / 2);
        c.MoveTo(w / 2, h / 2);
        c.LineTo(w / 2, h * 65 / 100);
        c.FillRect(Rect(w / 2 - pw / 2, h * 3 / 4, w / 2 - pw / 2 + pw, h * 3 / 4 + pw));
      }
      break;
    case kApplication:
      c.Brush().SetColor(clWhite);
      c.Rectangle(1, 1, w - 1, h - 1);
      c.Brush().SetColor(TColor(0x800000));
      c.FillRect(Rect(2, 2, w - 2, std::max(3, h / 6)));
      break;
    default:
      break;
  }
  SetObjBitmap(hobj, &b, nullptr);
  return true;
}

// ---- copying ----

void TImagerVect::CopyObjectTo(int32_t hobj, TImagerVect& Dest) const {
  const int32_t h = FObjects.Resolve(hobj);
  if (h < 0 || !FObjects.Exists(h) || &Dest == this) {
    if (&Dest == this && h >= 0) const_cast<TImagerVect*>(this)->AddNewObject(*FObjects.Get(h));
    return;
  }
  Dest.FObjects.Add(*FObjects.Get(h), &FObjects, Dest.FShareBitmaps);
  Dest.Update();
}

void TImagerVect::CopyObjectsTo(TImagerVect& Dest) const {
  if (&Dest == this) return;
  for (int32_t h : FObjects.DrawOrder()) Dest.FObjects.Add(*FObjects.Get(h), &FObjects, Dest.FShareBitmaps);
  Dest.Update();
}

void TImagerVect::Assign(const TPersistent* Source) {
  TImagerView::Assign(Source);
  if (!Source) {
    RemoveAllObjects();
    return;
  }
  if (const auto* v = dynamic_cast<const TImagerVect*>(Source)) {
    if (v == this) return;
    RemoveAllObjects();
    v->CopyObjectsTo(*this);
    FScaleX = v->FScaleX;
    FScaleY = v->FScaleY;
    RecomputeUnits();
    VectorialChanged();
    Update();
  }
}

// ---- measuring ----

void TImagerVect::RecomputeUnits() {
  FUnitX = UnitSize(FMUnit, DpiX(), FScaleX, IODefaultDpi());
  FUnitY = UnitSize(FMUnit, DpiY(), FScaleY, IODefaultDpi());
  if (!FHintText.empty()) ShowHint(FHintValue, FHintArea);
}

void TImagerVect::SetMUnit(TIMUnits Value) {
  if (Value == FMUnit) return;
  FMUnit = Value;
  RecomputeUnits();
  Invalidate();
}

void TImagerVect::SetDpiX(int32_t Value) {
  TImagerView::SetDpiX(Value);
  RecomputeUnits();
}

void TImagerVect::SetDpiY(int32_t Value) {
  TImagerView::SetDpiY(Value);
  RecomputeUnits();
}

void TImagerVect::SetDpi(int32_t X, int32_t Y) {
  TImagerView::SetDpi(X, Y);
  RecomputeUnits();
}

void TImagerVect::SetScale(double X, double Y) {
  FScaleX = X;
  FScaleY = Y;
  RecomputeUnits();
  Update();
}

double TImagerVect::GetSelectionLen() const {
  auto* self = const_cast<TImagerVect*>(this);
  const TPoint* pts = self->GetPolySelPoints();
  const int32_t n = self->GetPolySelCount();
  const bool drawing = PolygonInProgress();
  double len = PolygonsPerimeter(pts, n, FUnitX, FUnitY, !drawing);
  if (drawing && n > 0 && pts[n - 1].X != kPolygonSeparator) {
    // The rubber line to the mouse counts while the polygon is being drawn.
    const double mx = (FMouse.X - OffsetX()) * (100.0 / Zoom()) + VisiblePart().SrcLeft;
    const double my = (FMouse.Y - OffsetY()) * (100.0 / Zoom()) + VisiblePart().SrcTop;
    len += std::hypot((mx - pts[n - 1].X) * FUnitX, (my - pts[n - 1].Y) * FUnitY);
  }
  return len;
}

double TImagerVect::GetSelectionArea() const {
  auto* self = const_cast<TImagerVect*>(this);
  return PolygonsArea(self->GetPolySelPoints(), self->GetPolySelCount(), FUnitX, FUnitY);
}

double TImagerVect::RulerLength(int32_t hobj) const {
  const TIMVObject* o = FObjects.Get(hobj);
  return o ? RulerLen(*o) : 0;
}

double TImagerVect::RulerLen(const TIMVObject& O) const {
  const double ux = UnitSize(O.RulerUnit, DpiX(), FScaleX, IODefaultDpi());
  const double uy = UnitSize(O.RulerUnit, DpiY(), FScaleY, IODefaultDpi());
  return std::hypot((double(O.x2) - O.x1) * ux, (double(O.y2) - O.y1) * uy);
}

std::string TImagerVect::FormatMeasure(double Value, bool Area) {
  std::string t = FloatToStrF(Value, ffFixed, FFloatPrecision, FFloatDigits) + " " + IMUnitLabel(FMUnit);
  if (Area) t += "\xC2\xB2";
  return t;
}

void TImagerVect::ShowHint(double Value, bool Area) {
  // A zero value keeps what was shown before.
  if (Value == 0 && !FHintText.empty()) return;
  std::string t = FormatMeasure(Value, Area);
  if (OnMeasureHint) OnMeasureHint(this, t, Value);
  FHintText = t;
  FHintValue = Value;
  FHintArea = Area;
  Invalidate();
}

// ---- options ----

void TImagerVect::SetZoomObjectsWidth(bool Value) {
  if (Value == FZoomObjectsWidth) return;
  FZoomObjectsWidth = Value;
  Invalidate();
}

void TImagerVect::SetBitmapResampleFilter(TResampleFilter Value) {
  if (Value == FBitmapResampleFilter) return;
  FBitmapResampleFilter = Value;
  Invalidate();
}

void TImagerVect::SetMouseInteractVt(TIMMouseInteractVt Value) {
  if (Value == FMouseInteractVt) return;
  FMouseInteractVt = Value;
  if (FPolyHandle >= 0 && !(Value & miVtPutPolyLine)) EndPolyline();
  FHintText.clear();
  Invalidate();
}

void TImagerVect::SetMouseInteract(TIMMouseInteract Value) {
  TImagerView::SetMouseInteract(Value);
  if (!Value.Empty()) {
    // The view's gestures take over: only the two measuring modes stay.
    FMouseInteractVt &= miVtArea | miVtLineLen;
    EndTextEdit();
  }
}

void TImagerVect::VectorialChanged() {
  if (OnVectorialChanged) OnVectorialChanged(this);
}

void TImagerVect::Update() {
  TImagerView::Update();
  UpdateTextEditor();
}

void TImagerVect::ViewChange(int32_t Change) {
  TImagerView::ViewChange(Change);
  UpdateTextEditor();
}

// ---- text editing ----

void TImagerVect::StartTextEdit(int32_t hobj) {
  const int32_t h = FObjects.Resolve(hobj);
  if (h < 0 || !FObjects.Exists(h) || FObjects.Get(h)->Kind != imvkText) return;
  EndTextEdit();
  FTextEditHandle = h;
  FEditOriginal = FObjects.Get(h)->Text;
  FEdit->SetParent(this);
  FEdit->SetText(FEditOriginal);
  UpdateTextEditor();
  FEdit->SetVisible(true);
  if (FEdit->CanFocus()) FEdit->SetFocus();
  Invalidate();
}

void TImagerVect::EndTextEdit(bool Cancel) {
  if (FTextEditHandle < 0) return;
  const int32_t h = FTextEditHandle;
  FTextEditHandle = -1;
  if (TIMVObject* o = Obj(h)) {
    o->Text = Cancel ? FEditOriginal : FEdit->Text();
    if (!Cancel) VectorialChanged();
  }
  FEdit->SetVisible(false);
  if (CanFocus() && Showing()) SetFocus();
  Invalidate();
}

void TImagerVect::UpdateTextEditor() {
  if (FTextEditHandle < 0 || !FEdit) return;
  const TIMVObject* o = FObjects.Get(FTextEditHandle);
  if (!o) return;
  const TRect b = OrderedBox(*o);
  const double zf = ZoomFactor();
  const auto clampi = [](double v) { return int32_t(std::clamp(v, -1e6, 1e6)); };
  const int32_t l = clampi(XToScr(b.Left)), t = clampi(YToScr(b.Top));
  const int32_t r = clampi(XToScr(double(b.Right) + 1)), bt = clampi(YToScr(double(b.Bottom) + 1));
  const TIMVFont f = ObjFont(FTextEditHandle);
  TFont font;
  font.SetName(f.FaceName);
  const int32_t hgt = f.Height == 0 ? bt - t : Trunc32(f.Height * zf);
  font.SetHeight(hgt == 0 ? -1 : hgt);
  TFontStyles st;
  if (f.Weight >= 700) st.Include(fsBold);
  if (f.Italic) st.Include(fsItalic);
  if (f.Underline) st.Include(fsUnderline);
  if (f.StrikeOut) st.Include(fsStrikeOut);
  font.SetStyle(st);
  font.SetColor(o->PenColor);
  FEdit->SetFont(font);
  FEdit->SetColor(o->BrushStyle == bsClear ? Background() : o->BrushColor);
  FEdit->SetBounds(l, t, std::max(r - l, 1), std::max(bt - t, 1));
}

void TImagerVect::EditChange(TObject*) {
  if (FTextEditHandle < 0) return;
  TIMVObject* o = Obj(FTextEditHandle);
  if (!o || !o->AutoSize) return;
  // Auto size: the box widens with the text, plus the width of an "M".
  TBitmap scratch(1, 1, pf24bit);
  TCanvas& c = scratch.Canvas();
  c.Font().Assign(FEdit->Font());
  const int32_t w = c.TextWidth(FEdit->Text()) + c.TextWidth("M");
  o->x2 = int32_t(std::clamp<double>(o->x1 + w / ZoomFactor(), INT32_MIN, INT32_MAX));
  UpdateTextEditor();
  Invalidate();
}

void TImagerVect::EditKeyDown(TObject*, uint16_t& Key, TShiftState) {
  if (Key == VK_RETURN) {
    Key = 0;
    EndTextEdit(false);
  } else if (Key == VK_ESCAPE) {
    Key = 0;
    EndTextEdit(true);
  }
}

void TImagerVect::KeyDown(uint16_t& Key, TShiftState Shift) {
  TImagerView::KeyDown(Key, Shift);
  if (Key == VK_F2 && FTextEditHandle < 0 && SelObjectsCount() > 0 && ObjKind(SelObjects(0)) == imvkText) {
    StartTextEdit(SelObjects(0));
  } else if (Key == VK_ESCAPE && FTextEditHandle >= 0) {
    EndTextEdit(true);
  }
}

const TPropertyTable& TImagerVect::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TImagerVect>(TImagerView::PropertyTable(), [](auto& p) {
    p.Enum("MUnit", &TImagerVect::MUnit, &TImagerVect::SetMUnit,
           {"imuPIXELS", "imuINCHES", "imuKM", "imuMETERS", "imuCENTIMETERS", "imuMILLIMETERS", "imuMICRONS",
            "imuNANOMETERS"});
    p.Integer("FloatDigits", &TImagerVect::FloatDigits, &TImagerVect::SetFloatDigits);
    p.Integer("FloatPrecision", &TImagerVect::FloatPrecision, &TImagerVect::SetFloatPrecision);
    p.Bool("ShareBitmaps", &TImagerVect::ShareBitmaps, &TImagerVect::SetShareBitmaps);
    p.Method("OnSelectObject").Method("OnMeasureHint");
    p.Bool("ZoomObjectsWidth", &TImagerVect::ZoomObjectsWidth, &TImagerVect::SetZoomObjectsWidth);
    p.Method("OnVectorialChanged").Method("OnDragLenEnd").Method("OnNewObject");
    p.Enum("BitmapResampleFilter", &TImagerVect::BitmapResampleFilter, &TImagerVect::SetBitmapResampleFilter,
           {"rfNone", "rfTriangle", "rfHermite", "rfBell", "rfBSpline", "rfLanczos3", "rfMitchell", "rfNearest",
            "rfLinear", "rfFastLinear"});
    p.Method("OnObjectMoveResize").Method("OnObjectClick").Method("OnObjectDblClick").Method("OnObjectOver");
  });
  return table;
}

}  // namespace kv
