#include "platform/ui/instance_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <QtCore/QObject>
#include <QtCore/QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <list>

#include "platform/rtl/exceptions.h"
#include "platform/ui/message_window.h"
#include "platform/system/paths.h"
#include "platform/ui/application.h"
#include "platform/ui/qt_app.h"

namespace kv {

namespace {

[[noreturn]] void RaiseIo(const std::string& What) {
  throw EInOutError(What + ": " + std::strerror(errno));
}

bool MakeAddress(const std::string& Path, sockaddr_un& Addr) {
  std::memset(&Addr, 0, sizeof Addr);
  Addr.sun_family = AF_UNIX;
  if (Path.size() >= sizeof Addr.sun_path) return false;
  std::memcpy(Addr.sun_path, Path.data(), Path.size());
  return true;
}

// A connected stream socket to Path, or -1 when nobody listens there.
int ConnectTo(const std::string& Path) {
  sockaddr_un addr;
  if (!MakeAddress(Path, addr)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Writes all of Data before the deadline; false on failure or time-out.
bool WriteAll(int Fd, const char* Data, size_t Size, uint64_t Deadline) {
  while (Size > 0) {
    const ssize_t n = ::send(Fd, Data, Size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      Data += n;
      Size -= size_t(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
    const uint64_t now = TickCount64();
    if (now >= Deadline) return false;
    pollfd p{Fd, POLLOUT, 0};
    ::poll(&p, 1, int(Deadline - now));
  }
  return true;
}

// Reads exactly Size bytes before the deadline; false on end, failure or time-out.
bool ReadAll(int Fd, char* Data, size_t Size, uint64_t Deadline) {
  while (Size > 0) {
    const uint64_t now = TickCount64();
    if (now >= Deadline) return false;
    pollfd p{Fd, POLLIN, 0};
    const int r = ::poll(&p, 1, int(Deadline - now));
    if (r < 0 && errno != EINTR) return false;
    if (r <= 0) continue;
    const ssize_t n = ::recv(Fd, Data, Size, MSG_DONTWAIT);
    if (n == 0) return false;
    if (n < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      return false;
    }
    Data += n;
    Size -= size_t(n);
  }
  return true;
}

}  // namespace

std::string PrivateRuntimeFolder() {
  std::string dir = RuntimeFolder();
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) RaiseIo("Cannot make the runtime folder " + dir);
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0) RaiseIo("Cannot read the runtime folder " + dir);
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
    throw EInOutError("The runtime folder " + dir + " is not a folder of this user");
  // Others must not reach the socket, whatever the umask made of the folder.
  if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0)
    RaiseIo("Cannot make the runtime folder " + dir + " private");
  return dir + "/";
}

TInstanceLock::~TInstanceLock() { Release(); }

bool TInstanceLock::Acquire(const std::string& FileName, uint32_t TimeoutMs) {
  Release();
  const int fd = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) RaiseIo("Cannot open the lock file " + FileName);
  const uint64_t deadline = TickCount64() + TimeoutMs;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      FHandle = fd;
      return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      ::close(fd);
      RaiseIo("Cannot lock " + FileName);
    }
    if (TickCount64() >= deadline) {
      ::close(fd);
      return false;
    }
    ::usleep(2000);
  }
}

void TInstanceLock::Release() {
  if (FHandle < 0) return;
  ::flock(FHandle, LOCK_UN);
  ::close(FHandle);
  FHandle = -1;
}

bool HandOverAllowed(uid_t PeerUid, uid_t OwnUid) { return PeerUid == OwnUid; }

// The record on the wire: tag and byte count in the machine's order, then the bytes.
THandOverResult SendHandOver(const std::string& SocketPath, uint32_t Tag, const std::string& Data, uint32_t TimeoutMs) {
  THandOverResult result;
  const int fd = ConnectTo(SocketPath);
  if (fd < 0) return result;
  result.Outcome = hoNoAnswer;
  const uint64_t deadline = TickCount64() + TimeoutMs;
  uint32_t head[2] = {Tag, uint32_t(Data.size())};
  int32_t answer = 0;
  if (WriteAll(fd, reinterpret_cast<const char*>(head), sizeof head, deadline) &&
      WriteAll(fd, Data.data(), Data.size(), deadline) &&
      ReadAll(fd, reinterpret_cast<char*>(&answer), sizeof answer, deadline)) {
    result.Outcome = hoAnswered;
    result.Answer = answer;
  }
  ::close(fd);
  return result;
}

