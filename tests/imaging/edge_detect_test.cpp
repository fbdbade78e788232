#include "imaging/processing/edge_detect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "imaging/model/pixel.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

const TIMProgressEvent kNoProgress;

using test::Gray;
using test::Paint24;

// Black on a white ground inside [X1, X2) x [Y1, Y2).
TBGRPixel Rect(int32_t x, int32_t y, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  return Gray(x >= X1 && x < X2 && y >= Y1 && y < Y2 ? 0 : 255);
}

bool White(const TBitmap& B, int32_t x, int32_t y) {
  return GetBit(static_cast<const uint8_t*>(B.ScanLine(y)), x);
}

// Edge pixels (clear bits) of a 1-bit map.
std::vector<std::pair<int32_t, int32_t>> EdgePixels(const TBitmap& B) {
  std::vector<std::pair<int32_t, int32_t>> v;
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x)
      if (!White(B, x, y)) v.emplace_back(x, y);
  return v;
}

void RunDefault(const TBitmap& Src, TBitmap& Dst) { ShenCastan(Src, Dst, 7, kNoProgress, nullptr, true, 0, 0.9, 0.99); }

TEST(ShenCastan, UniformPicturesGiveAllWhiteMaps) {
  struct Case {
    int32_t W, H;
    uint8_t Level;
  };
  for (const Case c : {Case{1, 1, 0}, Case{3, 2, 255}, Case{40, 30, 128}, Case{64, 1, 77}}) {
    TBitmap src, dst;
    Paint24(src, c.W, c.H, [&](int32_t, int32_t) { return Gray(c.Level); });
    for (bool hysteresis : {false, true}) {
      ShenCastan(src, dst, 7, kNoProgress, nullptr, hysteresis, 2, 0.9, 0.99);
      ASSERT_EQ(dst.PixelFormat(), pf1bit);
      ASSERT_EQ(dst.Width(), c.W);
      ASSERT_EQ(dst.Height(), c.H);
      EXPECT_TRUE(dst.Monochrome());
      EXPECT_TRUE(EdgePixels(dst).empty()) << c.W << 'x' << c.H << ' ' << hysteresis;
    }
  }
}

// A black square on white: edges trace its outline and nothing else, the
// first column and the last row stay white.
TEST(ShenCastan, EdgesFollowTheOutlineOfAShape) {
  TBitmap src, dst;
  Paint24(src, 90, 70, [](int32_t x, int32_t y) { return Rect(x, y, 30, 20, 60, 50); });
  RunDefault(src, dst);
  const auto edges = EdgePixels(dst);
  ASSERT_GT(edges.size(), 60u);
  bool side[4] = {};
  for (auto [x, y] : edges) {
    const int32_t dLeft = std::abs(x - 30), dRight = std::abs(x - 59), dTop = std::abs(y - 20),
                  dBottom = std::abs(y - 49);
    const bool nearX = x >= 27 && x <= 62, nearY = y >= 17 && y <= 52;
    EXPECT_TRUE((nearY && (dLeft <= 2 || dRight <= 2)) || (nearX && (dTop <= 2 || dBottom <= 2)))
        << x << ',' << y;
    side[0] |= nearY && dLeft <= 2;
    side[1] |= nearY && dRight <= 2;
    side[2] |= nearX && dTop <= 2;
    side[3] |= nearX && dBottom <= 2;
  }
  EXPECT_TRUE(side[0] && side[1] && side[2] && side[3]);
}

// The picture wraps around when it is embedded: its dark right half meets the
// light left edge, so edges follow the right side as well as the middle (they
// lie on the dark side of a step).
TEST(ShenCastan, EmbeddingWrapsAround) {
  TBitmap src, dst;
  Paint24(src, 80, 40, [](int32_t x, int32_t) { return Gray(x < 40 ? 255 : 0); });
  RunDefault(src, dst);
  int32_t middle = 0, right = 0, other = 0;
  for (auto [x, y] : EdgePixels(dst)) {
    if (x >= 37 && x <= 42) ++middle;
    else if (x >= 76) ++right;
    else ++other;
  }
  EXPECT_GT(middle, 20);
  EXPECT_GT(right, 20);
  EXPECT_EQ(other, 0);
}

TEST(ShenCastan, FirstColumnAndLastRowStayWhite) {
  // Edges run right along the first column and the last row of this picture.
  TBitmap src, dst;
  Paint24(src, 50, 40, [](int32_t x, int32_t y) { return Gray(((x / 3) + (y / 3)) % 2 ? 0 : 255); });
  RunDefault(src, dst);
  EXPECT_GT(EdgePixels(dst).size(), 100u);
  for (int32_t y = 0; y < dst.Height(); ++y) EXPECT_TRUE(White(dst, 0, y)) << y;
  for (int32_t x = 0; x < dst.Width(); ++x) EXPECT_TRUE(White(dst, x, dst.Height() - 1)) << x;
}

