// What the I/O component and the format codecs agree on.
//
// Every reader and writer is a plain routine over a stream:
//
//   void ReadXxxStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params,
//                      TProgressRec& Progress, bool ParamsOnly, TIMMask* Mask);
//   void WriteXxxStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params,
//                       TProgressRec& Progress);
//
// with Xxx one of Bmp, Tiff, Jpeg, Png, Gif, Pcx, Tga, Pnm, Ico, Cur; each
// codec declares its pair in its own header (bmp.h, tiff.h, jpeg.h, png.h ...).
//
// - The reader starts at the stream's position and fills Params with what the
//   file says; fields it does not know stay as they were. With ParamsOnly it
//   stops there and leaves the bitmap alone.
// - Before allocating it checks the size against CheckImageSize; every offset,
//   count and length from the file is checked against the stream.
// - Progress: Progress.StartCodec(rows or blocks), then Progress.CodecRow()
//   after each one. Progress.Aborted points at the component's aborted flag,
//   which the component cleared before the call.
// - Any failure (bad signature, truncated data, zero size, missing LZW hook,
//   decoder error) calls Progress.Fail() and returns; the bitmap then holds
//   what was decoded so far. A reader that decodes no pixels fails. Codecs
//   catch their own exceptions: none may leave the routine.
// - Mask, when not null, receives transparency: a reader that has some calls
//   Mask->AllocateBits(Width, Height, 8), writes the rows and ends with
//   MarkMaskFilled(*Mask). A mask left with an empty box counts as untouched.
// - The writer writes at the stream's position; the component has converted
//   the bitmap to 1 or 24 bits first. Writers that need a palette quantize a
//   copy themselves.
// - Offsets inside a TIFF count from the stream position at the call.
#pragma once
#include <cstdint>

#include "imaging/formats/io_params.h"
#include "imaging/model/kernel_types.h"
#include "imaging/model/mask.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/bmp_format.h"
#include "platform/rtl/streams.h"

namespace kv {

using TIOReadProc = void (*)(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                             bool ParamsOnly, TIMMask* Mask);
using TIOWriteProc = void (*)(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

// Largest picture a reader allocates, in pixels (16384 x 16384 x 2).
constexpr int64_t kMaxImagePixels = kMaxBitmapPixels;

// Resolution of files that do not state one: the screen's logical pixels per
// inch, 96 until the application sets it.
int32_t IODefaultDpi();
void SetIODefaultDpi(int32_t Dpi);

// False for a size no reader should allocate: zero or negative sides, or
// more pixels than kMaxImagePixels.
inline bool CheckImageSize(int64_t Width, int64_t Height) {
  return Width > 0 && Height > 0 && Width <= kMaxImagePixels && Height <= kMaxImagePixels &&
         Width * Height <= kMaxImagePixels;
}

// Marks a mask as written by a reader: its box covers the whole plane.
inline void MarkMaskFilled(TIMMask& Mask) {
  Mask.X1 = 0;
  Mask.Y1 = 0;
  Mask.X2 = Mask.Width - 1;
  Mask.Y2 = Mask.Height - 1;
}

}  // namespace kv
