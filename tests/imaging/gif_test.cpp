// GIF reader and writer: files made by ImageMagick and gifbuild read and
// compared with the tools' own decoding, our files read back by ImageMagick
// and giflib, and hand-made files that break the rules.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "codec_test_util.h"
#include "imaging/formats/gif.h"
#include "imaging/formats/gif_lzw.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/io_detect.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

// The application's hooks for the length of a test.
struct TGifHooks {
  TGifHooks() { InstallGifLzwHooks(); }
  ~TGifHooks() {
    GifLzwDecoderHook = nullptr;
    GifLzwEncoderHook = nullptr;
  }
};

class GifTest : public TTempFolderTest {
 protected:
  TGifHooks Hooks;
};

TBGRPixel PixelOf(const TBitmap& B, int32_t X, int32_t Y) {
  const auto* row = static_cast<const uint8_t*>(B.ScanLine(Y));
  if (B.PixelFormat() == pf1bit) {
    const TPaletteEntry& e = B.Palette()[(row[X >> 3] >> (7 - (X & 7))) & 1];
    return TBGRPixel{e.peBlue, e.peGreen, e.peRed};
  }
  return TBGRPixel{row[3 * X], row[3 * X + 1], row[3 * X + 2]};
}

// Pixel-by-pixel equality with a 24-bit picture; the first difference is reported.
::testing::AssertionResult SamePixels(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height())
    return ::testing::AssertionFailure() << "size " << A.Width() << 'x' << A.Height() << " vs " << B.Width() << 'x'
                                         << B.Height();
  for (int32_t y = 0; y < A.Height(); ++y)
    for (int32_t x = 0; x < A.Width(); ++x)
      if (!(PixelOf(A, x, y) == PixelOf(B, x, y)))
        return ::testing::AssertionFailure() << "pixel " << x << ',' << y;
  return ::testing::AssertionSuccess();
}

// ImageMagick's decoding of one frame.
bool MagickDecode(const std::string& Gif, int32_t Frame, TBitmap& Out, const std::string& Dir) {
  const std::string ppm = Dir + "magick.ppm";
  if (test::Run("convert '" + Gif + "[" + std::to_string(Frame) + "]' ppm:'" + ppm + "'") != 0) return false;
  return ReadPnm(ppm, Out);
}

// A picture of exactly Colours colours (noise for 256, so that the LZW table fills and clears).
std::unique_ptr<TBitmap> Picture(int32_t W, int32_t H, int32_t Colours, uint32_t Seed = 1) {
  std::mt19937 rng(Seed);
  std::vector<TBGRPixel> pal(static_cast<size_t>(Colours));
  for (int32_t i = 0; i < Colours; ++i)
    pal[size_t(i)] = TBGRPixel{uint8_t(i * 37 + 11), uint8_t(255 - i), uint8_t(i * 89)};
  if (Colours == 2) pal = {TBGRPixel{0, 0, 0}, TBGRPixel{255, 255, 255}};
  return Make24(W, H, [&](int32_t x, int32_t y) {
    const int32_t i = Colours == 256 ? int32_t(rng() & 255) : int32_t((uint32_t(x / 3 + y / 2) + Seed) % uint32_t(Colours));
    return pal[size_t(i)];
  });
}

struct TRead {
  TBitmap Bitmap;
  TIOParamsVals Params{nullptr};
  TIMMask Mask;
  bool Ok = false;
};

void ReadGif(const std::vector<uint8_t>& Data, TRead& R, int32_t Index = 0, bool ParamsOnly = false) {
  TReadOnlyMemoryStream s(Data.data(), int64_t(Data.size()));
  R.Params.GifImageIndex = Index;
  TCodecRun run;
  ReadGifStream(s, R.Bitmap, R.Params, run.Progress, ParamsOnly, &R.Mask);
  R.Ok = !run.Aborted;
}

std::vector<uint8_t> WriteGif(const TBitmap& B, TIOParamsVals& P, bool* Ok = nullptr) {
  TMemoryStream s;
  TCodecRun run;
  WriteGifStream(s, B, P, run.Progress);
  if (Ok) *Ok = !run.Aborted;
  return StreamBytes(s);
}

