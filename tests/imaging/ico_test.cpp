// ICO and CUR readers: icotool's and ImageMagick's files of every depth read
// and compared with ImageMagick's decoding, cursor hot spots, and hand-made
// directories that lie about sizes and offsets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "codec_test_util.h"
#include "imaging/formats/ico.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/io_detect.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

TBGRPixel PixelOf(const TBitmap& B, int32_t X, int32_t Y) {
  const auto* row = static_cast<const uint8_t*>(B.ScanLine(Y));
  if (B.PixelFormat() == pf1bit) {
    const TPaletteEntry& e = B.Palette()[(row[X >> 3] >> (7 - (X & 7))) & 1];
    return TBGRPixel{e.peBlue, e.peGreen, e.peRed};
  }
  return TBGRPixel{row[3 * X], row[3 * X + 1], row[3 * X + 2]};
}

struct TIconRead {
  TBitmap Bitmap;
  TIOParamsVals Params{nullptr};
  TIMMask Mask;
  bool Ok = false;
  bool InsideStream = true;  // where the read left the stream
};

void ReadIcon(const std::vector<uint8_t>& Data, TIconRead& R, bool Cursor, int32_t Index = 0,
              bool WithMask = true) {
  TReadOnlyMemoryStream s(Data.data(), int64_t(Data.size()));
  R.Params.IcoImageIndex = R.Params.CurImageIndex = Index;
  TCodecRun run;
  (Cursor ? ReadCurStream : ReadIcoStream)(s, R.Bitmap, R.Params, run.Progress, false, WithMask ? &R.Mask : nullptr);
  R.Ok = !run.Aborted;
  R.InsideStream = s.Position() >= 0 && s.Position() <= s.Size();
}

class IcoTest : public TTempFolderTest {
 protected:
  // A 16 x 16 picture with transparent corners, in Colours colours (0: a
  // gradient with graded alpha for the 32-bit and PNG entries).
  std::string Source(int32_t Colours) {
    const std::string png = Dir + "src" + std::to_string(Colours) + ".png";
    std::string cmd;
    if (Colours == 2)
      cmd = "convert -size 16x16 xc:white -fill black -draw 'rectangle 0,0 6,15' -alpha set -channel A "
            "-fx 'i>=12&&j<4?0:1' +channel ";
    else if (Colours)
      cmd = "convert -size 16x16 xc:none -fill 'rgb(200,30,40)' -draw 'rectangle 2,2 13,13' -fill 'rgb(10,90,220)' "
            "-draw 'rectangle 5,5 9,11' -fill 'rgb(250,250,0)' -draw 'point 7,3' ";
    else
      cmd = "convert -size 16x16 gradient:'rgb(255,0,0)'-'rgb(0,0,255)' -alpha set -channel A -fx 'i/15' +channel ";
    EXPECT_EQ(test::Run(cmd + "PNG32:'" + png + "'"), 0);
    return png;
  }

  // ImageMagick's picture of entry Index laid over Background, and its alpha.
  void MagickDecode(const std::string& File, int32_t Index, const std::string& Background, TBitmap& Rgb,
                    std::string& Alpha) {
    const std::string in = "'" + File + "[" + std::to_string(Index) + "]'";
    ASSERT_EQ(test::Run("convert " + in + " -background '" + Background + "' -flatten -depth 8 ppm:'" + Dir + "m.ppm'"), 0);
    ASSERT_TRUE(ReadPnm(Dir + "m.ppm", Rgb));
    ASSERT_EQ(test::Run("convert " + in + " -alpha extract -depth 8 gray:'" + Dir + "a.raw'"), 0);
    Alpha = ReadText(Dir + "a.raw");
  }
};

