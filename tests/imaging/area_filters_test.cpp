#include "imaging/processing/area_filters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdlib>
#include <random>
#include <vector>

#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

const TBGRPixel& At(const TBitmap& B, int32_t x, int32_t y) { return static_cast<const TBGRPixel*>(B.ScanLine(y))[x]; }

std::vector<uint8_t> Pixels(const TBitmap& B) {
  std::vector<uint8_t> v;
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* r = static_cast<const uint8_t*>(B.ScanLine(y));
    v.insert(v.end(), r, r + size_t(B.Width()) * 3);
  }
  return v;
}

std::unique_ptr<TBitmap> Random24(int32_t w, int32_t h, uint32_t seed, int32_t levels) {
  std::mt19937 rng(seed);
  // A few colours only: many equal gray levels, so the tie rule matters.
  std::vector<TBGRPixel> palette;
  for (int32_t i = 0; i < levels; ++i)
    palette.push_back(TBGRPixel{uint8_t(rng()), uint8_t(rng()), uint8_t(rng())});
  return test::Make24(w, h, [&](int32_t, int32_t) { return palette[rng() % palette.size()]; });
}

// ---- morphology ----

// The window search exactly as written down: (2r + 1)^2 comparisons a pixel,
// coordinates clamped to the rectangle, strict comparisons from the start value.
void MorphologyReference(TBitmap& B, int32_t r, bool Max, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  TBitmap copy;
  copy.Assign(&B);
  for (int32_t y = Y1; y < Y2; ++y)
    for (int32_t x = X1; x < X2; ++x) {
      int32_t best = Max ? 0 : 255;
      TBGRPixel colour = At(copy, x, y);
      for (int32_t dy = -r; dy <= r; ++dy)
        for (int32_t dx = -r; dx <= r; ++dx) {
          const TBGRPixel& p = At(copy, std::clamp(x + dx, X1, X2 - 1), std::clamp(y + dy, Y1, Y2 - 1));
          const int32_t g = GrayLevel(p);
          if (Max ? g > best : g < best) {
            best = g;
            colour = p;
          }
        }
      static_cast<TBGRPixel*>(B.ScanLine(y))[x] = colour;
    }
}

TEST(Morphology, MatchesTheWindowSearchWithItsTieRule) {
  struct TCase {
    int32_t W, H, R, Mode, X1, Y1, X2, Y2;
  };
  const TCase cases[] = {
      {23, 17, 1, 0, 0, 0, 23, 17},   {23, 17, 2, 1, 0, 0, 23, 17},   {23, 17, 3, 2, 0, 0, 23, 17},
      {23, 17, 2, 3, 0, 0, 23, 17},   {23, 17, 0, 0, 0, 0, 23, 17},   {23, 17, 40, 0, 0, 0, 23, 17},
      {23, 17, 2, 0, 5, 3, 14, 11},   {23, 17, 1, 1, -4, -4, 99, 6},  {1, 1, 3, 0, 0, 0, 1, 1},
      {1, 19, 2, 1, 0, 0, 1, 19},     {19, 1, 2, 3, 0, 0, 19, 1},     {31, 29, 7, 2, 0, 0, 31, 29},
  };
  for (const TCase& c : cases)
    for (int32_t levels : {3, 40}) {
      auto b = Random24(c.W, c.H, uint32_t(c.W * 131 + c.R * 7 + c.Mode + levels), levels);
      TBitmap expected;
      expected.Assign(b.get());
      int32_t x1 = std::max(c.X1, 0), y1 = std::max(c.Y1, 0), x2 = std::min(c.X2, c.W), y2 = std::min(c.Y2, c.H);
      const bool firstMax = c.Mode == 0 || c.Mode == 3;
      MorphologyReference(expected, c.R, firstMax, x1, y1, x2, y2);
      if (c.Mode >= 2) MorphologyReference(expected, c.R, !firstMax, x1, y1, x2, y2);
      Morphology(*b, c.R, c.Mode, nullptr, TIMProgressEvent(), c.X1, c.Y1, c.X2, c.Y2);
      EXPECT_EQ(Pixels(*b), Pixels(expected)) << c.W << 'x' << c.H << " r" << c.R << " mode " << c.Mode << " levels "
                                              << levels;
    }
}

