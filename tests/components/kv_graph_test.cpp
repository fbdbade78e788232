// Bitmap files in memory, the palette reductions and the HLS conversions.
#include <gtest/gtest.h>

#include <set>

#include "components/graphics/kv_graph.h"
#include "components/graphics/rr_colors.h"
#include "platform/rtl/exceptions.h"
#include "support/bitmap_patterns.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::Make24;

uint32_t U32At(const TMemoryStream& S, int64_t Off) {
  const uint8_t* p = static_cast<const uint8_t*>(S.Memory()) + Off;
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t BitCount(const TMemoryStream& S) { return uint16_t(U32At(S, 28) & 0xFFFF); }

std::unique_ptr<TBitmap> Load(TMemoryStream& S) {
  auto b = std::make_unique<TBitmap>();
  S.SetPosition(0);
  b->LoadFromStream(S);
  return b;
}

std::unique_ptr<TBitmap> Gradient(int32_t W, int32_t H) {
  return Make24(W, H, [](int32_t x, int32_t y) {
    return TBGRPixel{uint8_t(x * 7), uint8_t(y * 11), uint8_t((x + y) * 3)};
  });
}

TEST(KvGraph, SizeFormulas) {
  EXPECT_EQ(RowBytes(1), 4);
  EXPECT_EQ(RowBytes(32), 4);
  EXPECT_EQ(RowBytes(33), 8);
  EXPECT_EQ(ScanLineBytes(3, 24, 32), 12);
  EXPECT_EQ(ScanLineBytes(9, 1, 8), 2);
  EXPECT_EQ(ScanLineBytes(5, 4, 16), 4);
  EXPECT_EQ(FormatColors(pf1bit), 2);
  EXPECT_EQ(FormatColors(pf4bit), 16);
  EXPECT_EQ(FormatColors(pf8bit), 256);
  EXPECT_EQ(FormatColors(pf24bit), 0);
}

TEST(KvGraph, FileHeadersAndTargets) {
  auto src = Gradient(13, 7);
  struct Case { int32_t Colors; uint16_t Bits; };
  for (Case c : {Case{2, 1}, Case{16, 4}, Case{17, 8}, Case{256, 8}, Case{300, 24}}) {
    auto s = ReduceToColors(*src, c.Colors);
    ASSERT_EQ(s->Position(), 0);
    EXPECT_EQ(BitCount(*s), c.Bits) << c.Colors;
    const uint8_t* p = static_cast<const uint8_t*>(s->Memory());
    EXPECT_EQ(p[0], 'B');
    EXPECT_EQ(p[1], 'M');
    EXPECT_EQ(U32At(*s, 2), uint32_t(s->Size()));
    const uint32_t info = c.Bits <= 8 ? 40 + 4 * (1u << c.Bits) : 40;
    EXPECT_EQ(U32At(*s, 10), 14 + info) << c.Colors;
    auto b = Load(*s);
    EXPECT_EQ(b->Width(), 13);
    EXPECT_EQ(b->Height(), 7);
  }
  EXPECT_THROW(BitmapToDIBStream(TBitmap(), pf8bit, crHistogram), EInvalidGraphic);
  EXPECT_THROW(BitmapToDIBStream(*src, pf16bit, crHistogram), EInvalidGraphicOperation);
}

// Each method's palette and pixel mapping on colours whose answer is known.
TEST(KvGraph, FixedPaletteMethods) {
  auto src = Make24(6, 2, [](int32_t x, int32_t y) {
    static const TBGRPixel c[6] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {26, 100, 200}, {255, 255, 255}, {0, 0, 0}};
    return y == 0 ? c[x] : TBGRPixel{uint8_t(40 * x), uint8_t(40 * x), uint8_t(40 * x)};
  });
  struct Case { TColorReduction M; uint32_t Used; };
  for (Case c : {Case{crTrunc666, 216}, Case{crTrunc784, 224}, Case{crTripel, 0}, Case{crGrayscale, 0}}) {
    TReducedPixels r;
    ReducePixels(*src, c.M, r);
    EXPECT_EQ(r.ColorsUsed, c.Used) << int(c.M);
    for (int32_t x = 0; x < 6; ++x) {
      const TBGRPixel p = static_cast<const TBGRPixel*>(src->ScanLine(0))[x];
      const uint8_t i = r.Indexes[size_t(x)];
      if (c.M == crTrunc666) {
        // 200 lies nearer 204 than 153, 100 nearer 102, 26 nearer 51 than 0.
        if (x == 3) {
          EXPECT_EQ(i, 36 * 4 + 6 * 2 + 1);
        }
        EXPECT_EQ(r.Palette[i].peRed, p.r >= 128 ? (x == 3 ? 204 : 255) : 0) << x;
      } else if (c.M == crTrunc784) {
        if (x == 3) {
          EXPECT_EQ(i, 32 * 5 + 4 * 3 + 0);  // 200 -> 213 (5), 100 -> 109 (3), 26 -> 0
        }
      } else if (c.M == crTripel) {
        const int32_t k = x % 3;  // (x + 0) mod 3 on row 0
        const uint8_t v = k == 0 ? p.r : k == 1 ? p.g : p.b;
        EXPECT_EQ(i, (v >> 2) + 64 * k) << x;
      } else {
        EXPECT_EQ(i, (77 * p.r + 150 * p.g + 29 * p.b) >> 8) << x;
      }
    }
  }
  TReducedPixels r;
  ReducePixels(*src, crTrunc666, r);
  EXPECT_EQ(r.Palette[216].peRed, 128);
  EXPECT_EQ(r.Palette[36 * 5 + 6 * 1 + 2].peGreen, 51);
}

