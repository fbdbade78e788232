// TIFF pages against libtiff's tools and ImageMagick: files they make are
// read by us and compared with their own decoding; files we write are
// checked by tiffinfo and decoded by them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imaging/formats/codec_failure.h"
#include "imaging/formats/io_params.h"
#include "imaging/formats/tiff.h"
#include "imaging/formats/tiff_lzw.h"
#include "platform/rtl/streams.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using namespace kv::test;

// The LZW coder as the application installs it.
struct TLzwHooks {
  TLzwHooks() {
    TiffLzwDecoderHook = TiffLzwDecode;
    TiffLzwEncoderHook = TiffLzwEncode;
  }
  ~TLzwHooks() {
    TiffLzwDecoderHook = nullptr;
    TiffLzwEncoderHook = nullptr;
  }
};

struct TRead {
  TBitmap Bitmap;
  TIOParamsVals Params{nullptr};
  TIMMask Mask;
  bool Aborted = false;
  int32_t Pages = 0;
};

void ReadFile(const std::string& Path, TRead& R, int32_t Page = 0) {
  TFileStream s(Path, fmOpenRead);
  R.Params.TiffImageIndex = Page;
  TProgressRec progress;
  progress.Aborted = &R.Aborted;
  ReadTiffPage(R.Bitmap, s, R.Pages, false, true, &R.Mask, false, progress, R.Params);
}

bool WriteFile(const std::string& Path, const TBitmap& B, TIOParamsVals& Params) {
  TFileStream s(Path, fmCreate);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  return WriteTiffPage(s, false, B, progress, Params) == 1 && !aborted;
}

// The picture as ImageMagick decodes it: PBM for two-level pages, else PPM.
bool ToolDecode(const std::string& Tiff, bool Bilevel, TBitmap& Out, const std::string& Page = "[0]") {
  const std::string out = Tiff + (Bilevel ? ".pbm" : ".ppm");
  if (test::Run("convert '" + Tiff + Page + "' -alpha off -depth 8 " + (Bilevel ? "pbm:'" : "ppm:'") + out + "' 2>/dev/null") != 0)
    return false;
  return ReadPnm(out, Out);
}

// A colourful picture with flat areas and edges, and a two-level one.
std::unique_ptr<TBitmap> Colourful(int32_t W, int32_t H) {
  return Make24(W, H, [](int32_t x, int32_t y) {
    return TBGRPixel{uint8_t(x * 5 + y), uint8_t((x / 8 + y / 8) % 2 ? 200 : 30), uint8_t(y * 7 ^ x)};
  });
}

std::unique_ptr<TBitmap> TwoLevel(int32_t W, int32_t H) {
  auto b = std::make_unique<TBitmap>(W, H, pf1bit);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) {
      const bool black = (x - 30) * (x - 30) + (y - 20) * (y - 20) < 300 || (x % 17 < 3 && y > 30) || y == 5;
      SetBit(static_cast<uint8_t*>(b->ScanLine(y)), x, !black);
    }
  return b;
}

int MaxDifference(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height() || A.PixelFormat() != B.PixelFormat()) return 999;
  int worst = 0;
  const int32_t bytes = A.PixelFormat() == pf1bit ? (A.Width() + 7) / 8 : A.Width() * 3;
  for (int32_t y = 0; y < A.Height(); ++y) {
    auto* a = static_cast<const uint8_t*>(A.ScanLine(y));
    auto* b = static_cast<const uint8_t*>(B.ScanLine(y));
    for (int32_t i = 0; i < bytes; ++i) {
      int d = std::abs(int(a[i]) - int(b[i]));
      if (A.PixelFormat() == pf1bit && i == bytes - 1 && A.Width() % 8)
        d = (a[i] ^ b[i]) & (0xFF << (8 - A.Width() % 8)) & 0xFF;
      worst = std::max(worst, d);
    }
  }
  return worst;
}

class TiffTools : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTool("tiffcp") || !HaveTool("convert")) GTEST_SKIP() << "libtiff-tools or ImageMagick missing";
    FDir = TempPath("tiff_") + ::testing::UnitTest::GetInstance()->current_test_info()->name() + "/";
    std::filesystem::create_directories(FDir);
  }
  void TearDown() override {
    std::error_code ec;
    if (!FDir.empty()) std::filesystem::remove_all(FDir, ec);
  }
  std::string FDir;
  TLzwHooks FHooks;
};

struct TSource {
  const char* Name;
  const char* Make;  // convert options, from rgb.ppm or bw.pbm
  int Tolerance;     // ImageMagick rounds 16-bit and CMYK samples its own way
};

