// Window hooks: any number of components watch and answer the messages of
// one windowed control. The first hook on a control replaces its WindowProc;
// each message then goes to the hooks' BeforeMessage (newest first, until one
// says handled), then to the control's own procedure, then to AfterMessage
// (newest first, until one says handled). Hooks come and go in any order; the
// control's own procedure is put back when the last one leaves.
#pragma once
#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/ui/controls.h"

namespace kv {

using THookMessageEvent = std::function<void(TObject* Sender, TMessage& Msg, bool& Handled)>;

// Messages of the hidden window that keeps the hooks.
constexpr UINT CM_RECREATEHOOK = 45138;  // install the hook again after the window was recreated
constexpr UINT CM_RELEASEHOOK = 45139;   // free a control hook left without window hooks

class TKvWindowHook;

// The hooks of one control and the window procedure that runs them.
class TControlHook : public TObject {
 public:
  explicit TControlHook(TWinControl* Control);
  ~TControlHook() override;

  TWinControl* Control() const { return FControl; }
  const std::vector<TKvWindowHook*>& Hooks() const { return FList; }
  void AddHook(TKvWindowHook* Hook);
  void RemoveHook(TKvWindowHook* Hook);
  // Installs the replacement procedure (when there are hooks) / puts the previous one back.
  void HookControl();
  void UnhookControl();
  bool Installed() const;
  void SetDestroying() { FDestroying = true; }
  bool Destroying() const { return FDestroying; }

  // Shared with the replacement procedure, which may outlive this object when
  // someone replaced WindowProc after it: it then forwards to Prev.
  struct TState {
    TControlHook* Owner = nullptr;
    TWndMethod Prev;
  };

 private:
  void WinProc(TMessage& Message);
  TWinControl* FControl;
  std::vector<TKvWindowHook*> FList;
  std::shared_ptr<TState> FState;
  bool FDestroying = false;
};

class TKvWindowHook : public TComponent {
 public:
  explicit TKvWindowHook(TComponent* AOwner);
  ~TKvWindowHook() override;

  bool Active() const { return FActive; }
  void SetActive(bool Value);
  TWinControl* WinControl() const { return FWinControl; }
  void SetWinControl(TWinControl* Value);
  // True when the hooked control is the owner form; setting true hooks the owner form.
  bool IsForm() const;
  void SetIsForm(bool Value);

  void HookControl();
  void UnhookControl();

  THookMessageEvent BeforeMessage;
  THookMessageEvent AfterMessage;

  const TPropertyTable& PropertyTable() const override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // ---- for TControlHook ----
  virtual void RaiseBeforeMessage(TMessage& Msg, bool& Handled);
  virtual void RaiseAfterMessage(TMessage& Msg, bool& Handled);

 private:
  bool FActive = true;
  TWinControl* FWinControl = nullptr;
  TControlHook* FControlHook = nullptr;
};

// For tests: the control hook of a control, or nullptr.
TControlHook* FindControlHook(const TWinControl* Control);

}  // namespace kv