TEST(ShenCastan, SourceMayBeTheDestination) {
  TBitmap a, b;
  Paint24(a, 61, 47, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 7), uint8_t(y * 13), uint8_t(x * y)}; });
  RunDefault(a, b);
  RunDefault(a, a);
  ASSERT_EQ(a.PixelFormat(), pf1bit);
  EXPECT_EQ(EdgePixels(a), EdgePixels(b));
  EXPECT_FALSE(EdgePixels(b).empty());
}

TEST(ShenCastan, ProgressInSixths) {
  TBitmap src, dst;
  Paint24(src, 20, 10, [](int32_t x, int32_t) { return Gray(uint8_t(x * 10)); });
  TObject sender;
  std::vector<int32_t> seen;
  ShenCastan(src, dst, 7, [&](TObject* s, int32_t per) {
    EXPECT_EQ(s, &sender);
    seen.push_back(per);
  }, &sender, true, 0, 0.9, 0.99);
  EXPECT_EQ(seen, (std::vector<int32_t>{16, 33, 50, 66, 83, 100}));
}

TEST(ShenCastan, OnlyTwentyFourBitSourcesAreRead) {
  TBitmap src(30, 30, pf8bit), dst(5, 4, pf24bit);
  ShenCastan(src, dst, 7, kNoProgress, nullptr, true, 0, 0.9, 0.99);
  EXPECT_EQ(dst.PixelFormat(), pf24bit);
  EXPECT_EQ(dst.Width(), 5);
  TBitmap empty;
  ShenCastan(empty, dst, 7, kNoProgress, nullptr, true, 0, 0.9, 0.99);
  EXPECT_EQ(dst.Width(), 5);
}

// Windows wider than the embedding border are clipped to the raster instead
// of reaching outside it; a negative window gives no gradient at all.
TEST(ShenCastan, AnyWindowSizeStaysInsideTheRaster) {
  TBitmap src, dst;
  Paint24(src, 40, 30, [](int32_t x, int32_t y) { return Gray(255 - Rect(x, y, 10, 8, 30, 22).r); });
  std::vector<std::vector<std::pair<int32_t, int32_t>>> maps;
  for (int32_t window : {-5, 0, 1, 51, 53, 200, 5001, 10000}) {
    ShenCastan(src, dst, window, kNoProgress, nullptr, true, 0, 0.9, 0.99);
    ASSERT_EQ(dst.Width(), 40) << window;
    maps.push_back(EdgePixels(dst));
  }
  EXPECT_TRUE(maps[0].empty());
  EXPECT_FALSE(maps[4].empty());
  // The embedded raster is 94 x 84: from 200 on every window is all of it.
  EXPECT_FALSE(maps[5].empty());
  EXPECT_EQ(maps[5], maps[6]);
  EXPECT_EQ(maps[5], maps[7]);
}

// ---- hysteresis -------------------------------------------------------------

struct TRasters {
  TIMWorkBitmap Gradient, Edges;
  TShenCastanParams P;
  TRasters(int32_t Rows, int32_t Columns, double High, double Low, int32_t Thin)
      : Gradient(Columns, Rows, 32), Edges(Columns, Rows, 8) {
    P.Gradient = &Gradient;
    P.Edges = &Edges;
    P.Rows = Rows;
    P.Columns = Columns;
    P.HighThreshold = High;
    P.LowThreshold = Low;
    P.ThinFactor = Thin;
    for (int32_t i = 0; i < Rows; ++i) std::memset(Gradient.ScanLine(i), 0, sizeof(float) * size_t(Columns));
  }
};

// The chain step written as the plain recursion, as the reference for the walk.
class TRecursiveFollow {
 public:
  explicit TRecursiveFollow(const TShenCastanParams& P) : P(P), Labels(size_t(P.Rows) * P.Columns, 0) {}

  std::vector<uint8_t> Run() {
    for (int32_t i = 25; i < P.Rows - 25; ++i)
      for (int32_t j = 25; j < P.Columns - 25; ++j)
        if (P.Gradient->FloatAt(i, j) > P.HighThreshold) Step(i, j, 0);
    for (auto& l : Labels)
      if (l == 255) l = 0;
    return Labels;
  }

