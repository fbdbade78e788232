// The application object: the message loop, idle processing, the one place
// where exceptions raised under the event loop end, and the main form.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/messages.h"

namespace kv {

class TCustomForm;

using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;
// Help requests: the command (HELP_CONTEXT ...) and its data; true when the help was shown.
using THelpEvent = std::function<bool(uint16_t Command, intptr_t Data, bool& CallHelp)>;
constexpr uint16_t HELP_CONTEXT = 0x0001;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  // Creates the Qt application object with the command line given to
  // SetCommandLine (platform/system/paths.h).
  void Initialize();
  // Shows the main form and runs the message loop until Terminate; returns
  // at once when there is no main form.
  void Run();
  void Terminate() { FTerminated = true; }
  bool Terminated() const { return FTerminated; }
  // Handles every message queued now and returns.
  void ProcessMessages();
  // Handles the queued messages; when there were none, idles: OnIdle runs
  // and, when it says Done, waits for the next message.
  void HandleMessage();

  // Called inside a catch block: EAbort is dropped, any other exception goes
  // to OnException when assigned, else to ShowException. Never raises.
  void HandleException(TObject* Sender);
  // The message in an error box (MB_ICONSTOP) captioned with Title; a full
  // stop is added when the text does not end in one.
  void ShowException(const Exception& E);

  // A message box through the dialog service; returns IDOK, IDCANCEL ...
  int32_t MessageBox(const std::string& Text, const std::string& Caption, uint32_t Flags = MB_OK);

  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }
  std::string ExeName() const;
  const std::string& Hint() const { return FHint; }
  // Stores the hint and raises OnHint when it changed.
  void SetHint(const std::string& Value);

  TCustomForm* MainForm() const { return FMainForm; }
  // Creates a form owned by the application; the first one becomes MainForm.
  template <typename T>
  void CreateForm(T*& Reference) {
    Reference = new T(this);
    if (!FMainForm) FMainForm = Reference;
    FormCreated(Reference);
  }
  // Asks for the help topic of a context: OnHelp answers; without a handler
  // (the program has no help viewer of its own) nothing is shown and false is returned.
  bool HelpContext(int32_t Context);
  void BringToFront();
  void Minimize();
  void Restore();

  TIdleEvent OnIdle;
  THelpEvent OnHelp;
  TExceptionEvent OnException;
  TNotifyEvent OnHint;

  // ---- for the layer ----
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void FormCreated(TCustomForm* Form);
  void Idle();

  bool FTerminated = false;
  bool FRunning = false;
  std::string FTitle;
  std::string FHint;
  TCustomForm* FMainForm = nullptr;
  bool FInHandleException = false;
};

extern TApplication* Application;

}  // namespace kv
