// The application object: the message loop, idle processing, the one place
// where exceptions raised under the event loop end, and the main form.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/graphics/color.h"
#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/messages.h"

namespace kv {

class TCustomForm;
class TBasicAction;
class TControl;

// What a hint about to show says and where.
struct THintInfo {
  TControl* HintControl = nullptr;
  TPoint CursorPos;
  int32_t HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  int32_t ReshowTimeout = 0;
  int32_t HideTimeout = 0;
};
enum TBiDiMode : uint8_t { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

using TIdleEvent = std::function<void(TObject* Sender, bool& Done)>;
using TExceptionEvent = std::function<void(TObject* Sender, const Exception& E)>;
// Help requests: the command (HELP_CONTEXT ...) and its data; true when the help was shown.
using THelpEvent = std::function<bool(uint16_t Command, intptr_t Data, bool& CallHelp)>;
constexpr uint16_t HELP_CONTEXT = 0x0001;
// A message before it is handled; setting Handled stops it.
using TMessageEvent = std::function<void(TMessage& Msg, bool& Handled)>;
using TActionEvent = std::function<void(TBasicAction* Action, bool& Handled)>;
// A key message that may be a shortcut; setting Handled takes it.
using TShortCutEvent = std::function<void(TMessage& Msg, bool& Handled)>;
using TShowHintEvent = std::function<void(std::string& HintStr, bool& CanShow, THintInfo& HintInfo)>;
// A hook on the application's main window: true when it took the message.
using TWindowHook = std::function<bool(TMessage& Message)>;

// The mouse settings of the whole program.
struct TMouse {
  bool DragImmediate = true;
  int32_t DragThreshold = 5;
};
TMouse& Mouse();

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

  // Minimize and Restore raise OnMinimize and OnRestore.
  bool Minimized() const { return FMinimized; }

  // Hint and display settings of the whole program.
  TColor HintColor() const { return FHintColor; }
  void SetHintColor(TColor Value) { FHintColor = Value; }
  int32_t HintPause() const { return FHintPause; }
  void SetHintPause(int32_t Value) { FHintPause = Value; }
  int32_t HintShortPause() const { return FHintShortPause; }
  void SetHintShortPause(int32_t Value) { FHintShortPause = Value; }
  int32_t HintHidePause() const { return FHintHidePause; }
  void SetHintHidePause(int32_t Value) { FHintHidePause = Value; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool Value) { FShowHint = Value; }
  bool HintShortCuts() const { return FHintShortCuts; }
  void SetHintShortCuts(bool Value) { FHintShortCuts = Value; }
  bool ShowMainForm() const { return FShowMainForm; }
  void SetShowMainForm(bool Value) { FShowMainForm = Value; }
  bool UpdateFormatSettings() const { return FUpdateFormatSettings; }
  void SetUpdateFormatSettings(bool Value) { FUpdateFormatSettings = Value; }
  bool UpdateMetricSettings() const { return FUpdateMetricSettings; }
  void SetUpdateMetricSettings(bool Value) { FUpdateMetricSettings = Value; }
  TBiDiMode BiDiMode() const { return FBiDiMode; }
  void SetBiDiMode(TBiDiMode Value) { FBiDiMode = Value; }
  const std::string& BiDiKeyboard() const { return FBiDiKeyboard; }
  void SetBiDiKeyboard(const std::string& Value) { FBiDiKeyboard = Value; }
  const std::string& NonBiDiKeyboard() const { return FNonBiDiKeyboard; }
  void SetNonBiDiKeyboard(const std::string& Value) { FNonBiDiKeyboard = Value; }

  // Hooks on the application's main window, asked newest first.
  void HookMainWindow(const TWindowHook& Hook, const void* Key);
  void UnhookMainWindow(const void* Key);
  // Gives a message of the main window to the hooks; true when one took it.
  bool MainWindowMessage(TMessage& Message);
  // Asks OnActionExecute / OnActionUpdate; true when handled.
  bool ExecuteAction(TBasicAction* Action);
  bool UpdateAction(TBasicAction* Action);

  TIdleEvent OnIdle;
  THelpEvent OnHelp;
  TExceptionEvent OnException;
  TNotifyEvent OnHint;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TMessageEvent OnMessage;
  TNotifyEvent OnMinimize;
  TNotifyEvent OnRestore;
  TShowHintEvent OnShowHint;
  TActionEvent OnActionExecute;
  TActionEvent OnActionUpdate;
  TShortCutEvent OnShortCut;

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
  bool FMinimized = false;
  TColor FHintColor = clInfoBk;
  int32_t FHintPause = 500;
  int32_t FHintShortPause = 50;
  int32_t FHintHidePause = 2500;
  bool FShowHint = true;
  bool FHintShortCuts = true;
  bool FShowMainForm = true;
  bool FUpdateFormatSettings = true;
  bool FUpdateMetricSettings = true;
  TBiDiMode FBiDiMode = bdLeftToRight;
  std::string FBiDiKeyboard;
  std::string FNonBiDiKeyboard;
  struct THook {
    TWindowHook Hook;
    const void* Key;
  };
  std::vector<THook> FMainWindowHooks;
};

extern TApplication* Application;

}  // namespace kv
