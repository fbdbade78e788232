#include "platform/graphics/bitmap.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

const TPixelFormat kAllFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};

using test::RunCapture;
using test::TempPath;

bool HaveImageMagick() { return test::HaveTool("convert") && test::HaveTool("identify"); }

// Pixels as ImageMagick reads them: (x, y) -> 0xRRGGBB.
std::map<std::pair<int, int>, uint32_t> MagickPixels(const std::string& File) {
  std::map<std::pair<int, int>, uint32_t> px;
  const std::string txt = RunCapture("convert '" + File + "' -depth 8 txt:- 2>/dev/null");
  size_t pos = 0;
  while (pos < txt.size()) {
    const size_t eol = txt.find('\n', pos);
    const std::string line = txt.substr(pos, eol == std::string::npos ? std::string::npos : eol - pos);
    pos = eol == std::string::npos ? txt.size() : eol + 1;
    int x, y;
    const size_t hash = line.find('#');
    if (line.empty() || line[0] == '#' || hash == std::string::npos || std::sscanf(line.c_str(), "%d,%d:", &x, &y) != 2)
      continue;
    px[{x, y}] = uint32_t(std::strtoul(line.substr(hash + 1, 6).c_str(), nullptr, 16));
  }
  return px;
}

uint32_t AsRRGGBB(TColor C) {
  const TColorRef c = ColorToRGB(C);
  return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}

// A small picture of palette colours that every format can hold exactly (black and white for 1 bit).
void PaintTestPattern(TBitmap& B) {
  const TColor colours[] = {clBlack, clWhite, clRed, clLime, clBlue, clYellow, clFuchsia, clAqua};
  const bool mono = B.PixelFormat() == pf1bit;
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x) B.SetPixelColor(x, y, mono ? colours[(x + 2 * y) % 2] : colours[(x + 3 * y) % 8]);
}

TEST(Bitmap, RowsArePaddedToFourBytes) {
  for (TPixelFormat f : kAllFormats)
    for (int32_t w : {1, 2, 3, 5, 7, 8, 9, 31, 33}) {
      TBitmap b(w, 3, f);
      EXPECT_EQ(b.RowBytes(), (w * PixelFormatBits(f) + 31) / 32 * 4) << int(f) << " " << w;
      EXPECT_EQ(static_cast<uint8_t*>(b.ScanLine(1)) - static_cast<uint8_t*>(b.ScanLine(0)), b.RowBytes());
    }
  TBitmap b(4, 4);
  EXPECT_THROW(b.ScanLine(4), EInvalidGraphicOperation);
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
  EXPECT_THROW(b.SetSize(-1, 5), EInvalidGraphicOperation);
  EXPECT_THROW(b.SetSize(INT32_MAX, INT32_MAX), EOutOfResources);  // refused before allocating
  EXPECT_EQ(b.Width(), 4);
}

TEST(Bitmap, ResizeKeepsTopLeftAndFillsWithBrushColour) {
  for (TPixelFormat f : kAllFormats) {
    TBitmap b(3, 2, f);
    b.Canvas().Brush().SetColor(clBlack);
    b.Canvas().FillRect(Rect(0, 0, 3, 2));
    b.SetPixelColor(2, 1, clWhite);
    b.Canvas().Brush().SetColor(f == pf1bit ? clWhite : clBlue);
    b.SetSize(5, 4);
    EXPECT_EQ(b.GetPixelColor(0, 0), clBlack) << int(f);
    EXPECT_EQ(b.GetPixelColor(2, 1), clWhite) << int(f);
    const TColor fill = f == pf1bit ? clWhite : clBlue;
    EXPECT_EQ(b.GetPixelColor(3, 0), fill) << int(f);
    EXPECT_EQ(b.GetPixelColor(0, 2), fill) << int(f);
    EXPECT_EQ(b.GetPixelColor(4, 3), fill) << int(f);
    b.SetSize(2, 1);  // shrinking keeps the corner too
    EXPECT_EQ(b.GetPixelColor(1, 0), clBlack) << int(f);
  }
}

