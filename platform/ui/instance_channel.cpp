#include "platform/ui/instance_channel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <QtCore/QObject>
#include <QtCore/QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <list>

#include "platform/rtl/exceptions.h"
#include "platform/ui/application.h"
#include "platform/ui/qt_app.h"
#include "platform/rtl/sys_error.h"

namespace kv {

namespace {

[[noreturn]] void RaiseIo(const std::string& What) {
  throw EInOutError(What + ": " + SysErrorMessage(errno));
}

}  // namespace

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
    bool ended = false;  // the peer sends no more; a record already whole still counts
    for (;;) {
      const ssize_t n = ::recv(It->Fd, buf, sizeof buf, 0);
      if (n > 0) {
        It->In.append(buf, size_t(n));
        if (It->In.size() > MaxHandOverBytes + 8) return Drop(It);
        continue;
      }
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      if (n < 0 && errno == EINTR) continue;
      ended = true;
      break;
    }
    uint32_t head[2] = {};
    if (It->In.size() >= 8) std::memcpy(head, It->In.data(), sizeof head);
    if (It->In.size() >= 8 && head[1] > MaxHandOverBytes) return Drop(It);
    if (It->In.size() < 8 || It->In.size() < 8 + size_t(head[1])) {
      if (ended) Drop(It);  // the peer went away before the record was whole
      return;
    }
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
  if (!MakeSocketAddress(SocketPath, addr)) throw EInOutError("Der Socket-Pfad ist zu lang: " + SocketPath);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) RaiseIo("Der Socket kann nicht angelegt werden");
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
    RaiseIo("Am Socket " + SocketPath + " kann nicht gehorcht werden");
  }
  FImpl->Listener = fd;
  FImpl->Accepting = new QSocketNotifier(fd, QSocketNotifier::Read);
  TImpl* impl = FImpl.get();
  QObject::connect(FImpl->Accepting, &QSocketNotifier::activated, [impl] { impl->Accept(); });
  FPath = SocketPath;
}

}  // namespace kv
