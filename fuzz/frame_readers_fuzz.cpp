// The GIF frame reader and the TIFF page reader: any bytes give some frames
// and then a failure or the end, reading each frame once; frames never hold
// more pixels than the limit, and a failed read ends the walk.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/formats/gif.h"
#include "imaging/formats/gif_lzw.h"
#include "imaging/formats/tiff.h"
#include "imaging/formats/tiff_lzw.h"

namespace {
constexpr int32_t kMaxFrames = 64;
// Frames are read one after another; a large one is refused like the readers refuse it.
constexpr int64_t kFuzzPixels = int64_t(1) << 22;

void Check(bool Ok) {
  if (!Ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::InstallGifLzwHooks();
  kv::TiffLzwDecoderHook = kv::TiffLzwDecode;
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  if (Size >= 3 && Data[0] == 'G') {
    kv::TGifFrameReader r(in);
    const int32_t n = r.ImageCount();
    for (int32_t i = 0; i < n && i < kMaxFrames; ++i) {
      kv::TIOParamsVals params(nullptr);
      kv::TBitmap bitmap;
      bool aborted = false;
      kv::TProgressRec progress;
      progress.Aborted = &aborted;
      const bool ok = r.ReadNext(bitmap, params, progress, nullptr);
      Check(ok == !aborted);
      if (!ok) {
        // Nothing more is read after a failure.
        bool again = false;
        progress.Aborted = &again;
        Check(!r.ReadNext(bitmap, params, progress, nullptr) && again);
        break;
      }
      Check(int64_t(bitmap.Width()) * bitmap.Height() <= kv::kMaxImagePixels);
      Check(params.GifImageCount == n);
    }
    return 0;
  }
  kv::TTiffPageReader r(in);
  for (int32_t i = 0; i < r.PageCount() && i < kMaxFrames; ++i) {
    kv::TIOParamsVals params(nullptr);
    kv::TBitmap bitmap;
    bool aborted = false;
    kv::TProgressRec progress;
    progress.Aborted = &aborted;
    // Pages too large for a fuzz run are skipped by their stated size.
    in.SetPosition(0);
    params.TiffImageIndex = i;
    kv::ReadTiffStream(in, bitmap, params, progress, true, nullptr);
    aborted = false;
    if (int64_t(params.Width) * params.Height > kFuzzPixels) continue;
    Check(r.ReadPage(i, bitmap, params, progress, nullptr) == !aborted);
    Check(params.TiffImageCount == r.PageCount());
  }
  return 0;
}
