#include "imaging/model/draw_utils.h"

#include <gtest/gtest.h>

#include <cstring>

#include "imaging/model/pixel.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

constexpr TColor GrayColor(int g) { return TColor(g * 0x010101); }

// A 24-bit bitmap whose every pixel differs from its neighbours, so that copies can be checked.
void FillPattern(TBitmap& b) {
  test::Fill24(b, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x ^ y), uint8_t(y * 3), uint8_t(x)}; });
}

bool SamePixels(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
  for (int32_t y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), 3 * size_t(a.Width())) != 0) return false;
  return true;
}

TEST(Draw3DFrame, DarkTopLeftLightBottomRight) {
  TBitmap b(20, 20, pf24bit);
  test::FillFlat24(b, test::Gray(255));
  b.Canvas().Pen().SetMode(pmXor);  // the frame always draws in copy mode
  b.Canvas().Pen().SetStyle(psDot);
  Draw3DFrame(b.Canvas(), 2, 3, 10, 12, clRed, clBlue);
  for (int32_t y = 3; y <= 11; ++y) EXPECT_EQ(b.GetPixelColor(2, y), clBlue) << "left " << y;
  for (int32_t x = 2; x <= 9; ++x) EXPECT_EQ(b.GetPixelColor(x, 3), clBlue) << "top " << x;
  for (int32_t x = 2; x <= 9; ++x) EXPECT_EQ(b.GetPixelColor(x, 12), clRed) << "bottom " << x;
  for (int32_t y = 4; y <= 12; ++y) EXPECT_EQ(b.GetPixelColor(10, y), clRed) << "right " << y;
  EXPECT_EQ(b.GetPixelColor(10, 3), clWhite);  // both lines stop short of the top-right corner
  EXPECT_EQ(b.GetPixelColor(6, 7), clWhite);
  EXPECT_EQ(b.GetPixelColor(11, 12), clWhite);
}

TEST(DrawTextBox, FitsSavesAndRestores) {
  TBitmap canvasBmp(200, 100, pf24bit);
  FillPattern(canvasBmp);
  TBitmap original;
  original.Assign(&canvasBmp);
  TCanvas& c = canvasBmp.Canvas();
  TBrush brush;
  brush.SetColor(clYellow);
  TFont font;
  font.SetColor(clBlack);
  font.SetHeight(-12);
  const std::string text = "Kavrelin 42";

  TBitmap save;
  save.SetPixelFormat(pf8bit);
  int32_t x = 190, y = 5;  // near the right edge: the box moves left to fit
  DrawTextBox(c, x, y, clWhite, clGray, 100, 200, save, brush, font, text);
  c.Font().Assign(font);
  const TSize ext = c.TextExtent(text);
  ASSERT_GT(ext.cx, 0);
  const int32_t w = ext.cx + 12, h = ext.cy + 12;
  EXPECT_EQ(x, 200 - w - 1);
  EXPECT_EQ(y, 5);

  // What the box covered is in the save bitmap.
  EXPECT_EQ(save.PixelFormat(), pf24bit);
  ASSERT_EQ(save.Width(), w);
  ASSERT_EQ(save.Height(), h);
  for (int32_t j = 0; j < h; ++j)
    for (int32_t i = 0; i < w; ++i) ASSERT_EQ(save.GetPixelColor(i, j), original.GetPixelColor(x + i, y + j)) << i << ',' << j;

  // The box: frame, brush margin, some text; the top-left margin of 6 is left alone.
  EXPECT_EQ(canvasBmp.GetPixelColor(x + 6, y + 6), clGray);
  EXPECT_EQ(canvasBmp.GetPixelColor(x + w - 1, y + h - 1), clWhite);
  EXPECT_EQ(canvasBmp.GetPixelColor(x + 8, y + h - 2), clYellow);
  EXPECT_EQ(canvasBmp.GetPixelColor(x + 2, y + 2), original.GetPixelColor(x + 2, y + 2));
  EXPECT_EQ(canvasBmp.GetPixelColor(x + w, y + 8), original.GetPixelColor(x + w, y + 8));
  int inked = 0;
  for (int32_t j = y + 9; j < y + 9 + ext.cy; ++j)
    for (int32_t i = x + 9; i < x + 9 + ext.cx; ++i) inked += canvasBmp.GetPixelColor(i, j) != clYellow;
  EXPECT_GT(inked, 10);

  // Putting the save bitmap back erases the whole box.
  c.SetCopyMode(cmSrcCopy);
  c.Draw(x, y, save);
  EXPECT_TRUE(SamePixels(canvasBmp, original));

  x = -50;
  y = -20;
  DrawTextBox(c, x, y, clWhite, clGray, 100, 200, save, brush, font, text);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
  y = 95;
  DrawTextBox(c, x, y, clWhite, clGray, 100, 200, save, brush, font, text);
  EXPECT_EQ(y + h, 99);
}

