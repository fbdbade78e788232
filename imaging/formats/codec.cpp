#include "imaging/formats/codec.h"

#include <atomic>

namespace kv {

namespace {
std::atomic<int32_t> gDefaultDpi{96};
}

int32_t IODefaultDpi() { return gDefaultDpi.load(std::memory_order_relaxed); }
void SetIODefaultDpi(int32_t Dpi) { gDefaultDpi.store(Dpi > 0 ? Dpi : 96, std::memory_order_relaxed); }

}  // namespace kv