TEST(Bitmap, FormatChangesConvertPixels) {
  TBitmap b(8, 4, pf24bit);
  PaintTestPattern(b);
  TBitmap ref;
  ref.Assign(&b);
  for (TPixelFormat f : {pf4bit, pf8bit, pf32bit}) {  // the pattern's colours are in every default palette
    b.SetPixelFormat(f);
    b.SetPixelFormat(pf24bit);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(b.GetPixelColor(x, y), ref.GetPixelColor(x, y)) << int(f) << " " << x << "," << y;
  }
  // Every entry of the 8-bit default palette survives 24 -> 8 -> 24 exactly.
  const std::vector<TPaletteEntry> pal = DefaultPalette(pf8bit);
  ASSERT_EQ(pal.size(), 256u);
  TBitmap all(256, 1, pf24bit);
  for (int32_t i = 0; i < 256; ++i) all.SetPixelColor(i, 0, TColor(RGB(pal[i].peRed, pal[i].peGreen, pal[i].peBlue)));
  all.SetPixelFormat(pf8bit);
  all.SetPixelFormat(pf24bit);
  for (int32_t i = 0; i < 256; ++i)
    EXPECT_EQ(all.GetPixelColor(i, 0), TColor(RGB(pal[i].peRed, pal[i].peGreen, pal[i].peBlue))) << i;
  // To 1 bit: nearest of black and white.
  TBitmap g(2, 1, pf24bit);
  g.SetPixelColor(0, 0, TColor(RGB(40, 40, 40)));
  g.SetPixelColor(1, 0, TColor(RGB(200, 210, 190)));
  g.SetPixelFormat(pf1bit);
  EXPECT_TRUE(g.Monochrome());
  EXPECT_EQ(g.GetPixelColor(0, 0), clBlack);
  EXPECT_EQ(g.GetPixelColor(1, 0), clWhite);
}

TEST(Bitmap, SixteenBitPacking) {
  struct Case {
    TPixelFormat Format;
    TColor In;
    uint16_t Word;
    TColor Out;
  };
  const Case cases[] = {
      {pf15bit, clWhite, 0x7FFF, clWhite},  // full scale stays full scale
      {pf15bit, clRed, 0x7C00, clRed},
      {pf15bit, TColor(RGB(0, 255, 0)), 0x03E0, TColor(RGB(0, 255, 0))},
      {pf15bit, TColor(RGB(8, 16, 24)), (1 << 10) | (2 << 5) | 3, TColor(RGB(8, 16, 24))},
      {pf16bit, clWhite, 0xFFFF, clWhite},
      {pf16bit, clRed, 0xF800, clRed},
      {pf16bit, TColor(RGB(0, 255, 0)), 0x07E0, TColor(RGB(0, 255, 0))},
      {pf16bit, TColor(RGB(0, 4, 255)), (1 << 5) | 31, TColor(RGB(0, 4, 255))},
  };
  for (const Case& c : cases) {
    TBitmap b(2, 1, c.Format);
    b.SetPixelColor(1, 0, c.In);
    const uint8_t* p = static_cast<const uint8_t*>(b.ScanLine(0)) + 2;
    EXPECT_EQ(uint16_t(p[0] | (p[1] << 8)), c.Word) << int(c.Format) << " " << std::hex << c.In;
    EXPECT_EQ(b.GetPixelColor(1, 0), c.Out) << int(c.Format) << " " << std::hex << c.In;
  }
}

