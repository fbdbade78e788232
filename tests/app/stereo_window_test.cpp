// The 3-D window worked as the user does: eye pictures loaded on their pages
// (also through the open dialog), the stereo picture of every kind on the
// page "3D-Bild", ".jps" saved and loaded through the dialogs, the stereo
// picture split back in the second mode, and the paper glasses opened and
// printed to a PDF that poppler rasterises.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "app/params/param_strings.h"
#include "app/tools/glasses_picture.h"
#include "app/tools/stereo_tool.h"
#include "components/controls/kv_spin.h"
#include "app/tools/tool_files.h"
#include "command_fixture.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/metafile.h"
#include "imaging/processing/stereo.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/printer.h"
#include "platform/ui/button.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/page_control.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/std_controls.h"
#include "support/netpbm_io.h"
#include "support/outside_tools.h"

namespace kv {
namespace {

using namespace kv::test;
namespace fs = std::filesystem;

TBGRPixel Px(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }
TBGRPixel LeftColour(int32_t x, int32_t y) { return {uint8_t(40 + x), uint8_t(60 + y), uint8_t(200 - x)}; }
TBGRPixel RightColour(int32_t x, int32_t y) { return {uint8_t(210 - y), uint8_t(90 + y), uint8_t(30 + 2 * x)}; }

bool Same(const TBitmap& A, const TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height()) return false;
  for (int32_t y = 0; y < A.Height(); ++y)
    for (int32_t x = 0; x < A.Width(); ++x)
      if (!(Px(A, x, y) == Px(B, x, y))) return false;
  return true;
}

double MeanDiff(const TBitmap& A, const TBitmap& B) {
  double sum = 0;
  for (int32_t y = 0; y < A.Height(); ++y)
    for (int32_t x = 0; x < A.Width(); ++x) {
      const TBGRPixel a = Px(A, x, y), b = Px(B, x, y);
      sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
    }
  return sum / (3.0 * A.Width() * A.Height());
}

class StereoWindow : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    SaveToolPicture(Dir + "l.png", *Make24(30, 20, LeftColour));
    SaveToolPicture(Dir + "r.png", *Make24(36, 24, RightColour));
  }
  // A window of mode 0 shown without stored pictures.
  std::unique_ptr<Tanaglyphform> EyeWindow() {
    auto w = std::make_unique<Tanaglyphform>(nullptr, 0, "Auge Links / Rechts -> 3D-Bild ...");
    w->Main = Form.get();
    w->LeftEdit->SetText(Dir + "none-l.png");
    w->RightEdit->SetText(Dir + "none-r.png");
    w->FormShow(nullptr);
    return w;
  }
  // The stereo picture the kernel makes of the two files.
  std::unique_ptr<TBitmap> Expected(int32_t Kind, int32_t Dx) {
    TBitmap l, r;
    auto out = std::make_unique<TBitmap>();
    LoadToolPicture(Dir + "l.png", l);
    LoadToolPicture(Dir + "r.png", r);
    MakeAnaglyph(l, r, *out, Kind, Dx, 0, 0);
    return out;
  }
};

