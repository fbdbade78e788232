// Placing, blending and cutting out two joined pictures.
#include <gtest/gtest.h>

#include "imaging/processing/join_images.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

using namespace kv::test;

TBGRPixel At(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }

TEST(JoinImages, DirectionOffsets) {
  double x = -1, y = -1;
  DirectionOffset(5, 100, 60, x, y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 60);
  DirectionOffset(0, 100, 60, x, y);
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 30);
}

TEST(JoinImages, SideBySideUnionIsTheWholeWidth) {
  auto a = Make24(100, 50, [](int32_t, int32_t) { return Gray(10); });
  auto b = Make24(100, 50, [](int32_t, int32_t) { return Gray(200); });
  const TJoinPlacement p = PlaceJoin(8, 100, 50, 100, 50);
  EXPECT_EQ(p.X0, 0);
  EXPECT_EQ(p.X1, 100);
  EXPECT_EQ(p.Y1, p.Y0);
  TBitmap preview(200, 100, pf24bit);
  DrawJoinPreview(preview, *a, *b, p, 50);
  // The union reaches the preview's last column: 200 wide, 50 high.
  const TRect r = JoinUnion(preview, 100, 50, 100, 50, p);
  EXPECT_EQ(r.Width(), 200);
  EXPECT_EQ(r.Height(), 50);
  EXPECT_EQ(At(preview, 99, p.Y0), Gray(10));
  EXPECT_EQ(At(preview, 199, p.Y0 + 49), Gray(200));
}

TEST(JoinImages, OverlapIsBlendedByTheWeight) {
  auto a = Make24(10, 10, [](int32_t, int32_t) { return Gray(11); });
  auto b = Make24(10, 10, [](int32_t, int32_t) { return Gray(200); });
  TJoinPlacement p;  // both at (0, 0)
  TBitmap preview(20, 20, pf24bit);
  for (auto [weight, want] : {std::pair{50.0, 105}, {100.0, 200}, {0.0, 11}}) {
    DrawJoinPreview(preview, *a, *b, p, weight);
    EXPECT_EQ(At(preview, 4, 4), Gray(uint8_t(want))) << weight;
    EXPECT_EQ(At(preview, 15, 15), TBGRPixel{});
  }
}

}  // namespace
}  // namespace kv
