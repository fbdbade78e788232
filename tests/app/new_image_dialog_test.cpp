// The image dialog as the main window's actions open it: values set through
// its controls, the line "&Ok" builds, and what the interpreter makes of it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include "app/actions/main_actions.h"
#include "app/batch/batch_escapes.h"
#include "app/dialogs/new_image_dialog.h"
#include "app/dialogs/size_frames.h"
#include "app/filters/colour_pick.h"
#include "interpreter_fixture.h"
#include "platform/ui/actions.h"
#include "platform/ui/button.h"
#include "platform/ui/std_controls.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv::test {
namespace {

class NewImageDialog : public InterpreterTest {
 protected:
  // Runs the action; the script sets the dialog's controls and ends it.
  void RunAction(const char* Name, std::function<void(TNeuGrafik&)> Script) {
    (*Dialogs)->AnswerModal([Script](TCustomForm& F) {
      auto* d = dynamic_cast<TNeuGrafik*>(&F);
      EXPECT_NE(d, nullptr);
      if (d) Script(*d);
      return mrNone;
    });
    TAction* a = MainAction(*Form, Name);
    ASSERT_NE(a, nullptr);
    a->Execute();
    Pump();
  }
  static void Ok(TNeuGrafik& D) { D.Button1->Click(); }
  std::string LastLine() { return Logged().Count() ? Logged().Strings(Logged().Count() - 1) : ""; }
};

TEST_F(NewImageDialog, NewImageLinesMakeTheImagesChosen) {
  struct TCase {
    int32_t Unit;
    double W, H;
    double Dpi;
    uint32_t Color;  // colour box: red in the low byte
    const char* Line;
    int32_t PixelsW, PixelsH;
    TBGRPixel Fill;
  } cases[] = {
      {2, 10, 15, 300, 0x000000,
       "NewImage width=10.00000000 vwidth=2 height=15.00000000 vheight=2 Resolution=300 FillColor=0", 1181, 1772,
       TBGRPixel{0, 0, 0}},
      {0, 64, 48, 72, 0x0000FF,
       "NewImage width=64.00000000 vwidth=0 height=48.00000000 vheight=0 Resolution=72 FillColor=255", 64, 48,
       TBGRPixel{0, 0, 255}},
      {1, 2, 0.5, 150, 0x604020,
       "NewImage width=2.00000000 vwidth=1 height=0.50000000 vheight=1 Resolution=150 FillColor=6307872", 300, 75,
       TBGRPixel{0x60, 0x40, 0x20}},
      {3, 25.4, 12.7, 96, 0xFF0000,
       "NewImage width=25.40000000 vwidth=3 height=12.70000000 vheight=3 Resolution=96 FillColor=16711680", 96, 48,
       TBGRPixel{255, 0, 0}},
  };
  for (const TCase& c : cases) {
    RunAction("NewGrafik", [&](TNeuGrafik& d) {
      EXPECT_EQ(d.Caption(), "Grafik ...");
      EXPECT_FALSE(d.ResizeFace());
      d.sizeframe1->dpiframeform1->SetShown(c.Dpi);
      d.sizeframe1->converterframe1->SetUnitIndex(c.Unit);
      d.sizeframe1->converterframe2->SetUnitIndex(c.Unit);
      d.sizeframe1->converterframe1->SetShown(c.W);
      d.sizeframe1->converterframe2->SetShown(c.H);
      d.Framehsvform1->SetColor(TColor(c.Color));
      Ok(d);
    });
    EXPECT_EQ(LastLine(), c.Line);
    Tchild* child = Active();
    ASSERT_NE(child, nullptr) << c.Line;
    timagerlayer& im = *child->imager1;
    EXPECT_EQ(im.Bitmap().Width(), c.PixelsW) << c.Line;
    EXPECT_EQ(im.Bitmap().Height(), c.PixelsH) << c.Line;
    EXPECT_EQ(im.IOParams().DpiX, int32_t(c.Dpi)) << c.Line;
    EXPECT_EQ(PixelAt(im, c.PixelsW - 1, c.PixelsH - 1), c.Fill) << c.Line;
  }
}

TEST_F(NewImageDialog, ResizeFaceStartsFromTheImageAndBuildsTheResizeLine) {
  Tchild* child = OverrideChild(640, 480, TBGRPixel{10, 20, 30});
  child->imager1->IOParams().DpiX = child->imager1->IOParams().DpiY = 72;
  Form->OverrideChild = nullptr;
  Pump();
  ASSERT_EQ(Form->getimager(), child->imager1);

  RunAction("Resize", [](TNeuGrafik& d) {
    EXPECT_TRUE(d.ResizeFace());
    Tsizeframe& s = *d.sizeframe1;
    EXPECT_DOUBLE_EQ(s.WidthPixels(), 640);
    EXPECT_DOUBLE_EQ(s.HeightPixels(), 480);
    EXPECT_DOUBLE_EQ(s.Resolution(), 72);
    EXPECT_EQ(s.origlabel->Caption(), "640 x 480 Pixel");
    EXPECT_EQ(s.orres->Caption(), "72 dpi");
    // Without scaling the filter choice is off and the line says Resample 0.
    d.scaleCheckBox->SetChecked(false);
    EXPECT_FALSE(d.filterchoosebox->Enabled());
    s.CheckBox1->SetChecked(true);
    s.converterframe1->SetShown(320);
    EXPECT_DOUBLE_EQ(s.HeightPixels(), 240);
    Ok(d);
  });
  EXPECT_EQ(LastLine(),
            "Resize width=320.00000000 vwidth=0 height=240.00000000 vheight=0 Resolution=72 Resample=0 ResampleFilter=0");
  EXPECT_EQ(child->imager1->Bitmap().Width(), 320);
  EXPECT_EQ(child->imager1->Bitmap().Height(), 240);

  // Scaled with a filter, in percent of the image, at a new resolution.
  RunAction("Resize", [](TNeuGrafik& d) {
    EXPECT_DOUBLE_EQ(d.sizeframe1->WidthPixels(), 320);  // the image as it is now
    d.scaleCheckBox->SetChecked(true);
    EXPECT_TRUE(d.filterchoosebox->Enabled());
    d.filterchoosebox->Select(5);
    Tsizeframe& s = *d.sizeframe1;
    s.CheckBox1->SetChecked(false);
    s.converterframe1->SetUnitIndex(7);
    s.converterframe2->SetUnitIndex(7);
    s.converterframe1->SetShown(50);
    s.converterframe2->SetShown(25);
    s.dpiframeform1->SetShown(144);
    Ok(d);
  });
  EXPECT_EQ(LastLine(), "Resize width=50.00000000 vwidth=7 height=25.00000000 vheight=7 Resolution=144 Resample=1 "
                        "ResampleFilter=5");
  EXPECT_EQ(child->imager1->Bitmap().Width(), 160);
  EXPECT_EQ(child->imager1->Bitmap().Height(), 60);
  EXPECT_EQ(child->imager1->IOParams().DpiX, 144);
}

TEST_F(NewImageDialog, CancelChangesNothingAndChoicesAreKept) {
  const int32_t windows = Windows();
  const int32_t logged = Logged().Count();
  RunAction("NewGrafik", [](TNeuGrafik& d) {
    d.sizeframe1->converterframe1->SetShown(77);
    d.Button2->Click();
  });
  EXPECT_EQ(Windows(), windows);
  EXPECT_EQ(Logged().Count(), logged);

  // The filter and the scale box are kept for the next time.
  OverrideChild(40, 30, TBGRPixel{0, 0, 0});
  Form->OverrideChild = nullptr;
  RunAction("Resize", [](TNeuGrafik& d) {
    d.scaleCheckBox->SetChecked(false);
    d.filterchoosebox->Select(3);
    Ok(d);
  });
  RunAction("Resize", [](TNeuGrafik& d) {
    EXPECT_FALSE(d.scaleCheckBox->Checked());
    EXPECT_EQ(d.filterchoosebox->ItemIndex(), 3);
    EXPECT_FALSE(d.filterchoosebox->Enabled());
    d.Button2->Click();
  });
}

#ifdef KV_PROGRAM_DIR
class NewImageProgram : public TTempFolderTest {};

// What users run: the program plays the lines the dialog writes from a batch, in a temporary home.
TEST_F(NewImageProgram, TheDialogsLinesMakeTheImagesInTheProgram) {
  if (!HaveTool("identify")) GTEST_SKIP() << "identify is not installed";
  const std::string out = Dir + "neu.bmp";
  WriteText(Dir + "job.atp",
            "NewImage width=2.00000000 vwidth=1 height=1.00000000 vheight=1 Resolution=50 FillColor=65280\r\n"
            "Resize width=50.00000000 vwidth=7 height=100.00000000 vheight=7 Resolution=25 Resample=1 "
            "ResampleFilter=1\r\n" +
                EscapeBatchLine("SaveAs FileName=\"" + out + "\"") + "\r\nQUIT\r\n");
  const TToolRun r = RunTool("cd " + Dir + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR=" +
                             Dir + " XDG_CONFIG_HOME=" + Dir + "config HOME=" + Dir + " timeout -k 10 300 " +
                             KV_PROGRAM_DIR + "kavrelin job.atp 2>&1");
  ASSERT_TRUE(WIFEXITED(r.Status) && WEXITSTATUS(r.Status) == 0) << r.Output;
  // ImageMagick reads what the program wrote: 2 x 1 inches at 50 dpi, then half as wide: 50 x 50 green.
  EXPECT_EQ(RunCapture("identify -format '%w %h %[pixel:p{10,10}]' '" + out + "'"), "50 50 srgb(0,255,0)");
}
#endif

}  // namespace
}  // namespace kv::test