TEST_F(StereoWindow, EyePagesLoadThePicturesAndEveryKindPreviews) {
  auto w = EyeWindow();
  // Nothing stored exists: the eye pages show, "3D-Bild" too after the first preview.
  EXPECT_TRUE(w->LeftPage->TabVisible());
  EXPECT_TRUE(w->RightPage->TabVisible());
  EXPECT_TRUE(w->LoadJpsButton->Visible());
  EXPECT_TRUE(w->SaveJpsButton->Visible());
  EXPECT_FALSE(w->MeshHelpButton->Visible());
  ASSERT_TRUE(w->PageControl1->SelectPage(w->LeftPage));
  EXPECT_TRUE(w->LoadButton->Enabled());
  // The left eye through the open dialog, the right one as the dialog would hand it over.
  std::string filter;
  AnswerFileDialog([&](TFileDialogSession& S) {
    filter = S.Request().Filter;
    S.SelectFile(Dir + "l.png");
    S.SetFileNameText("l.png");
    S.PressOK();
  });
  w->LoadButton->Click();
  EXPECT_EQ(PendingFileDialogAnswers(), 0);
  EXPECT_NE(filter.find("*.png"), std::string::npos);
  EXPECT_EQ(w->LeftEye->Width(), 30);
  EXPECT_EQ(w->LeftEdit->Text(), Dir + "l.png");
  ASSERT_TRUE(w->PageControl1->SelectPage(w->RightPage));
  w->LoadChosenFile(Dir + "r.png", false);
  EXPECT_EQ(w->RightEye->Width(), 36);
  EXPECT_EQ(w->RightEdit->Text(), Dir + "r.png");
  // Entering "3D-Bild" previews; there is nothing to load.
  ASSERT_TRUE(w->PageControl1->SelectPage(w->StereoPage));
  EXPECT_FALSE(w->LoadButton->Enabled());
  EXPECT_TRUE(Same(*w->Stereo, *Expected(0, 0)));
  const int32_t widths[8] = {30, 30, 30, 30, 60, 60, 70, 30};
  for (int32_t kind = 0; kind < 8; ++kind) {
    SCOPED_TRACE(kStereoKinds[kind]);
    w->mycombobox1->Select(kind);
    EXPECT_EQ(w->Stereo->Width(), widths[kind]);
    EXPECT_EQ(w->Stereo->Height(), 20);
    EXPECT_TRUE(Same(*w->Stereo, *Expected(kind, 0)));
  }
  // A shift typed into "Bewegen X" previews at once.
  w->mycombobox1->SetItemIndex(skRedBlue);
  w->MoveX->SetText("5");
  EXPECT_TRUE(Same(*w->Stereo, *Expected(skRedBlue, 5)));
  // Without the automatic check only "Vorschau" previews.
  w->KvSpeedButton1->Click();
  ASSERT_FALSE(w->KvSpeedButton1->Down());
  w->MoveX->SetText("0");
  EXPECT_TRUE(Same(*w->Stereo, *Expected(skRedBlue, 5)));
  w->previewspeedbutton->Click();
  EXPECT_TRUE(Same(*w->Stereo, *Expected(skRedBlue, 0)));
  EXPECT_FALSE(w->previewspeedbutton->Down());
  EXPECT_EQ(w->BuildLine(), "Make3D" + WriteParamString("Left", Dir + "l.png") +
                                WriteParamString("Right", Dir + "r.png") + " Mode=0 dx=0 dy=0 dr=0");
}

