// The vector view: a single-image view with a list of vector objects over the
// picture (lines with arrow ends, boxes, ellipses, arcs, bitmaps, texts,
// measuring rulers and polylines), named by integer handles, drawn after the
// picture on every paint, made and edited with the mouse, and measuring
// lengths and areas in physical units from the view's resolution. The
// picture itself is never changed: DrawTo and PaintTo render the picture with
// the objects into a target bitmap for whoever wants them merged.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <string>
#include <vector>

#include "imaging/views/imager_view.h"
#include "imaging/views/vect_object.h"

namespace kv {

class TEdit;

// Vector mouse modes (MouseInteractVt, a 16-bit set).
using TIMMouseInteractVt = uint16_t;
constexpr TIMMouseInteractVt miVtArea = 0x0001;       // area of the selection polygon
constexpr TIMMouseInteractVt miVtLineLen = 0x0002;    // perimeter of the selection polygon
constexpr TIMMouseInteractVt miVtPutLine = 0x0004;
constexpr TIMMouseInteractVt miVtPutBox = 0x0008;
constexpr TIMMouseInteractVt miVtPutEllipse = 0x0010;
constexpr TIMMouseInteractVt miVtPutBitmap = 0x0020;
constexpr TIMMouseInteractVt miVtPutText = 0x0040;
constexpr TIMMouseInteractVt miVtEditObject = 0x0080;
constexpr TIMMouseInteractVt miVtDragLen = 0x0100;    // measure a dragged length
constexpr TIMMouseInteractVt miVtPutRuler = 0x0200;
constexpr TIMMouseInteractVt miVtPutPolyLine = 0x0400;

using TIMVMeasureHintEvent = std::function<void(TObject* Sender, std::string& Text, double Value)>;
using TIMVDragLenEndEvent = std::function<void(TObject* Sender, double Value)>;
using TIMVNewObject = std::function<void(TObject* Sender, int32_t hobj)>;
using TIMVObjectMoveResizeEvent =
    std::function<void(TObject* Sender, int32_t hobj, int32_t Grip, int32_t& OffsetX, int32_t& OffsetY)>;
using TIMVObjectClickEvent = std::function<void(TObject* Sender, int32_t hobj)>;

class TImagerVect : public TImagerView {
 public:
  explicit TImagerVect(TComponent* AOwner);
  ~TImagerVect() override;

  // ---- the objects ----
  const TIMVObjectList& Objects() const { return FObjects; }
  int32_t ObjectsCount() const { return FObjects.Count(); }
  // The record of a handle (-1 the template, -2 the last object); null when there is none.
  const TIMVObject* GetObj(int32_t hobj) const { return FObjects.Get(hobj); }
  int32_t AddNewObject(const TIMVObject& Source);
  // The template as a new object.
  int32_t AddNewObject();
  void RemoveObject(int32_t hobj);
  void RemoveAllObjects();
  void MoveObject(int32_t hobj, int32_t DX, int32_t DY);
  // Grips 1 (x1, y1), 2 (x2, y2), 4 (x2, y1), 5 (x1, y2) move that corner; 0 moves all four edges outward.
  void ResizeObject(int32_t hobj, int32_t Grip, int32_t DX, int32_t DY);

  // ---- selection ----
  void SelectObject(int32_t hobj);
  bool IsSelObject(int32_t hobj) const { return FObjects.IsSelected(hobj); }
  void UnSelObject(int32_t hobj);
  void UnSelAllObjects();
  int32_t SelObjectsCount() const { return int32_t(FObjects.Selected().size()); }
  int32_t SelObjects(int32_t Index) const;
  // Handle of the object nearest to (X, Y) in bitmap pixels, or kIMVNone.
  int32_t FindObjectAt(int32_t X, int32_t Y, bool SelectableOnly = true) const;
  int32_t MaxSelectionDistance() const { return FMaxSelectionDistance; }
  void SetMaxSelectionDistance(int32_t Value) { FMaxSelectionDistance = Value; }

