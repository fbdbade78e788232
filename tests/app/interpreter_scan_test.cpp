// SCAN on SANE's "test" device, compared with what scanimage scans with the
// same resolution and area.
#include <gtest/gtest.h>

#include <cstring>

#include "command_fixture.h"
#include "imaging/formats/twain_params.h"
#include "platform/ui/list_box.h"
#include "platform/ui/select_source_dialog.h"
#include "support/netpbm_io.h"
#include "support/sane_test_env.h"

// SANE's test backend keeps buffers past sane_exit; its own leaks are not ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libsane-test"; }

namespace kv {
namespace {

using namespace kv::test;

class ScanCommands : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    if (!HaveTool("scanimage") || !HaveTool("pamdepth")) GTEST_SKIP() << "scanimage or netpbm missing";
    if (!Form->imagerlayer1) Form->imagerlayer1 = new timagerlayer(Form.get());
    Form->Show();
  }
  void TearDown() override {
    UnloadTwain(TwainManager());
    CommandTest::TearDown();
  }
};

// The area is given in pixels at the line's resolution: 10, 20, 40 x 30 at
// 50 dpi is 5.08, 10.16, 20.32 x 15.24 mm.
TEST_F(ScanCommands, ScansTheAreaIntoANewImage) {
  UseSaneBackends("test");
  UnloadTwain(TwainManager());
  const std::string raw = SaneScratch("ref.pnm"), ref8 = SaneScratch("ref8.pnm");
  ASSERT_TRUE(ScanImage("--mode Color --depth 8 --resolution 50 -l 5.08 -t 10.16 -x 20.32 -y 15.24", raw));
  ASSERT_EQ(test::Run("pamdepth 255 '" + raw + "' | ppmtoppm > '" + ref8 + "'"), 0);
  TBitmap ref;
  ASSERT_TRUE(ReadPnm(ref8, ref));

  const int32_t windows = Form->MDIChildCount();
  ASSERT_TRUE(RunLine("SCAN NoDialog=1 pixeltype=2 dpix=50 dpiy=50 offsetx=10 offsety=20 sizex=40 sizey=30"));
  ASSERT_EQ(Form->MDIChildCount(), windows + 1);
  timagerlayer* scan = Form->getimager();
  ASSERT_NE(scan, nullptr);
  TBitmap& got = scan->Bitmap();
  ASSERT_EQ(got.PixelFormat(), pf24bit);
  ASSERT_EQ(got.Width(), ref.Width());
  ASSERT_EQ(got.Height(), ref.Height());
  EXPECT_NEAR(got.Width(), 40, 1);
  EXPECT_NEAR(got.Height(), 30, 1);
  for (int32_t y = 0; y < got.Height(); ++y)
    ASSERT_EQ(std::memcmp(got.ScanLine(y), ref.ScanLine(y), size_t(got.Width()) * 3), 0) << "row " << y;
  EXPECT_EQ(scan->IOParams().DpiX, 50);
  // The scanner's own control keeps no page in memory afterwards.
  EXPECT_EQ(Form->imagerlayer1->Bitmap().Width(), 3);
  EXPECT_EQ(Form->imagerlayer1->Bitmap().Height(), 3);
}

TEST_F(ScanCommands, NoScannerGivesFalseAndNoWindow) {
  UseSaneBackends("");
  UnloadTwain(TwainManager());
  const int32_t windows = Form->MDIChildCount();
  EXPECT_FALSE(RunLine("SCAN NoDialog=1"));
  EXPECT_EQ(Form->MDIChildCount(), windows);
}

TEST_F(ScanCommands, AResolutionOfZeroIsRefused) {
  UseSaneBackends("test");
  UnloadTwain(TwainManager());
  const int32_t windows = Form->MDIChildCount();
  EXPECT_FALSE(Line("SCAN NoDialog=1 dpix=0 sizex=40 sizey=30"));
  EXPECT_TRUE(FailureShown("SCAN NoDialog=1 dpix=0 sizex=40 sizey=30"));
  EXPECT_EQ(Form->MDIChildCount(), windows);
}

// The choice is offered with the current scanner marked; Cancel keeps it.
TEST_F(ScanCommands, ChooseScannerKeepsTheChoiceUnlessCancelled) {
  UseSaneBackends("test");
  UnloadTwain(TwainManager());
  TIMTWainParams& p = Form->imagerlayer1->TWainParams();
  int32_t offered = -1;
  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    auto& form = dynamic_cast<TSelectSourceForm&>(F);
    offered = form.List->ItemIndex();
    form.List->SetItemIndex(1);
    return mrOk;
  });
  ASSERT_TRUE(RunLine("CHOOSESCANNER"));
  EXPECT_EQ(offered, 0);
  EXPECT_EQ(p.SelectedSource(), 1);

  (*Dialogs)->AnswerModal([&](TCustomForm& F) {
    offered = dynamic_cast<TSelectSourceForm&>(F).List->ItemIndex();
    return mrCancel;
  });
  ASSERT_TRUE(RunLine("CHOOSESCANNER"));
  EXPECT_EQ(offered, 1);
  EXPECT_EQ(p.SelectedSource(), 1);

  ASSERT_TRUE(RunLine("SCAN NoDialog=1 dpix=50 dpiy=50 sizex=20 sizey=10"));
  EXPECT_EQ(p.SelectedSource(), 1);
}

}  // namespace
}  // namespace kv
