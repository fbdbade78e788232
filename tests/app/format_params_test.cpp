#include <gtest/gtest.h>

#include "app/params/format_params.h"
#include "app/params/param_strings.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/io_params.h"
#include "imaging/processing/colour_convert.h"
#include "support/bitmap_patterns.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

// The keys of each kind in the order they are written, from a default record.
TEST(FormatParams, WrittenKeysByKind) {
  TIOParamsVals p(nullptr);
  p.TgaDescription = "desc";
  const struct {
    const char* File;
    const char* Expected;
  } cases[] = {
      {"a.tif",
       " BPS=8 SPP=3 Compression=0 DocName=\"\" Desc=\"\" Index=0 Pagecount=0 Pagename=\"\" Pagenumber=0 "
       "Photom=2 Planar=1 X=0 Y=0"},
      {"a.gif", " BPS=8 SPP=3 Backcol=0 Delay=0 Transp=0 Index=0 Interlaced=0 Transcol=0 X=0 Y=0"},
      {"a.jpg", " BPS=8 SPP=3 Photom=2 DCT=0 HUFF=0 Prog=0 Quality=50 Smooth=0"},
      {"a.pcx", " BPS=8 SPP=3 Compression=1"},
      {"a.bmp", " BPS=8 SPP=3 Compression=0"},
      {"a.png", " BPS=8 SPP=3 Backcol=0 Interlaced=0 Filter=0 Compression=5"},
      {"a.tga",
       " BPS=8 SPP=3 Backcol=0 X=0 Y=0 Compressed=1 Desc=\"desc\" Author=\"\" Name=\"\" Interlaced=0"},
      {"a.ppm", " BPS=8 SPP=3"},
      {"noext", " BPS=8 SPP=3"},
  };
  for (const auto& c : cases) EXPECT_EQ(WriteFormatParams(p, c.File), c.Expected) << c.File;
}

// Every extension of a kind reads and writes that kind's keys: a ".jpeg"
// or ".tiff" file keeps its parameters like ".jpg" and ".tif".
TEST(FormatParams, RoundTripForEveryExtensionOfAKind) {
  TIOParamsVals src(nullptr);
  src.BitsPerSample = 1;
  src.SamplesPerPixel = 1;
  src.JpegColorSpace = 1;
  src.JpegDctMethod = 2;
  src.JpegOptimalHuffman = true;
  src.JpegProgressive = true;
  src.JpegQuality = 87;
  src.JpegSmoothing = 12;
  src.TiffCompression = 8;
  src.TiffDocumentName = "Akte Nr. 7";
  src.TiffImageDescription = "Seite mit Umlauten äöü";
  src.TiffPageName = "Titel";
  src.TiffPageNumber = 3;
  src.TiffPageCount = 9;
  src.TiffPhotometric = 5;
  src.TiffPlanarConfig = 2;
  src.TiffXPos = 11;
  src.TiffYPos = -4;
  src.TiffImageIndex = 2;
  for (const char* name : {"x.jpg", "x.JPG", "x.jpeg", "x.jpe", "x.tif", "x.tiff", "x.TIFF"}) {
    TIOParamsVals back(nullptr);
    ReadFormatParams("SaveAs FileName=\"whatever\"" + WriteFormatParams(src, name), back, name);
    SCOPED_TRACE(name);
    EXPECT_EQ(back.BitsPerSample, 1);
    EXPECT_EQ(back.SamplesPerPixel, 1);
    if (std::string(name).find(".j") != std::string::npos || std::string(name).find(".J") != std::string::npos) {
      EXPECT_EQ(back.JpegColorSpace, 1);
      EXPECT_EQ(back.JpegDctMethod, 2);
      EXPECT_TRUE(back.JpegOptimalHuffman);
      EXPECT_TRUE(back.JpegProgressive);
      EXPECT_EQ(back.JpegQuality, 87);
      EXPECT_EQ(back.JpegSmoothing, 12);
      EXPECT_EQ(back.TiffCompression, 0);  // another kind's field stays
    } else {
      EXPECT_EQ(back.TiffCompression, 8);
      EXPECT_EQ(back.TiffDocumentName, "Akte Nr. 7");
      EXPECT_EQ(back.TiffImageDescription, "Seite mit Umlauten äöü");
      EXPECT_EQ(back.TiffPageName, "Titel");
      EXPECT_EQ(back.TiffPageNumber, 3);
      EXPECT_EQ(back.TiffPageCount, 9);
      EXPECT_EQ(back.TiffPhotometric, 5);
      EXPECT_EQ(back.TiffPlanarConfig, 2);
      EXPECT_EQ(back.TiffXPos, 11);
      EXPECT_EQ(back.TiffYPos, -4);
      EXPECT_EQ(back.TiffImageIndex, 2);
      EXPECT_EQ(back.JpegQuality, 50);
    }
  }
}

