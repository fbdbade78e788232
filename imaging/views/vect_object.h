// Vector objects laid over a picture: the object record, the list that holds
// the objects with their draw order, selection and shared bitmaps, and the
// plain geometry of hit testing and measuring. Nothing here needs a window,
// so all of it can be checked without one; the view (imager_vect.h) draws
// the objects and edits them with the mouse.
#pragma once
#include <cstdint>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "imaging/model/mask.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/color.h"
#include "platform/rtl/types.h"

namespace kv {

enum TIMVKind : uint8_t {
  imvkNone, imvkLine, imvkBox, imvkEllipse, imvkArc, imvkBitmap, imvkText, imvkRuler, imvkPolyline
};

enum TIMUnits : uint8_t {
  imuPIXELS, imuINCHES, imuKM, imuMETERS, imuCENTIMETERS, imuMILLIMETERS, imuMICRONS, imuNANOMETERS
};
// "pixels", "inches", "km", "mt", "cm", "mm", "microns", "nanometers".
const char* IMUnitLabel(TIMUnits Unit);

// Bits of an object's flags.
constexpr uint8_t imvfSelectable = 0x01;
constexpr uint8_t imvfMoveable = 0x02;
constexpr uint8_t imvfSizeable = 0x04;
constexpr uint8_t imvfVisible = 0x08;

// Ruler types.
constexpr uint8_t imvrGraduated = 0, imvrLabelStart = 1, imvrLabelMiddle = 2, imvrLabelEnd = 3;

// The font of a text object: what a font record of the window system holds
// that matters here (its character set is not used).
struct TIMVFont {
  int32_t Height = -11;     // pixels at 100 %; negative: character height; 0: the box height
  int32_t Escapement = 0;   // tenths of a degree, counter-clockwise
  int32_t Weight = 400;     // 700 and more is bold
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  std::string FaceName = "Arial";
  friend bool operator==(const TIMVFont&, const TIMVFont&) = default;
};

// One object. Boxes are in bitmap pixels; for lines and rulers (x1, y1) and
// (x2, y2) are the end points, for the other kinds the box is ordered.
struct TIMVObject {
  int32_t x1 = 0, y1 = 0, x2 = 63, y2 = 63;
  TIMVKind Kind = imvkNone;
  uint8_t StartShape = 0, EndShape = 0;  // 0 none, 1 and 2 two arrow forms
  int32_t ShapeWidth = 10, ShapeHeight = 20;
  TColor PenColor = clBlack;
  TPenStyle PenStyle = psSolid;
  int32_t PenWidth = 1;
  TColor BrushColor = TColor(0xFFFFFF);
  TBrushStyle BrushStyle = bsClear;
  double ArcStart = 0, ArcEnd = 2 * std::numbers::pi;
  int32_t BitmapIndex = -1;
  std::string Text;
  std::optional<TIMVFont> Font;  // none: the template's font
  uint8_t TextAlign = 0;         // 0 left, 1 right, 2 centre
  bool AutoSize = false;
  std::string Name;
  uint8_t Flags = imvfSelectable | imvfMoveable | imvfSizeable | imvfVisible;
  TIMUnits RulerUnit = imuPIXELS;
  uint8_t RulerType = imvrLabelMiddle;
  std::vector<TPoint> Points;  // polyline points in bitmap pixels
  TRect RecordedBox;           // box of the points when they were recorded
  TRect DragBox;               // box at the start of a drag
};

// One entry of the bitmap table; an entry without a bitmap is free.
struct TIMVBitmapEntry {
  std::unique_ptr<TBitmap> Bitmap;
  std::unique_ptr<TIMMask> Alpha;  // 8 bits, the bitmap's size
  int32_t RefCount = 0;
};

constexpr int32_t kIMVTemplate = -1;  // handle of the template record
constexpr int32_t kIMVLast = -2;      // handle of the last object made
constexpr int32_t kIMVNone = -3;      // no object

// ---- geometry ----

// A box with x1 <= x2 and y1 <= y2.
TRect OrderedBox(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
inline TRect OrderedBox(const TIMVObject& O) { return OrderedBox(O.x1, O.y1, O.x2, O.y2); }
// Kinds whose box stays as given (the end points of a segment, the points' own box).
inline bool KeepsEndPoints(TIMVKind K) { return K == imvkLine || K == imvkRuler || K == imvkPolyline; }
void OrderObjectBox(TIMVObject& O);

double SegmentDistance(double PX, double PY, double X1, double Y1, double X2, double Y2);
// The ellipse of a box as the polygon the hit test uses: n = trunc(min(half
// width, half height) x 2 pi) shr 3 points, angle 2 pi / n x k, the first at 0.
std::vector<std::pair<double, double>> EllipseHitPolygon(const TIMVObject& O);
// The polyline's points mapped from the box they were recorded in to the present box.
std::vector<std::pair<double, double>> MappedPolyline(const TIMVObject& O);
// Distance in bitmap pixels from (X, Y) to the object; a negative value when it cannot be hit.
double ObjectDistance(const TIMVObject& O, double X, double Y);

// The size of one pixel in Unit along an axis of Dpi pixels per inch, times
// Scale. A Dpi below 1 is taken as DefaultDpi.
double UnitSize(TIMUnits Unit, int32_t Dpi, double Scale, int32_t DefaultDpi);
// Perimeter of polygons separated by kPolygonSeparator points; each edge's dx
// and dy times UX and UY. The last polygon is closed when CloseLast.
double PolygonsPerimeter(const TPoint* Points, int32_t Count, double UX, double UY, bool CloseLast);
// Area of the closed polygons together (shoelace), times UX and UY; 0 below 3 points.
double PolygonsArea(const TPoint* Points, int32_t Count, double UX, double UY);

// Sutherland-Hodgman: the part of a polygon inside R (double coordinates).
std::vector<std::pair<double, double>> ClipPolygonToRect(const std::vector<std::pair<double, double>>& Poly,
                                                         double L, double T, double R, double B);

// The triangle of an arrow end at (X, Y) of a segment coming from (FromX, FromY):
// Width across the line, Length along it. Shape 1 has its tip on the end
// point; shape 2 its base on the end point, pointing on outward.
std::vector<std::pair<double, double>> ArrowTriangle(double FromX, double FromY, double X, double Y, int32_t Shape,
                                                     double Width, double Length);

// ---- the list ----

class TIMVObjectList {
 public:
  TIMVObjectList();

  int32_t Count() const { return int32_t(FObjects.size()); }
  // Records the array holds room for: grows by 522 whenever the count reaches a multiple of 512.
  int32_t Capacity() const { return FCapacity; }
  TIMVObject& Template() { return FTemplate; }
  const TIMVObject& Template() const { return FTemplate; }
  // -1 the template, -2 the last object, 0.. an object; kIMVNone otherwise.
  int32_t Resolve(int32_t Handle) const;
  TIMVObject* Get(int32_t Handle);
  const TIMVObject* Get(int32_t Handle) const;
  // Handle of an object that still exists (not removed).
  bool Exists(int32_t Handle) const;

  // Copies Source to the next handle and puts it on top of the draw order.
  // Its bitmap index names an entry of Bitmaps (this list's own when null).
  int32_t Add(const TIMVObject& Source, const TIMVObjectList* Bitmaps = nullptr, bool ShareBitmaps = true);
  // The object keeps its handle as an empty record (kind none) and leaves the
  // draw order and the selection.
  void Remove(int32_t Handle);
  // Every object and bitmap; the template's bitmap index becomes -1.
  void Clear();
  const std::vector<int32_t>& DrawOrder() const { return FDrawOrder; }

  // Selection.
  const std::vector<int32_t>& Selected() const { return FSelected; }
  bool Select(int32_t Handle);  // false when not selectable or already selected
  bool IsSelected(int32_t Handle) const;
  bool Unselect(int32_t Handle);
  void UnselectAll() { FSelected.clear(); }

  // Bitmap table.
  int32_t BitmapEntryCount() const { return int32_t(FBitmaps.size()); }
  const TIMVBitmapEntry* BitmapEntry(int32_t Index) const;
  TIMVBitmapEntry* BitmapEntry(int32_t Index);
  // An entry for a copy of Bitmap and Alpha (a full 255 mask without one);
  // with Share an entry with equal pixels is reused. Returns its index.
  int32_t AddBitmap(const TBitmap& Bitmap, const TIMMask* Alpha, bool Share);
  void RetainBitmap(int32_t Index);
  void ReleaseBitmap(int32_t Index);

  // Topmost object nearest to (X, Y) (bitmap pixels) among those whose box
  // meets Visible; MaxDistance >= 0 (screen pixels) limits the distance at Zoom (percent).
  int32_t FindObjectAt(int32_t X, int32_t Y, bool SelectableOnly, const TRect& Visible, double Zoom,
                       int32_t MaxDistance) const;

 private:
  std::vector<TIMVObject> FObjects;
  int32_t FCapacity = 0;
  std::vector<int32_t> FDrawOrder;
  std::vector<int32_t> FSelected;
  std::vector<TIMVBitmapEntry> FBitmaps;
  TIMVObject FTemplate;
};

}  // namespace kv
