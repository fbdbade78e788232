// BMP reader and writer against ImageMagick and netpbm, both ways, plus the
// layouts no tool writes (built here byte by byte) and corrupt files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/formats/bmp.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::TempPath;

TBGRPixel Pixel(const TBitmap& B, int32_t X, int32_t Y) {
  const TColor c = B.GetPixelColor(X, Y);
  return TBGRPixel{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
}

// Largest channel difference between two pictures of one size (any formats); -1 for a size mismatch.
int32_t MaxDiff(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height()) return -1;
  int32_t d = 0;
  for (int32_t y = 0; y < A.Height(); ++y)
    for (int32_t x = 0; x < A.Width(); ++x) {
      const TBGRPixel p = Pixel(A, x, y), q = Pixel(B, x, y);
      d = std::max({d, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
    }
  return d;
}

// A picture with smooth ramps and hard edges, in 24 bits.
std::unique_ptr<TBitmap> Sample(int32_t W = 37, int32_t H = 23) {
  return test::Make24(W, H, [](int32_t x, int32_t y) {
    return TBGRPixel{uint8_t(x * 7), uint8_t(y * 11), uint8_t(((x * y) & 0xFF) ^ (x < 10 ? 0xF0 : 0))};
  });
}

struct TReadResult {
  TBitmap Bmp;
  std::unique_ptr<TIOParamsVals> Params = std::make_unique<TIOParamsVals>(nullptr);
  bool Aborted = false;
};

std::unique_ptr<TReadResult> ReadBmpBytes(const std::vector<uint8_t>& Bytes, bool ParamsOnly = false) {
  auto r = std::make_unique<TReadResult>();
  TReadOnlyMemoryStream s(Bytes.data(), int64_t(Bytes.size()));
  TProgressRec p;
  p.Aborted = &r->Aborted;
  ReadBmpStream(s, r->Bmp, *r->Params, p, ParamsOnly, s.Size());
  return r;
}

std::vector<uint8_t> WriteBmpBytes(const TBitmap& B, TIOParamsVals& Params, bool* Aborted = nullptr) {
  TMemoryStream s;
  bool aborted = false;
  TProgressRec p;
  p.Aborted = &aborted;
  WriteBmpStream(s, B, Params, p);
  if (Aborted) *Aborted = aborted;
  const auto* m = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(m, m + s.Size());
}

// What ImageMagick itself decodes from a file.
bool ToolDecode(const std::string& File, TBitmap& Out) {
  const std::string ppm = File + ".ppm";
  if (test::Run("convert '" + File + "' -depth 8 -alpha off ppm:'" + ppm + "' 2>/dev/null") != 0) return false;
  return test::ReadPnm(ppm, Out);
}

TEST(Bmp, ReadsWhatImageMagickAndNetpbmWrite) {
  if (!test::HaveTool("convert") || !test::HaveTool("ppmtobmp")) GTEST_SKIP() << "ImageMagick or netpbm missing";
  const auto src = Sample();
  const std::string ppm = TempPath("bmp_src.ppm");
  test::WritePnm(ppm, *src);
  struct {
    const char* Name;
    std::string Command;  // makes $OUT from $IN
    int32_t Bits;         // bit count we expect in the file
  } cases[] = {
      {"BMP3 24-bit", "convert $IN BMP3:$OUT", 24},
      {"BMP2 24-bit core header", "convert $IN BMP2:$OUT", 24},
      {"BMP v5 24-bit", "convert $IN BMP:$OUT", 24},
      {"BMP v5 32-bit with alpha", "convert $IN -alpha set -channel A -fx 0.5 BMP:$OUT", 32},
      {"8-bit palette", "convert $IN -colors 200 -type palette BMP3:$OUT", 8},
      {"RLE8", "convert $IN -colors 60 -type palette -compress RLE BMP3:$OUT", 8},
      {"4-bit palette", "convert $IN -colors 16 -type palette BMP3:$OUT", 4},
      {"1-bit", "convert $IN -monochrome BMP3:$OUT", 1},
      {"RGB565 bit fields", "convert $IN -define bmp:subtype=RGB565 BMP:$OUT", 16},
      {"RGB555", "convert $IN -define bmp:subtype=RGB555 BMP:$OUT", 16},
      {"ARGB4444", "convert $IN -define bmp:subtype=ARGB4444 BMP:$OUT", 16},
      {"netpbm windows 24", "ppmtobmp -windows $IN > $OUT", 24},
      {"netpbm os2 24", "ppmtobmp -os2 $IN > $OUT", 24},
      {"netpbm os2 8", "pnmquant 100 $IN | ppmtobmp -os2 -bpp 8 > $OUT", 8},
      {"netpbm windows 4", "pnmquant 16 $IN | ppmtobmp -windows -bpp 4 > $OUT", 4},
  };
  for (const auto& c : cases) {
    const std::string out = TempPath("bmp_in.bmp");
    std::string cmd = c.Command;
    for (auto [k, v] : {std::pair{std::string("$IN"), ppm}, std::pair{std::string("$OUT"), out}})
      for (size_t at; (at = cmd.find(k)) != std::string::npos;) cmd.replace(at, k.size(), "'" + v + "'");
    ASSERT_EQ(test::Run(cmd + " 2>/dev/null"), 0) << c.Name;
    TBitmap want;
    ASSERT_TRUE(ToolDecode(out, want)) << c.Name;
    auto r = ReadBmpBytes(test::ReadBytes(out));
    EXPECT_FALSE(r->Aborted) << c.Name;
    EXPECT_EQ(r->Params->Width, 37) << c.Name;
    // 4-bit channels are widened differently by the tool; our top-of-byte values stay within 17.
    EXPECT_LE(MaxDiff(r->Bmp, want), c.Bits == 16 ? 17 : 0) << c.Name;
  }
}

TEST(Bmp, WrittenFilesReadByImageMagickAndNetpbm) {
  if (!test::HaveTool("convert") || !test::HaveTool("bmptoppm")) GTEST_SKIP() << "ImageMagick or netpbm missing";
  const auto src = Sample();
  struct {
    const char* Name;
    int32_t BitsPerSample, Samples, Version, Compression;
    int32_t Tolerance;  // to the source; the tools must match our own reading exactly
  } cases[] = {
      {"24-bit v3", 8, 3, 1, 0, 0},   {"24-bit core", 8, 3, 2, 0, 0},  {"24-bit OS/2 v2", 8, 3, 3, 0, 0},
      {"24-bit v1", 8, 3, 0, 0, 0},   {"8-bit", 8, 1, 1, 0, 80},       {"RLE8", 8, 1, 1, 1, 80},
      {"4-bit", 4, 1, 1, 0, 255},     {"RLE4", 4, 1, 1, 1, 255},       {"8-bit core", 8, 1, 2, 1, 80},
      {"1-bit dithered", 1, 1, 1, 0, 255},
  };
  for (const auto& c : cases) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.BitsPerSample;
    p.SamplesPerPixel = c.Samples;
    p.BmpVersion = uint8_t(c.Version);
    p.BmpCompression = uint8_t(c.Compression);
    p.DpiX = p.DpiY = 150;
    bool aborted = true;
    const auto bytes = WriteBmpBytes(*src, p, &aborted);
    ASSERT_FALSE(aborted) << c.Name;
    const std::string file = TempPath("bmp_out.bmp");
    test::WriteBytes(file, bytes);
    auto ours = ReadBmpBytes(bytes);
    ASSERT_FALSE(ours->Aborted) << c.Name;
    // Version 0 is written with the 40-byte header, which reads as version 1.
    EXPECT_EQ(ours->Params->BmpVersion, c.Version == 0 ? 1 : c.Version) << c.Name;
    EXPECT_LE(MaxDiff(ours->Bmp, *src), c.Tolerance) << c.Name;
    TBitmap im, pbm;
    ASSERT_TRUE(ToolDecode(file, im)) << c.Name;
    EXPECT_EQ(MaxDiff(im, ours->Bmp), 0) << c.Name;
    if (c.Version == 3) continue;  // netpbm refuses the 64-byte header ("height is zero")
    ASSERT_EQ(test::Run("bmptoppm '" + file + "' > '" + file + ".ppm' 2>/dev/null"), 0) << c.Name;
    ASSERT_TRUE(test::ReadPnm(file + ".ppm", pbm)) << c.Name;
    EXPECT_EQ(MaxDiff(pbm, ours->Bmp), 0) << c.Name;
  }
}

// Builds a BMP: file header, info header of InfoSize bytes, Extra (masks or a
// colour table) and the pixel bytes.
std::vector<uint8_t> Build(uint32_t InfoSize, int32_t W, int32_t H, uint16_t Bits, uint32_t Compression,
                           const std::vector<uint8_t>& Extra, const std::vector<uint8_t>& Pixels,
                           const std::vector<uint32_t>& HeaderMasks = {}, uint32_t ClrUsed = 0) {
  std::vector<uint8_t> b(14 + InfoSize, 0);
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
  };
  b[0] = 'B', b[1] = 'M';
  put(10, uint32_t(14 + InfoSize + Extra.size()), 4);
  put(14, InfoSize, 4);
  put(18, uint32_t(W), 4);
  put(22, uint32_t(H), 4);
  put(26, 1, 2);
  put(28, Bits, 2);
  put(30, Compression, 4);
  put(46, ClrUsed, 4);
  for (size_t i = 0; i < HeaderMasks.size(); ++i) put(54 + 4 * i, HeaderMasks[i], 4);
  b.insert(b.end(), Extra.begin(), Extra.end());
  b.insert(b.end(), Pixels.begin(), Pixels.end());
  put(2, uint32_t(b.size()), 4);
  return b;
}

