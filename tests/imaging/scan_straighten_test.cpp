// Straightening, cutting and separating generated scans: pictures on a
// scanner-white sheet with noise, turned by known angles.
#include <gtest/gtest.h>

#include <cmath>

#include "imaging/processing/scan_straighten.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

using namespace kv::test;

struct TPhoto {
  double CX, CY, W, H, Angle;  // centre, size, counter-clockwise turn in degrees
};

// A textured photo colour, well away from white in every channel.
TBGRPixel PhotoColour(double U, double V) {
  return {uint8_t(60 + int(std::fabs(U)) % 90), uint8_t(40 + int(std::fabs(V)) % 120), uint8_t(90 + int(U + V) % 50 + 10)};
}

// White with up to Noise below it, photos drawn over it without smoothing.
std::unique_ptr<TBitmap> Sheet(int32_t W, int32_t H, const std::vector<TPhoto>& Photos, int32_t Noise) {
  uint32_t seed = 12345;
  return Make24(W, H, [&](int32_t x, int32_t y) {
    for (const TPhoto& p : Photos) {
      const double a = p.Angle * M_PI / 180, dx = x + 0.5 - p.CX, dy = y + 0.5 - p.CY;
      const double u = dx * std::cos(a) - dy * std::sin(a), v = dx * std::sin(a) + dy * std::cos(a);
      if (std::fabs(u) <= p.W / 2 && std::fabs(v) <= p.H / 2) return PhotoColour(u + p.W / 2, v + p.H / 2);
    }
    seed = seed * 1664525 + 1013904223;
    const uint8_t g = uint8_t(255 - (Noise ? (seed >> 24) % uint32_t(Noise + 1) : 0));
    return TBGRPixel{g, g, g};
  });
}

TScanSetup ScanSetup(const TBitmap& B, int32_t Tolerance) {
  TScanSetup s;
  s.X2 = B.Width();
  s.Y2 = B.Height();
  s.Tolerance = Tolerance;
  s.Border = {255, 255, 255};
  s.RunLength = 5;
  return s;
}

TEST(ScanStraighten, TurnedScansComeOutStraight) {
  for (double angle : {-40.0, -27.5, -12.0, -3.0, 1.5, 8.0, 21.0, 33.0, 40.0}) {
    SCOPED_TRACE(angle);
    auto b = Sheet(420, 380, {{210, 190, 230, 150, angle}}, 8);
    TProgressRec none;
    const std::optional<double> found = FindStraightenAngle(*b, ScanSetup(*b, 20), none);
    ASSERT_TRUE(found);
    EXPECT_NEAR(std::fabs(*found), std::fabs(angle), 0.5);
    ASSERT_TRUE(StraightenImage(*b, ScanSetup(*b, 20), none));
    // What is left of the tilt after the turn (the turn is smoothed, so the
    // edge is found a little less sharply).
    const std::optional<double> rest = FindStraightenAngle(*b, ScanSetup(*b, 20), none);
    if (rest) {
      EXPECT_NEAR(*rest, 0, 0.5);
    }
  }
}

TEST(ScanStraighten, StraightScanIsLeftAlone) {
  auto b = Sheet(200, 160, {{100, 80, 120, 90, 0}}, 8);
  TProgressRec none;
  EXPECT_FALSE(FindStraightenAngle(*b, ScanSetup(*b, 20), none));
  EXPECT_FALSE(StraightenImage(*b, ScanSetup(*b, 20), none));
  EXPECT_EQ(b->Width(), 200);
}

TEST(ScanStraighten, CutBorderKeepsThePicture) {
  // The photo covers columns 40..159 and rows 30..109.
  auto b = Sheet(200, 150, {{100, 70, 120, 80, 0}}, 8);
  TProgressRec none;
  const std::optional<TRect> r = FindCutRect(*b, ScanSetup(*b, 30), 0, none);
  ASSERT_TRUE(r);
  EXPECT_EQ(*r, (TRect{40, 30, 160, 110}));
  EXPECT_EQ(FindCutRect(*b, ScanSetup(*b, 30), 3, none), (TRect{43, 33, 157, 107}));
  ASSERT_TRUE(CutBorder(*b, ScanSetup(*b, 30), 0, none));
  EXPECT_EQ(b->Width(), 120);
  EXPECT_EQ(b->Height(), 80);
  // An empty sheet is not cut.
  auto empty = Sheet(80, 60, {}, 8);
  EXPECT_FALSE(CutBorder(*empty, ScanSetup(*empty, 30), 0, none));
}

bool Inside(const TRect& Outer, double L, double T, double R, double B) {
  return Outer.Left <= L && Outer.Top <= T && Outer.Right >= R && Outer.Bottom >= B;
}

TEST(ScanStraighten, SeparatesASheetOfThreePhotos) {
  const std::vector<TPhoto> photos{{130, 110, 180, 140, 0}, {430, 120, 200, 150, 0}, {260, 370, 300, 140, 0}};
  auto b = Sheet(600, 500, photos, 4);
  const std::vector<TRect> pieces = SeparateScannedImages(*b, ScanSetup(*b, 20), 20);
  ASSERT_EQ(pieces.size(), 3u);
  for (const TPhoto& p : photos) {
    int32_t holders = 0;
    for (const TRect& r : pieces) holders += Inside(r, p.CX - p.W / 2, p.CY - p.H / 2, p.CX + p.W / 2, p.CY + p.H / 2);
    EXPECT_EQ(holders, 1) << p.CX;
  }
  // Nearer than the minimum size: one picture.
  EXPECT_EQ(SeparateScannedImages(*b, ScanSetup(*b, 20), 400).size(), 1u);
  // Nothing on the sheet: the whole sheet is one piece.
  auto empty = Sheet(100, 80, {}, 4);
  EXPECT_EQ(SeparateScannedImages(*empty, ScanSetup(*empty, 20), 10), (std::vector<TRect>{TRect{0, 0, 100, 80}}));
}

TEST(ScanStraighten, EdgeLineNeedsARunOfContent) {
  const TBGRPixel w{255, 255, 255}, d{0, 0, 0};
  const std::vector<TBGRPixel> line{w, d, d, w, d, d, d}, white(7, w);
  EXPECT_TRUE(IsEdgeLine(line.data(), white.data(), 7, 20, 3, w));
  EXPECT_FALSE(IsEdgeLine(line.data(), white.data(), 7, 20, 4, w));
  EXPECT_FALSE(IsEdgeLine(line.data(), white.data(), 2, 20, 3, w));  // shorter than the run
  EXPECT_EQ(CmToPixels(0.5, 1, 254, 96), 50);
  EXPECT_EQ(CmToPixels(2.54, 0.5, 0, 96), 48);
}

}  // namespace
}  // namespace kv
