// PNG reader and writer against ImageMagick, pngcheck and netpbm: every
// colour type and depth ImageMagick makes is read by us and compared with
// its own decoding; what we write passes pngcheck and decodes alike there.
#include <gtest/gtest.h>

#include <cstring>
#include <zlib.h>

#include "codec_test_util.h"
#include "imaging/formats/png.h"

namespace kv::test {
namespace {

class PngTest : public TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    if (!HaveTool("convert") || !HaveTool("pngcheck")) GTEST_SKIP() << "ImageMagick or pngcheck missing";
    Src = PhotoLike(33, 21);
    Source = Dir + "src.ppm";
    WritePnm(Source, *Src);
  }
  // ImageMagick's own decoding as 8-bit RGBA.
  std::string Rgba(const std::string& Png) { return ToolBytes("convert " + Png + " -depth 8 rgba:-"); }

  // Largest colour difference where the pixel is not fully transparent, and
  // largest alpha difference (alpha 255 everywhere without a mask).
  void Compare(const TBitmap& B, const TIMMask& M, const std::string& Ref, int& Colour, int& Alpha) {
    Colour = Alpha = 999;
    if (Ref.size() != size_t(B.Width()) * B.Height() * 4) return;
    Colour = Alpha = 0;
    const bool mask = !M.IsEmpty();
    for (int32_t y = 0; y < B.Height(); ++y) {
      const auto* row = static_cast<const uint8_t*>(B.ScanLine(y));
      for (int32_t x = 0; x < B.Width(); ++x) {
        const auto* r = reinterpret_cast<const uint8_t*>(Ref.data()) + (size_t(y) * B.Width() + x) * 4;
        uint8_t bgr[3];
        if (B.PixelFormat() == pf1bit) bgr[0] = bgr[1] = bgr[2] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        else std::memcpy(bgr, row + 3 * x, 3);
        const int a = mask ? M.ScanLine(y)[x] : 255;
        Alpha = std::max(Alpha, std::abs(a - r[3]));
        if (r[3] == 0) continue;
        for (int c = 0; c < 3; ++c) Colour = std::max(Colour, std::abs(int(bgr[c]) - int(r[2 - c])));
      }
    }
  }
  std::unique_ptr<TBitmap> Src;
  std::string Source;
};

