#include "imaging/formats/packbits.h"

#include <algorithm>
#include <cstring>

namespace kv {

int32_t PackBitsDecode(const uint8_t* Src, int32_t Size, uint8_t* Dst, int32_t Count) {
  int32_t in = 0;
  int32_t out = 0;
  while (out < Count && in < Size) {
    const int32_t n = int8_t(Src[in++]);
    if (n >= 0) {
      const int32_t len = std::min({n + 1, Count - out, Size - in});
      std::memcpy(Dst + out, Src + in, size_t(len));
      out += len;
      in += n + 1;
    } else if (n != -128) {
      if (in >= Size) break;
      const int32_t len = std::min(1 - n, Count - out);
      std::memset(Dst + out, Src[in++], size_t(len));
      out += len;
    }
  }
  if (out < Count) std::memset(Dst + out, 0, size_t(Count - out));
  return std::min(in, Size);
}

void PackBitsEncode(const uint8_t* Src, int32_t Count, std::vector<uint8_t>& Out) {
  int32_t i = 0;
  int32_t literal = 0;  // start of the pending literal group
  auto flushLiteral = [&](int32_t end) {
    while (literal < end) {
      const int32_t n = std::min(end - literal, 128);
      Out.push_back(uint8_t(n - 1));
      Out.insert(Out.end(), Src + literal, Src + literal + n);
      literal += n;
    }
  };
  while (i < Count) {
    int32_t run = 1;
    while (i + run < Count && run < 128 && Src[i + run] == Src[i]) ++run;
    if (run >= 4) {
      flushLiteral(i);
      Out.push_back(uint8_t(1 - run));
      Out.push_back(Src[i]);
      i += run;
      literal = i;
    } else {
      i += run;
    }
  }
  flushLiteral(Count);
}

}  // namespace kv
