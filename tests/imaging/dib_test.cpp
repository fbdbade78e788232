// Packed DIBs: the layout we write, the BMP layouts and YUV frames we decode,
// and the DIBs we refuse (each built to show one fault, with the buffers
// sized exactly so that a read past them shows under ASan).
#include "imaging/processing/dib.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/bitmap_patterns.h"

namespace kv {
namespace {

TBGRPixel At(const TBitmap& B, int32_t X, int32_t Y) {
  const TColor c = B.GetPixelColor(X, Y);
  return TBGRPixel{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
}

void Put(std::vector<uint8_t>& B, size_t At, uint32_t V, int N) {
  for (int i = 0; i < N; ++i) B[At + size_t(i)] = uint8_t(V >> (8 * i));
}

// A 40-byte header, then Extra (masks or colour table), then the pixels.
std::vector<uint8_t> Dib(int32_t W, int32_t H, uint16_t Bits, uint32_t Compression, const std::vector<uint8_t>& Extra,
                         const std::vector<uint8_t>& Pixels, uint32_t ClrUsed = 0) {
  std::vector<uint8_t> b(40, 0);
  Put(b, 0, 40, 4);
  Put(b, 4, uint32_t(W), 4);
  Put(b, 8, uint32_t(H), 4);
  Put(b, 12, 1, 2);
  Put(b, 14, Bits, 2);
  Put(b, 16, Compression, 4);
  Put(b, 32, ClrUsed, 4);
  b.insert(b.end(), Extra.begin(), Extra.end());
  b.insert(b.end(), Pixels.begin(), Pixels.end());
  return b;
}

int32_t Decode(const std::vector<uint8_t>& D, TBitmap& B) { return DIBToBitmap(D.data(), D.size(), B); }

TEST(Dib, WrittenLayoutAndRoundTrip) {
  auto pic = test::Make24(7, 5, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 30), uint8_t(y * 50), 9}; });
  // The rectangle 2..5 x 1..3: 4 x 3 pixels, rows of 12 bytes, bottom row first, 4 bytes to spare.
  TDib d = BitmapRectToDIB(*pic, 2, 1, 6, 4);
  ASSERT_EQ(d.size(), 40u + 12 * 3 + 4);
  EXPECT_EQ(d[0], 40);
  EXPECT_EQ(d[4], 4);
  EXPECT_EQ(d[8], 3);
  EXPECT_EQ(d[12], 1);
  EXPECT_EQ(d[14], 24);
  EXPECT_EQ(d[40], 2 * 30);  // blue of (2, 3), the bottom row of the rectangle
  EXPECT_EQ(d[41], 3 * 50);
  TBitmap back;
  ASSERT_EQ(Decode(d, back), 24);
  ASSERT_EQ(back.Width(), 4);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(At(back, x, y), At(*pic, x + 2, y + 1));

  // 1 bit: table 00000000 FFFFFFFF, rows taken from bit X1 on; 0 for the far edges means the whole size.
  TBitmap bw(21, 2, pf1bit);
  for (int32_t x = 0; x < 21; ++x) bw.SetPixelColor(x, 0, x % 3 ? clWhite : clBlack);
  d = BitmapRectToDIB(bw, 5, 0, 0, 0);
  ASSERT_EQ(d.size(), 40u + 8 + 4 * 2 + 4);
  EXPECT_EQ(d[14], 1);
  EXPECT_EQ(std::vector<uint8_t>(d.begin() + 40, d.begin() + 48), (std::vector<uint8_t>{0, 0, 0, 0, 255, 255, 255, 255}));
  ASSERT_EQ(Decode(d, back), 1);
  EXPECT_EQ(back.PixelFormat(), pf1bit);
  ASSERT_EQ(back.Width(), 16);
  for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(back.GetPixelColor(x, 0), bw.GetPixelColor(x + 5, 0)) << x;

  // Other formats: bit count 0 and no rows.
  TBitmap eight(3, 3, pf8bit);
  d = BitmapRectToDIB(eight, 0, 0, 0, 0);
  EXPECT_EQ(d.size(), 44u);
  EXPECT_EQ(d[14], 0);
  EXPECT_TRUE(BitmapRectToDIB(*pic, 6, 0, 6, 5).empty());
}

