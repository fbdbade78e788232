#include "imaging/processing/colour_kernels.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <iterator>
#include <set>

#include "imaging/processing/colour_convert.h"
#include "support/bitmap_patterns.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
// Found by argument-dependent lookup, so it must sit in kv itself.
static std::ostream& operator<<(std::ostream& o, const TBGRPixel& p) {
  return o << "rgb(" << int(p.r) << ',' << int(p.g) << ',' << int(p.b) << ')';
}

namespace {

TBGRPixel* Row(TBitmap& B, int32_t y) { return static_cast<TBGRPixel*>(B.ScanLine(y)); }
const TBGRPixel& At(const TBitmap& B, int32_t x, int32_t y) { return static_cast<const TBGRPixel*>(B.ScanLine(y))[x]; }

// A picture with every channel varying in its own way, so no two kernels agree by accident.
void MakePicture(TBitmap& B, int32_t w, int32_t h) {
  test::Paint24(B, w, h, [](int32_t x, int32_t y) {
    return CreateRGB(uint8_t(x * 37 + y * 11), uint8_t(x * 5 + y * 71 + 13), uint8_t(x * x + y * 3));
  });
}

void Fill(TBitmap& B, int32_t w, int32_t h, TBGRPixel c) {
  test::Paint24(B, w, h, [c](int32_t, int32_t) { return c; });
}

// Pixel bytes only: the row padding is not part of the picture.
std::vector<uint8_t> PixelBytes(const TBitmap& B) {
  std::vector<uint8_t> v;
  const size_t n = size_t((int64_t(B.Width()) * PixelFormatBits(B.PixelFormat()) + 7) / 8);
  for (int32_t y = 0; y < B.Height(); ++y) {
    const uint8_t* r = static_cast<const uint8_t*>(B.ScanLine(y));
    v.insert(v.end(), r, r + n);
  }
  return v;
}

const TIMProgressEvent kNoProgress;

using TKernel = std::function<void(TBitmap&, int32_t, int32_t, int32_t, int32_t, TObject*, const TIMProgressEvent&)>;
struct NamedKernel {
  const char* Name;
  TKernel Run;
};
const NamedKernel kKernels[] = {
    {"GrayScale", GrayScale},
    {"Negative", Negative},
    {"AddRGBOffsets",
     [](TBitmap& b, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TObject* s, const TIMProgressEvent& p) {
       AddRGBOffsets(b, 40, -30, 200, x1, y1, x2, y2, s, p);
     }},
    {"AdjustContrast",
     [](TBitmap& b, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TObject* s, const TIMProgressEvent& p) {
       AdjustContrast(b, 7, 120, 90, 140, x1, y1, x2, y2, s, p);
     }},
    {"AdjustHSV",
     [](TBitmap& b, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TObject* s, const TIMProgressEvent& p) {
       AdjustHSV(b, 45, -20, 10, x1, y1, x2, y2, s, p);
     }},
    {"Equalize", Equalize},
};

// A kernel on a rectangle changes exactly what the same kernel on the whole
// picture changes inside it, and nothing outside: right and bottom are
// exclusive, and neighbourhoods read the unchanged picture.
TEST(ColourKernels, RectangleIsExclusiveAndClipped) {
  TBitmap src;
  MakePicture(src, 13, 11);
  for (const NamedKernel& k : kKernels) {
    TBitmap whole, part, clipped;
    whole.Assign(&src);
    part.Assign(&src);
    clipped.Assign(&src);
    k.Run(whole, 0, 0, 13, 11, nullptr, kNoProgress);
    k.Run(part, 2, 3, 9, 8, nullptr, kNoProgress);
    k.Run(clipped, -4, -7, 500, 900, nullptr, kNoProgress);
    EXPECT_EQ(PixelBytes(clipped), PixelBytes(whole)) << k.Name;
    int changed = 0;
    for (int32_t y = 0; y < 11; ++y)
      for (int32_t x = 0; x < 13; ++x) {
        const bool inside = x >= 2 && x < 9 && y >= 3 && y < 8;
        const TBGRPixel& want = inside ? At(whole, x, y) : At(src, x, y);
        ASSERT_EQ(At(part, x, y), want) << k.Name << " at " << x << ',' << y;
        changed += !(At(part, x, y) == At(src, x, y));
      }
    EXPECT_GT(changed, 20) << k.Name << " should change most of its rectangle";

    TBitmap empty;
    empty.Assign(&src);
    k.Run(empty, 5, 5, 5, 9, nullptr, kNoProgress);   // no columns
    k.Run(empty, 9, 2, 4, 6, nullptr, kNoProgress);   // reversed
    k.Run(empty, 20, 20, 30, 30, nullptr, kNoProgress);  // outside
    EXPECT_EQ(PixelBytes(empty), PixelBytes(src)) << k.Name;
  }
}

TEST(ColourKernels, OtherFormatsAreLeftAlone) {
  for (TPixelFormat f : {pf8bit, pf32bit}) {
    TBitmap b(9, 5, f);
    for (int32_t y = 0; y < 5; ++y) std::memset(b.ScanLine(y), 0x5A + y, size_t(b.RowBytes()));
    const std::vector<uint8_t> before = PixelBytes(b);
    int calls = 0;
    const TIMProgressEvent count = [&](TObject*, int32_t) { ++calls; };
    for (const NamedKernel& k : kKernels) k.Run(b, 0, 0, 9, 5, nullptr, count);
    TProgressRec rec;
    rec.OnProgress = count;
    ConvertTo1BitThreshold(b, 100, rec);
    EXPECT_EQ(b.PixelFormat(), f);
    EXPECT_EQ(PixelBytes(b), before) << int(f);
    EXPECT_EQ(calls, 0);

    int32_t r = -7, g = -8, bl = -9;
    GetAverageRGB(b, r, g, bl);
    EXPECT_EQ(r, -7);
    EXPECT_EQ(g, -8);
    EXPECT_EQ(bl, -9);
    EXPECT_EQ(CountColors(b, 0, 0, 9, 5), 0);
  }
  TBitmap one(9, 5, pf1bit);
  const std::vector<uint8_t> before = PixelBytes(one);
  for (const NamedKernel& k : kKernels)
    if (std::string(k.Name) != "Negative") k.Run(one, 0, 0, 9, 5, nullptr, kNoProgress);
  EXPECT_EQ(PixelBytes(one), before);
}

TEST(ColourKernels, GrayScaleUsesTheNinetyNinePercentWeights) {
  struct Case {
    TBGRPixel in;
    uint8_t gray;
  };
  const Case cases[] = {{CreateRGB(255, 255, 255), 252}, {CreateRGB(255, 0, 0), 53}, {CreateRGB(0, 0, 255), 17},
                        {CreateRGB(0, 255, 0), 181},     {CreateRGB(10, 20, 30), 18}, {CreateRGB(0, 0, 0), 0}};
  TBitmap b;
  Fill(b, int32_t(std::size(cases)), 1, CreateRGB(0, 0, 0));
  for (size_t i = 0; i < std::size(cases); ++i) Row(b, 0)[i] = cases[i].in;
  GrayScale(b, 0, 0, b.Width(), 1, nullptr, kNoProgress);
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(At(b, int32_t(i), 0), CreateRGB(cases[i].gray, cases[i].gray, cases[i].gray)) << i;
}

TEST(ColourKernels, AddRGBOffsetsClamps) {
  TBitmap b;
  MakePicture(b, 8, 6);
  TBitmap orig;
  orig.Assign(&b);
  AddRGBOffsets(b, 300, 0, -300, 0, 0, 8, 6, nullptr, kNoProgress);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(At(b, x, y), CreateRGB(255, At(orig, x, y).g, 0));

  // Extreme offsets must saturate, not overflow.
  b.Assign(&orig);
  AddRGBOffsets(b, INT_MAX, INT_MIN, 10, 0, 0, 8, 6, nullptr, kNoProgress);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(At(b, x, y), CreateRGB(255, 0, uint8_t(std::min(255, At(orig, x, y).b + 10))));
}

TEST(ColourKernels, AdjustContrast) {
  TBitmap b;
  MakePicture(b, 8, 6);
  TBitmap orig;
  orig.Assign(&b);
  AdjustContrast(b, 0, 100, 110, 120, 0, 0, 8, 6, nullptr, kNoProgress);
  EXPECT_EQ(PixelBytes(b), PixelBytes(orig));

  AdjustContrast(b, -100, 100, 110, 120, 0, 0, 8, 6, nullptr, kNoProgress);  // factor 0
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(At(b, x, y), CreateRGB(100, 110, 120));

  // c = 10 doubles the distance from the mean; c = -25 keeps half of it (truncated toward the mean).
  Fill(b, 4, 1, CreateRGB(0, 0, 0));
  const uint8_t vals[4] = {200, 100, 127, 129};
  for (int i = 0; i < 4; ++i) Row(b, 0)[i] = CreateRGB(vals[i], vals[i], vals[i]);
  TBitmap half;
  half.Assign(&b);
  AdjustContrast(b, 10, 128, 128, 128, 0, 0, 4, 1, nullptr, kNoProgress);
  const uint8_t doubled[4] = {255, 72, 126, 130};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(At(b, i, 0).r, doubled[i]) << i;
  AdjustContrast(half, -25, 128, 128, 128, 0, 0, 4, 1, nullptr, kNoProgress);
  const uint8_t halved[4] = {164, 114, 128, 128};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(At(half, i, 0).g, halved[i]) << i;
}

TEST(ColourKernels, GetAverageRGB) {
  TBitmap b;
  Fill(b, 3, 2, CreateRGB(10, 20, 30));
  Row(b, 1)[2] = CreateRGB(255, 0, 31);
  int32_t r = 0, g = 0, bl = 0;
  GetAverageRGB(b, r, g, bl);
  EXPECT_EQ(r, (5 * 10 + 255) / 6);
  EXPECT_EQ(g, 100 / 6);
  EXPECT_EQ(bl, (5 * 30 + 31) / 6);

  TBitmap empty(0, 0, pf24bit);
  GetAverageRGB(empty, r, g, bl);
  EXPECT_EQ(r, 128);
  EXPECT_EQ(g, 128);
  EXPECT_EQ(bl, 128);
}

TEST(ColourKernels, AdjustHSVShiftsAndClamps) {
  TBitmap b;
  Fill(b, 4, 1, CreateRGB(0, 0, 0));
  Row(b, 0)[0] = CreateRGB(255, 0, 0);    // hue 0
  Row(b, 0)[1] = CreateRGB(255, 0, 255);  // hue 300
  Row(b, 0)[2] = CreateRGB(0, 255, 0);    // hue 120
  Row(b, 0)[3] = CreateRGB(200, 100, 50);
  TBitmap orig;
  orig.Assign(&b);
  const auto expect = [&](int32_t dh, int32_t ds, int32_t dv, const char* what) {
    TBitmap t;
    t.Assign(&orig);
    AdjustHSV(t, dh, ds, dv, 0, 0, 4, 1, nullptr, kNoProgress);
    for (int32_t x = 0; x < 4; ++x) {
      int32_t h, s, v;
      RGBToHSV(PackedColour(At(orig, x, 0)), h, s, v);
      TBGRPixel want;
      HSVToRGB(want, ((h + dh) % 360 + 360) % 360, s + ds, v + dv);
      EXPECT_EQ(At(t, x, 0), want) << what << " pixel " << x;
    }
  };
  expect(90, 0, 0, "hue 300 + 90 goes round to 30");
  expect(-30, 0, 0, "hue 0 - 30 goes round to 330");
  expect(370, 0, 0, "370 is the same turn as 10");
  expect(0, 50, -20, "saturation and value clamp");

  TBitmap t;
  t.Assign(&orig);
  AdjustHSV(t, 90, 0, 0, 0, 0, 4, 1, nullptr, kNoProgress);
  EXPECT_EQ(At(t, 1, 0), CreateRGB(255, 129, 0));  // hue 30, not stuck at 359

  t.Assign(&orig);
  AdjustHSV(t, 0, -200, 0, 0, 0, 4, 1, nullptr, kNoProgress);
  for (int32_t x = 0; x < 4; ++x) EXPECT_TRUE(At(t, x, 0).r == At(t, x, 0).g && At(t, x, 0).g == At(t, x, 0).b) << x;
}

// The integer HSV round trip moves most colours a little: shifts that change
// nothing must not run it.
TEST(ColourKernels, AdjustHSVWithoutChangeLeavesThePictureAlone) {
  TBitmap b;
  MakePicture(b, 16, 16);
  TBitmap orig;
  orig.Assign(&b);
  TBitmap probe;
  probe.Assign(&b);
  AdjustHSV(probe, 0, 0, 1, 0, 0, 16, 16, nullptr, kNoProgress);
  AdjustHSV(probe, 0, 0, -1, 0, 0, 16, 16, nullptr, kNoProgress);
  ASSERT_NE(PixelBytes(probe), PixelBytes(orig)) << "the fixture should expose the lossy round trip";

  int calls = 0;
  const TIMProgressEvent count = [&](TObject*, int32_t) { ++calls; };
  AdjustHSV(b, 0, 0, 0, 0, 0, 16, 16, nullptr, count);
  AdjustHSV(b, 360, 0, 0, 0, 0, 16, 16, nullptr, count);
  AdjustHSV(b, -720, 0, 0, 0, 0, 16, 16, nullptr, count);
  EXPECT_EQ(PixelBytes(b), PixelBytes(orig));
  EXPECT_EQ(calls, 0);
}

TEST(ColourKernels, ProgressPerRow) {
  TBitmap b;
  MakePicture(b, 5, 14);
  TObject sender;
  std::vector<int32_t> seen;
  const TIMProgressEvent record = [&](TObject* s, int32_t per) {
    EXPECT_EQ(s, &sender);
    seen.push_back(per);
  };
  // Rows 2..11: trunc(k * (100 / 9.5)), held at 100 after the last row (105 unclamped).
  const std::vector<int32_t> rect = {10, 21, 31, 42, 52, 63, 73, 84, 94, 100};
  for (const NamedKernel& k : kKernels) {
    seen.clear();
    k.Run(b, 1, 2, 4, 12, &sender, record);
    EXPECT_EQ(seen, rect) << k.Name;
  }
  seen.clear();
  TBitmap one(20, 14, pf1bit);
  Negative(one, 3, 2, 9, 12, &sender, record);
  EXPECT_EQ(seen, rect);
  EXPECT_EQ(RectProgressValue(11, 2, 11), 100);
  EXPECT_EQ(RectProgressValue(10, 2, 11), 94);
  EXPECT_EQ(RectProgressValue(0, 0, 0), 100);  // one row: 200 unclamped

  // Whole-bitmap conversion: 100 / (height + 0.5) a row stays below 100.
  seen.clear();
  TBitmap w;
  MakePicture(w, 5, 10);
  TProgressRec rec;
  rec.OnProgress = record;
  rec.Sender = &sender;
  ConvertTo1BitThreshold(w, 128, rec);
  EXPECT_EQ(seen, (std::vector<int32_t>{9, 19, 28, 38, 47, 57, 66, 76, 85, 95}));
  // (row + 1) * 100 / (height + 0.5), divided last: a precomputed step gives 39 and 79 here.
  seen.clear();
  MakePicture(w, 2, 192);
  ConvertTo1BitThreshold(w, 128, rec);
  ASSERT_EQ(seen.size(), 192u);
  EXPECT_EQ(seen[76], 40);
  EXPECT_EQ(seen[153], 80);
  EXPECT_EQ(seen.back(), 99);
}

TEST(ColourKernels, ConvertTo1BitThreshold) {
  TBitmap b;
  MakePicture(b, 19, 7);
  TBitmap orig;
  orig.Assign(&b);
  TProgressRec rec;
  ConvertTo1BitThreshold(b, 0, rec);
  ASSERT_EQ(b.PixelFormat(), pf1bit);
  ASSERT_EQ(b.Width(), 19);
  ASSERT_EQ(b.Height(), 7);
  EXPECT_TRUE(b.Monochrome());
  for (int32_t y = 0; y < 7; ++y)
    for (int32_t x = 0; x < 19; ++x) EXPECT_TRUE(GetBit(static_cast<const uint8_t*>(b.ScanLine(y)), x));

  for (int32_t t : {1, 90, 128, 200, 253}) {
    b.Assign(&orig);
    ConvertTo1BitThreshold(b, t, rec);
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 19; ++x)
        ASSERT_EQ(GetBit(static_cast<const uint8_t*>(b.ScanLine(y)), x), GrayLevel(At(orig, x, y)) >= t)
            << t << " at " << x << ',' << y;
  }

