#include "imaging/processing/rotate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/processing/bitmap_utils.h"
#include "imaging/model/parallel_rows.h"
#include "imaging/model/pixel.h"
#include "platform/rtl/pascal_math.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

uint8_t* RowOf(TBitmap& B, int32_t Y) { return static_cast<uint8_t*>(B.ScanLine(Y)); }

// Every pixel of a 24-bit picture distinct from its neighbours and from the
// pictures turned by any multiple of 90 degrees.
std::unique_ptr<TBitmap> Distinct24(int32_t W, int32_t H) {
  return test::Make24(W, H, [](int32_t x, int32_t y) {
    return TBGRPixel{uint8_t(x * 7 + y), uint8_t(y * 11 + 3), uint8_t(x ^ (y << 2))};
  });
}

std::unique_ptr<TBitmap> Pattern1(int32_t W, int32_t H) {
  auto out = std::make_unique<TBitmap>(W, H, pf1bit);
  TBitmap& b = *out;
  for (int32_t y = 0; y < H; ++y) {
    std::memset(RowOf(b, y), 0, size_t(b.RowBytes()));
    for (int32_t x = 0; x < W; ++x) SetBit(RowOf(b, y), x, ((x * 3 + y * y) % 5) < 2 || x == 0);
  }
  return out;
}

// Rotations by quarter turns (positive: counter-clockwise) and flips against
// pnmflip's, byte for byte, at an odd size so that no row is a whole number
// of bytes or words.
TEST(RotateQuarter, MatchesPnmflip) {
  if (!test::HaveTool("pnmflip")) GTEST_SKIP() << "netpbm's pnmflip is not installed";
  const test::TScratchFolder folder("rotate_");
  const std::string& dir = folder.Path();
  struct Case {
    const char* Option;
    double Angle;   // rotation, or
    int Flip;       // flip direction when Angle is 0
  };
  const Case cases[] = {{"-r90", 90, -1}, {"-r180", 180, -1}, {"-r270", 270, -1}, {"-r90", -270, -1},
                        {"-r270", -90, -1}, {"-r180", 540, -1}, {"-lr", 0, 0}, {"-tb", 0, 1}};
  for (bool bw : {false, true}) {
    const auto original = bw ? Pattern1(37, 23) : Distinct24(37, 23);
    const std::string in = dir + (bw ? "/in.pbm" : "/in.ppm"), out = dir + "/out.pnm";
    test::WritePnm(in, *original);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.Option) + (bw ? " 1-bit " : " 24-bit ") + std::to_string(c.Angle));
      ASSERT_EQ(test::Run("pnmflip " + std::string(c.Option) + " '" + in + "' > '" + out + "'"), 0);
      TBitmap expected, ours;
      ASSERT_TRUE(test::ReadPnm(out, expected));
      IMCloneBitmapRows(*original, ours);
      if (c.Angle != 0) RotateBitmap(ours, c.Angle, true, clRed, nullptr, nullptr);
      else FlipBitmap(ours, c.Flip);
      ASSERT_EQ(ours.Width(), expected.Width());
      ASSERT_EQ(ours.Height(), expected.Height());
      for (int32_t y = 0; y < ours.Height(); ++y) {
        const uint8_t* a = RowOf(ours, y);
        const uint8_t* b = RowOf(expected, y);
        for (int32_t x = 0; x < ours.Width(); ++x) {
          if (bw) ASSERT_EQ(GetBit(a, x), GetBit(b, x)) << x << ',' << y;
          else ASSERT_EQ(0, std::memcmp(a + 3 * x, b + 3 * x, 3)) << x << ',' << y;
        }
      }
    }
  }
}

// A 200 x 100 picture turned by 90 is 100 x 200 with no border and every
// pixel a copy; turning by 0, or by 360.0004 (0 after reduction), does nothing.
TEST(RotateQuarter, SizesAndNoOps) {
  auto picture = Distinct24(200, 100);
  TBitmap& b = *picture;
  const auto original = Distinct24(200, 100);
  RotateBitmap(b, 90, true, clRed, nullptr, nullptr);
  EXPECT_EQ(b.Width(), 100);
  EXPECT_EQ(b.Height(), 200);
  RotateBitmap(b, -90, false, clRed, nullptr, nullptr);
  EXPECT_TRUE(CompareBitmaps(b, *original));
  for (double a : {0.0, 360.0004, -360.0, 720.0}) {
    int events = 0;
    RotateBitmap(b, a, true, clRed, nullptr, [&](TObject*, int32_t) { ++events; });
    EXPECT_TRUE(CompareBitmaps(b, *original)) << a;
    EXPECT_EQ(events, 0) << a;
  }
}

