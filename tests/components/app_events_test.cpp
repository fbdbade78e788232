// The application event chain: newest first, Chained and handled flags
// stopping the walk, and the application's own handlers kept and put back
// whatever the order components come and go in.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "components/app_events.h"
#include "platform/rtl/strings.h"
#include "platform/ui/actions.h"
#include "platform/ui/application.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "support/shot_file.h"

namespace kv {
namespace {

class AppEvents : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureQtApplication();
    SavedIdle = Application->OnIdle;
    SavedMessage = Application->OnMessage;
    SavedHelp = Application->OnHelp;
    SavedException = Application->OnException;
    SavedFormChange = Screen->OnActiveFormChange;
    // The program's own handlers, there before any component.
    Application->OnIdle = [this](TObject*, bool&) { Log.push_back("old"); };
    Application->OnMessage = [this](TMessage&, bool&) { Log.push_back("old"); };
    Application->OnHelp = [this](uint16_t, intptr_t, bool&) {
      Log.push_back("old");
      return true;
    };
    Application->OnException = nullptr;
  }
  void TearDown() override {
    Application->OnIdle = SavedIdle;
    Application->OnMessage = SavedMessage;
    Application->OnHelp = SavedHelp;
    Application->OnException = SavedException;
    Screen->OnActiveFormChange = SavedFormChange;
  }
  std::unique_ptr<TAppEvents> Make(const std::string& Name) {
    auto e = std::make_unique<TAppEvents>(nullptr);
    e->OnIdle = [this, Name](TObject*, bool&) { Log.push_back(Name); };
    e->OnMessage = [this, Name](TMessage& M, bool& Handled) {
      Log.push_back(Name);
      Handled = M.WParam == 1 && Name == "b";
    };
    e->OnHelp = [this, Name](uint16_t, intptr_t, bool&) {
      Log.push_back(Name);
      return Name == "a";
    };
    return e;
  }
  std::vector<std::string> Idle() {
    Log.clear();
    bool done = true;
    if (Application->OnIdle) Application->OnIdle(Application, done);
    return Log;
  }
  std::vector<std::string> Log;
  TIdleEvent SavedIdle;
  TMessageEvent SavedMessage;
  THelpEvent SavedHelp;
  TExceptionEvent SavedException;
  TNotifyEvent SavedFormChange;
};

using V = std::vector<std::string>;

TEST_F(AppEvents, ThreeComponentsInEveryOrderOfDestructionAndTheOldHandlerComesBack) {
  std::array<int, 3> order{0, 1, 2};
  do {
    std::array<std::unique_ptr<TAppEvents>, 3> e{Make("a"), Make("b"), Make("c")};
    const char* names[] = {"a", "b", "c"};
    ASSERT_EQ(Idle(), (V{"c", "b", "a", "old"}));
    for (int gone : order) {
      e[size_t(gone)].reset();
      V expected;
      for (int i = 2; i >= 0; --i)
        if (e[size_t(i)]) expected.push_back(names[i]);
      expected.push_back("old");
      EXPECT_EQ(Idle(), expected) << order[0] << order[1] << order[2];
    }
    // The program's idle handler is there again, not an empty slot.
    EXPECT_EQ(Idle(), V{"old"});
    EXPECT_FALSE(AppEventList()->Hooked());
  } while (std::next_permutation(order.begin(), order.end()));
}

TEST_F(AppEvents, ChainedFalseAndHandledStopTheWalk) {
  auto a = Make("a"), b = Make("b"), c = Make("c");
  b->SetChained(false);
  EXPECT_EQ(Idle(), (V{"c", "b"}));  // neither the older one nor the old handler
  b->SetChained(true);

  TMessage m{WM_USER, 1, 0, 0};
  bool handled = false;
  Log.clear();
  Application->OnMessage(m, handled);
  EXPECT_TRUE(handled);
  EXPECT_EQ(Log, (V{"c", "b"}));
  m.WParam = 0;
  handled = false;
  Log.clear();
  Application->OnMessage(m, handled);
  EXPECT_EQ(Log, (V{"c", "b", "a", "old"}));

  // OnHelp answers with the last handler called.
  bool call = true;
  Log.clear();
  EXPECT_TRUE(Application->OnHelp(HELP_CONTEXT, 5, call));
  EXPECT_EQ(Log, (V{"c", "b", "a", "old"}));
  a->SetChained(false);
  EXPECT_TRUE(Application->OnHelp(HELP_CONTEXT, 5, call));
  c->SetChained(false);
  EXPECT_FALSE(Application->HelpContext(5));

  // A component freed by its own handler leaves the walk cleanly.
  a->SetChained(true);
  c->SetChained(true);
  c->OnIdle = [&](TObject*, bool&) {
    Log.push_back("c");
    b.reset();
  };
  EXPECT_EQ(Idle(), (V{"c", "a", "old"}));
}

