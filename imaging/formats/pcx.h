// PC Paintbrush files: a 128-byte header, run-length or plain plane lines,
// and for 256 colours a palette at the end of the file.
#pragma once
#include <cstdint>
#include <string>

#include "imaging/formats/codec.h"

namespace kv {

// Reads the picture in the Size bytes from the stream's position. 1 bit in
// one plane gives a 1-bit bitmap, the other decoded layouts (8 bits in one or
// three planes, 4 bits in one plane, 1 bit in four planes) a 24-bit one;
// PcxCompressed is left as it was.
void ReadPcxStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   int64_t Size);
// Codec contract of codec.h: the picture runs to the end of the stream.
void ReadPcxStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask);
// Opens the file for reading (raises EFOpenError when it cannot) and reads all of it.
void ReadPcxFile(const std::string& FileName, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

// Writes 1 bit (two colours or a dither), 4 or 8 bits (quantized; the built
// palette goes to Params) or 24 bits in three planes, by BitsPerSample x
// SamplesPerPixel; any other depth is written as 24 bits.
void WritePcxStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

// Run-length encodes Count bytes taken Stride bytes apart into Out (room for
// 2 x Count + 2 bytes); an odd Count gets a 0 byte added, so that the line
// decodes to the even bytes-per-line. Returns the encoded length.
int32_t EncodePcxRle(const uint8_t* Line, int32_t Count, int32_t Stride, uint8_t* Out);

}  // namespace kv
