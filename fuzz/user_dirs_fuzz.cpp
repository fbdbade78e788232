// user-dirs.dirs is the desktop's file, written by other programs: any text
// gives a folder, absolute, ending in "/", free of control characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/system/paths.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 65536) return 0;
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  for (const char* name : {"DESKTOP", "PICTURES", "DOCUMENTS", ""}) {
    const std::string dir = kv::UserDirFromText(text, name, "/home/user/");
    if (dir.empty() || dir.front() != '/' || dir.back() != '/') std::abort();
    for (char c : dir)
      if (static_cast<unsigned char>(c) < 0x20) std::abort();
  }
  return 0;
}