TEST(Morphology, FirstPixelOfEqualGrayWinsAndBlackKeepsTheCentre) {
  // (100, 0, 0) and (0, 29, 13) have the same gray level 21.
  const TBGRPixel red{0, 0, 100}, teal{13, 29, 0}, black{}, dark{0, 0, 1};
  ASSERT_EQ(GrayLevel(red), GrayLevel(teal));
  auto b = test::Make24(3, 1, [&](int32_t x, int32_t) { return x == 0 ? teal : x == 1 ? black : red; });
  Morphology(*b, 1, mmMaximum, nullptr, TIMProgressEvent(), 0, 0, 3, 1);
  EXPECT_EQ(At(*b, 0, 0), teal);
  EXPECT_EQ(At(*b, 1, 0), teal);  // the leftmost of the two wins
  EXPECT_EQ(At(*b, 2, 0), red);
  // Gray 0 everywhere: no pixel beats the start value and each keeps its own colour.
  ASSERT_EQ(GrayLevel(dark), 0);
  auto z = test::Make24(3, 1, [&](int32_t x, int32_t) { return x == 1 ? dark : black; });
  Morphology(*z, 1, mmMaximum, nullptr, TIMProgressEvent(), 0, 0, 3, 1);
  EXPECT_EQ(At(*z, 0, 0), black);
  EXPECT_EQ(At(*z, 1, 0), dark);
}

TEST(Morphology, OnePixelGrowsIntoASquareAndOtherFormatsAreLeftAlone) {
  auto b = test::Make24(15, 15, [](int32_t x, int32_t y) { return test::Gray(x == 7 && y == 7 ? 255 : 0); });
  Morphology(*b, 3, mmMaximum, nullptr, TIMProgressEvent(), 0, 0, 15, 15);
  for (int32_t y = 0; y < 15; ++y)
    for (int32_t x = 0; x < 15; ++x)
      EXPECT_EQ(At(*b, x, y).g, (std::abs(x - 7) <= 3 && std::abs(y - 7) <= 3) ? 255 : 0) << x << ',' << y;

  TBitmap mono(8, 8, pf1bit);
  std::memset(mono.ScanLine(0), 0x5A, 1);
  Morphology(mono, 2, mmMaximum, nullptr, TIMProgressEvent(), 0, 0, 8, 8);
  EXPECT_EQ(*static_cast<const uint8_t*>(mono.ScanLine(0)), 0x5A);
  auto same = test::Make24(4, 4, [](int32_t x, int32_t y) { return test::Gray(uint8_t(x * 50 + y)); });
  const auto before = Pixels(*same);
  Morphology(*same, 2, 4, nullptr, TIMProgressEvent(), 0, 0, 4, 4);
  EXPECT_EQ(Pixels(*same), before);
}

TEST(Morphology, ProgressCountsTheRowsOfBothPasses) {
  auto b = Random24(9, 10, 5, 10);
  std::vector<int32_t> seen;
  const TIMProgressEvent progress = [&](TObject*, int32_t per) { seen.push_back(per); };
  Morphology(*b, 1, mmOpening, nullptr, progress, 0, 0, 9, 10);
  ASSERT_EQ(seen.size(), 20u);
  EXPECT_EQ(seen[0], 5);    // trunc(1 * 50 / 9.5)
  EXPECT_EQ(seen[9], 52);   // the first pass ends a little past half
  EXPECT_EQ(seen[19], 100);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
}

// ImageMagick's square dilation, erosion, opening and closing agree with ours
// on a gray picture whose levels stay apart under the gray rule (even values).
TEST(Morphology, MatchesImageMagick) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick not installed";
  std::mt19937 rng(7);
  auto b = test::Make24(47, 31, [&](int32_t x, int32_t y) {
    return test::Gray(uint8_t(((x * 7 + y * 13) % 5 == 0 ? rng() % 128 : 60 + (x + y) % 9) * 2));
  });
  test::TScratchFolder dir("morph");
  const std::string in = dir.Path() + "/in.ppm", out = dir.Path() + "/out.ppm";
  test::WritePnm(in, *b);
  struct TCase {
    const char* Method;
    int32_t Mode;
    int32_t R;
  };
  for (const TCase& c : {TCase{"Dilate", 0, 1}, TCase{"Erode", 1, 2}, TCase{"Open", 2, 3}, TCase{"Close", 3, 1},
                         TCase{"Dilate", 0, 9}}) {
    ASSERT_EQ(test::Run("convert " + in + " -morphology " + c.Method + " Square:" + std::to_string(c.R) + " " + out),
              0);
    TBitmap theirs;
    ASSERT_TRUE(test::ReadPnm(out, theirs));
    TBitmap ours;
    ours.Assign(b.get());
    Morphology(ours, c.R, c.Mode, nullptr, TIMProgressEvent(), 0, 0, 47, 31);
    EXPECT_EQ(Pixels(ours), Pixels(theirs)) << c.Method << ' ' << c.R;
  }
}

