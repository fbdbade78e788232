// PNM reader and writer against netpbm and ImageMagick: every kind netpbm
// makes (plain and raw, maximum values 1, 15, 255 and 65535) is read and
// compared with ImageMagick's decoding; what we write is read by both.
#include <gtest/gtest.h>

#include "codec_test_util.h"
#include "imaging/formats/pnm.h"
#include "raster_compare.h"

namespace kv::test {
namespace {

struct TPnmRead {
  TBitmap Bitmap;
  TIOParamsVals Params{nullptr};
  TCodecRun Run;
};

void ReadBytesPnm(const std::string& Bytes, TPnmRead& R, bool ParamsOnly = false) {
  TReadOnlyMemoryStream s(Bytes.data(), int64_t(Bytes.size()));
  ReadPnmStream(s, R.Bitmap, R.Params, R.Run.Progress, ParamsOnly, nullptr);
}

std::string WriteToString(const TBitmap& B, TIOParamsVals& P, bool* Aborted = nullptr) {
  TMemoryStream s;
  TCodecRun run;
  WritePnmStream(s, B, P, run.Progress);
  if (Aborted) *Aborted = run.Aborted;
  return std::string(static_cast<const char*>(s.Memory()), size_t(s.Size()));
}

class PnmTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    if (!HaveTool("convert") || !HaveTool("pgmramp")) GTEST_SKIP() << "ImageMagick or netpbm missing";
  }
  std::string Rgb(const std::string& File) { return ToolBytes("convert " + File + " -depth 8 rgb:-"); }
};

TEST_F(PnmTest, ReadsWhatNetpbmMakes) {
  struct TCase {
    const char* Name;
    std::string Make;  // shell pipeline writing to stdout
    int32_t Bits, Samples;
    bool OneBit;
    int Tolerance;  // 16-bit samples: we truncate, ImageMagick rounds
  };
  const std::string gray = "pgmramp -ellipse 37 11";
  const std::string colour = "ppmpat -g2 -color rgb:ff/30/00,rgb:10/80/f0 31 9";
  const TCase cases[] = {
      {"p4", "pbmmake -g 13 7", 1, 1, true, 0},
      {"p1", "pbmmake -g 13 7 | pnmtoplainpnm", 1, 1, true, 0},
      {"p5", gray, 8, 1, false, 0},
      {"p2", gray + " | pnmtoplainpnm", 8, 1, false, 0},
      {"p5-15", gray + " | pamdepth 15", 8, 1, false, 0},
      {"p2-15", gray + " | pamdepth 15 | pnmtoplainpnm", 8, 1, false, 0},
      {"p5-65535", gray + " | pamdepth 65535", 8, 1, false, 1},
      {"p2-65535", gray + " | pamdepth 65535 | pnmtoplainpnm", 8, 1, false, 1},
      {"p6", colour, 8, 3, false, 0},
      {"p3", colour + " | pnmtoplainpnm", 8, 3, false, 0},
      {"p6-15", colour + " | pamdepth 15", 8, 3, false, 0},
      {"p3-15", colour + " | pamdepth 15 | pnmtoplainpnm", 8, 3, false, 0},
      {"p6-65535", colour + " | pamdepth 65535", 8, 3, false, 1},
      {"p3-65535", colour + " | pamdepth 65535 | pnmtoplainpnm", 8, 3, false, 1},
  };
  for (const TCase& c : cases) {
    const std::string file = Dir + c.Name + ".pnm";
    ASSERT_EQ(test::Run("(" + c.Make + ") > " + file + " 2>/dev/null"), 0) << c.Name;
    TBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(ReadFile(ReadPnmStream, file, b, p)) << c.Name;
    EXPECT_EQ(b.PixelFormat(), c.OneBit ? pf1bit : pf24bit) << c.Name;
    EXPECT_EQ(p.BitsPerSample, c.Bits) << c.Name;
    EXPECT_EQ(p.SamplesPerPixel, c.Samples) << c.Name;
    EXPECT_EQ(p.Width, b.Width());
    EXPECT_EQ(p.ColorMapCount, 0);
    EXPECT_LE(MaxDiffToRgb(b, Rgb(file)), c.Tolerance) << c.Name;
  }
}

