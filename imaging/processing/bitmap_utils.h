// Bitmap helpers shared by the processing operations, the codecs and the
// views: whole-bitmap copies, rectangle and bit-run copies, comparisons,
// palette lookups, the plain stretch, per-row depth conversion for writers,
// drawing clipped to selection polygons, and small numeric helpers.
#pragma once
#include <cstdint>
#include <memory>

#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/types.h"

namespace kv {

class TIMQuantizer;

// A new bitmap holding an IMCloneBitmapRows copy of Bitmap.
std::unique_ptr<TBitmap> DuplicateBitmap(const TBitmap& Bitmap);

// Target is made 1 x 1, given the source's pixel format (and palette), then,
// when the source is not empty, its size; all row bytes are copied in one block.
void IMCloneBitmapRows(const TBitmap& Source, TBitmap& Target);

// Target := the rectangle X1..X2-1, Y1..Y2-1 of Source, same pixel format
// (pf24bit or pf1bit). X2 = 0 or Y2 = 0 mean the full width or height; the
// rectangle is clipped to the source. Returns false, leaving Target as it was,
// for another format or a rectangle with nothing left in it.
bool CopyBitmapRect(const TBitmap& Source, TBitmap& Target, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);

// Copies Count bits of SourceRow from bit SourceBit into TargetRow from bit
// TargetBit (most significant bit first). Target bits outside the run are
// kept; no source byte past the run's last bit is read.
void CopyBits(uint8_t* TargetRow, const uint8_t* SourceRow, int32_t TargetBit, int32_t Count, int32_t SourceBit);

// Complements every byte of every row (whole padded rows).
void InvertBitmapBits(TBitmap& Bitmap);

// True when both bitmaps have the same size, pixel format and row length and
// their pixel blocks are byte-equal. Bitmaps of different layouts compare
// unequal without either being read.
bool CompareBitmaps(const TBitmap& A, const TBitmap& B);

// Index of the entry nearest to a packed 0x00RRGGBB colour by the sum of
// absolute channel differences; the first of equal entries wins. 0 when Count <= 0.
int32_t NearestPaletteIndex(const TBGRPixel* Palette, int32_t Count, uint32_t Color);
// Exchanges red and blue of each entry.
void SwapPaletteRB(TBGRPixel* Palette, int32_t Count);

// Target takes the source's pixel format and palette and is filled by a plain
// (nearest pixel) stretch of the whole source to the target's own size.
void ConvertBitmapDrawDib(const TBitmap& Source, TBitmap& Target);

// Converts one row of Width pixels from SourceBits to TargetBits per pixel:
// 24 -> 8 and 24 -> 4 through the quantizer (4 bits: high nibble first);
// 32 -> 24 drops the fourth byte; 8, 4, 1 -> 24 through the palette (an
// index outside the palette gives black); 8 -> 1 one bit per byte (set for a
// non-zero byte); 1 -> 4 a nibble per bit; 4 -> 8 a byte per nibble; equal
// depths copy. Sub-byte targets are ORed in and must be zero beforehand,
// except 8 -> 1, which clears the row itself. Returns the target row's length
// in bytes ((Width * TargetBits + 7) div 8); other pairs leave it untouched.
int32_t QuantizeRow(const uint8_t* SourceRow, uint8_t* TargetRow, int32_t SourceBits, const TIMQuantizer* Quantizer,
                     int32_t PaletteCount, const TBGRPixel* Palette, int32_t Width, int32_t TargetBits);

// Draws Graphic at (X, Y) on Bitmap, but only inside the polygons of Points
// (PointCount points, polygons separated by a point whose x is
// kPolygonSeparator, the last one ended by the count), each filled by the
// winding rule with pixel centres inside.
void DrawClippedToPolygons(TBitmap& Bitmap, const TBitmap& Graphic, int32_t X, int32_t PointCount,
                           const TPoint* Points, int32_t Y);

// Floating-point helpers of the lens kernel.
double ArcTan2(double Y, double X);
double ArcSin(double X);  // ArcTan2(X, sqrt(1 - X * X))
double ArcCos(double X);  // ArcTan2(sqrt(1 - X * X), X)
double Tan(double X);

// Trunc(X) plus 1 when the fractional part is above 0 / minus 1 when below 0.
int32_t ICeil(double X);
int32_t IFloor(double X);

}  // namespace kv
