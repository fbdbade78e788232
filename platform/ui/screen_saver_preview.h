// The screen saver's preview: a small picture drawn into a window of the
// desktop's screen-saver settings, given by its native id.
#pragma once
#include <cstdint>
#include <string>

namespace kv {

// Draws Text in red, half-way down, into a child of the native window Parent
// and lets messages run until that window goes. Returns false at once where
// there is no such window (no X11 display, an id of 0).
bool RunScreenSaverPreview(uintptr_t Parent, const std::string& Text);

}  // namespace kv
