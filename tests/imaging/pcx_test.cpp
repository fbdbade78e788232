// PCX reader and writer against netpbm and ImageMagick: every layout
// ppmtopcx and ImageMagick write is read and compared with pcxtoppm's
// decoding; what we write is decoded alike by pcxtoppm and ImageMagick.
#include <gtest/gtest.h>

#include "codec_test_util.h"
#include "imaging/formats/pcx.h"
#include "raster_compare.h"

namespace kv::test {
namespace {

struct TPcxRead {
  TBitmap Bitmap;
  TIOParamsVals Params{nullptr};
  TCodecRun Run;
};

void ReadPcxBytes(const std::vector<uint8_t>& Bytes, TPcxRead& R, bool ParamsOnly = false) {
  TReadOnlyMemoryStream s(Bytes.data(), int64_t(Bytes.size()));
  ReadPcxStream(s, R.Bitmap, R.Params, R.Run.Progress, ParamsOnly, nullptr);
}

std::vector<uint8_t> WritePcxBytes(const TBitmap& B, TIOParamsVals& P, bool* Aborted = nullptr) {
  TMemoryStream s;
  TCodecRun run;
  WritePcxStream(s, B, P, run.Progress);
  if (Aborted) *Aborted = run.Aborted;
  return StreamBytes(s);
}

// A header of our own making for the corrupt-file cases.
std::vector<uint8_t> Header(int Bits, int Planes, int Width, int Height, int Bpl, int Encoding = 1) {
  std::vector<uint8_t> h(128, 0);
  h[0] = 10, h[1] = 5, h[2] = uint8_t(Encoding), h[3] = uint8_t(Bits);
  h[8] = uint8_t(Width - 1), h[9] = uint8_t((Width - 1) >> 8);
  h[10] = uint8_t(Height - 1), h[11] = uint8_t((Height - 1) >> 8);
  h[12] = 72, h[14] = 72;
  h[65] = uint8_t(Planes);
  h[66] = uint8_t(Bpl), h[67] = uint8_t(Bpl >> 8);
  return h;
}

// Decoded plane lines of a file we wrote (its run-length data straight after the header).
std::vector<uint8_t> DecodeAll(const std::vector<uint8_t>& F, size_t Count) {
  std::vector<uint8_t> out;
  for (size_t i = 128; i < F.size() && out.size() < Count; ++i) {
    if (F[i] >= 0xC0) {
      out.insert(out.end(), F[i] & 0x3F, F[i + 1]);
      ++i;
    } else {
      out.push_back(F[i]);
    }
  }
  return out;
}

class PcxTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    if (!HaveTool("convert") || !HaveTool("pcxtoppm")) GTEST_SKIP() << "ImageMagick or netpbm missing";
  }
};

TEST_F(PcxTest, ReadsWhatTheToolsWrite) {
  WritePnm(Dir + "src.ppm", *PhotoLike(37, 13));
  const std::string photo = "cat " + Dir + "src.ppm";
  const std::string sixteen = photo + " | pnmquant 16";
  struct TCase {
    const char* Name;
    std::string Make;  // shell pipeline writing the PCX to stdout
    int32_t Bits, Samples;
    bool OneBit;
  };
  const TCase cases[] = {
      {"netpbm-24", photo + " | ppmtopcx -24bit", 8, 3, false},
      {"netpbm-8", photo + " | pnmquant 200 | ppmtopcx -8bit", 8, 1, false},
      {"netpbm-planes4", sixteen + " | ppmtopcx", 4, 1, false},
      {"netpbm-packed4", sixteen + " | ppmtopcx -packed", 4, 1, false},
      {"netpbm-1", "pbmmake -g 21 9 | ppmtopcx", 1, 1, true},
      {"magick-24", photo + " | convert - PCX:-", 8, 3, false},
      {"magick-8", photo + " | convert - -colors 100 PCX:-", 8, 1, false},
      {"magick-gray", photo + " | convert - -colorspace gray PCX:-", 8, 3, false},
  };
  for (const TCase& c : cases) {
    const std::string file = Dir + c.Name + ".pcx";
    ASSERT_EQ(test::Run("(" + c.Make + ") > " + file + " 2>/dev/null"), 0) << c.Name;
    TBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(ReadFile(ReadPcxStream, file, b, p)) << c.Name;
    EXPECT_EQ(p.BitsPerSample, c.Bits) << c.Name;
    EXPECT_EQ(p.SamplesPerPixel, c.Samples) << c.Name;
    if (c.OneBit) {
      EXPECT_EQ(b.PixelFormat(), pf1bit) << c.Name;
    }
    EXPECT_EQ(MaxDiffToRgb(b, ToolBytes("pcxtoppm " + file + " 2>/dev/null | convert - -depth 8 rgb:-")), 0)
        << c.Name;
  }
}

