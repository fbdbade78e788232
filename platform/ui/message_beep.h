#pragma once
#include <cstdint>

namespace kv {

// The system's warning sound. Tests read how many beeps were asked for.
void MessageBeep(uint32_t Type = 0);
int32_t BeepCount();

}  // namespace kv
