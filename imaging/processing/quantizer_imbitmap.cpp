// The TIMBitmap source lives apart so that only callers quantizing snapshots
// link against TIMBitmap.
#include "imaging/model/im_bitmap.h"
#include "imaging/processing/quant_source.h"
#include "imaging/processing/quantizer.h"

namespace kv {

TQuantSource TQuantSource::Of(TIMBitmap& Bitmap) {
  TQuantSource s;
  if (Bitmap.PixelKind != pk24BGR || Bitmap.Width <= 0 || Bitmap.Height <= 0) return s;
  s.FWidth = Bitmap.Width;
  s.FHeight = Bitmap.Height;
  s.FOwner = &Bitmap;
  s.FRowOf = [](void* Owner, int32_t Y) -> const uint8_t* { return static_cast<TIMBitmap*>(Owner)->ScanLine(Y); };
  return s;
}

TIMQuantizer::TIMQuantizer(TIMBitmap& Bitmap, int32_t, int32_t Quality, int32_t Colours, int32_t,
                           TBGRPixel* Palette) {
  // The gray ramp is for TBitmap pictures only; a gray snapshot with at most
  // Colours grays keeps them exactly all the same.
  Build(TQuantSource::Of(Bitmap), false, Quality, Colours, Palette);
}

}  // namespace kv