TEST_F(PcxTest, WhatWeWriteTheToolsRead) {
  const auto photo = PhotoLike(37, 11);  // odd width: every line gets a pad byte
  TBitmap bw(21, 5, pf1bit);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 21; ++x)
      if ((x + 2 * y) % 5 < 2) static_cast<uint8_t*>(bw.ScanLine(y))[x >> 3] |= kBitMask[x & 7];
  const auto twoColours = Make24(19, 6, [](int32_t x, int32_t y) {
    return (x * y) % 4 ? TBGRPixel{30, 200, 250} : TBGRPixel{90, 10, 40};
  });
  struct TCase {
    const char* Name;
    const TBitmap* Source;
    int32_t Bits, Samples;
    bool Compressed;
    int FileBits, FilePlanes;
  };
  const TCase cases[] = {
      {"rgb-rle", photo.get(), 8, 3, true, 8, 3},       {"rgb-plain", photo.get(), 8, 3, false, 8, 3},
      {"index8-rle", photo.get(), 8, 1, true, 8, 1},    {"index8-plain", photo.get(), 8, 1, false, 8, 1},
      {"index4-rle", photo.get(), 4, 1, true, 4, 1},    {"index4-plain", photo.get(), 4, 1, false, 4, 1},
      {"bits-rle", &bw, 1, 1, true, 1, 1},              {"bits-plain", &bw, 1, 1, false, 1, 1},
      {"two-colours", twoColours.get(), 1, 1, true, 1, 1}, {"dither", photo.get(), 1, 1, true, 1, 1},
      {"odd-depth", photo.get(), 16, 3, true, 8, 3},    {"bits-as-rgb", &bw, 8, 3, true, 8, 3},
  };
  for (const TCase& c : cases) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.Bits;
    p.SamplesPerPixel = c.Samples;
    p.PcxCompressed = c.Compressed;
    p.DpiX = 150, p.DpiY = 75;
    bool aborted = true;
    const std::vector<uint8_t> bytes = WritePcxBytes(*c.Source, p, &aborted);
    ASSERT_FALSE(aborted) << c.Name;
    ASSERT_GT(bytes.size(), 128u);
    EXPECT_EQ(bytes[2], c.Compressed ? 1 : 0) << c.Name;
    EXPECT_EQ(bytes[3], c.FileBits) << c.Name;
    EXPECT_EQ(bytes[65], c.FilePlanes) << c.Name;
    EXPECT_EQ((bytes[66] | bytes[67] << 8) % 2, 0) << c.Name;
    const std::string file = Dir + c.Name + ".pcx";
    WriteBytes(file, bytes);

    TPcxRead back;
    ReadPcxBytes(bytes, back);
    ASSERT_FALSE(back.Run.Aborted) << c.Name;
    EXPECT_EQ(back.Params.DpiX, 150);
    EXPECT_EQ(back.Params.DpiY, 75);
    EXPECT_EQ(back.Run.LastProgress, 100);
    // Lossless layouts give the source back; the others what the tools see too.
    if (c.FileBits == 8 && c.FilePlanes == 3) {
      EXPECT_EQ(MaxDiff(back.Bitmap, *c.Source), 0) << c.Name;
    }
    if (c.Source == &bw) {
      EXPECT_EQ(MaxDiff(back.Bitmap, bw), 0) << c.Name;
    }
    if (c.Source == twoColours.get()) {
      EXPECT_EQ(back.Bitmap.PixelFormat(), pf1bit);
      ASSERT_EQ(back.Params.ColorMapCount, 2);
      EXPECT_EQ(back.Params.ColorMap[0], (TBGRPixel{90, 10, 40}));  // the darker first
      EXPECT_EQ(back.Params.ColorMap[1], (TBGRPixel{30, 200, 250}));
      continue;  // we keep two colours as black and white bits; pcxtoppm shows the colours
    }
    // pcxtoppm reads only run-length files; ImageMagick takes the bits of 1-bit files as black.
    if (c.Compressed) {
      EXPECT_EQ(MaxDiffToRgb(back.Bitmap, ToolBytes("pcxtoppm " + file + " 2>/dev/null | convert - -depth 8 rgb:-")),
                0)
          << c.Name;
    }
    if (c.FileBits != 1) {
      EXPECT_EQ(MaxDiffToRgb(back.Bitmap, ToolBytes("convert " + file + " -depth 8 rgb:-")), 0) << c.Name;
    }
  }
}

