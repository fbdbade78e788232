#include "imaging/processing/box_quantizer.h"

#include <algorithm>
#include <cstring>

#include "imaging/processing/quant_source.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

// Score of a channel whose cut fails; any real split of 5-bit boxes scores far less.
constexpr double kNoSplit = 17523.6;

inline int32_t CellOf(int32_t R5, int32_t G5, int32_t B5) { return R5 * 1024 + G5 * 32 + B5; }

}  // namespace

TBoxQuantizer::TBoxQuantizer(const TQuantSource& Source, int32_t Colours)
    : FWidth(Source.Width()),
      FHeight(Source.Height()),
      FPixels(Source.Pixels()),
      FColours(std::clamp(Colours, 1, kMaxBoxes)),
      FHist(new uint32_t[kCells]()),
      FSums(new TCellSum[kCells]()),
      FBoxes(new TBox[kMaxBoxes]()),
      FLookup(new uint8_t[kCells]()) {
  CountPixels(Source);

  TBox& first = FBoxes[0];
  Recount(first, false);  // the first box spans 0..32 on every channel
  Statistics(first);

  int32_t k = 1;
  while (k < FColours) {
    int32_t pick = -1;
    double best = 0;
    for (int32_t i = 0; i < k; ++i)
      if (FBoxes[i].Score > best) {
        best = FBoxes[i].Score;
        pick = i;
      }
    if (pick < 0) break;
    if (Split(pick, k)) ++k;
    else FBoxes[pick].Score = 0;
  }
  FBoxCount = k;
  BuildLookup();
  BuildPalette();
}

TBoxQuantizer::~TBoxQuantizer() = default;

void TBoxQuantizer::CountPixels(const TQuantSource& Source) {
  uint32_t* hist = FHist.get();
  TCellSum* sums = FSums.get();
  for (int32_t y = 0; y < FHeight; ++y) {
    const TBGRPixel* p = Source.Row(y);
    for (int32_t x = 0; x < FWidth; ++x) {
      const int32_t cell = CellOf(p[x].r >> 3, p[x].g >> 3, p[x].b >> 3);
      ++hist[cell];
      sums[cell].R += p[x].r;
      sums[cell].G += p[x].g;
      sums[cell].B += p[x].b;
    }
  }
}

// Marginal histograms and count from the 3D histogram inside the box's bounds;
// with Shrink, each channel's bounds close in on its first and last non-empty bin.
void TBoxQuantizer::Recount(TBox& Box, bool Shrink) const {
  std::memset(Box.Hist, 0, sizeof Box.Hist);
  Box.Count = 0;
  for (int32_t r = Box.Lo[0]; r < Box.Hi[0]; ++r)
    for (int32_t g = Box.Lo[1]; g < Box.Hi[1]; ++g) {
      const uint32_t* cells = FHist.get() + CellOf(r, g, 0);
      for (int32_t b = Box.Lo[2]; b < Box.Hi[2]; ++b) {
        const uint32_t c = cells[b];
        if (c == 0) continue;
        Box.Hist[0][r] += c;
        Box.Hist[1][g] += c;
        Box.Hist[2][b] += c;
        Box.Count += c;
      }
    }
  if (!Shrink || Box.Count == 0) return;
  for (int32_t ch = 0; ch < 3; ++ch) {
    while (Box.Hist[ch][Box.Lo[ch]] == 0) ++Box.Lo[ch];
    while (Box.Hist[ch][Box.Hi[ch] - 1] == 0) --Box.Hi[ch];
  }
}

void TBoxQuantizer::Statistics(TBox& Box) const {
  double terms = 0;
  for (int32_t ch = 0; ch < 3; ++ch) {
    double s1 = 0, s2 = 0;
    for (int32_t j = Box.Lo[ch]; j < Box.Hi[ch]; ++j) {
      const double h = static_cast<double>(Box.Hist[ch][j]);
      s1 += j * h;
      s2 += static_cast<double>(j) * j * h;
    }
    const double count = static_cast<double>(Box.Count);
    Box.Mean[ch] = Box.Count > 0 ? s1 / count : 0;
    terms += s2 - count * Box.Mean[ch] * Box.Mean[ch];
  }
  Box.Score = FPixels > 0 ? terms / static_cast<double>(FPixels) : 0;
}

