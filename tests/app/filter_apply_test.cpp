// Applying filters: EFFECT, ACF and FFL lines run through the interpreter on
// an image window, effects checked against hand-computed pixels, selections,
// and the kernels of merging, channel combination, gamma and channel offsets.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <utility>
#include <string>

#include "app/child/child_window.h"
#include "app/filters/colour_models.h"
#include "app/filters/filter_apply.h"
#include "app/filters/filter_catalogue.h"
#include "app/filters/filter_kernels.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "imaging/processing/ff_files.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/qt_app.h"
#include "support/bitmap_patterns.h"
#include "support/temp_files.h"

namespace kv {
namespace {

using test::Gray;

TBGRPixel Px(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }
TBGRPixel Rgb(uint8_t R, uint8_t G, uint8_t B) { return TBGRPixel{B, G, R}; }

// A main window with one image window that the interpreter works on.
class FilterCommands : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    SetRegistryFolder(Dir);
    EnsureQtApplication();
    Dialogs.emplace();
    (*Dialogs)->OnUnexpected = [](const std::string&) {};  // a failing line may show its message
    Form = std::make_unique<Tform1>(nullptr);
    Child = new Tchild(Form.get());
    if (!Child->imager1) {
      Child->imager1 = new timagerlayer(Child);
      Child->imager1->SetParent(Child);
      Child->imager1->SetBounds(0, 0, 100, 100);
      Child->imager1->SetAutoUndo(false);
    }
    Form->OverrideChild = Child;
  }
  void TearDown() override {
    Form.reset();
    Dialogs.reset();
    SetRegistryFolder("");
    TTempFolderTest::TearDown();
  }
  TBitmap& Bmp() { return Child->imager1->Bitmap(); }
  void Paint(int32_t W, int32_t H, const test::TPixelAt& Colour) {
    test::Paint24(Bmp(), W, H, Colour);
    Child->imager1->PictureEdited();
  }
  void Run(const std::string& Line) { Form->interpreter(Form.get(), Line); }

  std::optional<TScriptedDialogsScope> Dialogs;
  std::unique_ptr<Tform1> Form;
  Tchild* Child = nullptr;
};

TEST_F(FilterCommands, GammaDarkensMidTones) {
  Paint(4, 3, [](int32_t x, int32_t) { return Gray(uint8_t(x == 0 ? 128 : x == 1 ? 0 : x == 2 ? 255 : 64)); });
  Run("EFFECT Name=Gamma Param1=0.5");
  // round(255 (c / 255)^2)
  EXPECT_EQ(Px(Bmp(), 0, 2), Gray(64));
  EXPECT_EQ(Px(Bmp(), 1, 0), Gray(0));
  EXPECT_EQ(Px(Bmp(), 2, 1), Gray(255));
  EXPECT_EQ(Px(Bmp(), 3, 0), Gray(16));
}

TEST_F(FilterCommands, KeywordsMatchWithoutCaseAndUnknownOnesDoNothing) {
  Paint(3, 2, [](int32_t x, int32_t) { return Rgb(10, uint8_t(20 * x), 200); });
  Run("effect name=\"iNvErT\"");
  EXPECT_EQ(Px(Bmp(), 2, 1), Rgb(245, 215, 55));
  Run("EFFECT Name=NoSuchEffect Param1=5");
  EXPECT_EQ(Px(Bmp(), 2, 1), Rgb(245, 215, 55));
  // A line cannot carry a kernel: the editor's effect without one leaves the picture.
  Run("EFFECT Name=ManageUserFilter");
  EXPECT_EQ(Px(Bmp(), 2, 1), Rgb(245, 215, 55));
}

TEST_F(FilterCommands, ColourChannelFilters) {
  const auto picture = [](int32_t x, int32_t y) { return Rgb(uint8_t(40 * x + 10), uint8_t(30 * y + 5), 150); };
  Paint(5, 4, picture);
  // -100 % of red takes red to 0; a fourth value means nothing to a three-channel model.
  Run("EFFECT Name=ColorAddRGB Param1=-100 Param4=100");
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      const TBGRPixel want = picture(x, y);
      EXPECT_EQ(Px(Bmp(), x, y), Rgb(0, want.g, want.b)) << x << "," << y;
    }
  Run("EFFECT Name=ColorAddRGB Param2=10 Param3=-20");  // 35 + 25.5 rounds to even, 150 - 51
  EXPECT_EQ(Px(Bmp(), 1, 1), Rgb(0, 60, 99));
}