TEST_F(AppEvents, ActionsShortcutsFormsAndMinimizingGoThroughTheChain) {
  auto older = std::make_unique<TAppEvents>(nullptr);
  auto newer = std::make_unique<TAppEvents>(nullptr);
  older->OnActionExecute = [this](TBasicAction* A, bool& H) {
    Log.push_back("older " + A->Name());
    H = true;
  };
  newer->OnActionExecute = [this](TBasicAction* A, bool&) { Log.push_back("newer " + A->Name()); };
  TAction action(nullptr);
  action.SetName("Speichern");
  action.OnExecute = [this](TObject*) { Log.push_back("own"); };
  EXPECT_TRUE(action.Execute());
  EXPECT_EQ(Log, (V{"newer Speichern", "older Speichern"}));  // handled: the action's own handler is not run

  Log.clear();
  newer->OnShortCut = [this](TMessage&, bool& H) {
    Log.push_back("shortcut");
    H = true;
  };
  older->OnShortCut = [this](TMessage&, bool&) { Log.push_back("older shortcut"); };
  TMessage key{WM_KEYDOWN, 'S', 0, 0};
  bool handled = false;
  Application->OnShortCut(key, handled);
  EXPECT_EQ(Log, V{"shortcut"});

  Log.clear();
  older->OnActiveFormChange = [this](TObject*) { Log.push_back("form"); };
  older->OnMinimize = [this](TObject*) { Log.push_back("minimize"); };
  older->OnRestore = [this](TObject*) { Log.push_back("restore"); };
  TForm form(nullptr);
  Screen->SetActiveForm(&form);
  Screen->SetActiveForm(nullptr);
  Application->Minimize();
  Application->Restore();
  EXPECT_EQ(Log, (V{"form", "form", "minimize", "restore"}));
}

TEST_F(AppEvents, ExceptionsNobodyHearsOfAreShownAsAlways) {
  TScriptedDialogsScope dialogs;
  auto e = std::make_unique<TAppEvents>(nullptr);
  try {
    throw Exception("Kaputt");
  } catch (...) {
    dialogs->Answer(IDOK);
    Application->HandleException(nullptr);
  }
  ASSERT_EQ(dialogs->Shown.size(), 1u);
  EXPECT_EQ(dialogs->Shown[0].Text, "Kaputt.");
  std::string heard;
  e->OnException = [&](TObject*, const Exception& E) { heard = E.Message(); };
  try {
    throw Exception("Wieder");
  } catch (...) {
    Application->HandleException(nullptr);
  }
  EXPECT_EQ(heard, "Wieder");
  EXPECT_EQ(dialogs->Shown.size(), 1u);
}

TEST_F(AppEvents, SettingsGoToTheApplicationAndTheMainWindowHook) {
  const int32_t pause = Application->HintPause();
  {
    auto e = std::make_unique<TAppEvents>(nullptr);
    EXPECT_TRUE(e->Chained());
    EXPECT_EQ(e->HintPause(), 500);
    EXPECT_EQ(e->HintHidePause(), 2500);
    EXPECT_EQ(e->MouseDragThreshold(), 5);
    e->SetHintPause(750);
    EXPECT_EQ(Application->HintPause(), 750);
    SetPropValue(e.get(), "MouseDragThreshold", "9");
    EXPECT_EQ(Mouse().DragThreshold, 9);
    Application->SetHintPause(100);
    e->Loaded();  // the component's own values are written again
    EXPECT_EQ(Application->HintPause(), 750);

    int32_t settings = 0;
    e->OnSettingsChanged = [&](TObject*) { ++settings; };
    TMessage m{WM_SETTINGCHANGE, 0, 0, 0};
    EXPECT_FALSE(Application->MainWindowMessage(m));
    EXPECT_EQ(settings, 1);
    // Minimised, the application's icon is painted by the component.
    e->OnPaintIcon = [](TObject*, TCanvas& C) {
      C.Brush().SetColor(clRed);
      C.FillRect(TRect{8, 8, 24, 24});
    };
    TMessage paint{WM_PAINT, 1, 0, 0};
    EXPECT_FALSE(Application->MainWindowMessage(paint));  // not minimised
    Application->Minimize();
    EXPECT_TRUE(Application->MainWindowMessage(paint));
    Application->Restore();
    EXPECT_EQ(e->Canvas().Bitmap().GetPixelColor(16, 16), clRed);
    EXPECT_EQ(e->Canvas().Bitmap().GetPixelColor(2, 2), TColor(ColorToRGB(clBackground)));
    test::SaveShot(e->Canvas().Bitmap(), "app_events_icon.png");
  }
  TMessage m{WM_SETTINGCHANGE, 0, 0, 0};
  EXPECT_FALSE(Application->MainWindowMessage(m));  // unhooked with the component
  Application->SetHintPause(pause);
  Mouse().DragThreshold = 5;
}

TEST_F(AppEvents, ASlotTheProgramTookMeanwhileIsLeftToIt) {
  auto e = Make("a");
  Application->OnIdle = [this](TObject*, bool&) { Log.push_back("new"); };
  e.reset();
  EXPECT_EQ(Idle(), V{"new"});
}

}  // namespace
}  // namespace kv
