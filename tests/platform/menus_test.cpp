// Menu items: the tree, radio groups, action links and freeing.
#include "platform/ui/menus.h"

#include "gtest/gtest.h"

namespace kv {
namespace {

TEST(MenuItemTest, TreeRadioGroupAndFind) {
  TMainMenu menu(nullptr);
  auto* file = new TMenuItem(nullptr);
  file->SetCaption("&Datei");
  menu.Items()->Add(file);
  TMenuItem* a = new TMenuItem(nullptr);
  TMenuItem* b = new TMenuItem(nullptr);
  for (TMenuItem* i : {a, b}) {
    i->SetRadioItem(true);
    file->Add(i);
  }
  a->SetChecked(true);
  b->SetChecked(true);
  EXPECT_FALSE(a->Checked());
  EXPECT_EQ(menu.Items()->Find("DATEI"), file);
  EXPECT_EQ(b->MenuIndex(), 1);
  file->Delete(0);
  EXPECT_EQ(file->Count(), 1);
  EXPECT_THROW(file->Items(3), EListError);
}

TEST(MenuItemTest, FollowsItsActionAndClickRunsIt) {
  TCustomAction action(nullptr);
  int runs = 0;
  action.OnExecute = [&](TObject*) { ++runs; };
  action.SetCaption("Speichern");
  TMenuItem item(nullptr);
  item.SetAction(&action);
  EXPECT_EQ(item.Caption(), "Speichern");
  action.SetEnabled(false);
  EXPECT_FALSE(item.Enabled());
  item.Click();
  EXPECT_EQ(runs, 0);
  action.SetEnabled(true);
  item.Click();
  EXPECT_EQ(runs, 1);
}

TEST(MenuItemTest, OwnedSubitemLeavesParentWhenFreedFirst) {
  TComponent owner(nullptr);
  TMenuItem parent(nullptr);
  auto* owned = new TMenuItem(&owner);
  parent.Add(owned);
  delete owned;
  EXPECT_EQ(parent.Count(), 0);
}

}  // namespace
}  // namespace kv