// --- ImageMagick's files read by us --------------------------------------------

TEST_F(GifTest, ReadsMagickFilesOfEveryDepth) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  for (int32_t colours : {2, 16, 256})
    for (bool interlaced : {false, true}) {
      auto src = Picture(97, 61, colours);
      WritePnm(Dir + "src.ppm", *src);
      const std::string gif = Dir + "m.gif";
      ASSERT_EQ(test::Run("convert '" + Dir + "src.ppm' " + (interlaced ? "-interlace GIF " : "") + "'" + gif + "'"), 0);
      TRead r;
      ReadGif(ReadBytes(gif), r);
      ASSERT_TRUE(r.Ok) << colours;
      TBitmap magick;
      ASSERT_TRUE(MagickDecode(gif, 0, magick, Dir));
      EXPECT_TRUE(SamePixels(r.Bitmap, magick)) << colours << " colours, interlaced " << interlaced;
      EXPECT_TRUE(SamePixels(r.Bitmap, *src));
      EXPECT_EQ(r.Params.GifInterlaced, interlaced);
      EXPECT_EQ(r.Params.GifImageCount, 1);
    }
}

TEST_F(GifTest, ReadsMagickAnimationFrameByFrameWithTransparency) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  std::string frames;
  for (uint32_t i = 0; i < 3; ++i) {
    const std::string f = Dir + "f" + std::to_string(i) + ".ppm";
    WritePnm(f, *Picture(40, 30, 6, i + 2));
    frames += " '" + f + "'";
  }
  const std::string gif = Dir + "anim.gif";
  ASSERT_EQ(test::Run("convert -delay 35" + frames + " -transparent 'rgb(0,255,11)' '" + gif + "'"), 0);
  for (int32_t k = 0; k < 3; ++k) {
    TRead r;
    ReadGif(ReadBytes(gif), r, k);
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Params.GifImageCount, 3);
    EXPECT_EQ(r.Params.GifDelayTime, 35);
    EXPECT_TRUE(r.Params.GifTransparent);
    TBitmap magick;
    ASSERT_TRUE(MagickDecode(gif, k, magick, Dir));
    EXPECT_TRUE(SamePixels(r.Bitmap, magick)) << k;
    const std::string alpha = Dir + "alpha.pgm";
    ASSERT_EQ(test::Run("convert '" + gif + "[" + std::to_string(k) + "]' -alpha extract -depth 8 pgm:'" + alpha + "'"), 0);
    const std::string a = ReadText(alpha);
    const std::string plane = a.substr(a.size() - 40 * 30);
    int32_t clear = 0;
    for (int32_t y = 0; y < 30; ++y)
      for (int32_t x = 0; x < 40; ++x) {
        ASSERT_EQ(r.Mask.ScanLine(y)[x], uint8_t(plane[size_t(y * 40 + x)])) << k << ' ' << x << ',' << y;
        clear += r.Mask.ScanLine(y)[x] == 0;
      }
    EXPECT_GT(clear, 0);
  }
}

// --- gifbuild's files -----------------------------------------------------------

// Three images: a global map, then a local map with interlaced rows, then a
// graphic control extension with a transparent index and a delay.
const char* const kBuildSpec = R"(screen width 6
screen height 5
screen colors 4
screen background 2
pixel aspect byte 0
screen map
	rgb 0 0 0 is a
	rgb 255 255 255 is b
	rgb 255 0 0 is c
	rgb 0 0 255 is d
end
image
image left 0
image top 0
image bits 6 by 5
abcdab
bcdabc
cdabcd
dabcda
abcdab
image
image left 1
image top 2
image interlaced
image map
	rgb 10 20 30 is e
	rgb 40 50 60 is f
end
image bits 3 by 5
eff
fef
ffe
eef
efe
graphics control
	disposal mode 2
	user input flag off
	delay 77
	transparent index 3