// Pixels within Tolerance of ImageMagick's (its blend rounds on its own), and the mask exactly its alpha.
void ExpectSameAsMagick(const TIconRead& R, const TBitmap& Rgb, const std::string& Alpha, int Tolerance,
                        const std::string& What) {
  ASSERT_EQ(R.Bitmap.Width(), Rgb.Width()) << What;
  ASSERT_EQ(R.Bitmap.Height(), Rgb.Height()) << What;
  ASSERT_EQ(Alpha.size(), size_t(Rgb.Width() * Rgb.Height())) << What;
  for (int32_t y = 0; y < Rgb.Height(); ++y)
    for (int32_t x = 0; x < Rgb.Width(); ++x) {
      const TBGRPixel a = PixelOf(R.Bitmap, x, y), b = PixelOf(Rgb, x, y);
      ASSERT_LE(std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b), Tolerance)
          << What << " pixel " << x << ',' << y;
      ASSERT_EQ(R.Mask.ScanLine(y)[x], uint8_t(Alpha[size_t(y * Rgb.Width() + x)])) << What << ' ' << x << ',' << y;
    }
}

TEST_F(IcoTest, IcotoolDepthsMatchMagick) {
  if (!HaveTool("icotool") || !HaveTool("convert")) GTEST_SKIP() << "icoutils or ImageMagick missing";
  struct TCase {
    int32_t Bits, Colours;
    bool Png;
  };
  for (const TCase c : {TCase{1, 2, false}, TCase{4, 4, false}, TCase{8, 4, false}, TCase{24, 4, false},
                        TCase{32, 0, false}, TCase{32, 0, true}}) {
    const std::string ico = Dir + "t.ico", src = Source(c.Colours);
    const std::string args = c.Png ? "-r '" + src + "'" : "-b " + std::to_string(c.Bits) + " '" + src + "'";
    ASSERT_EQ(test::Run("icotool -c -o '" + ico + "' " + args), 0);
    const auto data = ReadBytes(ico);
    TReadOnlyMemoryStream probe(data.data(), int64_t(data.size()));
    EXPECT_TRUE(IsIcoStream(probe));
    EXPECT_FALSE(IsCurStream(probe));
    TIconRead r;
    r.Params.IcoBackground = TBGRPixel{30, 200, 10};
    ReadIcon(data, r, false);
    const std::string what = std::to_string(c.Bits) + (c.Png ? " PNG" : "");
    ASSERT_TRUE(r.Ok) << what;
    EXPECT_EQ(r.Bitmap.PixelFormat(), c.Bits == 1 ? pf1bit : pf24bit) << what;
    TBitmap rgb;
    std::string alpha;
    MagickDecode(ico, 0, "rgb(10,200,30)", rgb, alpha);
    ASSERT_EQ(alpha.size(), 256u) << what;
    if (c.Bits == 1) {
      // A background other than white leaves the colour bits of transparent pixels as they are.
      EXPECT_EQ(PixelOf(r.Bitmap, 15, 0), (TBGRPixel{0, 0, 0}));
      EXPECT_EQ(PixelOf(r.Bitmap, 8, 0), (TBGRPixel{255, 255, 255}));
      EXPECT_EQ(PixelOf(r.Bitmap, 0, 0), (TBGRPixel{0, 0, 0}));
      for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(r.Mask.ScanLine(y)[x], uint8_t(alpha[size_t(y * 16 + x)]));
      continue;
    }
    ExpectSameAsMagick(r, rgb, alpha, c.Bits == 32 ? 3 : 0, what);
  }
}

