// The connected region of similar colour around a seed, as visited bits: the
// shared first step of the magic wand's fill and of its outline tracing.
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"

namespace kv {

struct TRegionFill {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t RowBytes = 0;  // width div 8 + 1
  std::vector<uint8_t> Visited;  // one bit a pixel, most significant first, top row first
  // Bounds of the region (inclusive); MinX > MaxX while it is empty.
  int32_t MinX = 0, MinY = 0, MaxX = -1, MaxY = -1;

  bool Empty() const { return MinX > MaxX; }
  const uint8_t* Row(int32_t Y) const { return &Visited[size_t(Y) * size_t(RowBytes)]; }
  uint8_t* Row(int32_t Y) { return &Visited[size_t(Y) * size_t(RowBytes)]; }
  bool IsSet(int32_t X, int32_t Y) const { return GetBit(Row(Y), X); }
};

// True when no channel of P differs from Seed's by more than Tolerance.
inline bool SimilarColour(const TBGRPixel& P, const TBGRPixel& Seed, int32_t Tolerance) {
  auto d = [](uint8_t a, uint8_t b) { return a > b ? a - b : b - a; };
  return d(P.r, Seed.r) <= Tolerance && d(P.g, Seed.g) <= Tolerance && d(P.b, Seed.b) <= Tolerance;
}

// Fills Region with the 4-connected pixels of a pf24bit Bitmap similar to the
// pixel at (X, Y), found by a span seed fill. False (Region empty) for
// another format or a seed outside the picture.
bool FillRegion(const TBitmap& Bitmap, int32_t X, int32_t Y, int32_t Tolerance, TRegionFill& Region);

// Calls Run(y, xFrom, xTo) for each run of set bits of row Y between XMin and
// XMax (inclusive).
template <typename TRun>
void ForEachRun(const uint8_t* Row, int32_t Y, int32_t XMin, int32_t XMax, TRun Run) {
  int32_t x = XMin;
  while (x <= XMax) {
    // Whole empty bytes are skipped at once.
    if ((x & 7) == 0 && Row[x >> 3] == 0) {
      x += 8;
      continue;
    }
    if (!GetBit(Row, x)) {
      ++x;
      continue;
    }
    const int32_t from = x;
    while (x <= XMax && GetBit(Row, x)) ++x;
    Run(Y, from, x - 1);
  }
}

}  // namespace kv
