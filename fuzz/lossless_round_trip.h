// Body shared by the fuzz targets of readers whose writers are lossless at
// 1 and 24 bits: any bytes end as a picture or as the aborted flag; what
// reads is written and read back to the same pixels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/codec.h"

namespace kvfuzz {

inline void Check(bool Ok) {
  if (!Ok) std::abort();
}

// Larger pictures are only read for their parameters, which keeps runs fast.
constexpr int64_t kFuzzPixels = int64_t(1) << 22;

inline int LosslessRoundTrip(const uint8_t* Data, size_t Size, kv::TIOReadProc Read, kv::TIOWriteProc Write) {
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  kv::TIOParamsVals params(nullptr);
  kv::TBitmap bitmap;
  bool aborted = false;
  kv::TProgressRec progress;
  progress.Aborted = &aborted;
  kv::TIMMask mask;
  Read(in, bitmap, params, progress, true, &mask);
  if (aborted || int64_t(params.Width) * params.Height > kFuzzPixels) return 0;
  in.SetPosition(0);
  Read(in, bitmap, params, progress, false, &mask);
  if (aborted || bitmap.Empty()) return 0;
  Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height);
  kv::TIOParamsVals out(nullptr);
  const bool bits = bitmap.PixelFormat() == kv::pf1bit;
  out.BitsPerSample = bits ? 1 : 8;
  out.SamplesPerPixel = bits ? 1 : 3;
  kv::TMemoryStream s;
  Write(s, bitmap, out, progress);
  Check(!aborted);
  s.SetPosition(0);
  kv::TBitmap again;
  Read(s, again, out, progress, false, nullptr);
  Check(!aborted && again.Width() == bitmap.Width() && again.PixelFormat() == bitmap.PixelFormat());
  const size_t rowBytes = bits ? (size_t(bitmap.Width()) + 7) / 8 : size_t(bitmap.Width()) * 3;
  for (int32_t y = 0; y < bitmap.Height(); ++y)
    Check(std::memcmp(again.ScanLine(y), bitmap.ScanLine(y), rowBytes) == 0);
  return 0;
}

}  // namespace kvfuzz
