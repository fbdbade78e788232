#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <random>
#include <vector>

#include "imaging/model/mask.h"
#include "imaging/processing/area_filters.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

const TBGRPixel& At(const TBitmap& B, int32_t x, int32_t y) { return static_cast<const TBGRPixel*>(B.ScanLine(y))[x]; }

bool Similar(const TBGRPixel& a, const TBGRPixel& b, int32_t tol) {
  return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol;
}

// The region by a plain breadth-first search: one flag a pixel.
std::vector<uint8_t> FloodReference(const TBitmap& B, int32_t sx, int32_t sy, int32_t tol) {
  const int32_t w = B.Width(), h = B.Height();
  std::vector<uint8_t> in(size_t(w) * size_t(h), 0);
  const TBGRPixel seed = At(B, sx, sy);
  std::deque<std::pair<int32_t, int32_t>> queue{{sx, sy}};
  in[size_t(sy) * size_t(w) + size_t(sx)] = 1;
  while (!queue.empty()) {
    auto [x, y] = queue.front();
    queue.pop_front();
    const int32_t nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
    for (int32_t k = 0; k < 4; ++k) {
      if (nx[k] < 0 || ny[k] < 0 || nx[k] >= w || ny[k] >= h) continue;
      uint8_t& f = in[size_t(ny[k]) * size_t(w) + size_t(nx[k])];
      if (!f && Similar(At(B, nx[k], ny[k]), seed, tol)) {
        f = 1;
        queue.emplace_back(nx[k], ny[k]);
      }
    }
  }
  return in;
}

std::vector<uint8_t> MaskFlags(const TIMMask& M) {
  std::vector<uint8_t> v;
  for (int32_t y = 0; y < M.Height; ++y)
    for (int32_t x = 0; x < M.Width; ++x) v.push_back(M.GetPixel(x, y) ? 1 : 0);
  return v;
}

std::vector<uint8_t> Grown(const std::vector<uint8_t>& in, int32_t w, int32_t h) {
  std::vector<uint8_t> out(in.size(), 0);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (in[size_t(y) * size_t(w) + size_t(x)])
        for (int32_t yy = std::max(y - 1, 0); yy <= std::min(y + 1, h - 1); ++yy)
          for (int32_t xx = std::max(x - 1, 0); xx <= std::min(x + 1, w - 1); ++xx) out[size_t(yy) * size_t(w) + size_t(xx)] = 1;
  return out;
}

std::unique_ptr<TBitmap> Blobs(int32_t w, int32_t h, uint32_t seed) {
  std::mt19937 rng(seed);
  const TBGRPixel colours[3] = {{10, 20, 30}, {14, 22, 27}, {200, 90, 40}};
  return test::Make24(w, h, [&](int32_t, int32_t) { return colours[rng() % 3]; });
}

// ---- magic wand fill and same-colour selection ----

TEST(MagicWandFill, MatchesAFloodFillWithAndWithoutGrowing) {
  struct TCase {
    int32_t W, H, X, Y, Tol;
  };
  const TCase cases[] = {{40, 30, 5, 5, 0},  {40, 30, 39, 29, 5}, {40, 30, 0, 29, 5}, {40, 30, 17, 0, 0},
                         {1, 1, 0, 0, 0},    {1, 25, 0, 24, 5},   {25, 1, 24, 0, 5},  {33, 17, 16, 16, 255}};
  for (const TCase& c : cases)
    for (bool grow : {false, true}) {
      auto b = Blobs(c.W, c.H, uint32_t(c.W + c.X * 7 + c.Y));
      TIMMask mask;
      mask.AllocateBits(c.W, c.H, 1);
      MagicWandFill(*b, c.X, c.Y, mask, c.Tol, grow);
      auto expected = FloodReference(*b, c.X, c.Y, c.Tol);
      if (grow) expected = Grown(expected, c.W, c.H);
      EXPECT_EQ(MaskFlags(mask), expected) << c.W << 'x' << c.H << " at " << c.X << ',' << c.Y << " grow " << grow;
      // The box is the region's.
      int32_t x1 = c.W, y1 = c.H, x2 = -1, y2 = -1;
      for (int32_t y = 0; y < c.H; ++y)
        for (int32_t x = 0; x < c.W; ++x)
          if (expected[size_t(y) * size_t(c.W) + size_t(x)]) {
            x1 = std::min(x1, x), x2 = std::max(x2, x), y1 = std::min(y1, y), y2 = std::max(y2, y);
          }
      EXPECT_EQ(mask.X1, x1);
      EXPECT_EQ(mask.Y1, y1);
      EXPECT_EQ(mask.X2, x2);
      EXPECT_EQ(mask.Y2, y2);
    }
}