// Each source, made by ImageMagick, copied by tiffcp in each layout, read by
// us and compared with ImageMagick's decoding of the same file.
void CheckReads(const std::string& Dir, const std::vector<TSource>& Sources, const std::vector<std::string>& Variants) {
  WritePnm(Dir + "rgb.ppm", *Colourful(75, 50));
  WritePnm(Dir + "bw.pbm", *TwoLevel(75, 50));
  for (auto& src : Sources) {
    const bool bilevel = std::string(src.Make).find("bw.pbm") != std::string::npos;
    const std::string base = Dir + src.Name + ".tif";
    ASSERT_EQ(test::Run("cd '" + Dir + "' && convert " + src.Make + " -compress none '" + base + "'"), 0) << src.Name;
    for (size_t i = 0; i < Variants.size(); ++i) {
      const std::string& v = Variants[i];
      const std::string file = Dir + src.Name + "_" + std::to_string(i) + ".tif";
      ASSERT_EQ(test::Run("tiffcp " + v + " '" + base + "' '" + file + "' 2>/dev/null"), 0) << src.Name << " " << v;
      TRead r;
      ReadFile(file, r);
      TBitmap expect;
      ASSERT_TRUE(ToolDecode(file, bilevel, expect)) << file;
      EXPECT_FALSE(r.Aborted) << src.Name << " " << v;
      EXPECT_LE(MaxDifference(r.Bitmap, expect), src.Tolerance) << src.Name << " " << v;
      if (std::string(src.Name) == "rgba") {
        ASSERT_EQ(r.Mask.Width, 75) << v;
        EXPECT_NEAR(r.Mask.ScanLine(10)[10], 128, 1) << v;
      }
    }
  }
}

TEST_F(TiffTools, ReadsColourPagesOfEveryLayout) {
  CheckReads(FDir, {{"rgb8", "rgb.ppm -depth 8", 0}},
             {"-c none", "-c lzw", "-c lzw:2", "-c packbits", "-c zip", "-c zip:2", "-B -c lzw:2", "-L -c none",
              "-t -w 16 -l 16 -c lzw", "-s -r 7 -c packbits", "-p separate -c lzw", "-p separate -s -r 5 -c zip"});
}

TEST_F(TiffTools, ReadsDepthsAndColourKinds) {
  CheckReads(FDir,
             {{"rgb16", "rgb.ppm -depth 16", 1},
              {"rgba", "rgb.ppm -alpha set -channel A -evaluate set 50% +channel -depth 8", 0},
              {"cmyk", "rgb.ppm -colorspace cmyk -depth 8", 1}},
             {"-c none", "-B -c lzw:2", "-c zip:2"});
  CheckReads(FDir,
             {{"gray8", "rgb.ppm -colorspace gray -depth 8", 0},
              {"gray4", "rgb.ppm -colorspace gray -depth 4", 0},
              {"gray16", "rgb.ppm -colorspace gray -depth 16", 1},
              {"palette", "rgb.ppm -colors 200 -type palette -depth 8", 0},
              {"palette4", "rgb.ppm -colors 16 -type palette -depth 4", 0}},
             {"-c none", "-B -c lzw", "-t -w 16 -l 32 -c packbits"});
}

// Strips of a photo-like picture as long as the tool makes them: codes of
// every width, many table clears of the tool's own timing, long runs next
// to noise. The pixels must come back exactly.
TEST_F(TiffTools, ReadsLongLzwStripsOfTheTool) {
  uint32_t seed = 1;
  const auto photo = Make24(640, 480, [&](int32_t x, int32_t y) {
    seed = seed * 1103515245u + 12345u;
    const uint8_t noise = uint8_t((seed >> 16) & (y < 160 ? 0 : y < 320 ? 7 : 63));
    return TBGRPixel{uint8_t(x / 3 + noise), uint8_t(y / 2), uint8_t((x + y) / 5 ^ noise)};
  });
  WritePnm(FDir + "photo.ppm", *photo);
  ASSERT_EQ(test::Run("convert '" + FDir + "photo.ppm' -compress none '" + FDir + "photo.tif'"), 0);
  for (const char* v : {"-c lzw -r 480", "-c lzw:2 -r 480", "-c lzw -r 37"}) {
    const std::string file = FDir + "lzw.tif";
    ASSERT_EQ(test::Run(std::string("tiffcp ") + v + " '" + FDir + "photo.tif' '" + file + "' 2>/dev/null"), 0) << v;
    TRead r;
    ReadFile(file, r);
    EXPECT_FALSE(r.Aborted) << v;
    EXPECT_EQ(MaxDifference(r.Bitmap, *photo), 0) << v;
  }
}

