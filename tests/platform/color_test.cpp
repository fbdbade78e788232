#include "platform/graphics/color.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(Color, ColorToRGBResolvesSystemColoursAndMasksTheRest) {
  const TColorRef saved = GetSysColor(COLOR_BTNFACE);
  SetSysColor(COLOR_BTNFACE, RGB(1, 2, 3));
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(1, 2, 3));
  SetSysColor(COLOR_BTNFACE, saved);
  EXPECT_EQ(ColorToRGB(clBtnFace), saved);

  EXPECT_EQ(ColorToRGB(clRed), RGB(255, 0, 0));
  EXPECT_EQ(ColorToRGB(clBlue), RGB(0, 0, 255));
  EXPECT_EQ(ColorToRGB(0x02123456), 0x123456u);  // palette-relative flag dropped
  EXPECT_EQ(GetSysColor(-1), 0u);
  EXPECT_EQ(GetSysColor(COLOR_ENDCOLORS + 1), 0u);
  SetSysColor(99, RGB(9, 9, 9));  // ignored, no write outside the table
  EXPECT_EQ(GetRValue(RGB(10, 20, 30)), 10);
  EXPECT_EQ(GetGValue(RGB(10, 20, 30)), 20);
  EXPECT_EQ(GetBValue(RGB(10, 20, 30)), 30);
}

}  // namespace
}  // namespace kv
