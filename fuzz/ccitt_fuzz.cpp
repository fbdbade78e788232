// Fax decoding of any bytes stays inside the strip and the row; rows made
// from the bytes encode and decode back unchanged in every coding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/formats/ccitt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 3) return 0;
  const int32_t width = 1 + (Data[0] | (Data[1] & 0x0F) << 8);
  const int32_t compression = 2 + Data[2] % 3;
  const uint32_t options = (Data[2] >> 2) & 7;
  const int32_t fillOrder = 1 + ((Data[2] >> 5) & 1);
  const size_t rowBytes = (size_t(width) + 7) / 8;
  std::vector<uint8_t> row(rowBytes);
  kv::TCcittDecoder dec(Data + 3, int32_t(Size - 3), width, compression, options, fillOrder);
  for (int i = 0; i < 40; ++i) dec.DecodeRow(row.data());

  const size_t rows = (Size - 3) / rowBytes;
  if (rows == 0 || rows > 64) return 0;
  const uint8_t tail = width % 8 ? uint8_t(0xFF << (8 - width % 8)) : 0xFF;
  for (int32_t c = 2; c <= 4; ++c)
    for (bool twoD : {false, true}) {
      kv::TCcittEncoder enc(width, c, twoD);
      for (size_t r = 0; r < rows; ++r) enc.EncodeRow(Data + 3 + r * rowBytes);
      enc.Finish();
      kv::TCcittDecoder back(enc.Out.data(), int32_t(enc.Out.size()), width, c, twoD && c == 3 ? 1 : 0, 1);
      for (size_t r = 0; r < rows; ++r) {
        back.DecodeRow(row.data());
        const uint8_t* want = Data + 3 + r * rowBytes;
        for (size_t i = 0; i < rowBytes; ++i) {
          const uint8_t mask = i + 1 == rowBytes ? tail : 0xFF;
          if (((row[i] ^ 0xFF) & mask) != (want[i] & mask)) std::abort();
        }
      }
    }
  return 0;
}
