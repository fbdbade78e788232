// Pascal arithmetic, so that kernels translate their formulas line by line.
// Round halves to even; Trunc goes toward zero; Div/Mod truncate like C++;
// Shr of a negative value is an arithmetic shift (defined here, not left to the compiler).
#pragma once
#include <cmath>
#include <cstdint>
#include <limits>

namespace kv {

// Banker's rounding of the default floating-point environment.
inline int64_t Round(double x) {
  if (std::isnan(x)) return 0;
  const double r = std::nearbyint(x);
  if (r >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
  if (r <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(r);
}

inline int64_t Trunc(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
  if (x <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(x);
}

// Round/Trunc to a 32-bit Integer, saturating instead of overflowing.
inline int32_t Round32(double x) {
  const int64_t v = Round(x);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}
inline int32_t Trunc32(double x) {
  const int64_t v = Trunc(x);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

inline double Frac(double x) { return x - std::trunc(x); }

// Floor division, for the places where a formula says "rounding down".
inline int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Arithmetic shift right of a signed value (Pascal's sar on negative numbers).
inline int64_t Sar(int64_t v, unsigned n) { return v >= 0 ? (v >> n) : ~((~v) >> n); }
inline int32_t Sar32(int32_t v, unsigned n) { return static_cast<int32_t>(Sar(v, n)); }

// Wrap-around arithmetic where a formula relies on it (signed overflow is undefined in C++).
inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

template <typename T> inline T Sqr(T x) { return x * x; }

inline uint8_t ClampByte(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : static_cast<uint8_t>(v)); }

}  // namespace kv
