// TKvWindowHook, TControlHook and the process-wide list of control hooks.
#include "components/window_hook.h"

#include <algorithm>

#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_window.h"

namespace kv {

namespace {

// The replacement window procedure; its state tells whether it still belongs
// to a live control hook.
struct THookProc {
  std::shared_ptr<TControlHook::TState> State;
  void operator()(TMessage& Message) const;
};

// Every control hook of the process, and the hidden window that re-hooks
// recreated windows and frees unused control hooks after the message that
// emptied them is over.
class THookList : public TComponent {
 public:
  THookList() : TComponent(nullptr) {
    FWindow = AllocateHWnd([this](TMessage& M) { WndProc(M); });
  }
  ~THookList() override {
    DeallocateHWnd(FWindow);
    for (TControlHook* h : std::vector<TControlHook*>(FList)) Free(h);
  }

  TControlHook* Find(const TWinControl* Control) const {
    for (TControlHook* h : FList)
      if (h->Control() == Control) return h;
    return nullptr;
  }
  TControlHook* Get(TWinControl* Control) {
    if (TControlHook* h = Find(Control)) return h;
    auto* h = new TControlHook(Control);
    FList.push_back(h);
    Control->FreeNotification(this);
    return h;
  }
  bool Contains(const TControlHook* Hook) const { return std::find(FList.begin(), FList.end(), Hook) != FList.end(); }
  void Free(TControlHook* Hook) {
    auto it = std::find(FList.begin(), FList.end(), Hook);
    if (it == FList.end()) return;
    FList.erase(it);
    TWinControl* c = Hook->Control();
    if (!Hook->Destroying() && !Find(c)) c->RemoveFreeNotification(this);
    delete Hook;
  }
  void Post(UINT Msg, TControlHook* Hook) { PostMessage(FWindow, Msg, reinterpret_cast<WPARAM>(Hook)); }

  void Notification(TComponent* AComponent, TOperation Operation) override {
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove) return;
    for (TControlHook* h : std::vector<TControlHook*>(FList)) {
      if (h->Control() != AComponent) continue;
      // The control is half gone: nothing of it may be touched any more.
      h->SetDestroying();
      for (TKvWindowHook* w : std::vector<TKvWindowHook*>(h->Hooks())) w->SetWinControl(nullptr);
      Free(h);
    }
  }

 private:
  void WndProc(TMessage& M) {
    auto* h = reinterpret_cast<TControlHook*>(M.WParam);
    if (!Contains(h)) return;
    if (M.Msg == CM_RECREATEHOOK) h->HookControl();
    else if (M.Msg == CM_RELEASEHOOK && h->Hooks().empty()) Free(h);
  }

  HWND FWindow = 0;
  std::vector<TControlHook*> FList;
};

// Made on first use and kept to the end of the process: controls still
// hooked at exit must not meet a list that static destruction already took away.
THookList*& HookListPtr() {
  static THookList* list = nullptr;
  return list;
}

THookList& HookList() {
  THookList*& p = HookListPtr();
  if (!p) p = new THookList;
  return *p;
}

void ReportHookError(TObject* Sender) {
  if (Application) Application->HandleException(Sender);
}

// The hooks newest first; each is asked only while it is still attached.
template <typename Raise>
void AskHooks(const std::shared_ptr<TControlHook::TState>& State, const std::vector<TKvWindowHook*>& Hooks,
              Raise&& Fn, bool& Handled) {
  for (auto it = Hooks.rbegin(); it != Hooks.rend(); ++it) {
    TControlHook* owner = State->Owner;
    if (!owner) return;
    const auto& now = owner->Hooks();
    if (std::find(now.begin(), now.end(), *it) == now.end()) continue;
    try {
      Fn(*it, Handled);
    } catch (...) {
      ReportHookError(*it);
    }
    if (Handled) return;
  }
}

void THookProc::operator()(TMessage& Message) const {
  const std::shared_ptr<TControlHook::TState> s = State;  // keeps it alive through the call
  TControlHook* owner = s->Owner;
  if (!owner) {
    // The control hook is gone but someone chained behind this procedure.
    if (s->Prev) s->Prev(Message);
    return;
  }
  const std::vector<TKvWindowHook*> hooks = owner->Hooks();
  bool handled = false;
  if (Message.Msg != WM_QUIT)
    AskHooks(s, hooks, [&](TKvWindowHook* h, bool& H) { h->RaiseBeforeMessage(Message, H); }, handled);
  if (!handled || Message.Msg == WM_DESTROY) {
    bool afterHandled = false;
    auto after = [&] {
      AskHooks(s, hooks, [&](TKvWindowHook* h, bool& H) { h->RaiseAfterMessage(Message, H); }, afterHandled);
    };
    const TWndMethod prev = s->Prev;
    try {
      if (prev) prev(Message);
    } catch (...) {
      after();
      throw;
    }
    after();
  }
  if (Message.Msg == WM_DESTROY && s->Owner) {
    TControlHook* h = s->Owner;
    h->UnhookControl();
    // A window that is only recreated gets its hooks back once the new one exists.
    if (h->Control()->ComponentState().Contains(csDestroying)) h->SetDestroying();
    else HookList().Post(CM_RECREATEHOOK, h);
  }
}

}  // namespace