TEST_F(TiffTools, ReadsTwoLevelPages) {
  CheckReads(FDir, {{"bw", "bw.pbm", 0}},
             {"-c none", "-c g3", "-c g3:2d", "-c g4", "-c g3:2d:fill", "-f lsb2msb -c g4", "-c packbits", "-c lzw",
              "-t -w 32 -l 16 -c g4", "-s -r 9 -c g3:2d", "-c none -B"});
}

TEST_F(TiffTools, WritesWhatTheToolsRead) {
  const auto rgb = Colourful(83, 41);
  const auto bw = TwoLevel(83, 41);
  const auto gray = Make24(83, 41, [](int32_t x, int32_t y) { return Gray(uint8_t(((x + y) % 16) * 17)); });
  struct {
    const char* Name;
    const TBitmap* Picture;
    int32_t Bits, Spp, Compression, Photometric;
    int Tolerance;  // what the conversion itself may change
  } cases[] = {
      {"rgb", rgb.get(), 8, 3, 0, 2, 0},      {"rgb_lzw", rgb.get(), 8, 3, 5, 2, 0},
      {"rgb_pb", rgb.get(), 8, 3, 8, 2, 0},   {"cmyk", rgb.get(), 8, 4, 0, 5, 2},
      {"bw", bw.get(), 1, 1, 0, 1, 0},        {"bw_lzw", bw.get(), 1, 1, 5, 1, 0},
      {"bw_huff", bw.get(), 1, 1, 1, 0, 0},   {"bw_g3", bw.get(), 1, 1, 2, 0, 0},
      {"bw_g32d", bw.get(), 1, 1, 3, 0, 0},   {"bw_g4", bw.get(), 1, 1, 4, 0, 0},
      {"bw_pb", bw.get(), 1, 1, 8, 0, 0},     {"gray4", gray.get(), 4, 1, 0, 1, 0},
      {"gray8_lzw", gray.get(), 8, 1, 5, 1, 0},
  };
  for (auto& c : cases) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.Bits;
    p.SamplesPerPixel = c.Spp;
    p.TiffCompression = uint8_t(c.Compression);
    p.TiffPhotometric = uint8_t(c.Photometric);
    p.DpiX = 300;
    p.DpiY = 150;
    const std::string file = FDir + c.Name + ".tif";
    ASSERT_TRUE(WriteFile(file, *c.Picture, p)) << c.Name;
    const auto info = RunTool("tiffinfo -D '" + file + "' 2>&1");
    EXPECT_EQ(info.Status, 0) << c.Name << info.Output;
    EXPECT_EQ(info.Output.find("rror"), std::string::npos) << c.Name << info.Output;
    EXPECT_NE(info.Output.find("Resolution: 300, 150 pixels/inch"), std::string::npos) << c.Name << info.Output;
    TBitmap theirs;
    ASSERT_TRUE(ToolDecode(file, c.Picture->PixelFormat() == pf1bit, theirs)) << c.Name;
    EXPECT_LE(MaxDifference(theirs, *c.Picture), c.Tolerance) << c.Name;
    TRead ours;  // and we read our own file the same way
    ReadFile(file, ours);
    EXPECT_FALSE(ours.Aborted) << c.Name;
    EXPECT_LE(MaxDifference(ours.Bitmap, *c.Picture), c.Tolerance) << c.Name;
    EXPECT_EQ(test::Run("tiffcmp '" + file + "' '" + file + "' >/dev/null 2>&1"), 0) << c.Name;
  }
}

TEST_F(TiffTools, PalettePagesKeepTheirColours) {
  // 16 colours fit a 4-bit palette exactly.
  const auto pic = Make24(40, 30, [](int32_t x, int32_t y) {
    const int i = (x / 10) + 4 * (y / 8 % 4);
    return TBGRPixel{uint8_t(i * 16), uint8_t(255 - i * 9), uint8_t(i & 1 ? 255 : 0)};
  });
  for (int32_t bits : {4, 8}) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = bits;
    p.SamplesPerPixel = 1;
    p.TiffCompression = bits == 4 ? 8 : 5;
    const std::string file = FDir + "pal" + std::to_string(bits) + ".tif";
    ASSERT_TRUE(WriteFile(file, *pic, p));
    EXPECT_NE(RunCapture("tiffinfo '" + file + "'").find("Color Map"), std::string::npos);
    TBitmap theirs;
    ASSERT_TRUE(ToolDecode(file, false, theirs));
    EXPECT_EQ(MaxDifference(theirs, *pic), 0) << bits;
    TRead ours;
    ReadFile(file, ours);
    EXPECT_EQ(MaxDifference(ours.Bitmap, *pic), 0) << bits;
    EXPECT_EQ(ours.Params.ColorMapCount, 1 << bits);
  }
}

