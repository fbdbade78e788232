// BMP reader: any bytes either load or raise EInvalidGraphic, and whatever
// loads saves and loads back to the same picture (size, format, palette, rows).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::TBitmap first(3, 2, kv::pf8bit);
  first.SetPixelColor(1, 1, kv::clRed);
  kv::TBitmap before;
  before.Assign(&first);
  kv::TReadOnlyMemoryStream in(Data, int64_t(Size));
  try {
    first.LoadFromStream(in);
  } catch (const kv::EInvalidGraphic&) {
    Check(SamePicture(first, before));  // a refused file leaves the bitmap as it was
    return 0;
  }
  Check(Size > 0 || first.Empty());
  if (first.Empty()) return 0;

  kv::TMemoryStream out;
  first.SaveToStream(out);
  out.SetPosition(0);
  kv::TBitmap second;
  second.LoadFromStream(out);
  Check(SamePicture(first, second));
  return 0;
}
