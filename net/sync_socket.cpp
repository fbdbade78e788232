#include "net/sync_socket.h"

#include "platform/ui/message_window.h"

namespace kv {

int32_t WaitForFlag(const bool& Flag, int32_t TimeoutMs) {
  const uint64_t deadline = TimeoutMs > 0 ? TickCount64() + static_cast<uint64_t>(TimeoutMs) : 0;
  while (!Flag) {
    uint32_t wait = 0;
    if (deadline) {
      const uint64_t now = TickCount64();
      if (now >= deadline) return kWaitTimedOut;
      wait = static_cast<uint32_t>(deadline - now);
    }
    if (MessageLoopEnding()) return kWaitTimedOut;
    WaitForMessages(wait);
  }
  return 0;
}

int32_t TCustomSyncNetSocket::RunAndWait(const std::function<void()>& Proc, bool& DoneFlag) {
  DoneFlag = false;
  if (Proc) Proc();
  return WaitUntilDone(DoneFlag);
}

int32_t TCustomSyncNetSocket::WaitUntilDone(bool& DoneFlag) {
  FTimeStop = FTimeout > 0 ? TickCount64() + static_cast<uint64_t>(FTimeout) : 0;
  return WaitForFlag(DoneFlag, FTimeout);
}

}  // namespace kv
