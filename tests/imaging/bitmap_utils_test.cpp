#include "imaging/processing/bitmap_utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/model/mask.h"
#include "imaging/processing/quantizer.h"
#include "platform/graphics/canvas.h"

namespace kv {
namespace {

uint8_t* RowOf(TBitmap& B, int32_t Y) { return static_cast<uint8_t*>(B.ScanLine(Y)); }

void FillDistinct(TBitmap& B) {
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t i = 0; i < B.RowBytes(); ++i) RowOf(B, y)[i] = uint8_t(i * 13 + y * 101 + 7);
}

TEST(BitmapUtils, CloneAndDuplicateCopyEverything) {
  for (TPixelFormat pf : {pf1bit, pf8bit, pf24bit, pf32bit}) {
    TBitmap src(11, 7, pf);
    FillDistinct(src);
    auto dup = DuplicateBitmap(src);
    EXPECT_TRUE(CompareBitmaps(src, *dup)) << int(pf);
    EXPECT_EQ(dup->Palette(), src.Palette());
  }
  TBitmap empty, target(5, 5, pf24bit);
  empty.SetPixelFormat(pf1bit);
  IMCloneBitmapRows(empty, target);
  EXPECT_EQ(target.PixelFormat(), pf1bit);
  EXPECT_EQ(target.Width(), 1);
  EXPECT_EQ(target.Height(), 1);
}

// x2 = 0 and y2 = 0 mean the full size; everything is clipped to the source;
// 1-bit rectangles start at any bit.
TEST(BitmapUtils, CopyBitmapRect) {
  TBitmap src24(20, 10, pf24bit);
  FillDistinct(src24);
  struct Case {
    int32_t X1, Y1, X2, Y2, W, H, SrcX, SrcY;
  };
  const Case cases[] = {
      {0, 0, 0, 0, 20, 10, 0, 0},       // all of it
      {3, 2, 0, 0, 17, 8, 3, 2},        // to the right and bottom edges
      {5, 4, 9, 7, 4, 3, 5, 4},         // inside
      {15, 8, 40, 30, 5, 2, 15, 8},     // clipped to the source
      {-3, -2, 4, 3, 4, 3, 0, 0},       // left and top clipped too
  };
  for (TPixelFormat pf : {pf24bit, pf1bit}) {
    TBitmap src(20, 10, pf);
    FillDistinct(src);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::to_string(c.X1) + "," + std::to_string(c.Y1) + " pf " + std::to_string(int(pf)));
      TBitmap dst;
      ASSERT_TRUE(CopyBitmapRect(src, dst, c.X1, c.Y1, c.X2, c.Y2));
      ASSERT_EQ(dst.PixelFormat(), pf);
      ASSERT_EQ(dst.Width(), c.W);
      ASSERT_EQ(dst.Height(), c.H);
      for (int32_t y = 0; y < c.H; ++y)
        for (int32_t x = 0; x < c.W; ++x)
          ASSERT_EQ(dst.GetPixelColor(x, y), src.GetPixelColor(x + c.SrcX, y + c.SrcY)) << x << ',' << y;
    }
  }
  TBitmap dst(3, 3, pf24bit), src8(4, 4, pf8bit);
  EXPECT_FALSE(CopyBitmapRect(src24, dst, 25, 0, 30, 5));  // nothing left after clipping
  EXPECT_FALSE(CopyBitmapRect(src8, dst, 0, 0, 0, 0));     // a format it does not copy
  EXPECT_EQ(dst.Width(), 3);
}

// Runs at every alignment keep the target bits around them and read no source
// byte past the run (the source buffer ends with the run's last byte).
TEST(BitmapUtils, CopyBitsKeepsSurroundingBits) {
  for (int32_t dstBit : {0, 1, 3, 7, 8, 13})
    for (int32_t srcBit : {0, 2, 5, 8, 11})
      for (int32_t count : {1, 2, 7, 8, 9, 17, 40}) {
        const size_t srcLen = size_t((srcBit + count + 7) / 8);
        std::vector<uint8_t> src(srcLen);
        for (size_t i = 0; i < srcLen; ++i) src[i] = uint8_t(0x5A ^ (i * 29));
        std::vector<uint8_t> dst(12, 0xFF), dst0(12, 0x00);
        for (std::vector<uint8_t>* d : {&dst, &dst0}) {
          const std::vector<uint8_t> before = *d;
          CopyBits(d->data(), src.data(), dstBit, count, srcBit);
          for (int32_t x = 0; x < 96; ++x) {
            const bool inRun = x >= dstBit && x < dstBit + count;
            const bool want = inRun ? GetBit(src.data(), srcBit + x - dstBit) : GetBit(before.data(), x);
            ASSERT_EQ(GetBit(d->data(), x), want) << dstBit << ' ' << srcBit << ' ' << count << " bit " << x;
          }
        }
      }
}

