// The size, orientation and format operations of the processing component,
// as free routines on the target bitmap: the component saves its undo
// snapshot, calls one of these and refreshes its target.
//
// Every routine leaves the bitmap alone when it cannot do its work; where
// that can be told beforehand (so that no snapshot is saved for nothing) a
// predicate says so.
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/model/kernel_types.h"
#include "imaging/model/pixel.h"
#include "imaging/processing/resample_filters.h"
#include "imaging/processing/rotate.h"
#include "platform/graphics/color.h"

namespace kv {

class TIMMask;

// Canvas resize: the picture keeps its top-left corner, new area takes
// Background, area outside the new size is cut off. Sizes of 0 or less are
// refused (false, nothing changed).
bool ResizeCanvas(TBitmap& Bitmap, int32_t Width, int32_t Height, TColor Background);

// The size Resample makes: a negative width becomes width * Height div height,
// a negative height height * Width div width (old sizes of the bitmap).
// False, when nothing is to be done: an empty bitmap, both sizes negative,
// or a size that comes out at 0 or less.
bool ResampleSize(const TBitmap& Bitmap, int32_t& Width, int32_t& Height);

// Resamples the picture to the size ResampleSize gives. rfNone is a plain
// stretch keeping the pixel format; other filters go through the resampler
// (a pf1bit picture becomes pf24bit gray; progress only for pf24bit). Alpha,
// when not null, follows: a full plane is made anew at the new size, full;
// another is resampled with the same filter (rfFastLinear for rfNone).
// Returns false when ResampleSize refuses. Replaced, when given, receives
// the picture that the result replaces rather than it being freed.
bool ResampleImage(TBitmap& Bitmap, int32_t Width, int32_t Height, TResampleFilter Filter, TIMMask* Alpha,
                   TObject* Sender, const TIMProgressEvent& OnProgress, TBitmap* Replaced = nullptr);

// Fills the whole bitmap with Background (solid brush).
void ClearBitmap(TBitmap& Bitmap, TColor Background);

// pf24bit and pf1bit: the picture becomes the bounding box of the mask (clipped
// to the picture); inside it the pixels the mask covers are kept, the others
// become white. False, with the picture unchanged, for no mask, an empty
// mask or another format.
bool CropToMask(TBitmap& Bitmap, const TIMMask* Mask);

// pf24bit only. More than 2 colours: ReduceColors in place (at most 256),
// the palette used is handed back in Palette when given. 2 or fewer: the
// ordered dither to pf1bit, and Palette (when given) is black then white.
void ConvertToColors(TBitmap& Bitmap, int32_t Colours, std::vector<TBGRPixel>* Palette, TObject* Sender,
                     const TIMProgressEvent& OnProgress);

// pf1bit only: the picture becomes its pf24bit expansion, with progress.
void ConvertBitmapTo24Bit(TBitmap& Bitmap, TObject* Sender, const TIMProgressEvent& OnProgress);

}  // namespace kv