TEST_F(PnmTest, WhatWeWriteNetpbmAndImageMagickRead) {
  const auto photo = PhotoLike(29, 13);
  TBitmap bw(21, 5, pf1bit);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 21; ++x)
      if ((x * 3 + y) % 4 == 0) static_cast<uint8_t*>(bw.ScanLine(y))[x >> 3] |= kBitMask[x & 7];
  const auto twoColours = Make24(19, 6, [](int32_t x, int32_t y) {
    return (x + y) % 3 ? TBGRPixel{200, 180, 20} : TBGRPixel{10, 20, 90};
  });
  struct TCase {
    const char* Name;
    const TBitmap* Source;
    int32_t Bits, Samples;
    const char* Magic;
  };
  const TCase cases[] = {
      {"rgb", photo.get(), 8, 3, "P6"},       {"gray", photo.get(), 8, 1, "P5"},
      {"bits", &bw, 1, 1, "P4"},              {"bits-any-record", &bw, 8, 3, "P4"},
      {"two-colours", twoColours.get(), 1, 1, "P4"}, {"odd-record", photo.get(), 16, 4, "P6"},
  };
  for (const TCase& c : cases) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.Bits;
    p.SamplesPerPixel = c.Samples;
    p.PnmComments.Add("made by a test");
    p.PnmComments.Add("two\nlines");
    bool aborted = true;
    const std::string bytes = WriteToString(*c.Source, p, &aborted);
    ASSERT_FALSE(aborted) << c.Name;
    EXPECT_EQ(bytes.substr(0, 3), std::string(c.Magic) + " ") << c.Name;
    const std::string file = Dir + c.Name + ".pnm";
    WriteText(file, bytes);
    EXPECT_EQ(test::Run("pamfile " + file + " >/dev/null 2>&1"), 0) << c.Name;

    // What we mean the file to show.
    TBitmap expect;
    expect.Assign(c.Source);
    if (std::string(c.Magic) == "P5") {
      for (int32_t y = 0; y < expect.Height(); ++y) {
        auto* r = static_cast<TBGRPixel*>(expect.ScanLine(y));
        for (int32_t x = 0; x < expect.Width(); ++x) r[x] = Gray(GrayLevel(r[x]));
      }
    } else if (c.Source == twoColours.get()) {
      Fill24(expect, [&](int32_t x, int32_t y) { return (x + y) % 3 ? Gray(255) : Gray(0); });
    }
    EXPECT_EQ(MaxDiffToRgb(expect, Rgb(file)), 0) << c.Name;
    EXPECT_EQ(MaxDiffToRgb(expect, RunCapture("pamtopnm " + file + " | pnmtoplainpnm | convert - -depth 8 rgb:-")),
              0)
        << c.Name;

    // And we read it back with its comments.
    TPnmRead back;
    ReadBytesPnm(bytes, back);
    ASSERT_FALSE(back.Run.Aborted) << c.Name;
    EXPECT_EQ(MaxDiff(back.Bitmap, expect), 0) << c.Name;
    ASSERT_EQ(back.Params.PnmComments.Count(), 2) << c.Name;
    EXPECT_EQ(back.Params.PnmComments.Strings(0), "made by a test");
    EXPECT_EQ(back.Params.PnmComments.Strings(1), "two lines");
    EXPECT_EQ(back.Run.LastProgress, 100);
  }
}

TEST(Pnm, GrayMapWithCommentAndMaximum15) {
  TPnmRead r;
  ReadBytesPnm(std::string("P5\n# scanned  \n4 2\n15\n") + std::string("\x00\x07\x0f\x03\x01\x02\x0e\x0f", 8), r);
  ASSERT_FALSE(r.Run.Aborted);
  ASSERT_EQ(r.Bitmap.Width(), 4);
  ASSERT_EQ(r.Bitmap.Height(), 2);
  EXPECT_EQ(PixelOf(r.Bitmap, 1, 0), Gray(119));
  EXPECT_EQ(PixelOf(r.Bitmap, 2, 0), Gray(255));
  EXPECT_EQ(PixelOf(r.Bitmap, 3, 1), Gray(255));
  ASSERT_EQ(r.Params.PnmComments.Count(), 1);
  EXPECT_EQ(r.Params.PnmComments.Strings(0), "scanned");
  EXPECT_EQ(r.Params.DpiX, IODefaultDpi());
  EXPECT_EQ(r.Params.DpiY, IODefaultDpi());
}

TEST(Pnm, TextSamplesAndLayout) {
  // Maximum 255 keeps the samples; samples above the maximum clamp; comments between samples are skipped.
  TPnmRead a;
  ReadBytesPnm("P2 3 1 255\n0 128 # a note\n 255", a);
  ASSERT_FALSE(a.Run.Aborted);
  EXPECT_EQ(PixelOf(a.Bitmap, 1, 0), Gray(128));
  EXPECT_EQ(PixelOf(a.Bitmap, 2, 0), Gray(255));
  TPnmRead b;
  ReadBytesPnm("P3 2 1 15 15 0 7  99 x 0", b);
  ASSERT_FALSE(b.Run.Aborted);
  EXPECT_EQ(PixelOf(b.Bitmap, 0, 0), (TBGRPixel{119, 0, 255}));
  EXPECT_EQ(PixelOf(b.Bitmap, 1, 0), (TBGRPixel{0, 0, 255}));  // 99 clamps, "x" counts as 0
  // P1 with and without blanks between the digits.
  TPnmRead c, d;
  ReadBytesPnm("P1\n5 2\n1 0 1 1 0\n0\n0 0 0 1\n", c);
  ReadBytesPnm("P1 5 2 1011000001", d);
  ASSERT_FALSE(c.Run.Aborted);
  ASSERT_FALSE(d.Run.Aborted);
  EXPECT_EQ(MaxDiff(c.Bitmap, d.Bitmap), 0);
  EXPECT_EQ(PixelOf(c.Bitmap, 0, 0), Gray(0));
  EXPECT_EQ(PixelOf(c.Bitmap, 1, 0), Gray(255));
  EXPECT_EQ(PixelOf(c.Bitmap, 4, 1), Gray(0));
}

