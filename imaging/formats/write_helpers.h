// What the PNM, PCX and TGA writers share: the checked write and the picture
// in the depth the file wants (1 bit, or 24 bits).
#pragma once
#include <cstddef>
#include <memory>

#include "imaging/model/kernel_types.h"
#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"

namespace kv {

// Writes Count bytes; false, with the aborted flag set, when the stream takes
// fewer (or raises).
bool CheckedWrite(TStream& S, const void* Data, size_t Count, TProgressRec& Progress);

// Bitmap as a 1-bit picture: a 1-bit bitmap itself (Colour0 black, Colour1
// white); a picture of exactly two colours as bits of them (Colour0 the
// darker, on clear bits); anything else an ordered dither (black, white).
// Holder keeps a converted copy alive.
const TBitmap& OneBitPicture(const TBitmap& Bitmap, std::unique_ptr<TBitmap>& Holder, TBGRPixel& Colour0,
                             TBGRPixel& Colour1);

// Bitmap as a 24-bit picture: itself when it is one, else a converted copy
// kept in Holder (1-bit pixels black and white).
const TBitmap& TrueColourPicture(const TBitmap& Bitmap, std::unique_ptr<TBitmap>& Holder);

}  // namespace kv
