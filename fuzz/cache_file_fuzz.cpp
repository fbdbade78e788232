// Thumbnail cache files come from disk: the framing (length, information
// text, JPEG) never reads outside the file, and a file it accepts has its
// text where the length says and a picture that decodes or aborts cleanly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/catalog/thumbnail_cache.h"
#include "imaging/formats/jpeg.h"
#include "imaging/formats/jpeg_glue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 262144) return 0;
  kv::JpegMemoryLimit = size_t(64) << 20;
  kv::TImageInfoTexts info;
  size_t jpegAt = 0;
  if (!kv::SplitCacheFile(Data, Size, info, jpegAt)) return 0;
  if (jpegAt > Size || kv::JoinCacheInfo(info).size() != jpegAt - 4) std::abort();
  kv::TReadOnlyMemoryStream in(Data + jpegAt, int64_t(Size - jpegAt));
  kv::TIOParamsVals params(nullptr);
  kv::TBitmap bitmap;
  bool aborted = false;
  kv::TProgressRec progress;
  progress.Aborted = &aborted;
  kv::ReadJpegStream(in, bitmap, params, progress, true, nullptr);
  // Thumbnails are small: a header that claims more is not decoded here.
  if (aborted || int64_t(params.Width) * params.Height > (int64_t(1) << 20)) return 0;
  in.SetPosition(0);
  kv::ReadJpegStream(in, bitmap, params, progress, false, nullptr);
  if (!aborted && !bitmap.Empty() && (bitmap.Width() != params.Width || bitmap.Height() != params.Height))
    std::abort();
  return 0;
}
