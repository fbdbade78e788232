// FTP replies: any bytes split into bounded lines, multi-line replies end only on
// their own code, and the values taken from replies stay in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "net/ftp_protocol.h"
#include "net/reply_lines.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  // The first byte picks the line limit, the line-end rule and the receive size.
  const size_t maxLine = 8 + (Data[0] & 63) * 4;
  const bool acceptLF = Data[0] & 64;
  const size_t chunk = 1 + (Data[0] >> 7) * 7;
  kv::TReplyLineBuffer buf(maxLine, acceptLF);
  kv::TMultiLineReply reply;
  std::string line;
  for (size_t at = 1; at < Size; at += chunk) {
    buf.Append(reinterpret_cast<const char*>(Data + at), std::min(chunk, Size - at));
    while (buf.NextLine(line)) {
      Check(line.size() <= maxLine);
      Check(line.empty() || (line.back() != '\r' && line.back() != '\n'));
      int32_t code = 0;
      if (reply.Feed(line, code)) Check(code >= 0 && code <= 999);
      uint8_t addr[4];
      uint16_t port = 0;
      if (kv::ParsePasvReply(line, addr, port)) Check(port != 0 && line.compare(0, 3, "227") == 0);
      std::string dir;
      if (kv::ExtractQuotedDir(line, dir)) Check(dir.size() < line.size());
      Check(kv::ReplySecondNumber(line) >= -1);
    }
    Check(buf.Pending() <= maxLine + chunk);
  }
  return 0;
}
