#include <QtCore/QThread>
#include <QtGui/QFont>
#include <QtWidgets/QApplication>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <new>
#include <system_error>

#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"
#include "platform/ui/timer.h"
#include "ui_test_support.h"

namespace kv {
namespace {

// Runs the loop until Done or about two seconds passed.
template <typename F>
bool PumpUntil(F Done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!Done() && std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    QThread::msleep(2);
  }
  return Done();
}

// Every test answers its dialogs by script; one it did not expect fails it.
class AppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dialogs->OnUnexpected = [this](const std::string& Problem) { Unexpected.push_back(Problem); };
  }
  void TearDown() override {
    EXPECT_EQ(Dialogs->Pending(), 0u) << "answers left over";
    Application->OnException = nullptr;
    Application->OnIdle = nullptr;
  }
  TScriptedDialogsScope Dialogs;
  std::vector<std::string> Unexpected;
};

TEST_F(AppTest, TimerFiresOnlyWhileEnabledWithAnIntervalAndAHandler) {
  TTimer t(nullptr);
  EXPECT_EQ(t.Interval(), 1000u);
  EXPECT_TRUE(t.Enabled());
  EXPECT_FALSE(t.Running());  // no handler yet
  int ticks = 0;
  t.SetInterval(5);
  t.SetOnTimer([&](TObject* Sender) {
    EXPECT_EQ(Sender, &t);
    ++ticks;
  });
  EXPECT_TRUE(PumpUntil([&] { return ticks >= 2; }));
  t.SetEnabled(false);
  const int stopped = ticks;
  for (int i = 0; i < 10; ++i) {
    QThread::msleep(2);
    Application->ProcessMessages();
  }
  EXPECT_EQ(ticks, stopped);
  t.SetEnabled(true);
  t.SetInterval(0);
  EXPECT_FALSE(t.Running());
}

TEST_F(AppTest, AnExceptionInATimerReachesHandleException) {
  std::vector<std::string> caught;
  Application->OnException = [&](TObject* Sender, const Exception& E) {
    caught.push_back(E.Message());
    static_cast<TTimer*>(Sender)->SetEnabled(false);
  };
  TTimer t(nullptr);
  t.SetInterval(1);
  t.SetOnTimer([](TObject*) { throw EInOutError("disk gone"); });
  EXPECT_TRUE(PumpUntil([&] { return !caught.empty(); }));
  EXPECT_EQ(caught, (std::vector<std::string>{"disk gone"}));
}

TEST_F(AppTest, ATimerMayFreeItselfInItsOwnHandler) {
  auto* t = new TTimer(nullptr);
  int fired = 0;
  t->SetInterval(1);
  t->SetOnTimer([&fired, t](TObject*) {
    delete t;
    ++fired;  // the handler still runs after the delete
  });
  EXPECT_TRUE(PumpUntil([&] { return fired > 0; }));
  for (int i = 0; i < 5; ++i) {
    QThread::msleep(2);
    Application->ProcessMessages();
  }
  EXPECT_EQ(fired, 1);
}

TEST_F(AppTest, IdleRunsWhenTheQueueIsEmptyAndAgainWhileNotDone) {
  int idles = 0;
  Application->OnIdle = [&](TObject*, bool& Done) {
    ++idles;
    Done = false;  // ask to be called again instead of waiting
  };
  Application->ProcessMessages();
  for (int i = 0; i < 3; ++i) Application->HandleMessage();
  EXPECT_GE(idles, 1);
  const int before = idles;
  Application->HandleMessage();
  EXPECT_EQ(idles, before + 1);
  // Done: the loop then waits for the next message, here a timer.
  TTimer wake(nullptr);
  wake.SetInterval(5);
  bool woke = false;
  wake.SetOnTimer([&](TObject*) { woke = true; });
  Application->OnIdle = [&](TObject*, bool& Done) { Done = true; };
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!woke && std::chrono::steady_clock::now() < end) Application->HandleMessage();
  EXPECT_TRUE(woke);
}

