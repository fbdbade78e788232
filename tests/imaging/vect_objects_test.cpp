// The vector object list without a window: handles, growth, shared bitmaps,
// hit testing and measuring against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "imaging/formats/codec.h"
#include "imaging/views/vect_object.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

TIMVObject Make(TIMVKind Kind, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  TIMVObject o;
  o.Kind = Kind;
  o.x1 = X1;
  o.y1 = Y1;
  o.x2 = X2;
  o.y2 = Y2;
  return o;
}

const TRect kAll{-1000000, -1000000, 1000000, 1000000};

TEST(VectObjects, HandlesOrderingAndGrowth) {
  TIMVObjectList l;
  EXPECT_EQ(l.Resolve(kIMVLast), kIMVNone);
  EXPECT_EQ(l.Get(0), nullptr);
  EXPECT_EQ(l.Get(kIMVTemplate), &l.Template());
  // Boxes are ordered, the end points of lines are kept as given.
  const int32_t box = l.Add(Make(imvkBox, 30, 40, 10, 20));
  const int32_t line = l.Add(Make(imvkLine, 30, 40, 10, 20));
  EXPECT_EQ(l.Get(box)->x1, 10);
  EXPECT_EQ(l.Get(box)->y2, 40);
  EXPECT_EQ(l.Get(line)->x1, 30);
  EXPECT_EQ(l.Resolve(kIMVLast), line);
  EXPECT_EQ(l.Capacity(), 522);
  while (l.Count() < 512) l.Add(Make(imvkBox, 0, 0, 1, 1));
  EXPECT_EQ(l.Capacity(), 522);
  l.Add(Make(imvkBox, 0, 0, 1, 1));  // the 513th grows the array once
  EXPECT_EQ(l.Capacity(), 1044);
  EXPECT_EQ(int32_t(l.DrawOrder().size()), 513);
}

TEST(VectObjects, CopiesOwnTheirStringsFontAndPoints) {
  TIMVObjectList l;
  TIMVObject o = Make(imvkPolyline, 0, 0, 10, 10);
  o.Text = "abc";
  o.Name = "n";
  o.Font = TIMVFont{};
  o.Points = {{0, 0}, {10, 10}};
  const int32_t h = l.Add(o);
  o.Text = "changed";
  o.Points.push_back({3, 3});
  o.Font->FaceName = "Other";
  EXPECT_EQ(l.Get(h)->Text, "abc");
  EXPECT_EQ(l.Get(h)->Points.size(), 2u);
  EXPECT_EQ(l.Get(h)->Font->FaceName, "Arial");
}

TEST(VectObjects, SharedBitmapsAreCountedAndFreed) {
  TIMVObjectList l;
  auto pic = test::Make24(8, 6, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 9), uint8_t(y * 7), 3}; });
  auto other = test::Make24(8, 6, [](int32_t, int32_t) { return TBGRPixel{1, 2, 3}; });
  const int32_t a = l.AddBitmap(*pic, nullptr, true);
  const int32_t b = l.AddBitmap(*pic, nullptr, true);
  EXPECT_EQ(a, b);
  EXPECT_EQ(l.BitmapEntry(a)->RefCount, 2);
  EXPECT_TRUE(l.BitmapEntry(a)->Alpha->Full);
  EXPECT_NE(l.AddBitmap(*pic, nullptr, false), a);  // without sharing: a copy of its own
  const int32_t c = l.AddBitmap(*other, nullptr, true);
  EXPECT_NE(c, a);
  // Other formats are kept as 24 bits, the format the drawing reads.
  TBitmap gray(4, 3, pf8bit);
  const int32_t g = l.AddBitmap(gray, nullptr, false);
  EXPECT_EQ(l.BitmapEntry(g)->Bitmap->PixelFormat(), pf24bit);
  EXPECT_EQ(l.BitmapEntry(g)->Bitmap->Width(), 4);
  l.ReleaseBitmap(g);
  // Objects hold references; removing one keeps the picture for the other.
  TIMVObject o = Make(imvkBitmap, 0, 0, 7, 5);
  o.BitmapIndex = a;
  const int32_t h1 = l.Add(o);
  l.ReleaseBitmap(a);
  l.ReleaseBitmap(a);  // the two AddBitmap references
  EXPECT_EQ(l.BitmapEntry(a)->RefCount, 1);
  const int32_t h2 = l.Add(o);
  EXPECT_EQ(l.BitmapEntry(a)->RefCount, 2);
  l.Remove(h1);
  ASSERT_NE(l.BitmapEntry(a), nullptr);
  l.Remove(h2);
  EXPECT_EQ(l.BitmapEntry(a), nullptr);  // free, and reused by the next picture
  EXPECT_EQ(l.AddBitmap(*other, nullptr, false), a);
  // Clearing frees everything and detaches the template.
  l.Template().BitmapIndex = c;
  l.Clear();
  EXPECT_EQ(l.Template().BitmapIndex, -1);
  EXPECT_EQ(l.BitmapEntryCount(), 0);
}

