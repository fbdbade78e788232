// JPEG reader and writer against libjpeg-turbo's own tools: files cjpeg
// makes are decoded by us and by djpeg and must agree byte for byte; files
// we write must decode in djpeg as they do in our reader.
#include <gtest/gtest.h>

#include <cstring>

#include "codec_test_util.h"
#include "imaging/formats/exif.h"
#include "imaging/formats/jpeg.h"

namespace kv::test {
namespace {

class JpegTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    if (!HaveTool("cjpeg") || !HaveTool("djpeg")) GTEST_SKIP() << "libjpeg-turbo-progs missing";
    Source = Dir + "src.ppm";
    WritePnm(Source, *PhotoLike(67, 45));
  }
  // cjpeg with Options on the source picture.
  std::string Cjpeg(const std::string& Options, const std::string& Name) {
    const std::string out = Dir + Name;
    EXPECT_EQ(kv::test::Run("cjpeg " + Options + " -outfile " + out + " " + Source), 0);
    return out;
  }
  std::string Djpeg(const std::string& Jpeg, const std::string& Options = "") {
    const std::string out = Jpeg + ".ppm";
    EXPECT_EQ(kv::test::Run("djpeg -rgb " + Options + " -outfile " + out + " " + Jpeg), 0);
    return out;
  }
  std::string Source;
};

TEST_F(JpegTest, ReadsWhatCjpegWritesLikeDjpeg) {
  struct TCase {
    const char* Options;
    uint8_t ColorSpace;
    bool Progressive;
  };
  const TCase cases[] = {
      {"", 2, false},
      {"-progressive", 2, true},
      {"-grayscale", 1, false},
      {"-optimize", 2, false},
      {"-restart 1", 2, false},
      {"-sample 1x1", 2, false},
      {"-sample 2x1", 2, false},
      {"-sample 2x2", 2, false},
      {"-rgb", 0, false},
      {"-quality 100 -progressive -sample 1x1", 2, true},
  };
  int n = 0;
  for (const TCase& c : cases) {
    const std::string jpg = Cjpeg(c.Options, "c" + std::to_string(n++) + ".jpg");
    TBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(ReadFile(ReadJpegStream, jpg, b, p)) << c.Options;
    EXPECT_EQ(MaxDiffToPpm(b, Djpeg(jpg)), 0) << c.Options;
    EXPECT_EQ(p.JpegColorSpace, c.ColorSpace) << c.Options;
    EXPECT_EQ(p.JpegProgressive, c.Progressive) << c.Options;
    EXPECT_EQ(p.SamplesPerPixel, c.ColorSpace == 1 ? 1 : 3) << c.Options;
    EXPECT_EQ(p.BitsPerSample, 8);
    EXPECT_EQ(p.Width, 67);
    EXPECT_EQ(p.Height, 45);
    EXPECT_EQ(p.JpegWarningCount, 0);
  }
}

TEST_F(JpegTest, ScaledAndDctMethodsMatchDjpeg) {
  struct TCase {
    uint8_t Scale;
    uint8_t Dct;
    const char* DjpegOptions;
    int32_t Denominator;
  };
  const TCase cases[] = {
      {2, 0, "-scale 1/2", 2}, {3, 0, "-scale 1/4", 4}, {4, 0, "-scale 1/8", 8},
      {1, 1, "-dct fast", 1},  {1, 2, "-dct float", 1}, {3, 1, "-scale 1/4 -dct fast", 4},
  };
  for (const char* options : {"", "-progressive -sample 1x1"}) {
    const std::string jpg = Cjpeg(options, "s.jpg");
    for (const TCase& c : cases) {
      TBitmap b;
      TIOParamsVals p(nullptr);
      p.JpegScale = c.Scale;
      p.JpegDctMethod = c.Dct;
      ASSERT_TRUE(ReadFile(ReadJpegStream, jpg, b, p)) << c.DjpegOptions;
      EXPECT_EQ(MaxDiffToPpm(b, Djpeg(jpg, c.DjpegOptions)), 0) << options << ' ' << c.DjpegOptions;
      EXPECT_EQ(p.JpegScaleUsed, c.Denominator);
      EXPECT_EQ(p.JpegOriginalWidth, 67);
      EXPECT_EQ(p.JpegOriginalHeight, 45);
      EXPECT_EQ(p.Width, b.Width());
    }
  }
}

