// The screen source under a real X server (KV_TEST_DISPLAY): a window of
// known colour is listed by its title, captured with its pixels, and
// captured at its new size after it was resized.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/devices/screen_windows.h"
#include "platform/devices/video_capture.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/message_window.h"
#include "support/x_window.h"

namespace kv {
namespace {

TEST(ScreenWindowsTest, WindowIsListedCapturedAndFollowedAcrossResize) {
  const char* display = std::getenv("KV_TEST_DISPLAY");
  if (!display || !*display) GTEST_SKIP() << "no X display (KV_TEST_DISPLAY)";
  test::TDisplayEnv env(display);
  test::TXWindow win("kv capture probe", 0x00FF0000, 64, 48);  // pure red on a 24-bit visual
  ASSERT_NE(win.Id, 0u);
  bool found = false;
  for (const TScreenWindow& w : ListScreenWindows())
    if (w.Title == "kv capture probe") {
      found = true;
      EXPECT_EQ(w.Id, win.Id);
    }
  ASSERT_TRUE(found);
  int32_t w = 0, h = 0;
  ASSERT_TRUE(ScreenWindowSize(win.Id, w, h));
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);

  TBitmap shot;
  std::string err;
  ASSERT_TRUE(GrabSingleFrame(ScreenCaptureDevice(win.Id), shot, &err)) << err;
  ASSERT_EQ(shot.Width(), 64);
  ASSERT_EQ(shot.Height(), 48);
  const auto* p = static_cast<const uint8_t*>(shot.ScanLine(24)) + 32 * 3;
  EXPECT_EQ(p[0], 0);  // BGR
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[2], 255);

  win.Resize(100, 70);
  ASSERT_TRUE(GrabSingleFrame(ScreenCaptureDevice(win.Id), shot, &err)) << err;
  EXPECT_EQ(shot.Width(), 100);
  EXPECT_EQ(shot.Height(), 70);
  p = static_cast<const uint8_t*>(shot.ScanLine(69)) + 99 * 3;
  EXPECT_EQ(p[2], 255);

  // The whole screen is a source of its own.
  ASSERT_TRUE(GrabSingleFrame(ScreenCaptureDevice(0), shot, &err)) << err;
  EXPECT_GE(shot.Width(), 100);
}

}  // namespace
}  // namespace kv
