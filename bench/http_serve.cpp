// Serves a folder over HTTP on 127.0.0.1 until SIGTERM or SIGINT, for the
// side-by-side comparison in compare_http.sh.
#include <csignal>
#include <cstdio>
#include <string>

#include "net/http_server.h"
#include "platform/ui/message_window.h"

namespace {
volatile std::sig_atomic_t GStop = 0;
void OnSignal(int) { GStop = 1; }
}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s folder port\n", argv[0]);
    return 2;
  }
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  kv::THttpServer server(nullptr);
  server.SetAddr("127.0.0.1");
  server.SetPort(argv[2]);
  server.SetDocDir(argv[1]);
  server.Start();
  std::printf("listening on %s\n", server.ListenPort().c_str());
  std::fflush(stdout);
  while (!GStop) kv::WaitForMessages(200);
  return 0;
}
