#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "components/window_hook.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_window.h"

namespace kv {
namespace {

constexpr UINT WM_PROBE = WM_USER + 7;

// A form that records the messages its own procedure handles.
class TProbeForm : public TForm {
 public:
  using TForm::TForm;
  std::vector<std::string>* Log = nullptr;

 protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == WM_PROBE) {
      if (Log) Log->push_back("form");
      M.Result = 42;
      return;
    }
    TForm::WndProc(M);
  }
};

class WindowHookTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = new TProbeForm(nullptr);
    Form->Log = &Log;
    Form->HandleNeeded();
  }
  void TearDown() override {
    delete Form;
    Application->ProcessMessages();
    Application->OnException = nullptr;
  }
  // A hook owned by the form that logs under its name and may stop the chain.
  TKvWindowHook* AddHook(const std::string& Name, bool HandleBefore = false, bool HandleAfter = false) {
    auto* h = new TKvWindowHook(Form);
    h->BeforeMessage = [this, Name, HandleBefore](TObject*, TMessage& M, bool& Handled) {
      if (M.Msg != WM_PROBE) return;
      Log.push_back(Name + " before");
      Handled = HandleBefore;
    };
    h->AfterMessage = [this, Name, HandleAfter](TObject*, TMessage& M, bool& Handled) {
      if (M.Msg != WM_PROBE) return;
      Log.push_back(Name + " after " + std::to_string(M.Result));
      Handled = HandleAfter;
    };
    h->SetWinControl(Form);
    return h;
  }
  TProbeForm* Form = nullptr;
  std::vector<std::string> Log;
};

TEST_F(WindowHookTest, NewestHookSeesTheMessageFirstOnBothSides) {
  AddHook("a");
  AddHook("b");
  EXPECT_EQ(Form->Perform(WM_PROBE), 42);
  EXPECT_EQ(Log, (std::vector<std::string>{"b before", "a before", "form", "b after 42", "a after 42"}));
}

TEST_F(WindowHookTest, HandledStopsTheOlderHooks) {
  AddHook("a");
  auto* b = AddHook("b", /*HandleBefore=*/true);
  EXPECT_EQ(Form->Perform(WM_PROBE), 0);
  EXPECT_EQ(Log, (std::vector<std::string>{"b before"}));
  Log.clear();
  // Handled after the window stops the older hooks' AfterMessage only.
  delete b;
  AddHook("c", false, /*HandleAfter=*/true);
  EXPECT_EQ(Form->Perform(WM_PROBE), 42);
  EXPECT_EQ(Log, (std::vector<std::string>{"c before", "a before", "form", "c after 42"}));
}

TEST_F(WindowHookTest, HooksLeaveInAnyOrderAndTheOwnProcedureComesBack) {
  auto* a = AddHook("a");
  auto* b = AddHook("b");
  auto* c = AddHook("c");
  delete b;  // the middle one first
  Form->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"c before", "a before", "form", "c after 42", "a after 42"}));
  Log.clear();
  a->SetActive(false);
  Form->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"c before", "form", "c after 42"}));
  Log.clear();
  a->SetActive(true);  // attaches again, now as the newest
  Form->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"a before", "c before", "form", "a after 42", "c after 42"}));
  Log.clear();
  c->SetWinControl(nullptr);
  a->SetWinControl(nullptr);
  EXPECT_EQ(FindControlHook(Form)->Hooks().size(), 0u);
  Form->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"form"}));
  // The emptied control hook goes once the message loop runs.
  Application->ProcessMessages();
  EXPECT_EQ(FindControlHook(Form), nullptr);
}

TEST_F(WindowHookTest, AHookRemovedByAnotherDuringAMessageIsNotAsked) {
  TKvWindowHook* a = AddHook("a");
  auto* b = new TKvWindowHook(Form);
  b->BeforeMessage = [&](TObject*, TMessage& M, bool&) {
    if (M.Msg == WM_PROBE) delete a;
  };
  b->SetWinControl(Form);
  Form->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"form"}));
}

TEST_F(WindowHookTest, AFailingHookIsReportedAndTheNextIsStillAsked) {
  std::vector<std::string> errors;
  Application->OnException = [&](TObject*, const Exception& E) { errors.push_back(E.Message()); };
  AddHook("a");
  auto* bad = new TKvWindowHook(Form);
  bad->BeforeMessage = [](TObject*, TMessage& M, bool&) {
    if (M.Msg == WM_PROBE) throw EInvalidOperation("hook failed");
  };
  bad->SetWinControl(Form);
  EXPECT_EQ(Form->Perform(WM_PROBE), 42);
  EXPECT_EQ(errors, (std::vector<std::string>{"hook failed"}));
  EXPECT_EQ(Log, (std::vector<std::string>{"a before", "form", "a after 42"}));
}

TEST_F(WindowHookTest, ARecreatedWindowKeepsItsHooks) {
  AddHook("a");
  Form->RecreateWnd();
  Application->ProcessMessages();
  Form->Perform(WM_PROBE);
  EXPECT_EQ(Log, (std::vector<std::string>{"a before", "form", "a after 42"}));
}

TEST_F(WindowHookTest, FreeingTheControlUnhooksEveryHook) {
  auto* other = new TForm(nullptr);
  auto* h1 = new TKvWindowHook(nullptr);
  auto* h2 = new TKvWindowHook(nullptr);
  int destroys = 0;
  h1->AfterMessage = [&](TObject*, TMessage& M, bool&) { destroys += M.Msg == WM_DESTROY; };
  h1->SetWinControl(other);
  h2->SetWinControl(other);
  other->HandleNeeded();
  delete other;
  EXPECT_EQ(destroys, 1);  // the hooks saw the window go
  EXPECT_EQ(h1->WinControl(), nullptr);
  EXPECT_EQ(h2->WinControl(), nullptr);
  EXPECT_EQ(FindControlHook(other), nullptr);
  delete h1;
  delete h2;
}

TEST_F(WindowHookTest, IsFormHooksTheOwnerForm) {
  auto* h = new TKvWindowHook(Form);
  EXPECT_FALSE(h->IsForm());
  SetPropValue(h, "IsForm", "True");
  EXPECT_EQ(h->WinControl(), Form);
  EXPECT_EQ(GetPropValue(h, "IsForm"), "True");
}

TEST(PostedMessages, ReachTheirWindowInOrderAndCanBeDropped) {
  std::vector<UINT> got;
  const HWND w = AllocateHWnd([&](TMessage& M) { got.push_back(M.Msg); });
  PostMessage(w, WM_USER + 1);
  PostMessage(w, WM_USER + 2);
  PostMessage(w, WM_USER + 3);
  TMessage removed;
  EXPECT_TRUE(RemovePendingMessage(w, WM_USER + 2, &removed));
  EXPECT_FALSE(RemovePendingMessage(w, WM_USER + 9));
  Application->ProcessMessages();
  EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 1, WM_USER + 3}));
  PostMessage(w, WM_USER + 4);
  DeallocateHWnd(w);
  Application->ProcessMessages();
  EXPECT_EQ(got.size(), 2u);
  EXPECT_FALSE(PostMessage(w, WM_USER + 5));
}

}  // namespace
}  // namespace kv
