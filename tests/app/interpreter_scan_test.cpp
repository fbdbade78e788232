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

TEST_F(ScanCommands, NoScannerGivesFalseAndNoWindow) {
  UseSaneBackends("");
  UnloadTwain(TwainManager());
  EXPECT_FALSE(RunLine("SCAN NoDialog=1"));
  EXPECT_EQ(Form->MDIChildCount(), 0);
}

TEST_F(ScanCommands, AResolutionOfZeroIsRefused) {
  UseSaneBackends("test");
  UnloadTwain(TwainManager());
  EXPECT_FALSE(Line("SCAN NoDialog=1 dpix=0 sizex=40 sizey=30"));
  EXPECT_TRUE(FailureShown("SCAN NoDialog=1 dpix=0 sizex=40 sizey=30"));
  EXPECT_EQ(Form->MDIChildCount(), 0);
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
}

}  // namespace
}  // namespace kv
