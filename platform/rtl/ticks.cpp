#include "platform/rtl/ticks.h"

#include <atomic>
#include <chrono>

namespace kv {

namespace {
std::atomic<TTickSource> gTickSource{nullptr};

uint32_t MonotonicTicks() {
  using namespace std::chrono;
  const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}
}  // namespace

uint32_t GetTickCount() {
  const TTickSource source = gTickSource.load(std::memory_order_relaxed);
  return source ? source() : MonotonicTicks();
}

void SetTickSource(TTickSource Source) { gTickSource.store(Source, std::memory_order_relaxed); }

}  // namespace kv