TEST_F(JpegTest, AutomaticScaleCoversTheRequestedSize) {
  struct TCase {
    int32_t W, H, ReqW, ReqH, Denominator;
  };
  const TCase cases[] = {
      {3000, 2000, 400, 300, 4}, {600, 400, 400, 300, 1}, {3000, 2000, 375, 250, 8}, {3000, 2000, 0, 0, 1},
  };
  for (const TCase& c : cases) {
    TBitmap flat(c.W, c.H);
    FillFlat24(flat, Gray(90));
    WritePnm(Source, flat);
    const std::string jpg = Cjpeg("", "auto.jpg");
    TBitmap b;
    TIOParamsVals p(nullptr);
    p.JpegScale = 0;
    p.Width = c.ReqW;
    p.Height = c.ReqH;
    ASSERT_TRUE(ReadFile(ReadJpegStream, jpg, b, p, true));
    EXPECT_EQ(p.JpegScaleUsed, c.Denominator) << c.W << 'x' << c.H << " for " << c.ReqW << 'x' << c.ReqH;
    EXPECT_EQ(p.Width, c.W / c.Denominator);
    EXPECT_EQ(p.Height, c.H / c.Denominator);
    EXPECT_TRUE(b.Empty());  // parameters only: the bitmap is left alone
  }
}

// JFIF density bytes of a cjpeg file: units at 13, X at 14, Y at 16.
void SetDensity(std::vector<uint8_t>& F, uint8_t Units, uint16_t X, uint16_t Y) {
  ASSERT_EQ(std::memcmp(&F[6], "JFIF", 5), 0);
  F[13] = Units;
  F[14] = uint8_t(X >> 8), F[15] = uint8_t(X);
  F[16] = uint8_t(Y >> 8), F[17] = uint8_t(Y);
}

TEST_F(JpegTest, ResolutionFromJfifAndFromExif) {
  const std::string jpg = Cjpeg("", "d.jpg");
  std::vector<uint8_t> f = ReadBytes(jpg);
  struct TCase {
    uint8_t Units;
    uint16_t X, Y;
    int32_t DpiX, DpiY;
  };
  for (const TCase& c : {TCase{2, 72, 72, 182, 182}, TCase{1, 300, 150, 300, 150}, TCase{0, 1, 2, 1, 2}}) {
    SetDensity(f, c.Units, c.X, c.Y);
    WriteBytes(jpg, f);
    TBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(ReadFile(ReadJpegStream, jpg, b, p, true));
    EXPECT_EQ(p.DpiX, c.DpiX);
    EXPECT_EQ(p.DpiY, c.DpiY);
  }
  // An aspect-only density of 1 x 1 takes the EXIF resolution.
  if (!HaveTool("exiv2")) GTEST_SKIP() << "exiv2 missing";
  for (auto [unit, res, dpi] : {std::tuple{2, "300/1", 300}, std::tuple{3, "118/1", 299}}) {
    SetDensity(f, 0, 1, 1);
    WriteBytes(jpg, f);
    ASSERT_EQ(kv::test::Run("exiv2 -M'set Exif.Image.XResolution Rational " + std::string(res) +
                  "' -M'set Exif.Image.YResolution Rational " + res + "' -M'set Exif.Image.ResolutionUnit Short " +
                  std::to_string(unit) + "' " + jpg),
              0);
    TBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(ReadFile(ReadJpegStream, jpg, b, p));
    ParseJpegMetadata(p);
    EXPECT_EQ(p.DpiX, dpi);
    EXPECT_EQ(p.DpiY, dpi);
    EXPECT_EQ(p.ExifResolutionUnit, unit);
  }
}

TEST_F(JpegTest, JunkBeforeTheStartOfImage) {
  const std::vector<uint8_t> jpg = ReadBytes(Cjpeg("", "j.jpg"));
  for (size_t junk : {size_t(0), size_t(40), size_t(99), size_t(100)}) {
    std::vector<uint8_t> f(junk, 0x20);
    f.insert(f.end(), jpg.begin(), jpg.end());
    TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
    EXPECT_EQ(FindJpegStart(s), junk < 100 ? int64_t(junk) : -1);
    EXPECT_EQ(s.Position(), 0);
    TBitmap b;
    TIOParamsVals p(nullptr);
    TCodecRun run;
    ReadJpegStream(s, b, p, run.Progress, false, nullptr);
    EXPECT_EQ(run.Aborted, junk >= 100) << junk;
  }
}

