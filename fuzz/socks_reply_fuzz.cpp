// The SOCKS reply checks on any bytes: a verdict, a wait for more, or a
// complete reply that lies inside what was given.
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "net/socks_socket.h"

namespace {

void Check(const kv::TSocksReplyCheck& C, int32_t Len) {
  const int verdicts = (C.Error != 0) + (C.Needed != 0) + (C.Length != 0);
  if (verdicts != 1) std::abort();
  if (C.Needed != 0 && C.Needed <= Len) std::abort();
  if (C.Length > Len || C.Length > kv::kSocksReplyMax) std::abort();
  if (C.Error != 0 && (C.Error < 20001 || C.Error > 20017 || C.Msg.empty())) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  // The first byte picks the reply kind, the rest is the reply, capped as the
  // socket caps its collection buffer.
  const uint8_t* d = Data + 1;
  const int32_t len = static_cast<int32_t>(std::min<size_t>(Size - 1, kv::kSocksReplyMax));
  switch (Data[0] % 4) {
    case 0: Check(kv::CheckSocks4Reply(d, len), len); break;
    case 1: Check(kv::CheckSocks5MethodReply(d, len), len); break;
    case 2: Check(kv::CheckSocks5AuthReply(d, len), len); break;
    default: Check(kv::CheckSocks5ConnectReply(d, len), len); break;
  }
  return 0;
}
