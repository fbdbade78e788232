// ICO and CUR readers: any bytes end as an image or as the aborted flag, for
// the first entries of the directory, with and without a mask.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/formats/ico.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  kv::IsIcoStream(in);
  kv::IsCurStream(in);
  if (in.Position() != 0) std::abort();
  for (int32_t index = 0; index < 2; ++index)
    for (bool cursor : {false, true})
      for (bool withMask : {false, true}) {
        kv::TIOParamsVals params(nullptr);
        params.IcoImageIndex = params.CurImageIndex = index;
        kv::TBitmap bitmap;
        kv::TIMMask mask;
        bool aborted = false;
        kv::TProgressRec progress;
        progress.Aborted = &aborted;
        in.SetPosition(0);
        (cursor ? kv::ReadCurStream : kv::ReadIcoStream)(in, bitmap, params, progress, false,
                                                          withMask ? &mask : nullptr);
        if (aborted) continue;
        if (bitmap.Empty()) std::abort();  // success means pixels
        if (withMask && (mask.Width != bitmap.Width() || mask.Height != bitmap.Height())) std::abort();
      }
  return 0;
}