TEST_F(TiffTools, PagesAreInsertedAndAppended) {
  const auto a = Colourful(20, 10);
  const auto b = Make24(20, 10, [](int32_t, int32_t) { return TBGRPixel{0, 0, 255}; });
  const auto c = TwoLevel(30, 12);
  const std::string file = FDir + "pages.tif";
  TIOParamsVals p(nullptr);
  ASSERT_TRUE(WriteFile(file, *a, p));
  auto insert = [&](const TBitmap& B, int32_t Index, int32_t Bits) {
    TFileStream s(file, fmOpenReadWrite);
    bool aborted = false;
    TProgressRec progress;
    progress.Aborted = &aborted;
    p.TiffImageIndex = Index;
    p.BitsPerSample = Bits;
    p.SamplesPerPixel = Bits == 1 ? 1 : 3;
    p.TiffCompression = Bits == 1 ? 4 : 5;
    return WriteTiffPage(s, true, B, progress, p);
  };
  EXPECT_EQ(insert(*b, 0, 8), 2);  // before the first
  EXPECT_EQ(insert(*c, 5, 1), 3);  // past the end: appended
  {
    TFileStream s(file, fmOpenRead);
    EXPECT_EQ(GetTiffPageCountStream(s), 3);
  }
  EXPECT_EQ(RunCapture("tiffinfo '" + file + "' 2>/dev/null | grep -c 'Image Width'"), "3\n");
  const TBitmap* order[] = {b.get(), a.get(), c.get()};
  for (int32_t i = 0; i < 3; ++i) {
    TRead r;
    ReadFile(file, r, i);
    EXPECT_EQ(r.Pages, 3);
    EXPECT_EQ(MaxDifference(r.Bitmap, *order[i]), 0) << i;
    TBitmap theirs;
    ASSERT_TRUE(ToolDecode(file, i == 2, theirs, "[" + std::to_string(i) + "]"));
    EXPECT_EQ(MaxDifference(theirs, *order[i]), 0) << i;
  }
  TRead past;
  ReadFile(file, past, 3);
  EXPECT_TRUE(past.Aborted);
  EXPECT_EQ(past.Params.TiffImageCount, 3);
  // Motorola order cannot take an inserted page.
  ASSERT_EQ(test::Run("tiffcp -B '" + file + "' '" + FDir + "mm.tif'"), 0);
  TFileStream s(FDir + "mm.tif", fmOpenReadWrite);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  EXPECT_EQ(WriteTiffPage(s, true, *a, progress, p), 0);
  EXPECT_TRUE(aborted);
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// A little-endian TIFF of one directory: the strip data at offset 8, then
// the long values, then the directory. Offsets of 8 in tags point at the strip.
struct TTag {
  uint16_t Tag, Type;
  std::vector<uint32_t> Values;
};

std::vector<uint8_t> MakeTiff(std::vector<TTag> Tags, const std::vector<uint8_t>& Strip) {
  std::vector<uint8_t> f = {'I', 'I', 42, 0, 0, 0, 0, 0};
  f.insert(f.end(), Strip.begin(), Strip.end());
  auto put16 = [](std::vector<uint8_t>& b, uint32_t v) { b.push_back(uint8_t(v)); b.push_back(uint8_t(v >> 8)); };
  auto put32 = [&](std::vector<uint8_t>& b, uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); };
  std::vector<std::vector<uint8_t>> data;
  for (auto& t : Tags) {
    std::vector<uint8_t> d;
    for (uint32_t v : t.Values) t.Type == 3 ? put16(d, v) : put32(d, v);
    data.push_back(d);
  }
  std::vector<uint32_t> where(Tags.size());
  for (size_t i = 0; i < Tags.size(); ++i)
    if (data[i].size() > 4) {
      if (f.size() & 1) f.push_back(0);
      where[i] = uint32_t(f.size());
      f.insert(f.end(), data[i].begin(), data[i].end());
    }
  if (f.size() & 1) f.push_back(0);
  const uint32_t dir = uint32_t(f.size());
  f[4] = uint8_t(dir);
  f[5] = uint8_t(dir >> 8);
  put16(f, uint32_t(Tags.size()));
  for (size_t i = 0; i < Tags.size(); ++i) {
    put16(f, Tags[i].Tag);
    put16(f, Tags[i].Type);
    put32(f, uint32_t(Tags[i].Type == 5 ? Tags[i].Values.size() / 2 : Tags[i].Values.size()));
    if (data[i].size() <= 4) {
      data[i].resize(4);
      f.insert(f.end(), data[i].begin(), data[i].end());
    } else {
      put32(f, where[i]);
    }
  }
  put32(f, 0);
  return f;
}

