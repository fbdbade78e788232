// GIF reader: any bytes end as an image or as the aborted flag, with and
// without a mask; what reads is written and read back to the same pixels
// when it has no more colours than the file's table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/gif.h"
#include "imaging/formats/gif_lzw.h"

namespace {
void Check(bool Ok) {
  if (!Ok) std::abort();
}
constexpr int64_t kFuzzPixels = int64_t(1) << 22;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::InstallGifLzwHooks();
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  kv::TIOParamsVals params(nullptr);
  kv::TBitmap bitmap;
  bool aborted = false;
  kv::TProgressRec progress;
  progress.Aborted = &aborted;
  kv::ReadGifStream(in, bitmap, params, progress, true, nullptr);
  if (aborted || int64_t(params.Width) * params.Height > kFuzzPixels) return 0;
  if (Size > 0) params.GifImageIndex = Data[Size - 1] % 3;
  kv::TIMMask mask;
  for (bool withMask : {false, true}) {
    in.SetPosition(0);
    aborted = false;
    kv::ReadGifStream(in, bitmap, params, progress, false, withMask ? &mask : nullptr);
  }
  if (aborted || bitmap.Empty()) return 0;
  Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height);
  Check(mask.Width == bitmap.Width() && mask.Height == bitmap.Height());
  if (bitmap.Width() > 400 || bitmap.Height() > 400) return 0;  // the quantizer is not what is tested here
  kv::TIOParamsVals out(nullptr);
  out.BitsPerSample = bitmap.PixelFormat() == kv::pf1bit ? 1 : 8;
  out.GifInterlaced = params.GifInterlaced;
  kv::TMemoryStream s;
  kv::WriteGifStream(s, bitmap, out, progress);
  Check(!aborted);
  s.SetPosition(0);
  kv::TBitmap again;
  kv::ReadGifStream(s, again, out, progress, false, nullptr);
  Check(!aborted && again.Width() == bitmap.Width() && again.Height() == bitmap.Height());
  if (params.ColorMapCount <= 256 && again.PixelFormat() == bitmap.PixelFormat())
    for (int32_t y = 0; y < bitmap.Height(); ++y)
      Check(std::memcmp(again.ScanLine(y), bitmap.ScanLine(y), size_t(bitmap.PixelFormat() == kv::pf1bit
                                                                            ? (bitmap.Width() + 7) / 8
                                                                            : bitmap.Width() * 3)) == 0);
  return 0;
}
