// The print dialog's anchor, position and size frames: what they show after
// each layout, the line they make, and which changes clear the anchor or the
// special-size buttons.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/dialogs/size_frames.h"
#include "app/main/direction_frame.h"
#include "app/params/param_strings.h"
#include "app/workflows/print_dialog.h"
#include "command_fixture.h"
#include "platform/system/printer.h"
#include "platform/ui/button.h"
#include "platform/ui/speed_button.h"
#include "platform/ui/input_synth.h"
#include "platform/ui/std_controls.h"
#include "support/shot_file.h"

namespace kv {
namespace {

using namespace kv::test;

class PrintDialog : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    TPrinter& p = Printer();
    p.SetOutputFileName(Dir + "out.pdf");
    p.SetPaper(pkA4);
    p.SetOrientation(poPortrait);
    p.SetMarginsMM(5, 8, 5, 8);
    p.SetResolution(100);
  }
  void TearDown() override {
    Printer().SetOutputFileName("");
    PrintDialogBusy = false;
    CommandTest::TearDown();
  }
};

TEST_F(PrintDialog, FramesFollowTheLayoutAndMakeTheLine) {
  Tchild& child = MakeChild(40, 30, [](int32_t, int32_t) { return TBGRPixel{0, 0, 255}; });
  Tprintform d(nullptr, 0, child.imager1, nullptr);
  d.FormShow(nullptr);
  const TprintFrame& frame = *d.printFrame1;
  const TPrintGeometry& g = frame.Geometry;
  Tconverterframe& width = *d.sizeframe1->converterframe1;
  Tconverterframe& height = *d.sizeframe1->converterframe2;
  const double pw = Printer().PageWidth(), ph = Printer().PageHeight();
  ASSERT_TRUE(frame.LayoutError.empty()) << frame.LayoutError;

  // At start: original size anchored top left; the frames show that layout,
  // which is also the size frame's starting size, and the percent base is the picture.
  EXPECT_EQ(d.DirectionPos(), 10);
  EXPECT_EQ(d.SpecialSize(), 3);
  EXPECT_GT(g.Width, 0);
  EXPECT_DOUBLE_EQ(width.Value(), g.Width);
  EXPECT_DOUBLE_EQ(height.Value(), g.Height);
  EXPECT_DOUBLE_EQ(d.sizeframe1->StartWidth(), g.Width);
  EXPECT_DOUBLE_EQ(width.Base(), 40);
  EXPECT_DOUBLE_EQ(d.leftframe->Base(), pw);
  EXPECT_DOUBLE_EQ(width.Resolution(), 100);
  EXPECT_FALSE(d.sizeframe1->dpiframeform1->Enabled());
  d.HandleNeeded();
  if (const auto shot = GrabControl(&d)) SaveShot(*shot, "print_dialog.png");

  // The anchor bottom right moves the picture; the position frames follow.
  d.directionframe1->Buttons[8]->Click();
  EXPECT_EQ(d.DirectionPos(), 5);
  EXPECT_NEAR(d.leftframe->Value(), pw - g.Width, 1e-6);
  EXPECT_NEAR(d.topframe->Value(), ph - g.Height, 1e-6);

  // Typing a position in millimetres clears the anchor; the line carries the number and its unit.
  d.leftframe->SetUnitIndex(3);
  d.leftframe->SetShown(20);
  std::string line = d.BuildCommand();
  EXPECT_EQ(ReadParamInt(line, "DirectionPos", 0), -1);
  EXPECT_NEAR(ReadParamFloat(line, "left", 0), 20, 1e-9);
  EXPECT_EQ(ReadParamInt(line, "vleft", 0), 3);
  EXPECT_NEAR(g.Left, 20 / 25.4 * 100, 1e-6);
  EXPECT_EQ(d.SpecialSize(), 3);  // a position leaves the size alone

  // A width in percent of the picture: the special size goes up, the height stays.
  const double h0 = g.Height;
  width.SetUnitIndex(7);
  width.SetShown(200);
  line = d.BuildCommand();
  EXPECT_EQ(d.SpecialSize(), 0);
  EXPECT_EQ(ReadParamInt(line, "vwidth", 0), 7);
  EXPECT_NEAR(g.Width, 80, 1e-6);
  EXPECT_NEAR(g.Height, h0, 1e-6);

  // "x 2" doubles both in their own units; "/ 2" halves them back.
  d.DoubleButton->Click();
  EXPECT_NEAR(width.Shown(), 400, 1e-6);
  EXPECT_NEAR(g.Width, 160, 1e-6);
  EXPECT_NEAR(g.Height, 2 * h0, 1e-6);
  d.HalfButton->Click();
  EXPECT_NEAR(g.Width, 80, 1e-6);

  // A size from the "Spezial" menu is laid out and written back.
  d.sizeframe1->sizespecialform1->Choose("Breite und Höhe tauschen");
  EXPECT_NEAR(g.Width, h0, 1e-6);
  EXPECT_NEAR(g.Height, 80, 1e-6);
  EXPECT_NEAR(width.Shown(), h0 / 40 * 100, 1e-4);

  // "Proportional" keeps the starting aspect of the laid-out size.
  width.SetUnitIndex(0);
  height.SetUnitIndex(0);
  d.sizeframe1->CheckBox1->SetChecked(true);
  width.SetShown(120);
  EXPECT_NEAR(height.Value(), 90, 1e-6);
  EXPECT_NEAR(g.Height, 90, 1e-6);

  // Fitted, the width written back is the printable width.
  d.FitButton->Click();
  EXPECT_EQ(d.SpecialSize(), 1);
  EXPECT_NEAR(width.Value(), pw, 1e-6);
  EXPECT_NEAR(ReadParamFloat(d.BuildCommand(), "width", 0), pw, 1e-4);

  // "Druckbarer Bereich" in the size frame's menu is this printer's page.
  d.sizeframe1->sizespecialform1->Choose("Druckbarer Bereich");
  EXPECT_EQ(d.SpecialSize(), 0);
  EXPECT_NEAR(g.Width, pw, 1e-6);
  EXPECT_NEAR(g.Height, ph, 1e-6);
}

