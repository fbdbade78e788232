// The drawing primitives of the image window: the flood fill, the brush dab
// and the shapes, including the rubber band of a drag.
#include <gtest/gtest.h>

#include <cstring>

#include "child_test_support.h"

namespace kv {
namespace {

using test::Gray;
using test::Make24;

TBGRPixel PixelAt(const TBitmap& B, int32_t X, int32_t Y) {
  return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X];
}

int32_t CountEqual(const TBitmap& B, TBGRPixel P) {
  int32_t n = 0;
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x) n += PixelAt(B, x, y) == P;
  return n;
}

bool SamePixels(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height()) return false;
  for (int32_t y = 0; y < A.Height(); ++y)
    if (std::memcmp(A.ScanLine(y), B.ScanLine(y), size_t(A.Width()) * 3) != 0) return false;
  return true;
}

constexpr TColor kRedFill = 0x0000FF;  // TColor is 0x00BBGGRR

TEST(ChildFloodFill, FillsAnAreaLargerThanAFixedQueueWould) {
  // 500 x 400 = 200,000 pixels of one colour, a frame of another around them.
  auto b = Make24(500, 400, [](int32_t x, int32_t y) {
    return (x == 0 || y == 0 || x == 499 || y == 399) ? Gray(0) : Gray(200);
  });
  Tchild::FloodFill(*b, 250, 200, TColor(0xC8C8C8), kRedFill, 10, 100);
  EXPECT_EQ(CountEqual(*b, TBGRPixel{0, 0, 255}), 498 * 398);
  EXPECT_EQ(PixelAt(*b, 0, 0), Gray(0));
}

TEST(ChildFloodFill, ToleranceIsAPerChannelLimit) {
  // Tolerance 10 lets each channel differ by up to 15 from the reference.
  auto b = Make24(5, 1, [](int32_t x, int32_t) {
    const uint8_t v[] = {100, 115, 85, 116, 100};
    return Gray(v[x]);
  });
  Tchild::FloodFill(*b, 0, 0, TColor(0x646464), kRedFill, 10, 100);
  EXPECT_EQ(PixelAt(*b, 0, 0), (TBGRPixel{0, 0, 255}));  // reached back from its neighbour
  EXPECT_EQ(PixelAt(*b, 1, 0), (TBGRPixel{0, 0, 255}));
  EXPECT_EQ(PixelAt(*b, 2, 0), (TBGRPixel{0, 0, 255}));
  EXPECT_EQ(PixelAt(*b, 3, 0), Gray(116));
  EXPECT_EQ(PixelAt(*b, 4, 0), Gray(100));  // behind a pixel out of tolerance
}

TEST(ChildFloodFill, IntensityMixesOldAndFill) {
  struct TCase {
    int32_t Intensity;
    TBGRPixel Expected;
  };
  for (const TCase& t : {TCase{100, {0, 0, 255}}, TCase{0, {100, 100, 100}}, TCase{50, {50, 50, 178}}}) {
    auto b = Make24(4, 4, [](int32_t, int32_t) { return Gray(100); });
    Tchild::FloodFill(*b, 1, 1, TColor(0x646464), kRedFill, 0, t.Intensity);
    EXPECT_EQ(PixelAt(*b, 3, 3), t.Expected) << t.Intensity;
  }
}

TEST(ChildFloodFill, LonePixelAndBadStartsChangeNothing) {
  auto b = Make24(3, 3, [](int32_t x, int32_t y) { return x == 1 && y == 1 ? Gray(100) : Gray(0); });
  Tchild::FloodFill(*b, 1, 1, TColor(0x646464), kRedFill, 10, 100);
  EXPECT_EQ(PixelAt(*b, 1, 1), Gray(100));
  EXPECT_EQ(CountEqual(*b, Gray(0)), 8);
  Tchild::FloodFill(*b, -1, 5, TColor(0), kRedFill, 10, 100);
  Tchild::FloodFill(*b, 3, 0, TColor(0), kRedFill, 10, 100);
  EXPECT_EQ(CountEqual(*b, Gray(0)), 8);
  TBitmap empty(0, 0, pf24bit);
  Tchild::FloodFill(empty, 0, 0, TColor(0), kRedFill, 10, 100);
}

using ChildDrawing = test::TChildWindowTest;

