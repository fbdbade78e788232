// Packed DIBs as the clipboard, scanners and video frames hand them over:
// any bytes decode into a 1-bit or 24-bit picture of the header's size or are
// refused with the bitmap untouched, never touching memory outside the block.
// Each input runs twice: as one packed block, and split after the info
// header into a header block and a separate pixel block (the form of video
// frames), each copied to a buffer of its own exact size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "imaging/processing/dib.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

int32_t Dimension(const uint8_t* P) {
  const int32_t v = int32_t(uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24);
  return v < 0 ? -v : v;
}

void Run(const std::vector<uint8_t>& Header, const uint8_t* Pixels, size_t PixelsSize) {
  kv::TBitmap b(3, 2, kv::pf8bit);
  const int32_t bits = kv::DIBToBitmap(Header.data(), Header.size(), b, Pixels, PixelsSize);
  if (bits < 0) {
    Check(b.Width() == 3 && b.Height() == 2 && b.PixelFormat() == kv::pf8bit);
    return;
  }
  Check(b.PixelFormat() == kv::pf1bit || b.PixelFormat() == kv::pf24bit);
  if (Header.size() >= 16 && Header[0] == 40) Check(b.Width() == Dimension(&Header[4]) && b.Height() == Dimension(&Header[8]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::vector<uint8_t> whole(Data, Data + Size);
  Run(whole, nullptr, 0);
  const size_t split = Size >= 4 && Data[0] >= 12 && Data[0] <= 124 ? size_t(Data[0]) : 40;
  if (Size < split) return 0;
  const std::vector<uint8_t> header(Data, Data + split);
  const std::vector<uint8_t> pixels(Data + split, Data + Size);
  Run(header, pixels.data(), pixels.size());
  return 0;
}
