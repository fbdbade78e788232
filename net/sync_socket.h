// TCustomSyncNetSocket waits for a flag while the message loop runs (events of
// this and every other socket fire meanwhile), and TNetSocket is the socket
// the program instantiates: asynchronous, SOCKS-capable, line mode, waits.
#pragma once
#include <functional>

#include "net/line_socket.h"

namespace kv {

// The wait ended without the flag: time-out, or the program is ending.
constexpr int32_t kWaitTimedOut = 12001;

class TCustomSyncNetSocket : public TCustomLineNetSocket {
 public:
  explicit TCustomSyncNetSocket(TComponent* AOwner) : TCustomLineNetSocket(AOwner) {}

  // Milliseconds; 0 or less waits without limit.
  int32_t Timeout() const { return FTimeout; }
  void SetTimeout(int32_t Value) { FTimeout = Value; }

  // Clears the flag, runs Proc (when given) and waits for the flag.
  virtual int32_t RunAndWait(const std::function<void()>& Proc, bool& DoneFlag);
  // 0 once the flag is set; 12001 at the deadline or when the program ends.
  // Sleeps in the message loop until something happens: never spins.
  virtual int32_t WaitUntilDone(bool& DoneFlag);

 protected:
  int32_t FTimeout = 0;
  uint64_t FTimeStop = 0;
};

// Waits for Flag the same way, for callers outside a socket (the protocol
// clients): 0 when set, 12001 at TimeoutMs (<= 0: none) or program end.
int32_t WaitForFlag(const bool& Flag, int32_t TimeoutMs);

class TNetSocket : public TCustomSyncNetSocket {
 public:
  explicit TNetSocket(TComponent* AOwner) : TCustomSyncNetSocket(AOwner) {}
};

}  // namespace kv