 private:
  bool Step(int32_t i, int32_t j, int32_t depth) {
    if (i < 0 || i >= P.Rows || j < 0 || j >= P.Columns) return false;
    uint8_t& l = Labels[size_t(i) * P.Columns + j];
    const float g = P.Gradient->FloatAt(i, j);
    if (l != 0 || g == 0) return false;
    l = g > P.LowThreshold ? 1 : 255;
    const bool found = Step(i, j + 1, depth + 1) || Step(i, j - 1, depth + 1) || Step(i + 1, j + 1, depth + 1) ||
                       Step(i + 1, j, depth + 1) || Step(i + 1, j - 1, depth + 1) ||
                       Step(i - 1, j - 1, depth + 1) || Step(i - 1, j, depth + 1) || Step(i - 1, j + 1, depth + 1);
    if (found && depth > 0 && P.ThinFactor > 0 && depth % P.ThinFactor != 0) l = 255;
    return true;
  }

  const TShenCastanParams& P;
  std::vector<uint8_t> Labels;
};

std::vector<uint8_t> Labels(const TRasters& R) {
  std::vector<uint8_t> v;
  for (int32_t i = 0; i < R.P.Rows; ++i)
    for (int32_t j = 0; j < R.P.Columns; ++j) v.push_back(*R.Edges.PixelAddress(i, j));
  return v;
}

TEST(ShenCastanHysteresis, WalkLabelsLikeTheRecursion) {
  std::mt19937 rng(1234);
  for (int32_t thin : {0, 1, 2, 3})
    for (int density : {30, 60, 90}) {
      TRasters r(64, 71, 0.6, 0.3, thin);
      for (int32_t i = 0; i < r.P.Rows; ++i)
        for (int32_t j = 0; j < r.P.Columns; ++j)
          if (int(rng() % 100) < density) r.Gradient.FloatAt(i, j) = float(int(rng() % 200) - 50) / 100;
      ShenCastanHysteresis(r.P);
      const auto got = Labels(r);
      EXPECT_EQ(got, TRecursiveFollow(r.P).Run()) << thin << ' ' << density;
      EXPECT_GT(std::count(got.begin(), got.end(), 1), 10);
    }
}

TEST(ShenCastanHysteresis, ChainsNeverStartInTheBorder) {
  TRasters r(60, 60, 1, 0.5, 0);
  for (int32_t i = 0; i < 60; ++i)
    for (int32_t j = 0; j < 60; ++j)
      if (i < 25 || i >= 35 || j < 25 || j >= 35) r.Gradient.FloatAt(i, j) = 5;
  ShenCastanHysteresis(r.P);
  const auto got = Labels(r);
  EXPECT_EQ(std::count(got.begin(), got.end(), 0), long(got.size()));
  // One strong pixel inside is enough to follow a chain out into the border.
  r.Gradient.FloatAt(34, 34) = 5;
  ShenCastanHysteresis(r.P);
  EXPECT_EQ(*r.Edges.PixelAddress(34, 34), 1);
  EXPECT_EQ(*r.Edges.PixelAddress(34, 35), 1);
}

// A single chain snaking through a 4000 x 3000 raster, about six million
// pixels long: far deeper than any stack would take as a recursion. With
// thinning every third pixel of the path (and its two ends) stays. Rows to
// the right start one pixel in, because the step down on the left goes on
// diagonally (down-right is tried before down).
TEST(ShenCastanHysteresis, LongChainNeedsNoStack) {
  constexpr int32_t kRows = 3000, kColumns = 4000, kLeft = 30, kRight = kColumns - 31;
  TRasters r(kRows, kColumns, 0.5, 0.25, 3);
  std::vector<std::pair<int32_t, int32_t>> path;
  for (int32_t i = 25, turn = 0; i + 1 < kRows - 25; i += 2, ++turn) {
    if (turn % 2 == 0)
      for (int32_t j = kLeft + 1; j <= kRight; ++j) path.emplace_back(i, j);
    else
      for (int32_t j = kRight; j >= kLeft; --j) path.emplace_back(i, j);
    path.emplace_back(i + 1, turn % 2 == 0 ? kRight : kLeft);
  }
  for (auto [i, j] : path) r.Gradient.FloatAt(i, j) = 1;
  ShenCastanHysteresis(r.P);
  size_t wrong = 0;
  for (size_t k = 0; k < path.size(); ++k) {
    const bool kept = k == 0 || k + 1 == path.size() || k % 3 == 0;
    wrong += *r.Edges.PixelAddress(path[k].first, path[k].second) != (kept ? 1 : 0);
  }
  EXPECT_EQ(wrong, 0u);
  EXPECT_GT(path.size(), 5000000u);
}

}  // namespace
}  // namespace kv
