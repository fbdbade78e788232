// POP3 replies: bounded lines, multi-line data unstuffed, LIST/UIDL/STAT numbers
// and the APOP timestamp read without going past the line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/pop3_protocol.h"
#include "net/reply_lines.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::TReplyLineBuffer buf(4093, false);
  buf.Append(reinterpret_cast<const char*>(Data), Size);
  std::string line;
  bool first = true;
  while (buf.NextLine(line)) {
    Check(line.size() <= 4093);
    if (first) {
      const std::string ts = kv::ApopTimestamp(line);
      Check(ts.empty() || (ts.front() == '<' && ts.back() == '>' && ts.size() <= line.size()));
      Check(kv::ApopDigest(ts, "pw").size() == 32);
      first = false;
    }
    const kv::TPop3Numbers n = kv::ParsePop3Numbers(kv::Pop3ReplyText(line));
    Check(n.First >= 0 && n.Second >= 0);
    int32_t num = 0;
    std::string uidl;
    kv::ParseUidlLine(line, num, uidl);
    Check(num >= 0 && uidl.size() <= line.size());
    for (char c : uidl) Check(c >= '!' && c <= '~');
    std::string data = line;
    if (kv::Pop3DataLine(data)) Check(data.size() + 1 >= line.size());
  }
  return 0;
}
