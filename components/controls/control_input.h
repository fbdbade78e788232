// Input tests shared by the graphic controls: accelerator letters and hover.
#pragma once
#include <cstdint>
#include <string>

namespace kv {

class TControl;

// Whether Key is the character marked with "&" in Caption ("&&" is a plain "&").
bool IsAccelKey(uint32_t Key, const std::string& Caption);
// Whether the cursor is over C itself: the innermost control of C's parent there.
bool CursorOverControl(TControl* C);

}  // namespace kv