TEST(VectObjects, DistancesByKind) {
  struct Case {
    TIMVObject O;
    double X, Y, Want;
  };
  TIMVObject filled = Make(imvkBox, 0, 0, 100, 50);
  filled.BrushStyle = bsSolid;
  const double inCircle = 50 * std::cos(std::numbers::pi / 39);  // n = trunc(50 x 2 pi) shr 3 = 39
  for (const Case& c : {Case{Make(imvkLine, 0, 0, 100, 0), 50, 7, 7}, Case{Make(imvkLine, 0, 0, 100, 0), 103, 4, 5},
                        Case{Make(imvkRuler, 0, 0, 0, 100), 3, 50, 3},
                        Case{Make(imvkBox, 0, 0, 100, 50), 10, 20, 10},   // clear: the nearest side
                        Case{filled, 10, 20, 0},                           // filled: inside is 0
                        Case{Make(imvkText, 0, 0, 100, 50), 10, 20, 0}, Case{Make(imvkBitmap, 0, 0, 100, 50), 50, 25, 0},
                        Case{Make(imvkBox, 0, 0, 100, 50), 103, 54, 5},
                        Case{Make(imvkEllipse, 0, 0, 100, 100), 100, 50, 0},
                        Case{Make(imvkEllipse, 0, 0, 100, 100), 50, 50, inCircle},
                        Case{Make(imvkArc, 0, 0, 100, 100), 50, 50, inCircle},
                        Case{Make(imvkEllipse, 0, 0, 2, 2), 1, 1, -1},  // too small to have edges
                        Case{Make(imvkNone, 0, 0, 10, 10), 5, 5, -1}}) {
    EXPECT_NEAR(ObjectDistance(c.O, c.X, c.Y), c.Want, 1e-9) << int(c.O.Kind) << " " << c.X << "," << c.Y;
  }
  // A polyline is measured where its points are mapped to now.
  TIMVObject p = Make(imvkPolyline, 0, 0, 20, 40);
  p.Points = {{0, 0}, {10, 10}};
  p.RecordedBox = TRect{0, 0, 10, 10};
  EXPECT_NEAR(ObjectDistance(p, 20, 40), 0, 1e-9);
  EXPECT_NEAR(ObjectDistance(p, 10, 10), 10 / std::sqrt(5.0), 1e-9);
}

TEST(VectObjects, FindObjectAtTopmostFlagsAndLimits) {
  TIMVObjectList l;
  TIMVObject a = Make(imvkBox, 0, 0, 50, 50), b = Make(imvkBox, 20, 20, 80, 80);
  a.BrushStyle = b.BrushStyle = bsSolid;
  const int32_t ha = l.Add(a), hb = l.Add(b);
  EXPECT_EQ(l.FindObjectAt(30, 30, true, kAll, 100, -1), hb);  // both at 0: the later one
  EXPECT_EQ(l.FindObjectAt(10, 10, true, kAll, 100, -1), ha);
  l.Get(hb)->Flags &= uint8_t(~imvfSelectable);
  EXPECT_EQ(l.FindObjectAt(30, 30, true, kAll, 100, -1), ha);
  EXPECT_EQ(l.FindObjectAt(30, 30, false, kAll, 100, -1), hb);
  // Only objects whose box meets the visible part take part.
  EXPECT_EQ(l.FindObjectAt(30, 30, false, TRect{60, 60, 100, 100}, 100, -1), hb);
  EXPECT_EQ(l.FindObjectAt(30, 30, false, TRect{90, 90, 100, 100}, 100, -1), kIMVNone);
  // A distance limit in screen pixels: 5 at 200 % is 2.5 bitmap pixels.
  TIMVObjectList m;
  const int32_t line = m.Add(Make(imvkLine, 0, 0, 100, 0));
  EXPECT_EQ(m.FindObjectAt(50, 2, true, kAll, 200, 5), line);
  EXPECT_EQ(m.FindObjectAt(50, 3, true, kAll, 200, 5), kIMVNone);
  EXPECT_EQ(m.FindObjectAt(50, 900, true, kAll, 100, -1), line);  // no limit
  // Removed objects are gone from the draw order and the selection.
  EXPECT_TRUE(l.Select(ha));
  l.Remove(ha);
  EXPECT_FALSE(l.IsSelected(ha));
  EXPECT_EQ(l.FindObjectAt(10, 10, false, kAll, 100, -1), hb);
  EXPECT_FALSE(l.Select(ha));
}

