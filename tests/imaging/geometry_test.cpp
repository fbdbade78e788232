#include "imaging/model/geometry.h"

#include <gtest/gtest.h>

namespace kv {
namespace {

TEST(SnapDragPoint, TableOfDrags) {
  struct Case {
    int32_t ax, ay, x, y, wantX, wantY;
  };
  const Case cases[] = {
      {0, 0, 10, 100, 0, 100},       // steep: vertical
      {0, 0, 100, 10, 100, 0},       // flat: horizontal
      {0, 0, 100, 90, 100, 100},     // right, below: the shorter side grows
      {0, 0, 90, 100, 100, 100},
      {0, 0, -100, -90, -90, -90},   // left, above: the longer side shrinks
      {0, 0, -90, -100, -90, -90},
      {0, 0, -100, 90, -100, 100},   // left, below
      {0, 0, -90, 100, -100, 100},
      {0, 0, 100, -90, 100, -100},   // above, right
      {0, 0, 90, -100, 100, -100},
      {0, 0, 20, 0, 20, 0},          // on the anchor's row, within 30: left alone
      {0, 0, 0, -25, 0, -25},        // on its column
      {0, 0, 0, 0, 0, 0},
      {50, 50, 150, 140, 150, 150},  // the anchor need not be the origin
      {-40, 7, -140, -83, -130, -83},
  };
  for (const Case& c : cases) {
    int32_t x = c.x, y = c.y;
    SnapDragPoint(c.ax, c.ay, x, y);
    EXPECT_EQ(x, c.wantX) << c.ax << ',' << c.ay << " -> " << c.x << ',' << c.y;
    EXPECT_EQ(y, c.wantY) << c.ax << ',' << c.ay << " -> " << c.x << ',' << c.y;
  }
}

TEST(SnapDragPoint, ExtremeCoordinatesDoNotOverflow) {
  int32_t x = INT32_MAX, y = 60;
  SnapDragPoint(INT32_MAX - 47, 0, x, y);  // diagonal would move x past the int32 range
  EXPECT_EQ(x, INT32_MAX);
  EXPECT_EQ(y, 60);
  x = INT32_MAX;
  y = 1;
  SnapDragPoint(INT32_MIN, 0, x, y);  // a difference of nearly 2^32
  EXPECT_EQ(x, INT32_MAX);
  EXPECT_EQ(y, 0);
}

TEST(HitTests, BoxesAndPoints) {
  const TRect r{10, 10, 20, 20};
  EXPECT_TRUE(SegmentBoxHitsRect(0, 0, 10, 10, r));  // touching a corner counts
  EXPECT_TRUE(SegmentBoxHitsRect(10, 10, 0, 0, r));
  EXPECT_TRUE(SegmentBoxHitsRect(0, 15, 30, 15, r));
  EXPECT_FALSE(SegmentBoxHitsRect(0, 0, 9, 30, r));
  EXPECT_FALSE(SegmentBoxHitsRect(21, 0, 30, 30, r));

  EXPECT_TRUE(IMPointInsideRect(10, 20, r));
  EXPECT_FALSE(IMPointInsideRect(21, 15, r));
  EXPECT_FALSE(IMPointInsideRect(15, 15, TRect{20, 20, 10, 10}));  // unordered: not for this one
  EXPECT_TRUE(PointInRectAny(15, 15, TRect{20, 20, 10, 10}));
  EXPECT_TRUE(PointInRectAny(20, 10, TRect{20, 20, 10, 10}));
  EXPECT_FALSE(PointInRectAny(9, 15, TRect{20, 20, 10, 10}));
}

TEST(HitTests, RectRelation) {
  const TRect a{0, 0, 100, 100};
  struct Case {
    TRect b;
    int32_t want;
  };
  const Case cases[] = {
      {{10, 10, 20, 20}, 2},     {{0, 0, 100, 100}, 2},     // inside, edges included
      {{50, 50, 150, 60}, 1},    {{40, -50, 60, 50}, 1},    // one edge out
      {{-10, -10, 50, 50}, 1},                              // a corner out
      {{-50, -50, 150, 150}, 0}, {{200, 200, 300, 300}, 0}, // around, apart
      {{-50, 40, 150, 60}, 0},                              // a bar right across: no edge inside
  };
  for (const Case& c : cases)
    EXPECT_EQ(RectRelation(a, c.b), c.want) << c.b.Left << ',' << c.b.Top << ',' << c.b.Right << ',' << c.b.Bottom;
}

TEST(Distances, PointAndSegment) {
  EXPECT_DOUBLE_EQ(PointDistance({0, 0}, {3, 4}), 5.0);
  EXPECT_DOUBLE_EQ(PointDistance({INT32_MIN, 0}, {INT32_MAX, 0}), 4294967295.0);
  const TPoint a{0, 0}, b{10, 0};
  EXPECT_DOUBLE_EQ(PointSegmentDistance({5, 3}, a, b), 3.0);
  EXPECT_DOUBLE_EQ(PointSegmentDistance({5, -3}, a, b), 3.0);
  EXPECT_DOUBLE_EQ(PointSegmentDistance({13, 4}, a, b), 5.0);   // beyond end 2: distance to end 2
  EXPECT_DOUBLE_EQ(PointSegmentDistance({-3, -4}, a, b), 5.0);  // before end 1
  EXPECT_DOUBLE_EQ(PointSegmentDistance({10, 7}, a, b), 7.0);   // t = 1 exactly
  EXPECT_DOUBLE_EQ(PointSegmentDistance({2, 2}, {0, 0}, {4, 4}), 0.0);
  EXPECT_DOUBLE_EQ(PointSegmentDistance({5, 6}, {2, 2}, {2, 2}), 5.0);  // degenerate segment
  EXPECT_EQ(PointSegmentDistance({0, 50000}, a, b), kFarDistance);
  EXPECT_EQ(PointSegmentDistance({0, 1}, a, {46000, 0}), kFarDistance);
  EXPECT_EQ(PointSegmentDistance({INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, b), kFarDistance);
}

TEST(Distances, Polyline) {
  const TPoint pts[] = {{0, 0}, {10, 0}, {10, 10}};
  // Mapped: (5, 5), (25, 5), (25, 25).
  EXPECT_DOUBLE_EQ(PointPolylineDistance({15, 8}, pts, 3, 2, 2, 5, 5, 0, 0), 3.0);
  EXPECT_DOUBLE_EQ(PointPolylineDistance({29, 20}, pts, 3, 2, 2, 5, 5, 0, 0), 4.0);
  // The origin is subtracted before scaling: mapped (-10, 0), (0, 0), (0, 10).
  EXPECT_DOUBLE_EQ(PointPolylineDistance({-5, 3}, pts, 3, 1, 1, 0, 0, 10, 0), 3.0);
  // Halves round to even: x = 2.5 maps to 2.
  const TPoint col[] = {{5, 5}, {5, 15}};
  EXPECT_DOUBLE_EQ(PointPolylineDistance({0, 5}, col, 2, 0.5, 0.5, 0, 0, 0, 0), 2.0);
  EXPECT_EQ(PointPolylineDistance({0, 0}, pts, 0, 1, 1, 0, 0, 0, 0), kFarDistance);
  EXPECT_EQ(PointPolylineDistance({0, 0}, pts, 1, 1, 1, 0, 0, 0, 0), kFarDistance);
  EXPECT_EQ(PointPolylineDistance({0, 0}, nullptr, 5, 1, 1, 0, 0, 0, 0), kFarDistance);
}

}  // namespace
}  // namespace kv
