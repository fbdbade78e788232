// Filter Factory arithmetic on one value: the meaning of every operator and
// function, shared by constant folding and the row evaluator. Values are
// 32-bit and wrap around; the wrap is written out because signed overflow is
// undefined in C++.
#pragma once
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "platform/rtl/pascal_math.h"

namespace kv::ff {

// T[i] = round(cos(i * pi / 512) * 512), built when the program starts.
extern const std::array<int32_t, 1024> kCosTable;

inline int32_t Add(int32_t a, int32_t b) { return int32_t(uint32_t(a) + uint32_t(b)); }
inline int32_t Sub(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }
inline int32_t Mul(int32_t a, int32_t b) { return int32_t(uint32_t(a) * uint32_t(b)); }
inline int32_t Neg(int32_t a) { return int32_t(0u - uint32_t(a)); }
inline int32_t Abs(int32_t a) { return a < 0 ? Neg(a) : a; }
// Truncated toward zero; 0 for a zero divisor; the one quotient that does not
// fit (INT_MIN / -1) wraps to INT_MIN.
inline int32_t Div(int32_t a, int32_t b) { return b == 0 ? 0 : (b == -1 ? Neg(a) : a / b); }
// Division by a constant K other than 0 and -1 as a multiplication, so that it
// runs in vector registers: v = a * (1/K) is off the true quotient by at most
// 2^-21 / |K|, while a quotient that is not whole lies at least 1 / |K| from
// the next whole number; pushing v by half of that away from zero before
// truncating gives exactly trunc(a / K).
struct TConstDivisor {
  double Inverse = 1;
  double Half = 0.5;
  explicit TConstDivisor(int32_t K) : Inverse(1.0 / K), Half(0.5 / std::fabs(double(K))) {}
};
inline int32_t DivConst(int32_t a, const TConstDivisor& D) {
  const double v = a * D.Inverse;
  return int32_t(v < 0 ? v - D.Half : v + D.Half);
}
inline int32_t Mod(int32_t a, int32_t b) { return (b == 0 || b == -1) ? 0 : a % b; }
// The count is taken modulo 32 (its low five bits); right shifts fill with zeros.
inline int32_t Shl(int32_t a, int32_t b) { return int32_t(uint32_t(a) << (uint32_t(b) & 31u)); }
inline int32_t Shr(int32_t a, int32_t b) { return int32_t(uint32_t(a) >> (uint32_t(b) & 31u)); }
inline int32_t Truth(bool v) { return v ? 1 : 0; }

inline int32_t Cos(int32_t a) { return kCosTable[uint32_t(Abs(a)) & 1023u]; }
inline int32_t Sin(int32_t a) { return kCosTable[uint32_t(Abs(Sub(a, 256))) & 1023u]; }
inline int32_t Tan(int32_t a) {
  const int32_t c = Cos(a);
  return c == 0 ? 0 : Div(Mul(Sin(a), 512), c);
}
// Angle of the point (b, a) in 1024 units per turn.
inline int32_t C2d(int32_t a, int32_t b) {
  return Round32(std::atan2(double(a), double(b)) * 512.0 / 3.14159265358979323846);
}
// In floating point, so large arguments give a large length instead of the
// square root of a wrapped (negative) sum.
inline int32_t C2m(int32_t a, int32_t b) { return Round32(std::sqrt(double(a) * a + double(b) * b)); }
inline int32_t Sqr(int32_t a) { return a < 0 ? 0 : Round32(std::sqrt(double(a))); }

inline int32_t Add3(int32_t a, int32_t b, int32_t c) { return std::min(Add(a, b), c); }
inline int32_t Sub3(int32_t a, int32_t b, int32_t c) { return std::max(Abs(Sub(a, b)), c); }
inline int32_t Dif(int32_t a, int32_t b) { return Abs(Sub(a, b)); }
inline int32_t Mix(int32_t a, int32_t b, int32_t n, int32_t d) {
  return d == 0 ? 0 : Add(Div(Mul(a, n), d), Div(Mul(Sub(d, n), b), d));
}
inline int32_t Scl(int32_t a, int32_t il, int32_t ih, int32_t ol, int32_t oh) {
  return il == ih ? 0 : Add(ol, Div(Mul(Sub(oh, ol), Sub(a, il)), Sub(ih, il)));
}
inline int32_t Ctl(const int32_t* Controls, int64_t i) { return (i >= 0 && i < 8) ? Controls[i] : 0; }
inline int32_t Val(const int32_t* Controls, int32_t i, int32_t a, int32_t b) {
  return i > 7 ? 0 : Add(a, Div(Mul(Sub(b, a), Ctl(Controls, i)), 255));
}
inline int32_t Map(const int32_t* Controls, int32_t i, int32_t n) {
  const int32_t lo = Ctl(Controls, int64_t(i) * 2), hi = Ctl(Controls, int64_t(i) * 2 + 1);
  if (n <= lo) return 0;
  if (n >= hi) return 255;
  return (n - lo) * 255 / (hi - lo);  // lo < n < hi, both 0..255: no overflow, no zero divisor
}
inline int32_t R2x(int32_t d, int32_t m, int32_t HalfX) { return Add(Div(Mul(Cos(d), m), 512), HalfX); }
inline int32_t R2y(int32_t d, int32_t m, int32_t HalfY) { return Add(Div(Mul(Sin(d), m), 512), HalfY); }

// Operands from the pixel: brightness and the two colour differences, the
// latter rounded toward minus infinity (C++20 shifts signed values arithmetically).
inline int32_t OperandI(int32_t r, int32_t g, int32_t b) { return (76 * r + 150 * g + 29 * b) >> 8; }
inline int32_t OperandU(int32_t r, int32_t g, int32_t b) { return (56 * b - 19 * r - 37 * g) >> 8; }
inline int32_t OperandV(int32_t r, int32_t g, int32_t b) { return (78 * r - 65 * g - 13 * b) >> 8; }

// The binary operators on constants (not ",", "?", ":").
int32_t ApplyBinary(uint8_t Op, int32_t a, int32_t b);

}  // namespace kv::ff