// ---- wave ----

TEST(Wave, ZeroAmplitudeOrWavelengthChangesNothing) {
  auto b = Random24(13, 9, 1, 50);
  const auto before = Pixels(*b);
  TProgressRec progress;
  Wave(*b, 0, 10, progress, false, 0);
  Wave(*b, 10, 0, progress, true, 45);
  EXPECT_EQ(Pixels(*b), before);
}

// With a wavelength far larger than the picture and a phase of 30 degrees
// every pixel reads half a pixel down and right: the mean of a 2 x 2 block,
// the block held inside the picture. Values are chosen so that each mean lies
// half-way between integers, out of reach of the slight rest of the sine.
TEST(Wave, ReadsBetweenPixelsBilinearly) {
  const int32_t n = 9;
  auto value = [](int32_t x, int32_t y) { return uint8_t(8 * ((x * 3 + y * 5) % 29) + ((x % 2 == 0 && y % 2 == 0) ? 2 : 0)); };
  auto b = test::Make24(n, n, [&](int32_t x, int32_t y) { return TBGRPixel{value(x, y), value(y, x), 7}; });
  TProgressRec progress;
  std::vector<int32_t> seen;
  progress.OnProgress = [&](TObject*, int32_t per) { seen.push_back(per); };
  Wave(*b, 1, 500000, progress, false, 30);
  for (int32_t y = 0; y < n; ++y)
    for (int32_t x = 0; x < n; ++x) {
      const int32_t ix = std::min(x, n - 2), iy = std::min(y, n - 2);
      const int32_t sum = value(ix, iy) + value(ix + 1, iy) + value(ix, iy + 1) + value(ix + 1, iy + 1);
      EXPECT_EQ(At(*b, x, y).b, sum / 4) << x << ',' << y;
      EXPECT_EQ(At(*b, x, y).r, 7);
    }
  ASSERT_EQ(seen.size(), size_t(n));
  EXPECT_EQ(seen.front(), 0);
  EXPECT_EQ(seen.back(), 88);  // trunc(8 * 100 / 9)
}

TEST(Wave, ReflectiveWaveKeepsTheCentre) {
  auto b = Random24(7, 7, 3, 50);
  const TBGRPixel centre = At(*b, 3, 3);
  TProgressRec progress;
  Wave(*b, 5, 3, progress, true, 90);
  EXPECT_EQ(At(*b, 3, 3), centre);
}

// Pictures one pixel wide or high have no right or lower neighbour to blend
// in: it counts as black, and nothing outside the picture is read.
TEST(Wave, HandlesPicturesOnePixelWideOrHigh) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 6}, std::pair{6, 1}, std::pair{2, 2}})
    for (bool reflective : {false, true}) {
      auto b = test::Make24(w, h, [](int32_t, int32_t) { return test::Gray(200); });
      TProgressRec progress;
      Wave(*b, 3, 2, progress, reflective, 30);
      for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) EXPECT_LE(At(*b, x, y).g, 200) << w << 'x' << h;
    }
  // 1 x 3, phase 30: column position 0.5 / 3, so a sixth of each sample is black.
  auto b = test::Make24(1, 3, [](int32_t, int32_t) { return test::Gray(120); });
  TProgressRec progress;
  Wave(*b, 1, 500000, progress, false, 30);
  for (int32_t y = 0; y < 3; ++y) EXPECT_NEAR(At(*b, 0, y).g, 100, 1) << y;
}

// ---- lens ----

TEST(Lens, RefractionOneOrLessChangesNothing) {
  auto b = Random24(40, 30, 9, 200);
  const auto before = Pixels(*b);
  TProgressRec progress;
  for (double n : {1.0, 0.5, -3.0}) {
    Lens(*b, 20, 15, progress, n, 30, 40);
    Lens(*b, 3, 28, progress, n, 17, 11);
    EXPECT_EQ(Pixels(*b), before) << n;
  }
}

