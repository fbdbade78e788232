// The player on the real interpreter and image windows.
#include <gtest/gtest.h>

#include <string>

#include "app/batch/batch_window.h"
#include "child_test_support.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/list_box.h"
#include "platform/ui/std_controls.h"
#include "support/temp_files.h"

namespace kv {
namespace {

class BatchPlayback : public test::TChildWindowTest {};

TEST_F(BatchPlayback, ThirdLineFailsAfterTheFirstTwoRan) {
  test::TScratchFolder folder;
  const std::string job = folder.Path() + "/job.atp";
  test::WriteText(job,
                  "NEWIMAGE Width=20 Height=10 vwidth=0 vheight=0\r\n"
                  "NEWIMAGE Width=10 Height=5 vwidth=0 vheight=0\r\n"
                  "RESIZE Resample=1 ResampleFilter=99\r\n"
                  "NEWIMAGE Width=30 Height=30 vwidth=0 vheight=0\r\n");
  auto* history = new Tbatchwindowform(Main);
  const int32_t before = Main->MDIChildCount();
  TScriptedDialogsScope dialogs;
  dialogs->Answer(mrOk);
  EXPECT_THROW(Main->playbatch(job), Exception);
  Pump();

  EXPECT_EQ(Main->MDIChildCount(), before + 2);
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_NE(dialogs->Shown[0].Text.find("Folgender Befehl verursachte einen Fehler: \r\rHIDDEN RESIZE"), std::string::npos);
  EXPECT_FALSE(Main->Busy());
  // Batch lines run hidden: neither the history nor a recording sees them.
  EXPECT_EQ(history->TextListBox1->Items().Count(), 0);

  // Typed in the history window, a line is logged and runs.
  history->Edit1->SetText("NEWIMAGE Width=7 Height=7 vwidth=0 vheight=0");
  uint16_t key = VK_RETURN;
  history->Edit1KeyDown(history->Edit1, key, {});
  Pump();
  EXPECT_EQ(Main->MDIChildCount(), before + 3);
  ASSERT_EQ(history->TextListBox1->Items().Count(), 1);
  EXPECT_EQ(history->TextListBox1->Items().Get(0), "NEWIMAGE Width=7 Height=7 vwidth=0 vheight=0");

  // Closing the window unchecks its menu item.
  auto* item = dynamic_cast<TMenuItem*>(Main->FindComponent("BatchFenster1"));
  if (!item) {
    item = new TMenuItem(Main);
    item->SetName("BatchFenster1");
  }
  item->SetChecked(true);
  history->Show();
  history->Close();
  EXPECT_FALSE(item->Checked());
}

}  // namespace
}  // namespace kv
