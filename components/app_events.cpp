// The application event chain.
#include "components/app_events.h"

#include <algorithm>

#include "platform/ui/forms.h"

namespace kv {

namespace {

std::unique_ptr<TAppEventList>& ListHolder() {
  static std::unique_ptr<TAppEventList> list;
  return list;
}

// What the list installs in a slot: a call of one of its dispatchers. Its own
// type tells, when the last component leaves, whether the slot still holds it.
template <auto Method>
struct TDispatcher {
  template <typename... A>
  auto operator()(A&&... Args) const {
    return (AppEventList()->*Method)(std::forward<A>(Args)...);
  }
};

template <auto Method, typename Slot>
void Install(Slot& Target, Slot& Saved) {
  Saved = Target;
  Target = TDispatcher<Method>{};
}

// Puts the previous handler back, unless someone else took the slot since.
template <auto Method, typename Slot>
void Restore(Slot& Target, Slot& Saved) {
  if (Target.template target<TDispatcher<Method>>()) Target = Saved;
  Saved = nullptr;
}

}  // namespace

TAppEventList* AppEventList() { return ListHolder().get(); }

TAppEventList::TAppEventList() = default;

TAppEventList::~TAppEventList() {
  if (FHooked) Unhook();
}

void TAppEventList::Register(TAppEvents* Events) {
  if (std::find(FList.begin(), FList.end(), Events) != FList.end()) return;
  FList.push_back(Events);
  if (!FHooked) Hook();
}

void TAppEventList::Unregister(TAppEvents* Events) {
  FList.erase(std::remove(FList.begin(), FList.end(), Events), FList.end());
  // The handlers that were there before the first component come back (the
  // program's idle handler, for one), rather than leaving the slots empty.
  if (FList.empty() && FHooked) Unhook();
}

void TAppEventList::Hook() {
  TApplication& a = *Application;
  Install<&TAppEventList::DoActivate>(a.OnActivate, FOnActivate);
  Install<&TAppEventList::DoDeactivate>(a.OnDeactivate, FOnDeactivate);
  Install<&TAppEventList::DoException>(a.OnException, FOnException);
  Install<&TAppEventList::DoIdle>(a.OnIdle, FOnIdle);
  Install<&TAppEventList::DoHelp>(a.OnHelp, FOnHelp);
  Install<&TAppEventList::DoHint>(a.OnHint, FOnHint);
  Install<&TAppEventList::DoMessage>(a.OnMessage, FOnMessage);
  Install<&TAppEventList::DoMinimize>(a.OnMinimize, FOnMinimize);
  Install<&TAppEventList::DoRestore>(a.OnRestore, FOnRestore);
  Install<&TAppEventList::DoShowHint>(a.OnShowHint, FOnShowHint);
  Install<&TAppEventList::DoActionExecute>(a.OnActionExecute, FOnActionExecute);
  Install<&TAppEventList::DoActionUpdate>(a.OnActionUpdate, FOnActionUpdate);
  Install<&TAppEventList::DoShortCut>(a.OnShortCut, FOnShortCut);
  if (Screen) {
    Install<&TAppEventList::DoActiveControlChange>(Screen->OnActiveControlChange, FOnActiveControlChange);
    Install<&TAppEventList::DoActiveFormChange>(Screen->OnActiveFormChange, FOnActiveFormChange);
  }
  FHooked = true;
}

void TAppEventList::Unhook() {
  TApplication& a = *Application;
  Restore<&TAppEventList::DoActivate>(a.OnActivate, FOnActivate);
  Restore<&TAppEventList::DoDeactivate>(a.OnDeactivate, FOnDeactivate);
  Restore<&TAppEventList::DoException>(a.OnException, FOnException);
  Restore<&TAppEventList::DoIdle>(a.OnIdle, FOnIdle);
  Restore<&TAppEventList::DoHelp>(a.OnHelp, FOnHelp);
  Restore<&TAppEventList::DoHint>(a.OnHint, FOnHint);
  Restore<&TAppEventList::DoMessage>(a.OnMessage, FOnMessage);
  Restore<&TAppEventList::DoMinimize>(a.OnMinimize, FOnMinimize);
  Restore<&TAppEventList::DoRestore>(a.OnRestore, FOnRestore);
  Restore<&TAppEventList::DoShowHint>(a.OnShowHint, FOnShowHint);
  Restore<&TAppEventList::DoActionExecute>(a.OnActionExecute, FOnActionExecute);
  Restore<&TAppEventList::DoActionUpdate>(a.OnActionUpdate, FOnActionUpdate);
  Restore<&TAppEventList::DoShortCut>(a.OnShortCut, FOnShortCut);
  if (Screen) {
    Restore<&TAppEventList::DoActiveControlChange>(Screen->OnActiveControlChange, FOnActiveControlChange);
    Restore<&TAppEventList::DoActiveFormChange>(Screen->OnActiveFormChange, FOnActiveFormChange);
  }
  FHooked = false;
}

template <typename F>
bool TAppEventList::Walk(F&& Call, const bool* Handled) {
  // A handler may free components: walk a copy and skip those that left.
  const std::vector<TAppEvents*> list = FList;
  for (auto it = list.rbegin(); it != list.rend(); ++it) {
    TAppEvents* e = *it;
    if (std::find(FList.begin(), FList.end(), e) == FList.end()) continue;
    const bool chained = e->Chained();
    Call(e);
    if (Handled && *Handled) return false;
    if (!chained) return false;
  }
  return true;
}

void TAppEventList::DoActivate(TObject* Sender) {
  if (Walk([&](TAppEvents* e) { if (e->OnActivate) e->OnActivate(Sender); }) && FOnActivate) FOnActivate(Sender);
}

void TAppEventList::DoDeactivate(TObject* Sender) {
  if (Walk([&](TAppEvents* e) { if (e->OnDeactivate) e->OnDeactivate(Sender); }) && FOnDeactivate)
    FOnDeactivate(Sender);
}

void TAppEventList::DoException(TObject* Sender, const Exception& E) {
  bool called = false;
  const bool past = Walk([&](TAppEvents* e) {
    if (!e->OnException) return;
    called = true;
    e->OnException(Sender, E);
  });
  if (past && FOnException) {
    called = true;
    FOnException(Sender, E);
  }
  // Nobody heard of it: the application shows it as always.
  if (!called) Application->ShowException(E);
}

void TAppEventList::DoIdle(TObject* Sender, bool& Done) {
  if (Walk([&](TAppEvents* e) { if (e->OnIdle) e->OnIdle(Sender, Done); }) && FOnIdle) FOnIdle(Sender, Done);
}

bool TAppEventList::DoHelp(uint16_t Command, intptr_t Data, bool& CallHelp) {
  bool result = false;
  const bool past = Walk([&](TAppEvents* e) {
    if (e->OnHelp) result = e->OnHelp(Command, Data, CallHelp);
  });
  if (past && FOnHelp) result = FOnHelp(Command, Data, CallHelp);
  return result;
}

void TAppEventList::DoHint(TObject* Sender) {
  if (Walk([&](TAppEvents* e) { if (e->OnHint) e->OnHint(Sender); }) && FOnHint) FOnHint(Sender);
}

void TAppEventList::DoMessage(TMessage& Msg, bool& Handled) {
  if (Walk([&](TAppEvents* e) { if (e->OnMessage) e->OnMessage(Msg, Handled); }, &Handled) && FOnMessage)
    FOnMessage(Msg, Handled);
}

void TAppEventList::DoMinimize(TObject* Sender) {
  if (Walk([&](TAppEvents* e) { if (e->OnMinimize) e->OnMinimize(Sender); }) && FOnMinimize) FOnMinimize(Sender);
}

void TAppEventList::DoRestore(TObject* Sender) {
  if (Walk([&](TAppEvents* e) { if (e->OnRestore) e->OnRestore(Sender); }) && FOnRestore) FOnRestore(Sender);
}

void TAppEventList::DoShowHint(std::string& HintStr, bool& CanShow, THintInfo& HintInfo) {
  if (Walk([&](TAppEvents* e) { if (e->OnShowHint) e->OnShowHint(HintStr, CanShow, HintInfo); }) && FOnShowHint)
    FOnShowHint(HintStr, CanShow, HintInfo);
}

void TAppEventList::DoActionExecute(TBasicAction* Action, bool& Handled) {
  if (Walk([&](TAppEvents* e) { if (e->OnActionExecute) e->OnActionExecute(Action, Handled); }, &Handled) &&
      FOnActionExecute)
    FOnActionExecute(Action, Handled);
}

void TAppEventList::DoActionUpdate(TBasicAction* Action, bool& Handled) {
  if (Walk([&](TAppEvents* e) { if (e->OnActionUpdate) e->OnActionUpdate(Action, Handled); }, &Handled) &&
      FOnActionUpdate)
    FOnActionUpdate(Action, Handled);
}

void TAppEventList::DoShortCut(TMessage& Msg, bool& Handled) {
  if (Walk([&](TAppEvents* e) { if (e->OnShortCut) e->OnShortCut(Msg, Handled); }, &Handled) && FOnShortCut)
    FOnShortCut(Msg, Handled);
}

void TAppEventList::DoActiveControlChange(TObject* Sender) {
  if (Walk([&](TAppEvents* e) { if (e->OnActiveControlChange) e->OnActiveControlChange(Sender); }) &&
      FOnActiveControlChange)
    FOnActiveControlChange(Sender);
}

void TAppEventList::DoActiveFormChange(TObject* Sender) {
  if (Walk([&](TAppEvents* e) { if (e->OnActiveFormChange) e->OnActiveFormChange(Sender); }) &&
      FOnActiveFormChange)
    FOnActiveFormChange(Sender);
}

// ---- TAppEvents ----

TAppEvents::TAppEvents(TComponent* AOwner) : TComponent(AOwner) {
  if (Designing()) return;
  if (!ListHolder()) ListHolder() = std::make_unique<TAppEventList>();
  Application->HookMainWindow([this](TMessage& M) { return MainWndHook(M); }, this);
  ListHolder()->Register(this);
  FRegistered = true;
}

TAppEvents::~TAppEvents() {
  Destroying();
  if (!FRegistered) return;
  Application->UnhookMainWindow(this);
  if (TAppEventList* list = AppEventList()) list->Unregister(this);
}

TCanvas& TAppEvents::Canvas() {
  if (!FCanvas) {
    FIconBitmap = std::make_unique<TBitmap>(32, 32, pf24bit);
    FCanvas = std::make_unique<TCanvas>(*FIconBitmap);
  }
  return *FCanvas;
}

void TAppEvents::PaintIcon(bool Erase) {
  TCanvas& c = Canvas();
  if (Erase) {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(clBackground);
    c.FillRect(TRect{0, 0, FIconBitmap->Width(), FIconBitmap->Height()});
  }
  if (OnPaintIcon) OnPaintIcon(this, c);
}

bool TAppEvents::MainWndHook(TMessage& Message) {
  if (Message.Msg == WM_PAINT && Application->Minimized() && OnPaintIcon) {
    PaintIcon(Message.WParam != 0);
    return true;
  }
  if (Message.Msg == WM_SETTINGCHANGE && OnSettingsChanged) {
    try {
      OnSettingsChanged(this);
    } catch (...) {
      Application->HandleException(this);
    }
  }
  return false;
}

void TAppEvents::Loaded() {
  TComponent::Loaded();
  if (Designing()) return;
  Application->SetHintColor(FHintColor);
  Application->SetHintPause(FHintPause);
  Application->SetShowHint(FShowHint);
  Application->SetHintShortPause(FHintShortPause);
  Application->SetHintHidePause(FHintHidePause);
  Application->SetShowMainForm(FShowMainForm);
  Application->SetUpdateFormatSettings(FUpdateFormatSettings);
  Application->SetUpdateMetricSettings(FUpdateMetricSettings);
  Application->SetHintShortCuts(FHintShortCuts);
  Application->SetBiDiMode(FBiDiMode);
  Application->SetBiDiKeyboard(FBiDiKeyboard);
  Application->SetNonBiDiKeyboard(FNonBiDiKeyboard);
  Mouse().DragImmediate = FMouseDragImmediate;
  Mouse().DragThreshold = FMouseDragThreshold;
}

// Each setting: the application's at run time, the own copy while designing.
#define KV_APP_SETTING(Type, Name, Field, Read, Write)       \
  Type TAppEvents::Name() const { return Designing() ? Field : Read; } \
  void TAppEvents::Set##Name(Type Value) {                    \
    Field = Value;                                            \
    if (!Designing()) Write;                                  \
  }

