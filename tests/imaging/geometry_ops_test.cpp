#include "imaging/processing/geometry_ops.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/colour_convert.h"
#include "imaging/processing/convert_bits.h"
#include "imaging/model/mask.h"
#include "platform/graphics/canvas.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

uint8_t* RowOf(TBitmap& B, int32_t Y) { return static_cast<uint8_t*>(B.ScanLine(Y)); }

bool AllBits(TBitmap& B, bool Value) {
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x)
      if (GetBit(RowOf(B, y), x) != Value) return false;
  return true;
}

TEST(GeometryOps, ResizeCanvasKeepsTopLeftAndRefusesEmptySizes) {
  TBitmap b(4, 3, pf24bit);
  test::FillFlat24(b, CreateRGB(10, 20, 30));
  EXPECT_TRUE(ResizeCanvas(b, 6, 5, clBlue));
  ASSERT_EQ(b.Width(), 6);
  ASSERT_EQ(b.Height(), 5);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 6; ++x)
      EXPECT_EQ(b.GetPixelColor(x, y), x < 4 && y < 3 ? TColor(RGB(10, 20, 30)) : clBlue) << x << ',' << y;
  for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-3, 4}, {4, -1}}) {
    EXPECT_FALSE(ResizeCanvas(b, w, h, clRed));
    EXPECT_EQ(b.Width(), 6);
    EXPECT_EQ(b.Height(), 5);
  }
}

TEST(GeometryOps, ResampleSizeRules) {
  TBitmap b(200, 100, pf24bit), tall(200, 1000, pf24bit), empty;
  struct Case {
    int32_t W, H;
    bool Ok;
    int32_t OutW, OutH;
  };
  for (const Case& c : {Case{-1, 50, true, 100, 50}, {50, -1, true, 50, 25}, {300, 20, true, 300, 20},
                        {-1, -1, false, 0, 0}, {0, 50, false, 0, 0}, {50, 0, false, 0, 0}, {-1, 0, false, 0, 0}}) {
    int32_t w = c.W, h = c.H;
    EXPECT_EQ(ResampleSize(b, w, h), c.Ok) << c.W << ',' << c.H;
    if (c.Ok) {
      EXPECT_EQ(std::pair(w, h), std::pair(c.OutW, c.OutH)) << c.W << ',' << c.H;
    }
  }
  int32_t w = -1, h = 1;  // 200 * 1 div 1000 = 0
  EXPECT_FALSE(ResampleSize(tall, w, h));
  w = 10, h = 10;
  EXPECT_FALSE(ResampleSize(empty, w, h));
  EXPECT_FALSE(ResampleImage(b, 0, 10, rfTriangle, nullptr, nullptr, nullptr));
  EXPECT_EQ(b.Width(), 200);
}

TEST(GeometryOps, ResampleFormatsAndAlpha) {
  // rfNone stretches and keeps 1 bit; a filter turns 1 bit into 24-bit gray.
  TBitmap bw(8, 4, pf1bit);
  std::memset(bw.Bits(), 0xFF, size_t(bw.RowBytes()) * 4);
  EXPECT_TRUE(ResampleImage(bw, 16, 8, rfNone, nullptr, nullptr, nullptr));
  EXPECT_EQ(bw.PixelFormat(), pf1bit);
  EXPECT_EQ(bw.Width(), 16);
  EXPECT_TRUE(AllBits(bw, true));
  int events = 0;
  EXPECT_TRUE(ResampleImage(bw, -1, 4, rfTriangle, nullptr, nullptr, [&](TObject*, int32_t) { ++events; }));
  EXPECT_EQ(bw.PixelFormat(), pf24bit);
  EXPECT_EQ(bw.Width(), 8);
  EXPECT_EQ(bw.GetPixelColor(3, 2), clWhite);
  EXPECT_EQ(events, 0);  // 1-bit sources resample without progress

  // A single pixel has nothing to filter but is still stretched.
  TBitmap dot(1, 1, pf24bit);
  test::FillFlat24(dot, CreateRGB(200, 100, 50));
  EXPECT_TRUE(ResampleImage(dot, 3, 2, rfLanczos3, nullptr, nullptr, nullptr));
  EXPECT_EQ(dot.GetPixelColor(2, 1), TColor(RGB(200, 100, 50)));

  // A full alpha plane is made anew, full; another one is resampled.
  TBitmap pic(10, 10, pf24bit);
  test::FillFlat24(pic, CreateRGB(1, 2, 3));
  TIMMask full, half;
  full.AllocateBits(10, 10, 8);
  full.Fill(255);
  half.AllocateBits(10, 10, 8);
  half.Fill(128);
  EXPECT_TRUE(ResampleImage(pic, 20, 5, rfBell, &full, nullptr, nullptr));
  EXPECT_EQ(full.Width, 20);
  EXPECT_EQ(full.Height, 5);
  EXPECT_TRUE(full.Full);
  EXPECT_EQ(full.GetPixel(19, 4), 255);
  EXPECT_TRUE(ResampleImage(pic, 5, 5, rfNone, &half, nullptr, nullptr));
  EXPECT_EQ(half.Width, 5);
  EXPECT_EQ(half.GetPixel(2, 2), 128);
  EXPECT_FALSE(half.Full);

  // The picture takes the result's pixels in place: its canvas paints at the
  // new size and its own transparency settings stay.
  pic.Canvas().Brush().SetColor(clLime);
  pic.SetTransparent(true);
  pic.SetTransparentColor(clFuchsia);
  EXPECT_TRUE(ResampleImage(pic, 7, 9, rfTriangle, nullptr, nullptr, nullptr));
  EXPECT_TRUE(pic.Transparent());
  EXPECT_EQ(pic.TransparentMode(), tmFixed);
  EXPECT_EQ(pic.TransparentColor(), clFuchsia);
  pic.Canvas().FillRect(Rect(0, 0, 7, 9));
  EXPECT_EQ(pic.GetPixelColor(6, 8), clLime);
}

