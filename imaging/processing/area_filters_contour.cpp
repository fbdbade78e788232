// Outline of the magic wand's region as a polygon on pixel corners.
//
// The outline is walked on a grid of cells four times finer than the pixels,
// with a margin of two cells: pixel (x, y) of the region's box covers cells
// 2 + 4 (x - minX) .. + 3 across and likewise down. A border cell lies outside
// the region beside (not diagonal to) a cell inside it. The walk starts at the
// border cell nearest the top-left corner and steps from border cell to border
// cell, each taken once, preferring to go on in its last direction.
//
// The grid is never built: whether a cell is inside follows from the region's
// visited bits, and the cells already walked are kept in a small hash set,
// so the memory needed grows with the outline, not with the region's box.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "imaging/processing/area_filters.h"
#include "imaging/processing/region_fill.h"

namespace kv {

namespace {

// Open-addressing set of cell keys (never 0) with linear probing.
class TCellSet {
 public:
  TCellSet() : FSlots(1024, 0) {}
  bool Contains(uint64_t Key) const {
    for (size_t i = Slot(Key);; i = (i + 1) & (FSlots.size() - 1)) {
      if (FSlots[i] == Key) return true;
      if (FSlots[i] == 0) return false;
    }
  }
  void Insert(uint64_t Key) {
    if (2 * (FCount + 1) > FSlots.size()) Grow();
    size_t i = Slot(Key);
    while (FSlots[i] != 0 && FSlots[i] != Key) i = (i + 1) & (FSlots.size() - 1);
    if (FSlots[i] == 0) ++FCount;
    FSlots[i] = Key;
  }

