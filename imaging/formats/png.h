// PNG reading and writing over libpng.
#pragma once

#include "imaging/formats/codec.h"

namespace kv {

// True when the 8 bytes at the stream's position are the PNG signature; the
// position is restored.
bool IsPngStream(TStream& S);

// Codec contract of codec.h. 1-bit gray images, and 1-bit palette images
// whose palette is black then white, give a 1-bit bitmap; everything else a
// 24-bit one. Alpha (an alpha channel or tRNS) goes to Mask when there is
// one; without a mask it is composited over the file's bKGD colour (which
// then becomes Params.PngBackground) or else over Params.PngBackground.
void ReadPngStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask);

// Writes a 1-bit or 24-bit bitmap. Mask is the view's 8-bit alpha plane or
// null; one that is not Full makes an RGBA file (or a transparent entry 0 of
// a palette file). Short writes set the aborted flag; a libpng error sets it
// and raises EInvalidGraphic "Error on creating PNG".
void WritePngStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    const TIMMask* Mask = nullptr);

}  // namespace kv