TEST_F(JpegTest, TruncatedFileFailsAndKeepsTheDecodedRows) {
  const std::string jpg = Cjpeg("", "t.jpg");
  const std::string full = Djpeg(jpg);
  TBitmap ref;
  ASSERT_TRUE(ReadPnm(full, ref));
  std::vector<uint8_t> f = ReadBytes(jpg);
  f.resize(f.size() * 2 / 3);
  TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
  TBitmap b;
  TIOParamsVals p(nullptr);
  TCodecRun run;
  ReadJpegStream(s, b, p, run.Progress, false, nullptr);
  EXPECT_TRUE(run.Aborted);
  ASSERT_EQ(b.Height(), 45);
  // The first MCU row came from data that was there.
  for (int32_t y = 0; y < 8; ++y)
    EXPECT_EQ(std::memcmp(b.ScanLine(y), ref.ScanLine(y), size_t(67 * 3)), 0) << y;
  // A progressive file cut short fails too, even though libjpeg fills in every row.
  std::vector<uint8_t> g = ReadBytes(Cjpeg("-progressive", "tp.jpg"));
  g.resize(g.size() / 2);
  TReadOnlyMemoryStream sp(g.data(), int64_t(g.size()));
  TCodecRun run2;
  ReadJpegStream(sp, b, p, run2.Progress, false, nullptr);
  EXPECT_TRUE(run2.Aborted);
}

// A small JPEG whose frame header says 23000 x 23000 and whose data ends in a
// proper end marker: libjpeg would fill every row and call it done, so the
// size is checked against the file before the picture is allocated.
TEST_F(JpegTest, TinyFileWithAHugeFrameIsRefusedBeforeAllocating) {
  for (const char* options : {"-grayscale", "", "-progressive"}) {
    WritePnm(Dir + "one.ppm", *PhotoLike(8, 8));
    ASSERT_EQ(kv::test::Run(std::string("cjpeg -optimize ") + options + " -outfile " + Dir + "one.jpg " + Dir + "one.ppm"), 0);
    std::vector<uint8_t> f = ReadBytes(Dir + "one.jpg");
    bool patched = false;
    for (size_t i = 2; i + 9 < f.size() && !patched; ++i)
      if (f[i] == 0xFF && (f[i + 1] == 0xC0 || f[i + 1] == 0xC2)) {
        f[i + 5] = f[i + 7] = uint8_t(23000 >> 8);
        f[i + 6] = f[i + 8] = uint8_t(23000 & 0xFF);
        patched = true;
      }
    ASSERT_TRUE(patched) << options;
    TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
    TBitmap b;
    TIOParamsVals p(nullptr);
    TCodecRun run;
    ReadJpegStream(s, b, p, run.Progress, false, nullptr);
    EXPECT_TRUE(run.Aborted) << options << " " << f.size() << " bytes";
    EXPECT_LE(int64_t(b.Width()) * b.Height(), 1) << options << ": the picture was allocated";
    EXPECT_EQ(p.Width, 23000) << options;
  }
}

TEST_F(JpegTest, CorruptInputFailsCleanly) {
  const std::vector<uint8_t> jpg = ReadBytes(Cjpeg("", "k.jpg"));
  std::vector<std::vector<uint8_t>> inputs = {
      {},
      {0xFF, 0xD8, 0xFF},
      std::vector<uint8_t>(500, 0xFF),
      std::vector<uint8_t>(jpg.begin(), jpg.begin() + 20),  // header cut inside the JFIF marker
  };
  std::vector<uint8_t> badSof = jpg;
  for (size_t i = 2; i + 9 < badSof.size(); ++i)
    if (badSof[i] == 0xFF && badSof[i + 1] == 0xC0) {
      badSof[i + 5] = badSof[i + 6] = 0;  // height 0
      badSof[i + 7] = badSof[i + 8] = 0;  // width 0
      break;
    }
  inputs.push_back(badSof);
  for (const auto& in : inputs) {
    TReadOnlyMemoryStream s(in.data(), int64_t(in.size()));
    TBitmap b;
    TIOParamsVals p(nullptr);
    TCodecRun run;
    ReadJpegStream(s, b, p, run.Progress, false, nullptr);
    EXPECT_TRUE(run.Aborted) << in.size();
  }
}

