// The HTTP server's connection state machine on loopback: the fuzz input is
// what a client sends (pipelined requests, heads, bodies), in chunks whose size
// the first byte picks, then the client stops sending. Whatever came, the
// server answers in HTTP/1.0, and lets the connection go within its time-outs.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "net/http_server.h"
#include "platform/ui/message_window.h"

using namespace kv;

namespace {

void Check(bool Ok) {
  if (!Ok) std::abort();
}

// The documents of one input, in a folder of its own that goes with it (the
// fuzzer may end the process without running exit handlers).
struct TDocs {
  std::string Path;
  TDocs() {
    char tmpl[] = "/tmp/kv_http_fuzz_XXXXXX";
    Check(::mkdtemp(tmpl) != nullptr);
    Path = tmpl;
    std::ofstream(Path + "/index.html") << "<p>home</p>";
    std::ofstream(Path + "/big.txt") << std::string(70000, 'b');
  }
  ~TDocs() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
};

THttpServer& Server() {
  static THttpServer* server = [] {
    auto* s = new THttpServer(nullptr);
    s->SetAddr("127.0.0.1");
    s->SetPort("0");
    s->SetReadTimeout(300);
    s->SetWriteTimeout(300);
    s->OnGetDocument = [](TObject*, TObject* Client, THttpGetFlag& Flags) {
      auto* c = static_cast<THttpConnection*>(Client);
      if (c->Path() == "/stream") {
        // A handler that sends a stream writes the whole answer, head included.
        static const char kAnswer[] = "HTTP/1.0 200 OK\r\nContent-Length: 8\r\n\r\nstreamed";
        auto* m = new TMemoryStream;
        m->WriteBuffer(kAnswer, int32_t(sizeof kAnswer - 1));
        m->SetPosition(0);
        c->SetDocStream(m);
        Flags = SendStream;
      } else if (c->Path() == "/none") {
        Flags = Answer404;
      }
    };
    s->OnPostDocument = [](TObject*, TObject* Client, THttpGetFlag& Flags) {
      Flags = static_cast<THttpConnection*>(Client)->Path() == "/post" ? AcceptData : Answer404;
    };
    s->OnPostedData = [](TObject*, TObject* Client, uint16_t) { static_cast<THttpConnection*>(Client)->ReceiveStr(); };
    s->Start();
    return s;
  }();
  return *server;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0 || Size > 16384) return 0;
  THttpServer& server = Server();
  const TDocs docs;
  server.SetDocDir(docs.Path);
  const size_t chunk = 1 + Data[0] % 97;
  const std::string request(reinterpret_cast<const char*>(Data + 1), Size - 1);

  const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(uint16_t(std::stoi(server.ListenPort())));
  ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a);

  std::string got;
  size_t sent = 0;
  bool shut = false, closed = false;
  const uint64_t deadline = TickCount64() + 3000;
  while (!closed && TickCount64() < deadline) {
    WaitForMessages(5);
    if (sent < request.size()) {
      const ssize_t n = ::send(s, request.data() + sent, std::min(chunk, request.size() - sent), MSG_NOSIGNAL);
      if (n > 0) sent += size_t(n);
      else if (n < 0 && errno != EAGAIN && errno != EINPROGRESS && errno != ENOTCONN) sent = request.size();
    } else if (!shut) {
      ::shutdown(s, SHUT_WR);
      shut = true;
    }
    char buf[8192];
    for (;;) {
      const ssize_t n = ::recv(s, buf, sizeof buf, 0);
      if (n > 0) {
        got.append(buf, size_t(n));
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != ENOTCONN)) closed = true;
      break;
    }
  }
  ::close(s);
  // Every answer is ours; the connection never outlives its time-outs.
  Check(closed);
  Check(got.empty() || got.compare(0, 9, "HTTP/1.0 ") == 0);
  const uint64_t gone = TickCount64() + 3000;
  while (server.ClientCount() > 0 && TickCount64() < gone) WaitForMessages(5);
  Check(server.ClientCount() == 0);
  return 0;
}
