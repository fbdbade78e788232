// Stuck-pixel repair from a list and the hot-pixel filter.
#include <gtest/gtest.h>

#include "imaging/processing/stuck_pixels.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

using namespace kv::test;

TBGRPixel At(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }
TBGRPixel Ramp(int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 10), uint8_t(y * 10), uint8_t(100 + x)}; }

TEST(StuckPixels, EntriesReadAsNumbers) {
  int32_t x = -1, y = -1;
  EXPECT_TRUE(ParseStuckPixelEntry(" 12 , 7", x, y));
  EXPECT_EQ(x, 12);
  EXPECT_EQ(y, 7);
  EXPECT_TRUE(ParseStuckPixelEntry("3a,x", x, y));
  EXPECT_EQ(x, 3);
  EXPECT_EQ(y, 0);
  EXPECT_FALSE(ParseStuckPixelEntry(",5", x, y));
  EXPECT_FALSE(ParseStuckPixelEntry("5", x, y));
}

TEST(StuckPixels, ListedPixelsTakeTheNearestGoodNeighbour) {
  auto b = Make24(10, 4, Ramp);
  // A single one, two side by side (written differently: positions count,
  // not texts), one at the right edge, one in column 1 (column 0 may serve),
  // and one outside the picture.
  FixStuckPixels(*b, {"4,1", " 6,2", "7 ,2", "9,3", "1,0", "0,0", "2,0", "40,40"});
  EXPECT_EQ(At(*b, 4, 1), Ramp(5, 1));
  EXPECT_EQ(At(*b, 6, 2), Ramp(5, 2));  // its right neighbour is listed too
  EXPECT_EQ(At(*b, 7, 2), Ramp(8, 2));
  EXPECT_EQ(At(*b, 9, 3), Ramp(8, 3));
  // 0, 1 and 2 of row 0 are listed: 1 takes 3 (distance 2 on the right), 0 takes 3 too.
  EXPECT_EQ(At(*b, 1, 0), Ramp(3, 0));
  EXPECT_EQ(At(*b, 0, 0), Ramp(3, 0));
  // Everything not listed is untouched.
  EXPECT_EQ(At(*b, 5, 1), Ramp(5, 1));
  EXPECT_EQ(At(*b, 3, 3), Ramp(3, 3));
}

TEST(StuckPixels, FirstColumnServesAsSource) {
  auto b = Make24(3, 1, Ramp);
  FixStuckPixels(*b, {"1,0", "2,0"});
  EXPECT_EQ(At(*b, 1, 0), Ramp(0, 0));
  EXPECT_EQ(At(*b, 2, 0), Ramp(0, 0));
}

// Planted hot (white) and dead (black) pixels on a smooth picture are
// repaired there and nowhere else.
TEST(StuckPixels, HotPixelFilterRepairsPlantedPixelsOnly) {
  auto smooth = [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(60 + x), uint8_t(80 + y), uint8_t(100 + (x + y) / 2)}; };
  auto b = Make24(40, 30, smooth);
  const std::vector<std::pair<int32_t, int32_t>> hot{{5, 5}, {20, 12}, {0, 0}, {39, 29}}, dead{{30, 7}, {10, 25}};
  for (auto [x, y] : hot) static_cast<TBGRPixel*>(b->ScanLine(y))[x] = {255, 255, 255};
  for (auto [x, y] : dead) static_cast<TBGRPixel*>(b->ScanLine(y))[x] = {0, 0, 0};
  TProgressRec none;
  HotPixelKernel(*b, *b, 38, none, 1, 0, 0, 40, 30, 1, 0);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const TBGRPixel want = smooth(x, y), got = At(*b, x, y);
      bool planted = false;
      for (auto p : hot) planted = planted || (p.first == x && p.second == y);
      for (auto p : dead) planted = planted || (p.first == x && p.second == y);
      if (!planted) {
        ASSERT_EQ(got, want) << x << "," << y;
      } else {
        // A ring pixel: off by at most one step of the ramp in each direction.
        EXPECT_LE(std::abs(got.r - want.r), 2) << x << "," << y;
        EXPECT_LE(std::abs(got.g - want.g), 2) << x << "," << y;
      }
    }
}

// P takes the colour of Q, the last pixel of its ring; Q, alone on black
// except for P, must then still see P's original colour (dissimilar) and be
// repaired too. A kernel reading its own output would find P similar to Q.
TEST(StuckPixels, HotPixelFilterReadsTheOriginal) {
  auto b = Make24(7, 4, [](int32_t, int32_t) { return Gray(0); });
  static_cast<TBGRPixel*>(b->ScanLine(1))[3] = Gray(250);
  static_cast<TBGRPixel*>(b->ScanLine(2))[4] = Gray(100);
  TProgressRec none;
  HotPixelKernel(*b, *b, 20, none, 1, 0, 0, 7, 4, 1, 0);
  EXPECT_EQ(At(*b, 3, 1), Gray(100));
  EXPECT_EQ(At(*b, 4, 2), Gray(0));
  // A uniform picture stays as it is.
  auto flat = Make24(5, 5, [](int32_t, int32_t) { return Gray(9); });
  HotPixelKernel(*flat, *flat, 38, none, 1, 0, 0, 5, 5, 2, 0);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 5; ++x) ASSERT_EQ(At(*flat, x, y), Gray(9));
}

TEST(StuckPixels, DarkFrameStopsAtTheMaximum) {
  auto b = Make24(6, 2, [](int32_t x, int32_t y) { return Gray(uint8_t((x + y) % 2 ? 200 : 3)); });
  bool tooMany = true;
  EXPECT_EQ(FindDarkFramePixels(*b, 50, 100, tooMany), (std::vector<std::string>{"1,0", "3,0", "5,0", "0,1", "2,1", "4,1"}));
  EXPECT_FALSE(tooMany);
  EXPECT_EQ(FindDarkFramePixels(*b, 50, 4, tooMany).size(), 4u);
  EXPECT_TRUE(tooMany);
}

}  // namespace
}  // namespace kv