TEST_F(IcoTest, CursorHotSpotsAndEntries) {
  if (!HaveTool("icotool") || !HaveTool("convert")) GTEST_SKIP() << "icoutils or ImageMagick missing";
  const std::string cur = Dir + "c.cur";
  ASSERT_EQ(test::Run("icotool -c --cursor -o '" + cur + "' -X 3 -Y 5 -b 8 '" + Source(4) + "' -X 7 -Y 9 -b 32 '" +
                      Source(0) + "'"),
            0);
  const auto data = ReadBytes(cur);
  TReadOnlyMemoryStream probe(data.data(), int64_t(data.size()));
  EXPECT_TRUE(IsCurStream(probe));
  EXPECT_FALSE(IsIcoStream(probe));
  for (int32_t index : {0, 1}) {
    TIconRead r;
    r.Params.CurBackground = TBGRPixel{30, 200, 10};
    ReadIcon(data, r, true, index);
    ASSERT_TRUE(r.Ok) << index;
    EXPECT_EQ(r.Params.CurHotSpotX, index ? 7 : 3);
    EXPECT_EQ(r.Params.CurHotSpotY, index ? 9 : 5);
    EXPECT_EQ(r.Params.SamplesPerPixel, 1);
    EXPECT_EQ(r.Params.BitsPerSample, index ? 32 : 8);
    TBitmap rgb;
    std::string alpha;
    MagickDecode(cur, index, "rgb(10,200,30)", rgb, alpha);
    ExpectSameAsMagick(r, rgb, alpha, index ? 3 : 0, "cursor " + std::to_string(index));
  }
  TIconRead past;
  ReadIcon(data, past, true, 2);
  EXPECT_FALSE(past.Ok);
}

TEST_F(IcoTest, MagickIconsOfSeveralSizes) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  const std::string ico = Dir + "m.ico";
  ASSERT_EQ(test::Run("convert '" + Source(4) + "' \\( '" + Source(0) + "' -resize 48x48 \\) '" + ico + "'"), 0);
  const auto data = ReadBytes(ico);
  for (int32_t index : {0, 1}) {
    TIconRead r;
    ReadIcon(data, r, false, index);
    ASSERT_TRUE(r.Ok) << index;
    TBitmap rgb;
    std::string alpha;
    MagickDecode(ico, index, "white", rgb, alpha);
    ExpectSameAsMagick(r, rgb, alpha, 3, "magick " + std::to_string(index));
  }
}

// --- Hand-made directories -------------------------------------------------------

void Put16(std::vector<uint8_t>& D, uint32_t V) { D.insert(D.end(), {uint8_t(V), uint8_t(V >> 8)}); }
void Put32(std::vector<uint8_t>& D, uint32_t V) {
  Put16(D, V & 0xFFFF);
  Put16(D, V >> 16);
}

struct TEntry {
  uint8_t W = 16, H = 16, Colors = 16;
  uint16_t F1 = 1, F2 = 4;
  int32_t HdrW = 16, HdrH = 32;
  uint16_t Bits = 4;
  int32_t PixelsPerMetre = 3780;  // 96 DPI
  uint8_t Fill = 0x12;            // every byte of the colour rows
  uint8_t AndFill = 0x00;
};

// One-entry directory of type Type, image data as the entry says.
std::vector<uint8_t> Handmade(uint16_t Type, const TEntry& E, int32_t TableEntries) {
  std::vector<uint8_t> image;
  Put32(image, 40);
  Put32(image, uint32_t(E.HdrW));
  Put32(image, uint32_t(E.HdrH));
  Put16(image, 1);
  Put16(image, E.Bits);
  for (int i = 0; i < 2; ++i) Put32(image, 0);
  Put32(image, uint32_t(E.PixelsPerMetre));
  Put32(image, uint32_t(E.PixelsPerMetre));
  Put32(image, 0);
  Put32(image, 0);
  for (int32_t i = 0; i < TableEntries; ++i) image.insert(image.end(), {uint8_t(i), uint8_t(2 * i), uint8_t(255 - i), 0});
  const int64_t w = E.HdrW, h = E.HdrH / 2;
  const int64_t bits = E.Bits ? E.Bits : 4;
  if (w * h <= 65536) image.insert(image.end(), size_t((w * bits + 31) / 32 * 4 * h), E.Fill);
  if (w * h <= 65536) image.insert(image.end(), size_t((w + 31) / 32 * 4 * h), E.AndFill);
  std::vector<uint8_t> d;
  Put16(d, 0);
  Put16(d, Type);
  Put16(d, 1);
  d.insert(d.end(), {E.W, E.H, E.Colors, 0});
  Put16(d, E.F1);
  Put16(d, E.F2);
  Put32(d, uint32_t(image.size()));
  Put32(d, 22);
  d.insert(d.end(), image.begin(), image.end());
  return d;
}

