// TBitmap loads every BMP layout the system loaders read: core and 64-byte
// headers, RLE8 and RLE4, bit fields in any order (alpha bit fields too).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

std::vector<uint8_t> Build(uint32_t InfoSize, int32_t W, int32_t H, uint16_t Bits, uint32_t Compression,
                           const std::vector<uint8_t>& Extra, const std::vector<uint8_t>& Pixels,
                           const std::vector<uint32_t>& HeaderMasks = {}) {
  std::vector<uint8_t> b(14 + InfoSize, 0);
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  b[0] = 'B', b[1] = 'M';
  put(10, uint32_t(14 + InfoSize + Extra.size()), 4);
  put(14, InfoSize, 4);
  if (InfoSize == 12) {
    put(18, uint32_t(W), 2);
    put(20, uint32_t(H), 2);
    put(22, 1, 2);
    put(24, Bits, 2);
  } else {
    put(18, uint32_t(W), 4);
    put(22, uint32_t(H), 4);
    put(26, 1, 2);
    put(28, Bits, 2);
    put(30, Compression, 4);
    for (size_t i = 0; i < HeaderMasks.size(); ++i) put(54 + 4 * i, HeaderMasks[i], 4);
  }
  b.insert(b.end(), Extra.begin(), Extra.end());
  b.insert(b.end(), Pixels.begin(), Pixels.end());
  put(2, uint32_t(b.size()), 4);
  return b;
}

void Load(const std::vector<uint8_t>& Bytes, TBitmap& B) {
  TReadOnlyMemoryStream s(Bytes.data(), int64_t(Bytes.size()));
  B.LoadFromStream(s);
}

TEST(BmpLayouts, HandBuiltFilesLoad) {
  const std::vector<uint8_t> pal4 = {0, 0, 0, 0, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0};
  struct {
    const char* Name;
    std::vector<uint8_t> File;
    TColor Want00, Want10;  // top-left pixel and the one right of it
  } cases[] = {
      {"core header, 3-byte palette", Build(12, 2, 1, 8, 0, std::vector<uint8_t>(3 * 256, 0x40), {0, 1, 0, 0}),
       TColor(0x404040), TColor(0x404040)},
      {"64-byte header", Build(64, 2, 1, 24, 0, {}, {1, 2, 3, 4, 5, 6, 0, 0}), TColor(0x010203), TColor(0x040506)},
      {"RLE4", Build(40, 3, 1, 4, 2, pal4, {3, 0x12, 0, 1}), clRed, clLime},
      {"RLE8 with delta", Build(40, 2, 2, 8, 1, pal4, {0, 2, 1, 1, 1, 2, 0, 1}), clBlack, clLime},
      {"32-bit RGBA order", Build(108, 2, 1, 32, 3, {}, {255, 0, 0, 255, 0, 0, 255, 0}, {0xFF, 0xFF00, 0xFF0000}),
       clRed, clBlue},
      {"alpha bit fields", Build(56, 1, 1, 32, 6, {}, {0, 0, 255, 128}, {0xFF, 0xFF00, 0xFF0000, 0xFF000000}), clBlue,
       clBlue},
      {"4-4-4 bit fields", Build(40, 1, 1, 16, 3, {0, 0x0F, 0, 0, 0xF0, 0, 0, 0, 0x0F, 0, 0, 0}, {0x00, 0x0F, 0, 0}),
       TColor(0x0000F0), TColor(0x0000F0)},
  };
  for (auto& c : cases) {
    TBitmap b;
    ASSERT_NO_THROW(Load(c.File, b)) << c.Name;
    EXPECT_EQ(b.GetPixelColor(0, 0), c.Want00) << c.Name;
    if (b.Width() > 1) {
      EXPECT_EQ(b.GetPixelColor(1, 0), c.Want10) << c.Name;
    }
  }
}

TEST(BmpLayouts, RunLengthClippedToThePicture) {
  // A run of 255 on a 2-pixel row and a delta far above the top: both clipped, nothing written outside.
  const std::vector<uint8_t> pal = {0, 0, 255, 0, 0, 255, 0, 0};
  TBitmap b;
  Load(Build(40, 2, 2, 8, 1, pal, {255, 1, 0, 2, 200, 200, 0, 1}), b);
  EXPECT_EQ(b.GetPixelColor(1, 1), clLime);
  EXPECT_THROW(Load(Build(40, 2, 2, 8, 1, pal, {2, 1, 0, 0}), b), EInvalidGraphic);  // codes end before the picture
}

TEST(BmpLayouts, ColourTableEndsAtThePixels) {
  // The pixel offset cuts the announced 256 colours to 2; with no room at all the file is refused.
  const std::vector<uint8_t> pal = {0, 0, 255, 0, 0, 255, 0, 0};
  TBitmap b;
  Load(Build(40, 2, 1, 8, 0, pal, {1, 0, 0, 0}), b);
  EXPECT_EQ(b.Palette().size(), 2u);
  EXPECT_EQ(b.GetPixelColor(0, 0), clLime);
  EXPECT_EQ(b.GetPixelColor(1, 0), clRed);
  EXPECT_THROW(Load(Build(40, 2, 1, 8, 0, {}, {1, 0, 0, 0}), b), EInvalidGraphic);
}

TEST(BmpLayouts, MatchesImageMagick) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  const std::string src = test::TempPath("layouts_src.ppm"), bmp = test::TempPath("layouts.bmp");
  ASSERT_EQ(test::Run("convert -size 29x13 gradient:orange-navy '" + src + "'"), 0);
  for (const char* kind : {"-type palette -compress RLE BMP3:", "BMP2:", "-colors 12 -type palette BMP2:",
                           "-define bmp:subtype=RGB565 BMP:", "-alpha set BMP:"}) {
    ASSERT_EQ(test::Run("convert '" + src + "' " + kind + "'" + bmp + "'"), 0) << kind;
    ASSERT_EQ(test::Run("convert '" + bmp + "' -alpha off -depth 8 ppm:'" + bmp + ".ppm'"), 0) << kind;
    TBitmap want;
    ASSERT_TRUE(test::ReadPnm(bmp + ".ppm", want));
    TBitmap got;
    ASSERT_NO_THROW(got.LoadFromFile(bmp)) << kind;
    ASSERT_EQ(got.Width(), 29);
    int32_t diff = 0;
    for (int32_t y = 0; y < 13; ++y)
      for (int32_t x = 0; x < 29; ++x) {
        const TColor a = got.GetPixelColor(x, y), w = want.GetPixelColor(x, y);
        for (int s = 0; s < 24; s += 8) diff = std::max(diff, std::abs(int((a >> s) & 0xFF) - int((w >> s) & 0xFF)));
      }
    EXPECT_LE(diff, 7) << kind;  // 5- and 6-bit channels are widened differently
  }
}

}  // namespace
}  // namespace kv