TEST_F(PngTest, ReadsEveryKindImageMagickWrites) {
  const std::string alpha = " \\( -size 33x21 gradient: -rotate 0 \\) -alpha off -compose copy_opacity -composite ";
  const std::string cut = " \\( -size 33x21 xc:white -fill black -draw 'rectangle 5,5 20,15' \\) -alpha off "
                          "-compose copy_opacity -composite ";
  struct TCase {
    const char* Name;
    std::string Convert;  // between the source and the output name
    int32_t Bits, Samples;
    bool OneBit, HasAlpha, Interlaced;
    int Tolerance;
  };
  const TCase cases[] = {
      {"rgb8", " PNG24:", 8, 3, false, false, false, 0},
      {"rgb16", " -depth 16 PNG48:", 16, 3, false, false, false, 1},
      {"rgba8", alpha + "PNG32:", 8, 4, false, true, false, 0},
      {"rgba16", alpha + "-depth 16 PNG64:", 16, 4, false, true, false, 1},
      {"palette8", " -colors 200 PNG8:", 8, 1, false, false, false, 0},
      {"palette4", " -colors 12 -define png:bit-depth=4 PNG8:", 4, 1, false, false, false, 0},
      {"palette2", " -colors 4 -define png:bit-depth=2 PNG8:", 2, 1, false, false, false, 0},
      {"palette-trns", cut + "-colors 30 PNG8:", 8, 1, false, true, false, 0},
      {"gray1", " -colorspace gray -threshold 50% -define png:bit-depth=1 -define png:color-type=0 PNG:", 1, 1,
       true, false, false, 0},
      {"gray2", " -colorspace gray -depth 2 -define png:bit-depth=2 -define png:color-type=0 PNG:", 2, 1, false,
       false, false, 0},
      {"gray4", " -colorspace gray -depth 4 -define png:bit-depth=4 -define png:color-type=0 PNG:", 4, 1, false,
       false, false, 0},
      {"gray8", " -colorspace gray -define png:color-type=0 PNG:", 8, 1, false, false, false, 0},
      {"gray16", " -colorspace gray -depth 16 -define png:color-type=0 PNG:", 16, 1, false, false, false, 1},
      {"gray-alpha", " -colorspace gray" + alpha + "-define png:color-type=4 PNG:", 8, 2, false, true, false, 0},
      {"interlaced-rgb", " -interlace PNG PNG24:", 8, 3, false, false, true, 0},
      {"interlaced-rgba", alpha + "-interlace PNG PNG32:", 8, 4, false, true, true, 0},
      {"interlaced-palette", " -colors 50 -interlace PNG PNG8:", 8, 1, false, false, true, 0},
      {"interlaced-gray1", " -colorspace gray -threshold 50% -interlace PNG -define png:bit-depth=1 "
       "-define png:color-type=0 PNG:", 1, 1, true, false, true, 0},
      {"gamma", " -set gamma 0.6 PNG24:", 8, 3, false, false, false, 0},
  };
  for (const TCase& c : cases) {
    const std::string png = Dir + c.Name + ".png";
    ASSERT_EQ(kv::test::Run("convert " + Source + c.Convert + png), 0) << c.Name;
    TBitmap b;
    TIMMask mask;
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(ReadFile(ReadPngStream, png, b, p, false, &mask)) << c.Name;
    EXPECT_EQ(p.BitsPerSample, c.Bits) << c.Name;
    EXPECT_EQ(p.SamplesPerPixel, c.Samples) << c.Name;
    EXPECT_EQ(p.PngInterlaced, c.Interlaced) << c.Name;
    EXPECT_EQ(b.PixelFormat(), c.OneBit ? pf1bit : pf24bit) << c.Name;
    EXPECT_EQ(!mask.IsEmpty(), c.HasAlpha) << c.Name;
    EXPECT_EQ(p.ColorMapCount > 0, std::string(c.Name).find("palette") != std::string::npos) << c.Name;
    int colour, alphaDiff;
    Compare(b, mask, Rgba(png), colour, alphaDiff);
    EXPECT_LE(colour, c.Tolerance) << c.Name;
    EXPECT_LE(alphaDiff, c.Tolerance) << c.Name;
  }
}

TEST_F(PngTest, AlphaWithoutAMaskIsCompositedOverTheBackground) {
  const std::string png = Dir + "a.png";
  ASSERT_EQ(kv::test::Run("convert " + Source +
                          " \\( -size 33x21 gradient: \\) -alpha off -compose copy_opacity -composite "
                          "-define png:exclude-chunk=bKGD PNG32:" + png),
            0);
  TBitmap b;
  TIOParamsVals p(nullptr);
  p.PngBackground = TBGRPixel{0, 128, 255};
  ASSERT_TRUE(ReadFile(ReadPngStream, png, b, p));
  TIMMask none;
  int colour, alpha;
  Compare(b, none, ToolBytes("convert " + png + " -background 'rgb(255,128,0)' -flatten -depth 8 rgba:-"), colour,
          alpha);
  EXPECT_LE(colour, 1);
  // With a bKGD chunk that colour is used and becomes the record's background.
  TIMMask m;
  ASSERT_TRUE(ReadFile(ReadPngStream, png, b, p, false, &m));
  TIOParamsVals w(nullptr);
  w.PngBackground = TBGRPixel{200, 10, 20};
  TMemoryStream out;
  TCodecRun run;
  WritePngStream(out, b, w, run.Progress, &m);
  ASSERT_FALSE(run.Aborted);
  out.SaveToFile(png);
  TIOParamsVals q(nullptr);
  ASSERT_TRUE(ReadFile(ReadPngStream, png, b, q));
  EXPECT_EQ(q.PngBackground, (TBGRPixel{200, 10, 20}));
  Compare(b, none, ToolBytes("convert " + png + " -background 'rgb(20,10,200)' -flatten -depth 8 rgba:-"), colour,
          alpha);
  EXPECT_LE(colour, 1);
}

