// The HTTP request head on any bytes: lines are read within the limits, and a
// path that decodes never leads out of the document folder.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/http_request.h"

namespace {

void Check(bool Ok) {
  if (!Ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string text(reinterpret_cast<const char*>(Data), Size);
  kv::THttpRequestHead head;
  size_t start = 0;
  bool first = true;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = kv::StripLineEnd(text.substr(start, end - start));
    start = end;
    if (first) {
      first = false;
      if (kv::ParseRequestLine(line, head) != kv::hlMore) return 0;
      Check(!head.Version.empty());
      continue;
    }
    const kv::THttpLineResult r = kv::ParseHeaderLine(line, head);
    Check(static_cast<int32_t>(head.Headers.size()) <= kv::kHttpMaxHeaderLines);
    if (r != kv::hlMore) break;
  }
  std::vector<std::string> segs;
  bool folder = false;
  if (kv::DecodeRequestPath(head.Path, segs, folder)) {
    for (const std::string& s : segs) {
      Check(!s.empty() && s != "." && s != "..");
      Check(s.find('/') == std::string::npos && s.find('\0') == std::string::npos);
    }
  }
  const std::string page = kv::NotFoundBody(head.Path);
  Check(page.find("<script") == std::string::npos || head.Path.empty());
  Check(kv::HtmlEscape(head.Path).find_first_of("<>\"'") == std::string::npos);
  return 0;
}
