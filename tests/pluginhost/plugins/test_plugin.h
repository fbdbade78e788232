// Shared by the test plug-ins: the exported property list and a log of the selectors
// each plug-in received, which the tests read back from the loaded plug-in.
#pragma once
#include <cstdint>
#include <cstring>

#include "pluginhost/filter_plugin_api.h"

#define KV_EXPORT __attribute__((visibility("default")))

namespace kvtest {

inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Appends one property: vendor '8BIM', Key, data padded to 4 bytes.
inline uint32_t PutProperty(uint8_t* p, uint32_t Key, const uint8_t* Data, uint32_t Length) {
  PutU32(p, PIFourCC('8', 'B', 'I', 'M'));
  PutU32(p + 4, Key);
  PutU32(p + 8, 0);
  PutU32(p + 12, Length);
  std::memcpy(p + 16, Data, Length);
  const uint32_t padded = (Length + 3) & ~3u;
  std::memset(p + 16 + Length, 0, padded - Length);
  return 16 + padded;
}

inline uint32_t PutCounted(uint8_t* p, uint32_t Key, const char* Text) {
  uint8_t buf[256];
  buf[0] = uint8_t(std::strlen(Text));
  std::memcpy(buf + 1, Text, buf[0]);
  return PutProperty(p, Key, buf, uint32_t(buf[0]) + 1);
}

inline uint32_t WritePiPL(uint8_t* p, const char* Name, const char* Category, const char* Entry) {
  std::memset(p, 0, 10);
  uint32_t pos = 10, count = 0;
  if (Name) pos += PutCounted(p + pos, PIFourCC('n', 'a', 'm', 'e'), Name), ++count;
  if (Category) pos += PutCounted(p + pos, PIFourCC('c', 'a', 't', 'g'), Category), ++count;
  if (Entry)
    pos += PutProperty(p + pos, PIFourCC('l', 'x', '6', '4'), reinterpret_cast<const uint8_t*>(Entry),
                       uint32_t(std::strlen(Entry)) + 1),
        ++count;
  PutU32(p + 6, count);
  return pos;
}

}  // namespace kvtest

// Defines the exported property list and the selector log of one plug-in.
#define KV_TEST_PLUGIN(Name, Category, Entry)                                       \
  extern "C" {                                                                      \
  KV_EXPORT uint8_t PiPL[1024];                                                     \
  KV_EXPORT uint32_t PiPLSize;                                                      \
  KV_EXPORT char SelectorLog[256];                                                  \
  }                                                                                 \
  __attribute__((constructor)) static void BuildPiPL() {                            \
    PiPLSize = kvtest::WritePiPL(PiPL, Name, Category, Entry);                      \
  }                                                                                 \
  static void LogSelector(int16_t Selector) {                                       \
    const std::size_t n = std::strlen(SelectorLog);                                 \
    if (n + 1 < sizeof SelectorLog) SelectorLog[n] = char('0' + Selector);          \
  }

inline bool HasArea(const VRect& r) { return r.right > r.left && r.bottom > r.top; }