// Different formats or row lengths compare unequal without reading past the
// shorter block (ASan watches the reads).
TEST(BitmapUtils, CompareBitmapsAcrossFormats) {
  TBitmap a24(9, 5, pf24bit), b24(9, 5, pf24bit), a32(9, 5, pf32bit), a1(9, 5, pf1bit), a8(9, 5, pf8bit);
  for (TBitmap* b : {&a24, &b24, &a32, &a1, &a8}) std::memset(b->Bits(), 0, size_t(b->RowBytes()) * 5);
  EXPECT_TRUE(CompareBitmaps(a24, b24));
  EXPECT_FALSE(CompareBitmaps(a24, a32));
  EXPECT_FALSE(CompareBitmaps(a1, a24));
  EXPECT_FALSE(CompareBitmaps(a8, a1));
  EXPECT_FALSE(CompareBitmaps(a1, a8));
  RowOf(b24, 4)[26] = 1;
  EXPECT_FALSE(CompareBitmaps(a24, b24));
  TBitmap wide(10, 5, pf24bit);
  EXPECT_FALSE(CompareBitmaps(a24, wide));
  TBitmap e1, e2;
  EXPECT_TRUE(CompareBitmaps(e1, e2));
}

TEST(BitmapUtils, PaletteHelpers) {
  TBGRPixel pal[4] = {{10, 10, 10}, {0, 0, 200}, {10, 10, 18}, {255, 255, 255}};
  // Entries 0 and 2 are both 4 away from (b 10, g 10, r 14): the first wins.
  EXPECT_EQ(NearestPaletteIndex(pal, 4, 0x0E0A0A), 0);
  EXPECT_EQ(NearestPaletteIndex(pal, 4, 0xC80000), 1);  // red 200
  EXPECT_EQ(NearestPaletteIndex(pal, 4, 0xF0F0F0), 3);
  EXPECT_EQ(NearestPaletteIndex(pal, 0, 0xF0F0F0), 0);
  SwapPaletteRB(pal, 2);
  EXPECT_EQ(pal[1].b, 200);
  EXPECT_EQ(pal[1].r, 0);
  EXPECT_EQ(pal[2].r, 18);  // beyond the count: untouched
}

TEST(BitmapUtils, ConvertBitmapDrawDibStretches) {
  TBitmap src(2, 2, pf24bit);
  const TColor c[4] = {clRed, clLime, clBlue, clYellow};
  for (int i = 0; i < 4; ++i) src.SetPixelColor(i % 2, i / 2, c[i]);
  TBitmap dst(4, 6, pf1bit);
  ConvertBitmapDrawDib(src, dst);
  EXPECT_EQ(dst.PixelFormat(), pf24bit);
  ASSERT_EQ(dst.Width(), 4);
  ASSERT_EQ(dst.Height(), 6);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(dst.GetPixelColor(x, y), c[(y / 3) * 2 + x / 2]) << x << ',' << y;

  TBitmap bw(3, 1, pf1bit), big(9, 2, pf24bit);
  std::memset(bw.Bits(), 0, 4);
  SetBit(RowOf(bw, 0), 1, true);
  ConvertBitmapDrawDib(bw, big);
  EXPECT_EQ(big.PixelFormat(), pf1bit);
  for (int32_t x = 0; x < 9; ++x) EXPECT_EQ(GetBit(RowOf(big, 1), x), x >= 3 && x < 6) << x;
}

