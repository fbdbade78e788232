// The colour layout of cells and tiles, and the choice of tiles for a mosaic.
#include <gtest/gtest.h>

#include "imaging/processing/mosaic.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

using namespace kv::test;

TEST(Mosaic, AverageAndGrid) {
  auto b = Make24(4, 2, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 10), uint8_t(y * 100), 7}; });
  EXPECT_EQ(AverageColor(*b, 0, 0, 4, 2), (TBGRPixel{15, 50, 7}));
  EXPECT_EQ(AverageColor(*b, 3, 1, 3, 1), (TBGRPixel{30, 100, 7}));  // no area: the pixel itself
  const TScoreGrid g = ScoreGrid(*b, 2, 0, 0, 4, 2);
  ASSERT_EQ(g.size(), 4u);
  EXPECT_EQ(g[0], (TBGRPixel{5, 0, 7}));    // column 0, row 0
  EXPECT_EQ(g[1], (TBGRPixel{5, 100, 7}));  // column 0, row 1
  EXPECT_EQ(g[2], (TBGRPixel{25, 0, 7}));   // column 1, row 0
  // Score size 1: the rounded distance of the averages.
  EXPECT_EQ(GridDistance({TBGRPixel{0, 0, 0}}, {TBGRPixel{3, 4, 0}}, 1), 5);
  EXPECT_EQ(GridDistance({TBGRPixel{0, 0, 0}}, {TBGRPixel{1, 1, 0}}, 1), 1);
}

TEST(Mosaic, RepetitionNearbyCostsAHundred) {
  TMosaicLayout l;
  l.Columns = 10;
  l.Rows = 10;
  std::vector<int32_t> p(100, -1);
  p[3 * 10 + 2] = 7;  // column 2, row 3
  EXPECT_EQ(RepeatPenalty(p, l, 5, 3, 7), 100);
  EXPECT_EQ(RepeatPenalty(p, l, 6, 3, 7), 0);  // four columns away
  EXPECT_EQ(RepeatPenalty(p, l, 2, 8, 7), 100);
  EXPECT_EQ(RepeatPenalty(p, l, 2, 9, 7), 0);  // six rows below
  EXPECT_EQ(RepeatPenalty(p, l, 2, 3, 7), 0);  // the cell itself
}

TEST(Mosaic, PlacementAvoidsRepeatsAndTiesGoToTheFirst) {
  auto src = Make24(40, 10, [](int32_t, int32_t) { return Gray(100); });
  TMosaicLayout l;
  l.Columns = 4;
  l.Rows = 1;
  l.CellWidth = 10;
  l.CellHeight = 10;
  l.ScoreSize = 1;
  // Two equally good tiles and a far one.
  const std::vector<TScoreGrid> tiles{{Gray(90)}, {Gray(110)}, {Gray(0)}};
  int32_t calls = 0, last = -1;
  const auto p = PlaceMosaicTiles(*src, l, tiles, [&](int32_t Pc) { ++calls, last = Pc; }, nullptr);
  // 0 first; then 1 (0 repeated costs 100); then neither is free: 0 wins the tie again.
  EXPECT_EQ(p, (std::vector<int32_t>{0, 1, 0, 0}));
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(last, 100);  // one row: the step count is 0, and nothing divides by it

  // A single tile fills every cell; the same input gives the same mosaic.
  const auto single = PlaceMosaicTiles(*src, l, {{Gray(5)}}, nullptr, nullptr);
  EXPECT_EQ(single, (std::vector<int32_t>(4, 0)));
  EXPECT_EQ(PlaceMosaicTiles(*src, l, tiles, nullptr, nullptr), p);
  // Aborted at once: nothing placed.
  EXPECT_EQ(PlaceMosaicTiles(*src, l, tiles, nullptr, [] { return true; }), (std::vector<int32_t>(4, -1)));
}

TEST(Mosaic, AdjustMovesTheAverageOntoTheCell) {
  auto tile = Make24(4, 4, [](int32_t x, int32_t) { return TBGRPixel{uint8_t(10 + x), 50, 200}; });
  AdjustTileColour(*tile, TBGRPixel{111, 20, 100}, 100);
  EXPECT_EQ(AverageColor(*tile, 0, 0, 4, 4), (TBGRPixel{111, 20, 100}));
  DrawTileFrame(*tile);
  EXPECT_EQ(static_cast<const TBGRPixel*>(tile->ScanLine(0))[2], TBGRPixel{});
  EXPECT_NE(static_cast<const TBGRPixel*>(tile->ScanLine(1))[1], TBGRPixel{});
  int32_t w = 0, h = 0;
  FitIntoCell(200, 100, 64, 48, w, h);
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 32);
  FitIntoCell(64, 48, 64, 48, w, h);  // a tie goes to the width
  EXPECT_EQ(w, 64);
  EXPECT_EQ(h, 48);
  EXPECT_EQ(StepPercent(5, 0), 100);
}

}  // namespace
}  // namespace kv