TEST(Ico, HeaderSizeWinsForIconsOnly) {
  TEntry e;
  e.HdrW = 32;
  e.HdrH = 64;
  const auto data = Handmade(1, e, 16);
  TIconRead icon;
  ReadIcon(data, icon, false);
  ASSERT_TRUE(icon.Ok);
  EXPECT_EQ(icon.Bitmap.Width(), 32);
  EXPECT_EQ(icon.Bitmap.Height(), 32);
  EXPECT_EQ(icon.Params.DpiX, 96);
  EXPECT_EQ(icon.Params.ColorMapCount, 16);
  // Pixel 0 is index 1 (the byte 0x12's high nibble): blue 1, green 2, red 254.
  EXPECT_EQ(PixelOf(icon.Bitmap, 0, 0), (TBGRPixel{1, 2, 254}));
  EXPECT_EQ(PixelOf(icon.Bitmap, 1, 31), (TBGRPixel{2, 4, 253}));
  TIconRead cursor;
  const auto cur = Handmade(2, e, 16);  // its bit count comes from the header alone
  ReadIcon(cur, cursor, true);
  ASSERT_TRUE(cursor.Ok);
  EXPECT_EQ(cursor.Bitmap.Width(), 16);
  EXPECT_EQ(cursor.Bitmap.Height(), 16);
  EXPECT_EQ(cursor.Params.CurHotSpotX, 1);
  EXPECT_EQ(cursor.Params.CurHotSpotY, 4);
}

TEST(Ico, OneBitTransparentAndInvertingPixels) {
  TEntry e;
  e.Colors = 2;
  e.Bits = 1;
  e.F2 = 1;
  e.Fill = 0x0F;     // pixels 0-3 colour 0, 4-7 colour 1 in every byte
  e.AndFill = 0x33;  // pixels 2, 3, 6, 7 of every byte are not drawn
  for (bool whiteBackground : {false, true}) {
    TIconRead r;
    r.Params.IcoBackground = whiteBackground ? TBGRPixel{255, 255, 255} : TBGRPixel{0, 0, 0};
    auto data = Handmade(1, e, 2);
    // A black, white table.
    const size_t table = 22 + 40;
    for (int i = 0; i < 3; ++i) data[table + size_t(i)] = 0, data[table + 4 + size_t(i)] = 255;
    ReadIcon(data, r, false);
    ASSERT_TRUE(r.Ok);
    ASSERT_EQ(r.Bitmap.PixelFormat(), pf1bit);
    const uint8_t bits = static_cast<const uint8_t*>(r.Bitmap.ScanLine(5))[0];
    // Pixels 2, 3 are transparent (colour 0): the background; 6, 7 invert (colour 1): its opposite.
    EXPECT_EQ(bits, whiteBackground ? 0x3C : 0x0F);
    EXPECT_EQ(r.Mask.ScanLine(5)[2], 0);
    EXPECT_EQ(r.Mask.ScanLine(5)[4], 255);
  }
}

TEST(Ico, ColourCount255GivesFullPalette) {
  TEntry e;
  e.Colors = 255;
  e.Bits = 8;
  e.F2 = 8;
  TIconRead r;
  ReadIcon(Handmade(1, e, 256), r, false);
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Params.ColorMapCount, 256);
  EXPECT_EQ(PixelOf(r.Bitmap, 3, 3), (TBGRPixel{0x12, 0x24, 255 - 0x12}));
}