TEST_F(JpegTest, StreamHeaderIsReadWhereverItIs) {
  const std::vector<uint8_t> jpg = ReadBytes(Cjpeg("", "h.jpg"));
  std::vector<uint8_t> f = {'J', 'F', 'I', 'F', 0, 0, 0, 0};
  const uint32_t n = uint32_t(jpg.size()) + 5;  // a payload a little longer than the image
  for (int i = 0; i < 4; ++i) f.push_back(uint8_t(n >> (8 * i)));
  f.insert(f.end(), jpg.begin(), jpg.end());
  f.insert(f.end(), 5, 0);
  f.insert(f.end(), {'t', 'a', 'i', 'l'});
  TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
  TBitmap b;
  TIOParamsVals p(nullptr);
  TCodecRun run;
  ReadJpegStream(s, b, p, run.Progress, false, nullptr);
  EXPECT_FALSE(run.Aborted);
  EXPECT_EQ(s.Position(), int64_t(12 + n));
  EXPECT_EQ(MaxDiffToPpm(b, Djpeg(Dir + "h.jpg")), 0);
  // Two images back to back without headers: each read stops after its own.
  std::vector<uint8_t> two = jpg;
  two.insert(two.end(), jpg.begin(), jpg.end());
  TReadOnlyMemoryStream s2(two.data(), int64_t(two.size()));
  TCodecRun a, c;
  ReadJpegStream(s2, b, p, a.Progress, false, nullptr);
  EXPECT_EQ(s2.Position(), int64_t(jpg.size()));
  ReadJpegStream(s2, b, p, c.Progress, false, nullptr);
  EXPECT_FALSE(a.Aborted || c.Aborted);
  EXPECT_EQ(s2.Position(), int64_t(two.size()));
}

TEST_F(JpegTest, WrittenFilesDecodeInDjpegAsInOurReader) {
  struct TCase {
    uint8_t ColorSpace;
    bool Progressive, Optimal;
    uint8_t Dct;
    int32_t Quality, Smoothing;
  };
  const TCase cases[] = {
      {2, false, false, 0, 50, 0}, {2, true, false, 0, 90, 0}, {1, false, true, 0, 75, 0},
      {0, false, false, 1, 30, 0}, {2, false, true, 2, 100, 40},
  };
  const auto src = PhotoLike(67, 45);
  int n = 0;
  for (const TCase& c : cases) {
    TIOParamsVals p(nullptr);
    p.JpegColorSpace = c.ColorSpace;
    p.JpegProgressive = c.Progressive;
    p.JpegOptimalHuffman = c.Optimal;
    p.JpegDctMethod = c.Dct;
    p.JpegQuality = c.Quality;
    p.JpegSmoothing = c.Smoothing;
    p.DpiX = 300;
    p.DpiY = 200;
    TMemoryStream out;
    TCodecRun w;
    WriteJpegStream(out, *src, p, w.Progress);
    ASSERT_FALSE(w.Aborted);
    EXPECT_EQ(w.LastProgress, 100);
    const std::string jpg = Dir + "w" + std::to_string(n++) + ".jpg";
    out.SaveToFile(jpg);
    TBitmap b;
    TIOParamsVals q(nullptr);
    ASSERT_TRUE(ReadFile(ReadJpegStream, jpg, b, q));
    EXPECT_EQ(MaxDiffToPpm(b, Djpeg(jpg)), 0);
    EXPECT_EQ(q.JpegColorSpace, c.ColorSpace);
    EXPECT_EQ(q.JpegProgressive, c.Progressive);
    if (c.ColorSpace != 0) {  // an RGB file carries no JFIF marker, so no density
      EXPECT_EQ(q.DpiX, 300);
      EXPECT_EQ(q.DpiY, 200);
    }
    // Close to the source: a wrong channel order or colour space would not be.
    if (c.ColorSpace != 1) {
      EXPECT_LE(MeanDiffToPpm(b, Source), 20.0);
    }
  }
}