TEST(MagicWandFill, SeedOutsideOrOtherFormatSelectsNothing) {
  auto b = Blobs(10, 10, 1);
  TIMMask mask;
  mask.AllocateBits(10, 10, 1);
  for (auto [x, y] : {std::pair{-1, 0}, std::pair{0, -1}, std::pair{10, 3}, std::pair{3, 10}}) {
    MagicWandFill(*b, x, y, mask, 255, true);
    SelectSameColor(*b, x, y, mask, 255);
  }
  TBitmap mono(10, 10, pf1bit);
  MagicWandFill(mono, 2, 2, mask, 255, false);
  SelectSameColor(mono, 2, 2, mask, 255);
  EXPECT_TRUE(mask.IsEmpty());
  EXPECT_EQ(MaskFlags(mask), std::vector<uint8_t>(100, 0));
}

TEST(MagicWandFill, TouchingOnlyAtACornerIsNotConnected) {
  // Two white squares meeting at one corner; the rest black.
  auto b = test::Make24(6, 6, [](int32_t x, int32_t y) { return test::Gray((x < 3) == (y < 3) ? 255 : 0); });
  TIMMask mask;
  mask.AllocateBits(6, 6, 1);
  MagicWandFill(*b, 0, 0, mask, 0, false);
  EXPECT_EQ(mask.X2, 2);
  EXPECT_EQ(mask.Y2, 2);
  TIMMask same;
  same.AllocateBits(6, 6, 1);
  SelectSameColor(*b, 0, 0, same, 0);
  EXPECT_TRUE(same.GetPixel(5, 5));
  EXPECT_FALSE(same.GetPixel(4, 1));
}

TEST(SelectSameColor, SelectsEverySimilarPixel) {
  auto b = Blobs(37, 23, 4);
  TIMMask mask;
  mask.AllocateBits(37, 23, 1);
  SelectSameColor(*b, 36, 22, mask, 5);
  const TBGRPixel seed = At(*b, 36, 22);
  for (int32_t y = 0; y < 23; ++y)
    for (int32_t x = 0; x < 37; ++x) EXPECT_EQ(mask.GetPixel(x, y) != 0, Similar(At(*b, x, y), seed, 5)) << x << ',' << y;
}

// ---- contour tracing ----