TEST_F(PngTest, OneBitPaletteKeepsItsColours) {
  const std::string png = Dir + "p1.png";
  ASSERT_EQ(kv::test::Run("convert -size 13x7 xc:red -fill blue -draw 'rectangle 2,2 8,4' -define png:bit-depth=1 "
                          "PNG8:" + png),
            0);
  ASSERT_NE(RunCapture("pngcheck -v " + png).find("1-bit palette"), std::string::npos);
  TBitmap b;
  TIMMask m;
  TIOParamsVals p(nullptr);
  ASSERT_TRUE(ReadFile(ReadPngStream, png, b, p, false, &m));
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  int colour, alpha;
  Compare(b, m, Rgba(png), colour, alpha);
  EXPECT_EQ(colour, 0);
}

TEST_F(PngTest, WrittenFilesPassPngcheckAndDecodeAlike) {
  // Alpha: a horizontal ramp with a fully transparent corner.
  TIMMask mask;
  mask.AllocateBits(33, 21, 8);
  for (int32_t y = 0; y < 21; ++y)
    for (int32_t x = 0; x < 33; ++x) mask.ScanLine(y)[x] = (x < 4 && y < 4) ? 0 : uint8_t(x * 7 + 20);
  TBitmap twoColours(33, 21);
  Fill24(twoColours, [](int32_t x, int32_t y) { return (x + y) % 3 ? TBGRPixel{0, 200, 30} : TBGRPixel{90, 0, 10}; });
  TBitmap bits(33, 21, pf1bit);
  for (int32_t y = 0; y < 21; ++y)
    for (int32_t i = 0; i < bits.RowBytes(); ++i) static_cast<uint8_t*>(bits.ScanLine(y))[i] = uint8_t(0x5A ^ y);

  struct TCase {
    const char* Name;
    const TBitmap* Bitmap;
    int32_t Bits, Samples;
    bool Interlaced, WithMask;
    uint8_t Filter;
    int32_t Level;
    const char* Check;  // text pngcheck -v prints for this file
    bool Exact;         // decodes to the source pixels
  };
  const TCase cases[] = {
      {"rgb", Src.get(), 8, 3, false, false, 0, 5, "RGB", true},
      {"rgb-paeth-9", Src.get(), 8, 3, false, false, 2, 9, "RGB", true},
      {"rgb-sub-0", Src.get(), 16, 3, false, false, 1, 0, "RGB", true},
      {"rgb-interlaced", Src.get(), 8, 3, true, false, 0, 5, "interlaced", true},
      {"rgba", Src.get(), 8, 3, false, true, 0, 5, "RGB+alpha", true},
      {"rgba-interlaced", Src.get(), 8, 3, true, true, 0, 5, "RGB+alpha", true},
      {"palette8", Src.get(), 8, 1, false, false, 0, 5, "256 palette entries", false},
      {"palette4-trns", Src.get(), 4, 1, false, true, 0, 5, "17 palette entries", false},
      {"bits", &bits, 1, 1, false, false, 0, 5, "1-bit grayscale", true},
      {"bits-to-rgb", &bits, 8, 3, false, false, 0, 5, "RGB", true},
      {"two-colours", &twoColours, 1, 1, false, false, 0, 5, "1-bit palette", true},
  };
  for (const TCase& c : cases) {
    TIOParamsVals p(nullptr);
    p.BitsPerSample = c.Bits;
    p.SamplesPerPixel = c.Samples;
    p.PngInterlaced = c.Interlaced;
    p.PngFilter = c.Filter;
    p.PngCompression = c.Level;
    p.PngBackground = TBGRPixel{1, 2, 3};
    p.DpiX = 300;
    p.DpiY = 150;
    TMemoryStream out;
    TCodecRun run;
    WritePngStream(out, *c.Bitmap, p, run.Progress, c.WithMask ? &mask : nullptr);
    ASSERT_FALSE(run.Aborted) << c.Name;
    EXPECT_EQ(run.LastProgress, 100) << c.Name;
    const std::string png = Dir + c.Name + ".png";
    out.SaveToFile(png);
    const TToolRun check = RunTool("pngcheck -v " + png + " 2>&1");
    EXPECT_EQ(check.Status, 0) << c.Name << check.Output;
    EXPECT_NE(check.Output.find(c.Check), std::string::npos) << c.Name << check.Output;

    TBitmap back;
    TIMMask backMask;
    TIOParamsVals q(nullptr);
    ASSERT_TRUE(ReadFile(ReadPngStream, png, back, q, false, &backMask)) << c.Name;
    EXPECT_EQ(q.DpiX, 300);
    EXPECT_EQ(q.DpiY, 150);
    int colour, alpha;
    Compare(back, backMask, Rgba(png), colour, alpha);
    EXPECT_EQ(colour, 0) << c.Name;
    EXPECT_EQ(alpha, 0) << c.Name;
    if (c.Exact && c.Bitmap->PixelFormat() == pf24bit) {
      EXPECT_EQ(MaxDiffToPpm(back, Source), c.Bitmap == Src.get() ? 0 : MaxDiffToPpm(back, Source)) << c.Name;
    }
    if (c.Exact) {
      // Pixel for pixel the bitmap we wrote (bits expand to black and white).
      for (int32_t y = 0; y < 21; ++y)
        for (int32_t x = 0; x < 33; ++x) {
          const TColor want = c.Bitmap->GetPixelColor(x, y), got = back.GetPixelColor(x, y);
          if (want != got) {
            ADD_FAILURE() << c.Name << " at " << x << ',' << y;
            y = 21;
            break;
          }
        }
    }
    if (c.WithMask) {
      for (int32_t y = 0; y < 21; ++y)
        for (int32_t x = 0; x < 33; ++x)
          if (c.Samples == 3) EXPECT_EQ(backMask.ScanLine(y)[x], mask.ScanLine(y)[x]);
          else EXPECT_EQ(backMask.ScanLine(y)[x] == 0, mask.ScanLine(y)[x] != 255);
    }
  }
  // netpbm reads what we write.
  if (HaveTool("pngtopnm")) {
    ASSERT_EQ(kv::test::Run("pngtopnm " + Dir + "rgb.png > " + Dir + "rgb.ppm"), 0);
    TBitmap b;
    TIOParamsVals p(nullptr);
    ASSERT_TRUE(ReadFile(ReadPngStream, Dir + "rgb.png", b, p));
    EXPECT_EQ(MaxDiffToPpm(b, Dir + "rgb.ppm"), 0);
  }
}

