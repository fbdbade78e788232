// X windows of known content on the test display (KV_TEST_DISPLAY) for the
// screen-source tests, and DISPLAY pointed at it for a scope, with the display
// to the test alone: another test's window must not cover what it captures.
#pragma once
#include <xcb/xcb.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "support/test_display.h"

namespace kv::test {

class TDisplayEnv {
 public:
  explicit TDisplayEnv(const char* Display) : FLock(Display) {
    if (const char* d = std::getenv("DISPLAY")) FOld = d, FHad = true;
    ::setenv("DISPLAY", Display, 1);
  }
  ~TDisplayEnv() {
    if (FHad) ::setenv("DISPLAY", FOld.c_str(), 1);
    else ::unsetenv("DISPLAY");
  }

 private:
  TTestDisplayLock FLock;
  std::string FOld;
  bool FHad = false;
};

// A plain X window filled with one colour, mapped, with a title.
class TXWindow {
 public:
  TXWindow(const std::string& Title, uint32_t Pixel, uint16_t W, uint16_t H) {
    C = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(C)) return;
    xcb_screen_t* s = xcb_setup_roots_iterator(xcb_get_setup(C)).data;
    Id = xcb_generate_id(C);
    const uint32_t values[] = {Pixel, 1};
    // Each title has a place of its own: tests running at once on the one
    // display must not cover each other's windows.
    const size_t h = std::hash<std::string>{}(Title);
    const int16_t x = int16_t(20 + h % 900), y = int16_t(30 + (h / 900) % 700);
    xcb_create_window(C, XCB_COPY_FROM_PARENT, Id, s->root, x, y, W, H, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      s->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_change_property(C, XCB_PROP_MODE_REPLACE, Id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        uint32_t(Title.size()), Title.data());
    xcb_map_window(C, Id);
    xcb_clear_area(C, 0, Id, 0, 0, 0, 0);
    Sync();
  }
  ~TXWindow() {
    if (C) xcb_disconnect(C);
  }
  void Resize(uint16_t W, uint16_t H) {
    const uint32_t v[] = {W, H};
    xcb_configure_window(C, Id, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, v);
    xcb_clear_area(C, 0, Id, 0, 0, 0, 0);
    Sync();
  }
  // Waits for the server to have done everything asked so far.
  void Sync() { free(xcb_get_input_focus_reply(C, xcb_get_input_focus(C), nullptr)); }

  xcb_connection_t* C = nullptr;
  uint32_t Id = 0;
};

}  // namespace kv::test