std::unique_ptr<TRead> ReadBytes(const std::vector<uint8_t>& Bytes, int32_t Page = 0, bool AutoOrientation = true) {
  auto holder = std::make_unique<TRead>();
  TRead& r = *holder;
  TReadOnlyMemoryStream s(Bytes.data(), int64_t(Bytes.size()));
  r.Params.TiffImageIndex = Page;
  r.Params.TiffAutoOrientation = AutoOrientation;
  TProgressRec progress;
  progress.Aborted = &r.Aborted;
  ReadTiffPage(r.Bitmap, s, r.Pages, false, true, &r.Mask, false, progress, r.Params);
  return holder;
}

// An 8-bit gray page of 4 x 6 pixels, one row per strip unless the case says otherwise.
std::vector<TTag> GrayTags(uint32_t Rows = 6) {
  return {{256, 4, {4}}, {257, 4, {Rows}}, {258, 3, {8}}, {259, 3, {1}}, {262, 3, {1}},
          {273, 4, {8}}, {277, 3, {1}}, {278, 4, {Rows}}, {279, 4, {4 * Rows}}};
}

std::vector<TTag> With(std::vector<TTag> Tags, TTag Changed) {
  for (auto& t : Tags)
    if (t.Tag == Changed.Tag) {
      t = Changed;
      return Tags;
    }
  Tags.push_back(Changed);
  std::sort(Tags.begin(), Tags.end(), [](const TTag& a, const TTag& b) { return a.Tag < b.Tag; });
  return Tags;
}

std::vector<TTag> Without(std::vector<TTag> Tags, uint16_t Tag) {
  std::erase_if(Tags, [&](const TTag& t) { return t.Tag == Tag; });
  return Tags;
}

TEST(TiffRead, DamagedDirectoriesFailCleanly) {
  std::vector<uint8_t> strip(24);
  for (size_t i = 0; i < strip.size(); ++i) strip[i] = uint8_t(i * 10);
  struct {
    const char* Name;
    std::vector<TTag> Tags;
  } cases[] = {
      {"strip offset past the end", With(GrayTags(), {273, 4, {100000}})},
      {"zero width", With(GrayTags(), {256, 4, {0}})},
      {"huge size", With(With(GrayTags(), {256, 4, {1u << 20}}), {257, 4, {1u << 20}})},
      {"unequal depths", With(With(GrayTags(), {258, 3, {8, 8, 16}}), {277, 3, {3}})},
      {"palette without a full map", With(With(GrayTags(), {262, 3, {3}}), {320, 3, std::vector<uint32_t>(48, 0)})},
      {"jpeg", With(GrayTags(), {259, 3, {7}})},
      {"unknown compression", With(GrayTags(), {259, 3, {34676}})},
      {"too few strips", With(With(GrayTags(), {278, 4, {2}}), {273, 4, {8, 16}})},
      {"huge tiles", With(With(Without(Without(GrayTags(), 273), 279), {322, 4, {1u << 16}}), {323, 4, {1u << 16}})},
  };
  for (auto& c : cases) {
    const auto r = ReadBytes(MakeTiff(c.Tags, strip));
    EXPECT_TRUE(r->Aborted) << c.Name;
  }
  // The strips that are there are kept.
  const auto few = ReadBytes(MakeTiff(cases[7].Tags, strip));
  EXPECT_EQ(static_cast<const uint8_t*>(few->Bitmap.ScanLine(1))[0], 40);
}

// A directory stating 23000 x 23000 pixels over a few bytes of strip data:
// refused before the picture is allocated, for every compression whose rows
// tell how much data they need at least.
TEST(TiffRead, TinyFileWithAHugeSizeIsRefusedBeforeAllocating) {
  TLzwHooks hooks;
  const std::vector<uint8_t> strip(24, 0);
  const auto huge = With(With(With(GrayTags(23000), {256, 4, {23000}}), {279, 4, {24}}), {277, 3, {3}});
  const auto rgb = With(With(huge, {258, 3, {8, 8, 8}}), {262, 3, {2}});
  for (const uint32_t compression : {1u, 5u, 8u, 32773u, 32946u}) {
    const auto bytes = MakeTiff(With(rgb, {259, 3, {compression}}), strip);
    EXPECT_LT(bytes.size(), 200u);
    const auto r = ReadBytes(bytes);
    EXPECT_TRUE(r->Aborted) << compression;
    EXPECT_LE(int64_t(r->Bitmap.Width()) * r->Bitmap.Height(), 1) << compression << ": the picture was allocated";
  }
  // An uncompressed strip whose data stops short of its rows is not a picture.
  const auto cut = ReadBytes(MakeTiff(With(GrayTags(6), {279, 4, {12}}), std::vector<uint8_t>(12, 7)));
  EXPECT_TRUE(cut->Aborted);
}

