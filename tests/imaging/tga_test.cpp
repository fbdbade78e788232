// TGA reader and writer against netpbm and ImageMagick: true-colour,
// colour-mapped and gray files, plain and run-length, bottom-up as the tools
// write them, are read and compared with tgatoppm's decoding; what we write
// is decoded alike by tgatoppm and ImageMagick.
#include <gtest/gtest.h>

#include "codec_test_util.h"
#include "imaging/formats/tga.h"
#include "raster_compare.h"

namespace kv::test {
namespace {

struct TTgaRead {
  TBitmap Bitmap;
  TIOParamsVals Params{nullptr};
  TIMMask Mask;
  TCodecRun Run;
};

void ReadTgaBytes(const std::vector<uint8_t>& Bytes, TTgaRead& R, bool ParamsOnly = false) {
  TReadOnlyMemoryStream s(Bytes.data(), int64_t(Bytes.size()));
  ReadTgaStream(s, R.Bitmap, R.Params, R.Run.Progress, ParamsOnly, &R.Mask);
}

std::vector<uint8_t> WriteTgaBytes(const TBitmap& B, TIOParamsVals& P, bool* Aborted = nullptr) {
  TMemoryStream s;
  TCodecRun run;
  WriteTgaStream(s, B, P, run.Progress);
  if (Aborted) *Aborted = run.Aborted;
  return StreamBytes(s);
}

// An 18-byte header of our own, followed by Rest.
std::vector<uint8_t> Tga(int Type, int Depth, int Width, int Height, int Descriptor, std::vector<uint8_t> Rest,
                         int MapType = 0, int MapFirst = 0, int MapLength = 0, int MapBits = 0) {
  std::vector<uint8_t> f = {0,
                            uint8_t(MapType),
                            uint8_t(Type),
                            uint8_t(MapFirst),
                            uint8_t(MapFirst >> 8),
                            uint8_t(MapLength),
                            uint8_t(MapLength >> 8),
                            uint8_t(MapBits),
                            0,
                            0,
                            0,
                            0,
                            uint8_t(Width),
                            uint8_t(Width >> 8),
                            uint8_t(Height),
                            uint8_t(Height >> 8),
                            uint8_t(Depth),
                            uint8_t(Descriptor)};
  f.insert(f.end(), Rest.begin(), Rest.end());
  return f;
}

class TgaTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    if (!HaveTool("convert") || !HaveTool("tgatoppm")) GTEST_SKIP() << "ImageMagick or netpbm missing";
  }
};

TEST_F(TgaTest, ReadsWhatTheToolsWrite) {
  WritePnm(Dir + "src.ppm", *PhotoLike(37, 13));
  const std::string photo = "cat " + Dir + "src.ppm";
  struct TCase {
    const char* Name;
    std::string Make;
    int32_t Bits, Samples;
    bool Compressed, Gray, Mapped;
  };
  const TCase cases[] = {
      {"netpbm-rgb-rle", photo + " | pamtotga -rgb", 8, 3, true, false, false},
      {"netpbm-rgb", photo + " | pamtotga -rgb -norle", 8, 3, false, false, false},
      {"netpbm-cmap-rle", photo + " | pnmquant 200 | pamtotga -cmap", 8, 1, true, false, true},
      {"netpbm-cmap", photo + " | pnmquant 200 | pamtotga -cmap -norle", 8, 1, false, false, true},
      {"netpbm-gray-rle", photo + " | ppmtopgm | pamtotga", 8, 1, true, true, false},
      {"netpbm-gray", photo + " | ppmtopgm | pamtotga -norle", 8, 1, false, true, false},
      {"magick-rgb", photo + " | convert - TGA:-", 8, 3, false, false, false},
      {"magick-rgb-rle", photo + " | convert - -compress RLE TGA:-", 8, 3, true, false, false},
      {"magick-palette", photo + " | convert - -colors 90 -type palette TGA:-", 8, 1, false, false, true},
      {"magick-palette-rle", photo + " | convert - -colors 90 -type palette -compress RLE TGA:-", 8, 1, true,
       false, true},
      {"magick-gray", photo + " | convert - -colorspace gray TGA:-", 8, 1, false, true, false},
      {"magick-alpha", photo + " | convert - -alpha set -channel A -fx 'i/w' TGA:-", 8, 4, false, false, false},
  };
  for (const TCase& c : cases) {
    const std::string file = Dir + c.Name + ".tga";
    ASSERT_EQ(test::Run("(" + c.Make + ") > " + file + " 2>/dev/null"), 0) << c.Name;
    TTgaRead r;
    ReadTgaBytes(ReadBytes(file), r);
    ASSERT_FALSE(r.Run.Aborted) << c.Name;
    EXPECT_EQ(r.Params.BitsPerSample, c.Bits) << c.Name;
    EXPECT_EQ(r.Params.SamplesPerPixel, c.Samples) << c.Name;
    EXPECT_EQ(r.Params.TgaCompressed, c.Compressed) << c.Name;
    if (c.Mapped) {
      EXPECT_GT(r.Params.ColorMapCount, 0) << c.Name;
    }
    EXPECT_EQ(r.Params.TgaGrayLevel, c.Gray) << c.Name;
    EXPECT_EQ(r.Run.LastProgress, 100);
    EXPECT_EQ(MaxDiffToRgb(r.Bitmap, ToolBytes("tgatoppm " + file + " 2>/dev/null | convert - -depth 8 rgb:-")), 0)
        << c.Name;
    if (c.Samples == 4) {
      // Alpha goes to the mask: ImageMagick's own alpha channel.
      const std::string a = ToolBytes("convert " + file + " -alpha extract -depth 8 gray:-");
      ASSERT_EQ(a.size(), 37u * 13u);
      ASSERT_FALSE(r.Mask.IsEmpty());
      int worst = 0;
      for (int32_t y = 0; y < 13; ++y)
        for (int32_t x = 0; x < 37; ++x)
          worst = std::max(worst, std::abs(int(r.Mask.ScanLine(y)[x]) - uint8_t(a[size_t(y) * 37 + size_t(x)])));
      EXPECT_EQ(worst, 0);
    }
  }
}

