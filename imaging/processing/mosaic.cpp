#include "imaging/processing/mosaic.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {
const TBGRPixel* Row(const TBitmap& B, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y)); }
TBGRPixel* Row(TBitmap& B, int32_t Y) { return static_cast<TBGRPixel*>(B.ScanLine(Y)); }
}  // namespace

TBGRPixel AverageColor(const TBitmap& Bitmap, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  if (Bitmap.PixelFormat() != pf24bit || Bitmap.Empty()) return {};
  const int32_t l = std::clamp(Left, 0, Bitmap.Width() - 1), t = std::clamp(Top, 0, Bitmap.Height() - 1);
  const int32_t r = std::clamp(Right, 0, Bitmap.Width()), b = std::clamp(Bottom, 0, Bitmap.Height());
  if (r <= l || b <= t) return Row(Bitmap, t)[l];
  uint64_t sr = 0, sg = 0, sb = 0;
  for (int32_t y = t; y < b; ++y) {
    const TBGRPixel* p = Row(Bitmap, y);
    for (int32_t x = l; x < r; ++x) {
      sr += p[x].r;
      sg += p[x].g;
      sb += p[x].b;
    }
  }
  const uint64_t n = uint64_t(r - l) * uint64_t(b - t);
  return {uint8_t(sb / n), uint8_t(sg / n), uint8_t(sr / n)};
}

TScoreGrid ScoreGrid(const TBitmap& Bitmap, int32_t N, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  N = std::max(N, 1);
  TScoreGrid g(size_t(N) * size_t(N));
  const int32_t w = (Right - Left) / N, h = (Bottom - Top) / N;
  for (int32_t i = 0; i < N; ++i)
    for (int32_t j = 0; j < N; ++j) {
      const int32_t x = Left + i * w, y = Top + j * h;
      g[size_t(i) * size_t(N) + size_t(j)] = AverageColor(Bitmap, x, y, x + w, y + h);
    }
  return g;
}

int32_t GridDistance(const TScoreGrid& A, const TScoreGrid& B, int32_t N) {
  N = std::max(N, 1);
  int64_t sum = 0;
  const size_t count = std::min({A.size(), B.size(), size_t(N) * size_t(N)});
  for (size_t k = 0; k < count; ++k) {
    const int32_t dr = A[k].r - B[k].r, dg = A[k].g - B[k].g, db = A[k].b - B[k].b;
    sum += Round32(std::sqrt(double(dr * dr + dg * dg + db * db)));
  }
  return int32_t(sum / (int64_t(N) * N));
}

int32_t RepeatPenalty(const std::vector<int32_t>& Placement, const TMosaicLayout& Layout, int32_t C, int32_t R,
                      int32_t Tile) {
  int64_t penalty = 0;
  for (int32_t row = std::max(0, R - 5); row <= R; ++row)
    for (int32_t col = std::max(0, C - 3); col <= std::min(Layout.Columns - 1, C + 3); ++col) {
      if (row == R && col == C) continue;
      if (Placement[size_t(row) * size_t(Layout.Columns) + size_t(col)] != Tile) continue;
      penalty += 6 * std::max(0, C + R - row - col + 100);
      if (penalty >= 100) return 100;
    }
  return int32_t(std::min<int64_t>(penalty, 100));
}

void MosaicCellRect(const TMosaicLayout& L, int32_t W, int32_t H, int32_t C, int32_t R, int32_t& Left, int32_t& Top,
                    int32_t& Right, int32_t& Bottom) {
  const int64_t totalW = int64_t(L.CellWidth) * L.Columns, totalH = int64_t(L.CellHeight) * L.Rows;
  Left = totalW > 0 ? int32_t(int64_t(C) * L.CellWidth * W / totalW) : 0;
  Right = totalW > 0 ? int32_t(int64_t(C + 1) * L.CellWidth * W / totalW) : 0;
  Top = totalH > 0 ? int32_t(int64_t(R) * L.CellHeight * H / totalH) : 0;
  Bottom = totalH > 0 ? int32_t(int64_t(R + 1) * L.CellHeight * H / totalH) : 0;
}

int32_t StepPercent(int64_t Done, int64_t Total) {
  if (Total <= 0) return 100;
  return int32_t(std::min<int64_t>(Done * 100 / Total, 100));
}

