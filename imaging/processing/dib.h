// Packed device-independent bitmaps (DIB: an info header, an optional colour
// table and the pixel rows in one block), the form pictures take on the
// clipboard, from scanners and from video frames. The writers give the
// 40-byte layout; the decoder takes every layout of the BMP format (through
// the platform's BMP decoder) and the YUV layouts of video frames, checking
// every field and size against the bytes it is given.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"

namespace kv {

class TIMMask;

// The block of one packed DIB (the window system's global memory block).
using TDib = std::vector<uint8_t>;

// The DIB of the rectangle X1..X2-1, Y1..Y2-1 (X2 = 0: the width; Y2 = 0:
// the height), clipped to the bitmap: 40-byte header, for 1 bit the colour
// table 00000000 FFFFFFFF, the rows bottom row first, and 4 bytes to spare.
// 24 bits for pf24bit, 1 for pf1bit; other formats get bit count 0 and no
// rows. Empty for an empty rectangle.
TDib BitmapRectToDIB(const TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
// The DIB of the mask's bounding box: the pixels the mask covers, the rest white.
TDib SelectionToDIB(const TBitmap& Bitmap, TIMMask& Mask);
// The pixels the mask covers take Colour (an 8-bit mask blends it in).
void FillThroughMask(TBitmap& Bitmap, TIMMask& Mask, TColor Colour);

// Decodes a DIB of Size bytes into Bitmap: pf1bit for 1 bit (a white, black
// table is complemented so that a set bit is white; any other two colours
// become the bitmap's palette), pf24bit for everything else. Pixels, when
// given (PixelsSize bytes), holds the rows instead of the block after the
// colour table; YUV frames (a FOURCC compression) come only that way. Rows
// run bottom-up, or top-down for a negative height; run-length rows are
// expanded. Returns the DIB's bit count (which a YUV frame may leave 0), or
// -1 when the DIB is refused (a field out of range, too few bytes, masks of
// no colour, a compression it does not know); Bitmap is then unchanged.
int32_t DIBToBitmap(const uint8_t* Dib, size_t Size, TBitmap& Bitmap, const uint8_t* Pixels = nullptr,
                    size_t PixelsSize = 0);
// The same for the drawing road: every layout but the YUV frames.
int32_t DIBToBitmapDrawDib(const uint8_t* Dib, size_t Size, TBitmap& Bitmap, const uint8_t* Pixels = nullptr,
                           size_t PixelsSize = 0);

// One YUV sample to blue, green, red: d = (Y - 16) * 1.164, blue d + (U - 128)
// * 2.018, green d - (V - 128) * 0.813 - (U - 128) * 0.391, red d + (V - 128)
// * 1.596, each rounded and clamped to 0..255.
void YUVToBGR(int32_t Y, int32_t U, int32_t V, TBGRPixel& Out);
// Copies Count three-byte colours, exchanging the first and third byte of each.
void CopyRGBTriplesSwapped(uint8_t* Target, const uint8_t* Source, int32_t Count);

}  // namespace kv
