// The YUV layouts of video frames in a DIB, decoded to 24 bits.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/graphics/bitmap.h"

namespace kv {

// True when Compression is a FOURCC this decoder knows.
bool IsYuvFourCC(uint32_t Compression);
// Decodes Width x Height pixels of layout FourCC from Pixels (Size bytes)
// into a new pf24bit Target. PositiveHeight: the header's height was
// positive, which for these layouts puts the first row at the top (the
// other way round for Y41P and cyuv). False, Target untouched, when Size
// holds fewer bytes than the frame.
bool DecodeYuvDib(uint32_t FourCC, int32_t Width, int32_t Height, bool PositiveHeight, const uint8_t* Pixels,
                  size_t Size, TBitmap& Target);

}  // namespace kv
