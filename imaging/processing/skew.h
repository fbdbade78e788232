// Skew of scanned text: the edges of a reduced copy vote, for every angle
// within a range, for the distance of the line through them; the angle with
// the strongest line is the dominant direction of the text.
#pragma once
#include <cstdint>

#include "imaging/model/kernel_types.h"
#include "platform/graphics/bitmap.h"

namespace kv {

// The angle, in degrees, of the strongest line through the black (clear)
// pixels of a pf1bit bitmap, searched within MaxAngle / 2 either side of
// horizontal in steps of Precision (taken down to a tenth, 0.1 .. 1). A
// positive angle is a line that falls to the right (rows grow downwards).
// 0 for another format, a precision or MaxAngle (0 .. 180) out of range, or
// when no pixel voted. Progress after each row of the bitmap.
double SkewAngleSearch(const TBitmap& Bitmap, const TIMProgressEvent& OnProgress, TObject* Sender, int32_t MaxAngle,
                       double Precision);

// The skew of the text in Bitmap: a copy TargetWidth wide (the bitmap as it
// is when TargetWidth < 1) goes through ShenCastan and its edges through
// SkewAngleSearch, which reports progress. 0 for a null or empty bitmap.
double EstimateSkewAngleOfBitmap(const TBitmap* Bitmap, int32_t TargetWidth, int32_t MaxAngle, double Precision,
                                 TObject* Sender, const TIMProgressEvent& OnProgress);

}  // namespace kv
