#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/ui/check_list_box.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"

namespace kv {
namespace {

// The check states follow the lines through every change of the list.
TEST(CheckListBox, StatesFollowTheLines) {
  EnsureQtApplication();
  TForm form(nullptr);
  auto* box = new TCheckListBox(&form);
  box->SetParent(&form);
  int clicks = 0;
  box->OnClickCheck = [&](TObject*) { ++clicks; };
  for (const char* s : {"a", "b", "c"}) box->Items().Add(s);
  box->SetChecked(1, true);
  box->Items().Insert(0, "z");  // z a b* c
  EXPECT_FALSE(box->Checked(0));
  EXPECT_TRUE(box->Checked(2));
  box->Items().Delete(1);  // z b* c
  EXPECT_TRUE(box->Checked(1));
  EXPECT_FALSE(box->Checked(2));
  EXPECT_THROW(box->Checked(3), EListError);
  EXPECT_THROW(box->SetChecked(-1, true), EListError);
  EXPECT_EQ(clicks, 0);

  // Space toggles the selected line and reports it.
  box->SetItemIndex(2);
  box->Perform(WM_KEYDOWN, VK_SPACE, 0);
  EXPECT_TRUE(box->Checked(2));
  EXPECT_EQ(clicks, 1);

  box->Items().Clear();
  box->Items().Add("new");
  EXPECT_FALSE(box->Checked(0));
}

}  // namespace
}  // namespace kv
