// BMP files (Windows and OS/2 bitmaps) on a stream.
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/formats/codec.h"

namespace kv {

// Reads one BMP from the stream's position. Size is the bytes of the image
// in the stream (0 or less: the file header's file size). The bitmap becomes
// 1-bit for 1-bit files (with the file's two colours) and 24-bit otherwise.
void ReadBmpStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   int64_t Size);
// Writes Bitmap (1 or 24 bits) as one BMP at the stream's position, in the
// bit count, header version and compression the parameter record asks for.
void WriteBmpStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

// One row of palette indices (one a byte) to run-length codes, ending with
// the end-of-line code.
void EncodeBmpRle8Row(const uint8_t* Indices, int32_t Width, std::vector<uint8_t>& Out);
void EncodeBmpRle4Row(const uint8_t* Indices, int32_t Width, std::vector<uint8_t>& Out);

}  // namespace kv