end
image
image left 0
image top 0
image bits 4 by 2
abcd
ddca
)";

TEST_F(GifTest, ReadsGifbuildFramesWithLocalTablesInterlaceAndTransparency) {
  if (!HaveTool("gifbuild")) GTEST_SKIP() << "giflib tools missing";
  WriteText(Dir + "spec.txt", kBuildSpec);
  const std::string gif = Dir + "built.gif";
  ASSERT_EQ(test::Run("gifbuild '" + Dir + "spec.txt' > '" + gif + "'"), 0);
  const auto data = ReadBytes(gif);
  const TBGRPixel a{0, 0, 0}, b{255, 255, 255}, c{0, 0, 255}, d{255, 0, 0}, e{30, 20, 10}, f{60, 50, 40};

  TRead r1;
  ReadGif(data, r1, 1);
  ASSERT_TRUE(r1.Ok);
  EXPECT_EQ(r1.Params.GifImageCount, 3);
  EXPECT_TRUE(r1.Params.GifInterlaced);
  EXPECT_EQ(r1.Params.GifXPos, 1);
  EXPECT_EQ(r1.Params.GifYPos, 2);
  EXPECT_EQ(r1.Params.BitsPerSample, 1);
  EXPECT_EQ(r1.Params.GifDelayTime, 0);
  EXPECT_EQ(r1.Params.GifBackground, c);
  ASSERT_EQ(r1.Bitmap.PixelFormat(), pf24bit);  // two colours, but not black and white
  const char* rows1[] = {"eff", "fef", "ffe", "eef", "efe"};
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(PixelOf(r1.Bitmap, x, y), rows1[y][x] == 'e' ? e : f) << x << ',' << y;
  EXPECT_EQ(r1.Mask.ScanLine(0)[0], 255);

  TRead r2;
  ReadGif(data, r2, 2);
  ASSERT_TRUE(r2.Ok);
  EXPECT_EQ(r2.Params.GifDelayTime, 77);
  EXPECT_TRUE(r2.Params.GifTransparent);
  EXPECT_EQ(r2.Params.GifTransparentColor, d);
  const char* rows2[] = {"abcd", "ddca"};
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      const char k = rows2[y][x];
      EXPECT_EQ(PixelOf(r2.Bitmap, x, y), k == 'a' ? a : k == 'b' ? b : k == 'c' ? c : d);
      EXPECT_EQ(r2.Mask.ScanLine(y)[x], k == 'd' ? 0 : 255) << x << ',' << y;
    }

  TRead r0;
  ReadGif(data, r0, 0);
  ASSERT_TRUE(r0.Ok);
  EXPECT_FALSE(r0.Params.GifTransparent);
  EXPECT_EQ(r0.Params.BitsPerSample, 2);
  EXPECT_EQ(r0.Params.ColorMapCount, 4);
}

TEST_F(GifTest, BlackWhitePaletteGivesOneBitBitmap) {
  if (!HaveTool("gifbuild")) GTEST_SKIP() << "giflib tools missing";
  for (bool blackFirst : {true, false}) {
    const std::string map = blackFirst ? "\trgb 0 0 0 is a\n\trgb 255 255 255 is b\n"
                                       : "\trgb 255 255 255 is a\n\trgb 0 0 0 is b\n";
    WriteText(Dir + "bw.txt", "screen width 9\nscreen height 2\nscreen colors 2\nscreen map\n" + map +
                                  "end\nimage\nimage bits 9 by 2\nabbaaabab\nbbbbbbbba\n");
    ASSERT_EQ(test::Run("gifbuild '" + Dir + "bw.txt' > '" + Dir + "bw.gif'"), 0);
    TRead r;
    ReadGif(ReadBytes(Dir + "bw.gif"), r);
    ASSERT_TRUE(r.Ok);
    EXPECT_EQ(r.Bitmap.PixelFormat(), blackFirst ? pf1bit : pf24bit);
    const TBGRPixel black{0, 0, 0}, white{255, 255, 255};
    EXPECT_EQ(PixelOf(r.Bitmap, 1, 0), blackFirst ? white : black);
    EXPECT_EQ(PixelOf(r.Bitmap, 8, 1), blackFirst ? black : white);
  }
}