TEST(Dib, BmpLayoutsDecode) {
  TBitmap b;
  // 16 bits without compression are 5-5-5: 0x7FFF is (248, 248, 248).
  ASSERT_EQ(Decode(Dib(1, 1, 16, 0, {}, {0xFF, 0x7F, 0, 0}), b), 16);
  EXPECT_EQ(At(b, 0, 0), (TBGRPixel{248, 248, 248}));
  // 5-6-5 masks after the header.
  ASSERT_EQ(Decode(Dib(1, 1, 16, 3, {0, 0xF8, 0, 0, 0xE0, 7, 0, 0, 0x1F, 0, 0, 0}, {0x00, 0xF8, 0, 0}), b), 16);
  EXPECT_EQ(At(b, 0, 0), (TBGRPixel{0, 0, 248}));
  // 32 bits with masks in RGBA order.
  ASSERT_EQ(Decode(Dib(1, 1, 32, 3, {0xFF, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0xFF, 0}, {1, 2, 3, 4}), b), 32);
  EXPECT_EQ(At(b, 0, 0), (TBGRPixel{3, 2, 1}));
  // Top-down rows (negative height) land top-down.
  auto td = Dib(1, 2, 24, 0, {}, {1, 2, 3, 0, 4, 5, 6, 0});
  Put(td, 8, uint32_t(-2), 4);
  ASSERT_EQ(Decode(td, b), 24);
  EXPECT_EQ(At(b, 0, 0), (TBGRPixel{1, 2, 3}));
  EXPECT_EQ(At(b, 0, 1), (TBGRPixel{4, 5, 6}));
  // 4 bits through a table of two colours used: index 5 lies past it and reads black.
  ASSERT_EQ(Decode(Dib(2, 1, 4, 0, {0, 0, 255, 0, 255, 0, 0, 0}, {0x15, 0, 0, 0}, 2), b), 4);
  EXPECT_EQ(At(b, 0, 0), (TBGRPixel{255, 0, 0}));
  EXPECT_EQ(At(b, 1, 0), (TBGRPixel{0, 0, 0}));
  // RLE8 is expanded: a run of 3, end of line, a literal of 3, end of bitmap.
  std::vector<uint8_t> gray;
  for (int i = 0; i < 256; ++i) gray.insert(gray.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  ASSERT_EQ(Decode(Dib(3, 2, 8, 1, gray, {3, 7, 0, 0, 0, 3, 1, 2, 3, 0, 0, 1}), b), 8);
  EXPECT_EQ(At(b, 2, 1), (TBGRPixel{7, 7, 7}));
  EXPECT_EQ(At(b, 1, 0), (TBGRPixel{2, 2, 2}));
}

TEST(Dib, OneBitTablesAreHonoured) {
  TBitmap b;
  // White, black: the bits are complemented so that a set bit is white.
  ASSERT_EQ(Decode(Dib(2, 1, 1, 0, {255, 255, 255, 0, 0, 0, 0, 0}, {0x80, 0, 0, 0}), b), 1);
  EXPECT_EQ(b.GetPixelColor(0, 0), clBlack);
  EXPECT_EQ(b.GetPixelColor(1, 0), clWhite);
  // Red and blue stay red and blue, the bits as stored.
  ASSERT_EQ(Decode(Dib(2, 1, 1, 0, {0, 0, 255, 0, 255, 0, 0, 0}, {0x80, 0, 0, 0}), b), 1);
  EXPECT_EQ(b.PixelFormat(), pf1bit);
  EXPECT_EQ(b.GetPixelColor(0, 0), clBlue);
  EXPECT_EQ(b.GetPixelColor(1, 0), clRed);
}

TEST(Dib, OutsideInputIsRefused) {
  std::vector<uint8_t> header = Dib(4, 4, 24, 0, {}, {});
  std::vector<uint8_t> huge = Dib(1 << 20, 1 << 20, 24, 0, {}, {});
  struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
  } cases[] = {
      {"header cut short", std::vector<uint8_t>(header.begin(), header.begin() + 20)},
      {"unknown header size", [&] { auto d = header; Put(d, 0, 13, 4); return d; }()},
      {"rows missing", Dib(4, 4, 24, 0, {}, std::vector<uint8_t>(47, 0))},
      {"huge size", huge},
      {"zero width", Dib(0, 4, 24, 0, {}, {})},
      {"16-bit zero mask", Dib(1, 1, 16, 3, {0, 0, 0, 0, 0xE0, 7, 0, 0, 0x1F, 0, 0, 0}, {0, 0, 0, 0})},
      {"16-bit overlapping masks", Dib(1, 1, 16, 3, {0, 0xFC, 0, 0, 0xE0, 7, 0, 0, 0x1F, 0, 0, 0}, {0, 0, 0, 0})},
      {"masks cut short", Dib(1, 1, 16, 3, {0, 0xF8, 0, 0, 0xE0}, {})},
      {"colour table cut short", Dib(1, 1, 8, 0, std::vector<uint8_t>(100, 0), {})},
      {"RLE codes end before the picture", Dib(2, 2, 8, 1, std::vector<uint8_t>(1024, 0), {2, 1, 0, 0})},
      {"RLE with 24 bits", Dib(1, 1, 24, 1, {}, {0, 0, 0, 0})},
      {"odd bit count", Dib(4, 1, 2, 0, std::vector<uint8_t>(16, 0), {0, 0, 0, 0})},
      {"JPEG inside", Dib(1, 1, 0, 4, {}, {0xFF, 0xD8, 0xFF, 0xD9})},
      {"YUV without its pixel block", Dib(2, 1, 16, 0x59565955, {}, {128, 16, 128, 16})},
  };
  for (auto& c : cases) {
    TBitmap b(3, 2, pf24bit);
    b.SetPixelColor(1, 1, clRed);
    EXPECT_EQ(Decode(c.Bytes, b), -1) << c.Name;
    EXPECT_EQ(b.Width(), 3) << c.Name;
    EXPECT_EQ(b.GetPixelColor(1, 1), clRed) << c.Name;
  }
  EXPECT_EQ(DIBToBitmap(nullptr, 0, *std::make_unique<TBitmap>()), -1);
}