TControlHook* FindControlHook(const TWinControl* Control) {
  return HookListPtr() ? HookListPtr()->Find(Control) : nullptr;
}

// ---- TControlHook ----

TControlHook::TControlHook(TWinControl* Control) : FControl(Control), FState(std::make_shared<TState>()) {
  FState->Owner = this;
}

TControlHook::~TControlHook() {
  FState->Owner = nullptr;
  if (!FDestroying) UnhookControl();
  FList.clear();
}

bool TControlHook::Installed() const {
  if (FDestroying) return false;
  const THookProc* p = FControl->WindowProc.target<THookProc>();
  return p && p->State == FState;
}

void TControlHook::HookControl() {
  if (FList.empty() || FDestroying || Installed()) return;
  const TComponentState cs = FControl->ComponentState();
  if (cs.Contains(csDesigning) || cs.Contains(csDestroying)) return;
  FState->Prev = FControl->WindowProc;
  FControl->WindowProc = THookProc{FState};
}

void TControlHook::UnhookControl() {
  if (Installed()) FControl->WindowProc = FState->Prev;
}

void TControlHook::AddHook(TKvWindowHook* Hook) {
  if (std::find(FList.begin(), FList.end(), Hook) == FList.end()) FList.push_back(Hook);
  HookControl();
}

void TControlHook::RemoveHook(TKvWindowHook* Hook) {
  auto it = std::find(FList.begin(), FList.end(), Hook);
  if (it == FList.end()) return;
  FList.erase(it);
  if (!FList.empty()) return;
  UnhookControl();
  // Freed later: the message that emptied the list may still be running through this object.
  if (FDestroying || FControl->ComponentState().Contains(csDestroying)) {
    if (!FDestroying) HookList().Free(this);
  } else {
    HookList().Post(CM_RELEASEHOOK, this);
  }
}

// ---- TKvWindowHook ----

TKvWindowHook::TKvWindowHook(TComponent* AOwner) : TComponent(AOwner) {}

TKvWindowHook::~TKvWindowHook() {
  Destroying();
  BeforeMessage = nullptr;
  AfterMessage = nullptr;
  SetWinControl(nullptr);
}

void TKvWindowHook::SetActive(bool Value) {
  if (Value == FActive) return;
  FActive = Value;
  if (Value) HookControl();
  else UnhookControl();
}

void TKvWindowHook::SetWinControl(TWinControl* Value) {
  if (Value == FWinControl) return;
  UnhookControl();
  if (FWinControl && FWinControl != Owner() && !FWinControl->ComponentState().Contains(csDestroying))
    FWinControl->RemoveFreeNotification(this);
  FWinControl = Value;
  if (Value) {
    Value->FreeNotification(this);
    if (FActive) HookControl();
  }
}

bool TKvWindowHook::IsForm() const { return FWinControl && FWinControl == Owner(); }

void TKvWindowHook::SetIsForm(bool Value) {
  if (!Value) return;
  if (auto* f = dynamic_cast<TCustomForm*>(Owner())) SetWinControl(f);
}

void TKvWindowHook::HookControl() {
  if (!FWinControl || FControlHook || ComponentState().Contains(csDesigning)) return;
  FControlHook = HookList().Get(FWinControl);
  FControlHook->AddHook(this);
}

void TKvWindowHook::UnhookControl() {
  TControlHook* h = FControlHook;
  if (!h) return;
  FControlHook = nullptr;
  if (HookListPtr() && HookListPtr()->Contains(h)) h->RemoveHook(this);
}

void TKvWindowHook::RaiseBeforeMessage(TMessage& Msg, bool& Handled) {
  if (BeforeMessage) BeforeMessage(this, Msg, Handled);
}

void TKvWindowHook::RaiseAfterMessage(TMessage& Msg, bool& Handled) {
  if (AfterMessage) AfterMessage(this, Msg, Handled);
}

void TKvWindowHook::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || !AComponent) return;
  if (AComponent == FWinControl) {
    // The control is half gone: its control hook must not touch it.
    if (FControlHook) FControlHook->SetDestroying();
    SetWinControl(nullptr);
  } else if (AComponent == Owner()) {
    SetWinControl(nullptr);
  }
}

const TPropertyTable& TKvWindowHook::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TKvWindowHook>(TComponent::PropertyTable(), [](auto& p) {
    p.Bool("Active", &TKvWindowHook::Active, &TKvWindowHook::SetActive);
    p.Object("WinControl", &TKvWindowHook::WinControl, &TKvWindowHook::SetWinControl);
    p.Bool("IsForm", &TKvWindowHook::IsForm, &TKvWindowHook::SetIsForm);
    p.Method("BeforeMessage").Method("AfterMessage");
  });
  return table;
}

}  // namespace kv
