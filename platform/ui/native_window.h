// The native window behind a form, for the desktop services that name
// windows by their id (screen-saver suspension, a screen saver's window).
#pragma once
#include <cstdint>

namespace kv {

class TWinControl;
class TCustomForm;

// The X11 id of the control's top-level window; 0 on other window platforms.
uintptr_t NativeWindowId(TWinControl& Control);
// Makes the form a child of the foreign native window Parent, filling it, as
// a screen-saver module draws into the window its screen saver passes. False
// where that cannot be done (no X11 display, no such window).
bool EmbedIntoNativeWindow(TCustomForm& Form, uintptr_t Parent);
// Shows the form over the whole screen, without frame.
void ShowFullScreen(TCustomForm& Form);

}  // namespace kv
