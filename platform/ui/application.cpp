// TApplication: the message loop and the end of every exception raised under it.
#include "platform/ui/application.h"

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QCoreApplication>
#include <QtCore/QEventLoop>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>
#include <cstdio>

#include "platform/system/paths.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"
#include "platform/rtl/sys_error.h"

namespace kv {

namespace {
TApplication GApplication(nullptr);
}

TApplication* Application = &GApplication;

TApplication::TApplication(TComponent* AOwner) : TComponent(AOwner) {}
TApplication::~TApplication() = default;

void TApplication::Initialize() { EnsureQtApplication(); }

void TApplication::Run() {
  EnsureQtApplication();
  if (!FMainForm) return;  // no window that could ever end the loop
  try {
    FMainForm->Show();
  } catch (...) {
    HandleException(this);
  }
  FRunning = true;
  struct TRunEnd {
    bool& Running;
    ~TRunEnd() { Running = false; }
  } runEnd{FRunning};
  while (!FTerminated) HandleMessage();
}

void TApplication::ProcessMessages() {
  EnsureQtApplication();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // Widgets whose peers were released while handling one of their own events.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TApplication::HandleMessage() {
  EnsureQtApplication();
  QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance();
  const bool any = d && d->processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  if (!any) Idle();
}

void TApplication::Idle() {
  bool done = true;
  try {
    if (OnIdle) OnIdle(this, done);
  } catch (...) {
    HandleException(this);
  }
  if (done && !FTerminated) {
    if (QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance())
      d->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  }
}

void TApplication::HandleException(TObject* Sender) {
  std::exception_ptr p = std::current_exception();
  if (!p) return;
  // A failure while showing a failure must not start another round.
  if (FInHandleException) {
    try {
      std::rethrow_exception(p);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "kavrelin: %s\n", e.what());
    } catch (...) {
      std::fprintf(stderr, "kavrelin: unknown exception\n");
    }
    return;
  }
  FInHandleException = true;
  try {
    try {
      std::rethrow_exception(p);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
      if (OnException) OnException(Sender, e);
      else ShowException(e);
    } catch (const std::exception& e) {
      const Exception wrapped(ExceptionText(e));
      if (OnException) OnException(Sender, wrapped);
      else ShowException(wrapped);
    } catch (...) {
      const Exception wrapped("Unbekannter Fehler");
      if (OnException) OnException(Sender, wrapped);
      else ShowException(wrapped);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kavrelin: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "kavrelin: unknown exception\n");
  }
  FInHandleException = false;
}

void TApplication::ShowException(const Exception& E) {
  std::string msg = E.Message();
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
  MessageBox(msg, FTitle, MB_OK | MB_ICONSTOP);
}

int32_t TApplication::MessageBox(const std::string& Text, const std::string& Caption, uint32_t Flags) {
  TDialogRequest r;
  r.Kind = dkMessageBox;
  r.Text = Text;
  r.Caption = Caption;
  r.Flags = Flags;
  return DialogService().MessageBox(r);
}

std::string TApplication::ExeName() const { return ParamStr(0); }

void TApplication::SetHint(const std::string& Value) {
  if (Value == FHint) return;
  FHint = Value;
  if (OnHint) OnHint(this);
}

void TApplication::FormCreated(TCustomForm* Form) {
  if (Form == FMainForm) Form->FreeNotification(this);
  Form->DoCreate();
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FMainForm) {
    FMainForm = nullptr;
    // No window is left that could end the run.
    if (FRunning) Terminate();
  }
}

TMouse& Mouse() {
  static TMouse mouse;
  return mouse;
}

void TApplication::HookMainWindow(const TWindowHook& Hook, const void* Key) {
  UnhookMainWindow(Key);
  FMainWindowHooks.push_back(THook{Hook, Key});
}

void TApplication::UnhookMainWindow(const void* Key) {
  std::erase_if(FMainWindowHooks, [Key](const THook& H) { return H.Key == Key; });
}

bool TApplication::MainWindowMessage(TMessage& Message) {
  // A hook may unhook itself or others while it runs: walk a copy.
  const std::vector<THook> hooks = FMainWindowHooks;
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it)
    if (it->Hook && it->Hook(Message)) return true;
  return false;
}

bool TApplication::ExecuteAction(TBasicAction* Action) {
  bool handled = false;
  if (OnActionExecute) OnActionExecute(Action, handled);
  return handled;
}

bool TApplication::UpdateAction(TBasicAction* Action) {
  bool handled = false;
  if (OnActionUpdate) OnActionUpdate(Action, handled);
  return handled;
}

void TApplication::BringToFront() {
  if (FMainForm) FMainForm->BringToFront();
}

void TApplication::Minimize() {
  if (FMainForm && FMainForm->Peer()) FMainForm->Peer()->Widget()->showMinimized();
  FMinimized = true;
  if (OnMinimize) OnMinimize(this);
}

void TApplication::Restore() {
  if (FMainForm && FMainForm->Peer()) FMainForm->Peer()->Widget()->showNormal();
  FMinimized = false;
  if (OnRestore) OnRestore(this);
}

bool TApplication::HelpContext(int32_t Context) {
  if (!OnHelp) return false;
  bool callHelp = true;
  return OnHelp(HELP_CONTEXT, Context, callHelp);
}

}  // namespace kv