TEST_F(StereoWindow, JpsSavedAndLoadedThroughTheDialogs) {
  const std::string jps = Dir + "pair.jps";
  {
    auto w = EyeWindow();
    w->PageControl1->SelectPage(w->LeftPage);
    w->LoadChosenFile(Dir + "l.png", false);
    w->PageControl1->SelectPage(w->RightPage);
    w->LoadChosenFile(Dir + "r.png", false);
    std::string filter;
    AnswerFileDialog([&](TFileDialogSession& S) {
      filter = S.Request().Filter;
      EXPECT_EQ(S.Request().Title, "Speichern als");
      S.EnterFolder(Dir);
      S.SetFileNameText("pair.jps");
      S.PressOK();
    });
    w->SaveJpsButton->Click();
    EXPECT_EQ(filter.rfind(kJpsFilter, 0), std::string::npos);  // the all-files entries come first
    EXPECT_NE(filter.find("*.jps"), std::string::npos);
    ASSERT_TRUE(FileExists(jps));
    // The 3-D view shows what was written: the crossed pair.
    EXPECT_EQ(w->Stereo->Width(), 60);
    EXPECT_TRUE(Same(*w->Stereo, *Expected(skCrossed, 0)));
  }
  if (HaveTool("identify")) {
    EXPECT_EQ(RunCapture("identify -format '%m %w %h' '" + jps + "'"), "JPEG 60 20");
  }
  auto w = EyeWindow();
  AnswerFileDialog([&](TFileDialogSession& S) {
    EXPECT_EQ(S.Request().Filter, kJpsFilter);
    S.SelectFile(jps);
    S.SetFileNameText("pair.jps");
    S.PressOK();
  });
  w->LoadJpsButton->Click();
  EXPECT_EQ(w->LeftEdit->Text(), jps);
  EXPECT_EQ(w->RightEdit->Text(), jps);
  TBitmap l, r;
  LoadToolPicture(Dir + "l.png", l);
  LoadToolPicture(Dir + "r.png", r);
  ASSERT_EQ(w->LeftEye->Width(), 30);
  ASSERT_EQ(w->RightEye->Width(), 30);  // the right eye was cut to the smaller size
  EXPECT_LE(MeanDiff(*w->LeftEye, l), 6);
  // The right eye is the right picture's top-left part.
  double sum = 0;
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 30; ++x) {
      const TBGRPixel a = Px(*w->RightEye, x, y), b = Px(r, x, y);
      sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
    }
  EXPECT_LE(sum / (3.0 * 600), 6);
  // "JPS laden..." previews: the 3-D page is there with the kind chosen.
  EXPECT_TRUE(w->StereoPage->TabVisible());
  EXPECT_EQ(w->Stereo->Width(), 30);
}

TEST_F(StereoWindow, StereoPictureSplitIntoTheEyePages) {
  TBitmap l, r, pair;
  LoadToolPicture(Dir + "l.png", l);
  LoadToolPicture(Dir + "r.png", r);
  MakeAnaglyph(l, r, pair, skParallel, 0, 0, 0);
  SaveToolPicture(Dir + "pair.png", pair);
  Tanaglyphform w(nullptr, 1, "3D-Bild -> Auge Links / Rechts ...");
  w.Pic3DEdit->SetText(Dir + "pair.png");
  w.mycombobox1->SetItemIndex(skParallel);
  w.FormShow(nullptr);
  EXPECT_FALSE(w.LoadJpsButton->Visible());
  EXPECT_FALSE(w.SaveJpsButton->Visible());
  // The first preview split the picture and showed the left eye.
  EXPECT_EQ(w.PageControl1->ActivePage(), w.LeftPage);
  EXPECT_FALSE(w.LoadButton->Enabled());
  TBitmap leftHalf;
  LoadToolPicture(Dir + "l.png", leftHalf);
  EXPECT_TRUE(Same(*w.LeftEye, leftHalf));
  EXPECT_EQ(w.RightEye->Width(), 30);
  // Only on "3D-Bild" a picture can be loaded; leaving it splits again.
  ASSERT_TRUE(w.PageControl1->SelectPage(w.StereoPage));
  EXPECT_TRUE(w.LoadButton->Enabled());
  w.mycombobox1->SetItemIndex(skRedGreen);
  ASSERT_TRUE(w.PageControl1->SelectPage(w.RightPage));
  EXPECT_EQ(w.PageControl1->ActivePage(), w.RightPage);
  EXPECT_EQ(w.LeftEye->Width(), 60);  // kind 1 keeps the whole width
  EXPECT_EQ(w.BuildLine(), "GetLeftRight" + WriteParamString("Pic3D", Dir + "pair.png") + " Mode=1");
}

// The share of pixels of the page within 60 of the colour in every channel.
double Share(const TBitmap& B, TBGRPixel C) {
  int64_t n = 0;
  for (int32_t y = 0; y < B.Height(); ++y)
    for (int32_t x = 0; x < B.Width(); ++x) {
      const TBGRPixel p = Px(B, x, y);
      n += std::abs(p.r - C.r) < 60 && std::abs(p.g - C.g) < 60 && std::abs(p.b - C.b) < 60;
    }
  return double(n) / (double(B.Width()) * B.Height());
}

