// A scripted server on loopback for the protocol clients' fuzz targets: it
// accepts one connection and answers each command line the client sends with
// the next chunk of the script, so the replies arrive in the order a real
// server's would, whatever they say. For FTP it also makes the data
// connection a PORT command asked for and sends the next chunk through it (or
// reads what the client uploads). It closes when the script is used up or the
// client stays silent for a while.
#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace kv::fuzz {

// The script: the chunks of Data between the bytes 0x00.
inline std::vector<std::string> SplitScript(const uint8_t* Data, size_t Size) {
  std::vector<std::string> chunks(1);
  for (size_t i = 0; i < Size; ++i) {
    if (Data[i] == 0)
      chunks.emplace_back();
    else
      chunks.back() += char(Data[i]);
  }
  return chunks;
}

class TScriptedPeer {
 public:
  TScriptedPeer() {
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (FListener < 0 || ::bind(FListener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(FListener, 4) != 0 || ::getsockname(FListener, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      std::abort();
    FPort = ntohs(a.sin_port);
  }
  ~TScriptedPeer() {
    Join();
    ::close(FListener);
  }
  std::string Port() const { return std::to_string(FPort); }

  // Serves one connection with Chunks on a thread of its own.
  void Serve(std::vector<std::string> Chunks, bool FtpData) {
    Join();
    FThread = std::thread([this, p = std::move(Chunks), FtpData]() mutable { Run(std::move(p), FtpData); });
  }
  void Join() {
    if (FThread.joinable()) FThread.join();
  }

 private:
  static constexpr int kSilenceMs = 40;

  static bool WaitReadable(int Fd, int Ms) {
    pollfd p{Fd, POLLIN, 0};
    return ::poll(&p, 1, Ms) > 0;
  }
  static void SendAll(int Fd, const std::string& S) {
    size_t at = 0;
    while (at < S.size()) {
      pollfd p{Fd, POLLOUT, 0};
      if (::poll(&p, 1, kSilenceMs) <= 0) return;
      const ssize_t n = ::send(Fd, S.data() + at, S.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return;
      at += size_t(n);
    }
  }

  // The data connection of one transfer: sends Chunk to the client, or reads
  // its upload to the end.
  static void Transfer(uint16_t Port, const std::string& Verb, const std::string& Chunk) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(Port);
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) {
      if (Verb == "STOR" || Verb == "APPE") {
        char buf[4096];
        while (WaitReadable(s, kSilenceMs) && ::recv(s, buf, sizeof buf, 0) > 0) {
        }
      } else {
        SendAll(s, Chunk);
      }
    }
    ::close(s);
  }

  void Run(std::vector<std::string> Chunks, bool FtpData) {
    if (!WaitReadable(FListener, 2000)) return;
    const int c = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) return;
    size_t next = 0;
    SendAll(c, Chunks[next++]);
    std::string in;
    uint16_t dataPort = 0;
    while (next < Chunks.size() && WaitReadable(c, kSilenceMs)) {
      char buf[4096];
      const ssize_t n = ::recv(c, buf, sizeof buf, 0);
      if (n <= 0) break;
      in.append(buf, size_t(n));
      size_t eol;
      while (next < Chunks.size() && (eol = in.find('\n')) != std::string::npos) {
        const std::string line = in.substr(0, eol);
        in.erase(0, eol + 1);
        const std::string verb = line.substr(0, 4);
        SendAll(c, Chunks[next++]);
        if (!FtpData) continue;
        if (verb == "PORT") {
          // h1,h2,h3,h4,p1,p2: only the port is used; the address is loopback.
          int p1 = 0, p2 = 0, commas = 0;
          for (char ch : line) {
            if (ch == ',') {
              ++commas;
              if (commas == 5) p1 = p2, p2 = 0;
            } else if (ch >= '0' && ch <= '9' && commas >= 4) {
              p2 = p2 * 10 + (ch - '0');
              if (p2 > 255) p2 = 255;
            }
          }
          dataPort = uint16_t(p1 * 256 + p2);
        } else if (dataPort && (verb == "RETR" || verb == "LIST" || verb == "NLST" || verb == "STOR" || verb == "APPE")) {
          Transfer(dataPort, verb, next < Chunks.size() ? Chunks[next++] : std::string());
          dataPort = 0;
          if (next < Chunks.size()) SendAll(c, Chunks[next++]);  // the transfer's final reply
        }
      }
    }
    ::close(c);
  }

  int FListener = -1;
  uint16_t FPort = 0;
  std::thread FThread;
};

}  // namespace kv::fuzz