TEST_F(PngTest, PaletteWriteHasTheBackgroundAsEntryZero) {
  TIOParamsVals p(nullptr);
  p.SamplesPerPixel = 1;
  p.BitsPerSample = 8;
  p.PngBackground = TBGRPixel{11, 22, 33};
  TMemoryStream out;
  TCodecRun run;
  WritePngStream(out, *Src, p, run.Progress);
  ASSERT_FALSE(run.Aborted);
  out.SetPosition(0);
  TBitmap b;
  TIOParamsVals q(nullptr);
  TCodecRun r;
  ReadPngStream(out, b, q, r.Progress, true, nullptr);
  ASSERT_EQ(q.ColorMapCount, 256);
  EXPECT_EQ(q.ColorMap[0], (TBGRPixel{11, 22, 33}));
  EXPECT_EQ(q.BitsPerSample, 8);
  EXPECT_TRUE(b.Empty());
}

// Accepts Budget bytes, then every write comes up short.
class TShortStream : public TMemoryStream {
 public:
  explicit TShortStream(int32_t Budget) : FBudget(Budget) {}
  int32_t Write(const void* Buffer, int32_t Count) override {
    const int32_t n = std::min(Count, FBudget);
    FBudget -= n;
    return TMemoryStream::Write(Buffer, n);
  }

 private:
  int32_t FBudget;
};

TEST_F(PngTest, ShortWriteSetsTheAbortedFlag) {
  TShortStream out(100);
  TIOParamsVals p(nullptr);
  TCodecRun run;
  EXPECT_NO_THROW(WritePngStream(out, *Src, p, run.Progress));
  EXPECT_TRUE(run.Aborted);
}

void PutU32(std::vector<uint8_t>& F, size_t At, uint32_t V) {
  for (int i = 0; i < 4; ++i) F[At + i] = uint8_t(V >> (24 - 8 * i));
}

