// The screens of the desktop, for windows that must come back onto one.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/rtl/types.h"

namespace kv {

// Each screen's rectangle in desktop coordinates (at least one).
std::vector<TRect> MonitorRects();
// Tests may fix the screens; an empty list goes back to the real ones.
void SetMonitorRectsForTesting(const std::vector<TRect>& Rects);
// R moved (not resized, unless larger) onto the screen it overlaps most, or
// the nearest one when it overlaps none; unchanged when it already lies on one.
TRect BringOntoMonitor(const TRect& R);

}  // namespace kv