TEST_F(TgaTest, WhatWeWriteTheToolsRead) {
  const auto photo = PhotoLike(37, 11);
  const auto flat = Make24(300, 3, [](int32_t x, int32_t y) {  // long runs and raw stretches
    return x < 150 ? TBGRPixel{1, 2, 3} : TBGRPixel{uint8_t(x), uint8_t(y), uint8_t(x / 3)};
  });
  TBitmap bw(21, 5, pf1bit);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 21; ++x)
      if ((x + 2 * y) % 5 < 2) static_cast<uint8_t*>(bw.ScanLine(y))[x >> 3] |= kBitMask[x & 7];
  struct TCase {
    const char* Name;
    const TBitmap* Source;
    int32_t Bits, Samples;
    bool Compressed, Gray;
    int Type, Depth;
    bool Exact;
  };
  const TCase cases[] = {
      {"rgb-rle", photo.get(), 8, 3, true, false, 10, 24, true},
      {"rgb", photo.get(), 8, 3, false, false, 2, 24, true},
      {"runs-rle", flat.get(), 8, 3, true, false, 10, 24, true},
      {"cmap-rle", photo.get(), 8, 1, true, false, 9, 8, false},
      {"cmap", photo.get(), 8, 1, false, false, 1, 8, false},
      {"gray-rle", photo.get(), 8, 1, true, true, 11, 8, false},
      {"gray", photo.get(), 8, 1, false, true, 3, 8, false},
      {"bits-as-rgb", &bw, 8, 3, true, false, 10, 24, false},
  };
  for (const TCase& c : cases) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.Bits;
    p.SamplesPerPixel = c.Samples;
    p.TgaCompressed = c.Compressed;
    p.TgaGrayLevel = c.Gray;
    p.TgaDescription = "a test";
    bool aborted = true;
    const std::vector<uint8_t> bytes = WriteTgaBytes(*c.Source, p, &aborted);
    ASSERT_FALSE(aborted) << c.Name;
    EXPECT_EQ(bytes[2], c.Type) << c.Name;
    EXPECT_EQ(bytes[16], c.Depth) << c.Name;
    EXPECT_EQ(bytes[17], 0x20) << c.Name;
    const std::string file = Dir + c.Name + ".tga";
    WriteBytes(file, bytes);
    TTgaRead back;
    ReadTgaBytes(bytes, back);
    ASSERT_FALSE(back.Run.Aborted) << c.Name;
    EXPECT_EQ(back.Params.TgaDescription, "a test");
    if (c.Exact) {
      EXPECT_EQ(MaxDiff(back.Bitmap, *c.Source), 0) << c.Name;
    }
    if (c.Source == &bw) {
      EXPECT_EQ(MaxDiff(back.Bitmap, bw), 0) << c.Name;
    }
    EXPECT_EQ(MaxDiffToRgb(back.Bitmap, ToolBytes("tgatoppm " + file + " 2>/dev/null | convert - -depth 8 rgb:-")), 0)
        << c.Name;
    EXPECT_EQ(MaxDiffToRgb(back.Bitmap, ToolBytes("convert " + file + " -depth 8 rgb:-")), 0) << c.Name;
  }
}