std::vector<uint8_t> Gray8Table() {
  std::vector<uint8_t> t;
  for (int i = 0; i < 256; ++i) t.insert(t.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});
  return t;
}

TEST(Bmp, LayoutsBuiltByHand) {
  // 32-bit bit fields in RGBA order, masks inside a 108-byte header: red stays red.
  {
    const auto f = Build(108, 2, 1, 32, 3, {}, {0x10, 0x20, 0x30, 0xFF, 0xAA, 0xBB, 0xCC, 0x00},
                         {0xFF, 0xFF00, 0xFF0000, 0xFF000000});
    auto r = ReadBmpBytes(f);
    ASSERT_FALSE(r->Aborted);
    EXPECT_EQ(Pixel(r->Bmp, 0, 0), (TBGRPixel{0x30, 0x20, 0x10}));
    EXPECT_EQ(Pixel(r->Bmp, 1, 0), (TBGRPixel{0xCC, 0xBB, 0xAA}));
  }
  // 5-6-5 masks inside a V4 header.
  {
    const auto f = Build(108, 1, 1, 16, 3, {}, {0x00, 0xF8, 0, 0}, {0xF800, 0x07E0, 0x001F});
    auto r = ReadBmpBytes(f);
    ASSERT_FALSE(r->Aborted);
    EXPECT_EQ(Pixel(r->Bmp, 0, 0), (TBGRPixel{0, 0, 0xF8}));
  }
  // The same value without compression is 5-5-5.
  {
    auto r = ReadBmpBytes(Build(40, 1, 1, 16, 0, {}, {0x00, 0xF8, 0, 0}));
    EXPECT_EQ(Pixel(r->Bmp, 0, 0), (TBGRPixel{0, 0, 0xF0}));
  }
  // Top-down rows.
  {
    auto f = Build(40, 1, 2, 24, 0, {}, {1, 2, 3, 0, 4, 5, 6, 0});
    f[22 + 3] = 0xFF, f[22] = 0xFE, f[23] = 0xFF, f[24] = 0xFF;  // height -2
    auto r = ReadBmpBytes(f);
    ASSERT_FALSE(r->Aborted);
    EXPECT_EQ(Pixel(r->Bmp, 0, 0), (TBGRPixel{1, 2, 3}));
    EXPECT_EQ(Pixel(r->Bmp, 0, 1), (TBGRPixel{4, 5, 6}));
  }
  // A colours-used count of 300 reads as 2^bits; the pixels start at the header's offset.
  {
    auto f = Build(40, 1, 1, 8, 0, Gray8Table(), {7, 0, 0, 0}, {}, 300);
    auto r = ReadBmpBytes(f);
    ASSERT_FALSE(r->Aborted);
    EXPECT_EQ(r->Params->ColorMapCount, 256);
    EXPECT_EQ(Pixel(r->Bmp, 0, 0), (TBGRPixel{7, 7, 7}));
  }
  // 1 bit: white, black is complemented in memory; two colours stay and keep their colours.
  for (bool whiteBlack : {true, false}) {
    const std::vector<uint8_t> table = whiteBlack ? std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 0, 0}
                                                  : std::vector<uint8_t>{0, 0, 200, 0, 0, 150, 0, 0};
    auto r = ReadBmpBytes(Build(40, 2, 1, 1, 0, table, {0x80, 0, 0, 0}));
    ASSERT_FALSE(r->Aborted);
    ASSERT_EQ(r->Bmp.PixelFormat(), pf1bit);
    const uint8_t first = *static_cast<const uint8_t*>(r->Bmp.ScanLine(0));
    EXPECT_EQ(first, whiteBlack ? 0x7F : 0x80);
    EXPECT_EQ(Pixel(r->Bmp, 0, 0), whiteBlack ? (TBGRPixel{0, 0, 0}) : (TBGRPixel{0, 150, 0}));
    EXPECT_EQ(Pixel(r->Bmp, 1, 0), whiteBlack ? (TBGRPixel{255, 255, 255}) : (TBGRPixel{0, 0, 200}));
  }
  // RLE8: runs and literals past the row end and deltas out of the picture are clipped.
  {
    const std::vector<uint8_t> codes = {255, 9, 0, 0, 0, 5, 1, 2, 3, 4, 5, 0, 0, 2, 200, 200, 3, 1, 0, 1};
    auto r = ReadBmpBytes(Build(40, 3, 2, 8, 1, Gray8Table(), codes));
    ASSERT_FALSE(r->Aborted);
    EXPECT_EQ(Pixel(r->Bmp, 2, 1), (TBGRPixel{9, 9, 9}));
    EXPECT_EQ(Pixel(r->Bmp, 2, 0), (TBGRPixel{3, 3, 3}));
  }
  // Params only: the bitmap is untouched.
  {
    auto r = ReadBmpBytes(Build(40, 5, 4, 24, 0, {}, std::vector<uint8_t>(64, 1)), true);
    EXPECT_FALSE(r->Aborted);
    EXPECT_EQ(r->Params->Width, 5);
    EXPECT_EQ(r->Params->Height, 4);
    EXPECT_TRUE(r->Bmp.Empty());
  }
}