  // -1 takes the gray of the mean colour: half black, half white has means 127, gray 125.
  Fill(b, 4, 2, CreateRGB(0, 0, 0));
  Row(b, 1)[0] = Row(b, 1)[1] = Row(b, 1)[2] = Row(b, 1)[3] = CreateRGB(255, 255, 255);
  Row(b, 0)[3] = CreateRGB(126, 126, 127);  // gray 124: below
  Row(b, 1)[3] = CreateRGB(128, 128, 128);  // gray 126: above
  int32_t r, g, bl;
  GetAverageRGB(b, r, g, bl);
  ASSERT_EQ(GrayLevel(uint8_t(r), uint8_t(g), uint8_t(bl)), 125);
  ConvertTo1BitThreshold(b, -1, rec);
  const uint8_t* r0 = static_cast<const uint8_t*>(b.ScanLine(0));
  const uint8_t* r1 = static_cast<const uint8_t*>(b.ScanLine(1));
  EXPECT_EQ(r0[0] & 0xF0, 0x00);
  EXPECT_EQ(r1[0] & 0xF0, 0xF0);
}

TEST(ColourKernels, CountHistogramAndColors) {
  TBitmap b;
  Fill(b, 6, 4, CreateRGB(10, 20, 30));
  Row(b, 1)[1] = CreateRGB(255, 255, 255);
  Row(b, 2)[4] = CreateRGB(10, 20, 31);
  Row(b, 3)[5] = CreateRGB(0, 0, 0);  // outside the rectangle below

  TIMHistogram h;
  h[7].Red = 99;  // cleared first
  CountHistogram(b, h, 0, 0, 6, 3);
  EXPECT_EQ(h[10].Red, 17);
  EXPECT_EQ(h[255].Red, 1);
  EXPECT_EQ(h[20].Green, 17);
  EXPECT_EQ(h[30].Blue, 16);
  EXPECT_EQ(h[31].Blue, 1);
  EXPECT_EQ(h[18].Gray, 17);  // (210 + 1420 + 210) div 100, and 217 for blue 31 is still 18
  EXPECT_EQ(h[252].Gray, 1);
  EXPECT_EQ(h[7].Red, 0);
  int64_t total = 0;
  for (const TIMHistogramItem& i : h) total += i.Gray;
  EXPECT_EQ(total, 18);

  EXPECT_EQ(CountColors(b, 0, 0, 6, 4), 4);
  EXPECT_EQ(CountColors(b, 0, 0, 6, 3), 3);
  EXPECT_EQ(CountColors(b, 2, 0, 4, 4), 1);
  EXPECT_EQ(CountColors(b, 3, 3, 3, 4), 0);

  // More colours than buckets: chains must count each key once.
  TBitmap many;
  Fill(many, 128, 128, CreateRGB(0, 0, 0));
  std::set<uint32_t> keys;
  for (int32_t y = 0; y < 128; ++y)
    for (int32_t x = 0; x < 128; ++x) {
      Row(many, y)[x] = CreateRGB(uint8_t(x * 2), uint8_t(y * 2), uint8_t((x ^ y) & 3));
      keys.insert(PackedColour(Row(many, y)[x]));
    }
  EXPECT_EQ(CountColors(many, 0, 0, 128, 128), int32_t(keys.size()));
}