TEST(Tga, SmallDepthsReadBack) {
  const auto photo = PhotoLike(13, 5);
  TBitmap bw(21, 3, pf1bit);
  static_cast<uint8_t*>(bw.ScanLine(1))[0] = 0xA5;
  // 1 and 4 bits are written plain whatever the record says.
  for (int32_t bits : {1, 4}) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = bits;
    p.SamplesPerPixel = 1;
    const TBitmap& src = bits == 1 ? bw : *photo;
    const std::vector<uint8_t> f = WriteTgaBytes(src, p);
    EXPECT_FALSE(p.TgaCompressed);
    EXPECT_EQ(f[16], bits);
    EXPECT_EQ(f[2], bits == 1 ? 3 : 1);
    TTgaRead r;
    ReadTgaBytes(f, r);
    ASSERT_FALSE(r.Run.Aborted) << bits;
    EXPECT_EQ(r.Params.BitsPerSample, bits);
    if (bits == 1) {
      EXPECT_EQ(r.Bitmap.PixelFormat(), pf1bit);
      EXPECT_EQ(MaxDiff(r.Bitmap, bw), 0);
    } else {
      ASSERT_EQ(r.Params.ColorMapCount, 16);
      // Every pixel is one of the 16 colours of the map.
      for (int32_t y = 0; y < 5; ++y)
        for (int32_t x = 0; x < 13; ++x) {
          const TBGRPixel px = PixelOf(r.Bitmap, x, y);
          EXPECT_TRUE(std::find(r.Params.ColorMap.get(), r.Params.ColorMap.get() + 16, px) !=
                      r.Params.ColorMap.get() + 16);
        }
    }
  }
}

TEST(Tga, OriginAndMirroring) {
  // Two rows of two pixels: file order a b / c d.
  const std::vector<uint8_t> px = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
  struct TCase {
    int Descriptor;
    uint8_t TopLeft, TopRight, BottomLeft;
  };
  const TCase cases[] = {{0x20, 1, 2, 3}, {0x00, 3, 4, 1}, {0x10, 4, 3, 2}, {0x30, 2, 1, 4}};
  for (const TCase& c : cases) {
    TTgaRead r;
    ReadTgaBytes(Tga(2, 24, 2, 2, c.Descriptor, px), r);
    ASSERT_FALSE(r.Run.Aborted) << c.Descriptor;
    EXPECT_EQ(PixelOf(r.Bitmap, 0, 0).b, c.TopLeft) << c.Descriptor;
    EXPECT_EQ(PixelOf(r.Bitmap, 1, 0).b, c.TopRight) << c.Descriptor;
    EXPECT_EQ(PixelOf(r.Bitmap, 0, 1).b, c.BottomLeft) << c.Descriptor;
  }
  // 1-bit rows mirror by bits.
  TTgaRead m;
  ReadTgaBytes(Tga(3, 1, 10, 1, 0x10, {0xC0, 0x40}), m);
  ASSERT_FALSE(m.Run.Aborted);
  EXPECT_EQ(m.Bitmap.PixelFormat(), pf1bit);
  EXPECT_EQ(static_cast<const uint8_t*>(m.Bitmap.ScanLine(0))[0] & 0xC0, 0x80);
  EXPECT_EQ(static_cast<const uint8_t*>(m.Bitmap.ScanLine(0))[1] & 0xC0, 0xC0);
}