TEST(Pnm, BadHeadersAndDataFail) {
  const std::string cases[] = {
      "P5\n4\n",                       // ends before the height
      "P5 4 2 0\n12345678",            // maximum value 0
      "P5 4 2 70000\n12345678",        // beyond 16 bits
      "P5 4 x2 255\n12345678",         // not a number
      "P5 0 2 255\n",                  // no width
      "P7 4 2 255\n12345678",          // not an any-map
      "P5 100000 100000 255\nxx",      // absurd size
      "P1 1 500000000\n1",             // a small file cannot ask for a large picture
      "P6 20000 20000 255\n" + std::string(100, 'x'),  // far more than the file holds
      "P5 4 2 255\n123",               // short raw data
      "",
  };
  for (const std::string& c : cases) {
    TPnmRead r;
    ReadBytesPnm(c, r);
    EXPECT_TRUE(r.Run.Aborted) << c.substr(0, 24);
    EXPECT_TRUE(r.Bitmap.Empty()) << c.substr(0, 24);
  }
}

TEST(Pnm, CommentListIsBounded) {
  std::string f = "P5\n";
  for (int i = 0; i < 5000; ++i) f += "#c\n";
  TPnmRead r;
  ReadBytesPnm(f + "1 1 255\n\x07", r);
  ASSERT_FALSE(r.Run.Aborted);
  EXPECT_EQ(r.Params.PnmComments.Count(), 4096);
  EXPECT_EQ(PixelOf(r.Bitmap, 0, 0), Gray(7));
}

TEST(Pnm, PlainBitmapEndsWithItsDigits) {
  TPnmRead r;
  ReadBytesPnm("P1 4 2 1 # the rest is a comment, long enough for the picture", r);
  EXPECT_FALSE(r.Run.Aborted);
  ASSERT_EQ(r.Bitmap.Height(), 2);
  EXPECT_EQ(PixelOf(r.Bitmap, 0, 0), Gray(0));
  EXPECT_EQ(PixelOf(r.Bitmap, 3, 1), Gray(255));
}

TEST(Pnm, ShortTextDataFailsKeepingWhatWasRead) {
  TPnmRead r;
  ReadBytesPnm("P2 2 2 255 1 2 3", r);
  EXPECT_TRUE(r.Run.Aborted);
  ASSERT_EQ(r.Bitmap.Width(), 2);
  EXPECT_EQ(PixelOf(r.Bitmap, 0, 1), Gray(3));
  EXPECT_EQ(PixelOf(r.Bitmap, 1, 1), Gray(0));
}

TEST(Pnm, ContentTest) {
  const std::pair<std::string, bool> cases[] = {
      {"P6\n3 2\n255\n", true},  {"# note\nP1 3 2", true}, {"P4 7 1\n", true},
      {"P5 0 4 255\n", false},   {"P5 4\n", false},        {"P9 3 3 3", false},
      {"GIF89a", false},         {"", false},
  };
  for (const auto& [bytes, expect] : cases) {
    TMemoryStream s;
    s.Write("xy", 2);
    s.Write(bytes.data(), int32_t(bytes.size()));
    s.SetPosition(2);
    EXPECT_EQ(IsPnmStream(s), expect) << bytes;
    EXPECT_EQ(s.Position(), 2);
  }
  // The token reader consumes exactly the byte after a token.
  TReadOnlyMemoryStream t("  P6\t#  hi there \r\n12x", 22);
  std::string tok;
  ReadPnmToken(t, tok);
  EXPECT_EQ(tok, "P6");
  EXPECT_EQ(t.Position(), 5);
  ReadPnmToken(t, tok);
  EXPECT_EQ(tok, "#hi there");
  ReadPnmToken(t, tok);
  EXPECT_EQ(tok, "12x");
  ReadPnmToken(t, tok);
  EXPECT_EQ(tok, "");
}

TEST(Pnm, WriterHeaderAndFailures) {
  auto photo = PhotoLike(4, 2);
  TIOParamsVals p(nullptr);
  p.BitsPerSample = 8;
  p.SamplesPerPixel = 1;
  p.PnmComments.Add("one");
  p.PnmComments.Add("two");
  const std::string bytes = WriteToString(*photo, p);
  EXPECT_EQ(bytes.substr(0, 24), "P5 \n# one\n# two\n4 2 255\n");
  EXPECT_EQ(bytes.size(), 24u + 8u);
  // A stream that takes nothing sets the aborted flag.
  TReadOnlyMemoryStream full("", 0);
  TCodecRun run;
  WritePnmStream(full, *photo, p, run.Progress);
  EXPECT_TRUE(run.Aborted);
  // The progress handler's abort stops before the next row.
  TCodecRun stop;
  stop.Progress.OnProgress = [&](TObject*, int32_t) { stop.Aborted = true; };
  TMemoryStream s;
  WritePnmStream(s, *photo, p, stop.Progress);
  EXPECT_EQ(s.Size(), 24 + 4);
}

}  // namespace
}  // namespace kv::test