TEST(ColourKernels, EqualizeEndsOnTinyPictures) {
  for (int32_t w : {1, 2, 3, 15}) {
    TBitmap b;
    MakePicture(b, w, 17);  // 17 to 255 pixels: a quota of 0 without the floor of 1
    Equalize(b, 0, 0, w, 17, nullptr, kNoProgress);
    SUCCEED();
  }
  // With a quota of 1 the darkest level starts at 0 and every pixel above it moves up one level.
  TBitmap b;
  Fill(b, 2, 1, CreateRGB(0, 0, 0));
  Row(b, 0)[1] = CreateRGB(255, 255, 255);
  Equalize(b, 0, 0, 2, 1, nullptr, kNoProgress);
  EXPECT_EQ(At(b, 0, 0), CreateRGB(0, 0, 0));
  EXPECT_EQ(At(b, 1, 0), CreateRGB(1, 1, 1));
}

// A flat picture spreads over the whole range at its one level, and its
// neighbourhood mean is the colour itself, so it stays as it is.
TEST(ColourKernels, EqualizeKeepsFlatPicturesAndSpreadsRamps) {
  for (uint8_t v : {0, 77, 200, 255}) {
    TBitmap b;
    Fill(b, 32, 16, CreateRGB(v, uint8_t(v / 2), 9));
    const std::vector<uint8_t> before = PixelBytes(b);
    Equalize(b, 0, 0, 32, 16, nullptr, kNoProgress);
    EXPECT_EQ(PixelBytes(b), before) << int(v);
  }
  // A dark ramp (levels 0..63, one column each) is stretched to the full range.
  TBitmap ramp;
  Fill(ramp, 64, 64, CreateRGB(0, 0, 0));
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 64; ++x) Row(ramp, y)[x] = CreateRGB(0, uint8_t(x * 100 / 71 + 1), 0);
  Equalize(ramp, 0, 0, 64, 64, nullptr, kNoProgress);
  EXPECT_LT(At(ramp, 0, 10).g, 8);
  EXPECT_GT(At(ramp, 63, 10).g, 240);
  for (int32_t x = 1; x < 64; ++x) EXPECT_GE(At(ramp, x, 10).g, At(ramp, x - 1, 10).g) << x;
}

