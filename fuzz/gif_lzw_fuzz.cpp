// GIF LZW: decoding any bytes stays inside the index buffer and either takes
// the data or puts the stream back; encoding any indices decodes back to them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "imaging/formats/gif_lzw.h"
#include "platform/rtl/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 3) return 0;
  const int32_t w = Data[0] % 64 + 1, h = Data[1] % 64 + 1;
  const bool interlaced = Data[2] & 1;
  const int32_t bits = Data[2] / 2 % 8 + 1;
  std::vector<uint8_t> out(size_t(w) * size_t(h), 0);
  kv::TReadOnlyMemoryStream in(Data + 3, int64_t(Size - 3));
  kv::GifLzwDecode(in, h, w, out.data(), interlaced);
  if (in.Position() < 0 || in.Position() > int64_t(Size - 3)) std::abort();

  // The same bytes as indices of the depth chosen above.
  std::vector<uint8_t> px(out.size());
  const size_t n = Size - 3;
  for (size_t i = 0; n > 0 && i < px.size(); ++i) px[i] = uint8_t(Data[3 + i % n] & ((1 << bits) - 1));
  kv::TMemoryStream code;
  kv::GifLzwEncode(code, h, w, bits, px.data(), interlaced);
  code.SetPosition(0);
  std::vector<uint8_t> back(px.size(), 0xFF);
  kv::GifLzwDecode(code, h, w, back.data(), interlaced);
  if (code.Position() != code.Size() || back != px) std::abort();
  return 0;
}
