#include "imaging/processing/skew.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "imaging/model/pixel.h"

namespace kv {
namespace {

const TIMProgressEvent kNoProgress;
constexpr double kPi = 3.14159265358979323846;

// A pf1bit bitmap, white (set) except where Black says so.
void Make1Bit(TBitmap& B, int32_t W, int32_t H, const std::function<bool(double, double)>& Black) {
  B.SetPixelFormat(pf1bit);
  B.SetSize(W, H);
  for (int32_t y = 0; y < H; ++y) {
    auto* row = static_cast<uint8_t*>(B.ScanLine(y));
    for (int32_t x = 0; x < W; ++x) SetBit(row, x, !Black(x, y));
  }
}

// Coordinates along (u) and across (v) a direction Degrees below the x axis
// (rows grow downwards, so a positive angle falls to the right), from the centre.
struct TRotated {
  double Cx, Cy, Cos, Sin;
  TRotated(int32_t W, int32_t H, double Degrees)
      : Cx(W / 2.0), Cy(H / 2.0), Cos(std::cos(Degrees * kPi / 180)), Sin(std::sin(Degrees * kPi / 180)) {}
  double U(double x, double y) const { return (x - Cx) * Cos + (y - Cy) * Sin; }
  double V(double x, double y) const { return -(x - Cx) * Sin + (y - Cy) * Cos; }
};

// One thin straight line through the centre, Length long.
void MakeLine(TBitmap& B, int32_t W, int32_t H, double Degrees, double Length) {
  const TRotated r(W, H, Degrees);
  Make1Bit(B, W, H, [&](double x, double y) {
    return std::abs(r.V(x, y)) < 0.5 && std::abs(r.U(x, y)) < Length / 2;
  });
}

TEST(SkewAngleSearch, RefusedInputsGiveZero) {
  TBitmap line;
  MakeLine(line, 400, 100, 3, 350);
  ASSERT_EQ(SkewAngleSearch(line, kNoProgress, nullptr, 10, 0.5), 3.0);
  struct Case {
    int32_t MaxAngle;
    double Precision;
  };
  for (const Case c : {Case{10, 0.05}, Case{10, 0.099}, Case{10, 1.5}, Case{10, -0.5}, Case{-1, 0.5}, Case{181, 0.5},
                       Case{10, std::numeric_limits<double>::quiet_NaN()}})
    EXPECT_EQ(SkewAngleSearch(line, kNoProgress, nullptr, c.MaxAngle, c.Precision), 0.0)
        << c.MaxAngle << ' ' << c.Precision;
  TBitmap wide;
  wide.Assign(&line);
  wide.SetPixelFormat(pf24bit);
  EXPECT_EQ(SkewAngleSearch(wide, kNoProgress, nullptr, 10, 0.5), 0.0);
}

// Without a single vote (no black pixel, or an angle range of 0) the answer
// is 0, not the -90 of an empty accumulator's first row.
TEST(SkewAngleSearch, NoVotesGiveZero) {
  TBitmap white, empty(0, 0, pf1bit), line;
  Make1Bit(white, 50, 40, [](double, double) { return false; });
  MakeLine(line, 200, 60, 2, 150);
  EXPECT_EQ(SkewAngleSearch(white, kNoProgress, nullptr, 10, 0.5), 0.0);
  EXPECT_EQ(SkewAngleSearch(empty, kNoProgress, nullptr, 10, 0.5), 0.0);
  EXPECT_EQ(SkewAngleSearch(line, kNoProgress, nullptr, 0, 0.5), 0.0);
}

// Lines falling to the right give positive angles; the precision is cut to
// tenths, so 0.25 searches in steps of 0.2 degrees like 0.2 does.
TEST(SkewAngleSearch, FindsTheAngleOfALine) {
  struct Case {
    double Degrees;
    int32_t MaxAngle;
    double Precision;
    double Expected;
  };
  for (const Case c : {Case{3, 10, 0.5, 3}, Case{-3, 10, 0.5, -3}, Case{2.2, 10, 0.2, 2.2}, Case{2.2, 10, 0.25, 2.2},
                       Case{-7.3, 20, 0.1, -7.3}, Case{0, 10, 1, 0}, Case{40, 100, 1, 40}}) {
    TBitmap line;
    MakeLine(line, 1200, 260, c.Degrees, 1100);
    EXPECT_NEAR(SkewAngleSearch(line, kNoProgress, nullptr, c.MaxAngle, c.Precision), c.Expected, 1e-9)
        << c.Degrees << ' ' << c.Precision;
  }
}

// A = 10 at 0.5 degrees votes in the rows for -5 .. +4 degrees: the row for
// +4.5 is searched but never voted, so steeper lines come out at the ends.
TEST(SkewAngleSearch, RangeIsOneRowShortAtTheTop) {
  TBitmap down, up, half;
  MakeLine(down, 1200, 300, 6, 1100);
  MakeLine(up, 1200, 300, -6, 1100);
  MakeLine(half, 1200, 300, 4.5, 1100);
  EXPECT_EQ(SkewAngleSearch(down, kNoProgress, nullptr, 10, 0.5), 4.0);
  EXPECT_EQ(SkewAngleSearch(half, kNoProgress, nullptr, 10, 0.5), 4.0);
  EXPECT_EQ(SkewAngleSearch(up, kNoProgress, nullptr, 10, 0.5), -5.0);
}

// Corner pixels lie up to half the diagonal from the centre, which is more
// than the accumulator's d when that is not a whole number: every vote must
// still land inside it.
TEST(SkewAngleSearch, SmallAndNarrowBitmapsStayInsideTheAccumulator) {
  struct Size {
    int32_t W, H;
  };
  for (const Size s : {Size{1, 1}, Size{2, 2}, Size{2, 100}, Size{100, 2}, Size{3, 7}, Size{9, 1}, Size{33, 17}})
    for (double p : {1.0, 0.1}) {
      TBitmap black;
      Make1Bit(black, s.W, s.H, [](double, double) { return true; });
      const double a = SkewAngleSearch(black, kNoProgress, nullptr, 180, p);
      EXPECT_GE(a, -90) << s.W << 'x' << s.H;
      EXPECT_LT(a, 90) << s.W << 'x' << s.H;
    }
}

// The search written plainly: votes in a map keyed by (row, distance), the
// first strictly largest count in row order, then distance order.
double ReferenceSearch(const TBitmap& B, int32_t A, double p) {
  const double c = std::trunc(p * 10) / 10;
  const int32_t f = int32_t(std::nearbyint(1 / c));
  const int32_t h = A * f / 2;
  std::map<std::pair<int32_t, int64_t>, int32_t> votes;
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x) {
      if (GetBit(static_cast<const uint8_t*>(B.ScanLine(y)), x)) continue;
      for (int32_t k = 90 * f - h; k <= 90 * f + h - 2; ++k) {
        const double angle = k / double(f) * 0.017453292519444445;
        const int64_t s = int64_t(std::sin(angle) * 268435456), co = int64_t(std::cos(angle) * 268435456);
        const int64_t sum = int64_t(y - B.Height() / 2) * s + int64_t(x - B.Width() / 2) * co;
        ++votes[{k, sum >= 0 ? sum / 268435456 : -((-sum + 268435455) / 268435456)}];
      }
    }
  int32_t best = 0, row = 0;
  for (const auto& [key, count] : votes)
    if (count > best) {
      best = count;
      row = key.first;
    }
  return votes.empty() ? 0 : row / double(f) - 90;
}

// Small random pictures have many ties and votes at the very corners of the
// accumulator.
TEST(SkewAngleSearch, AgreesWithAPlainSearch) {
  std::mt19937 rng(77);
  for (int n = 0; n < 30; ++n) {
    const int32_t w = 1 + int32_t(rng() % 16), h = 1 + int32_t(rng() % 16);
    const int32_t a = int32_t(rng() % 181);
    const double p = 0.1 * (1 + rng() % 10);
    const unsigned density = 5 + rng() % 60;
    TBitmap b;
    Make1Bit(b, w, h, [&](double, double) { return rng() % 100 < density; });
    EXPECT_EQ(SkewAngleSearch(b, kNoProgress, nullptr, a, p), ReferenceSearch(b, a, p))
        << w << 'x' << h << " A=" << a << " p=" << p;
  }
}

TEST(SkewAngleSearch, ProgressAfterEachRow) {
  TBitmap line;
  MakeLine(line, 40, 7, 0, 30);
  TObject sender;
  std::vector<int32_t> seen;
  SkewAngleSearch(line, [&](TObject* s, int32_t per) {
    EXPECT_EQ(s, &sender);
    seen.push_back(per);
  }, &sender, 10, 0.5);
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 14, 28, 42, 57, 71, 85}));
}

