#include "platform/sockets/socket_api.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/ui/message_window.h"

namespace kv {

namespace {

int32_t Fail() {
  WSASetLastError(WinsockErrorFromErrno(errno));
  return SOCKET_ERROR;
}

sockaddr_in ToSys(const TSockAddrIn& A) {
  sockaddr_in s{};
  s.sin_family = AF_INET;
  s.sin_port = A.sin_port;
  s.sin_addr.s_addr = A.sin_addr;
  return s;
}

TSockAddrIn FromSys(const sockaddr_in& S) {
  TSockAddrIn a;
  a.sin_port = S.sin_port;
  a.sin_addr = S.sin_addr.s_addr;
  return a;
}

int SysFlags(int32_t Flags) {
  int f = MSG_NOSIGNAL;
  if (Flags & MSG_OOB_FLAG) f |= MSG_OOB;
  if (Flags & MSG_PEEK_FLAG) f |= MSG_PEEK;
  return f;
}

// A descriptor held back for the moment descriptors run out: freed, it lets
// accept take the waiting connection so that it can be dropped.
std::mutex GReserveLock;
int GReserve = -1;

void EnsureReserve() {
  std::lock_guard<std::mutex> g(GReserveLock);
  if (GReserve < 0) GReserve = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

}  // namespace

uint16_t WsHtons(uint16_t V) { return htons(V); }
uint16_t WsNtohs(uint16_t V) { return ntohs(V); }
uint32_t WsHtonl(uint32_t V) { return htonl(V); }
uint32_t WsNtohl(uint32_t V) { return ntohl(V); }

TSocket WsSocket(int32_t Type, int32_t Protocol) {
  const int t = (Type == SOCK_DGRAM_TYPE ? SOCK_DGRAM : SOCK_STREAM) | SOCK_NONBLOCK | SOCK_CLOEXEC;
  const int s = ::socket(AF_INET, t, Protocol);
  if (s < 0) return Fail();
  if (Type != SOCK_DGRAM_TYPE) SocketEventsStream(s);
  return s;
}

int32_t WsBind(TSocket S, const TSockAddrIn& Addr) {
  const sockaddr_in a = ToSys(Addr);
  if (::bind(S, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0) return Fail();
  return 0;
}

int32_t WsConnect(TSocket S, const TSockAddrIn& Addr) {
  const sockaddr_in a = ToSys(Addr);
  int r;
  do r = ::connect(S, reinterpret_cast<const sockaddr*>(&a), sizeof a);
  while (r != 0 && errno == EINTR);
  if (r == 0 || errno == EINPROGRESS) SocketEventsConnecting(S);
  if (r == 0) return 0;
  return Fail();
}

int32_t WsListen(TSocket S, int32_t Backlog) {
  EnsureReserve();
  if (::listen(S, Backlog) != 0) return Fail();
  return 0;
}

TSocket WsAccept(TSocket S, TSockAddrIn* Addr) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  int c;
  do c = ::accept4(S, reinterpret_cast<sockaddr*>(&a), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  while (c < 0 && errno == EINTR);
  const int err = errno;
  // Only a refusal to wait says the queue is empty; after a failure of
  // another kind, the next connection is tried again.
  SocketEventsReadDone(S, c >= 0 || err != EAGAIN ? 1 : -1, 1);
  if (c >= 0) {
    SocketEventsStream(c);
    if (Addr) *Addr = FromSys(a);
    return c;
  }
  if (err == EMFILE || err == ENFILE) {
    std::lock_guard<std::mutex> g(GReserveLock);
    if (GReserve >= 0) {
      ::close(GReserve);
      const int dropped = ::accept(S, nullptr, nullptr);
      if (dropped >= 0) ::close(dropped);
      GReserve = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    }
  }
  errno = err;
  return Fail();
}

int32_t WsSend(TSocket S, const void* Data, int32_t Len, int32_t Flags) {
  ssize_t n;
  do n = ::send(S, Data, static_cast<size_t>(Len), SysFlags(Flags));
  while (n < 0 && errno == EINTR);
  if (n < 0) return Fail();
  return static_cast<int32_t>(n);
}

int32_t WsSendTo(TSocket S, const void* Data, int32_t Len, int32_t Flags, const TSockAddrIn& To) {
  const sockaddr_in a = ToSys(To);
  ssize_t n;
  do n = ::sendto(S, Data, static_cast<size_t>(Len), SysFlags(Flags), reinterpret_cast<const sockaddr*>(&a), sizeof a);
  while (n < 0 && errno == EINTR);
  if (n < 0) return Fail();
  return static_cast<int32_t>(n);
}

int32_t WsRecv(TSocket S, void* Buf, int32_t Len, int32_t Flags) {
  ssize_t n;
  do n = ::recv(S, Buf, static_cast<size_t>(std::max(Len, 0)), SysFlags(Flags) & ~MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  const int err = errno;
  SocketEventsReadDone(S, n, std::max(Len, 0), (Flags & MSG_PEEK_FLAG) != 0);
  errno = err;
  if (n < 0) return Fail();
  return static_cast<int32_t>(n);
}

int32_t WsSendPieces(TSocket S, const std::string_view* Pieces, int32_t Count) {
  iovec iov[16];
  const int32_t n = std::clamp(Count, 0, 16);
  for (int32_t i = 0; i < n; ++i) iov[i] = iovec{const_cast<char*>(Pieces[i].data()), Pieces[i].size()};
  msghdr m{};
  m.msg_iov = iov;
  m.msg_iovlen = static_cast<size_t>(n);
  ssize_t r;
  // sendmsg rather than writev: a peer that is gone must not raise SIGPIPE.
  do r = ::sendmsg(S, &m, MSG_NOSIGNAL);
  while (r < 0 && errno == EINTR);
  if (r < 0) return Fail();
  return static_cast<int32_t>(r);
}

int64_t WsSendFile(TSocket S, int File, int64_t* Offset, int64_t Count) {
  // sendfile has no MSG_NOSIGNAL: a peer that hung up would end the process.
  // Left alone when someone has installed a handler of their own.
  static const bool quiet = [] {
    struct sigaction old{};
    if (::sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) ::signal(SIGPIPE, SIG_IGN);
    return true;
  }();
  (void)quiet;
  off_t off = static_cast<off_t>(*Offset);
  ssize_t r;
  do r = ::sendfile(S, File, &off, static_cast<size_t>(std::max<int64_t>(Count, 0)));
  while (r < 0 && errno == EINTR);
  if (r < 0) return Fail();
  *Offset = off;
  return r;
}

int32_t WsRecvFrom(TSocket S, void* Buf, int32_t Len, int32_t Flags, TSockAddrIn* From) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  ssize_t n;
  do n = ::recvfrom(S, Buf, static_cast<size_t>(std::max(Len, 0)), SysFlags(Flags) & ~MSG_NOSIGNAL,
                    reinterpret_cast<sockaddr*>(&a), &len);
  while (n < 0 && errno == EINTR);
  const int err = errno;
  SocketEventsReadDone(S, n, std::max(Len, 0), (Flags & MSG_PEEK_FLAG) != 0);
  errno = err;
  if (n < 0) return Fail();
  if (From) *From = FromSys(a);
  return static_cast<int32_t>(n);
}

int32_t WsCloseSocket(TSocket S) {
  if (S < 0) {
    WSASetLastError(WSAENOTSOCK);
    return SOCKET_ERROR;
  }
  SocketEventsForget(S);
  // Linux frees the descriptor even when close reports EINTR; closing it
  // again could close someone else's new descriptor.
  if (::close(S) != 0 && errno != EINTR) return Fail();
  return 0;
}

int32_t WsShutdown(TSocket S, int32_t How) {
  if (::shutdown(S, How == 0 ? SHUT_RD : How == 1 ? SHUT_WR : SHUT_RDWR) != 0) return Fail();
  return 0;
}

int32_t WsPendingBytes(TSocket S) {
  int n = 0;
  if (::ioctl(S, FIONREAD, &n) != 0) return Fail();
  return n;
}

int32_t WsGetPeerName(TSocket S, TSockAddrIn& Addr) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (::getpeername(S, reinterpret_cast<sockaddr*>(&a), &len) != 0) return Fail();
  Addr = FromSys(a);
  return 0;
}

int32_t WsGetSockName(TSocket S, TSockAddrIn& Addr) {
  sockaddr_in a{};
  socklen_t len = sizeof a;
  if (::getsockname(S, reinterpret_cast<sockaddr*>(&a), &len) != 0) return Fail();
  Addr = FromSys(a);
  return 0;
}

int32_t WsSetOption(TSocket S, TWsOption Option, bool On) {
  const int v = On ? 1 : 0;
  int level = SOL_SOCKET, name = SO_REUSEADDR;
  switch (Option) {
    case woReuseAddr: name = SO_REUSEADDR; break;
    case woKeepAlive: name = SO_KEEPALIVE; break;
    case woBroadcast: name = SO_BROADCAST; break;
    case woNoDelay: level = IPPROTO_TCP; name = TCP_NODELAY; break;
  }
  if (::setsockopt(S, level, name, &v, sizeof v) != 0) return Fail();
  return 0;
}

int32_t WsSetLinger(TSocket S, bool On, int32_t Seconds) {
  linger l{};
  l.l_onoff = On ? 1 : 0;
  l.l_linger = Seconds;
  if (::setsockopt(S, SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0) return Fail();
  return 0;
}

uint32_t WsInetAddr(const std::string& Text) {
  in_addr a{};
  if (::inet_aton(Text.c_str(), &a) == 0) return INADDR_NONE_VALUE;
  return a.s_addr;
}

std::string WsInetNtoa(uint32_t NetAddr) {
  in_addr a{};
  a.s_addr = NetAddr;
  char buf[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &a, buf, sizeof buf);
  return buf;
}

bool WsIsDottedIP(const std::string& Text) {
  size_t i = 0;
  while (i < Text.size() && Text[i] == ' ') ++i;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (i >= Text.size() || Text[i] != '.') return false;
      ++i;
    }
    if (i >= Text.size() || !std::isdigit(static_cast<unsigned char>(Text[i]))) return false;
    int v = 0;
    while (i < Text.size() && std::isdigit(static_cast<unsigned char>(Text[i]))) {
      v = v * 10 + (Text[i] - '0');
      if (v > 255) return false;
      ++i;
    }
  }
  while (i < Text.size() && Text[i] == ' ') ++i;
  return i == Text.size();
}

bool WsGetServByName(const std::string& Name, const std::string& Proto, uint16_t& Port) {
  servent sbuf{};
  servent* r = nullptr;
  char buf[1024];
  if (::getservbyname_r(Name.c_str(), Proto.empty() ? nullptr : Proto.c_str(), &sbuf, buf, sizeof buf, &r) != 0 || !r)
    return false;
  Port = ntohs(static_cast<uint16_t>(r->s_port));
  return true;
}

bool WsGetProtoByName(const std::string& Name, int32_t& Proto) {
  protoent pbuf{};
  protoent* r = nullptr;
  char buf[1024];
  if (::getprotobyname_r(Name.c_str(), &pbuf, buf, sizeof buf, &r) != 0 || !r) return false;
  Proto = r->p_proto;
  return true;
}

int32_t WsGetHostByName(const std::string& Name, std::vector<uint32_t>& Addrs) {
  Addrs.clear();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  const int rc = ::getaddrinfo(Name.c_str(), nullptr, &hints, &res);
  if (rc != 0) return WinsockErrorFromResolver(rc);
  for (addrinfo* p = res; p; p = p->ai_next) {
    const uint32_t a = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
    if (std::find(Addrs.begin(), Addrs.end(), a) == Addrs.end()) Addrs.push_back(a);
  }
  ::freeaddrinfo(res);
  return Addrs.empty() ? WSANO_DATA : 0;
}

bool WsGetHostName(std::string& Name) {
  char buf[64] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return false;
  Name = buf;
  return true;
}

std::vector<std::string> WsLocalAddresses() {
  std::vector<std::string> own, loop;
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return own;
  for (ifaddrs* p = list; p; p = p->ifa_next) {
    if (!p->ifa_addr || p->ifa_addr->sa_family != AF_INET || !(p->ifa_flags & IFF_UP)) continue;
    const std::string a = WsInetNtoa(reinterpret_cast<sockaddr_in*>(p->ifa_addr)->sin_addr.s_addr);
    std::vector<std::string>& dest = (p->ifa_flags & IFF_LOOPBACK) ? loop : own;
    if (std::find(dest.begin(), dest.end(), a) == dest.end()) dest.push_back(a);
  }
  ::freeifaddrs(list);
  own.insert(own.end(), loop.begin(), loop.end());
  return own;
}

// ---- look-ups on worker threads ----

namespace {

struct TLookup {
  HWND Wnd = 0;
  UINT Msg = 0;
  bool Cancelled = false;
  bool Done = false;
  TLookupAnswer Answer;
};

std::mutex GLookupLock;
uint32_t GNextLookup = 0;
std::map<uint32_t, std::shared_ptr<TLookup>> GLookups;

template <typename Work>
uint32_t StartLookup(HWND Wnd, UINT Msg, Work W) {
  auto job = std::make_shared<TLookup>();
  job->Wnd = Wnd;
  job->Msg = Msg;
  uint32_t handle;
  {
    std::lock_guard<std::mutex> g(GLookupLock);
    handle = ++GNextLookup == 0 ? ++GNextLookup : GNextLookup;
    GLookups[handle] = job;
  }
  try {
    std::thread([job, handle, W] {
      TLookupAnswer a;
      W(a);
      std::lock_guard<std::mutex> g(GLookupLock);
      if (job->Cancelled) return;
      job->Answer = std::move(a);
      job->Done = true;
      PostMessage(job->Wnd, job->Msg, handle, LPARAM(static_cast<uint16_t>(job->Answer.Error)) << 16);
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> g(GLookupLock);
    GLookups.erase(handle);
    WSASetLastError(WSAENOBUFS);
    return 0;
  }
  return handle;
}

}  // namespace

uint32_t StartHostLookup(HWND Wnd, UINT Msg, const std::string& Name) {
  return StartLookup(Wnd, Msg, [Name](TLookupAnswer& a) { a.Error = WsGetHostByName(Name, a.Addrs); });
}

uint32_t StartAddrLookup(HWND Wnd, UINT Msg, uint32_t NetAddr) {
  return StartLookup(Wnd, Msg, [NetAddr](TLookupAnswer& a) {
    sockaddr_in s{};
    s.sin_family = AF_INET;
    s.sin_addr.s_addr = NetAddr;
    char host[NI_MAXHOST] = {};
    const int rc = ::getnameinfo(reinterpret_cast<sockaddr*>(&s), sizeof s, host, sizeof host, nullptr, 0, NI_NAMEREQD);
    a.Error = WinsockErrorFromResolver(rc);
    if (rc == 0) a.HostName = host;
  });
}

bool TakeLookupAnswer(uint32_t Handle, TLookupAnswer& Answer) {
  std::lock_guard<std::mutex> g(GLookupLock);
  auto it = GLookups.find(Handle);
  if (it == GLookups.end() || !it->second->Done) return false;
  Answer = std::move(it->second->Answer);
  GLookups.erase(it);
  return true;
}

bool CancelHostLookup(uint32_t Handle) {
  std::lock_guard<std::mutex> g(GLookupLock);
  auto it = GLookups.find(Handle);
  if (it == GLookups.end()) return false;
  it->second->Cancelled = true;
  GLookups.erase(it);
  return true;
}

}  // namespace kv