// Quarter turns pixel by pixel against the mapping, at sizes around the
// tiles' edges and the four-pixel steps, with and without row padding (a
// width of a multiple of 4 leaves none, so an over-read shows under ASan).
TEST(RotateQuarter, EveryPixelLandsWhereItShould) {
  const int32_t sizes[][2] = {{1, 1}, {5, 1}, {1, 6}, {4, 7}, {37, 23}, {64, 36}, {131, 70}, {70, 133}, {260, 9}};
  for (const auto& sz : sizes) {
    const int32_t w = sz[0], h = sz[1];
    const auto src = Distinct24(w, h);
    for (int32_t q : {1, 3}) {
      SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " quarters " + std::to_string(q));
      TBitmap out;
      QuarterTurn24(*src, out, q);
      ASSERT_EQ(out.Width(), h);
      ASSERT_EQ(out.Height(), w);
      for (int32_t y = 0; y < w; ++y)
        for (int32_t x = 0; x < h; ++x) {
          const int32_t sx = q == 1 ? w - 1 - y : y, sy = q == 1 ? x : h - 1 - x;
          ASSERT_EQ(0, std::memcmp(RowOf(out, y) + 3 * x, RowOf(*src, sy) + 3 * sx, 3)) << x << ',' << y;
        }
    }
  }
}

// The shears keep a flat picture flat away from its edges (weights sum to
// one and round without drift, for odd values too), and the corners the
// turned picture does not cover take the background.
TEST(RotateShear, FlatStaysFlatAndCornersTakeBackground) {
  for (bool aa : {true, false})
    for (double angle : {7.5, -7.5, 37.0, 97.5}) {
      for (uint8_t v : {uint8_t(0), uint8_t(101), uint8_t(255)}) {
        SCOPED_TRACE(std::to_string(angle) + (aa ? " antialias " : " plain ") + std::to_string(v));
        TBitmap b(60, 40, pf24bit);
        std::memset(b.Bits(), v, size_t(b.RowBytes()) * 40);
        RotateBitmap(b, angle, aa, TColor(0x00302010), nullptr, nullptr);  // blue 0x30, green 0x20, red 0x10
        const int32_t W = b.Width(), H = b.Height();
        // Centre region: at least 8 pixels inside the turned rectangle.
        for (int32_t y = H / 2 - 8; y < H / 2 + 8; ++y)
          for (int32_t x = W / 2 - 12; x < W / 2 + 12; ++x) {
            const uint8_t* p = RowOf(b, y) + 3 * x;
            ASSERT_TRUE(p[0] == v && p[1] == v && p[2] == v) << x << ',' << y;
          }
        for (auto [x, y] : {std::pair{0, 0}, {W - 1, 0}, {0, H - 1}, {W - 1, H - 1}}) {
          const uint8_t* p = RowOf(b, y) + 3 * x;
          EXPECT_TRUE(p[0] == 0x30 && p[1] == 0x20 && p[2] == 0x10) << x << ',' << y;
        }
      }
    }
}

// The sizes of the shear rotation follow the three-pass formulas, and the
// progress steps once per row, column and row: trunc(count * 100 / (h + W1 + H + 0.5)).
TEST(RotateShear, SizeAndProgress) {
  TBitmap b(200, 100, pf24bit);
  std::vector<int32_t> seen;
  RotateBitmap24(b, 30, true, clWhite, nullptr, [&](TObject*, int32_t p) { seen.push_back(p); });
  // r = 30 degrees: T = tan 15, S = 0.5; W1 = round(100T + 201) = 228, L = 14,
  // H2 = round(114 + 101) = 215, D3 = round(T * 101) = 27, H = 187, W = round(187T + 229 - 54) = 225.
  EXPECT_EQ(b.Width(), 225);
  EXPECT_EQ(b.Height(), 187);
  const int32_t total = 100 + 228 + 187;
  ASSERT_EQ(seen.size(), size_t(total));
  for (int32_t i = 0; i < total; ++i)
    ASSERT_EQ(seen[size_t(i)], int32_t((i + 1) * 100 / (total + 0.5))) << "step " << i + 1;
  EXPECT_EQ(seen.back(), 99);
}

// The three shears written out pixel by pixel over whole intermediate
// pictures, for turns of at most 45 degrees: what the rotation must give
// however it orders its work.
int32_t RefMix(int32_t P, int32_t C, int32_t G) {
  return std::clamp(int32_t((int64_t(P) * G + int64_t(C) * (4096 - G) + 2048) >> 12), 0, 255);
}

