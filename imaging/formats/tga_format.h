// The fixed parts of a TGA file shared by its reader and writer.
#pragma once
#include <cstdint>

namespace kv {

constexpr int32_t kTgaHeaderBytes = 18;
constexpr int32_t kTgaExtensionBytes = 495;
constexpr int32_t kTgaFooterBytes = 26;
// Bytes 8-25 of the footer.
constexpr char kTgaSignature[18] = "TRUEVISION-XFILE.";

inline int32_t TgaWord(const uint8_t* P) { return int32_t(P[0]) | int32_t(P[1]) << 8; }
inline uint32_t TgaLong(const uint8_t* P) {
  return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24;
}
inline void PutTgaWord(uint8_t* P, uint32_t V) { P[0] = uint8_t(V), P[1] = uint8_t(V >> 8); }
inline void PutTgaLong(uint8_t* P, uint32_t V) {
  PutTgaWord(P, V);
  PutTgaWord(P + 2, V >> 16);
}

}  // namespace kv
