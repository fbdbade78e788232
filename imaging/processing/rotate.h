// Turning and mirroring pictures: the three-shear rotation of 24-bit
// pictures (quarter turns as plain copies, the rest of at most 45 degrees
// as three shears), the rotation of 1-bit pictures, and flips.
#pragma once
#include <cstdint>

#include "imaging/model/kernel_types.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"

namespace kv {

// Angles are in degrees, positive counter-clockwise. Nothing for angle 0;
// pf24bit pictures take RotateBitmap24, pf1bit pictures RotateBitmap1; other
// formats are left as they are. Every rotation builds its result beside the
// picture; Replaced, when given, then receives the picture it replaced
// rather than it being freed (it stays empty when nothing was turned).
void RotateBitmap(TBitmap& Bitmap, double Angle, bool Antialias, TColor Background, TObject* Sender,
                  const TIMProgressEvent& OnProgress, TBitmap* Replaced = nullptr);

// pf24bit: the angle is reduced to thousandths of a degree modulo 360, whole
// quarter turns are done by copying, the remaining turn of at most 45 degrees
// by three shears (12-bit fixed-point mixing of neighbours with Antialias).
// Uncovered corners take Background.
void RotateBitmap24(TBitmap& Bitmap, double Angle, bool Antialias, TColor Background, TObject* Sender,
                    const TIMProgressEvent& OnProgress, TBitmap* Replaced = nullptr);

// pf1bit: nearest-pixel rotation about the centre with sine and cosine cut
// to four decimals; the new size holds the turned picture, and uncovered
// pixels are white when Background is not 0, else black.
void RotateBitmap1(TBitmap& Bitmap, double Angle, TColor Background, TObject* Sender,
                   const TIMProgressEvent& OnProgress, TBitmap* Replaced = nullptr);

// Quarter turns of a pf24bit Source into Target: 1 counter-clockwise, 2 half
// a turn, 3 clockwise (0 copies). Works in tiles so that both pictures are
// walked through the cache.
void QuarterTurn24(const TBitmap& Source, TBitmap& Target, int32_t Quarters);

// Direction 0 mirrors left and right, 1 top and bottom; any pixel format.
void FlipBitmap(TBitmap& Bitmap, int32_t Direction);

}  // namespace kv