TEST_F(AppTest, HandleExceptionShowsTheMessageAndIsSilentForAbort) {
  Application->SetTitle("Kavrelin");
  for (int i = 0; i < 4; ++i) Dialogs->Answer(IDOK);
  auto raise = [](auto&& Fn) {
    try {
      Fn();
    } catch (...) {
      Application->HandleException(nullptr);
    }
  };
  raise([] { Abort(); });
  raise([] { throw EConvertError("'x' is not a valid integer value"); });
  raise([] { throw std::runtime_error("Out of paper."); });
  // The standard library's texts are English: its common failures say in German what happened.
  raise([] { throw std::bad_alloc(); });
  raise([] { throw std::system_error(ENOSPC, std::generic_category(), "write"); });
  ASSERT_EQ(Dialogs->Shown.size(), 4u);
  EXPECT_EQ(Dialogs->Shown[0].Kind, dkMessageBox);
  EXPECT_EQ(Dialogs->Shown[0].Text, "'x' is not a valid integer value.");
  EXPECT_EQ(Dialogs->Shown[0].Caption, "Kavrelin");
  EXPECT_EQ(Dialogs->Shown[0].Flags, MB_OK | MB_ICONSTOP);
  EXPECT_EQ(Dialogs->Shown[1].Text, "Interner Fehler: Out of paper.");
  EXPECT_EQ(Dialogs->Shown[2].Text, "Nicht genügend Arbeitsspeicher.");
  EXPECT_EQ(Dialogs->Shown[3].Text, "Kein Platz mehr auf dem Datenträger.");
  Application->HandleException(nullptr);  // outside a catch: nothing to do
  EXPECT_TRUE(Unexpected.empty());
}

TEST_F(AppTest, ScriptedDialogsAnswerInOrderAndRecordWhatWasShown) {
  Dialogs->Answer(mrNo);
  Dialogs->Answer(IDRETRY);
  Dialogs->AnswerInput(true, "new name");
  Dialogs->AnswerInput(false, "ignored");
  Dialogs->Answer(mrOk);
  EXPECT_EQ(MessageDlg("Save changes?", mtConfirmation, mbYesNoCancel, 12), mrNo);
  EXPECT_EQ(Application->MessageBox("Retry?", "Copy", MB_RETRYCANCEL | MB_ICONQUESTION), IDRETRY);
  std::string v = "old";
  EXPECT_TRUE(InputQuery("Rename", "Name:", v));
  EXPECT_EQ(v, "new name");
  EXPECT_EQ(InputBox("Rename", "Name:", "keep"), "keep");
  ShowMessage("Done");
  ASSERT_EQ(Dialogs->Shown.size(), 5u);
  const TDialogRequest& d = Dialogs->Shown[0];
  EXPECT_EQ(d.Text, "Save changes?");
  EXPECT_EQ(d.Type, mtConfirmation);
  EXPECT_TRUE(d.Buttons == mbYesNoCancel);
  EXPECT_EQ(d.HelpCtx, 12);
  EXPECT_EQ(Dialogs->Shown[2].Value, "old");
  EXPECT_TRUE(Dialogs->Shown[4].Buttons == TMsgDlgButtons{mbOK});
  EXPECT_TRUE(Unexpected.empty());
}

TEST_F(AppTest, AnUnscriptedOrMismatchedDialogFailsLoudlyInsteadOfWaiting) {
  EXPECT_EQ(MessageDlg("Overwrite?", mtWarning, TMsgDlgButtons{mbYes, mbNo}, 0), mrCancel);
  Dialogs->AnswerInput(true, "x");
  EXPECT_EQ(Application->MessageBox("Sure?", "", MB_YESNO), IDCANCEL);
  ASSERT_EQ(Unexpected.size(), 2u);
  EXPECT_EQ(Unexpected[0], "no scripted answer for a message dialog: Overwrite?");
  EXPECT_EQ(Unexpected[1], "the next scripted answer is for a input query, not for a message box: Sure?");
  std::string v;
  EXPECT_TRUE(InputQuery("", "", v));  // the left-over answer, used up
}

