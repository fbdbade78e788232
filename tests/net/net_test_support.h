// Shared helpers of the network tests: running the message loop until
// something happened, free loopback ports, and a listener that hands every
// accepted connection to a socket of its own.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/net_socket.h"
#include "platform/ui/message_window.h"

namespace kv::test {

// Runs the message loop until Done or the time is up; false on time-out.
inline bool PumpUntil(const std::function<bool()>& Done, uint32_t TimeoutMs = 5000) {
  const uint64_t end = TickCount64() + TimeoutMs;
  while (!Done()) {
    const uint64_t now = TickCount64();
    if (now >= end) return false;
    WaitForMessages(static_cast<uint32_t>(std::min<uint64_t>(end - now, 50)));
  }
  return true;
}

inline void PumpFor(uint32_t Ms) {
  const uint64_t end = TickCount64() + Ms;
  PumpUntil([&] { return TickCount64() >= end; }, Ms + 100);
}

// A listening socket on 127.0.0.1 with a port the system chose.
struct TLoopbackListener {
  std::unique_ptr<TCustomNetSocket> Server = std::make_unique<TCustomNetSocket>(nullptr);
  std::vector<std::unique_ptr<TCustomNetSocket>> Accepted;
  std::function<void(TCustomNetSocket&)> OnAccepted;

  TLoopbackListener() {
    Server->SetAddr("127.0.0.1");
    Server->SetPort("0");
    Server->OnSessionAvailable = [this](TObject*, uint16_t Error) {
      if (Error) return;
      const TSocket h = Server->Accept();
      if (h == INVALID_SOCKET) return;
      auto s = std::make_unique<TCustomNetSocket>(nullptr);
      s->Dup(h);
      Accepted.push_back(std::move(s));
      if (OnAccepted) OnAccepted(*Accepted.back());
    };
    Server->Listen();
  }
  std::string Port() { return Server->GetXPort(); }
};

}  // namespace kv::test
