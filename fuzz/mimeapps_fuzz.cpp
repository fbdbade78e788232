// mimeapps.list belongs to the desktop and to every program that changes it:
// dropping our default from any text removes only whole lines of it, keeps
// every other line as it was, and a second pass finds nothing more to drop.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/helpers/file_associations.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 65536) return 0;
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  const std::string mime = "image/png", id = "kavrelin-png.desktop";
  std::string out;
  const bool dropped = kv::DropDefaultFromText(text, mime, id, out);
  if (out.size() > text.size() + 1) std::abort();  // at most the final line break added
  // What is left is the input less some of its lines, in order.
  size_t at = 0;
  size_t pos = 0;
  while (pos < out.size()) {
    const size_t end = out.find('\n', pos);
    const std::string_view line = std::string_view(out).substr(pos, end - pos);
    const size_t found = text.find(line, at);
    if (found == std::string_view::npos) std::abort();
    at = found + line.size();
    pos = end + 1;
  }
  std::string again;
  if (dropped && kv::DropDefaultFromText(out, mime, id, again)) std::abort();
  return 0;
}