TEST(Tga, ColourMapsAndPackets) {
  // 15-bit map entries from slot 2; index 0 lies before them (the 3-3-2 ramp),
  // index 250 far past them: neither reads outside the table.
  std::vector<uint8_t> rest = {0x1F, 0x00, 0xE0, 0x7F};  // blue; red + green
  rest.insert(rest.end(), {2, 3, 0, 250});
  TTgaRead r;
  ReadTgaBytes(Tga(1, 8, 4, 1, 0x20, rest, 1, 2, 2, 15), r);
  ASSERT_FALSE(r.Run.Aborted);
  EXPECT_EQ(PixelOf(r.Bitmap, 0, 0), (TBGRPixel{248, 0, 0}));
  EXPECT_EQ(PixelOf(r.Bitmap, 1, 0), (TBGRPixel{0, 248, 248}));
  EXPECT_EQ(PixelOf(r.Bitmap, 2, 0), (TBGRPixel{60, 28, 28}));
  EXPECT_EQ(PixelOf(r.Bitmap, 3, 0), (TBGRPixel{uint8_t(2 * 64 + 60), uint8_t(6 * 32 + 28), uint8_t(7 * 32 + 28)}));
  EXPECT_EQ(r.Params.ColorMapCount, 2);
  EXPECT_FALSE(r.Params.TgaGrayLevel);

  // A map that runs past the 256 slots, with an entry size of no decoding: skipped, not stored.
  std::vector<uint8_t> big(300 * 2, 0xFF);
  big.push_back(255);
  TTgaRead b;
  ReadTgaBytes(Tga(1, 8, 1, 1, 0x20, big, 1, 200, 300, 12), b);
  ASSERT_FALSE(b.Run.Aborted);
  EXPECT_EQ(b.Params.ColorMapCount, 256);

  // A run-length packet that crosses the row end goes on in the next row.
  TTgaRead p;
  ReadTgaBytes(Tga(11, 8, 3, 2, 0x20, {0x83, 9, 0x01, 5, 6}), p);
  ASSERT_FALSE(p.Run.Aborted);
  EXPECT_EQ(PixelOf(p.Bitmap, 2, 0), Gray(9));
  EXPECT_EQ(PixelOf(p.Bitmap, 0, 1), Gray(9));
  EXPECT_EQ(PixelOf(p.Bitmap, 2, 1), Gray(6));
  EXPECT_TRUE(p.Params.TgaGrayLevel);
  EXPECT_TRUE(p.Params.TgaCompressed);

  // 16-bit pixels are 5-5-5 with blue in the low bits.
  TTgaRead w;
  ReadTgaBytes(Tga(2, 16, 1, 1, 0x20, {0x1F, 0x7C}), w);
  ASSERT_FALSE(w.Run.Aborted);
  EXPECT_EQ(PixelOf(w.Bitmap, 0, 0), (TBGRPixel{248, 0, 248}));
  EXPECT_EQ(w.Params.BitsPerSample, 5);
}

TEST(Tga, ExtensionAreaRoundTrip) {
  const auto photo = PhotoLike(5, 3);
  TIOParamsVals p(nullptr);
  p.TgaAuthor = std::string(50, 'a');  // 40 characters are kept
  p.TgaImageName = "job";
  p.TgaDate = EncodeDate(2024, 2, 29) + EncodeTime(13, 14, 15, 0);
  p.TgaBackground = TBGRPixel{3, 2, 1};
  p.TgaAspectRatio = 1.5;
  p.TgaGamma = 7.25;  // 72500 does not fit 16 bits: a smaller denominator
  p.TgaXPos = 12;
  p.TgaYPos = 34;
  const std::vector<uint8_t> f = WriteTgaBytes(*photo, p);
  const size_t ext = f.size() - 26 - 495;
  EXPECT_EQ(f[ext + 474] | f[ext + 475] << 8, 15000);
  EXPECT_EQ(f[ext + 476] | f[ext + 477] << 8, 10000);
  EXPECT_EQ(std::string(f.end() - 18, f.end() - 1), "TRUEVISION-XFILE.");
  EXPECT_EQ(f[ext + 471], 1);  // red, green, blue after a 0
  TTgaRead r;
  ReadTgaBytes(f, r);
  ASSERT_FALSE(r.Run.Aborted);
  EXPECT_EQ(r.Params.TgaAuthor, std::string(40, 'a'));
  EXPECT_EQ(r.Params.TgaImageName, "job");
  EXPECT_DOUBLE_EQ(r.Params.TgaDate, p.TgaDate);
  EXPECT_EQ(r.Params.TgaBackground, (TBGRPixel{3, 2, 1}));
  EXPECT_DOUBLE_EQ(r.Params.TgaAspectRatio, 1.5);
  EXPECT_DOUBLE_EQ(r.Params.TgaGamma, 7.25);
  EXPECT_EQ(r.Params.TgaXPos, 12);
  EXPECT_EQ(r.Params.TgaYPos, 34);

  // Without a footer, or with one that points outside the file: the defaults.
  SetNowForTesting(EncodeDate(2030, 1, 2));
  std::vector<uint8_t> bad = f;
  const size_t foot = bad.size() - 26;
  bad[foot + 2] = 0x7F;  // an offset far past the end
  for (const auto& bytes : {std::vector<uint8_t>(f.begin(), f.end() - 26), bad}) {
    TTgaRead d;
    d.Params.TgaAuthor = "x";
    ReadTgaBytes(bytes, d);
    ASSERT_FALSE(d.Run.Aborted);
    EXPECT_EQ(d.Params.TgaAuthor, "");
    EXPECT_EQ(d.Params.TgaImageName, "");
    EXPECT_DOUBLE_EQ(d.Params.TgaDate, EncodeDate(2030, 1, 2));
    EXPECT_DOUBLE_EQ(d.Params.TgaAspectRatio, 1.0);
    EXPECT_DOUBLE_EQ(d.Params.TgaGamma, 2.2);
  }
  // An impossible date is ignored.
  std::vector<uint8_t> feb30 = f;
  feb30[ext + 369] = 30;
  TTgaRead d;
  ReadTgaBytes(feb30, d);
  EXPECT_DOUBLE_EQ(d.Params.TgaDate, EncodeDate(2030, 1, 2));
  SetNowForTesting(std::nullopt);
}

