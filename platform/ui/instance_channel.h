// The single-instance channel between two starts of the program: a lock file
// that orders the starts, and a local socket, reachable by the user alone,
// through which a later start hands its command line to the running one.
// Both live in the user's runtime folder.
#pragma once
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kv {

// The user's runtime folder (RuntimeFolder()), made when missing with mode
// 0700. Raises EInOutError when it cannot be made, is not a folder of its
// own (a link, or owned by someone else) or is open to others.
std::string PrivateRuntimeFolder();

// An exclusive advisory lock on a file; the kernel drops it when the process
// dies, so a crash never leaves it held.
class TInstanceLock {
 public:
  TInstanceLock() = default;
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;
  // Waits at most TimeoutMs; false when another process still holds it.
  // Raises EInOutError when the file cannot be opened.
  bool Acquire(const std::string& FileName, uint32_t TimeoutMs);
  void Release();
  bool Held() const { return FHandle >= 0; }

 private:
  int FHandle = -1;
};

// Whether a peer of PeerUid may hand over to a process of OwnUid: the same
// user only (root included only for itself).
bool HandOverAllowed(uid_t PeerUid, uid_t OwnUid);

enum THandOverOutcome : uint8_t {
  hoNoListener,  // no one listens on the socket (none there, or left by a crash)
  hoAnswered,    // Answer holds the receiver's answer
  hoNoAnswer     // connected, but the answer did not come in time
};
struct THandOverResult {
  THandOverOutcome Outcome = hoNoListener;
  int32_t Answer = 0;
};

// Sends the tag and the data to the listener at SocketPath and waits at most
// TimeoutMs for its answer.
THandOverResult SendHandOver(const std::string& SocketPath, uint32_t Tag, const std::string& Data, uint32_t TimeoutMs);
// True when something listens at SocketPath (nothing is sent).
bool ListenerAlive(const std::string& SocketPath);

// Called on the GUI thread with what a peer sent; the result is its answer.
using THandOverReceived = std::function<int32_t(uint32_t Tag, const std::string& Data)>;

// The listening end, served by the message loop. A peer of another user is
// refused before anything is read; a hand-over larger than MaxHandOverBytes
// is dropped.
class THandOverServer {
 public:
  static constexpr uint32_t MaxHandOverBytes = 1 << 20;

  // Peers of AllowedUid alone may hand over (the process's own user by default).
  explicit THandOverServer(THandOverReceived OnReceive, uid_t AllowedUid = ::getuid());
  // Closes every connection and removes the socket file.
  ~THandOverServer();
  THandOverServer(const THandOverServer&) = delete;
  THandOverServer& operator=(const THandOverServer&) = delete;

  // Listens at SocketPath with mode 0600, replacing a socket file left there.
  // Call it holding the instance lock after ListenerAlive said no. Raises
  // EInOutError when the socket cannot be made.
  void Listen(const std::string& SocketPath);
  const std::string& Path() const { return FPath; }
  // Peers refused for being another user, for tests.
  int32_t Refused() const;

  // ---- for the layer ----
  struct TImpl;

 private:
  std::unique_ptr<TImpl> FImpl;
  std::string FPath;
};

}  // namespace kv