// ---- estimate ---------------------------------------------------------------

// A page of text: lines of word-sized black bars on white, turned by Degrees.
bool TextInk(const TRotated& r, double x, double y) {
  const double u = r.U(x, y) + 300, v = r.V(x, y) + 200;
  if (u < 0 || u >= 600 || v < 0 || v >= 400) return false;
  const int line = int(v) / 32;
  if (std::fmod(v, 32) >= 14) return false;
  // Words of 24 to 66 pixels with 12-pixel spaces, different on every line.
  double start = 0;
  for (int word = 0; start < 600; ++word) {
    const double length = 24 + ((word * 7 + line * 13) % 7) * 7;
    if (u >= start && u < start + length) return true;
    start += length + 12;
  }
  return false;
}

void MakePage24(TBitmap& B, int32_t W, int32_t H, double Degrees) {
  const TRotated r(W, H, Degrees);
  B.SetPixelFormat(pf24bit);
  B.SetSize(W, H);
  for (int32_t y = 0; y < H; ++y) {
    auto* row = static_cast<TBGRPixel*>(B.ScanLine(y));
    for (int32_t x = 0; x < W; ++x) row[x] = TextInk(r, x, y) ? TBGRPixel{20, 20, 20} : TBGRPixel{250, 250, 250};
  }
}