// Covering the page from its centre puts the picture's left edge off the
// page: the position frame shows the negative offset as laid out.
TEST_F(PrintDialog, NegativePositionsAreShownAsLaidOut) {
  Tchild& child = MakeChild(40, 30, [](int32_t, int32_t) { return TBGRPixel{0, 255, 0}; });
  Tprintform d(nullptr, 0, child.imager1, nullptr);
  d.FormShow(nullptr);
  d.FillButton->Click();
  d.directionframe1->Buttons[4]->Click();
  const TPrintGeometry& g = d.printFrame1->Geometry;
  ASSERT_LT(g.Left, 0);
  EXPECT_NEAR(d.leftframe->Value(), g.Left, 1e-6);
  EXPECT_NEAR(ReadParamFloat(d.BuildCommand(), "left", 0), g.Left, 1e-5);
  // Sizes never go below 0.
  d.sizeframe1->converterframe1->SetShown(-5);
  EXPECT_EQ(d.sizeframe1->converterframe1->Value(), 0);
}

// In mode 2 the dialog opens covering; "Vorschau" off still writes the layout back.
TEST_F(PrintDialog, PosterOpensCoveringAndFramesFollowWithoutDrawing) {
  Tchild& child = MakeChild(40, 30, [](int32_t, int32_t) { return TBGRPixel{255, 0, 0}; });
  {
    Tprintform d(nullptr, 2, child.imager1, nullptr);
    d.FormShow(nullptr);
    EXPECT_EQ(d.SpecialSize(), 2);
    d.printFrame1->AutoPreviewBox->SetChecked(false);
    d.FitButton->Click();
    EXPECT_NEAR(d.sizeframe1->converterframe1->Value(), Printer().PageWidth(), 1e-6);
    EXPECT_NEAR(d.sizeframe1->converterframe2->Value(), d.printFrame1->Geometry.Height, 1e-6);
  }
  // Closed, the dialog no longer answers for the printer.
  EXPECT_FALSE(SizeSources().PrintablePage);
}

// A layout the dialog refuses says why in the preview, at once; a good
// layout takes the message away again.
TEST_F(PrintDialog, RefusedLayoutShowsItsReasonInThePreview) {
  Tchild& child = MakeChild(40, 30, [](int32_t, int32_t) { return TBGRPixel{0, 0, 255}; });
  Tprintform d(nullptr, 0, child.imager1, nullptr);
  d.FormShow(nullptr);
  TprintFrame& frame = *d.printFrame1;
  ASSERT_TRUE(frame.LayoutError.empty()) << frame.LayoutError;
  EXPECT_EQ(frame.Image1->Message(), "");
  // A width of 0 prints nothing.
  d.sizeframe1->converterframe1->SetShown(0);
  ASSERT_FALSE(frame.LayoutError.empty());
  EXPECT_EQ(frame.Image1->Message(), frame.LayoutError);
  EXPECT_NE(frame.LayoutError.find("Breite"), std::string::npos) << frame.LayoutError;
  // The message is painted over the page: red text on the preview.
  d.HandleNeeded();
  if (const auto shot = GrabControl(frame.Image1)) {
    SaveShot(*shot, "print_preview_refused.png");
    int32_t red = 0;
    for (int32_t y = 0; y < std::min(60, shot->Height()); ++y)
      for (int32_t x = 0; x < shot->Width(); ++x) {
        const TColor c = shot->GetPixelColor(x, y);
        if (GetRValue(TColorRef(c)) > 180 && GetGValue(TColorRef(c)) < 80 && GetBValue(TColorRef(c)) < 80) ++red;
      }
    EXPECT_GT(red, 50);
  }
  d.FitButton->Click();
  EXPECT_TRUE(frame.LayoutError.empty()) << frame.LayoutError;
  EXPECT_EQ(frame.Image1->Message(), "");
}

// While no queue is chosen the default queue prints, and the printer page
// names it (needs the CUPS queue that .ci/run starts).
TEST_F(PrintDialog, PrinterPageNamesTheDefaultQueue) {
  const char* queue = std::getenv("KV_CUPS_QUEUE");
  if (!queue || !*queue || !std::getenv("CUPS_SERVER")) GTEST_SKIP() << "no CUPS queue (.ci/run starts one)";
  const char* before = std::getenv("PRINTER");
  const std::string saved = before ? before : "";
  setenv("PRINTER", queue, 1);
  Printer().SetOutputFileName("");
  Printer().SetPrinterName("");
  EXPECT_EQ(Printer().QueueName(), queue);
  {
    Tchild& child = MakeChild(40, 30, [](int32_t, int32_t) { return TBGRPixel{0, 0, 255}; });
    Tprintform d(nullptr, 0, child.imager1, nullptr);
    d.FormShow(nullptr);
    EXPECT_EQ(d.PrinterNameLabel->Caption(), queue);
  }
  if (before) setenv("PRINTER", saved.c_str(), 1);
  else unsetenv("PRINTER");
}

}  // namespace
}  // namespace kv
