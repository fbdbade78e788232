// The default resolution that readers store when a file carries none: the
// screen's logical pixels per inch, set once when the program starts (96
// until then), and settable by tests.
#pragma once
#include <cstdint>

namespace kv {

int32_t DefaultDpi();
void SetDefaultDpi(int32_t Dpi);

}  // namespace kv