void RefShearRow(uint8_t* D, int64_t DW, const uint8_t* S, int64_t SW, int64_t Off, bool AA, int32_t G, bool Extra,
                 const uint8_t* Bg) {
  for (int64_t x = 0; x < DW; ++x) {
    const int64_t i = x - Off;
    for (int c = 0; c < 3; ++c) {
      int32_t v = Bg[c];
      if (i >= 0 && i < SW) v = !AA || G == 0 ? S[i * 3 + c] : RefMix(i > 0 ? S[(i - 1) * 3 + c] : Bg[c], S[i * 3 + c], G);
      else if (AA && Extra && i == SW) v = RefMix(S[(SW - 1) * 3 + c], Bg[c], G);
      D[x * 3 + c] = uint8_t(v);
    }
  }
}

std::vector<uint8_t> RefShearRotate(const TBitmap& Src, double Angle, bool AA, const uint8_t* Bg, int64_t& W,
                                    int64_t& H) {
  const double r = Angle * M_PI / 180, T = std::fabs(std::tan(r / 2)), S = std::fabs(std::sin(r));
  const int64_t w = Src.Width(), h = Src.Height();
  const int64_t W1 = Round(double(h) * T + double(w) + 1), L = Round(double(W1 - w) * S);
  const int64_t H2 = Round(S * double(W1) + double(h) + 1), D3 = Round(T * double(H2 - h - L));
  H = H2 - 2 * L;
  W = Round(T * double(H) + double(W1) + 1 - 2 * double(D3));
  std::vector<uint8_t> bg(size_t(std::max(W1, W) + 1) * 3);
  for (size_t i = 0; i < bg.size(); ++i) bg[i] = Bg[i % 3];
  std::vector<uint8_t> p1(size_t(W1 * h * 3)), p2(size_t(W1 * H * 3)), out(size_t(W * H * 3));
  for (int64_t y = 0; y < h; ++y) {
    const double shift = double(r > 0 ? y : h - y) * T;
    const int64_t n = Round(shift);
    const int32_t G = int32_t((shift - double(n)) * 4096);
    RefShearRow(&p1[size_t(y * W1 * 3)], W1, static_cast<const uint8_t*>(Src.ScanLine(int32_t(y))), w, n, AA, G,
                G > 0, bg.data());
  }
  for (int64_t x = 0; x < W1; ++x) {
    const double shift = double(r > 0 ? W1 - x : x) * S;
    const int64_t n = Round(shift);
    const int32_t G = int32_t(Round((shift - double(n)) * 4096));
    std::vector<uint8_t> col(size_t(h) * 3), res(size_t(H) * 3);
    for (int64_t y = 0; y < h; ++y) std::memcpy(&col[size_t(y) * 3], &p1[size_t((y * W1 + x) * 3)], 3);
    RefShearRow(res.data(), H, col.data(), h, n - L, AA, G, true, bg.data());
    for (int64_t y = 0; y < H; ++y) std::memcpy(&p2[size_t((y * W1 + x) * 3)], &res[size_t(y) * 3], 3);
  }
  for (int64_t y = 0; y < H; ++y) {
    const double shift = double(r > 0 ? y : H - y) * T;
    const int64_t n = Round(shift);
    const int32_t G = int32_t(Round((shift - double(n)) * 4096));
    RefShearRow(&out[size_t(y * W * 3)], W, &p2[size_t(y * W1 * 3)], W1, n - D3, AA, G, true, bg.data());
  }
  return out;
}

// Tall, wide and square pictures, both directions, plain and antialiased.
// The rows go in bands that grow with the threads: on one thread and on
// three the bands are short enough that their seams and the ring's wrap fall
// inside these pictures on any machine.
TEST(RotateShear, MatchesTheShearsPixelByPixel) {
  const uint8_t bg[3] = {0x10, 0x20, 0x30};  // blue, green, red of the colour below
  for (int32_t threads : {1, 3})
    for (auto [w, h] : {std::pair{13, 200}, {200, 13}, {61, 47}})
      for (double angle : {7.5, -7.5, 30.0, -44.5})
        for (bool aa : {true, false}) {
          TKernelThreadsScope scope(threads);
          SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h) + " " + std::to_string(angle) + (aa ? " aa" : "") +
                       " on " + std::to_string(threads));
          auto b = Distinct24(w, h);
          int64_t W = 0, H = 0;
          const std::vector<uint8_t> want = RefShearRotate(*b, angle, aa, bg, W, H);
          RotateBitmap24(*b, angle, aa, TColor(0x00102030), nullptr, nullptr);
          ASSERT_EQ(b->Width(), W);
          ASSERT_EQ(b->Height(), H);
          for (int32_t y = 0; y < H; ++y)
            ASSERT_EQ(std::memcmp(RowOf(*b, y), &want[size_t(y * W * 3)], size_t(W) * 3), 0) << "row " << y;
        }
}

