#include "pluginhost/pipl.h"

#include <algorithm>
#include <cstring>

namespace kv {
namespace {

uint32_t ReadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Codes are 32-bit numbers stored little-endian, so their bytes read reversed.
bool CodeIs(const uint8_t* p, const char* Reversed) {
  for (int i = 0; i < 4; ++i) {
    uint8_t c = p[i];
    if (c >= 'A' && c <= 'Z') c = uint8_t(c - 'A' + 'a');
    if (c != uint8_t(Reversed[i])) return false;
  }
  return true;
}

std::string CountedText(const uint8_t* Data, std::size_t Length) {
  if (Length == 0) return {};
  const std::size_t n = std::min<std::size_t>(Data[0], Length - 1);
  return std::string(reinterpret_cast<const char*>(Data + 1), n);
}

std::string ZeroTerminatedText(const uint8_t* Data, std::size_t Length) {
  const void* end = std::memchr(Data, 0, Length);
  const std::size_t n = end ? std::size_t(static_cast<const uint8_t*>(end) - Data) : Length;
  return std::string(reinterpret_cast<const char*>(Data), n);
}

}  // namespace

void ReadPiPL(const uint8_t* Data, std::size_t Size, TPiPLInfo& Info) {
  constexpr std::size_t kHeader = 10, kPropertyHeader = 16;
  if (!Data || Size < kHeader) return;
  const uint32_t count = ReadU32(Data + 6);
  std::size_t pos = kHeader;
  for (uint32_t i = 0; i < count && Size - pos >= kPropertyHeader; ++i) {
    const uint8_t* p = Data + pos;
    const uint32_t length = ReadU32(p + 12);
    const std::size_t room = Size - pos - kPropertyHeader;
    const uint8_t* data = p + kPropertyHeader;
    const std::size_t usable = std::min<std::size_t>(length, room);
    if (CodeIs(p, "mib8")) {
      if (CodeIs(p + 4, "eman"))
        Info.Name = CountedText(data, usable);
      else if (CodeIs(p + 4, "gtac"))
        Info.Category = CountedText(data, usable);
      else if (CodeIs(p + 4, "46xl") || CodeIs(p + 4, "68xw"))
        Info.EntryPoint = ZeroTerminatedText(data, usable);
    }
    const uint64_t padded = (uint64_t(length) + 3) & ~uint64_t(3);
    if (padded > room) break;
    pos += kPropertyHeader + std::size_t(padded);
  }
}

}  // namespace kv