TEST(Pcx, RunLengthEncoding) {
  std::vector<uint8_t> line(100, 7);
  uint8_t out[204];
  ASSERT_EQ(EncodePcxRle(line.data(), 100, 1, out), 4);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{192 + 63, 7, 192 + 37, 7}));
  const uint8_t single[] = {200, 5};
  ASSERT_EQ(EncodePcxRle(single, 2, 1, out), 3);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 3), (std::vector<uint8_t>{193, 200, 5}));
  // A component of 24-bit pixels, taken with a stride; an odd count gets a 0.
  const uint8_t bgr[] = {1, 2, 3, 1, 2, 4, 9, 2, 4};
  ASSERT_EQ(EncodePcxRle(bgr + 2, 3, 3, out), 4);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{3, 194, 4, 0}));
}

TEST(Pcx, OddWidthLinesDecodeToTheEvenLength) {
  const auto src = Make24(5, 2, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x), uint8_t(y), 200}; });
  TIOParamsVals p(nullptr);
  const std::vector<uint8_t> f = WritePcxBytes(*src, p);
  EXPECT_EQ(f[66], 6);
  const std::vector<uint8_t> lines = DecodeAll(f, 36);
  ASSERT_EQ(lines.size(), 36u);
  for (size_t k = 0; k < 6; ++k) EXPECT_EQ(lines[k * 6 + 5], 0) << k;
  EXPECT_EQ(lines[0], 200);  // red plane first
  EXPECT_EQ(lines[12 + 3], 3);
}

TEST(Pcx, HeaderFields) {
  // DPI 0 in one field: both the default.
  auto f = Header(8, 3, 2, 1, 2, 0);
  f[14] = 0;
  f.insert(f.end(), {1, 2, 3, 4, 5, 6});
  TPcxRead r;
  ReadPcxBytes(f, r);
  ASSERT_FALSE(r.Run.Aborted);
  EXPECT_EQ(r.Params.DpiX, IODefaultDpi());
  EXPECT_EQ(r.Params.DpiY, IODefaultDpi());
  EXPECT_EQ(PixelOf(r.Bitmap, 1, 0), (TBGRPixel{6, 4, 2}));
  EXPECT_EQ(r.Params.ColorMapCount, 0);

  // An 8-bit file whose palette is not preceded by 12 still reads with it.
  auto g = Header(8, 1, 2, 1, 2, 0);
  g.insert(g.end(), {0, 255, 99});
  for (int i = 0; i < 256; ++i) g.insert(g.end(), {uint8_t(i), uint8_t(255 - i), 17});
  TPcxRead q;
  ReadPcxBytes(g, q);
  ASSERT_FALSE(q.Run.Aborted);
  EXPECT_EQ(PixelOf(q.Bitmap, 0, 0), (TBGRPixel{17, 255, 0}));
  EXPECT_EQ(PixelOf(q.Bitmap, 1, 0), (TBGRPixel{17, 0, 255}));
  ASSERT_EQ(q.Params.ColorMapCount, 256);
  EXPECT_EQ(q.Params.ColorMap[1], (TBGRPixel{17, 254, 1}));

  // 1 bit in 4 planes: a 24-bit picture through the 16 header colours.
  auto e = Header(1, 4, 3, 1, 2, 0);
  for (int i = 0; i < 16; ++i) e[16 + 3 * i] = uint8_t(i * 16), e[17 + 3 * i] = 1, e[18 + 3 * i] = 2;
  e.insert(e.end(), {0x80, 0, 0x40, 0, 0xC0, 0, 0x20, 0});  // x0: planes 0, 2; x1: plane 1, 2; x2: plane 3
  TPcxRead v;
  ReadPcxBytes(e, v);
  ASSERT_FALSE(v.Run.Aborted);
  EXPECT_EQ(v.Bitmap.PixelFormat(), pf24bit);
  EXPECT_EQ(v.Params.BitsPerSample, 4);
  EXPECT_EQ(v.Params.SamplesPerPixel, 1);
  EXPECT_EQ(PixelOf(v.Bitmap, 0, 0).r, 5 * 16);
  EXPECT_EQ(PixelOf(v.Bitmap, 1, 0).r, 6 * 16);
  EXPECT_EQ(PixelOf(v.Bitmap, 2, 0).r, 8 * 16);
  EXPECT_EQ(v.Params.ColorMapCount, 16);

  // A run that passes a line's end goes on in the next line.
  auto w = Header(8, 3, 2, 1, 2, 1);
  w.insert(w.end(), {0xC3, 9, 0xC3, 8});
  TPcxRead x;
  ReadPcxBytes(w, x);
  ASSERT_FALSE(x.Run.Aborted);
  EXPECT_EQ(PixelOf(x.Bitmap, 0, 0), (TBGRPixel{8, 9, 9}));
  EXPECT_EQ(PixelOf(x.Bitmap, 1, 0), (TBGRPixel{8, 8, 9}));
}

