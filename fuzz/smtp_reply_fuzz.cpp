// SMTP replies: any bytes split into bounded CR LF lines whose status is read
// consistently; multi-line replies end only on their own code.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/reply_lines.h"
#include "net/smtp_message.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  kv::TReplyLineBuffer buf(512, false);
  kv::TMultiLineReply reply;
  buf.Append(reinterpret_cast<const char*>(Data), Size);
  std::string line;
  bool truncated = false;
  while (buf.NextLine(line, &truncated)) {
    Check(line.size() <= 512);
    const kv::TReplyStatus s = kv::ReplyStatus(line);
    Check(s.Code >= 0 && s.Code <= 999);
    int32_t code = 0;
    if (reply.Feed(line, code)) Check(code == s.Code && !s.Continued);
    // What a reply may say never reaches the wire unescaped: a received line fed
    // back as a value keeps its bytes or is refused.
    try {
      const std::string arg = kv::SmtpAddressArg(line);
      Check(arg.find('\n') == std::string::npos && arg.find('\r') == std::string::npos);
    } catch (const kv::SmtpException&) {
    }
  }
  return 0;
}