bool TBoxQuantizer::Cut(const TBox& Box, int32_t Channel, TBox& Left, TBox& Right) const {
  const int32_t lo = Box.Lo[Channel], hi = Box.Hi[Channel];
  if (hi == lo + 1) return false;
  const int64_t* h = Box.Hist[Channel];
  const double m = Box.Mean[Channel];
  const double count = static_cast<double>(Box.Count);
  const int32_t s = static_cast<int32_t>(Round((lo + m) / 2));
  // The walk stops at the bin that completes the count, so it never passes hi - 1.
  const int32_t e = std::min(static_cast<int32_t>(Round((m + hi) / 2)), hi - 1);

  int64_t left = 0;
  for (int32_t j = lo; j < s; ++j) left += h[j];
  double t = 0, best = -1;
  int32_t cut = -1;
  for (int32_t j = s; j <= e; ++j) {
    left += h[j];
    if (left == Box.Count) break;
    t += static_cast<double>(h[j]) * j / count;
    const double score = static_cast<double>(left) / static_cast<double>(Box.Count - left) * (m - t) * (m - t);
    if (score > best) {
      best = score;
      cut = j;
    }
  }
  if (cut < 0) return false;

  int64_t leftCount = 0;
  for (int32_t j = lo; j <= cut; ++j) leftCount += h[j];
  if (leftCount == 0 || leftCount == Box.Count) return false;

  Left = Box;
  Left.Hi[Channel] = cut + 1;
  Right = Box;
  Right.Lo[Channel] = cut + 1;
  for (TBox* half : {&Left, &Right}) {
    Recount(*half, true);
    Statistics(*half);
  }
  return true;
}

bool TBoxQuantizer::Split(int32_t Index, int32_t NewIndex) {
  const TBox& box = FBoxes[Index];
  TBox left[3], right[3];
  double sum[3];
  for (int32_t ch = 0; ch < 3; ++ch)
    sum[ch] = Cut(box, ch, left[ch], right[ch]) ? left[ch].Score + right[ch].Score : kNoSplit;

  int32_t take = -1;
  if (sum[0] <= sum[1] && sum[0] <= sum[2] && sum[0] < kNoSplit) take = 0;
  else if (sum[1] <= sum[0] && sum[1] <= sum[2] && sum[1] < kNoSplit) take = 1;
  else if (sum[2] <= sum[0] && sum[2] <= sum[1] && sum[2] < kNoSplit) take = 2;
  if (take < 0) return false;
  FBoxes[Index] = left[take];
  FBoxes[NewIndex] = right[take];
  return true;
}

void TBoxQuantizer::BuildLookup() {
  // Later boxes overwrite earlier ones where bounds overlap.
  for (int32_t i = 0; i < FBoxCount; ++i) {
    const TBox& box = FBoxes[i];
    for (int32_t r = box.Lo[0]; r < box.Hi[0]; ++r)
      for (int32_t g = box.Lo[1]; g < box.Hi[1]; ++g)
        std::memset(FLookup.get() + CellOf(r, g, box.Lo[2]), i, static_cast<size_t>(box.Hi[2] - box.Lo[2]));
  }
}

// Each entry is the exact mean of the pixels mapped to its box, rounded half to
// even, so that white stays 255 and a box of one colour gives that very colour.
void TBoxQuantizer::BuildPalette() {
  TCellSum sum[kMaxBoxes];
  uint64_t count[kMaxBoxes] = {};
  for (int32_t cell = 0; cell < kCells; ++cell) {
    if (FHist[cell] == 0) continue;
    const uint8_t i = FLookup[cell];
    count[i] += FHist[cell];
    sum[i].R += FSums[cell].R;
    sum[i].G += FSums[cell].G;
    sum[i].B += FSums[cell].B;
  }
  for (int32_t i = 0; i < FBoxCount; ++i) {
    TBGRPixel& p = FPalette[i];
    if (count[i] == 0) {  // only the one box of an empty picture
      p.r = ClampByte(Round32(FBoxes[i].Mean[0]) << 3);
      p.g = ClampByte(Round32(FBoxes[i].Mean[1]) << 3);
      p.b = ClampByte(Round32(FBoxes[i].Mean[2]) << 3);
      continue;
    }
    const double n = static_cast<double>(count[i]);
    p.r = ClampByte(Round32(static_cast<double>(sum[i].R) / n));
    p.g = ClampByte(Round32(static_cast<double>(sum[i].G) / n));
    p.b = ClampByte(Round32(static_cast<double>(sum[i].B) / n));
  }
}

void TBoxQuantizer::GetPalette(TBGRPixel* Palette) const {
  std::copy(FPalette, FPalette + FBoxCount, Palette);
}

}  // namespace kv
