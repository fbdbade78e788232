// PackBits: decoding any bytes stays inside both buffers; encoding any bytes
// decodes back to them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/formats/packbits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  std::vector<uint8_t> out(size_t(Data[0]) * 3 + 1);
  const int32_t used = kv::PackBitsDecode(Data + 1, int32_t(Size - 1), out.data(), int32_t(out.size()));
  if (used < 0 || used > int32_t(Size - 1)) std::abort();

  std::vector<uint8_t> code;
  kv::PackBitsEncode(Data, int32_t(Size), code);
  std::vector<uint8_t> back(Size);
  if (kv::PackBitsDecode(code.data(), int32_t(code.size()), back.data(), int32_t(Size)) != int32_t(code.size()) ||
      std::memcmp(back.data(), Data, Size) != 0)
    std::abort();
  return 0;
}
