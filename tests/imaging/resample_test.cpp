#include "imaging/processing/resample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "imaging/model/mask.h"
#include "imaging/model/parallel_rows.h"
#include "imaging/model/pixel.h"
#include "imaging/processing/resample_rows.h"
#include "platform/rtl/exceptions.h"

namespace kv {
namespace {

constexpr TResampleFilter kKernelFilters[] = {rfTriangle, rfHermite,  rfBell,    rfBSpline,
                                              rfLanczos3, rfMitchell, rfNearest, rfLinear};

// A plane of C bytes a pixel, rows top-down without padding.
struct Plane {
  int W = 0, H = 0, C = 3;
  std::vector<uint8_t> Px;
  uint8_t& at(int x, int y, int c) { return Px[(size_t(y) * W + x) * C + c]; }
  uint8_t at(int x, int y, int c) const { return Px[(size_t(y) * W + x) * C + c]; }
};

Plane RandomPlane(int W, int H, int C, uint32_t Seed) {
  std::mt19937 rng(Seed);
  Plane p{W, H, C, std::vector<uint8_t>(size_t(W) * H * C)};
  for (auto& v : p.Px) v = uint8_t(rng() & 255);
  return p;
}

std::unique_ptr<TBitmap> ToBitmap(const Plane& P) {
  auto b = std::make_unique<TBitmap>(P.W, P.H, pf24bit);
  for (int y = 0; y < P.H; ++y) {
    auto* row = static_cast<uint8_t*>(b->ScanLine(y));
    for (int x = 0; x < P.W; ++x)
      for (int c = 0; c < 3; ++c) row[3 * x + c] = P.at(x, y, P.C == 3 ? c : 0);
  }
  return b;
}

Plane FromBitmap(const TBitmap& B) {
  Plane p{B.Width(), B.Height(), 3, std::vector<uint8_t>(size_t(B.Width()) * B.Height() * 3)};
  for (int y = 0; y < p.H; ++y) std::memcpy(&p.at(0, y, 0), B.ScanLine(y), size_t(p.W) * 3);
  return p;
}

Plane Resampled(const Plane& Src, int DW, int DH, TResampleFilter F) {
  TBitmap dst(DW, DH, pf24bit);
  ResampleBitmapProgress(*ToBitmap(Src), dst, F, nullptr, nullptr);
  return FromBitmap(dst);
}

// The resampler's arithmetic written out per pixel, independently of the
// library's tables, padding and vector loops.
int RefMirror(int64_t j, int n) {
  if (j < 0) j = -j;
  else if (j >= n) j = 2 * int64_t(n) - 1 - j;
  return int(std::clamp<int64_t>(j, 0, n - 1));
}

struct RefTap {
  int Index;
  double Weight;
};

// Taps of destination index i; Exact rounds the weights to 1/256 as the
// resampler does, otherwise they stay as doubles.
std::vector<RefTap> RefTaps(int n, int m, TResampleFilter f, int i, bool Exact) {
  const double scale = double(m) / n, s = ResampleSupport(f);
  const bool enlarging = scale >= 1;
  const double w = enlarging ? s : s / scale, center = i / scale;
  std::vector<RefTap> taps;
  double total = 0;
  for (int64_t j = int64_t(std::floor(center - w)); j <= int64_t(std::ceil(center + w)); ++j) {
    double v = enlarging ? ResampleKernel(f, center - j) : ResampleKernel(f, (center - j) * scale) * scale;
    if (Exact) v = std::nearbyint(v * 256);
    if (v == 0) continue;
    taps.push_back({RefMirror(j, n), v});
    total += v;
  }
  if (total == 0) taps = {{std::clamp(int(center + 0.5), 0, n - 1), 1.0}};
  return taps;
}

uint8_t RefValue(double Sum, double Total, bool Exact) {
  // The double quotient of an exact integer may come out a hair below it.
  const double q = Exact ? double(int64_t(Sum) / int64_t(Total)) : std::floor(Sum / Total + 1e-9);
  return uint8_t(std::clamp(q, 0.0, 255.0));
}

Plane RefTwoPass(const Plane& S, int DW, int DH, TResampleFilter F, bool Exact) {
  Plane mid{DW, S.H, S.C, std::vector<uint8_t>(size_t(DW) * S.H * S.C)};
  for (int x = 0; x < DW; ++x) {
    const auto taps = RefTaps(S.W, DW, F, x, Exact);
    for (int y = 0; y < S.H; ++y)
      for (int c = 0; c < S.C; ++c) {
        double sum = 0, total = 0;
        for (const auto& t : taps) sum += t.Weight * S.at(t.Index, y, c), total += t.Weight;
        mid.at(x, y, c) = RefValue(sum, total, Exact);
      }
  }
  Plane d{DW, DH, S.C, std::vector<uint8_t>(size_t(DW) * DH * S.C)};
  for (int y = 0; y < DH; ++y) {
    const auto taps = RefTaps(S.H, DH, F, y, Exact);
    for (int x = 0; x < DW; ++x)
      for (int c = 0; c < S.C; ++c) {
        double sum = 0, total = 0;
        for (const auto& t : taps) sum += t.Weight * mid.at(x, t.Index, c), total += t.Weight;
        d.at(x, y, c) = RefValue(sum, total, Exact);
      }
  }
  return d;
}

int MaxDiff(const Plane& A, const Plane& B) {
  int d = 0;
  for (size_t i = 0; i < A.Px.size(); ++i) d = std::max(d, std::abs(int(A.Px[i]) - int(B.Px[i])));
  return d;
}

TEST(ResampleKernel, ValuesFromTheTable) {
  struct Case { TResampleFilter F; double X, Value; };
  const Case cases[] = {
      {rfTriangle, 0.25, 0.75},   {rfTriangle, -1.0, 0.0},     {rfHermite, 0.5, 0.5},
      {rfBell, 0.0, 0.75},        {rfBell, 1.0, 0.125},        {rfBell, 1.5, 0.0},
      {rfBSpline, 0.0, 2.0 / 3},  {rfBSpline, 1.0, 1.0 / 6},   {rfLanczos3, 0.0, 1.0},
      {rfLanczos3, 2.0, 0.0},     {rfLanczos3, 3.0, 0.0},      {rfMitchell, 0.0, 8.0 / 9},
      {rfMitchell, 1.0, 1.0 / 18}, {rfMitchell, 2.0, 0.0},     {rfNearest, 0.5, 1.0},
      {rfNearest, -0.5, 0.0},     {rfLinear, -1.0, 0.0},       {rfLinear, 0.5, 0.5},
      {rfNone, 0.0, 0.0},         {rfFastLinear, 0.0, 0.0},
  };
  for (const auto& c : cases) EXPECT_NEAR(ResampleKernel(c.F, c.X), c.Value, 1e-12) << int(c.F) << ' ' << c.X;
  EXPECT_NEAR(ResampleKernel(rfLanczos3, 0.5), std::sin(M_PI / 2) / (M_PI / 2) * std::sin(M_PI / 6) / (M_PI / 6), 1e-12);
}

TEST(ResampleContributions, HalvingWithTriangleSpansTwoSourcePixelsAndSumsTo256) {
  const TContributions c = BuildContributions(100, 50, rfTriangle);
  for (int i = 0; i < 50; ++i) {
    EXPECT_LE(c.Count[i], 5) << i;  // support 2 either side of the centre
    EXPECT_NEAR(c.Total[i], 256, 2) << i;
  }
  // Centre 2: taps 1, 2, 3 with 64, 128, 64.
  EXPECT_EQ(c.First[1], 1);
  EXPECT_EQ(std::vector<int32_t>(c.Weights.begin() + c.Offset[1], c.Weights.begin() + c.Offset[1] + c.Count[1]),
            (std::vector<int32_t>{64, 128, 64}));
}

TEST(ResampleContributions, NearestTakesTheLowerNeighbourHalfWay) {
  // 4 -> 8: destination 1 has its centre at 0.5, between source 0 and 1.
  const TContributions c = BuildContributions(4, 8, rfNearest);
  ASSERT_EQ(c.Count[1], 1);
  EXPECT_EQ(c.First[1], 0);
  EXPECT_EQ(c.Weights[c.Offset[1]], 256);
}

TEST(ResampleContributions, MirrorStaysInsideTheLine) {
  EXPECT_EQ(MirrorIndex(-1, 10), 1);
  EXPECT_EQ(MirrorIndex(10, 10), 9);
  EXPECT_EQ(MirrorIndex(11, 10), 8);
  for (int n : {1, 2, 3})
    for (int64_t j = -40; j < 40; ++j) {
      const int32_t k = MirrorIndex(j, n);
      EXPECT_TRUE(k >= 0 && k < n) << j << ' ' << n;
    }
}

TEST(Resample, UniformPictureStaysExactlyUniform) {
  const int sizes[][4] = {{37, 23, 16, 11}, {37, 23, 80, 51}, {37, 23, 37, 9}, {5, 7, 5, 7},
                          {9, 1, 4, 1},     {1, 9, 1, 20},    {2, 2, 7, 3},   {600, 3, 1, 2}};
  for (TResampleFilter f : {rfTriangle, rfHermite, rfBell, rfBSpline, rfLanczos3, rfMitchell, rfNearest, rfLinear,
                            rfFastLinear})
    for (int v : {0, 1, 128, 254, 255})
      for (const auto& s : sizes) {
        Plane src{s[0], s[1], 3, std::vector<uint8_t>(size_t(s[0]) * s[1] * 3, uint8_t(v))};
        const Plane out = Resampled(src, s[2], s[3], f);
        const bool flat = std::all_of(out.Px.begin(), out.Px.end(), [&](uint8_t b) { return b == v; });
        EXPECT_TRUE(flat) << int(f) << " value " << v << ' ' << s[0] << 'x' << s[1] << " -> " << s[2] << 'x' << s[3];
      }
}

// Reductions, enlargements, one axis only, odd sizes and lines of 1 and 2
// pixels, against the per-pixel arithmetic.
TEST(Resample, MatchesThePerPixelArithmetic) {
  const int sizes[][4] = {{23, 17, 7, 5},  {23, 17, 61, 40}, {23, 17, 23, 40}, {40, 9, 13, 9}, {1, 5, 1, 1},
                          {1, 5, 3, 2},    {5, 1, 1, 1},     {2, 2, 9, 9},     {2, 9, 1, 2},   {130, 3, 31, 2},
                          {3, 3, 3, 3},    {37, 2, 600, 1}};
  uint32_t seed = 1;
  for (TResampleFilter f : kKernelFilters)
    for (const auto& s : sizes) {
      const Plane src = RandomPlane(s[0], s[1], 3, seed++);
      const Plane out = Resampled(src, s[2], s[3], f);
      EXPECT_EQ(MaxDiff(out, RefTwoPass(src, s[2], s[3], f, true)), 0)
          << int(f) << ' ' << s[0] << 'x' << s[1] << " -> " << s[2] << 'x' << s[3];
    }
}

// A destination wide enough that the vertical pass works through several
// bands of intermediate rows, enlarging and reducing the height: the seams
// between bands come out as the per-pixel arithmetic gives them. Bands grow
// with the threads, so one and two threads hold them small on any machine.
TEST(Resample, WidePicturesMatchThePerPixelArithmeticAcrossBands) {
  const int sizes[][4] = {{150, 300, 4000, 431}, {151, 900, 3600, 233}, {97, 500, 4100, 97}};
  for (int32_t threads : {1, 2}) {
    TKernelThreadsScope scope(threads);
    uint32_t seed = 500;
    for (TResampleFilter f : {rfLanczos3, rfNearest})
      for (const auto& s : sizes) {
        const Plane src = RandomPlane(s[0], s[1], 3, seed++);
        EXPECT_EQ(MaxDiff(Resampled(src, s[2], s[3], f), RefTwoPass(src, s[2], s[3], f, true)), 0)
            << int(f) << ' ' << s[0] << 'x' << s[1] << " -> " << s[2] << 'x' << s[3] << " on " << threads;
      }
  }
}

// Each pass, with its weights in 1/256, stays within 1 of the same pass
// computed in double precision. A line of one row or one column isolates a
// pass: the other one maps every tap to the same pixel.
TEST(Resample, EachPassWithinOneOfDoublePrecision) {
  for (TResampleFilter f : kKernelFilters)
    for (int len : {12, 70}) {
      const Plane row = RandomPlane(31, 1, 3, 77), column = RandomPlane(1, 31, 3, 78);
      EXPECT_LE(MaxDiff(Resampled(row, len, 1, f), RefTwoPass(row, len, 1, f, false)), 1) << int(f) << ' ' << len;
      EXPECT_LE(MaxDiff(Resampled(column, 1, len, f), RefTwoPass(column, 1, len, f, false)), 1)
          << int(f) << ' ' << len;
    }
}

// Weights of 1/256 vanish when reducing more than about 512 times, and one
// source pixel would stand for all: 80,000 one-pixel stripes came out black.
// Such reductions average exact blocks first and give the stripes' mean.
TEST(Resample, HugeReductionsGiveTheMeanNotOnePixel) {
  const int n = 80000;
  Plane row{n, 2, 3, std::vector<uint8_t>(size_t(n) * 2 * 3)};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < n; ++x)
      for (int c = 0; c < 3; ++c) row.at(x, y, c) = (x & 1) ? 255 : 0;
  Plane column{2, n, 3, std::vector<uint8_t>(size_t(n) * 2 * 3)};
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < 2; ++x)
      for (int c = 0; c < 3; ++c) column.at(x, y, c) = (y & 1) ? 255 : 0;
  const auto midGray = [](const Plane& P) {
    return std::all_of(P.Px.begin(), P.Px.end(), [](uint8_t b) { return b >= 126 && b <= 129; });
  };
  for (TResampleFilter f : kKernelFilters) {
    EXPECT_TRUE(midGray(Resampled(row, 100, 1, f))) << int(f);
    EXPECT_TRUE(midGray(Resampled(column, 1, 100, f))) << int(f);
  }
}