 private:
  size_t Slot(uint64_t Key) const { return size_t((Key * 0x9E3779B97F4A7C15ull) >> 20) & (FSlots.size() - 1); }
  void Grow() {
    std::vector<uint64_t> old(FSlots.size() * 2, 0);
    old.swap(FSlots);
    FCount = 0;
    for (uint64_t k : old)
      if (k != 0) Insert(k);
  }
  std::vector<uint64_t> FSlots;
  size_t FCount = 0;
};

// The step directions in the order they are tried, and their chain codes
// (0 east, counter-clockwise in steps of 45 degrees; y grows downward).
constexpr int32_t kDX[8] = {1, 0, -1, 0, 1, -1, -1, 1};
constexpr int32_t kDY[8] = {0, -1, 0, 1, -1, -1, 1, 1};
constexpr uint8_t kCode[8] = {0, 2, 4, 6, 1, 3, 5, 7};
// Offsets of each chain code.
constexpr int32_t kCodeDX[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int32_t kCodeDY[8] = {0, -1, -1, -1, 0, 1, 1, 1};

class TCellGrid {
 public:
  explicit TCellGrid(const TRegionFill& Region)
      : FRegion(Region), FBW(Region.MaxX - Region.MinX + 1), FBH(Region.MaxY - Region.MinY + 1),
        FStride(4 * int64_t(FBW) + 4) {}

  bool Inside(int64_t CX, int64_t CY) const {
    if (CX < 2 || CY < 2) return false;
    const int64_t i = (CX - 2) >> 2, j = (CY - 2) >> 2;
    if (i >= FBW || j >= FBH) return false;
    return FRegion.IsSet(FRegion.MinX + int32_t(i), FRegion.MinY + int32_t(j));
  }
  bool Border(int64_t CX, int64_t CY) const {
    return !Inside(CX, CY) &&
           (Inside(CX - 1, CY) || Inside(CX + 1, CY) || Inside(CX, CY - 1) || Inside(CX, CY + 1));
  }
  // A border cell not walked yet.
  bool Open(int64_t CX, int64_t CY) const { return Border(CX, CY) && !FWalked.Contains(Key(CX, CY)); }
  void Walk(int64_t CX, int64_t CY) { FWalked.Insert(Key(CX, CY)); }

  // The border cell nearest to the top-left corner (1, 1) of all border
  // cells; the first in rows top down, cells left to right among equals. Only
  // the first cell of each side of a region pixel can be that near.
  void StartCell(int64_t& SX, int64_t& SY) const {
    int64_t best = -1;
    auto consider = [&](int64_t cx, int64_t cy) {
      const int64_t d = (cx - 1) * (cx - 1) + (cy - 1) * (cy - 1);
      if (best < 0 || d < best || (d == best && (cy < SY || (cy == SY && cx < SX)))) {
        best = d;
        SX = cx;
        SY = cy;
      }
    };
    auto set = [&](int32_t i, int32_t j) {
      return i >= 0 && j >= 0 && i < FBW && j < FBH && FRegion.IsSet(FRegion.MinX + i, FRegion.MinY + j);
    };
    for (int32_t j = 0; j < FBH; ++j) {
      // Past this row every candidate is farther than the best found.
      if (best >= 0 && Sq(4 * int64_t(j)) > best) break;
      ForEachRun(FRegion.Row(FRegion.MinY + j), j, FRegion.MinX, FRegion.MaxX,
                 [&](int32_t, int32_t From, int32_t To) {
                   for (int32_t x = From; x <= To; ++x) {
                     const int32_t i = x - FRegion.MinX;
                     const int64_t cx = 4 * int64_t(i), cy = 4 * int64_t(j);
                     if (!set(i, j - 1)) consider(cx + 2, cy + 1);
                     if (!set(i - 1, j)) consider(cx + 1, cy + 2);
                     if (!set(i, j + 1)) consider(cx + 2, cy + 6);
                     if (!set(i + 1, j)) consider(cx + 6, cy + 2);
                   }
                 });
    }
  }

 private:
  static int64_t Sq(int64_t V) { return V * V; }
  // Never 0: cells of the walk lie at 1 or more on both axes.
  uint64_t Key(int64_t CX, int64_t CY) const { return uint64_t(CY) * uint64_t(FStride) + uint64_t(CX); }

  const TRegionFill& FRegion;
  int32_t FBW, FBH;
  int64_t FStride;
  TCellSet FWalked;
};

// The region widened by the 3 x 3 neighbourhood of each pixel, held inside the picture.
void GrowRegion(TRegionFill& Region) {
  TRegionFill grown = Region;
  std::fill(grown.Visited.begin(), grown.Visited.end(), 0);
  grown.MinX = std::max(Region.MinX - 1, 0);
  grown.MinY = std::max(Region.MinY - 1, 0);
  grown.MaxX = std::min(Region.MaxX + 1, Region.Width - 1);
  grown.MaxY = std::min(Region.MaxY + 1, Region.Height - 1);
  for (int32_t y = Region.MinY; y <= Region.MaxY; ++y)
    ForEachRun(Region.Row(y), y, Region.MinX, Region.MaxX, [&](int32_t Row, int32_t From, int32_t To) {
      const int32_t l = std::max(From - 1, 0), r = std::min(To + 1, Region.Width - 1);
      for (int32_t yy = std::max(Row - 1, 0); yy <= std::min(Row + 1, Region.Height - 1); ++yy)
        FillBitRun(grown.Row(yy), l, r, true);
    });
  Region = std::move(grown);
}

}  // namespace

std::vector<TPoint> TraceContour(const TBitmap& Bitmap, int32_t X, int32_t Y, int32_t& Count, int32_t Tolerance,
                                 bool Grow) {
  Count = 0;
  TRegionFill region;
  if (!FillRegion(Bitmap, X, Y, Tolerance, region) || region.Empty()) return {};
  if (Grow) GrowRegion(region);

  TCellGrid grid(region);
  int64_t sx = 0, sy = 0;
  grid.StartCell(sx, sy);
  grid.Walk(sx, sy);

  std::vector<uint8_t> codes;
  int64_t cx = sx, cy = sy;
  int32_t last = 4;
  auto step = [&](int32_t Dir) {
    cx += kDX[Dir];
    cy += kDY[Dir];
    grid.Walk(cx, cy);
    codes.push_back(kCode[Dir]);
  };
  for (;;) {
    if (grid.Open(cx + kDX[last], cy + kDY[last])) step(last);
    int32_t dir = 0;
    while (dir < 8 && !grid.Open(cx + kDX[dir], cy + kDY[dir])) ++dir;
    if (dir == 8) break;
    step(dir);
    last = dir;
  }
  for (int32_t dir = 0; dir < 8; ++dir)
    if (cx + kDX[dir] == sx && cy + kDY[dir] == sy) {
      codes.push_back(kCode[dir]);
      break;
    }

  // A vertex where the direction changes; cell coordinates in the picture,
  // put on pixel corners by dividing by 4.
  std::vector<TPoint> points;
  int64_t px = sx + 4 * int64_t(region.MinX) - 1, py = sy + 4 * int64_t(region.MinY) - 1;
  auto emit = [&] { points.push_back(TPoint{int32_t(px / 4), int32_t(py / 4)}); };
  emit();
  for (size_t i = 0; i < codes.size(); ++i) {
    if (i > 0 && codes[i] != codes[i - 1]) emit();
    px += kCodeDX[codes[i]];
    py += kCodeDY[codes[i]];
  }
  Count = static_cast<int32_t>(points.size());
  return points;
}

}  // namespace kv