// --- Our files read by ImageMagick and giflib -----------------------------------

TEST_F(GifTest, WrittenFilesReadBackByMagickAndGiflib) {
  if (!HaveTool("convert") || !HaveTool("gif2rgb") || !HaveTool("giftext")) GTEST_SKIP() << "tools missing";
  for (int32_t bits = 1; bits <= 8; ++bits)
    for (bool interlaced : {false, true}) {
      auto src = Picture(83, 45, 1 << bits, uint32_t(bits));
      TIOParamsVals p(nullptr);
      p.BitsPerSample = bits;
      p.GifInterlaced = interlaced;
      bool ok = false;
      const std::string gif = Dir + "ours.gif";
      WriteBytes(gif, WriteGif(*src, p, &ok));
      ASSERT_TRUE(ok);
      TBitmap magick;
      ASSERT_TRUE(MagickDecode(gif, 0, magick, Dir));
      EXPECT_TRUE(SamePixels(*src, magick)) << bits << " bits, interlaced " << interlaced;

      ASSERT_EQ(test::Run("cd '" + Dir + "' && gif2rgb -1 -o rgb.raw ours.gif"), 0);
      const std::string raw = ReadText(Dir + "rgb.raw");
      ASSERT_EQ(raw.size(), size_t(83 * 45 * 3));
      bool same = true;
      for (int32_t y = 0; y < 45 && same; ++y)
        for (int32_t x = 0; x < 83; ++x) {
          const TBGRPixel q = PixelOf(*src, x, y);
          const char* g = raw.data() + (y * 83 + x) * 3;
          same = same && uint8_t(g[0]) == q.r && uint8_t(g[1]) == q.g && uint8_t(g[2]) == q.b;
        }
      EXPECT_TRUE(same) << "gif2rgb, " << bits << " bits";
      const std::string text = RunCapture("giftext '" + gif + "' 2>&1");
      EXPECT_NE(text.find(interlaced ? "Image is Interlaced" : "Image is Non Interlaced"), std::string::npos) << text;
    }
}

// More colours than the table: the quantizer's palette, and ImageMagick sees what we read back.
TEST_F(GifTest, QuantizedFilesReadBackByMagick) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  auto src = PhotoLike(120, 70);
  for (int32_t bits : {3, 8}) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = bits;
    const auto data = WriteGif(*src, p);
    EXPECT_EQ(p.ColorMapCount, 1 << bits);
    TRead r;
    ReadGif(data, r);
    ASSERT_TRUE(r.Ok);
    WriteBytes(Dir + "q.gif", data);
    TBitmap magick;
    ASSERT_TRUE(MagickDecode(Dir + "q.gif", 0, magick, Dir));
    EXPECT_TRUE(SamePixels(r.Bitmap, magick)) << bits;
  }
}

TEST_F(GifTest, WriterLayout) {
  auto src = Picture(20, 10, 200);
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 8;
  p.GifDelayTime = 300;
  p.GifXPos = 5;
  for (bool transparent : {false, true}) {
    p.GifTransparent = transparent;
    const auto d = WriteGif(*src, p);
    ASSERT_GT(d.size(), size_t(13 + 768 + 8 + 10));
    EXPECT_EQ(std::string(d.begin(), d.begin() + 6), "GIF89a");
    EXPECT_EQ(d[6] | d[7] << 8, 20);
    EXPECT_EQ(d[10], 0xF7);
    const size_t gce = 13 + 768;
    EXPECT_EQ(d[gce], 0x21);
    EXPECT_EQ(d[gce + 1], 0xF9);
    EXPECT_EQ(d[gce + 3], transparent ? 9 : 8);
    EXPECT_EQ(d[gce + 4] | d[gce + 5] << 8, 300);
    EXPECT_EQ(d[gce + 8], 0x2C);
    EXPECT_EQ(d[gce + 9] | d[gce + 10] << 8, 5);
    EXPECT_EQ(d[gce + 17], 0);  // no local table, not interlaced
    EXPECT_EQ(d.back(), 0x3B);
    EXPECT_EQ(p.ColorMapCount, 256);  // the palette the save chose
  }
}