TEST(Pcx, CorruptFilesFailCleanly) {
  auto reversed = Header(8, 3, 4, 4, 4);
  reversed[4] = 9;  // x min above x max
  auto wide = Header(8, 3, 60000, 60000, 60000);
  wide.resize(1000, 0xFF);
  auto noPalette = Header(8, 1, 4, 1, 4);
  noPalette.insert(noPalette.end(), {1, 2, 3, 4});
  auto shortLine = Header(8, 3, 9, 1, 4);
  shortLine.resize(400, 1);
  auto shortData = Header(8, 3, 8, 4, 8, 0);
  shortData.resize(128 + 50, 3);
  auto shortRle = Header(8, 3, 8, 2, 8, 1);
  shortRle.insert(shortRle.end(), {0xC5, 1, 0xC5, 2});
  auto twoBits = Header(2, 1, 8, 2, 2, 0);
  twoBits.resize(200, 0);
  auto badMaker = Header(8, 3, 2, 1, 2, 0);
  badMaker[0] = 11;
  badMaker.resize(200, 0);
  auto badEncoding = Header(8, 3, 2, 1, 2, 2);
  badEncoding.resize(200, 0);
  auto deep = Header(16, 1, 2, 1, 4, 0);
  deep.resize(200, 0);
  const std::pair<const char*, std::vector<uint8_t>> cases[] = {
      {"reversed bounds", reversed}, {"absurd size", wide},       {"palette where there is none", noPalette},
      {"line shorter than row", shortLine}, {"short plain data", shortData}, {"short run-length data", shortRle},
      {"2 bits", twoBits},           {"manufacturer", badMaker},  {"encoding", badEncoding},
      {"16 bits", deep},             {"short header", std::vector<uint8_t>(100, 10)},
  };
  for (const auto& [name, bytes] : cases) {
    TPcxRead r;
    r.Params.PcxVersion = 77;
    ReadPcxBytes(bytes, r);
    EXPECT_TRUE(r.Run.Aborted) << name;
  }
  // A header that is refused changes nothing.
  TPcxRead r;
  r.Params.PcxVersion = 77;
  ReadPcxBytes(badMaker, r);
  EXPECT_EQ(r.Params.PcxVersion, 77);
  EXPECT_EQ(r.Params.Width, 0);
}

TEST(Pcx, WriterFailuresAndAbort) {
  const auto photo = PhotoLike(8, 4);
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  TReadOnlyMemoryStream full("", 0);
  TCodecRun run;
  WritePcxStream(full, *photo, p, run.Progress);
  EXPECT_TRUE(run.Aborted);
  // Aborted by the progress handler after the first row: no palette follows.
  TCodecRun stop;
  stop.Progress.OnProgress = [&](TObject*, int32_t) { stop.Aborted = true; };
  TMemoryStream s;
  WritePcxStream(s, *photo, p, stop.Progress);
  EXPECT_LT(s.Size(), 128 + 769);
  // Bits per sample 4 gives one plane of 4 bits with the colours in the header.
  p.BitsPerSample = 4;
  const std::vector<uint8_t> f = WritePcxBytes(*photo, p);
  EXPECT_EQ(f[3], 4);
  EXPECT_EQ(f[65], 1);
  EXPECT_EQ(p.ColorMapCount, 16);
  EXPECT_EQ(f[16], p.ColorMap[0].r);
}

TEST_F(PcxTest, ReadsAFileByName) {
  const auto photo = PhotoLike(9, 4);
  TIOParamsVals p(nullptr);
  WriteBytes(Dir + "f.pcx", WritePcxBytes(*photo, p));
  TBitmap b;
  TIOParamsVals q(nullptr);
  TCodecRun run;
  ReadPcxFile(Dir + "f.pcx", b, q, run.Progress);
  EXPECT_FALSE(run.Aborted);
  EXPECT_EQ(MaxDiff(b, *photo), 0);
  EXPECT_THROW(ReadPcxFile(Dir + "missing.pcx", b, q, run.Progress), Exception);
}

}  // namespace
}  // namespace kv::test
