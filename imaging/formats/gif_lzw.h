// The LZW coder of GIF image data: codes of 3 to 12 bits, least significant
// bit first, in data sub-blocks. The GIF reader and writer reach these
// routines only through the two GIF hooks of lzw_hooks.h, which the
// application fills at start (InstallGifLzwHooks).
#pragma once
#include <cstdint>

namespace kv {

class TStream;

// Decoder hook. The stream stands at the code size byte (2 to 8). Indices
// receives Width x Height palette indices, top row first; pixels the data
// does not reach keep what they held. On success the stream is left after the
// 0 block that ends the data; on a corrupt code stream (a code past the
// table, a code size out of range, an end code right after a clear code with
// data left) it is put back where it was, which is how the reader learns of
// the failure. A table that has filled up stays as it is until the next
// clear code (a deferred clear is valid GIF).
void GifLzwDecode(TStream& S, int32_t Height, int32_t Width, uint8_t* Indices, bool Interlaced);

// Encoder hook: writes the code size byte max(2, BitsPerPixel), sub-blocks
// of at most 254 bytes and the 0 block. Indices are Width x Height bytes, top
// row first, each below 2^BitsPerPixel (BitsPerPixel 1 to 8); an interlaced
// image is coded in the four-pass row order. A stream that takes fewer bytes
// than given raises EWriteError, so a failed write cannot pass for success.
void GifLzwEncode(TStream& S, int32_t Height, int32_t Width, int32_t BitsPerPixel, const uint8_t* Indices,
                  bool Interlaced);

// More pixels than DataBytes of LZW data can describe (a code has at least
// 3 bits and stands for at most 4096 pixels). A picture larger than this for
// the bytes left in a file cannot come from it, whatever its descriptor says.
inline int64_t GifLzwMaxPixels(int64_t DataBytes) { return DataBytes * 8 / 3 * 4096 + 4096; }

// Stores the two routines above in the process-wide GIF hooks.
void InstallGifLzwHooks();

// Row of the picture that the Index-th stored row of an interlaced image of
// Height rows holds (passes: every 8th row from 0, every 8th from 4, every
// 4th from 2, every 2nd from 1).
int32_t GifInterlacedRow(int32_t Index, int32_t Height);

}  // namespace kv
