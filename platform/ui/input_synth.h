// Input as the desktop delivers it, and what a control shows, for tests and
// scripted runs above the layer: the events go through the control's peer
// exactly as the user's would (key state, capture, the widget's own typing).
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/graphics/bitmap.h"
#include "platform/ui/messages.h"

namespace kv {

class TControl;

enum TMouseAction : uint8_t { maPress, maMove, maRelease, maDoubleClick };

// A mouse event at a client point of the control. A press or release is of
// Button; during a move the buttons held are those of ssLeft, ssRight and
// ssMiddle in Shift.
void SynthMouse(TControl* Control, TMouseAction Action, int32_t X, int32_t Y, TMouseButton Button = mbLeft,
                TShiftState Shift = {});
// One key press (and its release) with a virtual-key code; the typed text
// the key gives (Enter "\r", Escape "\x1b", Backspace "\b") goes with it.
void SynthKey(TControl* Control, uint16_t VirtKey, TShiftState Shift = {});
// Types each character of a UTF-8 text as one key press.
void SynthText(TControl* Control, const std::string& Text);
// Focus arriving or leaving as the window system reports it.
void SynthFocus(TControl* Control, bool In);

// The desktop switching to another colour scheme while the object lives and
// back when it goes: the application's palette changes as the desktop's
// settings change it, and each switch is announced as such a change is.
class TSynthColorScheme {
 public:
  TSynthColorScheme();
  ~TSynthColorScheme();
  TSynthColorScheme(const TSynthColorScheme&) = delete;
  TSynthColorScheme& operator=(const TSynthColorScheme&) = delete;

 private:
  struct TSaved;
  std::unique_ptr<TSaved> FSaved;
};

// What the control's window shows now, children included, as a 24-bit
// bitmap (nullptr without a window).
std::unique_ptr<TBitmap> GrabControl(TControl* Control);
// Writes the bitmap as a PNG file; false when it could not be written.
bool SaveBitmapPng(const TBitmap& Bitmap, const std::string& FileName);

}  // namespace kv