// A refracting lens magnifies: every pixel inside the ellipse shows a point
// no farther from the centre than itself; pixels outside the box stay.
TEST(Lens, MagnifiesInsideTheEllipseOnly) {
  const int32_t w = 61, h = 51;
  auto b = test::Make24(w, h, [](int32_t x, int32_t y) { return TBGRPixel{0, uint8_t(y), uint8_t(x)}; });
  TProgressRec progress;
  std::vector<int32_t> seen;
  progress.OnProgress = [&](TObject*, int32_t per) { seen.push_back(per); };
  Lens(*b, 30, 25, progress, 2.0, 40, 50);  // box 5..55 x 5..45
  int32_t moved = 0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const TBGRPixel p = At(*b, x, y);
      if (x < 5 || x >= 55 || y < 5 || y >= 45) {
        EXPECT_TRUE(p.r == x && p.g == y) << x << ',' << y;
        continue;
      }
      EXPECT_LE(std::abs(p.r - 30), std::abs(x - 30) + 1) << x << ',' << y;
      EXPECT_LE(std::abs(p.g - 25), std::abs(y - 25) + 1) << x << ',' << y;
      moved += p.r != x || p.g != y;
    }
  EXPECT_GT(moved, 500);
  ASSERT_EQ(seen.size(), 50u);  // once per column of the box
  EXPECT_EQ(seen.back(), 100);
}

TEST(Lens, BoxesAtTheEdgesAndTinyPicturesStayInside) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 9}, std::pair{9, 1}, std::pair{2, 2}, std::pair{17, 13}}) {
    auto b = Random24(w, h, uint32_t(w * h), 30);
    TProgressRec progress;
    for (auto [cx, cy] : {std::pair{0, 0}, std::pair{w - 1, h - 1}, std::pair{w / 2, h / 2}, std::pair{-50, 4},
                          std::pair{INT32_MAX, INT32_MIN}})
      for (int32_t size : {1, 3, 8, 1000, INT32_MAX}) Lens(*b, cx, cy, progress, 2.5, size, size);
  }
  SUCCEED();  // the sanitizers judge
}

// ---- bump map ----

TEST(BumpMap, FullMixKeepsThePictureAndZeroExtentDoesNothing) {
  auto b = Random24(21, 14, 4, 100);
  const auto before = Pixels(*b);
  TProgressRec progress;
  BumpMap(*b, 10, 7, progress, 0, 0, 21, 14, 0xFFFFFF, 100, 30, 30);
  BumpMap(*b, 10, 7, progress, 0, 0, 21, 14, 0xFFFFFF, 0, 0, 30);
  BumpMap(*b, 10, 7, progress, 0, 0, 21, 14, 0xFFFFFF, 0, 30, 0);
  EXPECT_EQ(Pixels(*b), before);
}

// No mix and a flat picture: each pixel shows the light map where its offset
// from the light falls: 255 under the light, 128 half-way out, 0 at the extent.
TEST(BumpMap, FlatPictureShowsTheLightDisc) {
  auto b = test::Make24(200, 150, [](int32_t, int32_t) { return test::Gray(90); });
  TProgressRec progress;
  BumpMap(*b, 100, 70, progress, 0, 0, 200, 150, 0xFFFFFF, 0, 64, 64);
  EXPECT_EQ(At(*b, 100, 70), test::Gray(255));
  EXPECT_EQ(At(*b, 132, 70), test::Gray(128));
  EXPECT_EQ(At(*b, 100, 38), test::Gray(128));
  EXPECT_EQ(At(*b, 164, 70), test::Gray(0));
  EXPECT_EQ(At(*b, 0, 0), test::Gray(0));

  // A red light lights red only; half the mix keeps half of each channel.
  auto c = test::Make24(50, 50, [](int32_t, int32_t) { return TBGRPixel{100, 60, 20}; });
  BumpMap(*c, 25, 25, progress, 0, 0, 50, 50, 0xFF0000, 50, 20, 20);
  EXPECT_EQ(At(*c, 25, 25), (TBGRPixel{50, 30, 138}));  // round(10 + 255 / 2) = 138 (half to even)
}

TEST(BumpMap, LightsOnlyTheRectangleAndReadsItsEdgesClamped) {
  for (auto [w, h] : {std::pair{1, 1}, std::pair{1, 7}, std::pair{7, 1}, std::pair{30, 20}}) {
    auto b = Random24(w, h, 8, 60);
    TBitmap before;
    before.Assign(b.get());
    TProgressRec progress;
    std::vector<int32_t> seen;
    progress.OnProgress = [&](TObject*, int32_t per) { seen.push_back(per); };
    const int32_t x1 = w / 3, y1 = h / 3, x2 = w + 5, y2 = h - h / 4;
    BumpMap(*b, 3, 2, progress, x1, y1, x2, y2, 0x80FF40, 30, 9, 11);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (x < x1 || y < y1 || y >= y2) {
          EXPECT_EQ(At(*b, x, y), At(before, x, y)) << x << ',' << y;
        }
    ASSERT_EQ(seen.size(), size_t(y2 - y1));
    EXPECT_EQ(seen.back(), 100);
  }
}

}  // namespace
}  // namespace kv