std::unique_ptr<TBitmap> RandomOneBit(int W, int H, uint32_t Seed) {
  std::mt19937 rng(Seed);
  auto b = std::make_unique<TBitmap>(W, H, pf1bit);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) SetBit(static_cast<uint8_t*>(b->ScanLine(y)), x, rng() & 1);
  return b;
}

Plane OneBitAsGray(const TBitmap& B) {
  Plane p{B.Width(), B.Height(), 1, std::vector<uint8_t>(size_t(B.Width()) * B.Height())};
  for (int y = 0; y < p.H; ++y)
    for (int x = 0; x < p.W; ++x) p.at(x, y, 0) = GetBit(static_cast<const uint8_t*>(B.ScanLine(y)), x) ? 255 : 0;
  return p;
}

TEST(Resample, OneBitGivesTheGrayOfThe24BitPath) {
  const int sizes[][4] = {{23, 17, 9, 7}, {23, 17, 40, 31}, {1, 9, 1, 4}, {9, 2, 20, 3}};
  uint32_t seed = 5;
  for (TResampleFilter f : {rfTriangle, rfHermite, rfBell, rfBSpline, rfLanczos3, rfMitchell, rfNearest, rfLinear,
                            rfFastLinear})
    for (const auto& s : sizes) {
      if (f == rfFastLinear && (s[2] < s[0] || s[3] < s[1])) continue;  // reductions of 1-bit pictures interpolate, see below
      const auto one = RandomOneBit(s[0], s[1], seed++);
      TBitmap dst(s[2], s[3], pf24bit);
      ResampleBitmap(*one, dst, f);
      EXPECT_EQ(MaxDiff(FromBitmap(dst), Resampled(OneBitAsGray(*one), s[2], s[3], f)), 0)
          << int(f) << ' ' << s[0] << 'x' << s[1] << " -> " << s[2] << 'x' << s[3];
    }
}