TEST_F(JpegTest, CmykAndYcckRoundTrip) {
  TBitmap src(16, 16);
  Fill24(src, [](int32_t x, int32_t y) { return TBGRPixel{uint8_t(x * 16), uint8_t(y * 16), uint8_t(255 - x * 8)}; });
  for (uint8_t space : {uint8_t(3), uint8_t(4)}) {
    TIOParamsVals p(nullptr);
    p.JpegColorSpace = space;
    p.JpegQuality = 100;
    TMemoryStream out;
    TCodecRun w;
    WriteJpegStream(out, src, p, w.Progress);
    ASSERT_FALSE(w.Aborted);
    out.SetPosition(0);
    TBitmap b;
    TIOParamsVals q(nullptr);
    TCodecRun r;
    ReadJpegStream(out, b, q, r.Progress, false, nullptr);
    ASSERT_FALSE(r.Aborted);
    EXPECT_EQ(q.JpegColorSpace, space);
    EXPECT_EQ(q.SamplesPerPixel, 4);
    int worst = 0;
    for (int32_t y = 0; y < 16; ++y)
      for (int32_t i = 0; i < 48; ++i)
        worst = std::max(worst, std::abs(int(static_cast<uint8_t*>(b.ScanLine(y))[i]) -
                                         int(static_cast<uint8_t*>(src.ScanLine(y))[i])));
    EXPECT_LE(worst, 12) << int(space);
  }
}

TEST_F(JpegTest, OneBitBitmapIsWrittenAsBlackAndWhite) {
  TBitmap bw(20, 10, pf1bit);
  for (int32_t y = 0; y < 10; ++y) {
    auto* row = static_cast<uint8_t*>(bw.ScanLine(y));
    std::memset(row, 0, 3);
    if (y < 5) row[0] = 0xFF;  // white in the top-left corner only
  }
  TIOParamsVals p(nullptr);
  p.JpegQuality = 95;
  TMemoryStream out;
  TCodecRun w;
  WriteJpegStream(out, bw, p, w.Progress);
  ASSERT_FALSE(w.Aborted);
  out.SetPosition(0);
  TBitmap b;
  TCodecRun r;
  ReadJpegStream(out, b, p, r.Progress, false, nullptr);
  ASSERT_FALSE(r.Aborted);
  EXPECT_GT(static_cast<uint8_t*>(b.ScanLine(1))[3], 200);   // white corner
  EXPECT_LT(static_cast<uint8_t*>(b.ScanLine(8))[3], 55);    // black corner
  EXPECT_LT(static_cast<uint8_t*>(b.ScanLine(1))[15 * 3], 55);
}

// Segments between SOI and the first SOF/SOS: type and payload.
std::vector<std::pair<uint8_t, std::string>> HeaderMarkers(const std::vector<uint8_t>& F) {
  std::vector<std::pair<uint8_t, std::string>> out;
  size_t p = 2;
  while (p + 4 <= F.size() && F[p] == 0xFF && F[p + 1] != 0xDA) {
    const size_t len = size_t(F[p + 2]) << 8 | F[p + 3];
    out.emplace_back(F[p + 1], std::string(reinterpret_cast<const char*>(&F[p + 4]), len - 2));
    p += 2 + len;
  }
  return out;
}

TEST_F(JpegTest, RewriteKeepsMarkersWithoutStaleJfifOrAdobe) {
  if (!HaveTool("exiv2")) GTEST_SKIP() << "exiv2 missing";
  const std::string jpg = Cjpeg("-rgb", "m.jpg");  // RGB: cjpeg writes an Adobe marker
  ASSERT_EQ(kv::test::Run("exiv2 -M'set Exif.Image.Make Kavtest' -M'set Iptc.Application2.Caption Hallo' -c 'a comment' " +
                jpg),
            0);
  TBitmap b;
  TIOParamsVals p(nullptr);
  ASSERT_TRUE(ReadFile(ReadJpegStream, jpg, b, p));
  ASSERT_GE(p.JpegMarkers.IndexOf(0xE1), 0);
  ASSERT_GE(p.JpegMarkers.IndexOf(0xED), 0);
  ASSERT_GE(p.JpegMarkers.IndexOf(0xFE), 0);
  ParseJpegMetadata(p);
  EXPECT_EQ(p.ExifMake, "Kavtest");
  ASSERT_EQ(p.IptcList.Count(), 1);
  // Now YCbCr at another density: one JFIF of the new density, no Adobe.
  p.JpegColorSpace = 2;
  p.DpiX = p.DpiY = 240;
  TMemoryStream out;
  TCodecRun w;
  WriteJpegStream(out, b, p, w.Progress);
  ASSERT_FALSE(w.Aborted);
  const auto markers = HeaderMarkers(StreamBytes(out));
  int jfif = 0, adobe = 0, exif = 0, iptc = 0, com = 0;
  for (const auto& [type, data] : markers) {
    if (type == 0xE0 && data.compare(0, 5, std::string("JFIF\0", 5)) == 0) {
      ++jfif;
      EXPECT_EQ(uint8_t(data[7]), 1);  // dots per inch
      EXPECT_EQ(uint8_t(data[9]), 240);
    }
    adobe += type == 0xEE;
    exif += type == 0xE1;
    iptc += type == 0xED;
    com += type == 0xFE;
  }
  EXPECT_EQ(jfif, 1);
  EXPECT_EQ(adobe, 0);
  EXPECT_EQ(exif, 1);
  EXPECT_EQ(iptc, 1);
  EXPECT_EQ(com, 1);
  const std::string again = Dir + "m2.jpg";
  out.SaveToFile(again);
  EXPECT_NE(RunCapture("exiv2 -pa " + again + " 2>&1").find("Kavtest"), std::string::npos);
  EXPECT_NE(RunCapture("exiv2 -pi " + again + " 2>&1").find("Hallo"), std::string::npos);
}

