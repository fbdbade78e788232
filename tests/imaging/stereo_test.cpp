// Combining two eye pictures into the eight stereo kinds and splitting them again.
#include <gtest/gtest.h>

#include "imaging/processing/stereo.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

using namespace kv::test;

TBGRPixel At(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }
// Distinct colours per eye and position.
TBGRPixel LeftEye(int32_t x, int32_t y) { return {uint8_t(10 + x), uint8_t(20 + y), uint8_t(30 + x + y)}; }
TBGRPixel RightEye(int32_t x, int32_t y) { return {uint8_t(200 - x), uint8_t(150 + y), uint8_t(100 + 2 * x)}; }

struct TPair {
  std::unique_ptr<TBitmap> L = Make24(8, 5, LeftEye), R = Make24(9, 6, RightEye);
};

std::unique_ptr<TBitmap> Make(int32_t Kind, int32_t Dx = 0, int32_t Dy = 0) {
  TPair p;
  auto out = std::make_unique<TBitmap>();
  MakeAnaglyph(*p.L, *p.R, *out, Kind, Dx, Dy, 0);
  return out;
}

TEST(Stereo, AnaglyphKindsTakeTheirChannelsFromTheRightEye) {
  for (int32_t kind = 0; kind <= 3; ++kind) {
    SCOPED_TRACE(kind);
    const auto outp = Make(kind);
  const TBitmap& out = *outp;
    ASSERT_EQ(out.Width(), 8);  // the smaller width and height
    ASSERT_EQ(out.Height(), 5);
    for (auto [x, y] : {std::pair{0, 0}, {3, 2}, {7, 4}}) {
      TBGRPixel l = LeftEye(x, y), r = RightEye(x, y);
      if (kind == 3) {
        const auto grey = [](TBGRPixel p) {
          const uint8_t g = uint8_t((21 * p.r + 71 * p.g + 7 * p.b) / 100);
          return TBGRPixel{g, g, g};
        };
        l = grey(l);
        r = grey(r);
      }
      const TBGRPixel want{kind == 1 ? uint8_t(0) : r.b, kind == 0 ? uint8_t(0) : r.g, l.r};
      EXPECT_EQ(At(out, x, y), want) << x << "," << y;
    }
  }
}

TEST(Stereo, SideBySideLayouts) {
  const auto parallelp = Make(skParallel);
  const TBitmap& parallel = *parallelp;
  ASSERT_EQ(parallel.Width(), 16);
  EXPECT_EQ(At(parallel, 2, 3), LeftEye(2, 3));
  EXPECT_EQ(At(parallel, 8 + 2, 3), RightEye(2, 3));
  const auto crossedp = Make(skCrossed);
  const TBitmap& crossed = *crossedp;
  ASSERT_EQ(crossed.Width(), 16);
  EXPECT_EQ(At(crossed, 2, 3), RightEye(2, 3));
  EXPECT_EQ(At(crossed, 8 + 2, 3), LeftEye(2, 3));
  const auto mirrorp = Make(skMirror);
  const TBitmap& mirror = *mirrorp;
  ASSERT_EQ(mirror.Width(), 26);
  EXPECT_EQ(At(mirror, 0, 1), LeftEye(7, 1));  // mirrored
  EXPECT_EQ(At(mirror, 8, 1), TBGRPixel{});   // the gap
  EXPECT_EQ(At(mirror, 18, 1), RightEye(0, 1));
  const auto shutterp = Make(skShutter);
  const TBitmap& shutter = *shutterp;
  EXPECT_EQ(At(shutter, 4, 0), RightEye(4, 0));
  EXPECT_EQ(At(shutter, 4, 1), LeftEye(4, 1));
}

TEST(Stereo, ShiftMovesTheRightEyeOverBlack) {
  const auto outp = Make(skParallel, 5, 0);
  const TBitmap& out = *outp;
  EXPECT_EQ(At(out, 8 + 4, 2), TBGRPixel{});
  EXPECT_EQ(At(out, 8 + 5, 2), RightEye(0, 2));
}

TEST(Stereo, OneRowShutterComesFromTheRightEye) {
  auto l = Make24(4, 1, LeftEye), r = Make24(4, 1, RightEye);
  TBitmap out;
  MakeAnaglyph(*l, *r, out, skShutter, 0, 0, 0);
  EXPECT_EQ(At(out, 1, 0), RightEye(1, 0));
}

TEST(Stereo, SplittingGivesTheEyesBack) {
  for (int32_t kind : {skParallel, skCrossed, skMirror, skShutter}) {
    SCOPED_TRACE(kind);
    auto l = Make24(12, 6, LeftEye), r = Make24(12, 6, RightEye);
    TBitmap stereo, lc, rc, l2, r2;
    lc.Assign(l.get());
    rc.Assign(r.get());
    MakeAnaglyph(lc, rc, stereo, kind, 0, 0, 0);
    SplitStereoImage(l2, r2, stereo, kind);
    const int32_t w = 12;
    ASSERT_EQ(l2.Width(), w);
    ASSERT_EQ(r2.Width(), w);
    for (int32_t y = 0; y < 6; ++y)
      for (int32_t x = 0; x < w; ++x) {
        if (kind == skShutter) {
          // Each eye has every other row; the rest is its neighbour row.
          EXPECT_EQ(At(l2, x, y), LeftEye(x, y % 2 ? y : y + 1));
          EXPECT_EQ(At(r2, x, y), RightEye(x, y % 2 ? y - 1 : y));
        } else {
          ASSERT_EQ(At(l2, x, y), LeftEye(x, y));
          ASSERT_EQ(At(r2, x, y), RightEye(x, y));
        }
      }
  }
}

TEST(Stereo, SplittingAnOddWidthSqueezesTheRightHalf) {
  auto s = Make24(9, 2, LeftEye);
  TBitmap l, r;
  SplitStereoImage(l, r, *s, skParallel);
  EXPECT_EQ(l.Width(), 4);
  EXPECT_EQ(r.Width(), 4);  // five columns into four
  EXPECT_EQ(At(r, 0, 0), LeftEye(4, 0));
  EXPECT_EQ(At(r, 3, 0), LeftEye(7, 0));
}

TEST(Stereo, AnaglyphSplitKeepsTheChannels) {
  auto s = Make24(3, 2, RightEye);
  TBitmap l, r;
  SplitStereoImage(l, r, *s, skRedBlue);
  EXPECT_EQ(At(l, 1, 1), (TBGRPixel{0, 0, RightEye(1, 1).r}));
  EXPECT_EQ(At(r, 1, 1), (TBGRPixel{RightEye(1, 1).b, 0, 0}));
  SplitStereoImage(l, r, *s, skMonochrome);
  const uint8_t red = RightEye(2, 0).r, green = RightEye(2, 0).g;
  EXPECT_EQ(At(l, 2, 0), (TBGRPixel{red, red, red}));
  EXPECT_EQ(At(r, 2, 0), (TBGRPixel{green, green, green}));
}

}  // namespace
}  // namespace kv
