#include "imaging/processing/hidden_data.h"

#include <algorithm>
#include <cstring>

#include "platform/graphics/bitmap.h"

namespace kv {

namespace {

constexpr int32_t kHeaderBytes = 8;

int64_t CarrierBytes(const TBitmap& Bitmap) {
  if (Bitmap.PixelFormat() != pf24bit || Bitmap.Empty()) return 0;
  return (int64_t(Bitmap.Width()) * 3 - 2) * Bitmap.Height();
}

// Walks the carrier bytes in order, one row pointer per row.
class TCarrier {
 public:
  explicit TCarrier(const TBitmap& Bitmap)
      : FBitmap(const_cast<TBitmap&>(Bitmap)), FPerRow(int32_t(int64_t(Bitmap.Width()) * 3 - 2)) {}

  // Stores the 8 bits of V, least significant first.
  void PutByte(uint8_t V) {
    for (int32_t b = 0; b < 8; ++b) {
      uint8_t& c = Next();
      if ((V >> b) & 1) c |= 1;  // an even byte goes up by one
      else if (c & 1) c = c == 255 ? 254 : uint8_t(c + 1);
    }
  }

  uint8_t GetByte() {
    uint8_t v = 0;
    for (int32_t b = 0; b < 8; ++b) v = uint8_t(v | ((Next() & 1) << b));
    return v;
  }

 private:
  // Callers have checked that the carrier holds every byte they ask for.
  uint8_t& Next() {
    if (!FRow || FX == FPerRow) {
      FRow = static_cast<uint8_t*>(FBitmap.ScanLine(FY++));
      FX = 0;
    }
    return FRow[FX++];
  }

  TBitmap& FBitmap;
  const int32_t FPerRow;
  uint8_t* FRow = nullptr;
  int32_t FX = 0;
  int32_t FY = 0;
};

}  // namespace

int32_t HiddenDataCapacity(const TBitmap& Bitmap) {
  if (Bitmap.PixelFormat() != pf24bit) return 0;
  const int64_t space = CarrierBytes(Bitmap) / 8 - kHeaderBytes;
  return int32_t(std::min<int64_t>(space, INT32_MAX));
}

bool WriteHiddenBits(TBitmap& Bitmap, const uint8_t* Data, int32_t N) {
  if (Bitmap.PixelFormat() != pf24bit || N < 0 || (N > 0 && !Data)) return false;
  if (N > HiddenDataCapacity(Bitmap)) return false;  // never a cut stream reported as whole
  TCarrier carrier(Bitmap);
  for (int32_t i = 0; i < 4; ++i) carrier.PutByte(0);
  for (int32_t i = 0; i < 4; ++i) carrier.PutByte(uint8_t(uint32_t(N) >> (8 * i)));
  for (int32_t i = 0; i < N; ++i) carrier.PutByte(Data[i]);
  return true;
}

int32_t ReadHiddenBits(const TBitmap& Bitmap, uint8_t* Buffer, int32_t MaxCount) {
  const int32_t capacity = HiddenDataCapacity(Bitmap);
  if (Bitmap.PixelFormat() != pf24bit || capacity < 0) return 0;
  TCarrier carrier(Bitmap);
  uint8_t header[kHeaderBytes];
  for (uint8_t& b : header) b = carrier.GetByte();
  uint32_t length = 0;
  for (int32_t i = 0; i < 4; ++i) length |= uint32_t(header[4 + i]) << (8 * i);
  // The length comes from the picture: only what the carrier can really hold is believed.
  if (header[0] | header[1] | header[2] | header[3] || length > uint32_t(capacity)) return 0;
  if (Buffer) {
    const int32_t n = std::min(int32_t(length), std::max(MaxCount, 0));
    for (int32_t i = 0; i < n; ++i) Buffer[i] = carrier.GetByte();
  }
  return int32_t(length);
}

bool HiddenDataPresent(const TBitmap& Bitmap) {
  const int32_t capacity = HiddenDataCapacity(Bitmap);
  if (Bitmap.PixelFormat() != pf24bit || capacity < 0) return false;
  TCarrier carrier(Bitmap);
  uint8_t header[kHeaderBytes];
  for (uint8_t& b : header) b = carrier.GetByte();
  uint32_t length = 0;
  for (int32_t i = 0; i < 4; ++i) length |= uint32_t(header[4 + i]) << (8 * i);
  return !(header[0] | header[1] | header[2] | header[3]) && length <= uint32_t(capacity);
}

}  // namespace kv