KV_APP_SETTING(TColor, HintColor, FHintColor, Application->HintColor(), Application->SetHintColor(Value))
KV_APP_SETTING(int32_t, HintPause, FHintPause, Application->HintPause(), Application->SetHintPause(Value))
KV_APP_SETTING(bool, ShowHint, FShowHint, Application->ShowHint(), Application->SetShowHint(Value))
KV_APP_SETTING(int32_t, HintShortPause, FHintShortPause, Application->HintShortPause(),
               Application->SetHintShortPause(Value))
KV_APP_SETTING(int32_t, HintHidePause, FHintHidePause, Application->HintHidePause(),
               Application->SetHintHidePause(Value))
KV_APP_SETTING(bool, ShowMainForm, FShowMainForm, Application->ShowMainForm(), Application->SetShowMainForm(Value))
KV_APP_SETTING(bool, UpdateFormatSettings, FUpdateFormatSettings, Application->UpdateFormatSettings(),
               Application->SetUpdateFormatSettings(Value))
KV_APP_SETTING(bool, UpdateMetricSettings, FUpdateMetricSettings, Application->UpdateMetricSettings(),
               Application->SetUpdateMetricSettings(Value))
KV_APP_SETTING(bool, HintShortCuts, FHintShortCuts, Application->HintShortCuts(),
               Application->SetHintShortCuts(Value))
