// Hidden data: the first two bytes choose a picture's size, the rest are its
// pixels. Extraction of whatever the low bits spell stays inside the picture
// and the buffer and never claims more than the capacity; a message that fits
// reads back whole.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/processing/hidden_data.h"
#include "platform/graphics/bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 3) return 0;
  const int32_t w = 1 + Data[0] % 64, h = 1 + Data[1] % 64;
  Data += 2;
  Size -= 2;
  kv::TBitmap bmp(w, h, kv::pf24bit);
  size_t k = 0;
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(bmp.ScanLine(y));
    for (int32_t i = 0; i < 3 * w; ++i) row[i] = Data[k++ % Size];
  }
  const int32_t capacity = kv::HiddenDataCapacity(bmp);
  std::vector<uint8_t> buf(64);
  const int32_t n = kv::ReadHiddenBits(bmp, buf.data(), int32_t(buf.size()));
  if (n < 0 || n > std::max(capacity, 0)) std::abort();

  const int32_t m = capacity < 0 ? 0 : int32_t(std::min<size_t>(Size, size_t(capacity)));
  if (capacity >= 0) {
    if (!kv::WriteHiddenBits(bmp, Data, m)) std::abort();
    std::vector<uint8_t> back(size_t(m) + 1);
    if (kv::ReadHiddenBits(bmp, back.data(), m) != m || std::memcmp(back.data(), Data, size_t(m)) != 0) std::abort();
    if (kv::WriteHiddenBits(bmp, Data, capacity + 1)) std::abort();
  }
  return 0;
}
