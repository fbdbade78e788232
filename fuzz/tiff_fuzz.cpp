// TIFF reader: any bytes end in a picture or the aborted flag, never outside
// a buffer; what reads back as a picture writes and reads again unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/io_params.h"
#include "imaging/formats/tiff.h"
#include "imaging/formats/tiff_lzw.h"
#include "platform/rtl/streams.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool Read(const uint8_t* Data, size_t Size, kv::TBitmap& B, kv::TIOParamsVals& P, kv::TIMMask* Mask, bool ParamsOnly) {
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  bool aborted = false;
  kv::TProgressRec progress;
  progress.Aborted = &aborted;
  int32_t pages = 0;
  kv::ReadTiffPage(B, in, pages, false, true, Mask, ParamsOnly, progress, P);
  return !aborted;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::TiffLzwDecoderHook = kv::TiffLzwDecode;
  kv::TiffLzwEncoderHook = kv::TiffLzwEncode;
  kv::TIOParamsVals params(nullptr);
  params.TiffImageIndex = Size > 0 ? Data[Size - 1] % 3 : 0;
  kv::TBitmap bitmap;
  if (!Read(Data, Size, bitmap, params, nullptr, true)) return 0;
  // Large pictures are legal but make the run slow; the limits are tested elsewhere.
  if (int64_t(params.Width) * params.Height > (1 << 20) || params.SamplesPerPixel > 8) return 0;
  kv::TIMMask mask;
  if (!Read(Data, Size, bitmap, params, &mask, false)) return 0;
  Check(bitmap.Width() > 0 && bitmap.Height() > 0);

  kv::TIOParamsVals out(nullptr);
  out.BitsPerSample = bitmap.PixelFormat() == kv::pf1bit ? 1 : 8;
  out.SamplesPerPixel = bitmap.PixelFormat() == kv::pf1bit ? 1 : 3;
  out.TiffCompression = bitmap.PixelFormat() == kv::pf1bit ? 4 : 5;
  kv::TMemoryStream s;
  bool aborted = false;
  kv::TProgressRec progress;
  progress.Aborted = &aborted;
  Check(kv::WriteTiffPage(s, false, bitmap, progress, out) == 1);
  kv::TBitmap again;
  kv::TIOParamsVals back(nullptr);
  Check(Read(static_cast<const uint8_t*>(s.Memory()), size_t(s.Size()), again, back, nullptr, false));
  Check(again.Width() == bitmap.Width() && again.Height() == bitmap.Height() &&
        again.PixelFormat() == bitmap.PixelFormat());
  const size_t row = bitmap.PixelFormat() == kv::pf1bit ? size_t(bitmap.Width() + 7) / 8 : size_t(bitmap.Width()) * 3;
  for (int32_t y = 0; y < bitmap.Height(); ++y) {
    const auto* a = static_cast<const uint8_t*>(bitmap.ScanLine(y));
    const auto* b = static_cast<const uint8_t*>(again.ScanLine(y));
    const size_t whole = bitmap.PixelFormat() == kv::pf1bit ? size_t(bitmap.Width()) / 8 : row;
    Check(std::memcmp(a, b, whole) == 0);
  }
  return 0;
}
