// Fixed-size integer names and the small geometry records shared by every layer.
#pragma once
#include <cstddef>
#include <cstdint>

namespace kv {

using Integer = int32_t;
using Cardinal = uint32_t;
using DWORD = uint32_t;
using Word = uint16_t;
using Byte = uint8_t;
using Int64 = int64_t;
using LongBool = int32_t;
// A window's id; 0 is no window.
using HWND = uintptr_t;

constexpr Integer MaxInt = 2147483647;

struct TPoint {
  Integer X = 0;
  Integer Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Right and bottom are exclusive, as in the window system.
struct TRect {
  Integer Left = 0;
  Integer Top = 0;
  Integer Right = 0;
  Integer Bottom = 0;
  Integer Width() const { return Right - Left; }
  Integer Height() const { return Bottom - Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

struct TSize {
  Integer cx = 0;
  Integer cy = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

inline TPoint Point(Integer x, Integer y) { return TPoint{x, y}; }
inline TRect Rect(Integer l, Integer t, Integer r, Integer b) { return TRect{l, t, r, b}; }
inline TRect Bounds(Integer l, Integer t, Integer w, Integer h) { return TRect{l, t, l + w, t + h}; }

}  // namespace kv
