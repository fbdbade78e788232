// Pixel conventions shared by every image operation: BGR byte order, rows
// padded to 4 bytes, 1-bit pixels most significant bit first, and one gray rule.
#pragma once
#include <cstdint>

#include "platform/graphics/bitmap.h"

namespace kv {

#pragma pack(push, 1)
struct TBGRPixel {
  uint8_t b = 0;
  uint8_t g = 0;
  uint8_t r = 0;
  friend bool operator==(const TBGRPixel&, const TBGRPixel&) = default;
};
#pragma pack(pop)
static_assert(sizeof(TBGRPixel) == 3);

using PBGRPixel = TBGRPixel*;

// Masks of pixel x of a 1-bit row, by x mod 8.
inline constexpr uint8_t kBitMask[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};

// ((Width * Bits + 31) div 32) * 4, in 64 bits: a wide 24- or 32-bit row does not fit 32 bits.
inline int64_t RowBytesForBits(int32_t Width, int32_t Bits) { return BytesPerScanLine(Width, Bits); }
inline int64_t RowBytes(int32_t Width, TPixelFormat Format) { return RowBytesForBits(Width, PixelFormatBits(Format)); }

// (21 R + 71 G + 7 B) div 100.
inline uint8_t GrayLevel(uint8_t R, uint8_t G, uint8_t B) {
  return static_cast<uint8_t>((21 * R + 71 * G + 7 * B) / 100);
}
inline uint8_t GrayLevel(const TBGRPixel& P) { return GrayLevel(P.r, P.g, P.b); }

inline bool GetBit(const uint8_t* Row, int32_t X) { return (Row[X >> 3] & kBitMask[X & 7]) != 0; }
// The masked byte of pixel X: non-zero when set.
inline uint8_t TestBit(const uint8_t* Row, int32_t X) { return static_cast<uint8_t>(Row[X >> 3] & kBitMask[X & 7]); }
inline void SetBit(uint8_t* Row, int32_t X, bool Value) {
  if (Value) Row[X >> 3] |= kBitMask[X & 7];
  else Row[X >> 3] &= static_cast<uint8_t>(~kBitMask[X & 7]);
}

// Sets (Value true) or clears the bits XFrom..XTo (inclusive, XFrom <= XTo) of a
// 1-bit row, whole bytes at a time.
void FillBitRun(uint8_t* Row, int32_t XFrom, int32_t XTo, bool Value);
// Ors Count bits of Src, from bit SrcX, into Dst from bit DstX. Src is SrcBytes
// long and is never read past it; bits of Dst outside the run are untouched.
void OrBitRun(const uint8_t* Src, int32_t SrcBytes, int32_t SrcX, uint8_t* Dst, int32_t DstX, int32_t Count);

// True when every pixel of a pf24bit bitmap has red = green = blue (false for other formats).
bool IsGrayBitmap(const TBitmap& Bitmap);

}  // namespace kv
