// Photo mosaics: the colour layout of a cell or tile as an n x n grid of
// average colours, the distance of two grids, the penalty for repeating a
// tile nearby, and the choice of a tile for every cell.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "imaging/model/pixel.h"

namespace kv {

class TBitmap;

using TScoreGrid = std::vector<TBGRPixel>;  // n x n, column-major: index i * n + j for column i, row j

// Integer mean of each channel over the rectangle (right and bottom
// exclusive); a rectangle of no area gives the pixel at (Left, Top).
TBGRPixel AverageColor(const TBitmap& Bitmap, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
TScoreGrid ScoreGrid(const TBitmap& Bitmap, int32_t N, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
// Sum of the rounded Euclidean colour distances of the cells, div N * N.
int32_t GridDistance(const TScoreGrid& A, const TScoreGrid& B, int32_t N);

struct TMosaicLayout {
  int32_t Columns = 50, Rows = 50, CellWidth = 64, CellHeight = 48, ScoreSize = 3;
};

// The tile of every cell (index c + r * Columns), chosen row by row: the
// smallest distance plus 100 when the tile already stands within three
// columns either side and five rows above; ties go to the earlier tile.
// Progress gets the cells done in percent (never a division by zero);
// Aborted, when it returns true, ends the choice (remaining cells stay -1).
std::vector<int32_t> PlaceMosaicTiles(const TBitmap& Source, const TMosaicLayout& Layout,
                                      const std::vector<TScoreGrid>& Tiles,
                                      const std::function<void(int32_t Percent)>& Progress,
                                      const std::function<bool()>& Aborted);

// The penalty of placing Tile at (C, R) with the cells placed so far.
int32_t RepeatPenalty(const std::vector<int32_t>& Placement, const TMosaicLayout& Layout, int32_t C, int32_t R,
                      int32_t Tile);

// The source rectangle of cell (C, R).
void MosaicCellRect(const TMosaicLayout& Layout, int32_t W, int32_t H, int32_t C, int32_t R, int32_t& Left,
                    int32_t& Top, int32_t& Right, int32_t& Bottom);

// Shifts the tile's channels by (cell - tile average) * Adjust / 100 (clamped).
void AdjustTileColour(TBitmap& Tile, TBGRPixel CellAverage, int32_t Adjust);
// A black one-pixel frame around the picture's edge.
void DrawTileFrame(TBitmap& Tile);

// percent of Done out of Total steps, 100 when there is only one step.
int32_t StepPercent(int64_t Done, int64_t Total);

}  // namespace kv

namespace kv {
// Source stretched into Target's size, nearest pixel (the "no filter" resize).
void StretchNearest(const TBitmap& Source, TBitmap& Target);
// The size that fits W x H into MaxW x MaxH with its proportions, ties going to the width.
void FitIntoCell(int32_t W, int32_t H, int32_t MaxW, int32_t MaxH, int32_t& OutW, int32_t& OutH);
}  // namespace kv