// The outline exactly as written down: a byte grid of 4 x 4 cells a pixel
// with border cells marked by four scans, the nearest border cell to the
// top-left corner, the walk, and the points on direction changes.
std::vector<TPoint> ContourReference(const std::vector<uint8_t>& in, int32_t w, int32_t h) {
  int32_t minX = w, minY = h, maxX = -1, maxY = -1;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (in[size_t(y) * size_t(w) + size_t(x)]) {
        minX = std::min(minX, x), maxX = std::max(maxX, x), minY = std::min(minY, y), maxY = std::max(maxY, y);
      }
  const int32_t bw = maxX - minX + 1, bh = maxY - minY + 1, gw = 4 * bw + 4, gh = 4 * bh + 4;
  std::vector<uint8_t> g(size_t(gw) * size_t(gh), 0);
  auto cell = [&](int32_t cx, int32_t cy) -> uint8_t& { return g[size_t(cy) * size_t(gw) + size_t(cx)]; };
  for (int32_t y = minY; y <= maxY; ++y)
    for (int32_t x = minX; x <= maxX; ++x)
      if (in[size_t(y) * size_t(w) + size_t(x)])
        for (int32_t j = 0; j < 4; ++j)
          for (int32_t i = 0; i < 4; ++i) cell(2 + 4 * (x - minX) + i, 2 + 4 * (y - minY) + j) = 1;
  for (int32_t cy = 0; cy < gh; ++cy) {
    for (int32_t cx = 1; cx < gw; ++cx)
      if (cell(cx, cy) == 1 && cell(cx - 1, cy) != 1) cell(cx - 1, cy) = 3;
    for (int32_t cx = gw - 2; cx >= 0; --cx)
      if (cell(cx, cy) == 1 && cell(cx + 1, cy) != 1) cell(cx + 1, cy) = 3;
  }
  for (int32_t cx = 0; cx < gw; ++cx) {
    for (int32_t cy = 1; cy < gh; ++cy)
      if (cell(cx, cy) == 1 && cell(cx, cy - 1) != 1) cell(cx, cy - 1) = 3;
    for (int32_t cy = gh - 2; cy >= 0; --cy)
      if (cell(cx, cy) == 1 && cell(cx, cy + 1) != 1) cell(cx, cy + 1) = 3;
  }
  int32_t bx1 = gw, by1 = gh;
  for (int32_t cy = 0; cy < gh; ++cy)
    for (int32_t cx = 0; cx < gw; ++cx)
      if (cell(cx, cy) == 3) bx1 = std::min(bx1, cx), by1 = std::min(by1, cy);
  int32_t sx = 0, sy = 0, best = -1;
  for (int32_t cy = 0; cy < gh; ++cy)
    for (int32_t cx = 0; cx < gw; ++cx)
      if (cell(cx, cy) == 3) {
        const int32_t d = (cx - bx1) * (cx - bx1) + (cy - by1) * (cy - by1);
        if (best < 0 || d < best) best = d, sx = cx, sy = cy;
      }
  cell(sx, sy) = 2;
  const int32_t dx[8] = {1, 0, -1, 0, 1, -1, -1, 1}, dy[8] = {0, -1, 0, 1, -1, -1, 1, 1};
  const int32_t code[8] = {0, 2, 4, 6, 1, 3, 5, 7};
  const int32_t cdx[8] = {1, 1, 0, -1, -1, -1, 0, 1}, cdy[8] = {0, -1, -1, -1, 0, 1, 1, 1};
  std::vector<int32_t> codes;
  int32_t cx = sx, cy = sy, last = 4;
  for (;;) {
    if (cell(cx + dx[last], cy + dy[last]) == 3) {
      cx += dx[last], cy += dy[last];
      cell(cx, cy) = 2;
      codes.push_back(code[last]);
    }
    int32_t d = 0;
    while (d < 8 && cell(cx + dx[d], cy + dy[d]) != 3) ++d;
    if (d == 8) break;
    cx += dx[d], cy += dy[d];
    cell(cx, cy) = 2;
    codes.push_back(code[d]);
    last = d;
  }
  for (int32_t d = 0; d < 8; ++d)
    if (cx + dx[d] == sx && cy + dy[d] == sy) {
      codes.push_back(code[d]);
      break;
    }
  std::vector<TPoint> pts;
  int32_t px = sx + 4 * minX - 1, py = sy + 4 * minY - 1;
  pts.push_back({px / 4, py / 4});
  for (size_t i = 0; i < codes.size(); ++i) {
    if (i > 0 && codes[i] != codes[i - 1]) pts.push_back({px / 4, py / 4});
    px += cdx[codes[i]], py += cdy[codes[i]];
  }
  return pts;
}

TEST(TraceContour, OnePixelIsAUnitSquareClockwise) {
  auto b = test::Make24(5, 4, [](int32_t x, int32_t y) { return test::Gray(x == 2 && y == 1 ? 255 : 0); });
  int32_t count = -1;
  const auto pts = TraceContour(*b, 2, 1, count, 0, false);
  const std::vector<TPoint> expected = {{2, 1}, {3, 1}, {3, 1}, {3, 2}, {3, 2}, {2, 2}, {2, 2}, {2, 1}};
  EXPECT_EQ(pts, expected);
  EXPECT_EQ(count, 8);
}