TEST(EstimateSkewAngle, FindsTheSkewOfAPageOfText) {
  for (double degrees : {3.0, -3.0}) {
    TBitmap page;
    MakePage24(page, 800, 560, degrees);
    // Reduced to 400 pixels wide, as the straightening command does.
    EXPECT_NEAR(EstimateSkewAngleOfBitmap(&page, 400, 10, 0.5, nullptr, kNoProgress), degrees, 0.5) << degrees;
    // Used as it is, and as a 1-bit picture.
    EXPECT_NEAR(EstimateSkewAngleOfBitmap(&page, 0, 10, 0.1, nullptr, kNoProgress), degrees, 0.1) << degrees;
    TBitmap bw;
    Make1Bit(bw, 800, 560, [r = TRotated(800, 560, degrees)](double x, double y) { return TextInk(r, x, y); });
    EXPECT_NEAR(EstimateSkewAngleOfBitmap(&bw, 400, 10, 0.5, nullptr, kNoProgress), degrees, 0.5) << degrees;
  }
}

TEST(EstimateSkewAngle, NothingToMeasureGivesZero) {
  EXPECT_EQ(EstimateSkewAngleOfBitmap(nullptr, 400, 10, 0.5, nullptr, kNoProgress), 0.0);
  TBitmap empty;
  EXPECT_EQ(EstimateSkewAngleOfBitmap(&empty, 400, 10, 0.5, nullptr, kNoProgress), 0.0);
  TBitmap blank(300, 200, pf24bit);
  EXPECT_EQ(EstimateSkewAngleOfBitmap(&blank, 150, 10, 0.5, nullptr, kNoProgress), 0.0);
  // Far wider than high: the reduced copy would have no rows.
  TBitmap strip(4000, 1, pf24bit);
  EXPECT_EQ(EstimateSkewAngleOfBitmap(&strip, 100, 10, 0.5, nullptr, kNoProgress), 0.0);
}

TEST(EstimateSkewAngle, ProgressComesFromTheSearch) {
  TBitmap page;
  MakePage24(page, 400, 280, 2);
  TObject sender;
  std::vector<int32_t> seen;
  EstimateSkewAngleOfBitmap(&page, 200, 10, 0.5, &sender, [&](TObject* s, int32_t per) {
    EXPECT_EQ(s, &sender);
    seen.push_back(per);
  });
  ASSERT_EQ(seen.size(), 140u);  // one per row of the 200 x 140 edge map
  EXPECT_EQ(seen.front(), 0);
  EXPECT_EQ(seen.back(), 139 * 100 / 140);
}

}  // namespace
}  // namespace kv