KV_APP_SETTING(TBiDiMode, BiDiMode, FBiDiMode, Application->BiDiMode(), Application->SetBiDiMode(Value))
KV_APP_SETTING(bool, MouseDragImmediate, FMouseDragImmediate, Mouse().DragImmediate, Mouse().DragImmediate = Value)
KV_APP_SETTING(int32_t, MouseDragThreshold, FMouseDragThreshold, Mouse().DragThreshold,
               Mouse().DragThreshold = Value)
#undef KV_APP_SETTING

std::string TAppEvents::BiDiKeyboard() const { return Designing() ? FBiDiKeyboard : Application->BiDiKeyboard(); }
void TAppEvents::SetBiDiKeyboard(const std::string& Value) {
  FBiDiKeyboard = Value;
  if (!Designing()) Application->SetBiDiKeyboard(Value);
}
std::string TAppEvents::NonBiDiKeyboard() const {
  return Designing() ? FNonBiDiKeyboard : Application->NonBiDiKeyboard();
}
void TAppEvents::SetNonBiDiKeyboard(const std::string& Value) {
  FNonBiDiKeyboard = Value;
  if (!Designing()) Application->SetNonBiDiKeyboard(Value);
}

const TPropertyTable& TAppEvents::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TAppEvents>(TComponent::PropertyTable(), [](auto& p) {
    p.Bool("Chained", &TAppEvents::Chained, &TAppEvents::SetChained);
    p.Integer("HintColor", &TAppEvents::HintColor, &TAppEvents::SetHintColor);
    p.Integer("HintPause", &TAppEvents::HintPause, &TAppEvents::SetHintPause);
    p.Bool("ShowHint", &TAppEvents::ShowHint, &TAppEvents::SetShowHint);
    p.Integer("HintShortPause", &TAppEvents::HintShortPause, &TAppEvents::SetHintShortPause);
    p.Integer("HintHidePause", &TAppEvents::HintHidePause, &TAppEvents::SetHintHidePause);
    p.Bool("ShowMainForm", &TAppEvents::ShowMainForm, &TAppEvents::SetShowMainForm);
    p.Bool("UpdateFormatSettings", &TAppEvents::UpdateFormatSettings, &TAppEvents::SetUpdateFormatSettings);
    p.Bool("UpdateMetricSettings", &TAppEvents::UpdateMetricSettings, &TAppEvents::SetUpdateMetricSettings);
    p.Bool("HintShortCuts", &TAppEvents::HintShortCuts, &TAppEvents::SetHintShortCuts);
    p.Enum("BiDiMode", &TAppEvents::BiDiMode, &TAppEvents::SetBiDiMode,
           {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"});
    p.Bool("MouseDragImmediate", &TAppEvents::MouseDragImmediate, &TAppEvents::SetMouseDragImmediate);
    p.Integer("MouseDragThreshold", &TAppEvents::MouseDragThreshold, &TAppEvents::SetMouseDragThreshold);
    p.String("BiDiKeyboard", &TAppEvents::BiDiKeyboard, &TAppEvents::SetBiDiKeyboard);
    p.String("NonBiDiKeyboard", &TAppEvents::NonBiDiKeyboard, &TAppEvents::SetNonBiDiKeyboard);
    p.Method("OnActionExecute").Method("OnActionUpdate").Method("OnShortCut").Method("OnPaintIcon");
    p.Method("OnActivate").Method("OnDeactivate").Method("OnException").Method("OnIdle").Method("OnHelp");
    p.Method("OnHint").Method("OnMessage").Method("OnMinimize").Method("OnRestore").Method("OnShowHint");
    p.Method("OnSettingsChanged").Method("OnActiveControlChange").Method("OnActiveFormChange");
  });
  return table;
}

}  // namespace kv