class TNameDialog : public TForm {
 public:
  using TForm::TForm;
  std::string Entered;
};

TEST_F(AppTest, ShowModalRunsThroughTheScriptWithTheShownForm) {
  TNameDialog dlg(nullptr);
  std::vector<std::string> events;
  dlg.OnShow = [&](TObject*) { events.push_back("show"); };
  dlg.OnHide = [&](TObject*) { events.push_back("hide"); };
  dlg.OnClose = [&](TObject*, TCloseAction& A) { events.push_back("close " + std::to_string(A)); };
  Dialogs->AnswerModal([&](TCustomForm& F) {
    EXPECT_TRUE(F.Visible());
    EXPECT_TRUE(F.FormState().Contains(fsModal));
    static_cast<TNameDialog&>(F).Entered = "Kim";
    return mrOk;
  });
  EXPECT_EQ(dlg.ShowModal(), mrOk);
  EXPECT_EQ(dlg.Entered, "Kim");
  EXPECT_FALSE(dlg.Visible());
  EXPECT_FALSE(dlg.FormState().Contains(fsModal));
  EXPECT_EQ(events, (std::vector<std::string>{"show", "close 1", "hide"}));
  EXPECT_EQ(Dialogs->Shown.back().FormClass, "TNameDialog");

  // A form that refuses to close never ends: reported, then cancelled.
  dlg.OnCloseQuery = [](TObject*, bool& CanClose) { CanClose = false; };
  Dialogs->AnswerModal([](TCustomForm& F) {
    F.SetModalResult(mrYes);
    return mrNone;
  });
  EXPECT_EQ(dlg.ShowModal(), mrCancel);
  ASSERT_EQ(Unexpected.size(), 1u);
  EXPECT_EQ(Unexpected[0], "the scripted modal form TNameDialog did not end with a modal result");

  // Unscripted: reported at once, never shown.
  dlg.OnCloseQuery = nullptr;
  events.clear();
  EXPECT_EQ(dlg.ShowModal(), mrCancel);
  EXPECT_EQ(Unexpected.size(), 2u);
  EXPECT_TRUE(events.empty());

  dlg.Show();
  EXPECT_THROW(dlg.ShowModal(), EInvalidOperation);
}

TEST_F(AppTest, ShowModalStartsClearWithTheNormalCursorAndPutsTheCursorBack) {
  TForm dlg(nullptr);
  dlg.OnShow = [&](TObject*) { dlg.SetModalResult(mrAbort); };  // too early to end the run
  Screen->SetCursor(crHourGlass);
  Dialogs->AnswerModal([](TCustomForm& F) {
    EXPECT_EQ(F.ModalResult(), mrNone);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    return mrOk;
  });
  EXPECT_EQ(dlg.ShowModal(), mrOk);
  EXPECT_EQ(Screen->Cursor(), crHourGlass);
  Screen->SetCursor(crDefault);
}

// A modal run must not touch a form that something running inside it freed.
TEST_F(AppTest, AFormFreedDuringItsModalRunEndsItAsCancelled) {
  auto* f = new TForm(nullptr);
  Dialogs->AnswerModal([](TCustomForm& F) {
    delete &F;
    return mrOk;
  });
  EXPECT_EQ(f->ShowModal(), mrCancel);
  EXPECT_TRUE(Unexpected.empty());
}

TEST_F(AppTest, CloseAsksFirstThenHidesOrFreesAsOnCloseSays) {
  auto* form = new TForm(nullptr);
  bool destroyed = false;
  form->OnDestroy = [&](TObject*) { destroyed = true; };
  bool allow = false;
  form->OnCloseQuery = [&](TObject*, bool& CanClose) { CanClose = allow; };
  form->Show();
  EXPECT_EQ(Screen->ActiveForm(), form);
  form->Close();
  EXPECT_TRUE(form->Visible());
  allow = true;
  form->Close();
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(Screen->ActiveForm(), nullptr);
  form->Show();
  form->OnClose = [](TObject*, TCloseAction& A) { A = caFree; };
  form->Close();
  EXPECT_FALSE(destroyed);  // freed once the current message is done
  EXPECT_TRUE(PumpUntil([&] { return destroyed; }));
  for (int32_t i = 0; i < Screen->FormCount(); ++i) EXPECT_NE(Screen->Forms(i), form);
}