TEST_F(FilterCommands, ChannelOffsetsOfZeroChangeNothingInAnyModel) {
  const auto picture = [](int32_t x, int32_t y) { return Rgb(uint8_t(50 * x), uint8_t(60 * y), uint8_t(255 - 40 * x)); };
  // Not one level off, in the models whose conversions do not round-trip exactly too.
  for (const char* model : {"RGB", "HSV", "HSL", "CMYK", "LAB", "YUV"}) {
    Paint(6, 4, picture);
    Run(std::string("EFFECT Name=ColorAdd") + model + " Param1=0 Param2=0 Param3=0 Param4=0");
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(Px(Bmp(), x, y), picture(x, y)) << model << " " << x << "," << y;
  }
}

TEST_F(FilterCommands, TwoLevelEffectsComeBackAsColourPictures) {
  const auto picture = [](int32_t x, int32_t y) { return Gray(uint8_t(x < 2 ? 100 : 200 + y)); };
  Paint(4, 3, picture);
  Run("EFFECT Name=BlackWhite Param1=150 Param2=0");
  EXPECT_EQ(Bmp().PixelFormat(), pf24bit);
  EXPECT_EQ(Px(Bmp(), 1, 2), Gray(0));
  EXPECT_EQ(Px(Bmp(), 2, 0), Gray(255));
  // At the mean gray (150) instead of the threshold given.
  Paint(4, 3, picture);
  Run("EFFECT Name=BlackWhite Param1=250 Param2=1");
  EXPECT_EQ(Px(Bmp(), 0, 0), Gray(0));
  EXPECT_EQ(Px(Bmp(), 3, 2), Gray(255));

  Paint(16, 16, [](int32_t x, int32_t y) { return Rgb(uint8_t(16 * x), uint8_t(16 * y), 90); });
  Run("EFFECT Name=ReduceColors Param1=2");
  ASSERT_EQ(Bmp().PixelFormat(), pf24bit);
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) {
      const TBGRPixel p = Px(Bmp(), x, y);
      EXPECT_TRUE(p == Gray(0) || p == Gray(255)) << x << "," << y;
    }
}

TEST_F(FilterCommands, BrightnessAndContrast) {
  Paint(2, 2, [](int32_t x, int32_t) { return Gray(uint8_t(x ? 140 : 100)); });
  // The means are 120: contrast 10 doubles the distance from them, then brightness adds 5.
  Run("EFFECT Name=BrightnessContrast Param1=5 Param2=10");
  EXPECT_EQ(Px(Bmp(), 0, 0), Gray(85));
  EXPECT_EQ(Px(Bmp(), 1, 1), Gray(165));
}

TEST_F(FilterCommands, AspectRatioCropsToTheAnchor) {
  const auto picture = [](int32_t x, int32_t y) { return Rgb(uint8_t(x), uint8_t(y), 0); };
  Paint(10, 10, picture);
  Run("EFFECT Name=AspectRatio Param1=0 Param2=1");
  EXPECT_EQ(Bmp().Width(), 10);
  EXPECT_EQ(Bmp().Height(), 10);

  Run("EFFECT Name=AspectRatio Param1=2 Param2=1 Param3=0 Param4=0");  // centred
  ASSERT_EQ(Bmp().Width(), 10);
  ASSERT_EQ(Bmp().Height(), 5);
  EXPECT_EQ(Px(Bmp(), 0, 0), picture(0, 2));

  Paint(10, 10, picture);
  Run("EFFECT Name=AspectRatio Param1=1 Param2=2 Param3=0 Param4=5");  // bottom right
  ASSERT_EQ(Bmp().Width(), 5);
  EXPECT_EQ(Px(Bmp(), 0, 0), picture(5, 0));

  // With the reciprocal a portrait ratio on a landscape picture turns round.
  Paint(12, 6, picture);
  Run("EFFECT Name=AspectRatio Param1=1 Param2=2 Param3=1 Param4=10");  // top left
  EXPECT_EQ(Bmp().Width(), 12);
  EXPECT_EQ(Bmp().Height(), 6);
}

TEST_F(FilterCommands, RotationsAndFlipsWorkOnTheWholePicture) {
  const auto picture = [](int32_t x, int32_t y) { return Rgb(uint8_t(x), uint8_t(y), 7); };
  Paint(4, 2, picture);
  Run("EFFECT Name=FlipHorz");
  EXPECT_EQ(Px(Bmp(), 0, 1), picture(3, 1));
  Run("EFFECT Name=FlipVert");
  EXPECT_EQ(Px(Bmp(), 0, 0), picture(3, 1));
  Run("EFFECT Name=RotateS90");
  EXPECT_EQ(Bmp().Width(), 2);
  EXPECT_EQ(Bmp().Height(), 4);
}