TEST(Dib, YuvConversion) {
  TBGRPixel p;
  YUVToBGR(16, 128, 128, p);
  EXPECT_EQ(p, (TBGRPixel{0, 0, 0}));
  YUVToBGR(235, 128, 128, p);  // 254.9 rounds to 255
  EXPECT_EQ(p, (TBGRPixel{255, 255, 255}));
  YUVToBGR(81, 90, 240, p);  // a red of the video range; below 0 clamps to 0
  EXPECT_EQ(p, (TBGRPixel{0, 0, 254}));
  const uint8_t rgb[6] = {1, 2, 3, 4, 5, 6};
  uint8_t out[6];
  CopyRGBTriplesSwapped(out, rgb, 2);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{3, 2, 1, 6, 5, 4}));
}

uint32_t FourCC(const char* C) {
  return uint32_t(uint8_t(C[0])) | uint32_t(uint8_t(C[1])) << 8 | uint32_t(uint8_t(C[2])) << 16 |
         uint32_t(uint8_t(C[3])) << 24;
}

// Width 5 leaves the last group of every packed layout hanging past the row:
// only its pixels inside the row are written, and no byte past the frame is read.
TEST(Dib, YuvFramesStayInsideTheRowAndTheFrame) {
  struct {
    const char* Code;
    int32_t Bytes;  // of a 5 x 2 frame
  } layouts[] = {{"UYVY", 24}, {"YUY2", 24}, {"YVYU", 24}, {"UYNV", 24}, {"YUNV", 24}, {"cyuv", 24},
                 {"IYU1", 24}, {"IYU2", 30}, {"Y211", 16}, {"Y41P", 24}, {"I420", 14}, {"IYUV", 14},
                 {"YV12", 14}, {"YVU9", 10}};
  const auto header = [](const char* Code) { return Dib(5, 2, 16, FourCC(Code), {}, {}); };
  for (auto& l : layouts) {
    // Every byte 128: luma 128 and neutral chroma, so every pixel is (130, 130, 130).
    const std::vector<uint8_t> frame(size_t(l.Bytes), 128);
    const auto h = header(l.Code);
    TBitmap b;
    ASSERT_GE(DIBToBitmap(h.data(), h.size(), b, frame.data(), frame.size()), 0) << l.Code;
    ASSERT_EQ(b.Width(), 5);
    ASSERT_EQ(b.Height(), 2);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 5; ++x) EXPECT_EQ(At(b, x, y), (TBGRPixel{130, 130, 130})) << l.Code << " " << x;
    // One byte short of the frame: refused.
    TBitmap kept(1, 1);
    EXPECT_EQ(DIBToBitmap(h.data(), h.size(), kept, frame.data(), frame.size() - 1), -1) << l.Code;
    EXPECT_EQ(kept.Width(), 1);
    EXPECT_EQ(DIBToBitmapDrawDib(h.data(), h.size(), kept, frame.data(), frame.size()), -1) << l.Code;
  }
}