TEST_F(JpegTest, IptcTooLongForOneMarkerFailsThePacking) {
  TIOParamsVals p(nullptr);
  std::vector<uint8_t> text(40000, 'x');
  p.IptcList.AddItem(2, 120, int32_t(text.size()), text.data());
  EXPECT_TRUE(PackJpegIptc(p));
  EXPECT_EQ(p.JpegMarkers.Count(), 1);
  p.IptcList.AddItem(2, 120, int32_t(text.size()), text.data());
  EXPECT_FALSE(PackJpegIptc(p));
  EXPECT_EQ(p.JpegMarkers.MarkerLength(0), 40000 + 9 + 26 + 1);  // the earlier block stays (padded to even)
}

TEST_F(JpegTest, AbortedFlagStopsTheRows) {
  const std::string jpg = Cjpeg("", "a.jpg");
  TMemoryStream s;
  s.LoadFromFile(jpg);
  TBitmap b;
  TIOParamsVals p(nullptr);
  TCodecRun run;
  run.Progress.OnProgress = [&](TObject*, int32_t per) {
    run.LastProgress = per;
    if (per >= 50) run.Aborted = true;
  };
  ReadJpegStream(s, b, p, run.Progress, false, nullptr);
  EXPECT_TRUE(run.Aborted);
  EXPECT_LT(run.LastProgress, 100);
}

class JpegTransformTest : public JpegTest {
 protected:
  void SetUp() override {
    JpegTest::SetUp();
    if (IsSkipped()) return;
    if (!HaveTool("jpegtran")) GTEST_SKIP() << "jpegtran missing";
    WritePnm(Source, *PhotoLike(64, 48));  // whole blocks, so every transform is exact
    Input = Cjpeg("-sample 2x2", "in.jpg");
  }
  // Our transform of Input; empty when it failed.
  std::string Ours(uint8_t Code, const std::string& Name, int32_t L = 0, int32_t T = 0, int32_t R = 0,
                   int32_t B = 0, TJpegCopyMarkers Copy = jcCopyAll) {
    TMemoryStream in, out;
    in.LoadFromFile(Input);
    TCodecRun run;
    TransformJpegLossless(in, out, run.Progress, L, T, R, B, Copy, false, Code);
    if (run.Aborted) {
      EXPECT_EQ(out.Size(), 0);
      return {};
    }
    EXPECT_EQ(run.LastProgress, 100);
    out.SaveToFile(Dir + Name);
    return Dir + Name;
  }
  std::string Input;
};