TEST_F(FilterCommands, ASelectionLimitsTheWork) {
  Paint(8, 8, [](int32_t, int32_t) { return Gray(10); });
  TImagerView& view = *Child->imager1;
  view.SetSelectionBase(imsbBitmap);
  view.Select(2, 1, 5, 4);
  int32_t x1, y1, x2, y2, count;
  TIMMask* mask;
  const TPoint* points;
  ASSERT_TRUE(view.Proc()->GetSelectionInfo(x1, y1, x2, y2, mask, count, points));
  ASSERT_LT(x2 - x1, 8);
  Run("EFFECT Name=Invert");
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x)
      EXPECT_EQ(Px(Bmp(), x, y), Gray(x >= x1 && x < x2 && y >= y1 && y < y2 ? 245 : 10)) << x << "," << y;

  // A triangle: only the pixels inside it change, though its box is worked on.
  Paint(8, 8, [](int32_t, int32_t) { return Gray(10); });
  view.DeSelect();
  view.AddSelPoint(0, 0);
  view.AddSelPoint(8, 0);
  view.AddSelPoint(0, 8);
  Run("EFFECT Name=Invert");
  EXPECT_EQ(Px(Bmp(), 1, 1), Gray(245));
  EXPECT_EQ(Px(Bmp(), 6, 6), Gray(10));
  EXPECT_EQ(Px(Bmp(), 7, 7), Gray(10));
}

TEST_F(FilterCommands, AFailingFilterIsReportedAndLaterFiltersStillRun) {
  Paint(3, 3, [](int32_t, int32_t) { return Gray(100); });
  EXPECT_THROW(Run("EFFECT Name=Merge Param1=\"no such window\" Param2=50"), Exception);
  EXPECT_FALSE(FilterApplying());
  Run("EFFECT Name=Invert");
  EXPECT_EQ(Px(Bmp(), 1, 1), Gray(155));
}

// The scan filters run their kernels: a planted hot pixel is repaired, a
// sheet with two pictures is outlined in the preview and cut into two
// windows otherwise, and the border around one picture is cut away.
TEST_F(FilterCommands, ScanAndCameraFiltersRun) {
  Paint(9, 9, [](int32_t, int32_t) { return Gray(100); });
  static_cast<TBGRPixel*>(Bmp().ScanLine(4))[4] = Gray(255);
  Run("EFFECT Name=HotPixel Param1=38 Param2=1");
  EXPECT_EQ(Px(Bmp(), 4, 4), Gray(100));

  // Two dark pictures on white, 20 pixels apart; at 254 dpi and preview scale 0.1, 0.5 cm is 5 pixels.
  const auto sheet = [](int32_t x, int32_t y) {
    const bool a = x >= 10 && x < 40 && y >= 10 && y < 50, b = x >= 60 && x < 90 && y >= 10 && y < 50;
    return a || b ? Gray(40) : Gray(255);
  };
  tfilteritem item;
  item.Kind = fkBuiltin;
  item.Keyword = "Seperate";
  item.ParamCount = 3;
  item.Params[0].Value = "20";
  item.Params[1].Value = "0.5";
  item.Params[2].Value = "16777215";
  Child->imager1->IOParams().DpiX = 254;
  TBitmap preview;
  test::Paint24(preview, 100, 60, sheet);
  TProgressRec progress;
  ApplyFilterItem(preview, item, false, true, 0.1, progress, 0, 0, 100, 60);
  EXPECT_EQ(Px(preview, 25, 0), Rgb(255, 0, 0));  // the outline of the first piece (the left half)
  EXPECT_EQ(Px(preview, 25, 30), Gray(40));

  Paint(100, 60, sheet);
  Child->imager1->IOParams().DpiX = 25;  // 0.5 cm is 5 pixels, 0.5 cm of minimum size too
  const int32_t windows = Form->MDIChildCount();
  Run("EFFECT Name=Seperate Param1=20 Param2=0.5 Param3=16777215");
  EXPECT_EQ(Form->MDIChildCount(), windows + 2);

  Run("EFFECT Name=CutBorder Param1=30 Param2=16777215 Param3=0");
  EXPECT_EQ(Bmp().Width(), 80);
  EXPECT_EQ(Bmp().Height(), 40);
}