TEST_F(AppTest, RunWithoutAMainFormReturnsAtOnce) {
  ASSERT_EQ(Application->MainForm(), nullptr);
  TTimer guard(nullptr);  // ends a loop that should not have started
  bool stopped = false;
  guard.SetInterval(1000);
  guard.SetOnTimer([&](TObject*) {
    stopped = true;
    Application->Terminate();
  });
  Application->Run();
  EXPECT_FALSE(stopped);
}

TEST_F(AppTest, ClosingTheMainFormEndsTheApplication) {
  TForm* main = nullptr;
  bool created = false;
  Application->CreateForm(main);
  main->OnCreate = [&](TObject*) { created = true; };  // too late: CreateForm already ran it
  EXPECT_EQ(Application->MainForm(), main);
  EXPECT_FALSE(created);
  main->Show();
  main->Close();
  EXPECT_TRUE(Application->Terminated());
  delete main;
  EXPECT_EQ(Application->MainForm(), nullptr);
}

// However the main form goes, the run it kept going ends.
TEST_F(AppTest, FreeingTheMainFormEndsTheRun) {
  // Terminate cannot be taken back: only a process whose application still runs can show it.
  if (Application->Terminated() || Application->MainForm()) GTEST_SKIP() << "an earlier test ended the application";
  TForm* main = nullptr;
  Application->CreateForm(main);
  bool destroyed = false;
  main->OnDestroy = [&](TObject*) { destroyed = true; };
  TTimer trigger(nullptr);
  trigger.SetInterval(10);
  trigger.SetOnTimer([&](TObject*) {
    trigger.SetEnabled(false);
    main->Release();
  });
  TTimer guard(nullptr);  // ends a run that would otherwise never return
  bool stopped = false;
  guard.SetInterval(3000);
  guard.SetOnTimer([&](TObject*) {
    stopped = true;
    Application->Terminate();
  });
  Application->Run();
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(stopped);
  EXPECT_EQ(Application->MainForm(), nullptr);
}

// A form whose fields its OnDestroy handler reads.
class TFieldForm : public TForm {
 public:
  explicit TFieldForm(TComponent* AOwner) : TForm(AOwner) {
    OnDestroy = [this](TObject*) { Seen.push_back(Alive.Value && Items.size() == 3 ? "whole" : "torn"); };
  }
  struct TAlive {
    bool Value = true;
    ~TAlive() { Value = false; }
  } Alive;
  std::vector<int> Items{1, 2, 3};
  static inline std::vector<std::string> Seen;
};

TEST_F(AppTest, OnDestroySeesTheWholeFormHoweverItIsFreed) {
  TFieldForm::Seen.clear();
  delete new TFieldForm(nullptr);
  TComponent* owner = new TComponent(nullptr);
  new TFieldForm(owner);
  delete owner;
  TForm* base = new TFieldForm(nullptr);
  delete base;
  auto* released = new TFieldForm(nullptr);
  released->Release();
  EXPECT_TRUE(PumpUntil([&] { return TFieldForm::Seen.size() == 4; }));
  auto* closed = new TFieldForm(nullptr);
  closed->Show();
  closed->OnClose = [](TObject*, TCloseAction& A) { A = caFree; };
  closed->Close();
  EXPECT_TRUE(PumpUntil([&] { return TFieldForm::Seen.size() == 5; }));
  EXPECT_EQ(TFieldForm::Seen, std::vector<std::string>(5, "whole"));
}