// One row of each conversion the writers use, with the row lengths returned.
TEST(BitmapUtils, QuantizeRowConversions) {
  const TBGRPixel pal[3] = {{0, 0, 0}, {255, 255, 255}, {10, 20, 30}};
  const uint8_t rgb[5 * 3] = {0, 0, 0, 255, 255, 255, 10, 20, 30, 0, 0, 0, 255, 255, 255};
  const uint8_t rgbx[2 * 4] = {1, 2, 3, 4, 5, 6, 7, 8};
  const uint8_t idx8[5] = {0, 1, 2, 9, 1};  // 9 is past the palette
  const uint8_t idx4[3] = {0x12, 0x01, 0x20};
  const uint8_t bits[1] = {0xA8};           // 1 0 1 0 1
  std::vector<uint8_t> out(32);

  out.assign(32, 0);
  EXPECT_EQ(QuantizeRow(rgbx, out.data(), 32, nullptr, 0, nullptr, 2, 24), 6);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 6), (std::vector<uint8_t>{1, 2, 3, 5, 6, 7}));

  out.assign(32, 0xEE);
  EXPECT_EQ(QuantizeRow(idx8, out.data(), 8, nullptr, 3, pal, 5, 24), 15);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 15),
            (std::vector<uint8_t>{0, 0, 0, 255, 255, 255, 10, 20, 30, 0, 0, 0, 255, 255, 255}));

  out.assign(32, 0);
  EXPECT_EQ(QuantizeRow(idx4, out.data(), 4, nullptr, 3, pal, 5, 24), 15);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 15),
            (std::vector<uint8_t>{255, 255, 255, 10, 20, 30, 0, 0, 0, 255, 255, 255, 10, 20, 30}));

  out.assign(32, 0);
  EXPECT_EQ(QuantizeRow(bits, out.data(), 1, nullptr, 2, pal, 5, 24), 15);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 15),
            (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 255, 255, 255, 0, 0, 0, 255, 255, 255}));

  out.assign(32, 0xFF);  // 8 -> 1 clears the row itself
  EXPECT_EQ(QuantizeRow(idx8, out.data(), 8, nullptr, 0, nullptr, 5, 1), 1);
  EXPECT_EQ(out[0], 0x78);  // 0 1 1 1 1

  out.assign(32, 0);
  EXPECT_EQ(QuantizeRow(bits, out.data(), 1, nullptr, 0, nullptr, 5, 4), 3);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 3), (std::vector<uint8_t>{0x10, 0x10, 0x10}));

  out.assign(32, 0xEE);  // a whole byte a pixel is stored, not ORed in
  EXPECT_EQ(QuantizeRow(idx4, out.data(), 4, nullptr, 0, nullptr, 5, 8), 5);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 5), (std::vector<uint8_t>{1, 2, 0, 1, 2}));

  out.assign(32, 0);
  EXPECT_EQ(QuantizeRow(idx8, out.data(), 8, nullptr, 0, nullptr, 5, 8), 5);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 5), std::vector<uint8_t>(idx8, idx8 + 5));

  // 24 -> 8 and 24 -> 4 through a quantizer of the row's own colours.
  TBitmap pic(5, 1, pf24bit);
  std::memcpy(pic.Bits(), rgb, 15);
  TBGRPixel qpal[16];
  TIMQuantizer q(pic, 0, -1, 16, 0, qpal);
  out.assign(32, 0);
  EXPECT_EQ(QuantizeRow(rgb, out.data(), 24, &q, 16, qpal, 5, 8), 5);
  for (int x = 0; x < 5; ++x) EXPECT_EQ(std::memcmp(&qpal[out[size_t(x)]], rgb + 3 * x, 3), 0) << x;
  std::vector<uint8_t> nib(32, 0);
  EXPECT_EQ(QuantizeRow(rgb, nib.data(), 24, &q, 16, qpal, 5, 4), 3);
  for (int x = 0; x < 5; ++x) EXPECT_EQ((nib[size_t(x / 2)] >> (x & 1 ? 0 : 4)) & 15, out[size_t(x)]) << x;
}

// Sub-byte formats move single pixels inside shared bytes.
TEST(BitmapUtils, DrawClippedToPolygons) {
  for (TPixelFormat pf : {pf24bit, pf4bit, pf1bit}) {
    const TColor ink = pf == pf1bit ? clBlack : clRed;
    TBitmap pic(20, 12, pf), red(20, 12, pf24bit);
    pic.Canvas().Brush().SetColor(clWhite);
    pic.Canvas().FillRect(Rect(0, 0, 20, 12));
    red.Canvas().Brush().SetColor(ink);
    red.Canvas().FillRect(Rect(0, 0, 20, 12));
    // Two rectangles, the second drawn clockwise: the winding rule fills both.
    const TPoint pts[] = {{2, 2}, {6, 2}, {6, 5}, {2, 5}, {kPolygonSeparator, 0},
                          {10, 6}, {10, 10}, {15, 10}, {15, 6}};
    DrawClippedToPolygons(pic, red, 1, 9, pts, 0);
    for (int32_t y = 0; y < 12; ++y)
      for (int32_t x = 0; x < 20; ++x) {
        const bool inside = (x >= 2 && x < 6 && y >= 2 && y < 5) || (x >= 10 && x < 15 && y >= 6 && y < 10);
        const bool covered = x >= 1;  // the graphic is drawn from x = 1
        EXPECT_EQ(pic.GetPixelColor(x, y), inside && covered ? ink : clWhite) << int(pf) << ' ' << x << ',' << y;
      }
  }
}

TEST(BitmapUtils, CeilFloorAndTrig) {
  struct Case {
    double X;
    int32_t Ceil, Floor;
  };
  for (const Case& c : {Case{2.0, 2, 2}, {2.25, 3, 2}, {-2.25, -2, -3}, {-2.0, -2, -2}, {0.0, 0, 0}, {-0.5, 0, -1}}) {
    EXPECT_EQ(ICeil(c.X), c.Ceil) << c.X;
    EXPECT_EQ(IFloor(c.X), c.Floor) << c.X;
  }
  EXPECT_NEAR(ArcSin(0.5), M_PI / 6, 1e-12);
  EXPECT_NEAR(ArcCos(0.5), M_PI / 3, 1e-12);
  EXPECT_NEAR(ArcTan2(1, -1), 3 * M_PI / 4, 1e-12);
  EXPECT_NEAR(Tan(M_PI / 4), 1, 1e-12);
}

}  // namespace
}  // namespace kv
