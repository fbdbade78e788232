#include "imaging/model/pixel.h"

#include <cstring>

namespace kv {

namespace {

// Bits First..Last (0 = MSB) of one byte.
inline uint8_t SpanMask(int32_t First, int32_t Last) {
  return static_cast<uint8_t>((0xFFu >> First) & (0xFFu << (7 - Last)));
}

// The 8 bits of Src from bit index S (may be negative); bits outside Src read 0.
inline uint8_t Fetch8(const uint8_t* Src, int32_t SrcBytes, int64_t S) {
  if (S < 0) return S > -8 ? static_cast<uint8_t>(Src[0] >> -S) : 0;
  const int64_t i = S >> 3;
  const int32_t off = static_cast<int32_t>(S & 7);
  if (i >= SrcBytes) return 0;
  unsigned v = static_cast<unsigned>(Src[i]) << off;
  if (off && i + 1 < SrcBytes) v |= static_cast<unsigned>(Src[i + 1]) >> (8 - off);
  return static_cast<uint8_t>(v);
}

}  // namespace

void FillBitRun(uint8_t* Row, int32_t XFrom, int32_t XTo, bool Value) {
  const int32_t b0 = XFrom >> 3, b1 = XTo >> 3;
  auto apply = [&](int32_t i, uint8_t m) {
    if (Value) Row[i] |= m;
    else Row[i] &= static_cast<uint8_t>(~m);
  };
  if (b0 == b1) {
    apply(b0, SpanMask(XFrom & 7, XTo & 7));
    return;
  }
  apply(b0, SpanMask(XFrom & 7, 7));
  if (b1 - b0 > 1) std::memset(Row + b0 + 1, Value ? 0xFF : 0, size_t(b1 - b0 - 1));
  apply(b1, SpanMask(0, XTo & 7));
}

void OrBitRun(const uint8_t* Src, int32_t SrcBytes, int32_t SrcX, uint8_t* Dst, int32_t DstX, int32_t Count) {
  if (Count <= 0) return;
  const int64_t last = int64_t(DstX) + Count - 1;
  const int64_t shift = int64_t(SrcX) - DstX;  // source bit = destination bit + shift
  for (int64_t db = DstX >> 3; db <= (last >> 3); ++db) {
    const int64_t first = db * 8;
    const int32_t lo = first < DstX ? int32_t(DstX - first) : 0;
    const int32_t hi = first + 7 > last ? int32_t(last - first) : 7;
    Dst[db] |= static_cast<uint8_t>(Fetch8(Src, SrcBytes, first + shift) & SpanMask(lo, hi));
  }
}

bool IsGrayBitmap(const TBitmap& Bitmap) {
  if (Bitmap.PixelFormat() != pf24bit) return false;
  for (int32_t y = 0; y < Bitmap.Height(); ++y) {
    const auto* p = static_cast<const TBGRPixel*>(Bitmap.ScanLine(y));
    for (int32_t x = 0; x < Bitmap.Width(); ++x)
      if (p[x].r != p[x].g || p[x].g != p[x].b) return false;
  }
  return true;
}

}  // namespace kv