TEST_F(FilterCommands, GammaZeroLeavesThePicture) {
  Paint(2, 2, [](int32_t x, int32_t) { return Gray(uint8_t(x ? 200 : 60)); });
  Run("EFFECT Name=Gamma Param1=0");
  Run("EFFECT Name=Gamma Param1=abc");
  EXPECT_EQ(Px(Bmp(), 0, 0), Gray(60));
  EXPECT_EQ(Px(Bmp(), 1, 0), Gray(200));
}

// A convolution file of 27 big-endian words: the kernel, the divisor, the offset.
void WriteAcf(const std::string& Path, int16_t Centre, int16_t Divisor, int16_t Offset) {
  std::vector<uint8_t> bytes(54, 0);
  auto put = [&](int32_t Word, int16_t V) {
    bytes[size_t(2 * Word)] = uint8_t(uint16_t(V) >> 8);
    bytes[size_t(2 * Word + 1)] = uint8_t(V);
  };
  put(12, Centre);
  put(25, Divisor);
  put(26, Offset);
  test::WriteBytes(Path, bytes);
}

TEST_F(FilterCommands, UserConvolutionFilterFromItsFile) {
  Paint(3, 3, [](int32_t x, int32_t y) { return Rgb(uint8_t(10 * x), uint8_t(10 * y), 100); });
  WriteAcf(Dir + "double plus 3.acf", 2, 1, 3);
  Run("ACF Name=\"" + Dir + "double plus 3.acf\"");
  EXPECT_EQ(Px(Bmp(), 2, 1), Rgb(43, 23, 203));
  EXPECT_THROW(Run("ACF Name=\"" + Dir + "missing.acf\""), Exception);
  EXPECT_EQ(Px(Bmp(), 2, 1), Rgb(43, 23, 203));
}

TEST_F(FilterCommands, FilterFactoryFilterWithItsControls) {
  tfflfilter lib;
  lib.NewFilter(1);
  lib.SetField("ctl(0)", ffkRed, 0, 1);
  lib.SetField("255-g", ffkGreen, 0, 1);
  lib.SetField("ctl(7)", ffkBlue, 0, 1);
  lib.Save(Dir + "lib.ffl");
  Paint(4, 2, [](int32_t x, int32_t) { return Rgb(1, uint8_t(50 * x), 3); });
  Run("FFL Name=\"" + Dir + "lib.ffl\" Num=1 Param1=\"77\" Param8=\"200\"");
  EXPECT_EQ(Px(Bmp(), 3, 1), Rgb(77, 105, 200));
  EXPECT_THROW(Run("FFL Name=\"" + Dir + "lib.ffl\" Num=5"), Exception);
  EXPECT_THROW(Run("FFL Name=\"" + Dir + "none.ffl\""), Exception);
}

TEST_F(FilterCommands, CatalogueItemsWithDefaultsAndPreviewScale) {
  Paint(4, 4, [](int32_t, int32_t) { return Gray(30); });
  tfilteritem* invert = ColorCatalogue().FindKeyword("Invert");
  ASSERT_NE(invert, nullptr);
  ApplyFilterToImage(*Child->imager1, invert, true, false, false, 1.0);
  EXPECT_EQ(Px(Bmp(), 3, 3), Gray(225));

  // Current values against defaults.
  tfilteritem* gamma = ColorCatalogue().FindKeyword("Gamma");
  gamma->Params[0].Value = "0.5";
  ApplyFilterToImage(*Child->imager1, gamma, true, false, false, 1.0);
  EXPECT_EQ(Px(Bmp(), 0, 0), Gray(225));
  ApplyFilterToImage(*Child->imager1, gamma, false, false, false, 1.0);
  EXPECT_EQ(Px(Bmp(), 0, 0), Gray(199));
  gamma->Params[0].Value = gamma->Params[0].Default;

  // Lengths follow the preview scale: an amplitude of 10 at 4 % rounds to 0, which moves nothing.
  const auto stripes = [](int32_t x, int32_t) { return Gray(uint8_t(x % 2 ? 255 : 0)); };
  tfilteritem* wave = FilterCatalogue().FindKeyword("Wave");
  ASSERT_NE(wave, nullptr);
  Paint(32, 32, stripes);
  ApplyFilterToImage(*Child->imager1, wave, true, true, false, 0.04);
  bool same = true;
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) same = same && Px(Bmp(), x, y) == stripes(x, y);
  EXPECT_TRUE(same);
  ApplyFilterToImage(*Child->imager1, wave, true, false, false, 1.0);
  same = true;
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) same = same && Px(Bmp(), x, y) == stripes(x, y);
  EXPECT_FALSE(same);
}