bool ListenerAlive(const std::string& SocketPath) {
  const int fd = ConnectTo(SocketPath);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// ---- the listening end ----

struct THandOverServer::TImpl {
  struct TConnection {
    int Fd = -1;
    QSocketNotifier* Notifier = nullptr;
    std::string In;
  };

  THandOverReceived OnReceive;
  uid_t AllowedUid = 0;
  int Listener = -1;
  QSocketNotifier* Accepting = nullptr;
  std::list<TConnection> Connections;
  int32_t Refused = 0;

  ~TImpl() {
    while (!Connections.empty()) Drop(Connections.begin(), false);
    delete Accepting;
    if (Listener >= 0) ::close(Listener);
  }

  // Inside the notifier's own signal it may not be deleted at once.
  void Drop(std::list<TConnection>::iterator It, bool FromSignal = true) {
    It->Notifier->setEnabled(false);
    if (FromSignal)
      It->Notifier->deleteLater();
    else
      delete It->Notifier;
    ::close(It->Fd);
    Connections.erase(It);
  }

  void Accept() {
    for (;;) {
      const int fd = ::accept4(Listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) return;
      ucred cred{};
      socklen_t len = sizeof cred;
      if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || !HandOverAllowed(cred.uid, AllowedUid)) {
        ++Refused;
        ::close(fd);
        continue;
      }
      Connections.push_back(TConnection{fd, nullptr, {}});
      auto it = std::prev(Connections.end());
      it->Notifier = new QSocketNotifier(fd, QSocketNotifier::Read);
      QObject::connect(it->Notifier, &QSocketNotifier::activated, [this, it] { Read(it); });
    }
  }

  void Read(std::list<TConnection>::iterator It) {
    char buf[8192];
    for (;;) {
      const ssize_t n = ::recv(It->Fd, buf, sizeof buf, 0);
      if (n > 0) {
        It->In.append(buf, size_t(n));
        if (It->In.size() > MaxHandOverBytes + 8) return Drop(It);
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      if (n < 0 && errno == EINTR) continue;
      return Drop(It);  // the peer went away before the record was whole
    }
    if (It->In.size() < 8) return;
    uint32_t head[2];
    std::memcpy(head, It->In.data(), sizeof head);
    if (head[1] > MaxHandOverBytes) return Drop(It);
    if (It->In.size() < 8 + size_t(head[1])) return;
    const std::string data = It->In.substr(8, head[1]);
    It->Notifier->setEnabled(false);  // a handler that runs the message loop must not see this again
    int32_t answer = 0;
    try {
      if (OnReceive) answer = OnReceive(head[0], data);
    } catch (...) {
      Application->HandleException(nullptr);
    }
    // The peer waits for these four bytes; it may have given up meanwhile.
    ::send(It->Fd, &answer, sizeof answer, MSG_NOSIGNAL | MSG_DONTWAIT);
    Drop(It);
  }
};

THandOverServer::THandOverServer(THandOverReceived OnReceive, uid_t AllowedUid) : FImpl(std::make_unique<TImpl>()) {
  FImpl->OnReceive = std::move(OnReceive);
  FImpl->AllowedUid = AllowedUid;
}

THandOverServer::~THandOverServer() {
  FImpl.reset();
  if (!FPath.empty()) ::unlink(FPath.c_str());
}

int32_t THandOverServer::Refused() const { return FImpl->Refused; }

void THandOverServer::Listen(const std::string& SocketPath) {
  EnsureQtApplication();
  if (FImpl->Listener >= 0) throw EInvalidOperation("The hand-over socket listens already");
  sockaddr_un addr;
  if (!MakeAddress(SocketPath, addr)) throw EInOutError("The socket path is too long: " + SocketPath);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) RaiseIo("Cannot make a socket");
  // A socket file left by a crashed start answers nobody: it is replaced.
  ::unlink(SocketPath.c_str());
  // Made with mode 0600 from the start, so no other user can connect in between.
  const mode_t old = ::umask(0177);
  const int bound = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  ::umask(old);
  if (bound != 0 || ::listen(fd, 16) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    RaiseIo("Cannot listen at " + SocketPath);
  }
  FImpl->Listener = fd;
  FImpl->Accepting = new QSocketNotifier(fd, QSocketNotifier::Read);
  TImpl* impl = FImpl.get();
  QObject::connect(FImpl->Accepting, &QSocketNotifier::activated, [impl] { impl->Accept(); });
  FPath = SocketPath;
}

}  // namespace kv
