// Rows of the 24-bit picture a quantizer reads: a pf24bit TBitmap or a pk24BGR
// TIMBitmap. The kind of source is settled once when the source is made, so the
// engines' loops pay one predictable branch per row, never a virtual call.
#pragma once
#include <cstddef>
#include <cstdint>

#include "imaging/model/pixel.h"

namespace kv {

class TBitmap;
class TIMBitmap;

class TQuantSource {
 public:
  // Anything but a pf24bit bitmap reads as an empty picture.
  static TQuantSource Of(const TBitmap& Bitmap);
  // Anything but a pk24BGR image reads as an empty picture. Rows are fetched
  // through TIMBitmap::ScanLine, so a row is valid only until the next Row call.
  static TQuantSource Of(TIMBitmap& Bitmap);

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  int64_t Pixels() const { return static_cast<int64_t>(FWidth) * FHeight; }

  // Row Y, 0 the top row; Y must lie inside the picture.
  const TBGRPixel* Row(int32_t Y) const {
    if (FBase) return reinterpret_cast<const TBGRPixel*>(FBase + static_cast<ptrdiff_t>(Y) * FStride);
    return reinterpret_cast<const TBGRPixel*>(FRowOf(FOwner, Y));
  }

 private:
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  // Rows in one block (a TBitmap's memory).
  const uint8_t* FBase = nullptr;
  ptrdiff_t FStride = 0;
  // Rows through their owner (a TIMBitmap, which may map them one at a time).
  const uint8_t* (*FRowOf)(void* Owner, int32_t Y) = nullptr;
  void* FOwner = nullptr;
};

}  // namespace kv