TEST(Bitmap, MonochromeAssignAndPalette) {
  TBitmap b(4, 1, pf1bit);
  const TPaletteEntry redBlue[2] = {{255, 0, 0, 0}, {0, 0, 255, 0}};
  EXPECT_EQ(b.SetPaletteEntries(0, 2, redBlue), 2);
  EXPECT_EQ(b.SetPaletteEntries(1, 5, redBlue), 1);  // a 1-bit palette has two entries
  EXPECT_EQ(b.SetPaletteEntries(0, 2, redBlue), 2);
  b.SetPixelColor(1, 0, clBlue);
  EXPECT_FALSE(b.Monochrome());
  b.SetMonochrome(true);  // the colours convert: red is nearer black, pure blue too
  EXPECT_TRUE(b.Monochrome());
  EXPECT_EQ(b.GetPixelColor(0, 0), clBlack);

  TBitmap c;
  c.Assign(&b);
  EXPECT_EQ(c.Width(), 4);
  EXPECT_TRUE(c.Monochrome());
  c.SetPixelColor(0, 0, clWhite);
  EXPECT_EQ(b.GetPixelColor(0, 0), clBlack);  // a copy, not a share
  c.Assign(nullptr);
  EXPECT_TRUE(c.Empty());
  b.FreeImage();  // the picture is the only copy and stays
  b.Dormant();
  EXPECT_EQ(b.Width(), 4);
  EXPECT_EQ(b.HandleType(), bmDIB);
}

// Whole rows are compared and saved, so rows left for the caller to fill must
// still have defined padding, down to the unused bits of a partly used byte.
TEST(Bitmap, AllocateForOverwriteClearsOnlyThePadding) {
  struct Case {
    int32_t Width;
    TPixelFormat Format;
    int32_t UsedBytes;  // bytes that hold whole pixels
  };
  for (const Case& c : {Case{5, pf24bit, 15}, Case{13, pf1bit, 1}, Case{3, pf4bit, 1}, Case{7, pf8bit, 7}}) {
    TBitmap b(2, 2, pf32bit);
    b.AllocateForOverwrite(c.Width, 3, c.Format);
    ASSERT_EQ(b.Width(), c.Width);
    ASSERT_EQ(b.Height(), 3);
    ASSERT_EQ(b.PixelFormat(), c.Format);
    for (int32_t y = 0; y < 3; ++y) {
      const auto* row = static_cast<const uint8_t*>(b.ScanLine(y));
      for (int32_t i = c.UsedBytes; i < b.RowBytes(); ++i) EXPECT_EQ(row[i], 0) << c.Width << ' ' << y << ' ' << i;
    }
  }
}

// The block itself changes hands (no copy), with everything Assign would
// copy; the source keeps its format and palette and can be sized again.
TEST(Bitmap, TakeOverMovesThePixelsAndEmptiesTheSource) {
  TBitmap src(5, 3, pf8bit);
  const TPaletteEntry green{0, 200, 0, 0};
  ASSERT_EQ(src.SetPaletteEntries(7, 1, &green), 1);
  static_cast<uint8_t*>(src.ScanLine(2))[4] = 7;
  src.SetTransparentColor(clLime);
  const uint8_t* block = src.Bits();
  TBitmap dst(2, 2, pf24bit);
  int srcChanges = 0, dstChanges = 0;
  src.OnChange = [&](TObject*) { ++srcChanges; };
  dst.OnChange = [&](TObject*) { ++dstChanges; };
  dst.TakeOver(src);
  EXPECT_EQ(dst.Bits(), block);
  EXPECT_EQ(dst.Width(), 5);
  EXPECT_EQ(dst.Height(), 3);
  EXPECT_EQ(dst.RowBytes(), 8);
  EXPECT_EQ(dst.PixelFormat(), pf8bit);
  EXPECT_EQ(dst.Palette()[7], green);
  EXPECT_EQ(static_cast<const uint8_t*>(dst.ScanLine(2))[4], 7);
  EXPECT_EQ(dst.GetPixelColor(4, 2), static_cast<TColor>(0x00C800));  // 0x00BBGGRR
  EXPECT_EQ(dst.TransparentMode(), tmFixed);
  EXPECT_EQ(dst.TransparentColor(), clLime);
  EXPECT_TRUE(src.Empty());
  EXPECT_EQ(src.Bits(), nullptr);
  EXPECT_EQ(src.RowBytes(), 0);
  EXPECT_EQ(src.PixelFormat(), pf8bit);
  EXPECT_EQ(src.Palette(), dst.Palette());
  EXPECT_EQ(srcChanges, 1);
  EXPECT_EQ(dstChanges, 1);
  src.SetSize(2, 2);
  EXPECT_EQ(src.RowBytes(), 4);
  EXPECT_NE(src.Bits(), block);
  dst.TakeOver(dst);  // taking over itself changes nothing
  EXPECT_EQ(dst.Bits(), block);
  EXPECT_EQ(dstChanges, 1);
}