TEST_F(JpegTransformTest, MatchesJpegtran) {
  struct TCase {
    uint8_t Code;
    const char* Jpegtran;
  };
  const TCase cases[] = {
      {jtMirrorLeftRight, "-flip horizontal"}, {jtMirrorTopBottom, "-flip vertical"}, {jtRotate90, "-rotate 90"},
      {jtRotate180, "-rotate 180"},           {jtRotate270, "-rotate 270"},          {jtNone, ""},
  };
  for (const TCase& c : cases) {
    const std::string ours = Ours(c.Code, "o.jpg");
    ASSERT_FALSE(ours.empty()) << c.Jpegtran;
    const std::string theirs = Dir + "t.jpg";
    ASSERT_EQ(kv::test::Run(std::string("jpegtran ") + c.Jpegtran + " -outfile " + theirs + " " + Input), 0);
    TBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(ReadFile(ReadJpegStream, ours, b, p));
    EXPECT_EQ(MaxDiffToPpm(b, Djpeg(theirs)), 0) << c.Jpegtran;
  }
  // Crop after the transform, on the 16-pixel grid of 4:2:0.
  const std::string ours = Ours(jtRotate90, "c.jpg", 16, 16, 16 + 31, 16 + 15);
  ASSERT_FALSE(ours.empty());
  ASSERT_EQ(kv::test::Run("jpegtran -rotate 90 -crop 32x16+16+16 -outfile " + Dir + "tc.jpg " + Input), 0);
  TBitmap b;
  TIOParamsVals p(nullptr);
  ASSERT_TRUE(ReadFile(ReadJpegStream, ours, b, p));
  EXPECT_EQ(b.Width(), 32);
  EXPECT_EQ(MaxDiffToPpm(b, Djpeg(Dir + "tc.jpg")), 0);
}

TEST_F(JpegTransformTest, MirrorTwiceGivesThePictureBack) {
  TMemoryStream in, once, twice;
  in.LoadFromFile(Input);
  TCodecRun a, b;
  TransformJpegLossless(in, once, a.Progress, 0, 0, 0, 0, jcCopyAll, false, jtMirrorLeftRight);
  once.SetPosition(0);
  TransformJpegLossless(once, twice, b.Progress, 0, 0, 0, 0, jcCopyAll, false, jtMirrorLeftRight);
  ASSERT_FALSE(a.Aborted || b.Aborted);
  twice.SaveToFile(Dir + "twice.jpg");
  EXPECT_EQ(MaxDiffToPpm(*[&] {
    auto bm = std::make_unique<TBitmap>();
    TIOParamsVals p(nullptr);
    ReadFile(ReadJpegStream, Dir + "twice.jpg", *bm, p);
    return bm;
  }(), Djpeg(Input)), 0);
}

TEST_F(JpegTransformTest, MarkerCopyOptionsAndFailures) {
  if (!HaveTool("exiv2")) GTEST_SKIP() << "exiv2 missing";
  ASSERT_EQ(kv::test::Run("exiv2 -M'set Exif.Image.Make Kavtest' -c 'note' " + Input), 0);
  struct TCase {
    TJpegCopyMarkers Copy;
    bool Exif, Comment;
  };
  for (const TCase& c : {TCase{jcCopyNone, false, false}, TCase{jcCopyComments, false, true},
                         TCase{jcCopyAll, true, true}}) {
    const std::string out = Ours(jtRotate180, "k.jpg", 0, 0, 0, 0, c.Copy);
    ASSERT_FALSE(out.empty());
    int exif = 0, com = 0, jfif = 0;
    for (const auto& [type, data] : HeaderMarkers(ReadBytes(out))) {
      exif += type == 0xE1;
      com += type == 0xFE;
      jfif += type == 0xE0;
    }
    EXPECT_EQ(exif, c.Exif ? 1 : 0) << int(c.Copy);
    EXPECT_EQ(com, c.Comment ? 1 : 0) << int(c.Copy);
    EXPECT_EQ(jfif, 1) << int(c.Copy);
    EXPECT_EQ(kv::test::Run("djpeg -outfile /dev/null " + out), 0);
  }
  EXPECT_TRUE(Ours(3, "x.jpg").empty());                  // not a transform code
  EXPECT_TRUE(Ours(jtNone, "x.jpg", 3, 0, 20, 20).empty());  // crop off the block grid
  EXPECT_TRUE(Ours(jtNone, "x.jpg", 80, 0, 90, 20).empty());  // crop outside the picture
  TMemoryStream junk, out;
  junk.Write("not a jpeg at all", 17);
  junk.SetPosition(0);
  TCodecRun run;
  TransformJpegLossless(junk, out, run.Progress, 0, 0, 0, 0, jcCopyAll, false, jtRotate90);
  EXPECT_TRUE(run.Aborted);
}

}  // namespace
}  // namespace kv::test