TEST(GeometryOps, ClearAndCrop) {
  TBitmap b(10, 8, pf24bit);
  ClearBitmap(b, clYellow);
  EXPECT_EQ(b.GetPixelColor(9, 7), clYellow);

  // The crop keeps the box of the mask; inside it, pixels the mask does not
  // cover become white.
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 10; ++x) b.SetPixelColor(x, y, TColor(RGB(uint8_t(x * 20), uint8_t(y * 30), 7)));
  TIMMask mask;
  mask.AllocateBits(10, 8, 1);
  EXPECT_FALSE(CropToMask(b, &mask));  // empty selection
  EXPECT_FALSE(CropToMask(b, nullptr));
  mask.SetPixel(2, 3, 1);
  mask.SetPixel(5, 6, 1);
  ASSERT_TRUE(CropToMask(b, &mask));
  ASSERT_EQ(b.Width(), 4);
  ASSERT_EQ(b.Height(), 4);
  EXPECT_EQ(b.GetPixelColor(0, 0), TColor(RGB(40, 90, 7)));
  EXPECT_EQ(b.GetPixelColor(3, 3), TColor(RGB(100, 180, 7)));
  EXPECT_EQ(b.GetPixelColor(1, 1), clWhite);

  TBitmap bw(12, 4, pf1bit);
  std::memset(bw.Bits(), 0, size_t(bw.RowBytes()) * 4);
  TIMMask m1;
  m1.AllocateBits(12, 4, 1);
  m1.FillRow(1, 3, 1, 10);  // FillRow leaves the box alone: its ends grow it
  m1.SetPixel(3, 1, 1);
  m1.SetPixel(10, 1, 1);
  m1.SetPixel(5, 2, 1);
  ASSERT_TRUE(CropToMask(bw, &m1));
  EXPECT_EQ(bw.Width(), 8);
  EXPECT_EQ(bw.Height(), 2);
  EXPECT_FALSE(GetBit(RowOf(bw, 0), 7));  // covered: black as before
  EXPECT_TRUE(GetBit(RowOf(bw, 1), 0));   // uncovered: white
  EXPECT_FALSE(GetBit(RowOf(bw, 1), 2));
}

// White pages stay white and black ones black; a mid gray of 128 (g4 = 31)
// is white exactly where the matrix entry is below 31, and 254 (g4 = 62)
// keeps two black dots a block.
TEST(GeometryOps, OrderedDither) {
  struct Case {
    uint8_t V;
    int32_t Level;  // white where the matrix entry is below this
  };
  for (const Case c : {Case{255, 64}, {0, 0}, {128, 31}, {254, 62}}) {
    const uint8_t v = c.V;
    TBitmap b(19, 11, pf24bit);
    test::FillFlat24(b, CreateRGB(v, v, v));
    std::vector<int32_t> seen;
    TProgressRec progress{[&](TObject*, int32_t p) { seen.push_back(p); }, nullptr};
    ConvertTo1BitDither(b, progress);
    ASSERT_EQ(b.PixelFormat(), pf1bit);
    ASSERT_EQ(seen.size(), 11u);
    EXPECT_LT(seen.back(), 100);
    for (int32_t y = 0; y < 11; ++y)
      for (int32_t x = 0; x < 19; ++x) {
        const bool want = kDitherMatrix[x & 7][y & 7] < c.Level;
        ASSERT_EQ(GetBit(RowOf(b, y), x), want) << int(v) << ' ' << x << ',' << y;
      }
  }
}