TEST(Bitmap, TransparentColour) {
  TBitmap b(3, 3, pf24bit);
  b.SetPixelColor(0, 2, clRed);  // bottom-left
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.TransparentColor(), clRed);
  b.SetTransparentMode(tmFixed);  // fixes the colour in use now
  b.SetPixelColor(0, 2, clBlue);
  EXPECT_EQ(b.TransparentColor(), clRed);
  b.SetTransparentColor(clDefault);
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.TransparentColor(), clBlue);
  b.SetTransparentColor(clLime);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.TransparentColor(), clLime);
  TBitmap m(2, 2, pf1bit);
  EXPECT_EQ(m.TransparentColor(), clWhite);  // monochrome: always white
}

TEST(BitmapBmp, RoundTripEveryFormat) {
  for (TPixelFormat f : kAllFormats) {
    TBitmap b(13, 5, f);
    PaintTestPattern(b);
    TMemoryStream s;
    b.SaveToStream(s);
    EXPECT_EQ(s.Size(), 54 + (f == pf16bit ? 12 : 0) + b.PaletteCount() * 4 + b.RowBytes() * 5) << int(f);
    s.SetPosition(0);
    TBitmap r;
    r.LoadFromStream(s);
    EXPECT_EQ(s.Position(), s.Size());
    ASSERT_EQ(r.PixelFormat(), f);
    ASSERT_EQ(r.Width(), 13);
    ASSERT_EQ(r.Height(), 5);
    EXPECT_EQ(r.Palette(), b.Palette());
    for (int32_t y = 0; y < 5; ++y)
      EXPECT_EQ(std::memcmp(r.ScanLine(y), b.ScanLine(y), size_t(r.RowBytes())), 0) << int(f) << " row " << y;
  }
  TBitmap empty;
  TMemoryStream s;
  empty.SaveToStream(s);
  EXPECT_EQ(s.Size(), 0);
  TBitmap r(3, 3);
  r.LoadFromStream(s);  // nothing to read: empty
  EXPECT_TRUE(r.Empty());
}

TEST(BitmapBmp, ImageMagickReadsWhatWeWrite) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick not installed";
  for (TPixelFormat f : kAllFormats) {
    TBitmap b(11, 4, f);
    PaintTestPattern(b);
    const std::string file = TempPath("kv_bmp_out_" + std::to_string(int(f)) + ".bmp");
    b.SaveToFile(file);
    EXPECT_EQ(RunCapture("identify -format '%w %h' '" + file + "' 2>&1"), "11 4") << int(f);
    const auto px = MagickPixels(file);
    ASSERT_EQ(px.size(), 44u) << int(f);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 11; ++x)
        EXPECT_EQ(px.at({x, y}), AsRRGGBB(b.GetPixelColor(x, y))) << int(f) << " at " << x << "," << y;
  }
}

TEST(BitmapBmp, WeReadWhatImageMagickWrites) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick not installed";
  // A 6x3 picture: red, green, blue, white, black, yellow on every row, in
  // the plain 40-byte header (bmp3) and in the extended header (bmp).
  const std::string src = TempPath("kv_bmp_src.ppm");
  {
    FILE* f = std::fopen(src.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("P3\n6 3\n255\n", f);
    for (int y = 0; y < 3; ++y) std::fputs("255 0 0  0 255 0  0 0 255  255 255 255  0 0 0  255 255 0\n", f);
    std::fclose(f);
  }
  const TColor expected[6] = {clRed, clLime, clBlue, clWhite, clBlack, clYellow};
  struct Kind {
    const char* Options;
    const char* Coder;
  };
  for (const Kind k : {Kind{"", "bmp3"}, Kind{"", "bmp"}, Kind{"-type palette", "bmp3"},
                       Kind{"-define bmp:subtype=RGB565", "bmp"}, Kind{"-define bmp:subtype=RGB555", "bmp"}}) {
    const std::string kind = std::string(k.Options) + " " + k.Coder;
    const std::string out = TempPath("kv_bmp_in.bmp");
    ASSERT_EQ(test::Run("convert '" + src + "' " + k.Options + " " + k.Coder + ":'" + out + "' 2>/dev/null"), 0)
        << kind;
    TBitmap b;
    b.LoadFromFile(out);
    ASSERT_EQ(b.Width(), 6) << kind;
    ASSERT_EQ(b.Height(), 3) << kind;
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(b.GetPixelColor(x, y), expected[x]) << kind << " at " << x << "," << y;
  }
}