TEST_F(FilterCommands, AnUndoPointComesFirstWhenTheControlAsksForIt) {
  Paint(2, 2, [](int32_t, int32_t) { return Gray(30); });
  Child->imager1->SetAutoUndo(true);
  Child->imager1->SetUndoLimit(5);
  tfilteritem* invert = ColorCatalogue().FindKeyword("Invert");
  ApplyFilterToImage(*Child->imager1, invert, false, false, false, 1.0);
  ASSERT_TRUE(Child->imager1->CanUndo());
  Child->imager1->Undo();
  EXPECT_EQ(Px(Bmp(), 0, 0), Gray(30));
}

// Image windows in a shown main window, found by their titles.
class FilterWindows : public FilterCommands {
 protected:
  void SetUp() override {
    FilterCommands::SetUp();
    Form->SetBounds(0, 0, 800, 600);
    Form->Show();
    Form->OverrideChild = nullptr;
  }
  Tchild* Window(const std::string& Title, int32_t W, int32_t H, const test::TPixelAt& Colour) {
    Tchild* c = Form->newwindow();
    c->SetCaption(Title);
    test::Paint24(c->imager1->Bitmap(), W, H, Colour);
    c->imager1->PictureEdited();
    return c;
  }
};

TEST_F(FilterWindows, MergeBlendsAnotherWindowAtAnOffset) {
  Window("stamp", 3, 2, [](int32_t x, int32_t y) { return Gray(uint8_t(200 + 10 * x + y)); });
  Tchild* target = Window("base", 6, 4, [](int32_t, int32_t) { return Gray(0); });
  Form->OverrideChild = target;
  // 75 %: a = 192, (192 s) div 256 on black; the stamp starts at (4, 1) and is cut at the picture's edge.
  Run("EFFECT Name=merge Param1=\"stamp\" Param2=75 Param3=4 Param4=1 Param5=0");
  const TBitmap& b = target->imager1->Bitmap();
  EXPECT_EQ(Px(b, 4, 1), Gray(150));
  EXPECT_EQ(Px(b, 5, 2), Gray(158));
  EXPECT_EQ(Px(b, 3, 1), Gray(0));
  EXPECT_EQ(Px(b, 4, 3), Gray(0));
  EXPECT_EQ(Px(b, 4, 0), Gray(0));
}

TEST_F(FilterWindows, CombineBuildsColoursFromThreeWindows) {
  Window("r", 4, 4, [](int32_t, int32_t) { return Rgb(10, 0, 0); });
  Window("g", 4, 4, [](int32_t, int32_t) { return Rgb(20, 5, 5); });
  Window("b", 2, 4, [](int32_t, int32_t) { return Rgb(30, 9, 9); });
  Tchild* target = Window("out", 4, 4, [](int32_t, int32_t) { return Gray(1); });
  Form->OverrideChild = target;
  Run("EFFECT Name=Combine Param1=r Param2=g Param3=b Param4=\"\" Param5=0");
  const TBitmap& b = target->imager1->Bitmap();
  EXPECT_EQ(Px(b, 1, 3), Rgb(10, 20, 30));
  EXPECT_EQ(Px(b, 2, 0), Gray(1));  // the blue window is narrower
  EXPECT_THROW(Run("EFFECT Name=Combine Param1=r Param2=nowhere Param3=b"), Exception);
}

// ---- kernels ----

TEST(FilterKernels, MergeIsClippedToBothPictures) {
  auto target = test::Make24(6, 5, [](int32_t, int32_t) { return Gray(0); });
  auto source = test::Make24(4, 3, [](int32_t x, int32_t y) { return Gray(uint8_t(100 + 10 * x + y)); });
  // 50 %: a = 128, (128 s + 128 t) div 256 = s div 2 on black.
  MergeBitmap(*target, *source, 50, 4, 3, 6, 5, nullptr, nullptr);
  EXPECT_EQ(Px(*target, 4, 3), Gray(50));
  EXPECT_EQ(Px(*target, 5, 4), Gray(55));
  EXPECT_EQ(Px(*target, 3, 3), Gray(0));

  // Starting off the picture: the source's pixel (2, 1) lands on (0, 0).
  auto t2 = test::Make24(6, 5, [](int32_t, int32_t) { return Gray(0); });
  MergeBitmap(*t2, *source, 100, -2, -1, 6, 5, nullptr, nullptr);
  EXPECT_EQ(Px(*t2, 0, 0), Gray(121));
  EXPECT_EQ(Px(*t2, 1, 1), Gray(132));
  EXPECT_EQ(Px(*t2, 2, 0), Gray(0));  // past the source's width
  EXPECT_EQ(Px(*t2, 0, 2), Gray(0));  // past its height

  // A rectangle far outside either picture does nothing.
  MergeBitmap(*t2, *source, 100, 1000000, 7, 2000000, 9, nullptr, nullptr);
  MergeBitmap(*t2, *source, 100, -1000000, -1000000, 6, 5, nullptr, nullptr);
}

