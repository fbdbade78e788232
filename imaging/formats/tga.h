// Targa files: colour-mapped, true-colour and gray pictures, plain or
// run-length, with the version 2 extension area and footer.
#pragma once

#include "imaging/formats/codec.h"

namespace kv {

// True when the header at the stream's position names an accepted image type
// (1-3, 9-11) and depth (1, 4, 8, 16, 24, 32) and the stream does not begin
// like a portable any-map. The position is restored.
bool IsTgaStream(TStream& S);

// Codec contract of codec.h. Depth 1 gives a 1-bit bitmap, the others a
// 24-bit one; the alpha of 32-bit pictures goes to Mask when there is one.
// The extension area fills the author, job name, date, key colour, aspect
// ratio and gamma fields (their defaults without one).
void ReadTgaStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask);

// Depth by the record: 1 sample of 1, 4 or 8 bits (quantized; gray levels with
// TgaGrayLevel), else 24 bits; run-length rows at depths 8 and 24 when
// TgaCompressed. The extension area and footer follow the pixels.
void WriteTgaStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

}  // namespace kv
