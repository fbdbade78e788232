// PNG reader: any bytes end as an image or as the aborted flag, with and
// without a mask; what reads is written and read back to the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/png.h"

namespace {
void Check(bool Ok) {
  if (!Ok) std::abort();
}
constexpr int64_t kFuzzPixels = int64_t(1) << 22;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  kv::TIOParamsVals params(nullptr);
  kv::TBitmap bitmap;
  bool aborted = false;
  kv::TProgressRec progress;
  progress.Aborted = &aborted;
  kv::ReadPngStream(in, bitmap, params, progress, true, nullptr);
  if (aborted || int64_t(params.Width) * params.Height > kFuzzPixels) return 0;
  kv::TIMMask mask;
  for (bool withMask : {false, true}) {
    in.SetPosition(0);
    aborted = false;
    kv::ReadPngStream(in, bitmap, params, progress, false, withMask ? &mask : nullptr);
  }
  if (aborted || bitmap.Empty()) return 0;
  Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height);
  kv::TIOParamsVals out(nullptr);
  out.SamplesPerPixel = 3;
  out.BitsPerSample = bitmap.PixelFormat() == kv::pf1bit ? 1 : 8;
  kv::TMemoryStream s;
  try {
    kv::WritePngStream(s, bitmap, out, progress, mask.IsEmpty() ? nullptr : &mask);
  } catch (...) {
    std::abort();
  }
  Check(!aborted);
  s.SetPosition(0);
  kv::TBitmap again;
  kv::TIMMask againMask;
  kv::ReadPngStream(s, again, out, progress, false, &againMask);
  Check(!aborted && again.Width() == bitmap.Width() && again.PixelFormat() == bitmap.PixelFormat());
  for (int32_t y = 0; y < bitmap.Height(); ++y)
    Check(std::memcmp(again.ScanLine(y), bitmap.ScanLine(y), size_t(bitmap.RowBytes())) == 0);
  return 0;
}
