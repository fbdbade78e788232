#include "imaging/model/work_bitmap.h"

#include <new>

#include "platform/rtl/exceptions.h"

namespace kv {
namespace {

// Beyond this a request is a corrupt size, not a picture (and sanitizers refuse it anyway).
constexpr int64_t kMaxWorkBitmapBytes = int64_t(1) << 40;

}  // namespace

TIMWorkBitmap::TIMWorkBitmap(int32_t Width, int32_t Height, int32_t BitsPerPixel) {
  Allocate(Width, Height, BitsPerPixel);
}

void TIMWorkBitmap::Allocate(int32_t Width, int32_t Height, int32_t BitsPerPixel) {
  if (Width == FWidth && Height == FHeight && BitsPerPixel == FBitsPerPixel) return;
  FreeBits();
  if (Width <= 0 || Height <= 0 || BitsPerPixel <= 0) return;
  const int64_t rowBytes = (static_cast<int64_t>(Width) * BitsPerPixel + 31) / 32 * 4;
  if (rowBytes > INT32_MAX || rowBytes > kMaxWorkBitmapBytes / Height) throw EOutOfMemory();
  uint8_t* p = new (std::nothrow) uint8_t[static_cast<size_t>(rowBytes * Height)];
  if (p == nullptr) throw EOutOfMemory();
  FBits.reset(p);
  FWidth = Width;
  FHeight = Height;
  FBitsPerPixel = BitsPerPixel;
  FRowBytes = static_cast<int32_t>(rowBytes);
}

void TIMWorkBitmap::FreeBits() {
  FBits.reset();
  FWidth = 0;
  FHeight = 0;
  FBitsPerPixel = 0;
  FRowBytes = 0;
}

}  // namespace kv
