// Drawing a part of a picture scaled: onto a canvas with area averaging when
// it shrinks, or by nearest neighbour straight into a 24-bit target bitmap.
#pragma once
#include <cstdint>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/types.h"

namespace kv {

// Without Target: SourceRect of Source scaled into TargetRect of Canvas;
// shows "error" when there is nothing that can be drawn. With Target (both
// bitmaps pf24bit): nearest-neighbour copy into Target, clipped to its size.
void StretchDrawPart(const TBitmap& Source, TCanvas* Canvas, const TRect& SourceRect, TBitmap* Target,
                     const TRect& TargetRect);
// TargetRect clipped to 0..TargetWidth x 0..TargetHeight first, SourceRect
// shrunk in the same proportion; nothing when TargetRect has no area.
void StretchDrawClipped(const TBitmap& Source, TCanvas* Canvas, const TRect& SourceRect, TBitmap* Target,
                        int32_t TargetWidth, int32_t TargetHeight, const TRect& TargetRect);
// The whole source.
void StretchDrawWhole(const TBitmap& Source, TCanvas* Canvas, TBitmap* Target, int32_t TargetWidth,
                      int32_t TargetHeight, const TRect& TargetRect);
// The whole source into 0, 0 .. Width, Height.
void StretchDrawToSize(const TBitmap& Source, TCanvas* Canvas, TBitmap* Target, int32_t Width, int32_t Height);

}  // namespace kv
