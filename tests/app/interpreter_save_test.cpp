// SAVEAS in every writable format with its format keys, judged by outside
// tools, and a failed save that must not mark the image saved.
#include <cstdlib>

#include "app/interpreter/interpreter.h"
#include "interpreter_fixture.h"
#include "platform/rtl/file_utils.h"
#include "support/outside_tools.h"

namespace kv::test {
namespace {

// Four quadrants: red, lime / white, blue; a flipped or swapped picture shows at once.
TBGRPixel Quadrant(int32_t X, int32_t Y) {
  if (Y < 6) return X < 8 ? TBGRPixel{0, 0, 255} : TBGRPixel{0, 255, 0};
  return X < 8 ? TBGRPixel{255, 255, 255} : TBGRPixel{255, 0, 0};
}

class InterpreterSave : public InterpreterTest {
 protected:
  Tchild* QuadrantChild() {
    Tchild* child = OverrideChild(16, 12, TBGRPixel{});
    Paint24(child->imager1->Bitmap(), 16, 12, Quadrant);
    child->imager1->IOParams().DpiX = child->imager1->IOParams().DpiY = 300;
    child->SetCaption("!unbenannt1");
    child->modified = true;
    return child;
  }
  std::string Reference() {
    const std::string ref = Dir + "reference.png";
    test::Run("convert -size 16x12 xc:white -fill red -draw 'rectangle 0,0 7,5' -fill lime -draw 'rectangle 8,0 15,5' "
        "-fill blue -draw 'rectangle 8,6 15,11' " + ref);
    return ref;
  }
  static std::string Identify(const std::string& Format, const std::string& File) {
    return RunCapture("identify -format '" + Format + "' '" + File + "' 2>/dev/null");
  }
  // Pixels that differ from the reference; -1 when compare could not read the file.
  static double DifferentPixels(const std::string& File, const std::string& Ref) {
    const std::string out = RunCapture("compare -metric AE '" + File + "' '" + Ref + "' null: 2>&1");
    char* end = nullptr;
    const double v = std::strtod(out.c_str(), &end);
    return end == out.c_str() ? -1 : v;
  }
};

TEST_F(InterpreterSave, EveryFormatWithItsKeys) {
  if (!HaveTool("identify") || !HaveTool("compare") || !HaveTool("tiffinfo")) GTEST_SKIP() << "ImageMagick/libtiff-tools";
  struct TCase {
    const char* Ext;
    const char* Keys;
    const char* IdentifyFormat;  // identify's answer must contain Expect
    const char* Expect;
    bool Lossless;
  } cases[] = {
      {".tif", "Compression=8 Desc=\"Vier Felder\"", "%m %C %wx%h", "TIFF RLE 16x12", true},
      {".gif", "Interlaced=1", "%m %[interlace] %wx%h", "GIF GIF 16x12", true},
      {".jpg", "Quality=85 Prog=1", "%m %Q %[interlace] %wx%h", "JPEG 85 JPEG 16x12", false},
      {".jpeg", "Quality=30", "%m %Q", "JPEG 30", false},
      {".png", "Interlaced=1", "%m %[interlace] %wx%h", "PNG PNG 16x12", true},
      {".pcx", "Compression=1", "%m %wx%h", "PCX 16x12", true},
      {".bmp", "BPS=8 SPP=3", "%m %wx%h", "BMP3 16x12", true},
      {".tga", "Compressed=1", "%m %C %wx%h", "TGA RLE 16x12", true},
      {".ppm", "", "%m %wx%h", "PPM 16x12", true},
  };
  const std::string ref = Reference();
  for (const TCase& c : cases) {
    Tchild* child = QuadrantChild();
    const std::string file = Dir + "saved" + c.Ext;
    Logged().Clear();
    ASSERT_TRUE(RunLine(std::string("SAVEAS FileName=\"") + file + "\" " + c.Keys)) << c.Ext;
    EXPECT_EQ(child->Caption(), file);
    EXPECT_EQ(child->imager1->IOParams().FileName, file);
    EXPECT_FALSE(child->modified) << c.Ext;
    EXPECT_NE(Identify(c.IdentifyFormat, file).find(c.Expect), std::string::npos)
        << c.Ext << ": " << Identify(c.IdentifyFormat, file);
    const double diff = DifferentPixels(file, ref);
    if (c.Lossless)
      EXPECT_EQ(diff, 0) << c.Ext;
    else
      EXPECT_GE(diff, 0) << c.Ext;  // readable; JPEG's own loss is judged below
  }
  // The TIFF keeps its text keys and the resolution of the image.
  const std::string info = RunCapture("tiffinfo '" + Dir + "saved.tif' 2>&1");
  EXPECT_NE(info.find("Vier Felder"), std::string::npos) << info;
  EXPECT_NE(info.find("PackBits"), std::string::npos) << info;
  EXPECT_NE(info.find("300"), std::string::npos) << info;
  // JPEG keeps the picture: saturated quadrants lose some colour to chroma
  // subsampling (about 20 dB), a flipped or swapped picture falls below 10.
  const std::string psnr = RunCapture("compare -metric PSNR '" + Dir + "saved.jpg' '" + ref + "' null: 2>&1");
  EXPECT_GT(std::atof(psnr.c_str()), 15) << psnr;
}

TEST_F(InterpreterSave, JpegResolutionReachesOutsideReaders) {
  if (!HaveTool("exiv2") || !HaveTool("identify")) GTEST_SKIP() << "exiv2/ImageMagick";
  QuadrantChild();
  const std::string file = Dir + "dpi.jpg";
  ASSERT_TRUE(RunLine("SAVEAS FileName=\"" + file + "\" Quality=90"));
  EXPECT_EQ(Identify("%x %y %U", file).substr(0, 7), "300 300") << Identify("%x %y %U", file);
  const TToolRun r = RunTool("exiv2 '" + file + "' 2>&1");
  EXPECT_NE(r.Output.find("16 x 12"), std::string::npos) << r.Output;
}

TEST_F(InterpreterSave, FailedWriteKeepsNameAndModifiedAndFails) {
  Tchild* child = QuadrantChild();
  const std::string line = "SAVEAS FileName=\"" + Dir + "no such folder/x.png\"";
  (*Dialogs)->Answer(mrOk);
  EXPECT_THROW(RunLine(line), Exception);
  EXPECT_EQ(child->Caption(), "!unbenannt1");
  EXPECT_TRUE(child->modified);
  EXPECT_EQ(child->imager1->IOParams().FileName, "");
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].Text, CommandFailedMessage(line));
}

TEST_F(InterpreterSave, UnknownExtensionFails) {
  Tchild* child = QuadrantChild();
  (*Dialogs)->Answer(mrOk);
  EXPECT_THROW(RunLine("SAVEAS FileName=\"" + Dir + "picture.xyz\""), Exception);
  EXPECT_TRUE(child->modified);
  EXPECT_FALSE(FileExists(Dir + "picture.xyz"));
}

TEST_F(InterpreterSave, NoImageWindowFails) {
  (*Dialogs)->Answer(mrOk);
  EXPECT_THROW(RunLine("SAVEAS FileName=\"" + Dir + "x.png\""), ECommandError);
  EXPECT_EQ(Shown().size(), 1u);
}

}  // namespace
}  // namespace kv::test