TEST(Ico, LyingDirectoriesFail) {
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Data;
    bool Detected;
  };
  TEntry e;
  const auto good = Handmade(1, e, 16);
  auto farOffset = good;
  farOffset[18] = 0xFF, farOffset[19] = 0x7F;
  auto shortRows = good;
  shortRows.resize(good.size() - 64 - 20);
  TEntry noBits = e;
  noBits.Bits = 0, noBits.F2 = 0, noBits.Colors = 0;
  TEntry huge = e;
  huge.W = 0, huge.H = 0, huge.HdrW = 70000, huge.HdrH = 140000;
  TEntry twoBits = e;
  twoBits.Bits = 2, twoBits.F2 = 2;
  auto zeroCount = good;
  zeroCount[4] = 0;
  // Cut inside the colour table; and a directory of two entries, cut after the first.
  const std::vector<uint8_t> shortTable(good.begin(), good.begin() + 22 + 40 + 8);
  auto twoEntries = std::vector<uint8_t>(good.begin(), good.begin() + 6 + 16);
  twoEntries[4] = 2;
  const TCase cases[] = {
      {"colour table cut short", shortTable, true},
      {"offset past the end", farOffset, true},
      {"colour rows cut short", shortRows, true},
      {"no bit count, no colour count", Handmade(1, noBits, 0), true},
      {"70000 pixels wide", Handmade(1, huge, 0), true},
      {"2 bits per pixel", Handmade(1, twoBits, 4), true},
      {"no entries", zeroCount, false},
      {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 6), false},
  };
  for (const TCase& c : cases) {
    TIconRead r;
    ReadIcon(c.Data, r, false);
    EXPECT_FALSE(r.Ok) << c.Name;
    EXPECT_TRUE(r.InsideStream) << c.Name;
    TReadOnlyMemoryStream s(c.Data.data(), int64_t(c.Data.size()));
    EXPECT_EQ(IsIcoStream(s), c.Detected) << c.Name;
    EXPECT_EQ(s.Position(), 0);
  }
  TIconRead past;
  ReadIcon(good, past, false, 1);
  EXPECT_FALSE(past.Ok);
  TIconRead second;
  ReadIcon(twoEntries, second, false, 1);
  EXPECT_FALSE(second.Ok);
  EXPECT_TRUE(second.InsideStream);
}

// A BMP saved under an icon name loads as that BMP; the component finds icons by content.
TEST_F(IcoTest, BmpUnderAnIconNameAndTheImageComponent) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  ASSERT_EQ(test::Run("convert -size 7x5 gradient:red-blue BMP3:'" + Dir + "b.bmp'"), 0);
  const auto bmp = ReadBytes(Dir + "b.bmp");
  TIconRead r;
  ReadIcon(bmp, r, false);
  ASSERT_TRUE(r.Ok);
  TBitmap magick;
  ASSERT_EQ(test::Run("convert '" + Dir + "b.bmp' -depth 8 ppm:'" + Dir + "b.ppm'"), 0);
  ASSERT_TRUE(ReadPnm(Dir + "b.ppm", magick));
  ASSERT_EQ(r.Bitmap.Width(), 7);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) EXPECT_EQ(PixelOf(r.Bitmap, x, y), PixelOf(magick, x, y));
  TIconRead cursor;
  ReadIcon(bmp, cursor, true);
  EXPECT_FALSE(cursor.Ok);  // only the icon reader knows this case

  if (!HaveTool("icotool")) return;
  ASSERT_EQ(test::Run("icotool -c -o '" + Dir + "i.ico' -b 8 '" + Source(4) + "'"), 0);
  EXPECT_EQ(DetectFileType(Dir + "i.ico", true), ioICO);
  TBitmap loaded;
  TImagerIO io(nullptr);
  io.AttachBitmap(&loaded);
  io.LoadFromFileByExtension(Dir + "i.ico");
  ASSERT_FALSE(io.Aborted());
  EXPECT_EQ(loaded.Width(), 16);
}

}  // namespace
}  // namespace kv
