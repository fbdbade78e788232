// Icons made by icotool are read by us, and ours by icotool.
#include <gtest/gtest.h>

#include "platform/graphics/canvas.h"
#include "platform/graphics/icon.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

class IconFiles : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    test::TTempFolderTest::SetUp();
    if (!test::HaveTool("icotool") || !test::HaveTool("convert")) GTEST_SKIP() << "icoutils or ImageMagick missing";
  }
};

TEST_F(IconFiles, ReadsIcotoolIconsOfEachDepthWithTheirMask) {
  // Left half red, right half blue, the top-right pixel see-through.
  ASSERT_EQ(test::Run("convert -size 16x16 xc:red -fill blue -draw 'rectangle 8,0 15,15' -alpha set "
                      "-fill none -draw 'color 15,0 point' " + Dir + "p.png"), 0);
  for (int bits : {4, 8, 24, 32}) {
    const std::string ico = Dir + "p" + std::to_string(bits) + ".ico";
    ASSERT_EQ(test::Run("icotool -c -b " + std::to_string(bits) + " -o " + ico + " " + Dir + "p.png"), 0);
    TIcon icon;
    icon.LoadFromFile(ico);
    ASSERT_EQ(icon.Width(), 16) << bits;
    EXPECT_EQ(icon.BitCount(), bits);
    EXPECT_EQ(icon.Image()->GetPixelColor(2, 5), clRed) << bits;
    EXPECT_EQ(icon.Image()->GetPixelColor(12, 5), clBlue) << bits;
    EXPECT_TRUE(icon.IsTransparentPixel(15, 0)) << bits;
    EXPECT_FALSE(icon.IsTransparentPixel(14, 0)) << bits;

    TBitmap canvas(16, 16, pf24bit);
    canvas.Canvas().Brush().SetColor(clLime);
    canvas.Canvas().FillRect(Rect(0, 0, 16, 16));
    icon.Draw(canvas.Canvas(), Rect(0, 0, 16, 16));
    EXPECT_EQ(canvas.GetPixelColor(15, 0), clLime);
    EXPECT_EQ(canvas.GetPixelColor(14, 0), clBlue);
  }
}

TEST_F(IconFiles, IcotoolReadsOursFromABitmap) {
  TBitmap b(12, 10, pf24bit);
  b.Canvas().Brush().SetColor(clYellow);
  b.Canvas().FillRect(Rect(0, 0, 12, 10));
  b.SetPixelColor(3, 4, clWhite);
  TIcon icon;
  icon.FromBitmap(b, clWhite);
  EXPECT_TRUE(icon.IsTransparentPixel(3, 4));
  icon.SaveToFile(Dir + "ours.ico");
  EXPECT_NE(test::RunCapture("icotool -l " + Dir + "ours.ico").find("--width=12 --height=10"), std::string::npos);
  ASSERT_EQ(test::Run("icotool -x -o " + Dir + "back.png " + Dir + "ours.ico"), 0);
  EXPECT_EQ(test::RunCapture("convert " + Dir + "back.png -format '%[pixel:p{0,0}] %[fx:p{3,4}.a]' info:"),
            "srgba(255,255,0,1) 0");
}

TEST(Icon, DamagedFilesAreRefusedAndLeaveTheIcon) {
  const std::vector<std::vector<uint8_t>> bad = {
      {0, 0, 1, 0},                                                          // short directory
      {0, 0, 2, 0, 1, 0},                                                    // a cursor
      {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 8, 0, 0xFF, 0xFF, 0, 0, 22, 0, 0, 0},  // image past the end
  };
  TIcon icon;
  for (const auto& b : bad) {
    TReadOnlyMemoryStream s(b.data(), int64_t(b.size()));
    EXPECT_THROW(icon.LoadFromStream(s), EInvalidGraphic);
    EXPECT_TRUE(icon.Empty());
  }
}

}  // namespace
}  // namespace kv