// ---- Negative against ImageMagick ----

bool HaveImageMagick() { return test::HaveTool("convert"); }

TEST(ColourKernels, NegativeMatchesImageMagick24) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  const test::TScratchFolder folder("neg");
  const std::string& dir = folder.Path();
  ASSERT_FALSE(dir.empty());
  TBitmap b;
  MakePicture(b, 37, 23);  // 111 bytes a row: padding that must not leak into the picture
  test::WritePnm(dir + "/in.ppm", b);
  ASSERT_EQ(test::Run("convert '" + dir + "/in.ppm' -negate -depth 8 '" + dir + "/out.ppm'"), 0);

  Negative(b, 0, 0, 37, 23, nullptr, kNoProgress);
  const std::string out = test::ReadText(dir + "/out.ppm");
  test::TPnmHeader head;
  ASSERT_TRUE(test::ParsePnmHeader(out, head));
  ASSERT_EQ(head.Magic, "P6");
  ASSERT_EQ(head.Width, 37);
  ASSERT_EQ(head.Height, 23);
  const size_t pos = head.Raster;
  ASSERT_EQ(out.size() - pos, size_t(37 * 23 * 3));
  for (int32_t y = 0; y < 23; ++y)
    for (int32_t x = 0; x < 37; ++x) {
      const size_t i = pos + size_t(y * 37 + x) * 3;
      ASSERT_EQ(At(b, x, y), CreateRGB(uint8_t(out[i]), uint8_t(out[i + 1]), uint8_t(out[i + 2])))
          << x << ',' << y;
    }
}

