// Stereo files and windows: ".jps" written and read (ImageMagick sees a JPEG
// of both eyes side by side), the glasses test picture, the 3-D window's
// preview and the mesh demo shown and closed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/batch/batch_window.h"
#include "app/child/drawing_options.h"
#include "app/layer/imager_layer.h"
#include "app/tools/mesh_tool.h"
#include "app/tools/stereo_tool.h"
#include "app/tools/tool_files.h"
#include "command_fixture.h"
#include "imaging/formats/imager_io.h"
#include "imaging/processing/stereo.h"
#include "platform/ui/std_controls.h"
#include "platform/rtl/file_utils.h"
#include "support/outside_tools.h"

namespace kv {
namespace {

using namespace kv::test;

TBGRPixel Px(const TBitmap& B, int32_t X, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y))[X]; }
TBGRPixel LeftEye(int32_t x, int32_t y) { return {uint8_t(40 + x), uint8_t(60 + y), 200}; }
TBGRPixel RightEye(int32_t x, int32_t y) { return {200, uint8_t(90 + y), uint8_t(30 + x)}; }

// The mean difference per channel (JPEG loses a little everywhere, more at the seam).
double MeanDiff(const TBitmap& A, const TPixelAt& B) {
  double sum = 0;
  for (int32_t y = 0; y < A.Height(); ++y)
    for (int32_t x = 0; x < A.Width(); ++x) {
      const TBGRPixel a = Px(A, x, y), b = B(x, y);
      sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
    }
  return sum / (3.0 * A.Width() * A.Height());
}

class StereoTool : public CommandTest {};

TEST_F(StereoTool, JpsRoundTripsAndIsAJpegOfBothEyes) {
  const std::string jps = Dir + "pair.jps";
  SaveJps(jps, *Make24(48, 32, LeftEye), *Make24(48, 32, RightEye));
  if (HaveTool("identify")) {
    EXPECT_EQ(RunCapture("identify -format '%m %w %h' '" + jps + "'"), "JPEG 96 32");
  }
  TBitmap left, right;
  LoadEyeImage(jps, left, true);
  LoadEyeImage(jps, right, false);
  ASSERT_EQ(left.Width(), 48);
  ASSERT_EQ(right.Height(), 32);
  EXPECT_LE(MeanDiff(left, LeftEye), 6);
  EXPECT_LE(MeanDiff(right, RightEye), 6);
  // Its left half holds the right eye: mostly blue there.
  TBitmap whole;
  TImagerIO io(nullptr);
  io.AttachBitmap(&whole);
  io.LoadFromFileByType(jps, 3);
  ASSERT_FALSE(io.Aborted());
  EXPECT_LE(std::abs(Px(whole, 5, 5).b - 200), 20);
  EXPECT_LE(std::abs(Px(whole, 48 + 5, 5).r - 200), 20);
}

TEST_F(StereoTool, GlassesTestPicture) {
  TBitmap b;
  DrawGlassesTest(b, 120, 90);
  EXPECT_EQ(Px(b, 10 + 85, 5), (TBGRPixel{0, 0, 255}));
  EXPECT_EQ(Px(b, 10 + 2, 30 + 20), (TBGRPixel{0, 6, 0}));
  EXPECT_EQ(Px(b, 10 + 1, 55), (TBGRPixel{3, 0, 0}));
  EXPECT_EQ(Px(b, 5, 5), TBGRPixel{});
}

TEST_F(StereoTool, WindowPreviewsWhatTheLineMakes) {
  SaveToolPicture(Dir + "l.png", *Make24(30, 20, LeftEye));
  SaveToolPicture(Dir + "r.png", *Make24(30, 20, RightEye));
  Tanaglyphform w(nullptr, 0, "3D");
  w.LeftEdit->SetText(Dir + "l.png");
  w.RightEdit->SetText(Dir + "r.png");
  w.mycombobox1->SetItemIndex(skCrossed);
  w.FormShow(nullptr);
  ASSERT_EQ(w.Stereo->Width(), 60);
  ASSERT_TRUE(RunLine(w.BuildLine()));
  TBitmap& made = Form->getimager()->Bitmap();
  ASSERT_EQ(made.Width(), 60);
  for (int32_t y = 0; y < 20; y += 7)
    for (int32_t x = 0; x < 60; x += 9) EXPECT_EQ(Px(made, x, y), Px(*w.Stereo, x, y)) << x << "," << y;
}

TEST_F(StereoTool, MeshDemoShowsAndCloses) {
  Form->SetWindowState(wsNormal);
  auto* history = new Tbatchwindowform(Form.get());
  auto* options = new TdrawingoptionsForm(Form.get());
  ASSERT_EQ(batchwindowform, history);
  ASSERT_EQ(drawingoptionsform, options);
  // The demo lowers the main window and those of the history and the drawing
  // options that are shown; a hidden one is left as it is. (After each line
  // the menu state puts both back as their menu entries say.)
  for (const bool optionsShown : {false, true}) {
    SCOPED_TRACE(optionsShown ? "options shown" : "options hidden");
    history->Show();
    options->SetVisible(optionsShown);
    (*Dialogs)->AnswerModal([&](TCustomForm& F) {
      auto& w = dynamic_cast<Tanaglyphform&>(F);
      w.Preview();
      EXPECT_TRUE(w.Demo);
      EXPECT_EQ(Form->WindowState(), wsMinimized);
      EXPECT_EQ(history->WindowState(), wsMinimized);
      EXPECT_EQ(options->WindowState(), optionsShown ? wsMinimized : wsNormal);
      // Without a fixed output size the picture takes the view's size.
      EXPECT_EQ(w.Stereo->Width(), w.timagerlayer1->ClientWidth());
      EXPECT_EQ(w.Stereo->Height(), w.timagerlayer1->ClientHeight());
      return mrCancel;
    });
    ASSERT_TRUE(RunLine("SHOWMESHDEMO"));
    EXPECT_EQ(Form->WindowState(), wsNormal);
    EXPECT_EQ(history->WindowState(), wsNormal);
    EXPECT_EQ(options->WindowState(), wsNormal);
  }
  EXPECT_TRUE(FileExists(Dir + "Images/lamp.asc"));
  EXPECT_EQ((*Dialogs)->Pending(), 0u);
}

}  // namespace
}  // namespace kv
