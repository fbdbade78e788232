// A plain work raster of 1, 8, 24, 32 (one float or one int32) or 64 (one double)
// bits per pixel, rows bottom-up; every accessor takes row 0 as the top row.
#pragma once
#include <cassert>
#include <cstdint>
#include <memory>

#include "platform/rtl/object.h"

namespace kv {

class TIMWorkBitmap : public TObject {
 public:
  TIMWorkBitmap() = default;
  // Allocated when Width > 0 and Height > 0; the arguments in Allocate's order.
  TIMWorkBitmap(int32_t Width, int32_t Height, int32_t BitsPerPixel);
  ~TIMWorkBitmap() override = default;

  // Nothing when all three are unchanged; else frees and allocates (memory not cleared).
  // Raises EOutOfMemory for a size that cannot be had.
  void Allocate(int32_t Width, int32_t Height, int32_t BitsPerPixel);
  // Frees the memory and sets every field to 0.
  void FreeBits();

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int32_t BitsPerPixel() const { return FBitsPerPixel; }
  int32_t RowBytes() const { return FRowBytes; }
  uint8_t* Bits() const { return FBits.get(); }

  uint8_t* ScanLine(int32_t Row) const {
    assert(Row >= 0 && Row < FHeight);
    return FBits.get() + static_cast<int64_t>(FHeight - 1 - Row) * FRowBytes;
  }
  uint8_t* PixelAddress(int32_t Row, int32_t Column) const {
    assert(Column >= 0 && Column < FWidth);
    switch (FBitsPerPixel) {
      case 1: return ScanLine(Row) + Column / 8;
      case 8: return ScanLine(Row) + Column;
      case 24: return ScanLine(Row) + static_cast<int64_t>(Column) * 3;
      case 32: return ScanLine(Row) + static_cast<int64_t>(Column) * 4;
      case 64: return ScanLine(Row) + static_cast<int64_t>(Column) * 8;
      default: return FBits.get();
    }
  }
  // For 32-bit rasters only.
  float& FloatAt(int32_t Row, int32_t Column) const {
    assert(FBitsPerPixel == 32);
    return *reinterpret_cast<float*>(PixelAddress(Row, Column));
  }
  int32_t& IntAt(int32_t Row, int32_t Column) const {
    assert(FBitsPerPixel == 32);
    return *reinterpret_cast<int32_t*>(PixelAddress(Row, Column));
  }

 private:
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FBitsPerPixel = 0;
  int32_t FRowBytes = 0;
  std::unique_ptr<uint8_t[]> FBits;
};

}  // namespace kv