TEST(TiffRead, LenientWhereTheDataAllowsIt) {
  std::vector<uint8_t> strip(24);
  for (size_t i = 0; i < strip.size(); ++i) strip[i] = uint8_t(i * 10);
  // RowsPerStrip 0 and a missing byte count both mean the whole rest.
  for (const auto& tags : {With(GrayTags(), {278, 4, {0}}), Without(GrayTags(), 279)}) {
    const auto r = ReadBytes(MakeTiff(tags, strip));
    EXPECT_FALSE(r->Aborted);
    ASSERT_EQ(r->Bitmap.Height(), 6);
    EXPECT_EQ(static_cast<const uint8_t*>(r->Bitmap.ScanLine(5))[9], 230);
  }
  // 4-bit gray: 15 is white, not 240.
  const auto g4 = ReadBytes(MakeTiff(With(With(GrayTags(1), {258, 3, {4}}), {279, 4, {2}}), {0x0F, 0x7F}));
  EXPECT_FALSE(g4->Aborted);
  EXPECT_EQ(static_cast<const uint8_t*>(g4->Bitmap.ScanLine(0))[3], 255);
  EXPECT_EQ(static_cast<const uint8_t*>(g4->Bitmap.ScanLine(0))[6], 7 * 17);
  // Colour maps take the high byte of each 16-bit value.
  std::vector<uint32_t> map(768, 0);
  map[1] = 0xFFFF;        // red of entry 1
  map[512 + 2] = 0x8080;  // blue of entry 2
  const auto pal =
      ReadBytes(MakeTiff(With(With(With(GrayTags(1), {262, 3, {3}}), {320, 3, map}), {279, 4, {4}}), {1, 2, 0, 1}));
  EXPECT_FALSE(pal->Aborted);
  const auto* row = static_cast<const uint8_t*>(pal->Bitmap.ScanLine(0));
  EXPECT_EQ(row[2], 255);   // red
  EXPECT_EQ(row[3], 0x80);  // blue
  EXPECT_EQ(pal->Params.ColorMapCount, 256);
}

TEST(TiffRead, DirectoryLoopsEnd) {
  TBitmap pic(3, 2);
  TIOParamsVals p(nullptr);
  TMemoryStream s;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  ASSERT_EQ(WriteTiffPage(s, false, pic, progress, p), 1);
  p.TiffImageIndex = 1;
  ASSERT_EQ(WriteTiffPage(s, true, pic, progress, p), 2);
  auto* bytes = static_cast<uint8_t*>(s.Memory());
  const uint32_t first = bytes[4] | bytes[5] << 8;
  const uint32_t count = bytes[first] | bytes[first + 1] << 8;
  const uint32_t link1 = first + 2 + count * 12;
  const uint32_t second = bytes[link1] | bytes[link1 + 1] << 8 | bytes[link1 + 2] << 16;
  const uint32_t link2 = second + 2 + count * 12;
  std::vector<uint8_t> loop(bytes, bytes + s.Size());
  std::memcpy(&loop[link2], &first, 4);  // A -> B -> A
  EXPECT_EQ(ReadBytes(loop)->Pages, 2);
  std::memcpy(&loop[link2], &second, 4);  // B -> B
  EXPECT_EQ(ReadBytes(loop)->Pages, 2);
  TReadOnlyMemoryStream in(loop.data(), int64_t(loop.size()));
  EXPECT_EQ(GetTiffPageCountStream(in), 2);
}

TEST(TiffRead, OrientationTurnsThePictureUpright) {
  std::vector<uint8_t> strip(24);
  for (size_t i = 0; i < strip.size(); ++i) strip[i] = uint8_t(i);
  const auto file = MakeTiff(With(GrayTags(), {274, 3, {6}}), strip);
  const auto turned = ReadBytes(file);
  ASSERT_EQ(turned->Bitmap.Width(), 6);
  ASSERT_EQ(turned->Bitmap.Height(), 4);
  // Orientation 6: the stored first row is the right-hand column, top down.
  EXPECT_EQ(static_cast<const uint8_t*>(turned->Bitmap.ScanLine(0))[5 * 3], 0);
  EXPECT_EQ(static_cast<const uint8_t*>(turned->Bitmap.ScanLine(3))[0], 23);
  const auto stored = ReadBytes(file, 0, false);
  EXPECT_EQ(stored->Bitmap.Width(), 4);
  EXPECT_EQ(stored->Params.TiffOrientation, 6);
}