std::vector<int32_t> PlaceMosaicTiles(const TBitmap& Source, const TMosaicLayout& Layout,
                                      const std::vector<TScoreGrid>& Tiles,
                                      const std::function<void(int32_t Percent)>& Progress,
                                      const std::function<bool()>& Aborted) {
  const int32_t cols = std::max(Layout.Columns, 0), rows = std::max(Layout.Rows, 0);
  std::vector<int32_t> placement(size_t(cols) * size_t(rows), -1);
  if (Tiles.empty() || Source.PixelFormat() != pf24bit || Source.Empty()) return placement;
  const int32_t n = std::max(Layout.ScoreSize, 1);
  const int64_t steps = int64_t(std::max(cols - 1, 0)) * std::max(rows - 1, 0);
  int64_t count = 0;
  std::vector<int32_t> distance(Tiles.size());
  std::vector<uint8_t> nearby(Tiles.size(), 0);
  for (int32_t r = 0; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) {
      if (Aborted && Aborted()) return placement;
      int32_t l, t, rr, b;
      MosaicCellRect(Layout, Source.Width(), Source.Height(), c, r, l, t, rr, b);
      const TScoreGrid cell = ScoreGrid(Source, n, l, t, rr, b);
      // Every repetition in the window costs the full 100 (the weights are at
      // least 94 each before the cap), so only which tiles stand there matters.
      std::vector<int32_t> seen;
      for (int32_t row = std::max(0, r - 5); row <= r; ++row)
        for (int32_t col = std::max(0, c - 3); col <= std::min(cols - 1, c + 3); ++col) {
          if (row == r && col == c) continue;
          const int32_t tile = placement[size_t(row) * size_t(cols) + size_t(col)];
          if (tile >= 0 && !nearby[size_t(tile)]) {
            nearby[size_t(tile)] = 1;
            seen.push_back(tile);
          }
        }
      int32_t best = 765, winner = 0;
      for (size_t i = 0; i < Tiles.size(); ++i) {
        const int32_t score = (nearby[i] ? 100 : 0) + GridDistance(cell, Tiles[i], n);
        if (score < best) {
          best = score;
          winner = int32_t(i);
        }
      }
      for (int32_t tile : seen) nearby[size_t(tile)] = 0;
      placement[size_t(r) * size_t(cols) + size_t(c)] = winner;
      ++count;
      if (Progress) Progress(StepPercent(count, steps));
    }
  return placement;
}

void AdjustTileColour(TBitmap& Tile, TBGRPixel Cell, int32_t Adjust) {
  if (Tile.PixelFormat() != pf24bit || Tile.Empty() || Adjust <= 0) return;
  const TBGRPixel avg = AverageColor(Tile, 0, 0, Tile.Width(), Tile.Height());
  const int32_t dr = (Cell.r - avg.r) * Adjust / 100, dg = (Cell.g - avg.g) * Adjust / 100,
                db = (Cell.b - avg.b) * Adjust / 100;
  for (int32_t y = 0; y < Tile.Height(); ++y) {
    TBGRPixel* p = Row(Tile, y);
    for (int32_t x = 0; x < Tile.Width(); ++x) {
      p[x].r = uint8_t(std::clamp(p[x].r + dr, 0, 255));
      p[x].g = uint8_t(std::clamp(p[x].g + dg, 0, 255));
      p[x].b = uint8_t(std::clamp(p[x].b + db, 0, 255));
    }
  }
}

void DrawTileFrame(TBitmap& Tile) {
  if (Tile.PixelFormat() != pf24bit || Tile.Empty()) return;
  const int32_t w = Tile.Width(), h = Tile.Height();
  for (int32_t x = 0; x < w; ++x) Row(Tile, 0)[x] = Row(Tile, h - 1)[x] = {};
  for (int32_t y = 0; y < h; ++y) Row(Tile, y)[0] = Row(Tile, y)[w - 1] = {};
}

}  // namespace kv

namespace kv {

void StretchNearest(const TBitmap& Source, TBitmap& Target) {
  if (Source.PixelFormat() != pf24bit || Source.Empty() || Target.Empty()) return;
  Target.SetPixelFormat(pf24bit);
  const int32_t w = Target.Width(), h = Target.Height();
  std::vector<int32_t> xs(size_t(w), 0);
  for (int32_t x = 0; x < w; ++x) xs[size_t(x)] = int32_t(int64_t(x) * Source.Width() / w);
  for (int32_t y = 0; y < h; ++y) {
    const TBGRPixel* s = Row(Source, int32_t(int64_t(y) * Source.Height() / h));
    TBGRPixel* t = Row(Target, y);
    for (int32_t x = 0; x < w; ++x) t[x] = s[xs[size_t(x)]];
  }
}

void FitIntoCell(int32_t W, int32_t H, int32_t MaxW, int32_t MaxH, int32_t& OutW, int32_t& OutH) {
  if (W <= 0 || H <= 0) {
    OutW = MaxW;
    OutH = MaxH;
    return;
  }
  // Compare MaxW / W with MaxH / H without rounding: the width side wins a tie.
  if (int64_t(MaxW) * H <= int64_t(MaxH) * W) {
    OutW = MaxW;
    OutH = std::max<int32_t>(1, int32_t(int64_t(H) * MaxW / W));
  } else {
    OutH = MaxH;
    OutW = std::max<int32_t>(1, int32_t(int64_t(W) * MaxH / H));
  }
}

}  // namespace kv