// A batch run without a display: a message box writes its text to standard
// error and takes its default answer instead of ending the process. Each case
// runs in a fresh process started without a display or a chosen platform.
TEST(Headless, MessageBoxesPrintAndAnswerTheirDefault) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");  // a new process, not a fork of this one
  std::vector<std::pair<std::string, std::string>> saved;
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
    if (const char* v = std::getenv(name)) saved.emplace_back(name, v);
    ::unsetenv(name);
  }
  EXPECT_EXIT(std::exit(int(MessageDlg("Datei fehlt", mtError, {mbOK}, 0))), ::testing::ExitedWithCode(mrOk),
              "Error: Datei fehlt");
  EXPECT_EXIT(std::exit(int(MessageDlg("Speichern?", mtConfirmation, {mbYes, mbNo, mbCancel}, 0))),
              ::testing::ExitedWithCode(mrYes), "Speichern");
  EXPECT_EXIT(std::exit(Application->MessageBox("Weiter?", "Frage", MB_YESNO | MB_DEFBUTTON2)),
              ::testing::ExitedWithCode(IDNO), "Frage: Weiter");
  for (const auto& [name, value] : saved) ::setenv(name.c_str(), value.c_str(), 1);
}

TEST_F(AppTest, ScreenMetricsAndInjectedResolution) {
  EXPECT_GT(Screen->Width(), 0);
  EXPECT_GT(Screen->Height(), 0);
  EXPECT_LE(Screen->WorkAreaRect().Width(), Screen->Width());
  Screen->SetPixelsPerInchForTesting(120);
  EXPECT_EQ(Screen->PixelsPerInch(), 120);
  Screen->SetPixelsPerInchForTesting(0);
  EXPECT_GT(Screen->PixelsPerInch(), 0);
  TForm f(nullptr);
  f.SetPosition(poScreenCenter);
  f.SetBounds(0, 0, 100, 50);
  f.Show();
  const TRect area = Screen->WorkAreaRect();
  EXPECT_EQ(f.Left(), area.Left + (area.Width() - 100) / 2);
  EXPECT_EQ(f.Top(), area.Top + (area.Height() - 50) / 2);
}

TEST(Cursors, StandardAndRegisteredIds) {
  EXPECT_TRUE(CursorExists(crHourGlass));
  EXPECT_TRUE(CursorExists(crSizeAll));
  EXPECT_FALSE(CursorExists(1785));
  TCursorMasks m;
  std::fill(std::begin(m.AndMask), std::end(m.AndMask), 0xFF);
  m.AndMask[0] = 0x7F;  // top-left pixel black
  EXPECT_TRUE(RegisterCursor(1785, m, 15, 16));
  EXPECT_FALSE(RegisterCursor(crArrow, m, 0, 0));
  int32_t x = 0, y = 0;
  EXPECT_TRUE(CursorHotSpot(1785, x, y));
  EXPECT_EQ(x, 15);
  EXPECT_EQ(y, 16);
  const QImage img = QtCursor(1785).pixmap().toImage();
  EXPECT_EQ(qAlpha(img.pixel(0, 0)), 255);
  EXPECT_EQ(qAlpha(img.pixel(1, 0)), 0);
  Screen->SetCursor(1785);
  EXPECT_EQ(Screen->Cursor(), 1785);
  Screen->SetCursor(crDefault);
  UnregisterCursor(1785);
  EXPECT_FALSE(CursorExists(1785));
}

}  // namespace
}  // namespace kv

namespace kv {
namespace {

// The menu font is the one the desktop's theme gives its menus.
TEST(ScreenFonts, MenuFontIsTheDesktopsMenuFont) {
  EnsureQtApplication();
  const QFont saved = QApplication::font("QMenu");
  QApplication::setFont(QFont("DejaVu Serif", 13, QFont::Bold), "QMenu");
  TFont f;
  f.SetColor(clRed);
  ASSERT_TRUE(Screen->MenuFont(f));
  EXPECT_EQ(f.Name(), "DejaVu Serif");
  EXPECT_EQ(f.Size(), 13);
  EXPECT_TRUE(f.Style() == TFontStyles{fsBold});
  EXPECT_EQ(f.Color(), clRed);  // the colour is the caller's
  QApplication::setFont(saved, "QMenu");
}

}  // namespace
}  // namespace kv
