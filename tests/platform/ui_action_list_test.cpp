// The action list: its actions, its OnExecute that sees every action first,
// and the references between list and actions when either is freed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/actions.h"

namespace kv {
namespace {

TEST(ActionList, OnExecuteSeesEveryActionBeforeItsOwnHandler) {
  TActionList list(nullptr);
  TAction a(nullptr), b(nullptr);
  a.SetName("Open");
  b.SetName("Close");
  a.SetActionList(&list);
  b.SetActionList(&list);
  std::vector<std::string> seen;
  int own = 0;
  a.OnExecute = b.OnExecute = [&](TObject*) { ++own; };
  list.OnExecute = [&](TBasicAction* Action, bool& Handled) {
    seen.push_back(Action->Name());
    Handled = Action == &a;
  };
  EXPECT_TRUE(a.Execute());
  EXPECT_EQ(own, 0);  // handled by the list
  EXPECT_TRUE(b.Execute());
  EXPECT_EQ(own, 1);  // not handled: the action's own handler runs
  EXPECT_EQ(seen, (std::vector<std::string>{"Open", "Close"}));
  EXPECT_EQ(list.FindAction("OPEN"), &a);
  EXPECT_EQ(list.FindAction("none"), nullptr);
}

TEST(ActionList, ListAndActionsForgetEachOtherWhenFreed) {
  auto list = std::make_unique<TActionList>(nullptr);
  auto a = std::make_unique<TAction>(nullptr);
  TAction b(nullptr);
  a->SetActionList(list.get());
  b.SetActionList(list.get());
  ASSERT_EQ(list->ActionCount(), 2);
  a.reset();
  ASSERT_EQ(list->ActionCount(), 1);
  EXPECT_EQ(list->Actions(0), &b);
  EXPECT_THROW(list->Actions(1), EListError);
  b.SetActionList(nullptr);
  EXPECT_EQ(list->ActionCount(), 0);
  b.SetActionList(list.get());
  list.reset();
  EXPECT_EQ(b.ActionList(), nullptr);
  EXPECT_FALSE(b.Execute());  // no list and no handler of its own
}

TEST(ActionList, CategoryIsAStoredProperty) {
  TAction a(nullptr);
  SetPropValue(&a, "Category", "Datei");
  EXPECT_EQ(a.Category(), "Datei");
  EXPECT_EQ(GetPropValue(&a, "Category"), "Datei");
}

}  // namespace
}  // namespace kv
