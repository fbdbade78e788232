// The portable any-maps: bitmap, gray map and pixel map, in their text forms
// P1, P2, P3 (read only) and their raw forms P4, P5, P6. Comment lines travel
// in the parameter record's PnmComments.
#pragma once
#include <string>

#include "imaging/formats/codec.h"

namespace kv {

// One header token from the stream's position: bytes that are neither
// letters, digits nor "#" are skipped; "#" gives "#" and the trimmed rest of
// its line; otherwise the run of letters and digits (the byte after it is
// consumed). Empty at the end of the stream.
void ReadPnmToken(TStream& S, std::string& Text);

// True when the stream holds, after any comments, a magic "P1" to "P6", a
// width and a height above 0 and (but for P1 and P4) a maximum value. The
// position is restored.
bool IsPnmStream(TStream& S);

// Codec contract of codec.h. P1 and P4 give a 1-bit bitmap, the others a
// 24-bit one. Maximum values up to 65535 are honoured (two bytes a sample
// above 255 in P5 and P6); samples above the maximum are taken as the maximum.
void ReadPnmStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask);

// P4 for 1 bit and 1 sample or a 1-bit bitmap (a 24-bit one is reduced to two
// colours or dithered), P5 gray levels for 8 bits and 1 sample, P6 for a
// 24-bit bitmap otherwise; the comment list goes into the header.
void WritePnmStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

}  // namespace kv
