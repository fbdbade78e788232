// Bytes hidden in the least significant bits of a 24-bit picture. The stream
// is 4 zero bytes, a 32-bit little-endian length n, then the n data bytes,
// each stored least significant bit first, one bit per carrier byte. The
// carrier is every row's first 3 * width - 2 colour bytes, top row first.
#pragma once
#include <cstdint>

namespace kv {

class TBitmap;

// Data bytes that fit behind the 8-byte header; negative when not even the
// header fits, 0 for a picture that is not pf24bit. Capped at INT32_MAX.
int32_t HiddenDataCapacity(const TBitmap& Bitmap);

// Writes the header and the N bytes of Data. False (nothing changed) when
// the picture is not pf24bit, N is negative or the data does not fit.
bool WriteHiddenBits(TBitmap& Bitmap, const uint8_t* Data, int32_t N);

// Reads the header and stores up to MaxCount data bytes into Buffer (none
// when Buffer is null); returns the stored length. A picture that is not
// pf24bit, too small for a header, whose marker bytes are not zero or whose
// length exceeds the capacity holds no hidden data: 0.
int32_t ReadHiddenBits(const TBitmap& Bitmap, uint8_t* Buffer, int32_t MaxCount);

// Whether the picture holds a header that ReadHiddenBits believes: pf24bit,
// zero marker bytes and a length within the capacity. Tells a stored length
// of 0 from a picture that holds nothing, or a length that cannot be true.
bool HiddenDataPresent(const TBitmap& Bitmap);

}  // namespace kv
