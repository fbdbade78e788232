// The SMTP client's request sequencing against a server whose replies are the
// fuzz input, one chunk per command (chunks are separated by 0x00): whatever
// the replies, every call ends with the client ready again and a call that
// succeeds carries no error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/scripted_peer.h"
#include "net/smtp_client.h"

using namespace kv;

namespace {

void Check(bool Ok) {
  if (!Ok) std::abort();
}

void After(TSyncSmtpClient& C, bool Ok) {
  Check(C.State() == smtpReady);
  if (Ok) Check(C.RequestResult() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 4096) return 0;
  static fuzz::TScriptedPeer peer;
  peer.Serve(fuzz::SplitScript(Data, Size), false);
  {
    TSyncSmtpClient c(nullptr);
    c.SetHost("127.0.0.1");
    c.SetPort(peer.Port());
    c.SetTimeout(5);
    c.SetSignOn("fuzz.local");
    c.SetFromName("cam@fuzz.local");
    TStringList rcpt;
    rcpt.Add("a@fuzz.local");
    rcpt.Add("b@fuzz.local");
    c.SetRcptName(&rcpt);
    c.SetHdrFrom("cam@fuzz.local");
    c.SetHdrTo("a@fuzz.local");
    c.SetHdrSubject("frame");
    TStringList body;
    body.Add("one line");
    body.Add(".a line that starts with a dot");
    c.SetMailMessage(&body);
    After(c, c.Open());
    After(c, c.Mail());
    After(c, c.Rset());
    After(c, c.Vrfy());
    After(c, c.MailFrom());
    After(c, c.RcptTo());
    After(c, c.Data());
    After(c, c.Quit());
  }
  peer.Join();
  return 0;
}
