// Rasterisation for the canvas: shapes become horizontal spans, spans are
// painted straight into the bitmap's memory. Everything here clips to a
// rectangle that lies inside the bitmap, so no coordinate can reach outside it.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/types.h"

namespace kv::gfx {

// Pixels X1 <= x < X2 of row Y.
struct TSpan {
  int32_t Y = 0;
  int32_t X1 = 0;
  int32_t X2 = 0;
};
using TSpanList = std::vector<TSpan>;

// Sorts by row and merges overlapping or touching spans, so each pixel appears once.
void NormalizeSpans(TSpanList& Spans);

// 4-bit truth table of a binary raster op: bit (P << 1 | D) of Table is the
// result for pen bit P and destination bit D (0b1100: copy the pen).
constexpr uint8_t kRopCopy = 0xC;
constexpr uint8_t kRopNop = 0xA;
uint8_t RopTable(TPenMode Mode);
inline uint32_t Rop2(uint8_t Table, uint32_t P, uint32_t D) {
  uint32_t r = 0;
  if (Table & 8) r |= P & D;
  if (Table & 4) r |= P & ~D;
  if (Table & 2) r |= ~P & D;
  if (Table & 1) r |= ~P & ~D;
  return r;
}

// 8 rows of an 8x8 hatch aligned to the bitmap origin, bit 7 for column 0; nullptr for solid and clear brushes.
const uint8_t* HatchPattern(TBrushStyle Style);

// What to put into each pixel: a native value combined with the pixel by a raster op,
// only where the hatch (when there is one) has a bit set.
struct TPaintOp {
  uint32_t Value = 0;
  uint8_t Rop = kRopCopy;
  const uint8_t* Hatch = nullptr;
};

// Clip must lie inside the bitmap.
void PaintSpans(TBitmap& Bitmap, const TRect& Clip, const TSpanList& Spans, const TPaintOp& Op);
void PaintPoints(TBitmap& Bitmap, const TRect& Clip, const std::vector<TPoint>& Points, const TPaintOp& Op);

// Calls Fn(x, y, i) for the points of the line from A towards B without B,
// i counting steps from A; only points inside Clip are visited, and the walk
// costs no more than the clip's size whatever the coordinates.
void WalkLine(TPoint A, TPoint B, const TRect& Clip, const std::function<void(int32_t, int32_t, int64_t)>& Fn);
// Pixels of a line Width pixels wide from A to B with round ends, appended to Out.
void AddThickLine(TPoint A, TPoint B, int32_t Width, const TRect& Clip, TSpanList& Out);

// A convex shape given row by row: false when row Y is empty, else its pixels L..R inclusive.
using TRowFn = std::function<bool(int32_t Y, int32_t& L, int32_t& R)>;
struct TShape {
  int32_t Top = 0;     // first row
  int32_t Bottom = -1; // last row (inclusive)
  TRowFn Row;
};
// Inclusive boxes.
TShape RectShape(int32_t L, int32_t T, int32_t R, int32_t B);
TShape EllipseShape(int32_t L, int32_t T, int32_t R, int32_t B);
// EW x EH is the size of the ellipse that rounds the corners.
TShape RoundRectShape(int32_t L, int32_t T, int32_t R, int32_t B, int32_t EW, int32_t EH);

// Splits a shape into its outline and its inside, within Clip. Without Inner
// the outline is one pixel: the pixels with a 4-neighbour outside the shape.
// With Inner the outline is Outer minus Inner and the inside is Inner.
void SplitShape(const TShape& Outer, const TShape* Inner, const TRect& Clip, TSpanList* Outline, TSpanList* Inside);

// Keeps the pixels whose direction from (CX, CY) lies counter-clockwise (on
// screen) from the ray through Start up to the ray through End.
void KeepSector(TSpanList& Spans, double CX, double CY, TPoint Start, TPoint End);
// Point where the ray from the centre of the inclusive box towards P meets the ellipse inscribed in it.
TPoint EllipsePointToward(int32_t L, int32_t T, int32_t R, int32_t B, TPoint P);

// Alternate (even-odd) fill: pixels whose centre lies inside the polygon.
void PolygonSpans(const TPoint* Points, int32_t Count, const TRect& Clip, TSpanList& Out);

// The spans a flood fill from (X, Y) covers: pixels equal to Value (Surface)
// or different from it (border fill), 4-connected, inside Clip.
void FloodSpans(const TBitmap& Bitmap, const TRect& Clip, int32_t X, int32_t Y, uint32_t Value, bool Surface,
                TSpanList& Out);

}  // namespace kv::gfx
