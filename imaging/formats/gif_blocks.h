// What the GIF reader and the frame remover share: the block bytes of the
// file layout and skipping the sub-blocks of an extension or image data.
#pragma once
#include <cstdint>

#include "platform/rtl/streams.h"

namespace kv::gif {

constexpr uint8_t kExtension = 0x21;   // '!'
constexpr uint8_t kImage = 0x2C;       // ','
constexpr uint8_t kTrailer = 0x3B;     // ';'
constexpr uint8_t kGraphicControl = 0xF9;
constexpr int32_t kHeaderSize = 13;    // signature, version, logical screen descriptor
constexpr int32_t kDescriptorSize = 9; // image descriptor after its ','

inline uint16_t Get16(const uint8_t* P) { return uint16_t(P[0] | P[1] << 8); }
inline void Put16(uint8_t* P, uint32_t V) {
  P[0] = uint8_t(V);
  P[1] = uint8_t(V >> 8);
}

// Entries of a colour table whose packed size field is Packed & 7.
inline int32_t TableEntries(uint8_t Packed) { return 2 << (Packed & 7); }

// Skips sub-blocks up to and including the 0 block. False when the stream
// ends first (the position is then at its end). Size is the stream's size.
inline bool SkipSubBlocks(TStream& S, int64_t Size) {
  for (;;) {
    uint8_t n;
    if (S.Read(&n, 1) != 1) return false;
    if (n == 0) return true;
    const int64_t next = S.Position() + n;
    if (next > Size) {
      S.Seek(0, soEnd);
      return false;
    }
    S.SetPosition(next);
  }
}

}  // namespace kv::gif
