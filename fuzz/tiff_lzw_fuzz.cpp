// TIFF LZW: decoding any bytes stays inside both buffers; encoding any bytes
// decodes back to them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/formats/tiff_lzw.h"
#include "platform/rtl/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  const int32_t outLength = (Data[0] | Data[1] << 8) + 1;
  std::vector<uint8_t> out(static_cast<size_t>(outLength));
  const int32_t n = kv::TiffLzwDecode(Data + 2, int32_t(Size - 2), out.data(), outLength);
  if (n > outLength) std::abort();

  kv::TMemoryStream code;
  void* state = nullptr;
  const size_t half = Size / 2;
  kv::TiffLzwEncode(Data, int32_t(half), code, state);
  kv::TiffLzwEncode(Data + half, int32_t(Size - half), code, state);
  kv::TiffLzwEncode(nullptr, 0, code, state);
  std::vector<uint8_t> back(Size);
  const int32_t m = kv::TiffLzwDecode(static_cast<const uint8_t*>(code.Memory()), int32_t(code.Size()), back.data(),
                                      int32_t(Size));
  if (m != int32_t(Size) || std::memcmp(back.data(), Data, Size) != 0) std::abort();
  return 0;
}
