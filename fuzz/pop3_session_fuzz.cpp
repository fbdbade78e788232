// The POP3 client's request sequencing against a server whose replies are the
// fuzz input, one chunk per command (chunks are separated by 0x00): whatever
// the replies, every call ends with the client ready again, a call that
// succeeds carries no error, and the multi-line events come in begin/end pairs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/scripted_peer.h"
#include "net/pop3_client.h"

using namespace kv;

namespace {

void Check(bool Ok) {
  if (!Ok) std::abort();
}

void After(TSyncPop3Client& C, bool Ok, int& Open) {
  Check(C.State() == pop3Ready);
  if (Ok) Check(C.RequestResult() == 0 && Open == 0);
  Open = 0;  // a reply cut off by a close has no end
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 4096) return 0;
  static fuzz::TScriptedPeer peer;
  peer.Serve(fuzz::SplitScript(Data, Size), false);
  {
    TSyncPop3Client c(nullptr);
    c.SetHost("127.0.0.1");
    c.SetPort(peer.Port());
    c.SetTimeout(5);
    c.SetUserName("kv");
    c.SetPassWord("secret");
    int open = 0;  // begun and not yet ended multi-line replies
    for (TNotifyEvent* begin : {&c.OnMessageBegin, &c.OnListBegin, &c.OnUidlBegin}) *begin = [&](TObject*) { ++open; };
    for (TNotifyEvent* end : {&c.OnMessageEnd, &c.OnListEnd, &c.OnUidlEnd}) *end = [&](TObject*) { --open; };
    After(c, c.Connect(), open);
    if (!c.Timestamp().empty() && Size > 0 && (Data[0] & 1)) {
      After(c, c.APop(), open);
    } else {
      After(c, c.User(), open);
      After(c, c.Pass(), open);
    }
    After(c, c.Stat(), open);
    After(c, c.List(), open);
    After(c, c.Uidl(), open);
    c.SetMsgNum(1);
    After(c, c.List(), open);
    After(c, c.Uidl(), open);
    After(c, c.Retr(), open);
    c.SetMsgLines(2);
    After(c, c.Top(), open);
    After(c, c.Dele(), open);
    After(c, c.Noop(), open);
    After(c, c.Last(), open);
    After(c, c.Rset(), open);
    After(c, c.Quit(), open);
  }
  peer.Join();
  return 0;
}
