// The windows of the X display that the screen source can capture: the
// visible top-level windows with a title, topmost first.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

struct TScreenWindow {
  uint32_t Id = 0;
  std::string Title;
};

// The display named by DISPLAY; empty when there is none.
std::vector<TScreenWindow> ListScreenWindows();
// The window's current size (the root window for Id 0); false when it is gone.
bool ScreenWindowSize(uint32_t Id, int32_t& Width, int32_t& Height);
// Raises the window above the others; false when it is gone.
bool RaiseScreenWindow(uint32_t Id);

}  // namespace kv