TEST_F(GifTest, OneBitFromTwoColoursPutsTheDarkerOnBlack) {
  const TBGRPixel red{0, 0, 255}, blue{255, 0, 0};  // gray levels 53 and 17: blue is darker
  auto src = Make24(10, 4, [&](int32_t x, int32_t) { return x < 3 ? red : blue; });
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 1;
  TRead r;
  ReadGif(WriteGif(*src, p), r);
  ASSERT_TRUE(r.Ok);
  ASSERT_EQ(r.Bitmap.PixelFormat(), pf1bit);
  EXPECT_EQ(PixelOf(r.Bitmap, 0, 0), (TBGRPixel{255, 255, 255}));
  EXPECT_EQ(PixelOf(r.Bitmap, 5, 3), (TBGRPixel{0, 0, 0}));
}

TEST_F(GifTest, MissingHooksAndShortWritesFail) {
  auto src = Picture(16, 16, 16);
  TIOParamsVals p(nullptr);
  const auto good = WriteGif(*src, p);
  GifLzwEncoderHook = nullptr;
  p.GifLzwCompress = nullptr;
  bool ok = true;
  const auto noHook = WriteGif(*src, p, &ok);
  EXPECT_FALSE(ok);
  EXPECT_NE(noHook.back(), 0x3B);

  GifLzwDecoderHook = nullptr;
  TRead r;
  ReadGif(good, r);
  EXPECT_FALSE(r.Ok);

  p.GifLzwCompress = &GifLzwEncode;
  struct TShort : TMemoryStream {
    int32_t Write(const void* B, int32_t N) override { return TMemoryStream::Write(B, std::min(N, 100)); }
  } shortStream;
  TCodecRun run;
  WriteGifStream(shortStream, *src, p, run.Progress);
  EXPECT_TRUE(run.Aborted);
}

// --- Files that break the rules -------------------------------------------------

// Header with a global table of Entries colours (0: none), then Blocks, then the trailer.
std::vector<uint8_t> Handmade(int32_t Entries, const std::vector<uint8_t>& Blocks, bool Trailer = true) {
  std::vector<uint8_t> d{'G', 'I', 'F', '8', '9', 'a', 4, 0, 2, 0, 0, 0, 0};
  if (Entries) {
    int32_t n = 0;
    while ((2 << n) < Entries) ++n;
    d[10] = uint8_t(0x80 | n);
    for (int32_t i = 0; i < (2 << n); ++i) d.insert(d.end(), {uint8_t(i * 100), uint8_t(50), uint8_t(255 - i * 100)});
  }
  d.insert(d.end(), Blocks.begin(), Blocks.end());
  if (Trailer) d.push_back(0x3B);
  return d;
}

// An image block of 4 x 2 with the given indices, coded at code size Bits.
std::vector<uint8_t> ImageBlock(const std::vector<uint8_t>& Indices, int32_t Bits) {
  std::vector<uint8_t> d{0x2C, 0, 0, 0, 0, 4, 0, 2, 0, 0};
  TMemoryStream s;
  GifLzwEncode(s, 2, 4, Bits, Indices.data(), false);
  const auto data = StreamBytes(s);
  d.insert(d.end(), data.begin(), data.end());
  return d;
}

// ImageMagick refuses such a file outright; we show it with the first colour.
TEST_F(GifTest, IndicesPastTheTableTakeItsFirstColour) {
  const auto file = Handmade(2, ImageBlock({0, 1, 2, 3, 3, 2, 1, 0}, 2));
  TRead r;
  ReadGif(file, r);
  ASSERT_TRUE(r.Ok);
  const TBGRPixel first{255, 50, 0}, second{155, 50, 100};
  EXPECT_EQ(PixelOf(r.Bitmap, 1, 0), second);
  EXPECT_EQ(PixelOf(r.Bitmap, 2, 0), first);
  EXPECT_EQ(PixelOf(r.Bitmap, 3, 0), first);
}