TEST(ColourKernels, NegativeMatchesImageMagick1Bit) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  const test::TScratchFolder folder("neg");
  const std::string& dir = folder.Path();
  ASSERT_FALSE(dir.empty());
  const int32_t w = 29, h = 9;
  TBitmap b(w, h, pf1bit);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) SetBit(static_cast<uint8_t*>(b.ScanLine(y)), x, (x * 7 + y * 3) % 5 < 2);
  const int32_t pbmRow = (w + 7) / 8;
  test::WritePnm(dir + "/in.pbm", b);
  ASSERT_EQ(test::Run("convert '" + dir + "/in.pbm' -negate '" + dir + "/out.pbm'"), 0);

  // The padding bits of our rows must survive untouched.
  const uint8_t lastByteBefore = static_cast<const uint8_t*>(b.ScanLine(0))[3];
  Negative(b, 0, 0, w, h, nullptr, kNoProgress);
  EXPECT_EQ(static_cast<const uint8_t*>(b.ScanLine(0))[3] & 0x07, lastByteBefore & 0x07);

  const std::string out = test::ReadText(dir + "/out.pbm");
  test::TPnmHeader head;
  ASSERT_TRUE(test::ParsePnmHeader(out, head));
  ASSERT_EQ(head.Magic, "P4");
  ASSERT_EQ(head.Width, w);
  ASSERT_EQ(head.Height, h);
  const size_t pos = head.Raster;
  ASSERT_EQ(out.size() - pos, size_t(pbmRow * h));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const bool black = (uint8_t(out[pos + size_t(y * pbmRow + (x >> 3))]) & kBitMask[x & 7]) != 0;
      ASSERT_EQ(GetBit(static_cast<const uint8_t*>(b.ScanLine(y)), x), !black) << x << ',' << y;
    }
}

// Columns 3..12 of a 1-bit row straddle two byte boundaries.
TEST(ColourKernels, Negative1BitRectangle) {
  TBitmap b(20, 4, pf1bit);
  for (int32_t y = 0; y < 4; ++y) std::memset(b.ScanLine(y), y & 1 ? 0xFF : 0x00, size_t(b.RowBytes()));
  Negative(b, 3, 1, 13, 3, nullptr, kNoProgress);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 20; ++x) {
      const bool inside = x >= 3 && x < 13 && y >= 1 && y < 3;
      EXPECT_EQ(GetBit(static_cast<const uint8_t*>(b.ScanLine(y)), x), bool(y & 1) != inside) << x << ',' << y;
    }
  Negative(b, 5, 0, 6, 1, nullptr, kNoProgress);  // a single bit
  EXPECT_EQ(static_cast<const uint8_t*>(b.ScanLine(0))[0], 0x04);
}

}  // namespace
}  // namespace kv
