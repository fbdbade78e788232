// User convolution filters: any 54 bytes are a filter (a short file is
// refused), and running it over a small picture made of the remaining bytes,
// with a rectangle taken from them too, stays inside the picture.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/processing/user_filter.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace kv;
  TReadOnlyMemoryStream s(Data, int64_t(Size));
  TUserFilterRecord r;
  try {
    ReadUserFilter(s, r);
  } catch (const EInOutError&) {
    if (Size >= 54) __builtin_trap();
    return 0;
  }
  const uint8_t* rest = Data + 54;
  const size_t n = Size - 54;
  if (n < 6) return 0;
  const int32_t w = 1 + rest[0] % 12, h = 1 + rest[1] % 12;
  TBitmap b(w, h, pf24bit);
  size_t at = 6;
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b.ScanLine(y));
    for (int32_t i = 0; i < w * 3; ++i) row[i] = at < n ? rest[at++] : uint8_t(i * 37 + y);
  }
  TProgressRec progress;
  progress.per1 = 100.0 / (h + 0.5);
  ApplyUserFilter(b, r, int8_t(rest[2]) % 16, int8_t(rest[3]) % 16, int8_t(rest[4]) % 16, int8_t(rest[5]) % 16,
                  progress);
  return 0;
}