TEST(Tga, ContentTest) {
  std::vector<uint8_t> anyMap = {'P', '6', '\n'};
  anyMap.resize(18, '1');
  anyMap[2 + 0] = '\n';
  anyMap[16] = 24;
  std::vector<uint8_t> plain = anyMap;
  plain[1] = '1';
  std::vector<uint8_t> blank = anyMap;
  blank[0] = 'Q';
  blank[2] = 2;
  const std::pair<std::vector<uint8_t>, bool> cases[] = {
      {Tga(2, 24, 1, 1, 0, {}), true},  {Tga(9, 8, 1, 1, 0, {}), true},  {Tga(3, 1, 1, 1, 0, {}), true},
      {Tga(4, 24, 1, 1, 0, {}), false}, {Tga(2, 15, 1, 1, 0, {}), false}, {anyMap, false}, {plain, false},
      {blank, true},                    {std::vector<uint8_t>(10, 2), false},
  };
  for (const auto& [bytes, expect] : cases) {
    TMemoryStream s;
    s.Write("z", 1);
    s.Write(bytes.data(), int32_t(bytes.size()));
    s.SetPosition(1);
    EXPECT_EQ(IsTgaStream(s), expect);
    EXPECT_EQ(s.Position(), 1);
  }
}

TEST(Tga, CorruptFilesFailCleanly) {
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"type 4", Tga(4, 24, 2, 2, 0, std::vector<uint8_t>(12, 0))},
      {"depth 15", Tga(2, 15, 2, 2, 0, std::vector<uint8_t>(12, 0))},
      {"no width", Tga(2, 24, 0, 2, 0, std::vector<uint8_t>(12, 0))},
      {"short plain data", Tga(2, 24, 4, 4, 0, std::vector<uint8_t>(20, 0))},
      {"short packets", Tga(10, 24, 64, 64, 0, {0xFF, 1, 2, 3, 0xFF, 1, 2})},
      {"huge from little", Tga(10, 32, 65535, 65535, 0, std::vector<uint8_t>(64, 0xFF))},
      {"short map", Tga(1, 8, 2, 2, 0, {1, 2, 3}, 1, 0, 256, 24)},
      {"short header", std::vector<uint8_t>(12, 2)},
  };
  for (const auto& [name, bytes] : cases) {
    TTgaRead r;
    ReadTgaBytes(bytes, r);
    EXPECT_TRUE(r.Run.Aborted) << name;
  }
}

TEST(Tga, WriterFailures) {
  const auto photo = PhotoLike(6, 4);
  TIOParamsVals p(nullptr);
  TReadOnlyMemoryStream full("", 0);
  TCodecRun run;
  WriteTgaStream(full, *photo, p, run.Progress);
  EXPECT_TRUE(run.Aborted);
  TBitmap wide(70000, 1, pf24bit);
  TMemoryStream s;
  TCodecRun run2;
  WriteTgaStream(s, wide, p, run2.Progress);
  EXPECT_TRUE(run2.Aborted);
}

}  // namespace
}  // namespace kv::test
