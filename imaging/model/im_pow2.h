// 2 raised to a * n: the number of values a sample of n channels of a bits each can take.
#pragma once
#include <cstdint>
#include <limits>

namespace kv {

// (1 shl a) multiplied n times, in 64 bits: 16-bit RGB (a = 16, n = 3) needs
// 2^48. A zero or negative a or n gives 1; results past 2^62 saturate at
// INT64_MAX instead of wrapping.
constexpr int64_t IMPow2N(int32_t a, int32_t n) {
  if (a <= 0 || n <= 0) return 1;
  if (int64_t(a) * n > 62) return std::numeric_limits<int64_t>::max();
  return int64_t(1) << (a * n);
}

}  // namespace kv