TEST(FilterKernels, CombineReadsOnlyWhereEverySourceReaches) {
  auto target = test::Make24(5, 4, [](int32_t, int32_t) { return Rgb(1, 2, 3); });
  auto red = test::Make24(5, 4, [](int32_t, int32_t) { return Rgb(10, 99, 99); });
  auto green = test::Make24(3, 4, [](int32_t, int32_t) { return Rgb(20, 0, 0); });
  auto blue = test::Make24(5, 2, [](int32_t, int32_t) { return Rgb(30, 0, 0); });
  CombineChannels(*target, {red.get(), green.get(), blue.get(), nullptr}, cmRGB, 0, 0, 5, 4, nullptr, nullptr);
  EXPECT_EQ(Px(*target, 2, 1), Rgb(10, 20, 30));
  EXPECT_EQ(Px(*target, 3, 1), Rgb(1, 2, 3));
  EXPECT_EQ(Px(*target, 2, 2), Rgb(1, 2, 3));

  // Gray channels through YUV: U and V at the middle of their range add no colour.
  auto y = test::Make24(1, 1, [](int32_t, int32_t) { return Rgb(128, 0, 0); });
  auto mid = test::Make24(1, 1, [](int32_t, int32_t) { return Rgb(128, 0, 0); });
  auto one = test::Make24(1, 1, [](int32_t, int32_t) { return Rgb(0, 0, 0); });
  CombineChannels(*one, {y.get(), mid.get(), mid.get(), nullptr}, cmYUV, 0, 0, 1, 1, nullptr, nullptr);
  EXPECT_EQ(Px(*one, 0, 0), Gray(128));
}

TEST(FilterKernels, ChannelOffsetsAreShareOfTheChannelsSpan) {
  const struct {
    TColorModel Model;
    std::array<int32_t, 4> P;
    std::array<double, 4> Want;
  } cases[] = {
      {cmRGB, {-100, 50, 0, 0}, {-255, 127.5, 0, 0}},
      {cmHSV, {100, -10, 0, 0}, {359, -9.9, 0, 0}},
      {cmCMYK, {0, 0, 0, 20}, {0, 0, 0, 20}},
      {cmLAB, {0, 100, -100, 0}, {0, 255, -255, 0}},
      {cmYUV, {0, 0, 0, 0}, {0, 0, 0, 0}},
      {cmYUV, {10, -10, 10, 0}, {25.5, -25.5, 25.5, 0}},
  };
  for (const auto& c : cases) {
    const std::array<double, 4> d = ChannelOffsets(c.Model, c.P);
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(d[i], c.Want[i], 1e-9) << ColorModelName(c.Model) << " " << i;
  }
}

TEST(FilterKernels, ColourModelsKnownValues) {
  const TModelValues white = ColorToModel(cmCMYK, 0xFFFFFF), black = ColorToModel(cmCMYK, 0),
                     red = ColorToModel(cmCMYK, 0xFF0000);
  EXPECT_EQ(white, (TModelValues{0, 0, 0, 0}));
  EXPECT_EQ(black, (TModelValues{0, 0, 0, 100}));
  EXPECT_EQ(red, (TModelValues{0, 100, 100, 0}));
  EXPECT_EQ(ColorFromModel(red, cmCMYK), Rgb(255, 0, 0));
  const TModelValues grey = ColorToModel(cmYUV, 0x808080);
  EXPECT_NEAR(grey[0], 128, 1e-9);
  EXPECT_NEAR(grey[1], 0, 1e-9);
  EXPECT_EQ(ColorFromModel(grey, cmYUV), Gray(128));
  EXPECT_EQ(ColorToModel(cmGray, 0x020202)[0], 0);
  EXPECT_EQ(ColorModelIndex("lab"), cmLAB);
  EXPECT_EQ(ColorModelIndex("nonsense"), cmRGB);
}

}  // namespace
}  // namespace kv
