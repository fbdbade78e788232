// BMP loading, both roads over the one decoder: TBitmap's loader and the
// imaging library's reader. Any bytes either load or are refused (an
// EInvalidGraphic, or the aborted flag) without touching memory outside a
// buffer; what loads saves and loads back to the same picture.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "imaging/formats/bmp.h"
#include "imaging/formats/io_params.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool SamePicture(const kv::TBitmap& a, const kv::TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat() ||
      a.RowBytes() != b.RowBytes() || a.Palette() != b.Palette())
    return false;
  const size_t total = size_t(a.RowBytes()) * size_t(a.Height());
  return total == 0 || std::memcmp(a.Bits(), b.Bits(), total) == 0;
}

void PlatformLoader(const uint8_t* Data, size_t Size) {
  kv::TBitmap first(3, 2, kv::pf8bit);
  first.SetPixelColor(1, 1, kv::clRed);
  kv::TBitmap before;
  before.Assign(&first);
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  try {
    first.LoadFromStream(in);
  } catch (const kv::EInvalidGraphic&) {
    Check(SamePicture(first, before));  // a refused file leaves the bitmap as it was
    return;
  }
  Check(Size > 0 || first.Empty());
  if (first.Empty()) return;

  kv::TMemoryStream out;
  first.SaveToStream(out);
  out.SetPosition(0);
  kv::TBitmap second;
  second.LoadFromStream(out);
  Check(SamePicture(first, second));
}

bool Read(kv::TStream& In, kv::TBitmap& B, kv::TIOParamsVals& P, bool ParamsOnly) {
  bool aborted = false;
  kv::TProgressRec progress;
  progress.Aborted = &aborted;
  kv::ReadBmpStream(In, B, P, progress, ParamsOnly, In.Size());
  return !aborted;
}

void ImagingReader(const uint8_t* Data, size_t Size) {
  kv::TIOParamsVals params(nullptr);
  kv::TBitmap bitmap;
  {
    kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
    if (!Read(in, bitmap, params, true)) return;
  }
  // Large pictures are legal but slow the run; the limits are tested elsewhere.
  if (int64_t(params.Width) * params.Height > (1 << 20)) return;
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  if (!Read(in, bitmap, params, false)) return;
  Check(bitmap.Width() == params.Width && bitmap.Height() == params.Height);
  Check(bitmap.PixelFormat() == kv::pf1bit || bitmap.PixelFormat() == kv::pf24bit);

  // Written in the depth it was read in (1 or 24 bits), it reads back unchanged.
  kv::TIOParamsVals wp(nullptr);
  wp.BitsPerSample = bitmap.PixelFormat() == kv::pf1bit ? 1 : 8;
  wp.SamplesPerPixel = bitmap.PixelFormat() == kv::pf1bit ? 1 : 3;
  kv::TMemoryStream out;
  bool aborted = false;
  kv::TProgressRec progress;
  progress.Aborted = &aborted;
  kv::WriteBmpStream(out, bitmap, wp, progress);
  Check(!aborted);
  out.SetPosition(0);
  kv::TIOParamsVals rp(nullptr);
  kv::TBitmap again;
  Check(Read(out, again, rp, false));
  Check(again.Width() == bitmap.Width() && again.Height() == bitmap.Height() &&
        again.PixelFormat() == bitmap.PixelFormat());
  for (int32_t y = 0; y < bitmap.Height(); ++y)
    for (int32_t x = 0; x < bitmap.Width(); ++x) Check(again.GetPixelColor(x, y) == bitmap.GetPixelColor(x, y));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  PlatformLoader(Data, Size);
  ImagingReader(Data, Size);
  return 0;
}
