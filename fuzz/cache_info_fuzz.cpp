// The information text of a thumbnail cache file comes from disk, where
// anything may have been written. Splitting it must never fault, and what it
// splits joins back to the very text, so a comment holding "|" shifts nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/catalog/thumbnail_cache.h"

using namespace kv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 65536) return 0;
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  TImageInfoTexts info;
  if (SplitCacheInfo(text, info) && JoinCacheInfo(info) != text) std::abort();
  return 0;
}