TEST_F(PngTest, CorruptFilesFailCleanly) {
  const std::string png = Dir + "c.png";
  ASSERT_EQ(kv::test::Run("convert " + Source + " -interlace PNG PNG32:" + png), 0);
  const std::vector<uint8_t> good = ReadBytes(png);
  std::vector<uint8_t> huge = good;  // IHDR of 100000 x 100000, CRC fixed up
  PutU32(huge, 16, 100000);
  PutU32(huge, 20, 100000);
  PutU32(huge, 29, uint32_t(crc32(0, &huge[12], 17)));
  std::vector<uint8_t> badCrc = good;
  badCrc[good.size() / 2] ^= 0x55;  // inside the image data
  struct TCase {
    const char* Name;
    std::vector<uint8_t> Data;
  };
  const TCase cases[] = {
      {"empty", {}},
      {"not png", std::vector<uint8_t>(100, 'x')},
      {"signature only", std::vector<uint8_t>(good.begin(), good.begin() + 8)},
      {"cut in the header", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
      {"cut in the data", std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2)},
      {"huge", huge},
      {"bad crc", badCrc},
  };
  for (const TCase& c : cases) {
    for (bool withMask : {false, true}) {
      TReadOnlyMemoryStream s(c.Data.data(), int64_t(c.Data.size()));
      TBitmap b;
      TIMMask m;
      TIOParamsVals p(nullptr);
      TCodecRun run;
      ReadPngStream(s, b, p, run.Progress, false, withMask ? &m : nullptr);
      EXPECT_TRUE(run.Aborted) << c.Name;
    }
  }
  TReadOnlyMemoryStream s(good.data(), int64_t(good.size()));
  EXPECT_TRUE(IsPngStream(s));
  EXPECT_EQ(s.Position(), 0);
  TReadOnlyMemoryStream j(huge.data(), 4);
  EXPECT_FALSE(IsPngStream(j));
  EXPECT_EQ(j.Position(), 0);
}

// A few bytes stating a picture of hundreds of megapixels: refused before
// the picture is allocated, so neither time nor memory go into it.
TEST_F(PngTest, TinyFileWithAHugeHeaderIsRefusedBeforeAllocating) {
  auto chunk = [](std::vector<uint8_t>& F, const char* Type, const std::vector<uint8_t>& Data) {
    const size_t at = F.size();
    F.resize(at + 8);
    PutU32(F, at, uint32_t(Data.size()));
    std::memcpy(&F[at + 4], Type, 4);
    F.insert(F.end(), Data.begin(), Data.end());
    F.resize(F.size() + 4);
    PutU32(F, F.size() - 4, uint32_t(crc32(0, &F[at + 4], uInt(4 + Data.size()))));
  };
  for (const bool interlaced : {false, true}) {
    std::vector<uint8_t> f = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr(13);
    PutU32(ihdr, 0, 23000);
    PutU32(ihdr, 4, 23000);
    ihdr[8] = 8;   // bits
    ihdr[9] = 2;   // RGB
    ihdr[12] = interlaced ? 1 : 0;
    chunk(f, "IHDR", ihdr);
    const uint8_t zero[64] = {};
    uLongf packedSize = 128;
    std::vector<uint8_t> idat(packedSize);
    ASSERT_EQ(compress(idat.data(), &packedSize, zero, sizeof zero), Z_OK);
    idat.resize(packedSize);
    chunk(f, "IDAT", idat);
    chunk(f, "IEND", {});
    EXPECT_LT(f.size(), 100u);
    TReadOnlyMemoryStream s(f.data(), int64_t(f.size()));
    TBitmap b;
    TIOParamsVals p(nullptr);
    TCodecRun run;
    ReadPngStream(s, b, p, run.Progress, false, nullptr);
    EXPECT_TRUE(run.Aborted) << interlaced;
    EXPECT_LE(int64_t(b.Width()) * b.Height(), 1) << "the picture was allocated";
    EXPECT_EQ(p.Width, 23000);  // the header itself was read
  }
}

}  // namespace
}  // namespace kv::test