std::vector<uint8_t> Cut(std::vector<uint8_t> V, size_t N) {
  V.resize(N);
  return V;
}

TEST(Bmp, CorruptFilesFail) {
  struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
  } cases[] = {
      {"not a BMP", {'P', '6', 0, 0}},
      {"zero masks", Build(40, 1, 1, 16, 3, {0, 0, 0, 0, 0xE0, 7, 0, 0, 0x1F, 0, 0, 0}, {0, 0, 0, 0})},
      {"odd bit count", Build(40, 4, 1, 2, 0, std::vector<uint8_t>(16, 0), {0, 0, 0, 0})},
      {"unknown compression", Build(40, 1, 1, 8, 4, Gray8Table(), {0, 0, 0, 0})},
      {"rows missing", Build(40, 4, 100, 24, 0, {}, std::vector<uint8_t>(48, 0))},
      {"header cut short", Cut(Build(40, 1, 1, 24, 0, {}, {}), 30)},
      {"RLE ends early", Build(40, 2, 2, 8, 1, Gray8Table(), {2, 1, 0, 0})},
      {"huge size", Build(40, 100000, 100000, 8, 1, Gray8Table(), {0, 1})},
  };
  for (const auto& c : cases) EXPECT_TRUE(ReadBmpBytes(c.Bytes)->Aborted) << c.Name;
}

