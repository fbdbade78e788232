// The FTP client's request sequencing against a server whose replies are the
// fuzz input, one chunk per command (chunks are separated by 0x00): whatever
// the replies, every call ends with the client ready again, a call that
// succeeds carries no error, and a download keeps exactly the bytes counted.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/scripted_peer.h"
#include "net/ftp_client.h"

using namespace kv;

namespace {

void Check(bool Ok) {
  if (!Ok) std::abort();
}

// Each call must leave the client ready, and a success must carry no error.
void After(TFtpClient& C, bool Ok) {
  Check(C.State() == ftpReady);
  if (Ok) Check(C.RequestResult() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 4096) return 0;
  static fuzz::TScriptedPeer peer;
  peer.Serve(fuzz::SplitScript(Data, Size), true);
  {
    TFtpClient c(nullptr);
    c.SetHostName("127.0.0.1");
    c.SetPort(peer.Port());
    c.SetUserName("kv");
    c.SetPassWord("secret");
    c.SetPassive(false);  // passive mode would connect to ports the replies name
    c.SetTimeout(5);
    c.SetOptions(TFtpOptions{Size > 0 && (Data[0] & 1) ? ftpAcceptLF : ftpNoAutoResumeAt});
    After(c, c.Connect());
    c.SetHostDirName("sub");
    After(c, c.Cwd());
    After(c, c.Pwd());
    c.SetHostFileName("f.bin");
    After(c, c.Size());
    TMemoryStream got;
    c.SetLocalStream(&got);
    const bool ok = c.Get();
    After(c, ok);
    if (ok) Check(got.Size() == c.ByteCount());
    c.SetLocalStream(nullptr);
    c.SetDisplayFileFlag(true);
    c.OnDisplayFile = [](TObject*, std::string& Line) { Check(Line.find_first_of("\r\n") == std::string::npos); };
    After(c, c.Dir());
    c.SetDisplayFileFlag(false);
    TMemoryStream up;
    up.WriteBuffer("frame", 5);
    up.SetPosition(0);
    c.SetLocalStream(&up);
    After(c, c.Put());
    c.SetLocalStream(nullptr);
    c.SetLocalFileName("g.bin");
    After(c, c.Rename());
    After(c, c.Quit());
  }
  peer.Join();
  return 0;
}
