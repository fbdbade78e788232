// Windows icon (ICO) and cursor (CUR) files: content tests and readers of
// one image of the directory. There are no writers.
#pragma once

#include "imaging/formats/codec.h"

namespace kv {

// True when the stream (from its position, more than 22 bytes) starts with
// an icon (type 1) or cursor (type 2) directory whose entries all have a
// reserved 0, a data size and an offset past their own entry. The position
// is restored.
bool IsIcoStream(TStream& S);
bool IsCurStream(TStream& S);

// Codec contract of codec.h. Read image Params.IcoImageIndex or
// Params.CurImageIndex: 1, 4 and 8 bits with their colour table, 16, 24 and
// 32 bits (alpha), and PNG-compressed entries. A 1-bit entry with two colours
// gives a 1-bit bitmap, every other a 24-bit one. Transparent pixels show the
// record's icon (cursor) background colour and are 0 in the Mask; inverting
// pixels of a 1-bit entry show its opposite. The cursor reader stores the hot
// spot. Fails for an index outside the directory, offsets or sizes that leave
// the stream, and depths it cannot decode. An icon stream that is in fact a
// BMP is read as one. No progress is reported.
void ReadIcoStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask);
void ReadCurStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask);

}  // namespace kv