TEST(FormatParams, GifPngTgaPcxBmpRoundTrip) {
  TIOParamsVals src(nullptr);
  src.GifBackground = {1, 2, 3};
  src.GifTransparentColor = {200, 100, 50};
  src.GifTransparent = true;
  src.GifInterlaced = true;
  src.GifDelayTime = 40;
  src.GifImageIndex = 1;
  src.GifXPos = 5;
  src.GifYPos = 6;
  src.PngBackground = {9, 8, 7};
  src.PngInterlaced = true;
  src.PngFilter = 2;
  src.PngCompression = 9;
  src.TgaBackground = {10, 20, 30};
  src.TgaXPos = 3;
  src.TgaYPos = 4;
  src.TgaCompressed = false;
  src.TgaDescription = "d e";
  src.TgaAuthor = "Ich";
  src.TgaImageName = "Bild";
  src.PcxCompressed = false;
  src.BmpCompression = 1;

  TIOParamsVals gif(nullptr), png(nullptr), tga(nullptr), pcx(nullptr), bmp(nullptr);
  ReadFormatParams(WriteFormatParams(src, "a.gif"), gif, "b.GIF");
  EXPECT_EQ(gif.GifBackground, (TBGRPixel{1, 2, 3}));
  EXPECT_EQ(gif.GifTransparentColor, (TBGRPixel{200, 100, 50}));
  EXPECT_TRUE(gif.GifTransparent && gif.GifInterlaced);
  EXPECT_EQ(gif.GifDelayTime, 40);
  EXPECT_EQ(gif.GifImageIndex, 1);
  EXPECT_EQ(gif.GifXPos + gif.GifYPos, 11);

  ReadFormatParams(WriteFormatParams(src, "a.png"), png, "b.png");
  EXPECT_EQ(png.PngBackground, (TBGRPixel{9, 8, 7}));
  EXPECT_TRUE(png.PngInterlaced);
  EXPECT_EQ(png.PngFilter, 2);
  EXPECT_EQ(png.PngCompression, 9);

  ReadFormatParams(WriteFormatParams(src, "a.targa"), tga, "b.tga");
  EXPECT_EQ(tga.TgaBackground, (TBGRPixel{10, 20, 30}));
  EXPECT_EQ(tga.TgaXPos, 3);
  EXPECT_EQ(tga.TgaYPos, 4);
  EXPECT_FALSE(tga.TgaCompressed);
  EXPECT_EQ(tga.TgaDescription, "d e");
  EXPECT_EQ(tga.TgaAuthor, "Ich");
  EXPECT_EQ(tga.TgaImageName, "Bild");
  EXPECT_TRUE(tga.PngInterlaced);  // the TGA section shares the PNG interlace flag

  ReadFormatParams(WriteFormatParams(src, "a.pcx"), pcx, "b.pcx");
  EXPECT_FALSE(pcx.PcxCompressed);
  ReadFormatParams(WriteFormatParams(src, "a.dib"), bmp, "b.bmp");
  EXPECT_EQ(bmp.BmpCompression, 1);
}

