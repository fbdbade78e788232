// Milliseconds since an arbitrary start, wrapping at 2^32 like the window
// system's tick counter. Tests replace the source to step time by hand.
#pragma once
#include <cstdint>

namespace kv {

using TTickSource = uint32_t (*)();

uint32_t GetTickCount();
// Null restores the monotonic clock.
void SetTickSource(TTickSource Source);

}  // namespace kv