TEST(KvGraph, GrayscaleConvertsEvenAnEightBitBitmap) {
  TBitmap b(4, 4, pf8bit);
  b.SetPixelColor(1, 1, TColor(RGB(255, 0, 0)));
  auto s = BitmapToDIBStream(b, pf8bit, crGrayscale);
  auto g = Load(*s);
  ASSERT_EQ(g->PixelFormat(), pf8bit);
  for (int32_t i = 0; i < 256; i += 51) EXPECT_EQ(g->Palette()[size_t(i)], (TPaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 0}));
  EXPECT_EQ(static_cast<const uint8_t*>(g->ScanLine(1))[1], (77 * 255) >> 8);
}

TEST(KvGraph, HistogramKeepsFrequentColoursAndDropsBlueFirst) {
  // Few colours: each survives exactly, the most frequent first.
  auto few = Make24(10, 10, [](int32_t x, int32_t) { return x < 7 ? TBGRPixel{1, 2, 3} : TBGRPixel{200, 100, 50}; });
  TReducedPixels r;
  ReducePixels(*few, crHistogram, r);
  EXPECT_EQ(r.Palette[0], (TPaletteEntry{3, 2, 1, 0}));
  EXPECT_EQ(r.Palette[1], (TPaletteEntry{50, 100, 200, 0}));
  EXPECT_EQ(r.Palette[2], (TPaletteEntry{128, 128, 128, 0}));
  EXPECT_EQ(r.Indexes[9], 1);

  // 3000 distinct colours overflow the table: blue loses its lowest bit, the others keep theirs.
  auto many = Make24(60, 50, [](int32_t x, int32_t y) {
    const int32_t i = y * 60 + x;
    return TBGRPixel{uint8_t(i & 0xFF), uint8_t(i >> 8), uint8_t(7)};
  });
  ReducePixels(*many, crHistogram, r);
  bool oddGreen = false;
  for (const TPaletteEntry& e : r.Palette) {
    if (e == TPaletteEntry{128, 128, 128, 0}) continue;
    EXPECT_EQ(e.peBlue & 1, 0);
    oddGreen |= (e.peGreen & 1) != 0;
  }
  EXPECT_TRUE(oddGreen);
}

