// The hand-over socket of the single-instance channel on any bytes a local
// peer sends, in chunks whose size the first byte picks: a whole record (tag,
// length, data) is handed on exactly once and answered; anything else is
// dropped without a call and without an answer.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/system/instance_client.h"
#include "platform/ui/instance_channel.h"
#include "platform/ui/message_window.h"

using namespace kv;

namespace {

void Check(bool Ok) {
  if (!Ok) std::abort();
}

struct TReceived {
  int Calls = 0;
  uint32_t Tag = 0;
  std::string Data;
} GReceived;

// A listener of its own for each input, in a folder that goes with it (the
// fuzzer may end the process without running exit handlers).
struct TListener {
  std::string Folder, Path;
  std::unique_ptr<THandOverServer> Server;
  TListener() {
    char tmpl[] = "/tmp/kv_handover_fuzz_XXXXXX";
    Check(::mkdtemp(tmpl) != nullptr);
    Folder = tmpl;
    Path = Folder + "/s";
    EnsureMessageLoop();
    Server = std::make_unique<THandOverServer>([](uint32_t Tag, const std::string& Data) {
      ++GReceived.Calls;
      GReceived.Tag = Tag;
      GReceived.Data = Data;
      return int32_t(0x5A5A);
    });
    Server->Listen(Path);
  }
  ~TListener() {
    Server.reset();
    std::error_code ec;
    std::filesystem::remove_all(Folder, ec);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0 || Size > 4096) return 0;
  const TListener listener;
  const std::string& path = listener.Path;
  const size_t chunk = 1 + Data[0] % 13;
  const std::string bytes(reinterpret_cast<const char*>(Data + 1), Size - 1);
  GReceived = {};

  sockaddr_un addr;
  Check(MakeSocketAddress(path, addr));
  const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  Check(::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
  std::string answer;
  size_t sent = 0;
  bool shut = false, closed = false;
  const uint64_t deadline = TickCount64() + 3000;
  while (!closed && TickCount64() < deadline) {
    if (sent < bytes.size()) {
      const ssize_t n = ::send(s, bytes.data() + sent, std::min(chunk, bytes.size() - sent), MSG_NOSIGNAL);
      if (n > 0) sent += size_t(n);
      else if (n < 0 && errno != EAGAIN) sent = bytes.size();
    } else if (!shut) {
      ::shutdown(s, SHUT_WR);
      shut = true;
    }
    WaitForMessages(5);
    char buf[64];
    const ssize_t n = ::recv(s, buf, sizeof buf, 0);
    if (n > 0) answer.append(buf, size_t(n));
    else if (n == 0 || errno != EAGAIN) closed = true;
  }
  ::close(s);
  Check(closed);

  uint32_t head[2] = {};
  const bool whole = bytes.size() >= 8 && (std::memcpy(head, bytes.data(), 8), head[1] <= THandOverServer::MaxHandOverBytes) &&
                     bytes.size() >= 8 + size_t(head[1]);
  if (whole) {
    Check(GReceived.Calls == 1 && GReceived.Tag == head[0] && GReceived.Data == bytes.substr(8, head[1]));
    const int32_t want = 0x5A5A;
    Check(answer == std::string(reinterpret_cast<const char*>(&want), 4));
  } else {
    Check(GReceived.Calls == 0 && answer.empty());
  }
  return 0;
}
