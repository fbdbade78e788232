// A component with a window of its own. The windowed controls implement it,
// so that code below the controls can find the window a dialog or a message
// belongs to without knowing them.
#pragma once

#include "platform/rtl/types.h"

namespace kv {

class TWindowOwner {
 public:
  virtual ~TWindowOwner() = default;
  // The window when it exists already, else 0; no window is made.
  virtual HWND ExistingWindow() const = 0;
};

}  // namespace kv