// A point right of another turns to the upper right of it.
TEST(RotateShear, TurnsCounterClockwise) {
  TBitmap b(81, 81, pf24bit);
  std::memset(b.Bits(), 0, size_t(b.RowBytes()) * 81);
  for (int32_t y = 38; y <= 42; ++y) {
    for (int32_t x = 38; x <= 42; ++x) RowOf(b, y)[3 * x + 1] = 255;  // the centre, green
    for (int32_t x = 70; x <= 74; ++x) RowOf(b, y)[3 * x] = 255;      // 32 to the right, blue
  }
  RotateBitmap24(b, 30, false, clBlack, nullptr, nullptr);
  auto centroid = [&](int Channel) {
    double sx = 0, sy = 0, n = 0;
    for (int32_t y = 0; y < b.Height(); ++y)
      for (int32_t x = 0; x < b.Width(); ++x)
        if (RowOf(b, y)[3 * x + Channel] == 255) sx += x, sy += y, ++n;
    return std::pair{sx / n, sy / n};
  };
  const auto [gx, gy] = centroid(1);
  const auto [bx, by] = centroid(0);
  EXPECT_NEAR(bx - gx, 32 * std::cos(M_PI / 6), 1.0);
  EXPECT_NEAR(gy - by, 32 * std::sin(M_PI / 6), 1.0);
}

// The 1-bit rotation: size from the truncated sine and cosine, background
// bits from the colour, and no picture shrinks to nothing at tiny angles.
TEST(Rotate1Bit, SizeBackgroundAndTinyAngles) {
  TBitmap b(40, 20, pf1bit);
  std::memset(b.Bits(), 0, size_t(b.RowBytes()) * 20);  // black
  TBitmap white;
  IMCloneBitmapRows(b, white);
  RotateBitmap1(b, 45, clWhite, nullptr, nullptr);
  // c = s = 0.7071: W = H = trunc(60 * 0.7071) = 42.
  EXPECT_EQ(b.Width(), 42);
  EXPECT_EQ(b.Height(), 42);
  EXPECT_TRUE(GetBit(RowOf(b, 0), 0));                 // corner: background white
  EXPECT_FALSE(GetBit(RowOf(b, 21), 21));              // centre: the black picture
  RotateBitmap1(white, 45, clBlack, nullptr, nullptr);
  EXPECT_FALSE(GetBit(RowOf(white, 0), 0));

  TBitmap thin(1, 1, pf1bit);
  RotateBitmap1(thin, 0.001, clBlack, nullptr, nullptr);
  EXPECT_EQ(thin.Width(), 1);
  EXPECT_EQ(thin.Height(), 1);
}

// Flipping twice restores every format, and a horizontal flip of a 1-bit row
// mirrors exactly the width (not the padded row) and keeps pad bits clear.
TEST(Flip, TwiceRestoresEveryFormat) {
  for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit})
    for (int32_t dir : {0, 1}) {
      TBitmap b(13, 5, pf);
      for (int32_t y = 0; y < 5; ++y)
        for (int32_t i = 0; i < b.RowBytes(); ++i) RowOf(b, y)[i] = uint8_t(i * 37 + y * 11);
      // Pad bits of the 1- and 4-bit rows are not pixels: keep them clear.
      if (pf == pf1bit)
        for (int32_t y = 0; y < 5; ++y) RowOf(b, y)[1] &= 0xF8, std::memset(RowOf(b, y) + 2, 0, 2);
      if (pf == pf4bit)
        for (int32_t y = 0; y < 5; ++y) RowOf(b, y)[6] &= 0xF0, RowOf(b, y)[7] = 0;
      auto copy = DuplicateBitmap(b);
      FlipBitmap(b, dir);
      EXPECT_FALSE(CompareBitmaps(b, *copy)) << int(pf) << ' ' << dir;
      FlipBitmap(b, dir);
      EXPECT_TRUE(CompareBitmaps(b, *copy)) << int(pf) << ' ' << dir;
    }
  TBitmap row(13, 1, pf1bit);
  std::memset(row.Bits(), 0, 4);
  SetBit(RowOf(row, 0), 0, true);
  SetBit(RowOf(row, 0), 3, true);
  FlipBitmap(row, 0);
  EXPECT_EQ(RowOf(row, 0)[0], 0x00);
  EXPECT_EQ(RowOf(row, 0)[1], 0x48);  // pixels 9 and 12
}

}  // namespace
}  // namespace kv
