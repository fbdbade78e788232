// The starting half of the single-instance channel: the lock file that orders
// two starts of the program, and the sending end of the local socket through
// which a later start hands its command line to the running one. Both live in
// the user's runtime folder. Free of the window system, so that a small
// launcher can hand over without loading it.
#pragma once
#include <sys/types.h>
#include <sys/un.h>

#include <cstdint>
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

  // Keeps the lock held across exec: the descriptor loses close-on-exec and
  // this object lets go of it without unlocking. -1 when nothing is held.
  int PassOn();
  // Takes over a lock passed on by the process that exec'ed this one. False
  // (and nothing held) unless Handle is an open descriptor of FileName on
  // which the lock is held or can be taken at once; the descriptor becomes
  // close-on-exec again, so the program's own children never keep the lock.
  bool Adopt(int Handle, const std::string& FileName);

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
// TimeoutMs for its answer. The record on the wire: tag and byte count as
// 32-bit numbers in the machine's order, then the bytes; the answer comes
// back as one 32-bit number.
THandOverResult SendHandOver(const std::string& SocketPath, uint32_t Tag, const std::string& Data, uint32_t TimeoutMs);
// True when something listens at SocketPath (nothing is sent).
bool ListenerAlive(const std::string& SocketPath);

// Fills Addr for Path; false when the path is too long for a socket address.
bool MakeSocketAddress(const std::string& Path, sockaddr_un& Addr);

}  // namespace kv
