// Pixel-format conversions of whole pictures: reduction to a palette of
// colours, the ordered dither and the exact two-colour test down to 1 bit,
// and the expansion of 1-bit pictures to 24 bits.
#pragma once
#include <cstdint>
#include <memory>

#include "imaging/model/kernel_types.h"
#include "imaging/model/pixel.h"

namespace kv {

// pf24bit only: a quantizer for the picture chooses Colours colours (at most
// 256) into Palette (allocated for the call when null, else it must hold
// min(Colours, 256) entries) and every pixel becomes its palette colour.
// Progress after each row with the step 100 / (height + 0.5).
void ReduceColors(TBitmap& Bitmap, int32_t Colours, TBGRPixel* Palette, TObject* Sender,
                  const TIMProgressEvent& OnProgress);

// pf24bit only: replaces the picture by a pf1bit ordered dither of its gray
// levels. White stays white and black stays black.
void ConvertTo1BitDither(TBitmap& Bitmap, TProgressRec& Progress);

// The 8 x 8 ordered-dither matrix, indexed [x mod 8][y mod 8].
extern const uint8_t kDitherMatrix[8][8];

// pf24bit pictures of at most two colours: a new pf1bit bitmap with bit 0
// where a pixel is Colour0 and 1 where it is Colour1, Colour0 never the
// lighter of the two. A picture of one colour gets it in both entries, its
// bits all 1 if the colour is light (gray >= 128) and all 0 if it is dark.
// Null for any other picture (the caller owns the result).
std::unique_ptr<TBitmap> ConvertTo1BitIfTwoColors(const TBitmap& Bitmap, TBGRPixel& Colour0, TBGRPixel& Colour1);

// Target := the pf24bit expansion of a pf1bit Source (bit 0 black, bit 1
// white; the source palette is not consulted). Progress after each row with
// the step 100 / (height + 0.5). Other sources leave Target alone.
void ConvertTo24BitRows(const TBitmap& Source, TBitmap& Target, TProgressRec& Progress);

}  // namespace kv