  // ---- object properties by handle (-1 sets the template's) ----
  TRect ObjBox(int32_t hobj) const;
  void SetObjBox(int32_t hobj, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  TIMVKind ObjKind(int32_t hobj) const;
  void SetObjKind(int32_t hobj, TIMVKind Value);
  TColor ObjPenColor(int32_t hobj) const;
  void SetObjPenColor(int32_t hobj, TColor Value);
  TPenStyle ObjPenStyle(int32_t hobj) const;
  void SetObjPenStyle(int32_t hobj, TPenStyle Value);
  int32_t ObjPenWidth(int32_t hobj) const;
  void SetObjPenWidth(int32_t hobj, int32_t Value);
  TColor ObjBrushColor(int32_t hobj) const;
  void SetObjBrushColor(int32_t hobj, TColor Value);
  TBrushStyle ObjBrushStyle(int32_t hobj) const;
  void SetObjBrushStyle(int32_t hobj, TBrushStyle Value);
  double ObjArcStartingAngle(int32_t hobj) const;
  void SetObjArcStartingAngle(int32_t hobj, double Value);
  double ObjArcEndingAngle(int32_t hobj) const;
  void SetObjArcEndingAngle(int32_t hobj, double Value);
  uint8_t ObjBeginShape(int32_t hobj) const;
  void SetObjBeginShape(int32_t hobj, uint8_t Value);
  uint8_t ObjEndShape(int32_t hobj) const;
  void SetObjEndShape(int32_t hobj, uint8_t Value);
  int32_t ObjShapeWidth(int32_t hobj) const;
  void SetObjShapeWidth(int32_t hobj, int32_t Value);
  int32_t ObjShapeHeight(int32_t hobj) const;
  void SetObjShapeHeight(int32_t hobj, int32_t Value);
  std::string ObjText(int32_t hobj) const;
  void SetObjText(int32_t hobj, const std::string& Value);
  // The font the object is drawn with (the template's when it has none).
  TIMVFont ObjFont(int32_t hobj) const;
  void SetObjFont(int32_t hobj, const TIMVFont& Value);
  // From a canvas font: its description, and its colour as the pen colour.
  void SetObjFont(int32_t hobj, const TFont& Value);
  uint8_t ObjTextAlign(int32_t hobj) const;
  void SetObjTextAlign(int32_t hobj, uint8_t Value);
  bool ObjTextAutoSize(int32_t hobj) const;
  void SetObjTextAutoSize(int32_t hobj, bool Value);
  std::string ObjName(int32_t hobj) const;
  void SetObjName(int32_t hobj, const std::string& Value);
  uint8_t ObjFlags(int32_t hobj) const;
  void SetObjFlags(int32_t hobj, uint8_t Value);
  TIMUnits ObjRulerUnit(int32_t hobj) const;
  void SetObjRulerUnit(int32_t hobj, TIMUnits Value);
  uint8_t ObjRulerType(int32_t hobj) const;
  void SetObjRulerType(int32_t hobj, uint8_t Value);
  std::vector<TPoint> ObjPoints(int32_t hobj) const;
  // The polyline's points; its box and recorded box become theirs.
  void SetObjPoints(int32_t hobj, const std::vector<TPoint>& Points);
  int32_t ObjBitmapIndex(int32_t hobj) const;
  // The object's picture, null without one.
  const TBitmap* ObjBitmap(int32_t hobj) const;
  const TIMMask* ObjBitmapAlpha(int32_t hobj) const;
  // Null removes the picture; without Alpha the picture is opaque.
  void SetObjBitmap(int32_t hobj, const TBitmap* Bitmap, const TIMMask* Alpha = nullptr);
  // A stock icon ("IDI_ERROR" or "IDI_HAND", "IDI_WARNING" or "IDI_EXCLAMATION",
  // "IDI_INFORMATION" or "IDI_ASTERISK", "IDI_QUESTION", "IDI_APPLICATION")
  // drawn into a 24-bit picture of Width x Height. False for an unknown name.
  bool SetObjBitmapICO(int32_t hobj, const std::string& IconName, int32_t Width, int32_t Height);

  // ---- copying ----
  void CopyObjectsTo(TImagerVect& Dest) const;
  void CopyObjectTo(int32_t hobj, TImagerVect& Dest) const;
  void Assign(const TPersistent* Source) override;

  // ---- measuring ----
  TIMUnits MUnit() const { return FMUnit; }
  void SetMUnit(TIMUnits Value);
  void SetDpiX(int32_t Value) override;
  void SetDpiY(int32_t Value) override;
  void SetDpi(int32_t X, int32_t Y) override;
  void SetScale(double X, double Y);
  double ScaleX() const { return FScaleX; }
  double ScaleY() const { return FScaleY; }
  // One pixel in MUnit along each axis.
  double UnitSizeX() const { return FUnitX; }
  double UnitSizeY() const { return FUnitY; }
  int32_t FloatDigits() const { return FFloatDigits; }
  void SetFloatDigits(int32_t Value) { FFloatDigits = Value; }
  int32_t FloatPrecision() const { return FFloatPrecision; }
  void SetFloatPrecision(int32_t Value) { FFloatPrecision = Value; }
  // Perimeter and area of the view's selection outline in MUnit.
  double GetSelectionLen() const;
  double GetSelectionArea() const;
  // The length a ruler object shows (its own unit).
  double RulerLength(int32_t hobj) const;
  // The measure hint as last shown (empty when none is shown).
  const std::string& MeasureHint() const { return FHintText; }

  // ---- options ----
  bool ShareBitmaps() const { return FShareBitmaps; }
  void SetShareBitmaps(bool Value) { FShareBitmaps = Value; }
  bool ZoomObjectsWidth() const { return FZoomObjectsWidth; }
  void SetZoomObjectsWidth(bool Value);
  TResampleFilter BitmapResampleFilter() const { return FBitmapResampleFilter; }
  void SetBitmapResampleFilter(TResampleFilter Value);
  TIMMouseInteractVt MouseInteractVt() const { return FMouseInteractVt; }
  void SetMouseInteractVt(TIMMouseInteractVt Value);
  void SetMouseInteract(TIMMouseInteract Value) override;

  // ---- text editing ----
  int32_t TextEditHandle() const { return FTextEditHandle; }
  TEdit* TextEditor() const { return FEdit; }
  void StartTextEdit(int32_t hobj);
  // Stores the edit's text into the object unless Cancel.
  void EndTextEdit(bool Cancel = false);
  void UpdateTextEditor();

  void VectorialChanged();
  // The view's layout, and the text editor kept over its object.
  void Update() override;
  // Drawing the objects (as a paint does) onto a canvas whose bitmap shows
  // this view's client area; Blend mixes bitmap objects through their alpha.
  void DrawObjects(TCanvas& C, const TRect& Clip, bool Blend);
  void DrawTo(TBitmap& Target, const TRect* Clip = nullptr) override;
  void PaintTo(TBitmap& Target) override;

  TNotifyEvent OnSelectObject;
  TIMVMeasureHintEvent OnMeasureHint;
  TNotifyEvent OnVectorialChanged;
  TIMVDragLenEndEvent OnDragLenEnd;
  TIMVNewObject OnNewObject;
  TIMVObjectMoveResizeEvent OnObjectMoveResize;
  TIMVObjectClickEvent OnObjectClick;
  TIMVObjectClickEvent OnObjectDblClick;
  TIMVObjectClickEvent OnObjectOver;

  const TPropertyTable& PropertyTable() const override;

 protected:
  void PaintLayer(TCanvas& C, const TRect& R) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void ViewChange(int32_t Change) override;
  void ShiftMouseOrigins(int32_t DX, int32_t DY) override;
  void AutoScrollMove(TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  // Screen position of a bitmap coordinate, unrounded and unbounded.
  double XToScr(double X) const;
  double YToScr(double Y) const;
  double ZoomFactor() const { return Zoom() / 100.0; }
  TRect VisibleBitmapRect() const;
  void ObjChanged(int32_t hobj);
  TIMVObject* Obj(int32_t hobj) { return FObjects.Get(hobj); }
  void RecomputeUnits();
  TIMVFont EffectiveFont(const TIMVObject& O) const;
  double RulerLen(const TIMVObject& O) const;
  std::string FormatMeasure(double Value, bool Area);
  void ShowHint(double Value, bool Area);
  // drawing (imager_vect_paint.cpp)
  void DrawObject(TCanvas& C, const TRect& Clip, const TIMVObject& O, bool Blend, bool Editing);
  void DrawRuler(TCanvas& C, const TRect& Clip, const TIMVObject& O, double PenW);
  void DrawBitmapObject(TCanvas& C, const TRect& Clip, const TIMVObject& O, bool Blend);
  void DrawTextObject(TCanvas& C, const TRect& Clip, const TIMVObject& O, bool Editing);
  void DrawGrips(TCanvas& C, const TIMVObject& O);
  void DrawRubber(TCanvas& C, const TRect& Clip);
  void DrawHint(TCanvas& C);
  // Ruler labels: turned text is slow to draw, so each label is drawn once
  // as coverage and blended in the pen colour at every paint.
  struct TLabelImage {
    int32_t Width = 0, Height = 0;
    std::vector<uint8_t> Alpha;                   // coverage, Width x Height
    std::vector<std::pair<int32_t, int32_t>> Rows;  // columns of each row that have any
    int32_t DX = 0, DY = 0;                       // where the cell's top-left lies in it
    TSize Extent;                       // of the text, unturned
  };
  const TLabelImage& LabelImage(TCanvas& C, const std::string& Text, int32_t Escapement);
  void DrawLabel(TCanvas& C, const TRect& Clip, int32_t X, int32_t Y, const std::string& Text, int32_t Escapement);
  // mouse (imager_vect_mouse.cpp)
  TPoint ClampMouse(int32_t X, int32_t Y) const;
  static int32_t Px32(double V);
  int32_t GripAt(int32_t X, int32_t Y) const;
  void GripDrag(int32_t X, int32_t Y);
  // A move with the left button held; true when a gesture of the layer took it.
  bool LayerDrag(TShiftState Shift, int32_t X, int32_t Y);
  void FinishShape(TShiftState Shift);
  void EndPolyline();
  void RubberSelect();
  void EditChange(TObject* Sender);
  void EditKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);

  TIMVObjectList FObjects;
  TIMUnits FMUnit = imuPIXELS;
  int32_t FFloatDigits = 2;
  int32_t FFloatPrecision = 15;
  bool FShareBitmaps = true;
  bool FZoomObjectsWidth = true;
  TResampleFilter FBitmapResampleFilter = rfNone;
  int32_t FMaxSelectionDistance = -1;
  TIMMouseInteractVt FMouseInteractVt = 0;
  double FScaleX = 1, FScaleY = 1, FUnitX = 1, FUnitY = 1;

  // mouse gestures of the layer
  TIMVKind FShape = imvkNone;   // the shape being drawn (imvkNone: none)
  bool FDragLen = false;        // the shape is a dragged length
  bool FShapeDrag = false;      // a shape is being dragged out
  bool FMoved = false;
  TPoint FDown, FLast, FMouse;  // screen points
  int32_t FGrip = 0;            // grip of the selected objects being dragged (0 none)
  TPoint FGripApplied;          // bitmap offset applied since the grip was taken
  bool FRubberSelect = false;   // edit mode: a rectangle on empty space
  int32_t FPolyHandle = -1;     // polyline being drawn
  bool FShowPolyRubber = false;
  bool FCtrlSnap = false;
  double FDragLenValue = 0;

  // measure hint
  std::string FHintText;
  double FHintValue = 0;
  bool FHintArea = false;

  std::unordered_map<std::string, TLabelImage> FLabels;

  // text editing
  TEdit* FEdit = nullptr;  // owned as a component
  int32_t FTextEditHandle = -1;
  std::string FEditOriginal;
};

}  // namespace kv