TEST(Resample, OneBitFastLinearInterpolatesOrAveragesAreas) {
  // 8 x 2, the even pixels of the top row set: halving the width and doubling
  // the height interpolates both ways (fractions 0 and 1/2).
  TBitmap src(8, 2, pf1bit);
  std::memset(src.Bits(), 0, size_t(src.RowBytes()) * 2);
  for (int x = 0; x < 8; x += 2) SetBit(static_cast<uint8_t*>(src.ScanLine(0)), x, true);
  TBitmap dst(4, 4, pf24bit);
  ResampleBitmap(src, dst, rfFastLinear);
  const Plane out = FromBitmap(dst);
  const uint8_t expected[4] = {255, 127, 0, 0};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      for (int c = 0; c < 3; ++c) EXPECT_EQ(out.at(x, y, c), expected[y]) << x << ' ' << y;
  // Both sizes smaller: the area average.
  const auto one = RandomOneBit(40, 30, 9);
  TBitmap a(13, 7, pf24bit), b(13, 7, pf24bit);
  ResampleBitmap(*one, a, rfFastLinear);
  ReduceRect24(*one, 0, 0, 39, 29, b);
  EXPECT_EQ(MaxDiff(FromBitmap(a), FromBitmap(b)), 0);
}

TEST(ReduceRect24, AveragesTheCoveredBlocks) {
  // 5 x 2 into 2 x 1: columns 0..1 and 2..3 (pixel 4 falls between blocks), both rows.
  TBitmap src(5, 2, pf1bit);
  std::memset(src.Bits(), 0, size_t(src.RowBytes()) * 2);
  for (int x : {0, 1, 2}) SetBit(static_cast<uint8_t*>(src.ScanLine(0)), x, true);
  SetBit(static_cast<uint8_t*>(src.ScanLine(1)), 0, true);
  SetBit(static_cast<uint8_t*>(src.ScanLine(1)), 4, true);
  TBitmap dst(2, 1, pf8bit);
  ReduceRect24(src, 0, 0, 4, 1, dst);
  ASSERT_EQ(dst.PixelFormat(), pf24bit);
  const auto* row = static_cast<const uint8_t*>(dst.ScanLine(0));
  EXPECT_EQ(std::vector<uint8_t>(row, row + 6), (std::vector<uint8_t>{191, 191, 191, 63, 63, 63}));

  // A rectangle reaching past the bitmap is clipped to it.
  TBitmap clipped(2, 1, pf24bit);
  ReduceRect24(src, -3, 0, 100, 100, clipped);
  EXPECT_EQ(MaxDiff(FromBitmap(clipped), FromBitmap(dst)), 0);

  // The same from bottom-up rows into a bottom-up buffer.
  const int32_t srcRow = RowBytesForBits(5, 1);
  std::vector<uint8_t> bits(size_t(srcRow) * 2);
  for (int y = 0; y < 2; ++y) std::memcpy(&bits[size_t(1 - y) * srcRow], src.ScanLine(y), size_t(srcRow));
  const auto out = Reduce1BitRectTo24(bits.data(), 5, 2, 2, 1, 0, 0, 4, 1);
  ASSERT_TRUE(out);
  EXPECT_EQ(std::vector<uint8_t>(out.get(), out.get() + 6), (std::vector<uint8_t>{191, 191, 191, 63, 63, 63}));
  EXPECT_FALSE(Reduce1BitRectTo24(bits.data(), 5, 2, 0, 1, 0, 0, 4, 1));
  EXPECT_FALSE(Reduce1BitRectTo24(bits.data(), 1, 1, 2, 2, 0, 0, 0, 0));
  // A destination whose 24-bit rows do not fit 32 bits is refused before anything is allocated.
  EXPECT_THROW(Reduce1BitRectTo24(bits.data(), 5, 2, 1'500'000'000, 1, 0, 0, 4, 1), EOutOfMemory);
}

// 3000 x 3000 pixels in one block: 255 times the count of set pixels is beyond 32 bits.
TEST(ReduceRect24, HugeBlocksCountIn64Bits) {
  TBitmap src(3000, 3000, pf1bit);
  for (int32_t y = 0; y < 3000; ++y) {
    auto* row = static_cast<uint8_t*>(src.ScanLine(y));
    std::memset(row, 0, size_t(src.RowBytes()));
    FillBitRun(row, 0, 2899, true);
  }
  TBitmap dst(1, 1, pf24bit);
  ReduceRect24(src, 0, 0, 2999, 2999, dst);
  const auto* px = static_cast<const uint8_t*>(dst.ScanLine(0));
  EXPECT_EQ(std::vector<uint8_t>(px, px + 3), (std::vector<uint8_t>{246, 246, 246}));  // 255 * 2900 / 3000
}

TEST(ResampleMask, MatchesOneChannelOfThe24BitPath) {
  const Plane gray = RandomPlane(23, 17, 1, 11);
  TIMMask src;
  src.AllocateBits(23, 17, 8);
  for (int y = 0; y < 17; ++y) std::memcpy(src.ScanLine(y), gray.Px.data() + size_t(y) * 23, 23);
  for (TResampleFilter f : {rfTriangle, rfLanczos3, rfMitchell, rfNearest, rfFastLinear})
    for (const auto& s : {std::pair{9, 7}, std::pair{40, 31}, std::pair{23, 9}}) {
      TIMMask dst;
      dst.AllocateBits(s.first, s.second, 8);
      ResampleMask(src, dst, f);
      const Plane ref = Resampled(gray, s.first, s.second, f);
      int diff = 0;
      for (int y = 0; y < s.second; ++y)
        for (int x = 0; x < s.first; ++x) diff = std::max(diff, std::abs(dst.ScanLine(y)[x] - ref.at(x, y, 0)));
      EXPECT_EQ(diff, 0) << int(f) << " -> " << s.first << 'x' << s.second;
    }
  TIMMask bits1, dst;
  bits1.AllocateBits(8, 8, 1);
  bits1.Fill(255);
  dst.AllocateBits(4, 4, 8);
  ResampleMask(bits1, dst, rfTriangle);
  EXPECT_EQ(dst.ScanLine(0)[0], 0);  // a 1-bit plane is not resampled
}

TEST(FastLinear, InterpolatesIn17BitFractions) {
  // 2 x 1 to 5 x 1: centres 0, 0.4, 0.8, 1.2, 1.6; the fraction of 0.4 is 52428.
  for (const auto& [p0, p1, mid1, mid2] : {std::tuple{10, 200, 85, 161}, std::tuple{200, 10, 124, 48}}) {
    Plane src{2, 1, 3, {uint8_t(p0), uint8_t(p0), uint8_t(p0), uint8_t(p1), uint8_t(p1), uint8_t(p1)}};
    const Plane out = Resampled(src, 5, 1, rfFastLinear);
    const int expected[5] = {p0, mid1, mid2, p1, p1};
    for (int x = 0; x < 5; ++x) EXPECT_EQ(out.at(x, 0, 1), expected[x]) << p0 << ' ' << x;
  }
}

// Reducing 16.9 million pixels to 2 averages runs of 8.45 million: their sums
// are beyond 32 bits.
TEST(FastLinear, LongRunsAverageIn64Bits) {
  TIMMask src, dst;
  src.AllocateBits(16'900'000, 1, 8);
  src.Fill(255);
  dst.AllocateBits(2, 1, 8);
  ResampleMask(src, dst, rfFastLinear);
  EXPECT_EQ(dst.ScanLine(0)[0], 255);
  EXPECT_EQ(dst.ScanLine(0)[1], 255);
}

TEST(FastLinear, EqualSizesCopyAndHeightOnlyAveragesNeighbours) {
  const Plane src = RandomPlane(4, 4, 3, 21);
  EXPECT_EQ(MaxDiff(Resampled(src, 4, 4, rfFastLinear), src), 0);
  // Width kept: pixels i and i + 1 averaged (the last one alone); height
  // halved: rows 0..2 for the first row, row 2 for the second.
  const Plane out = Resampled(src, 4, 2, rfFastLinear);
  for (int c = 0; c < 3; ++c)
    for (int x = 0; x < 4; ++x) {
      auto mid = [&](int y) { return x < 3 ? (src.at(x, y, c) + src.at(x + 1, y, c)) / 2 : src.at(x, y, c); };
      EXPECT_EQ(out.at(x, 0, c), (mid(0) + mid(1) + mid(2)) / 3) << x;
      EXPECT_EQ(out.at(x, 1, c), mid(2)) << x;
    }
}

TEST(Resample, ReportsProgressByRowsThenColumns) {
  const auto src = ToBitmap(RandomPlane(10, 6, 3, 3));
  for (TResampleFilter f : {rfTriangle, rfFastLinear}) {
    std::vector<int> seen;
    TBitmap dst(4, 3, pf24bit);
    ResampleBitmapProgress(*src, dst, f, nullptr, [&](TObject*, int32_t per) { seen.push_back(per); });
    std::vector<int> expected;
    if (f == rfTriangle) {
      for (int y = 0; y < 6; ++y) expected.push_back(int((y + 1) * 100 / 10.5));
      for (int x = 0; x < 4; ++x) expected.push_back(int((6 + x + 1) * 100 / 10.5));
    } else {
      for (int y = 0; y < 6; ++y) expected.push_back(int(y * 100 / 9.5));
      for (int j = 0; j < 3; ++j) expected.push_back(int((6 + j) * 100 / 9.5));
    }
    EXPECT_EQ(seen, expected) << int(f);
  }
}

TEST(Resample, LeavesUnsuitableSourcesAlone) {
  auto untouched = [](const TBitmap& Src, bool OneBitPath) {
    TBitmap dst(3, 3, pf24bit);
    std::memset(dst.Bits(), 7, size_t(dst.RowBytes()) * 3);
    if (OneBitPath) ResampleBitmap(Src, dst, rfTriangle);
    else ResampleBitmapProgress(Src, dst, rfTriangle, nullptr, nullptr);
    return dst.PixelFormat() == pf24bit &&
           std::all_of(dst.Bits(), dst.Bits() + dst.RowBytes() * 3, [](uint8_t b) { return b == 7; });
  };
  EXPECT_TRUE(untouched(TBitmap(1, 1, pf24bit), false));
  EXPECT_TRUE(untouched(TBitmap(5, 5, pf8bit), false));
  EXPECT_TRUE(untouched(TBitmap(5, 5, pf24bit), true));
  EXPECT_TRUE(untouched(TBitmap(1, 1, pf1bit), true));
  TBitmap src(5, 5, pf24bit), empty(0, 0, pf24bit);
  ResampleBitmapProgress(src, empty, rfLanczos3, nullptr, nullptr);  // nothing to write
}

// The vector loops against the plain ones on random lines and rows.
TEST(ResampleRows, VectorLoopsMatchThePlainOnes) {
  using namespace resample_rows;
  std::mt19937 rng(4);
  for (TResampleFilter f : kKernelFilters)
    for (const auto& [n, m] : {std::pair{50, 13}, std::pair{50, 131}, std::pair{17, 17}, std::pair{3, 40}}) {
      const TContributions x = BuildContributions(n, m, f);
      const THorzTaps h(x);
      const int64_t pad = std::max<int64_t>({0, -x.MinTap, x.MaxTap - (n - 1)});
      std::vector<uint8_t> line(size_t(2 * pad + n) * 3 + kLineSlack);
      for (auto& v : line) v = uint8_t(rng());
      std::vector<uint8_t> a(size_t(m) * 3), b(size_t(m) * 3);
      HorzLine<3>(line.data() + pad * 3, a.data(), h);
      HorzLinePlain<3>(line.data() + pad * 3, b.data(), h);
      EXPECT_EQ(a, b) << int(f) << ' ' << n << ' ' << m;
      HorzLine<1>(line.data() + pad, a.data(), h);
      HorzLinePlain<1>(line.data() + pad, b.data(), h);
      EXPECT_EQ(a, b) << int(f) << ' ' << n << ' ' << m;

      const TVertTaps v(x);
      std::vector<uint8_t> plane(size_t(n) * 40 + 16);
      for (auto& p : plane) p = uint8_t(rng());
      std::vector<const uint8_t*> rows(static_cast<size_t>(n));
      for (int y = 0; y < n; ++y) rows[size_t(y)] = plane.data() + size_t(y) * 40;
      std::vector<int32_t> acc(37);
      std::vector<uint8_t> va(48), vb(48);
      for (int r = 0; r < m; ++r) {
        VertLine(rows.data(), 3, 37, v, r, acc.data(), va.data());
        VertLinePlain(rows.data(), 3, 37, v, r, acc.data(), vb.data());
        EXPECT_TRUE(std::equal(va.begin(), va.begin() + 37, vb.begin())) << int(f) << ' ' << n << ' ' << m << ' ' << r;
      }
    }
}

}  // namespace
}  // namespace kv