TEST(KvGraph, MedianCutSplitsIntoBoxes) {
  auto src = Gradient(64, 64);
  TReducedPixels r;
  ReducePixels(*src, crMedianCut, r);
  EXPECT_GT(r.ColorsUsed, 1u);
  EXPECT_LE(r.ColorsUsed, 256u);
  for (uint8_t i : r.Indexes) ASSERT_LT(i, r.ColorsUsed);
  // A two-colour picture gives two boxes whose colours are the cell values scaled.
  auto two = Make24(4, 1, [](int32_t x, int32_t) { return x < 2 ? TBGRPixel{0, 0, 0} : TBGRPixel{255, 255, 255}; });
  ReducePixels(*two, crMedianCut, r);
  EXPECT_EQ(r.ColorsUsed, 2u);
  EXPECT_EQ(r.Palette[r.Indexes[0]], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(r.Palette[r.Indexes[3]], (TPaletteEntry{255, 255, 255, 0}));
}

TEST(KvGraph, OutsideToolReadsTheReducedFile) {
  if (!test::HaveTool("identify")) GTEST_SKIP() << "ImageMagick missing";
  auto src = Gradient(31, 17);
  for (TColorReduction m : {crHistogram, crMedianCut, crTrunc784, crTrunc666, crTripel, crGrayscale}) {
    auto s = BitmapToDIBStream(*src, pf8bit, m);
    const std::string path = test::TempPath("kvgraph_" + std::to_string(int(m)) + ".bmp");
    s->SaveToFile(path);
    EXPECT_EQ(test::RunCapture("identify -format '%w %h %z' " + path + " 2>&1"), "31 17 8") << int(m);
  }
}

TEST(RrColors, HlsConversions) {
  const THLS grey = RGBToHLS(TColor(RGB(90, 90, 90)));
  EXPECT_EQ(grey.Hue, 160);
  EXPECT_EQ(grey.Saturation, 0);
  const THLS red = RGBToHLS(TColor(RGB(255, 0, 0)));
  EXPECT_EQ(red.Hue, 0);
  EXPECT_EQ(red.Luminance, 120);
  EXPECT_EQ(red.Saturation, 240);
  EXPECT_EQ(RGBToHLS(TColor(RGB(0, 255, 0))).Hue, 80);
  EXPECT_EQ(RGBToHLS(TColor(RGB(0, 0, 255))).Hue, 160);
  EXPECT_EQ(HLSToRGB(0, 120, 240), TColor(RGB(255, 0, 0)));
  EXPECT_EQ(HLSToRGB(80, 120, 240), TColor(RGB(0, 255, 0)));
  EXPECT_EQ(HLSToRGB(0, 240, 0), TColor(RGB(255, 255, 255)));
  // Round trips stay within the scale's rounding.
  for (TColorRef c : {RGB(12, 200, 99), RGB(250, 240, 1), RGB(128, 64, 200)}) {
    const THLS h = RGBToHLS(TColor(c));
    const TColorRef back = TColorRef(HLSToRGB(h.Hue, h.Luminance, h.Saturation));
    EXPECT_NEAR(GetRValue(back), GetRValue(c), 6);
    EXPECT_NEAR(GetGValue(back), GetGValue(c), 6);
    EXPECT_NEAR(GetBValue(back), GetBValue(c), 6);
  }
}

TEST(RrColors, ColorTableAndGdiErrors) {
  TBitmap b(2, 2, pf8bit);
  const TColor cols[3] = {clRed, clLime, clBlue};
  SetBitmapColorTable(b, cols, 2, 1);
  EXPECT_EQ(b.Palette()[1], (TPaletteEntry{0, 255, 0, 0}));
  EXPECT_EQ(b.Palette()[2], (TPaletteEntry{0, 0, 255, 0}));
  TBitmap t(2, 2, pf24bit);
  EXPECT_THROW(SetBitmapColorTable(t, cols, 2), EOutOfResources);
  EXPECT_EQ(CheckGDI(5), 5);
  errno = 0;
  try {
    CheckGDI(0);
    FAIL();
  } catch (const EOutOfResources& e) {
    EXPECT_EQ(e.Message(), SOutOfResources);
  }
  errno = ENOMEM;
  EXPECT_THROW(RaiseGDIError(), EOutOfResources);
}

}  // namespace
}  // namespace kv