// A valid 2x2 24-bit file, for the corruption cases to start from.
std::vector<uint8_t> SmallBmp() {
  TBitmap b(2, 2, pf24bit);
  TMemoryStream s;
  b.SaveToStream(s);
  const uint8_t* p = static_cast<const uint8_t*>(s.Memory());
  return std::vector<uint8_t>(p, p + s.Size());
}

void Put32(std::vector<uint8_t>& D, size_t At, uint32_t V) {
  for (int i = 0; i < 4; ++i) D[At + i] = uint8_t(V >> (8 * i));
}

TEST(BitmapBmp, CorruptFilesAreRefusedAndLeaveTheBitmapAlone) {
  struct Case {
    const char* Name;
    void (*Break)(std::vector<uint8_t>&);
  };
  const Case cases[] = {
      {"truncated pixels", [](std::vector<uint8_t>& d) { d.resize(d.size() - 1); }},
      {"truncated header", [](std::vector<uint8_t>& d) { d.resize(30); }},
      {"huge width", [](std::vector<uint8_t>& d) { Put32(d, 18, 0x7FFFFFFF); }},
      {"huge height", [](std::vector<uint8_t>& d) { Put32(d, 22, 0x7FFFFFFF); }},
      {"min height", [](std::vector<uint8_t>& d) { Put32(d, 22, 0x80000000u); }},
      {"zero width", [](std::vector<uint8_t>& d) { Put32(d, 18, 0); }},
      {"not BM", [](std::vector<uint8_t>& d) { d[0] = 'X'; }},
      {"core header", [](std::vector<uint8_t>& d) { Put32(d, 14, 12); }},
      {"2 bits", [](std::vector<uint8_t>& d) { d[28] = 2; }},
      {"RLE8", [](std::vector<uint8_t>& d) { Put32(d, 30, 1); }},
      {"bitfields on 24 bits", [](std::vector<uint8_t>& d) { Put32(d, 30, 3); }},
      {"offset past the end", [](std::vector<uint8_t>& d) { Put32(d, 10, 0xFFFFFFF0u); }},
      {"offset into the header", [](std::vector<uint8_t>& d) { Put32(d, 10, 20); }},
      {"8 bits with 1000 colours", [](std::vector<uint8_t>& d) { d[28] = 8; Put32(d, 46, 1000); }},
      {"odd 16-bit masks", [](std::vector<uint8_t>& d) {
         d[28] = 16;
         Put32(d, 30, 3);
         Put32(d, 10, 66);
         d.insert(d.begin() + 54, 12, 0);
         Put32(d, 54, 0xF000);
       }},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> data = SmallBmp();
    c.Break(data);
    TReadOnlyMemoryStream s(data.data(), int64_t(data.size()));
    TBitmap b(1, 1, pf8bit);
    b.SetPixelColor(0, 0, clRed);
    try {
      b.LoadFromStream(s);
      ADD_FAILURE() << c.Name << ": accepted";
    } catch (const EInvalidGraphic& e) {
      EXPECT_EQ(e.Message(), "Bitmap ist ungültig") << c.Name;
    }
    EXPECT_EQ(b.Width(), 1) << c.Name;
    EXPECT_EQ(b.PixelFormat(), pf8bit) << c.Name;
    EXPECT_EQ(b.GetPixelColor(0, 0), clRed) << c.Name;
  }
}

}  // namespace
}  // namespace kv
