#include "platform/ui/select_source_dialog.h"

#include <gtest/gtest.h>

#include "platform/ui/dialogs.h"
#include "platform/ui/list_box.h"
#include "ui_test_support.h"

namespace kv {
namespace {

TEST(SelectSourceDialog, ListsTheSourcesAndGivesTheChosenOne) {
  TScriptedDialogsScope dialogs;
  const std::vector<std::string> names{"Noname frontend-tester (test:0)", "Noname frontend-tester (test:1)"};
  dialogs->AnswerModal([&](TCustomForm& F) {
    auto& f = static_cast<TSelectSourceForm&>(F);
    EXPECT_EQ(f.List->Items().Count(), 2);
    EXPECT_EQ(f.List->ItemIndex(), 1);  // the current source is preselected
    f.List->SetItemIndex(0);
    return mrOk;
  });
  std::string chosen;
  EXPECT_TRUE(SelectSourceDialog(names, chosen, names[1]));
  EXPECT_EQ(chosen, names[0]);

  dialogs->AnswerModal([](TCustomForm&) { return mrCancel; });
  chosen = "kept";
  EXPECT_FALSE(SelectSourceDialog(names, chosen));
  EXPECT_EQ(chosen, "kept");
  // Nothing to choose from: no dialog at all.
  EXPECT_FALSE(SelectSourceDialog({}, chosen));
  EXPECT_EQ(dialogs->Pending(), 0u);
}

}  // namespace
}  // namespace kv
