// What the screen shows, as pixels: the whole desktop or one window. The
// desktop has a handle of its own so that callers treat both alike.
#pragma once
#include "platform/rtl/types.h"

namespace kv {

class TBitmap;

// The handle that stands for the whole desktop.
HWND GetDesktopWindow();
// The window's rectangle on the screen: a top-level window with its frame,
// the desktop as the virtual screen; empty when there is no such window.
TRect GetWindowRect(HWND Wnd);
bool IsWindowVisible(HWND Wnd);
// Raises the window, and the windows holding it, above the others; false when there is none.
bool BringWindowToTop(HWND Wnd);
// Copies what the screen shows inside the window's rectangle into a 24-bit
// bitmap of that size. False (bitmap unchanged) when the window does not
// exist or the screen cannot be read.
bool GrabWindow(HWND Wnd, TBitmap& Into);

}  // namespace kv
