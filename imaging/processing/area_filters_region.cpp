// The magic wand's selections: the connected region of similar colour around
// a seed (span seed fill over visited bits) and every pixel of similar colour.
#include <algorithm>

#include "imaging/model/im_lists.h"
#include "imaging/model/mask.h"
#include "imaging/processing/area_filters.h"
#include "imaging/processing/region_fill.h"

namespace kv {

namespace {

// A span of row Y + DY still to explore: its neighbour XL..XR in row Y was filled.
struct TSpan {
  int32_t Y, XL, XR, DY;
};
static_assert(sizeof(TSpan) == 16);

class TSpanFill {
 public:
  TSpanFill(const TBitmap& Bitmap, const TBGRPixel& Seed, int32_t Tolerance, TRegionFill& Region)
      : FBitmap(Bitmap), FSeed(Seed), FTolerance(Tolerance), FRegion(Region), FStack(sizeof(TSpan)) {}

  void Run(int32_t X, int32_t Y) {
    Push(Y, X, X, 1);
    Push(Y + 1, X, X, -1);  // the seed's own row, taken first
    while (FStack.Count() > 0) {
      const TSpan s = *static_cast<const TSpan*>(FStack.GetRecord(FStack.Count() - 1));
      FStack.SetCount(FStack.Count() - 1);
      Explore(s.Y + s.DY, s.XL, s.XR, s.DY);
    }
  }

 private:
  // Only spans whose row lies in the picture are kept: the seed's row may be
  // the last, and the first span below it then leads nowhere.
  void Push(int32_t Y, int32_t XL, int32_t XR, int32_t DY) {
    const int64_t row = int64_t(Y) + DY;
    if (row < 0 || row >= FRegion.Height) return;
    const TSpan s{Y, XL, XR, DY};
    FStack.AddRecord(&s);
  }

  bool Inside(int32_t X) const { return !GetBit(FVisited, X) && SimilarColour(FPixels[X], FSeed, FTolerance); }

  void Set(int32_t X) {
    SetBit(FVisited, X, true);
    FTouched = true;
    FRegion.MinX = std::min(FRegion.MinX, X);
    FRegion.MaxX = std::max(FRegion.MaxX, X);
  }

  // Fills the similar pixels of row Y reachable from X1..X2 and pushes the
  // spans of the rows beside them: onward (DY) and, where the run leaks past
  // X1..X2, back (-DY).
  void Explore(int32_t Y, int32_t X1, int32_t X2, int32_t DY) {
    FPixels = static_cast<const TBGRPixel*>(FBitmap.ScanLine(Y));
    FVisited = FRegion.Row(Y);
    const int32_t w = FRegion.Width;
    FTouched = false;
    int32_t x = X1;
    for (; x >= 0 && Inside(x); --x) Set(x);
    bool skip = x >= X1;
    int32_t l = x + 1;
    if (!skip) {
      if (l < X1) Push(Y, l, X1 - 1, -DY);
      x = X1 + 1;
    }
    for (;;) {
      if (!skip) {
        for (; x < w && Inside(x); ++x) Set(x);
        Push(Y, l, x - 1, DY);
        if (x > X2 + 1) Push(Y, X2 + 1, x - 1, -DY);
      }
      skip = false;
      for (++x; x <= X2 && !Inside(x); ++x) {}
      l = x;
      if (x > X2) break;
    }
    if (FTouched) {
      FRegion.MinY = std::min(FRegion.MinY, Y);
      FRegion.MaxY = std::max(FRegion.MaxY, Y);
    }
  }

  const TBitmap& FBitmap;
  TBGRPixel FSeed;
  int32_t FTolerance;
  TRegionFill& FRegion;
  TIMRecordList FStack;
  const TBGRPixel* FPixels = nullptr;
  uint8_t* FVisited = nullptr;
  bool FTouched = false;  // a pixel of the present row was filled
};

// Sets the mask value 1 over X1..X2 of row Y, clipped to the mask, growing its box.
void SetMaskRun(TIMMask& Mask, int32_t Y, int32_t X1, int32_t X2) {
  X1 = std::max(X1, 0);
  X2 = std::min(X2, Mask.Width - 1);
  if (X1 > X2 || Y < 0 || Y >= Mask.Height) return;
  Mask.FillRow(1, X1, Y, X2);
  Mask.SetPixel(X1, Y, 1);
  Mask.SetPixel(X2, Y, 1);
}

bool SeedPixel(const TBitmap& Bitmap, int32_t X, int32_t Y, TBGRPixel& Seed) {
  if (Bitmap.PixelFormat() != pf24bit || X < 0 || Y < 0 || X >= Bitmap.Width() || Y >= Bitmap.Height()) return false;
  Seed = static_cast<const TBGRPixel*>(Bitmap.ScanLine(Y))[X];
  return true;
}

}  // namespace

bool FillRegion(const TBitmap& Bitmap, int32_t X, int32_t Y, int32_t Tolerance, TRegionFill& Region) {
  Region = TRegionFill{};
  TBGRPixel seed;
  if (!SeedPixel(Bitmap, X, Y, seed)) return false;
  Region.Width = Bitmap.Width();
  Region.Height = Bitmap.Height();
  Region.RowBytes = Region.Width / 8 + 1;
  Region.Visited.assign(size_t(Region.RowBytes) * size_t(Region.Height), 0);
  Region.MinX = Region.MinY = MaxInt;
  Region.MaxX = Region.MaxY = -1;
  TSpanFill(Bitmap, seed, Tolerance, Region).Run(X, Y);
  if (Region.MaxX < 0) {
    Region.MinX = Region.MinY = 0;
    Region.MaxX = Region.MaxY = -1;
  }
  return true;
}

void MagicWandFill(const TBitmap& Bitmap, int32_t X, int32_t Y, TIMMask& Mask, int32_t Tolerance, bool Grow) {
  TRegionFill region;
  if (!FillRegion(Bitmap, X, Y, Tolerance, region) || region.Empty()) return;
  const int32_t h = region.Height;
  for (int32_t y = region.MinY; y <= region.MaxY; ++y)
    ForEachRun(region.Row(y), y, region.MinX, region.MaxX, [&](int32_t Row, int32_t From, int32_t To) {
      if (!Grow) {
        SetMaskRun(Mask, Row, From, To);
        return;
      }
      // The 3 x 3 neighbourhood, held inside the picture.
      const int32_t l = std::max(From - 1, 0), r = std::min(To + 1, region.Width - 1);
      for (int32_t yy = std::max(Row - 1, 0); yy <= std::min(Row + 1, h - 1); ++yy) SetMaskRun(Mask, yy, l, r);
    });
}

void SelectSameColor(const TBitmap& Bitmap, int32_t X, int32_t Y, TIMMask& Mask, int32_t Tolerance) {
  TBGRPixel seed;
  if (!SeedPixel(Bitmap, X, Y, seed)) return;
  const int32_t w = Bitmap.Width();
  for (int32_t y = 0; y < Bitmap.Height(); ++y) {
    const auto* row = static_cast<const TBGRPixel*>(Bitmap.ScanLine(y));
    for (int32_t x = 0; x < w;) {
      if (!SimilarColour(row[x], seed, Tolerance)) {
        ++x;
        continue;
      }
      const int32_t from = x;
      while (x < w && SimilarColour(row[x], seed, Tolerance)) ++x;
      SetMaskRun(Mask, y, from, x - 1);
    }
  }
}

}  // namespace kv