TEST_F(GifTest, RuleBreakingFiles) {
  const auto image = ImageBlock({0, 1, 1, 0, 1, 0, 0, 1}, 1);
  std::vector<uint8_t> longGce{0x21, 0xF9, 6, 9, 40, 0, 1, 0xAA, 0xBB, 0};
  longGce.insert(longGce.end(), image.begin(), image.end());
  std::vector<uint8_t> shortGce{0x21, 0xF9, 2, 1, 40, 3, 1, 2, 3, 0};
  shortGce.insert(shortGce.end(), image.begin(), image.end());

  // A graphic control extension of another length: its values when it has
  // them, and in either case the image after it is found.
  TRead r;
  ReadGif(Handmade(2, longGce), r);
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Params.GifDelayTime, 40);
  EXPECT_TRUE(r.Params.GifTransparent);
  EXPECT_EQ(r.Mask.ScanLine(0)[0], 255);
  EXPECT_EQ(r.Mask.ScanLine(0)[1], 0);
  ReadGif(Handmade(2, shortGce), r);
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Params.GifImageCount, 1);

  // No trailer: the walk ends at the last byte without error.
  ReadGif(Handmade(2, image, false), r);
  EXPECT_TRUE(r.Ok);

  // No colour table at all: a gray ramp as deep as the code size.
  TRead gray;
  ReadGif(Handmade(0, ImageBlock({0, 1, 2, 3, 0, 0, 0, 0}, 2)), gray);
  ASSERT_TRUE(gray.Ok);
  EXPECT_EQ(PixelOf(gray.Bitmap, 1, 0), (TBGRPixel{85, 85, 85}));
  EXPECT_EQ(PixelOf(gray.Bitmap, 3, 0), (TBGRPixel{255, 255, 255}));

  struct TBad {
    const char* Name;
    std::vector<uint8_t> Data;
  };
  std::vector<uint8_t> notGif = Handmade(2, image);
  notGif[0] = 'J';
  std::vector<uint8_t> huge = Handmade(2, image);
  huge[13 + 6 + 5] = 0xFF, huge[13 + 6 + 6] = 0xFF, huge[13 + 6 + 7] = 0xFF, huge[13 + 6 + 8] = 0xFF;
  std::vector<uint8_t> bigFromLittle = Handmade(2, image);  // within the pixel limit, but not from 10 bytes
  bigFromLittle[13 + 6 + 5] = 0x80, bigFromLittle[13 + 6 + 6] = 0x3E, bigFromLittle[13 + 6 + 7] = 0x80,
  bigFromLittle[13 + 6 + 8] = 0x3E;
  std::vector<uint8_t> empty = Handmade(2, image);
  empty[13 + 6 + 5] = 0, empty[13 + 6 + 6] = 0;
  std::vector<uint8_t> badCodeSize = Handmade(2, image);
  badCodeSize[13 + 6 + 10] = 11;
  const TBad bad[] = {
      {"not a GIF", notGif},
      {"header only", Handmade(2, {}, false)},
      {"short table", std::vector<uint8_t>(image.begin(), image.begin())},
      {"65535 x 65535", huge},
      {"zero width", empty},
      {"16000 x 16000 from a few bytes", bigFromLittle},
      {"code size 11", badCodeSize},
      {"descriptor cut", std::vector<uint8_t>(image.begin(), image.begin() + 5)},
  };
  for (const TBad& b : bad) {
    std::vector<uint8_t> d = b.Data;
    if (std::string(b.Name) == "descriptor cut") d = Handmade(2, d, false);
    if (std::string(b.Name) == "short table") d = std::vector<uint8_t>(notGif.begin(), notGif.begin() + 15), d[0] = 'G';
    TRead x;
    ReadGif(d, x);
    EXPECT_FALSE(x.Ok) << b.Name;
  }
}

