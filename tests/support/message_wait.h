// Waiting for a condition that the message loop brings about (sound ends,
// posted notices), with a deadline in place of a fixed sleep.
#pragma once
#include <chrono>
#include <thread>

#include "platform/ui/application.h"

namespace kv::test {

template <typename Pred> bool WaitWithMessages(Pred P, double Seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
  while (!P()) {
    if (std::chrono::steady_clock::now() > end) return false;
    if (Application) Application->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace kv::test