// Gray levels trunc(exp(t) / e * 255): 93 at the picture's edge, rising outward.
TEST(DrawShadow, ShadedLinesRightAndBottom) {
  TBitmap b(60, 60, pf24bit);
  test::FillFlat24(b, test::Gray(255));
  DrawShadowRight(b.Canvas(), 10, 5, 2, 50, 14);  // w = 5: lines from y = 10 to 47 + k
  for (int32_t y = 10; y <= 47; ++y) ASSERT_EQ(b.GetPixelColor(10, y), GrayColor(93)) << y;
  EXPECT_EQ(b.GetPixelColor(10, 9), clWhite);
  EXPECT_EQ(b.GetPixelColor(10, 48), clWhite);
  EXPECT_EQ(b.GetPixelColor(11, 30), GrayColor(114));
  EXPECT_EQ(b.GetPixelColor(14, 51), GrayColor(208));  // the slanted lower end
  EXPECT_EQ(b.GetPixelColor(14, 52), clWhite);
  EXPECT_EQ(b.GetPixelColor(15, 30), clWhite);

  test::FillFlat24(b, test::Gray(255));
  DrawShadowBottom(b.Canvas(), 5, 10, 2, 14, 50);  // the same strip, rows and columns exchanged
  for (int32_t x = 10; x <= 47; ++x) ASSERT_EQ(b.GetPixelColor(x, 10), GrayColor(93)) << x;
  EXPECT_EQ(b.GetPixelColor(9, 10), clWhite);
  EXPECT_EQ(b.GetPixelColor(48, 10), clWhite);
  EXPECT_EQ(b.GetPixelColor(30, 11), GrayColor(114));
  EXPECT_EQ(b.GetPixelColor(51, 14), GrayColor(208));
  EXPECT_EQ(b.GetPixelColor(52, 14), clWhite);
}

TEST(DrawShadow, FadedEnds) {
  TBitmap b(60, 60, pf24bit);
  test::FillFlat24(b, test::Gray(0));
  DrawShadowRight(b.Canvas(), 10, 5, 3, 24, 14);  // w = 5, H = 20
  EXPECT_EQ(b.GetPixelColor(10, 5), GrayColor(255));   // the upper end starts white
  EXPECT_EQ(b.GetPixelColor(10, 8), GrayColor(162));   // fading in: max(93, 162)
  EXPECT_EQ(b.GetPixelColor(10, 15), GrayColor(93));   // middle: the edge's own level
  EXPECT_EQ(b.GetPixelColor(15, 15), GrayColor(255));  // i runs to w inclusive
  EXPECT_EQ(b.GetPixelColor(14, 25), GrayColor(208));  // last row: only i = 4, 5
  EXPECT_EQ(b.GetPixelColor(13, 25), clBlack);
  EXPECT_EQ(b.GetPixelColor(10, 21), GrayColor(93));   // j = 16: still full width
  EXPECT_EQ(b.GetPixelColor(10, 22), clBlack);         // j = 17: the slant begins
  EXPECT_EQ(b.GetPixelColor(10, 26), clBlack);
  EXPECT_EQ(b.GetPixelColor(16, 15), clBlack);

  test::FillFlat24(b, test::Gray(0));
  DrawShadowBottom(b.Canvas(), 5, 10, 3, 14, 24);
  EXPECT_EQ(b.GetPixelColor(5, 10), GrayColor(255));
  EXPECT_EQ(b.GetPixelColor(8, 10), GrayColor(162));
  EXPECT_EQ(b.GetPixelColor(15, 10), GrayColor(93));
  EXPECT_EQ(b.GetPixelColor(15, 15), GrayColor(255));
  EXPECT_EQ(b.GetPixelColor(25, 14), GrayColor(208));
  EXPECT_EQ(b.GetPixelColor(25, 13), clBlack);
}

TEST(DrawShadow, BrushFillAndDegenerateStrips) {
  TBitmap b(60, 60, pf24bit);
  test::FillFlat24(b, test::Gray(255));
  b.Canvas().Brush().SetColor(clBlue);
  DrawShadowRight(b.Canvas(), 10, 5, 1, 50, 14);  // (10, 10) to (14, 51), right and bottom exclusive
  EXPECT_EQ(b.GetPixelColor(10, 10), clBlue);
  EXPECT_EQ(b.GetPixelColor(13, 50), clBlue);
  EXPECT_EQ(b.GetPixelColor(14, 30), clWhite);
  EXPECT_EQ(b.GetPixelColor(10, 9), clWhite);
  EXPECT_EQ(b.GetPixelColor(10, 51), clWhite);

  test::FillFlat24(b, test::Gray(255));
  TBitmap before;
  before.Assign(&b);
  for (int kind : {0, 1, 2, 3, 4}) {
    DrawShadowRight(b.Canvas(), 14, 5, kind, 50, 10);  // right of left: no strip
    DrawShadowBottom(b.Canvas(), 5, 14, kind, 10, 50);
    DrawShadowRight(b.Canvas(), INT32_MIN, 0, kind, INT32_MAX, INT32_MAX);
  }
  DrawShadowRight(b.Canvas(), 10, 5, 0, 50, 14);  // unknown kind: nothing
  EXPECT_TRUE(SamePixels(b, before));
}

}  // namespace
}  // namespace kv