TEST_F(GifTest, IndexPastTheLastImage) {
  const auto file = Handmade(2, ImageBlock({0, 1, 1, 0, 1, 0, 0, 1}, 1));
  TRead r;
  ReadGif(file, r, 3);
  EXPECT_FALSE(r.Ok);  // no pixels came out: a failure, not an untouched success
  EXPECT_EQ(r.Params.GifImageCount, 1);
  TRead p;
  ReadGif(file, p, 3, true);
  EXPECT_TRUE(p.Ok);  // counting alone is fine
  EXPECT_EQ(p.Params.GifImageCount, 1);
}

TEST_F(GifTest, DeleteFrameAndCount) {
  if (!HaveTool("gifbuild")) GTEST_SKIP() << "giflib tools missing";
  WriteText(Dir + "spec.txt", kBuildSpec);
  const std::string gif = Dir + "three.gif";
  ASSERT_EQ(test::Run("gifbuild '" + Dir + "spec.txt' > '" + gif + "'"), 0);
  EXPECT_EQ(GetGifImageCount(gif), 3);
  TRead before;
  ReadGif(ReadBytes(gif), before, 2);
  EXPECT_EQ(DeleteGifFrame(gif, 1, true), 2);
  EXPECT_EQ(GetGifImageCount(gif), 2);
  TRead after;
  ReadGif(ReadBytes(gif), after, 1);
  ASSERT_TRUE(after.Ok);
  EXPECT_TRUE(SamePixels(after.Bitmap, before.Bitmap));
  EXPECT_EQ(after.Params.GifDelayTime, 77);  // the extension of the next image stays
  if (HaveTool("identify")) {
    EXPECT_EQ(RunCapture("identify '" + gif + "' | wc -l"), "2\n");
  }

  WriteText(Dir + "plain.txt", "not a gif");
  EXPECT_EQ(DeleteGifFrame(Dir + "plain.txt", 0, true), 0);
  EXPECT_EQ(ReadText(Dir + "plain.txt"), "not a gif");
  EXPECT_EQ(GetGifImageCount(Dir + "absent.gif"), 0);
}

TEST_F(GifTest, FileRoundTripAndFailedSaveKeepsOldFile) {
  auto src = Picture(30, 20, 16);
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 4;
  TProgressRec progress;
  const std::string path = Dir + "file.gif";
  ASSERT_TRUE(WriteGifFile(path, *src, p, progress));
  TBitmap back;
  TIOParamsVals q(nullptr);
  ASSERT_TRUE(ReadGifFile(path, back, q, progress, nullptr));
  EXPECT_TRUE(SamePixels(back, *src));
  const std::string old = ReadText(path);
  GifLzwEncoderHook = nullptr;
  p.GifLzwCompress = nullptr;
  EXPECT_FALSE(WriteGifFile(path, *src, p, progress));
  EXPECT_EQ(ReadText(path), old);
  EXPECT_FALSE(ReadGifFile(Dir + "absent.gif", back, q, progress, nullptr));
}

// The I/O component reaches the codec by extension, type and content, and counts frames.
TEST_F(GifTest, ThroughTheImageComponent) {
  auto src = Picture(30, 20, 16);
  TImagerIO out(nullptr);
  out.AttachBitmap(src.get());
  out.Params().BitsPerSample = 4;
  out.Params().GifInterlaced = true;
  const std::string path = Dir + "io.gif";
  out.SaveToFileByExtension(path);
  ASSERT_FALSE(out.Aborted());
  EXPECT_EQ(DetectFileType(path, true), ioGIF);
  TBitmap back;
  TImagerIO in(nullptr);
  in.AttachBitmap(&back);
  in.LoadFromFileByExtension(path);
  ASSERT_FALSE(in.Aborted());
  EXPECT_TRUE(SamePixels(back, *src));
  EXPECT_TRUE(in.Params().GifInterlaced);
  EXPECT_EQ(in.GetGifImageCount(path), 1);
}

}  // namespace
}  // namespace kv
