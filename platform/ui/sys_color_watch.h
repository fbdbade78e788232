// The desktop announcing new colours: another palette or colour scheme, or
// another theme (which may bring other icons). The layer draws the shared
// system image lists again and sends WM_SYSCOLORCHANGE to every form; a
// window control passes it on to its controls as CM_SYSCOLORCHANGE.
#pragma once

namespace kv {

// Made with the Qt application object: the desktop's palette and theme
// changes are heard from then on. Several that arrive together (a new theme
// brings a new palette, and every window hears of it) count as one, told on
// the next turn of the message loop.
void WatchSystemColors();
// Before the application object goes: a change still pending is dropped.
void StopWatchingSystemColors();
// What a change does, now; for code that changed the colours itself.
void BroadcastSysColorChange();

}  // namespace kv
