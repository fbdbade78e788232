// A window's own scroll bars. Every TCustomControl (and so every form) can
// show a horizontal and a vertical bar at the edges of its bounds; the client
// area is what the bars and the frame leave. Moving a bar sends the control
// WM_HSCROLL / WM_VSCROLL with the scroll code (SB_LINEUP .. SB_BOTTOM, and
// SB_ENDSCROLL when the action is over) and, for SB_THUMBTRACK and
// SB_THUMBPOSITION, the thumb position. The program sets the new position
// itself, as with the window system. The mouse wheel arrives at the control
// under the mouse as WM_MOUSEWHEEL in whole notches of WHEEL_DELTA: finer
// deltas of high-resolution wheels are summed until they make one. A wheel
// message that ends in DefaultHandler with Result 0 goes on to the parent.
#pragma once
#include <cstdint>

#include "platform/ui/messages.h"

namespace kv {

class TWinControl;

// Which of a control's own scroll bars it may show.
enum TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

struct TScrollInfo {
  uint32_t cbSize = sizeof(TScrollInfo);
  uint32_t fMask = 0;
  int32_t nMin = 0;
  int32_t nMax = 0;
  uint32_t nPage = 0;
  int32_t nPos = 0;
  int32_t nTrackPos = 0;
};

// Bar is SB_HORZ or SB_VERT. Range, page and position are kept as the window
// system keeps them: the position runs from nMin to nMax - nPage + 1. A bar
// whose range holds no page to scroll is hidden, unless SIF_DISABLENOSCROLL
// asks to keep it shown and disabled. Returns the new position. Controls
// without scroll-bar support return 0 and do nothing.
int32_t SetScrollInfo(TWinControl* Control, int32_t Bar, const TScrollInfo& Info, bool Redraw);
bool GetScrollInfo(TWinControl* Control, int32_t Bar, TScrollInfo& Info);
int32_t SetScrollPos(TWinControl* Control, int32_t Bar, int32_t Pos, bool Redraw);
int32_t GetScrollPos(TWinControl* Control, int32_t Bar);
bool SetScrollRange(TWinControl* Control, int32_t Bar, int32_t Min, int32_t Max, bool Redraw);
// Bar may also be SB_BOTH. Showing or hiding a bar changes the client area
// (the control gets WM_SIZE).
bool ShowScrollBar(TWinControl* Control, int32_t Bar, bool Show);
// Arrows: ESB_ENABLE_BOTH or ESB_DISABLE_BOTH (a bar is enabled or disabled as a whole).
bool EnableScrollBar(TWinControl* Control, int32_t Bar, uint32_t Arrows);
bool ScrollBarVisible(TWinControl* Control, int32_t Bar);

}  // namespace kv