TEST(TiffRead, EveryOrientationMatchesImageMagickAndTurnsTheAlpha) {
  if (!HaveTool("convert")) GTEST_SKIP() << "ImageMagick missing";
  // Gray and alpha, 4 x 6 pixels: every gray level differs, and alpha is 255 - gray.
  std::vector<uint8_t> strip;
  for (int i = 0; i < 24; ++i) strip.insert(strip.end(), {uint8_t(i * 10), uint8_t(255 - i * 10)});
  const auto base = With(With(With(With(GrayTags(), {258, 3, {8, 8}}), {277, 3, {2}}), {279, 4, {48}}), {338, 3, {2}});
  const test::TScratchFolder scratch("tiff_orientation");
  const std::string file = scratch.Path() + "/tiff_orientation.tif";
  for (uint32_t o = 1; o <= 8; ++o) {
    const auto bytes = MakeTiff(With(base, {274, 3, {o}}), strip);
    WriteBytes(file, bytes);
    ASSERT_EQ(test::Run("convert '" + file + "' -auto-orient -alpha off -depth 8 ppm:'" + file + ".ppm' 2>/dev/null"), 0);
    TBitmap want;
    ASSERT_TRUE(ReadPnm(file + ".ppm", want));
    const auto r = ReadBytes(bytes);
    ASSERT_FALSE(r->Aborted) << o;
    EXPECT_EQ(MaxDifference(r->Bitmap, want), 0) << "orientation " << o;
    ASSERT_EQ(r->Mask.Width, r->Bitmap.Width()) << o;
    ASSERT_EQ(r->Mask.Height, r->Bitmap.Height()) << o;
    for (int32_t y = 0; y < r->Bitmap.Height(); ++y)
      for (int32_t x = 0; x < r->Bitmap.Width(); ++x)
        ASSERT_EQ(r->Mask.ScanLine(y)[x], 255 - static_cast<const uint8_t*>(r->Bitmap.ScanLine(y))[3 * x])
            << "orientation " << o << " at " << x << "," << y;
  }
}

// A page of compression 6 without JPEGProc holds one JPEG stream (the form
// of EXIF thumbnails): it is read by the JPEG reader, cut at the stream's end.
TEST(TiffRead, JpegInterchangePages) {
  if (!HaveTool("cjpeg") || !HaveTool("djpeg")) GTEST_SKIP() << "libjpeg-turbo-progs missing";
  const test::TScratchFolder scratch("tiff_ojpeg");
  const std::string ppm = scratch.Path() + "/tiff_ojpeg.ppm", jpg = scratch.Path() + "/tiff_ojpeg.jpg";
  WritePnm(ppm, *Colourful(21, 13));
  ASSERT_EQ(test::Run("cjpeg -quality 90 '" + ppm + "' > '" + jpg + "'"), 0);
  ASSERT_EQ(test::Run("djpeg -ppm '" + jpg + "' > '" + jpg + ".ppm'"), 0);
  TBitmap want;
  ASSERT_TRUE(ReadPnm(jpg + ".ppm", want));
  const std::vector<uint8_t> jpeg = test::ReadBytes(jpg);
  const uint32_t n = uint32_t(jpeg.size());
  // No size of its own, as thumbnail directories often have.
  const std::vector<TTag> tags = {{259, 3, {6}}, {282, 5, {72, 1}}, {283, 5, {72, 1}}, {513, 4, {8}}, {514, 4, {n}}};
  const auto r = ReadBytes(MakeTiff(tags, jpeg));
  ASSERT_FALSE(r->Aborted);
  EXPECT_EQ(r->Params.Width, 21);
  EXPECT_EQ(r->Params.Height, 13);
  EXPECT_EQ(r->Params.TiffCompression, 6);
  EXPECT_EQ(r->Params.DpiX, 72);
  EXPECT_EQ(MaxDifference(r->Bitmap, want), 0);
  // Turned upright like any page.
  const auto turned = ReadBytes(MakeTiff(With(tags, {274, 3, {6}}), jpeg));
  EXPECT_EQ(turned->Bitmap.Width(), 13);
  // A length past the end is cut there; a stream cut short, an offset
  // outside the file or the JPEGProc tag (strips of a JPEG process we do not decode) fail.
  EXPECT_FALSE(ReadBytes(MakeTiff(With(tags, {514, 4, {n + 5000}}), jpeg))->Aborted);
  EXPECT_TRUE(ReadBytes(MakeTiff(With(tags, {514, 4, {n / 2}}), jpeg))->Aborted);
  EXPECT_TRUE(ReadBytes(MakeTiff(With(tags, {513, 4, {1u << 30}}), jpeg))->Aborted);
  EXPECT_TRUE(ReadBytes(MakeTiff(With(tags, {512, 3, {1}}), jpeg))->Aborted);
}