TEST(Bmp, WriterChoices) {
  // Two colours written as 1 bit keep them, the darker first.
  auto two = test::Make24(9, 3, [](int32_t x, int32_t) { return x & 1 ? TBGRPixel{0, 0, 200} : TBGRPixel{10, 20, 30}; });
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 1;
  auto r = ReadBmpBytes(WriteBmpBytes(*two, p));
  ASSERT_FALSE(r->Aborted);
  EXPECT_EQ(MaxDiff(r->Bmp, *two), 0);
  EXPECT_EQ(p.ColorMap[0], (TBGRPixel{10, 20, 30}));

  // 24 bits: colours used 0, colours important 16777216.
  p.SetDefaults();
  auto f = WriteBmpBytes(*two, p);
  uint32_t used, important;
  std::memcpy(&used, &f[46], 4);
  std::memcpy(&important, &f[50], 4);
  EXPECT_EQ(used, 0u);
  EXPECT_EQ(important, 16777216u);

  // Core header with run-length asked: uncompressed, 3-byte palette entries.
  p.BmpVersion = 2;
  p.BmpCompression = 1;
  p.SamplesPerPixel = 1;
  f = WriteBmpBytes(*two, p);
  EXPECT_EQ(f[14], 12);
  EXPECT_EQ(f.size(), size_t(14 + 12 + 256 * 3 + 12 * 3));

  // A row of 300 equal pixels: a run of 255 and one of 45.
  std::vector<uint8_t> row(300, 7), out;
  EncodeBmpRle8Row(row.data(), 300, out);
  EXPECT_EQ(out, (std::vector<uint8_t>{255, 7, 45, 7, 0, 0}));
  out.clear();
  const uint8_t mixed[] = {1, 2, 3, 3, 3, 4};
  EncodeBmpRle4Row(mixed, 6, out);
  EXPECT_EQ(out, (std::vector<uint8_t>{2, 0x12, 3, 0x33, 1, 0x40, 0, 0}));
}

TEST(Bmp, FailedStreamWriteIsReported) {
  const auto src = Sample();
  TIOParamsVals p(nullptr);
  TReadOnlyMemoryStream full(nullptr, 0);  // takes no bytes
  bool aborted = false;
  TProgressRec pr;
  pr.Aborted = &aborted;
  WriteBmpStream(full, *src, p, pr);
  EXPECT_TRUE(aborted);
}

}  // namespace
}  // namespace kv
