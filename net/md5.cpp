#include "net/md5.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

constexpr uint32_t Rotl(uint32_t X, int N) { return (X << N) | (X >> (32 - N)); }

// Per-step shift amounts and sine-derived constants of the four rounds.
constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

void Transform(uint32_t State[4], const uint8_t Block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = uint32_t(Block[i * 4]) | uint32_t(Block[i * 4 + 1]) << 8 | uint32_t(Block[i * 4 + 2]) << 16 |
           uint32_t(Block[i * 4 + 3]) << 24;
  uint32_t a = State[0], b = State[1], c = State[2], d = State[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (b & d) | (c & ~d);
      g = (5 * i + 1) & 15;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) & 15;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) & 15;
    }
    const uint32_t t = d;
    d = c;
    c = b;
    b = b + Rotl(a + f + kSine[i] + x[g], kShift[i]);
    a = t;
  }
  State[0] += a;
  State[1] += b;
  State[2] += c;
  State[3] += d;
}

}  // namespace

void MD5Init(TMD5Context& Context) {
  Context = TMD5Context{};
  Context.State[0] = 0x67452301;
  Context.State[1] = 0xefcdab89;
  Context.State[2] = 0x98badcfe;
  Context.State[3] = 0x10325476;
}

void MD5Update(TMD5Context& Context, const void* Data, size_t Count) {
  const uint8_t* p = static_cast<const uint8_t*>(Data);
  size_t used = (Context.Count[0] >> 3) & 63;
  const uint64_t bits = (uint64_t(Context.Count[1]) << 32 | Context.Count[0]) + uint64_t(Count) * 8;
  Context.Count[0] = uint32_t(bits);
  Context.Count[1] = uint32_t(bits >> 32);
  if (used) {
    const size_t take = std::min(Count, 64 - used);
    std::memcpy(Context.Buffer + used, p, take);
    p += take;
    Count -= take;
    used += take;
    if (used < 64) return;
    Transform(Context.State, Context.Buffer);
  }
  for (; Count >= 64; p += 64, Count -= 64) Transform(Context.State, p);
  if (Count) std::memcpy(Context.Buffer, p, Count);
}

void MD5Final(TMD5Digest& Digest, TMD5Context& Context) {
  uint8_t length[8];
  for (int i = 0; i < 4; ++i) {
    length[i] = uint8_t(Context.Count[0] >> (8 * i));
    length[4 + i] = uint8_t(Context.Count[1] >> (8 * i));
  }
  // One 1 bit, then zeros up to 56 bytes modulo 64, then the length.
  static const uint8_t kPadding[64] = {0x80};
  const size_t used = (Context.Count[0] >> 3) & 63;
  MD5Update(Context, kPadding, used < 56 ? 56 - used : 120 - used);
  MD5Update(Context, length, 8);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) Digest[size_t(i * 4 + j)] = uint8_t(Context.State[i] >> (8 * j));
  Context = TMD5Context{};  // leaves no trace of the input behind
}

std::string MD5DigestToHex(const TMD5Digest& Digest) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s;
  s.reserve(32);
  for (uint8_t b : Digest) {
    s += kHex[b >> 4];
    s += kHex[b & 15];
  }
  return s;
}

std::string GetMD5(const void* Data, size_t Count) {
  TMD5Context c;
  MD5Init(c);
  MD5Update(c, Data, Count);
  TMD5Digest d;
  MD5Final(d, c);
  return MD5DigestToHex(d);
}

std::string StrMD5(std::string_view Text) { return GetMD5(Text.data(), Text.size()); }

}  // namespace kv