TEST(VectObjects, UnitSizesAndMeasuring) {
  // One pixel at 100 dpi is 0.0254 cm: 100 pixels read 2.54.
  EXPECT_NEAR(100 * UnitSize(imuCENTIMETERS, 100, 1, 96), 2.54, 1e-12);
  struct Case {
    TIMUnits Unit;
    int32_t Dpi;
    double Perimeter, Area;  // of a 100 x 50 pixel rectangle
  };
  const TPoint rect[] = {{0, 0}, {100, 0}, {100, 50}, {0, 50}};
  for (const Case& c : {Case{imuPIXELS, 72, 300, 5000}, Case{imuINCHES, 100, 3, 0.5}, Case{imuCENTIMETERS, 254, 3, 0.5},
                        Case{imuMILLIMETERS, 254, 30, 50}, Case{imuMILLIMETERS, 25, 300 * 25.4 / 25,
                                                                 5000 * 25.4 / 25 * 25.4 / 25},
                        Case{imuMETERS, 254, 0.03, 0.00005}, Case{imuMICRONS, 254, 30000, 5e7}}) {
    const double u = UnitSize(c.Unit, c.Dpi, 1, 96);
    EXPECT_NEAR(PolygonsPerimeter(rect, 4, u, u, true), c.Perimeter, c.Perimeter * 1e-12) << c.Unit << " " << c.Dpi;
    EXPECT_NEAR(PolygonsArea(rect, 4, u, u), c.Area, c.Area * 1e-12) << c.Unit << " " << c.Dpi;
  }
  // A resolution of 0 takes the default one instead of dividing by zero.
  EXPECT_NEAR(UnitSize(imuINCHES, 0, 1, 50), 1.0 / 50, 1e-15);
  EXPECT_NEAR(UnitSize(imuINCHES, 0, 1, 0), 1.0, 1e-15);
  // The scale multiplies; different resolutions per axis.
  EXPECT_NEAR(UnitSize(imuINCHES, 100, 2, 96), 0.02, 1e-15);
  const double ux = UnitSize(imuINCHES, 100, 1, 96), uy = UnitSize(imuINCHES, 50, 1, 96);
  EXPECT_NEAR(PolygonsArea(rect, 4, ux, uy), 1.0, 1e-12);

  // Two polygons: a break closes the first; the area adds both.
  const TPoint two[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {kPolygonSeparator, 0}, {20, 20}, {30, 20}, {30, 30}};
  EXPECT_NEAR(PolygonsPerimeter(two, 8, 1, 1, true), 40 + 20 + std::sqrt(200.0), 1e-9);
  EXPECT_NEAR(PolygonsPerimeter(two, 8, 1, 1, false), 40 + 20, 1e-9);
  EXPECT_NEAR(PolygonsArea(two, 8, 1, 1), 150, 1e-9);
  EXPECT_EQ(PolygonsArea(rect, 2, 1, 1), 0);
  // An ellipse's polygon: a circle of radius 50 has 39 points on it.
  const auto circle = EllipseHitPolygon(Make(imvkEllipse, 0, 0, 100, 100));
  ASSERT_EQ(circle.size(), 39u);
  EXPECT_NEAR(circle[0].first, 100, 1e-9);
  EXPECT_NEAR(circle[0].second, 50, 1e-9);
}

TEST(VectObjects, ClippingAndArrows) {
  // A triangle far larger than the rectangle keeps exactly the rectangle's part.
  const auto c = ClipPolygonToRect({{-1e12, -1e12}, {1e12, -1e12}, {0, 1e12}}, 0, 0, 10, 10);
  ASSERT_EQ(c.size(), 4u);
  for (const auto& p : c) {
    EXPECT_GE(p.first, 0);
    EXPECT_LE(p.first, 10);
    EXPECT_GE(p.second, 0);
    EXPECT_LE(p.second, 10);
  }
  EXPECT_TRUE(ClipPolygonToRect({{20, 20}, {30, 20}, {25, 30}}, 0, 0, 10, 10).empty());
  // Shape 1: tip on the end point; shape 2: base on it, pointing on.
  const auto a1 = ArrowTriangle(0, 0, 100, 0, 1, 10, 20);
  const auto a2 = ArrowTriangle(0, 0, 100, 0, 2, 10, 20);
  ASSERT_EQ(a1.size(), 3u);
  EXPECT_EQ(a1[0], (std::pair<double, double>{100, 0}));
  EXPECT_EQ(a1[1], (std::pair<double, double>{80, 5}));
  EXPECT_EQ(a2[0], (std::pair<double, double>{120, 0}));
  EXPECT_EQ(a2[2], (std::pair<double, double>{100, -5}));
  EXPECT_TRUE(ArrowTriangle(5, 5, 5, 5, 1, 10, 20).empty());
}

}  // namespace
}  // namespace kv