TEST_F(StereoWindow, GlassesOpenedForPrintingAndPrinted) {
  auto w = EyeWindow();
  // The glasses test: the ramps on black in the view's size.
  EXPECT_EQ(w->imtester->Bitmap().Width(), w->imtester->Width());
  EXPECT_EQ(Px(w->imtester->Bitmap(), 10 + 85, 5), (TBGRPixel{0, 0, 255}));
  EXPECT_EQ(Px(w->imtester->Bitmap(), 10 + 85, 55), (TBGRPixel{255, 0, 0}));
  const int32_t before = Form->MDIChildCount();
  w->RedBlueButton->Click();
  ASSERT_EQ(Form->MDIChildCount(), before + 1);
  EXPECT_TRUE(ShownText(kGlassesLoadedMessage));
  EXPECT_TRUE(FileExists(Dir + "glasses.wmf"));
  {
    // A placeable metafile whose records chain to the end record.
    std::ifstream f(Dir + "glasses.wmf", std::ios::binary);
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    EXPECT_EQ(DetectMetafileType(data.data(), data.size()), ioWMF);
    EXPECT_TRUE(MetafileRecordsSound(data.data(), data.size(), ioWMF));
  }
  {
    const TBitmap& g = Form->getimager()->Bitmap();
    ASSERT_NEAR(g.Width(), kGlassesWidth, 1);  // the drawing's inches in whole pixels
    EXPECT_EQ(Px(g, kGreenLensX, kGreenLensY), (TBGRPixel{255, 0, 0}));  // the blue lens
    EXPECT_EQ(Px(g, 465, 625), (TBGRPixel{0, 0, 255}));                  // the red lens
    EXPECT_EQ(Px(g, 5, 5), (TBGRPixel{255, 255, 255}));
  }
  Shown().clear();
  w->RedGreenButton->Click();
  ASSERT_EQ(Form->MDIChildCount(), before + 2);
  EXPECT_TRUE(ShownText(kGlassesLoadedMessage));
  const TBitmap& g = Form->getimager()->Bitmap();
  EXPECT_EQ(Px(g, kGreenLensX, kGreenLensY), (TBGRPixel{0, 80, 0}));
  EXPECT_EQ(Px(g, 200, 660), (TBGRPixel{0, 80, 0}));  // the whole lens
  EXPECT_EQ(Px(g, 465, 625), (TBGRPixel{0, 0, 255}));
  EXPECT_EQ(Px(g, 5, 5), (TBGRPixel{255, 255, 255}));  // and nothing around it

  if (!HaveTool("pdftoppm")) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  TPrinter& p = Printer();
  p.SetOutputFileName(Dir + "glasses.pdf");
  p.SetPaper(pkA4);
  p.SetOrientation(poPortrait);
  p.SetResolution(100);
  const bool printed = Line("Print" + WriteParamFloat("width", p.PageWidth()) +
                            WriteParamFloat("height", p.PageWidth() * double(kGlassesHeight) / kGlassesWidth));
  p.SetOutputFileName("");
  ASSERT_TRUE(printed);
  RunTool("pdftoppm -r 50 -f 1 -l 1 -singlefile '" + Dir + "glasses.pdf' '" + Dir + "page' 2>&1");
  TBitmap page;
  ASSERT_TRUE(ReadPnm(Dir + "page.ppm", page));
  fs::remove(Dir + "page.ppm");
  // Both lenses on paper: red, and the dark green that replaced blue.
  EXPECT_GT(Share(page, {0, 0, 255}), 0.01);
  EXPECT_GT(Share(page, {0, 80, 0}), 0.01);
  EXPECT_LT(Share(page, {255, 0, 0}), 0.001);
  EXPECT_GT(Share(page, {255, 255, 255}), 0.5);
}

}  // namespace
}  // namespace kv