TEST_F(ChildDrawing, BrushSizesCoverTheirPixels) {
  TdrawingoptionsForm options(nullptr);
  Tchild* c = NewImage(20, 20, 0);
  SetTool(dtDraw);
  const int32_t expected[] = {1, 5, 9, 13, 21};
  for (int32_t size = 0; size < 5; ++size) {
    test::FillFlat24(c->imager1->Bitmap(), Gray(0));
    options.SetPenStyle(size);
    c->drawwithpinsel(10, 10, 0, clWhite);
    EXPECT_EQ(CountEqual(c->imager1->Bitmap(), Gray(255)), expected[size]) << size;
  }
  // At the edge the dab is clipped, not written outside.
  test::FillFlat24(c->imager1->Bitmap(), Gray(0));
  c->drawwithpinsel(0, 0, 0, clWhite);
  EXPECT_EQ(CountEqual(c->imager1->Bitmap(), Gray(255)), 8);  // the quarter of 21 inside
}

TEST_F(ChildDrawing, RedEyeAndCopyBrushTreatTheirPixels) {
  TdrawingoptionsForm options(nullptr);
  options.SetPenStyle(1);
  Tchild* c = NewImage(20, 20);
  TBitmap& b = c->imager1->Bitmap();
  test::Fill24(b, [](int32_t x, int32_t) { return TBGRPixel{10, 20, uint8_t(x < 10 ? 5 : 200)}; });
  SetTool(dtRedEye);
  c->drawwithpinsel(3, 3, 0, clBlack);
  EXPECT_EQ(PixelAt(b, 3, 3), (TBGRPixel{0, 0, 0}));       // the dab's own colour
  EXPECT_EQ(PixelAt(b, 4, 3), (TBGRPixel{10, 20, 0}));     // red 5 lowered, not below 0
  c->drawwithpinsel(14, 3, 0, clBlack);
  EXPECT_EQ(PixelAt(b, 15, 3), (TBGRPixel{10, 20, 190}));
  SetTool(dtCopypaint);
  c->refpoint = TPoint{12, 0};
  c->sourcepoint = TPoint{2, 0};
  c->drawwithpinsel(3, 8, 0, clBlack);
  EXPECT_EQ(PixelAt(b, 4, 8), (TBGRPixel{10, 20, 200}));   // from 10 pixels to the right
}

TEST_F(ChildDrawing, RightButtonShapesHaveEqualSides) {
  Tchild* c = NewImage(200, 200, 0);
  TBitmap& b = c->imager1->Bitmap();
  SetTool(dtRectangle);
  c->rightbutton = true;
  b.Canvas().Pen().SetColor(clWhite);
  b.Canvas().Brush().SetStyle(bsClear);
  for (TPoint drag : {TPoint{50, 30}, TPoint{30, 50}}) {
    test::FillFlat24(b, Gray(0));
    c->DrawShape(TPoint{10, 10}, TPoint{10 + drag.X, 10 + drag.Y}, pmCopy);
    int32_t right = 0, bottom = 0;
    for (int32_t y = 0; y < 200; ++y)
      for (int32_t x = 0; x < 200; ++x)
        if (PixelAt(b, x, y) == Gray(255)) right = std::max(right, x), bottom = std::max(bottom, y);
    EXPECT_EQ(right - 10 + 1, 30) << drag.X;
    EXPECT_EQ(bottom - 10 + 1, 30) << drag.X;
  }
}

TEST_F(ChildDrawing, RubberBandLeavesNoTraceAfterTheRelease) {
  const auto picture = [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x), uint8_t(y), 90}; };
  for (int32_t tool : {int32_t(dtLine), int32_t(dtRectangle), int32_t(dtEllipse), int32_t(dtRoundRect)}) {
    SetTool(tool);
    // The same shape drawn at once on a second window is what the drag must leave.
    Tchild* direct = NewImage(120, 100);
    Tchild* dragged = NewImage(120, 100);
    for (Tchild* c : {direct, dragged}) {
      test::Fill24(c->imager1->Bitmap(), picture);
      c->imager1->Bitmap().Canvas().Pen().SetColor(clWhite);
      c->imager1->Bitmap().Canvas().Brush().SetStyle(bsClear);
    }
    direct->DrawShape(TPoint{10, 10}, TPoint{50, 60}, pmCopy);
    Record(*dragged);
    const auto sx = [&](int32_t x) { return dragged->imager1->XBmp2Scr(x); };
    const auto sy = [&](int32_t y) { return dragged->imager1->YBmp2Scr(y); };
    Down(*dragged, sx(10), sy(10));
    Move(*dragged, sx(40), sy(30));
    Move(*dragged, sx(70), sy(20));
    Move(*dragged, sx(60), sy(80));
    Up(*dragged, sx(50), sy(60));  // comes up away from the last move
    EXPECT_TRUE(SamePixels(direct->imager1->Bitmap(), dragged->imager1->Bitmap())) << tool;
    EXPECT_FALSE(SamePixels(direct->imager1->Bitmap(), *test::Make24(120, 100, picture))) << tool;
    direct->Close();
    dragged->Close();
    Pump();
    Lines.clear();
  }
}

}  // namespace
}  // namespace kv
