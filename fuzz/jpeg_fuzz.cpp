// JPEG reader with its markers: any bytes end as an image or as the aborted
// flag, never a crash; what reads is written and read back at its size, and
// the kept markers go through the IPTC and EXIF parsers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/formats/jpeg.h"
#include "imaging/formats/jpeg_glue.h"

namespace {
void Check(bool Ok) {
  if (!Ok) std::abort();
}
// Pictures larger than this are skipped so that a run stays fast.
constexpr int64_t kFuzzPixels = int64_t(1) << 22;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::JpegMemoryLimit = size_t(256) << 20;
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  kv::TIOParamsVals params(nullptr);
  kv::TBitmap bitmap;
  bool aborted = false;
  kv::TProgressRec progress;
  progress.Aborted = &aborted;
  kv::ReadJpegStream(in, bitmap, params, progress, true, nullptr);
  if (aborted || int64_t(params.Width) * params.Height > kFuzzPixels) return 0;
  kv::ParseJpegMetadata(params);
  in.SetPosition(0);
  kv::ReadJpegStream(in, bitmap, params, progress, false, nullptr);
  if (bitmap.Empty()) return 0;
  Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height);
  if (aborted) return 0;
  kv::TMemoryStream out;
  kv::WriteJpegStream(out, bitmap, params, progress);
  Check(!aborted);
  out.SetPosition(0);
  kv::TBitmap again;
  kv::TIOParamsVals back(nullptr);
  kv::ReadJpegStream(out, again, back, progress, false, nullptr);
  Check(!aborted && again.Width() == bitmap.Width() && again.Height() == bitmap.Height());
  return 0;
}