TEST(TraceContour, MatchesTheCellGridWalk) {
  for (uint32_t seed = 1; seed <= 46; ++seed) {
    std::mt19937 rng(seed);
    int32_t w = int32_t(1 + rng() % 30), h = int32_t(1 + rng() % 30);
    // Pictures one pixel wide or high, and a single pixel, among them.
    if (seed > 40) w = seed % 2 ? 1 : w, h = seed % 3 ? h : 1;
    auto b = Blobs(w, h, seed);
    const int32_t x = int32_t(rng() % uint32_t(w)), y = int32_t(rng() % uint32_t(h));
    for (bool grow : {false, true}) {
      auto region = FloodReference(*b, x, y, 5);
      if (grow) region = Grown(region, w, h);
      int32_t count = -1;
      const auto pts = TraceContour(*b, x, y, count, 5, grow);
      EXPECT_EQ(pts, ContourReference(region, w, h)) << "seed " << seed << " grow " << grow;
      EXPECT_EQ(count, int32_t(pts.size()));
    }
  }
}

// Filled again, the outline of a region without holes or pinches gives the region.
TEST(TraceContour, OutlineFillsBackToTheRegion) {
  const char* shapes[] = {"........"
                          ".##.###."
                          ".######."
                          "...##..."
                          "..####.."
                          "........",
                          "########"
                          "#......#"
                          "#......#"
                          "#......#"
                          "#......#"
                          "########"};
  for (const char* s : shapes) {
    auto b = test::Make24(8, 6, [&](int32_t x, int32_t y) { return test::Gray(s[y * 8 + x] == '#' ? 255 : 0); });
    const int32_t sx = s[0] == '#' ? 0 : 1, sy = s[0] == '#' ? 0 : 1;
    int32_t count = 0;
    const auto pts = TraceContour(*b, sx, sy, count, 0, false);
    TIMMask mask;
    mask.AllocateBits(8, 6, 1);
    mask.DrawPolygons(1, pts.data(), count);
    TIMMask wand;
    wand.AllocateBits(8, 6, 1);
    MagicWandFill(*b, sx, sy, wand, 0, false);
    if (s[0] != '#') {
      EXPECT_EQ(MaskFlags(mask), MaskFlags(wand));
    } else {
      // A ring: its outline is the outer edge, so the hole fills too.
      EXPECT_EQ(MaskFlags(mask), std::vector<uint8_t>(48, 1));
    }
  }
}

TEST(TraceContour, RefusesSeedsOutsideAndOtherFormats) {
  auto b = Blobs(8, 8, 2);
  int32_t count = 7;
  EXPECT_TRUE(TraceContour(*b, 8, 0, count, 5, false).empty());
  EXPECT_EQ(count, 0);
  count = 7;
  EXPECT_TRUE(TraceContour(*b, 0, -1, count, 5, true).empty());
  EXPECT_EQ(count, 0);
  TBitmap mono(8, 8, pf1bit);
  count = 7;
  EXPECT_TRUE(TraceContour(mono, 1, 1, count, 5, false).empty());
  EXPECT_EQ(count, 0);
}

// The whole of a large flat picture: the outline is its frame, found without
// a cell grid of 16 bytes a pixel (about 150 MB here).
TEST(TraceContour, LargeRegionTracesItsFrame) {
  TBitmap b(3100, 3000, pf24bit);
  for (int32_t y = 0; y < b.Height(); ++y) std::memset(b.ScanLine(y), 0x40, size_t(b.Width()) * 3);
  int32_t count = 0;
  auto pts = TraceContour(b, 1500, 1500, count, 0, false);
  pts.erase(std::unique(pts.begin(), pts.end()), pts.end());
  const std::vector<TPoint> frame = {{0, 0}, {3100, 0}, {3100, 3000}, {0, 3000}, {0, 0}};
  EXPECT_EQ(pts, frame);
}

}  // namespace
}  // namespace kv