TEST(GeometryOps, TwoColourPictures) {
  // White text on black: black is colour 0 and its pixels bit 0.
  TBitmap text(10, 3, pf24bit);
  test::FillFlat24(text, CreateRGB(255, 255, 255));
  for (int32_t x = 0; x < 10; ++x)
    if (x != 4) text.SetPixelColor(x, 1, clBlack);
  text.SetPixelColor(0, 0, clBlack);
  for (bool firstIsWhite : {false, true}) {
    if (firstIsWhite) text.SetPixelColor(0, 0, clWhite);
    TBGRPixel c0{1, 1, 1}, c1{1, 1, 1};
    auto bw = ConvertTo1BitIfTwoColors(text, c0, c1);
    ASSERT_TRUE(bw) << firstIsWhite;
    EXPECT_EQ(c0, (TBGRPixel{0, 0, 0}));
    EXPECT_EQ(c1, (TBGRPixel{255, 255, 255}));
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 10; ++x)
        EXPECT_EQ(GetBit(RowOf(*bw, y), x), text.GetPixelColor(x, y) == clWhite) << x << ',' << y;
    EXPECT_EQ(RowOf(*bw, 0)[1] & 0x3F, 0);  // pad bits stay clear after the exchange
  }
  TBGRPixel c0, c1;
  TBitmap flat(5, 5, pf24bit);
  // One colour keeps it in both entries; the bits are its nearest of black and white.
  for (const auto& [colour, light] : {std::pair{CreateRGB(250, 240, 200), true}, std::pair{CreateRGB(9, 9, 9), false}}) {
    test::FillFlat24(flat, colour);
    auto one = ConvertTo1BitIfTwoColors(flat, c0, c1);
    ASSERT_TRUE(one);
    EXPECT_EQ(c0, c1);
    EXPECT_EQ(c0, colour);
    EXPECT_EQ(RowOf(*one, 4)[0], light ? 0xF8 : 0x00);  // pad bits stay clear
  }
  flat.SetPixelColor(1, 1, clRed);
  EXPECT_TRUE(ConvertTo1BitIfTwoColors(flat, c0, c1));
  flat.SetPixelColor(4, 4, clBlue);
  EXPECT_FALSE(ConvertTo1BitIfTwoColors(flat, c0, c1));
  TBitmap bw(5, 5, pf1bit);
  EXPECT_FALSE(ConvertTo1BitIfTwoColors(bw, c0, c1));
}

TEST(GeometryOps, ExpandTo24AndReduceColours) {
  TBitmap bw(13, 2, pf1bit);
  std::memset(bw.Bits(), 0, size_t(bw.RowBytes()) * 2);
  for (int32_t x : {0, 7, 8, 12}) SetBit(RowOf(bw, 1), x, true);
  int events = 0;
  int32_t lastPercent = 0;
  ConvertBitmapTo24Bit(bw, nullptr, [&](TObject*, int32_t p) { ++events, lastPercent = p; });
  ASSERT_EQ(bw.PixelFormat(), pf24bit);
  EXPECT_EQ(events, 2);
  EXPECT_EQ(lastPercent, 80);  // 2 * 100 / 2.5
  for (int32_t x = 0; x < 13; ++x) {
    EXPECT_EQ(bw.GetPixelColor(x, 0), clBlack);
    EXPECT_EQ(bw.GetPixelColor(x, 1), x == 0 || x == 7 || x == 8 || x == 12 ? clWhite : clBlack) << x;
  }

  // Four colours to four: every pixel keeps its colour, the palette holds them.
  TBitmap pic(8, 8, pf24bit);
  const TColor cs[4] = {clRed, clLime, clBlue, clWhite};
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) pic.SetPixelColor(x, y, cs[(x / 4) + 2 * (y / 4)]);
  std::vector<TBGRPixel> pal;
  ConvertToColors(pic, 4, &pal, nullptr, nullptr);
  EXPECT_EQ(pic.PixelFormat(), pf24bit);
  ASSERT_EQ(pal.size(), 4u);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(pic.GetPixelColor(x, y), cs[(x / 4) + 2 * (y / 4)]);
  ConvertToColors(pic, 2, &pal, nullptr, nullptr);
  EXPECT_EQ(pic.PixelFormat(), pf1bit);
  EXPECT_EQ(pal, (std::vector<TBGRPixel>{{0, 0, 0}, {255, 255, 255}}));
}

}  // namespace
}  // namespace kv
