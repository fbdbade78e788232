// Changing the size of an image with a reconstruction filter: 24-bit to
// 24-bit, 1-bit to 24-bit gray, 8-bit masks to 8-bit masks, and the
// area-averaging reduction of 1-bit pictures shown smaller than their size.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "imaging/model/kernel_types.h"
#include "imaging/processing/resample_filters.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/object.h"

namespace kv {

class TIMMask;

// Every routine does nothing when the source has no area or is smaller than
// 2 pixels in both directions, or when the destination has no area.

// Resamples a pf24bit Src to the size of Dst, which becomes pf24bit.
// rfFastLinear takes the fixed-point path; other filters the two-pass one.
// OnProgress, when assigned, gets percentages as rows and columns are done.
void ResampleBitmapProgress(const TBitmap& Src, TBitmap& Dst, TResampleFilter Filter, TObject* Sender,
                            const TIMProgressEvent& OnProgress);
// Resamples a pf1bit Src (set = 255, clear = 0) into gray pf24bit Dst.
void ResampleBitmap(const TBitmap& Src, TBitmap& Dst, TResampleFilter Filter);
// Resamples an 8-bit plane into Dst, allocated beforehand with the target size and 8 bits.
void ResampleMask(const TIMMask& Src, TIMMask& Dst, TResampleFilter Filter);

// Area-averaging reduction of the rectangle X1..X2, Y1..Y2 (inclusive, clipped
// to the bitmap) of a pf1bit Src into the size of Dst, which becomes pf24bit gray.
void ReduceRect24(const TBitmap& Src, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TBitmap& Dst);
// The same from bottom-up padded 1-bit rows into a new bottom-up padded
// 24-bit buffer of DstWidth x DstHeight; null when there is nothing to make.
std::unique_ptr<uint8_t[]> Reduce1BitRectTo24(const uint8_t* Bits, int32_t Width, int32_t Height,
                                              int32_t DstWidth, int32_t DstHeight, int32_t X1, int32_t Y1,
                                              int32_t X2, int32_t Y2);

}  // namespace kv