TEST(Dib, YuvRowOrderAndLayouts) {
  TBitmap b;
  // I420 2 x 2: a white top row and a black bottom row when the height is positive.
  const std::vector<uint8_t> i420 = {235, 235, 16, 16, 128, 128};
  auto h = Dib(2, 2, 12, FourCC("I420"), {}, {});
  ASSERT_GE(DIBToBitmap(h.data(), h.size(), b, i420.data(), i420.size()), 0);
  EXPECT_EQ(At(b, 1, 0), (TBGRPixel{255, 255, 255}));
  EXPECT_EQ(At(b, 1, 1), (TBGRPixel{0, 0, 0}));
  Put(h, 8, uint32_t(-2), 4);  // negative: the first row is the bottom one
  ASSERT_GE(DIBToBitmap(h.data(), h.size(), b, i420.data(), i420.size()), 0);
  EXPECT_EQ(At(b, 1, 0), (TBGRPixel{0, 0, 0}));
  // Y41P runs the other way: with a positive height its first row is the bottom one.
  std::vector<uint8_t> y41p(24, 16);
  for (int i : {0, 2, 4, 6, 12, 14, 16, 18}) y41p[size_t(i)] = 128;
  for (int i : {1, 3, 5, 7, 8, 9, 10, 11}) y41p[size_t(i)] = 235;  // the first row white
  h = Dib(8, 2, 12, FourCC("Y41P"), {}, {});
  ASSERT_GE(DIBToBitmap(h.data(), h.size(), b, y41p.data(), y41p.size()), 0);
  EXPECT_EQ(At(b, 7, 1), (TBGRPixel{255, 255, 255}));
  EXPECT_EQ(At(b, 7, 0), (TBGRPixel{0, 0, 0}));
  // YUY2 keeps each pixel's own luma: Y0 U Y1 V.
  const std::vector<uint8_t> yuy2 = {16, 128, 235, 128};
  h = Dib(2, 1, 16, FourCC("YUY2"), {}, {});
  ASSERT_GE(DIBToBitmap(h.data(), h.size(), b, yuy2.data(), yuy2.size()), 0);
  EXPECT_EQ(At(b, 0, 0), (TBGRPixel{0, 0, 0}));
  EXPECT_EQ(At(b, 1, 0), (TBGRPixel{255, 255, 255}));
  // CLJR: 5-bit luma and 6-bit chroma widened to 8 bits (full luma, neutral chroma 32 -> 130).
  const uint32_t word = 32u | 32u << 6 | 31u << 12 | 31u << 17 | 31u << 22 | 31u << 27;
  const std::vector<uint8_t> cljr = {uint8_t(word), uint8_t(word >> 8), uint8_t(word >> 16), uint8_t(word >> 24)};
  h = Dib(4, 1, 8, FourCC("CLJR"), {}, {});
  ASSERT_GE(DIBToBitmap(h.data(), h.size(), b, cljr.data(), cljr.size()), 0);
  TBGRPixel want;
  YUVToBGR(255, 130, 130, want);
  EXPECT_EQ(At(b, 3, 0), want);
}

}  // namespace
}  // namespace kv
