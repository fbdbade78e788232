// Frames drawn over the whole screen, as the window system's inverted focus
// rectangles: drawing the same frame again takes it away. Used while a bar or
// a window is dragged; each frame is a small top-most window without focus.
#pragma once
#include <cstdint>

#include "platform/rtl/types.h"

namespace kv {

// Shows a frame of Width pixels just inside the screen rectangle R, or removes
// the same frame when it is shown. Returns whether it is shown afterwards.
bool ToggleScreenFrame(const TRect& R, int32_t Width);
// Frames shown now, for tests.
int32_t ScreenFrameCount();
// Whether a frame of exactly that rectangle is shown.
bool ScreenFrameShown(const TRect& R);

}  // namespace kv
