// PackBits run-length coding (TIFF compression 32773): a control byte n of
// 0..127 copies the next n + 1 bytes, -127..-1 repeats the next byte 1 - n
// times, and -128 does nothing.
#pragma once
#include <cstdint>
#include <vector>

namespace kv {

// Fills all Count bytes of Dst from Src (Size bytes); whatever the data does
// not cover is zero. Runs are clipped to Dst. Returns the source bytes used.
int32_t PackBitsDecode(const uint8_t* Src, int32_t Size, uint8_t* Dst, int32_t Count);

// Appends the coding of Count bytes to Out: runs of 4 to 128 equal bytes as
// one run, everything else in literal groups of up to 128 bytes.
void PackBitsEncode(const uint8_t* Src, int32_t Count, std::vector<uint8_t>& Out);

}  // namespace kv