TEST(FormatParams, AbsentAndOddValues) {
  TIOParamsVals p(nullptr);
  p.JpegQuality = 77;
  ReadFormatParams("SaveAs Prog=1", p, "a.jpg");
  EXPECT_EQ(p.JpegQuality, 77);  // absent key: field unchanged
  EXPECT_TRUE(p.JpegProgressive);

  // Keys of other kinds and unknown kinds touch only BPS and SPP.
  ReadFormatParams("SaveAs BPS=4 Quality=5 Compression=8", p, "a.ppm");
  EXPECT_EQ(p.BitsPerSample, 4);
  EXPECT_EQ(p.JpegQuality, 77);
  EXPECT_EQ(p.TiffCompression, 0);

  // Ordinals outside their type are ignored, not wrapped.
  ReadFormatParams("SaveAs Photom=300 DCT=-1", p, "a.jpg");
  EXPECT_EQ(p.JpegColorSpace, 2);
  EXPECT_EQ(p.JpegDctMethod, 0);
  ReadFormatParams("SaveAs Compression=2", p, "a.pcx");
  EXPECT_TRUE(p.PcxCompressed);

  // Colours: low byte red; system colours resolve to their present value.
  ReadFormatParams("SaveAs Backcol=255 Transcol=" + std::to_string(clBtnFace), p, "a.gif");
  EXPECT_EQ(p.GifBackground, (TBGRPixel{0, 0, 255}));
  EXPECT_EQ(p.GifTransparentColor, TColorToTBGRPixel(clBtnFace));

  p.TiffPageName = "bad \" name";
  EXPECT_THROW(WriteFormatParams(p, "a.tif"), EParamValueError);
}

// A parameter string decides what the writer puts into real files; the
// outside tools judge the files.
class FormatParamsFiles : public test::TTempFolderTest {
 protected:
  std::string Save(const std::string& Name, const std::string& Line) {
    auto bmp = test::Make24(40, 30, [](int32_t x, int32_t y) {
      return TBGRPixel{uint8_t(x * 6), uint8_t(y * 8), uint8_t((x + y) * 3)};
    });
    TImagerIO io(nullptr);
    io.AttachBitmap(bmp.get());
    const std::string file = Dir + Name;
    ReadFormatParams(Line, io.Params(), file);
    io.SaveToFileByExtension(file);
    EXPECT_FALSE(io.Aborted()) << Name;
    return file;
  }
};

TEST_F(FormatParamsFiles, IdentifySeesTheSavedParameters) {
  if (!test::HaveTool("identify")) GTEST_SKIP() << "ImageMagick missing";
  const struct {
    const char* Name;
    const char* Line;
    const char* Format;
    const char* Expected;
  } cases[] = {
      {"q90.jpeg", "SaveAs Quality=90 Prog=1", "%m %Q %[interlace]", "JPEG 90 JPEG"},
      {"q30.jpg", "SaveAs Quality=30 Prog=0", "%m %Q %[interlace]", "JPEG 30 None"},
      {"adam7.png", "SaveAs Interlaced=1", "%m %[interlace]", "PNG PNG"},
      {"plain.png", "SaveAs Interlaced=0", "%m %[interlace]", "PNG None"},
      {"rle.tga", "SaveAs Compressed=1", "%m %C", "TGA RLE"},
      {"raw.tga", "SaveAs Compressed=0", "%m %C", "TGA None"},
  };
  for (const auto& c : cases) {
    const std::string file = Save(c.Name, c.Line);
    EXPECT_EQ(test::RunCapture("identify -format '" + std::string(c.Format) + "' '" + file + "' 2>&1"),
              c.Expected)
        << c.Name;
  }
}

TEST_F(FormatParamsFiles, TiffinfoSeesCompressionOfATiffFile) {
  if (!test::HaveTool("tiffinfo")) GTEST_SKIP() << "libtiff-tools missing";
  const std::string packed = Save("packed.tiff", "SaveAs Compression=8 DocName=\"Akte 7\" Pagename=\"Seite eins\"");
  const std::string info = test::RunCapture("tiffinfo '" + packed + "' 2>&1");
  EXPECT_NE(info.find("PackBits"), std::string::npos) << info;
  EXPECT_NE(info.find("Akte 7"), std::string::npos) << info;
  EXPECT_NE(info.find("Seite eins"), std::string::npos) << info;
  const std::string plain = Save("plain.tif", "SaveAs Compression=0");
  EXPECT_NE(test::RunCapture("tiffinfo '" + plain + "' 2>&1").find("Compression Scheme: None"), std::string::npos);
}

}  // namespace
}  // namespace kv