TEST(TiffWrite, FieldsRoundTrip) {
  TLzwHooks none;
  TiffLzwEncoderHook = nullptr;
  TiffLzwDecoderHook = TiffLzwDecode;
  const auto pic = Make24(9, 5, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 20), 0, uint8_t(y * 40)}; });
  TIOParamsVals p(nullptr);
  {
    // No encoder anywhere: the save fails and says why, rather than writing
    // the page uncompressed as if LZW had been used.
    p.TiffCompression = 5;
    TMemoryStream s;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborted = &aborted;
    ClearCodecFailure();
    EXPECT_EQ(WriteTiffPage(s, false, *pic, progress, p), 0);
    EXPECT_TRUE(aborted);
    const std::string reason = TakeCodecFailure();
    EXPECT_NE(reason.find("LZW"), std::string::npos) << reason;
  }
  p.TiffCompression = 0;
  p.TiffXPos = 37;
  p.TiffYPos = 12;
  p.TiffDocumentName = "Akte";
  p.TiffImageDescription = "Beschreibung";
  p.TiffPageName = "Seite";
  p.TiffPageNumber = 2;
  p.TiffPageCount = 7;
  p.DpiX = 200;
  p.DpiY = 100;
  TMemoryStream s;
  s.WriteBuffer("pad", 3);  // offsets count from where the page starts
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  ASSERT_EQ(WriteTiffPage(s, false, *pic, progress, p), 1);
  s.SetPosition(3);
  TRead r;
  r.Params.TiffImageIndex = 0;
  TProgressRec rp;
  rp.Aborted = &r.Aborted;
  ReadTiffPage(r.Bitmap, s, r.Pages, false, true, nullptr, false, rp, r.Params);
  EXPECT_FALSE(r.Aborted);
  EXPECT_EQ(r.Params.TiffCompression, 0);
  EXPECT_EQ(r.Params.TiffXPos, 37);
  EXPECT_EQ(r.Params.TiffYPos, 12);
  EXPECT_EQ(r.Params.TiffDocumentName, "Akte");
  EXPECT_EQ(r.Params.TiffImageDescription, "Beschreibung");
  EXPECT_EQ(r.Params.TiffPageName, "Seite");
  EXPECT_EQ(r.Params.TiffPageNumber, 2);
  EXPECT_EQ(r.Params.TiffPageCount, 7);
  EXPECT_EQ(r.Params.DpiX, 200);
  EXPECT_EQ(r.Params.DpiY, 100);
  EXPECT_EQ(MaxDifference(r.Bitmap, *pic), 0);
}

TEST(TiffWrite, BlackCmykAndLzwWithoutDecoder) {
  TLzwHooks hooks;
  const auto black = Make24(4, 2, [](int32_t x, int32_t) { return x == 0 ? TBGRPixel{0, 0, 0} : TBGRPixel{10, 20, 30}; });
  TIOParamsVals p(nullptr);
  p.TiffPhotometric = 5;
  p.SamplesPerPixel = 4;
  p.TiffCompression = 5;
  TMemoryStream s;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  ASSERT_EQ(WriteTiffPage(s, false, *black, progress, p), 1);
  s.SetPosition(0);
  TRead r;
  TProgressRec rp;
  rp.Aborted = &r.Aborted;
  ReadTiffPage(r.Bitmap, s, r.Pages, false, true, nullptr, false, rp, r.Params);
  EXPECT_FALSE(r.Aborted);
  EXPECT_LE(MaxDifference(r.Bitmap, *black), 1);
  // The same LZW page without any decoder fails.
  TiffLzwDecoderHook = nullptr;
  TRead nodec;
  nodec.Params.TiffLzwDecompress = nullptr;
  s.SetPosition(0);
  TProgressRec np;
  np.Aborted = &nodec.Aborted;
  ClearCodecFailure();
  ReadTiffPage(nodec.Bitmap, s, nodec.Pages, false, true, nullptr, false, np, nodec.Params);
  EXPECT_TRUE(nodec.Aborted);
  const std::string reason = TakeCodecFailure();
  EXPECT_NE(reason.find("LZW-Decoder"), std::string::npos) << reason;
}

}  // namespace
}  // namespace kv
