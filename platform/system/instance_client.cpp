#include "platform/system/instance_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/rtl/exceptions.h"
#include "platform/system/paths.h"
#include "platform/rtl/sys_error.h"

namespace kv {

namespace {

[[noreturn]] void RaiseIo(const std::string& What) {
  throw EInOutError(What + ": " + SysErrorMessage(errno));
}

uint64_t NowMs() {
  return uint64_t(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

// A connected stream socket to Path, or -1 when nobody listens there.
int ConnectTo(const std::string& Path) {
  sockaddr_un addr;
  if (!MakeSocketAddress(Path, addr)) return -1;
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
    const uint64_t now = NowMs();
    if (now >= Deadline) return false;
    pollfd p{Fd, POLLOUT, 0};
    ::poll(&p, 1, int(Deadline - now));
  }
  return true;
}

// Reads exactly Size bytes before the deadline; false on end, failure or time-out.
bool ReadAll(int Fd, char* Data, size_t Size, uint64_t Deadline) {
  while (Size > 0) {
    const uint64_t now = NowMs();
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

bool MakeSocketAddress(const std::string& Path, sockaddr_un& Addr) {
  std::memset(&Addr, 0, sizeof Addr);
  Addr.sun_family = AF_UNIX;
  if (Path.size() >= sizeof Addr.sun_path) return false;
  std::memcpy(Addr.sun_path, Path.data(), Path.size());
  return true;
}

std::string PrivateRuntimeFolder() {
  std::string dir = RuntimeFolder();
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) RaiseIo("Der Laufzeitordner " + dir + " kann nicht angelegt werden");
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0) RaiseIo("Der Laufzeitordner " + dir + " kann nicht gelesen werden");
  if (!S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
    throw EInOutError("Der Laufzeitordner " + dir + " gehört nicht diesem Benutzer");
  // Others must not reach the socket, whatever the umask made of the folder.
  if ((st.st_mode & 077) != 0 && ::chmod(dir.c_str(), 0700) != 0)
    RaiseIo("Der Laufzeitordner " + dir + " kann nicht geschützt werden");
  return dir + "/";
}

TInstanceLock::~TInstanceLock() { Release(); }

bool TInstanceLock::Acquire(const std::string& FileName, uint32_t TimeoutMs) {
  Release();
  const int fd = ::open(FileName.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) RaiseIo("Die Sperrdatei " + FileName + " kann nicht geöffnet werden");
  const uint64_t deadline = NowMs() + TimeoutMs;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      FHandle = fd;
      return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      ::close(fd);
      RaiseIo(FileName + " kann nicht gesperrt werden");
    }
    if (NowMs() >= deadline) {
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

int TInstanceLock::PassOn() {
  if (FHandle < 0) return -1;
  const int flags = ::fcntl(FHandle, F_GETFD);
  if (flags >= 0) ::fcntl(FHandle, F_SETFD, flags & ~FD_CLOEXEC);
  const int fd = FHandle;
  FHandle = -1;
  return fd;
}

bool TInstanceLock::Adopt(int Handle, const std::string& FileName) {
  Release();
  if (Handle < 0) return false;
  struct stat held, named;
  // Only the very file of the guard: a stray number must not turn an unrelated
  // descriptor into "the lock".
  if (::fstat(Handle, &held) != 0 || ::stat(FileName.c_str(), &named) != 0 || held.st_dev != named.st_dev ||
      held.st_ino != named.st_ino)
    return false;
  // On the descriptor that holds it, taking the lock again succeeds at once;
  // on any other it fails while the holder lives.
  if (::flock(Handle, LOCK_EX | LOCK_NB) != 0) return false;
  const int flags = ::fcntl(Handle, F_GETFD);
  if (flags >= 0) ::fcntl(Handle, F_SETFD, flags | FD_CLOEXEC);
  FHandle = Handle;
  return true;
}

bool HandOverAllowed(uid_t PeerUid, uid_t OwnUid) { return PeerUid == OwnUid; }

THandOverResult SendHandOver(const std::string& SocketPath, uint32_t Tag, const std::string& Data, uint32_t TimeoutMs) {
  THandOverResult result;
  const int fd = ConnectTo(SocketPath);
  if (fd < 0) return result;
  result.Outcome = hoNoAnswer;
  const uint64_t deadline = NowMs() + TimeoutMs;
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

}  // namespace kv
