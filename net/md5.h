// MD5 message digest (RFC 1321): incremental context plus one-call helpers that
// give the digest as 32 upper-case hexadecimal digits.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv {

struct TMD5Context {
  uint32_t State[4] = {};
  uint32_t Count[2] = {};  // message length in bits: low word, high word
  uint8_t Buffer[64] = {};
};

using TMD5Digest = std::array<uint8_t, 16>;

void MD5Init(TMD5Context& Context);
void MD5Update(TMD5Context& Context, const void* Data, size_t Count);
void MD5Final(TMD5Digest& Digest, TMD5Context& Context);

// Two upper-case hexadecimal digits per byte, in byte order.
std::string MD5DigestToHex(const TMD5Digest& Digest);
std::string GetMD5(const void* Data, size_t Count);
std::string StrMD5(std::string_view Text);

}  // namespace kv
