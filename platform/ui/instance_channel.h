// The listening half of the single-instance channel: a local socket,
// reachable by the user alone, through which a later start hands its command
// line to the running one. The starting half is in instance_client.h.
#pragma once
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/system/instance_client.h"

namespace kv {

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
