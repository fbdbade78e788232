// Keeping the screen awake while a show runs: the desktop's
// org.freedesktop.ScreenSaver service is asked over the session bus, and
// where no such service answers, xdg-screensaver suspends for the window.
// Both are tied to their holder (the bus connection, the window), so a
// program that ends without releasing never leaves the screen saver off;
// the user's own screen-saver setting is never touched.
#pragma once
#include <cstdint>
#include <string>

namespace kv {

class TScreenSaverInhibit {
 public:
  TScreenSaverInhibit() = default;
  TScreenSaverInhibit(const TScreenSaverInhibit&) = delete;
  TScreenSaverInhibit& operator=(const TScreenSaverInhibit&) = delete;
  ~TScreenSaverInhibit() { Release(); }

  // True when a request is held now. Window is the native window id for the
  // xdg-screensaver fallback (0: none, the fallback is not tried).
  bool Inhibit(const std::string& Application, const std::string& Reason, uintptr_t Window);
  void Release();
  bool Held() const { return FCookie != 0 || FWindow != 0; }
  // How the request is held: "dbus", "xdg-screensaver" or "".
  std::string Way() const;

 private:
  uint32_t FCookie = 0;
  std::string FPath;
  uintptr_t FWindow = 0;  // suspended through xdg-screensaver
};

}  // namespace kv
