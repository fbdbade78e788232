// Actions and action lists.
#include "platform/ui/actions.h"

#include <algorithm>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/strings.h"
#include "platform/ui/application.h"

namespace kv {

TBasicAction::TBasicAction(TComponent* AOwner) : TComponent(AOwner) {}

TBasicAction::~TBasicAction() {
  Destroying();
  FClients.clear();
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

void TBasicAction::RegisterClient(TActionClient* Client) {
  if (Client && std::find(FClients.begin(), FClients.end(), Client) == FClients.end()) FClients.push_back(Client);
}

void TBasicAction::UnRegisterClient(TActionClient* Client) {
  FClients.erase(std::remove(FClients.begin(), FClients.end(), Client), FClients.end());
}

void TBasicAction::Change() {
  const std::vector<TActionClient*> clients = FClients;  // a client may leave while told
  for (TActionClient* c : clients)
    if (std::find(FClients.begin(), FClients.end(), c) != FClients.end()) c->ActionChanged(this);
}

TCustomActionList::TCustomActionList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomActionList::~TCustomActionList() {
  // Actions owned elsewhere outlive the list: they must not point at it.
  const std::vector<TCustomAction*> actions = FActions;
  for (TCustomAction* a : actions) a->SetActionList(nullptr);
}

TCustomAction* TCustomActionList::Actions(int32_t Index) const {
  if (Index < 0 || Index >= ActionCount()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FActions[size_t(Index)];
}

TCustomAction* TCustomActionList::FindAction(const std::string& AName) const {
  for (TCustomAction* a : FActions)
    if (SameText(a->Name(), AName)) return a;
  return nullptr;
}

bool TCustomActionList::ExecuteAction(TBasicAction* Action) {
  if (!OnExecute) return false;
  bool handled = false;
  OnExecute(Action, handled);
  return handled;
}

void TCustomActionList::AddAction(TCustomAction* Action) {
  if (std::find(FActions.begin(), FActions.end(), Action) == FActions.end()) FActions.push_back(Action);
}

void TCustomActionList::RemoveAction(TCustomAction* Action) {
  FActions.erase(std::remove(FActions.begin(), FActions.end(), Action), FActions.end());
}

void TCustomActionList::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = Value;
  if (Value) Value->FreeNotification(this);
}

void TCustomActionList::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FImages) FImages = nullptr;
  FActions.erase(std::remove_if(FActions.begin(), FActions.end(),
                                [AComponent](TCustomAction* a) { return static_cast<TComponent*>(a) == AComponent; }),
                 FActions.end());
}

TCustomAction::TCustomAction(TComponent* AOwner) : TBasicAction(AOwner) {}

TCustomAction::~TCustomAction() {
  if (FActionList) FActionList->RemoveAction(this);
}

bool TCustomAction::Execute() {
  if (FActionList && FActionList->ExecuteAction(this)) return true;
  if (Application->ExecuteAction(this)) return true;
  return TBasicAction::Execute();
}

void TCustomAction::SetCategory(const std::string& Value) {
  if (Value == FCategory) return;
  FCategory = Value;
  Change();
}

void TCustomAction::SetCaption(const std::string& Value) {
  if (Value == FCaption) return;
  FCaption = Value;
  Change();
}

void TCustomAction::SetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  Change();
}

void TCustomAction::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Change();
}

void TCustomAction::SetHint(const std::string& Value) {
  if (Value == FHint) return;
  FHint = Value;
  Change();
}

void TCustomAction::SetImageIndex(int32_t Value) {
  if (Value == FImageIndex) return;
  FImageIndex = Value;
  Change();
}

void TCustomAction::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  Change();
}

void TCustomAction::SetActionList(TCustomActionList* Value) {
  if (Value == FActionList) return;
  if (FActionList) {
    FActionList->RemoveAction(this);
    FActionList->RemoveFreeNotification(this);
  }
  FActionList = Value;
  if (Value) {
    Value->FreeNotification(this);
    Value->AddAction(this);
  }
  Change();
}

void TCustomAction::Notification(TComponent* AComponent, TOperation Operation) {
  TBasicAction::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FActionList) FActionList = nullptr;
}

const TPropertyTable& TCustomAction::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomAction>(TComponent::PropertyTable(), [](auto& p) {
    p.String("Caption", &TCustomAction::Caption, &TCustomAction::SetCaption);
    p.String("Category", &TCustomAction::Category, &TCustomAction::SetCategory);
    p.Bool("Checked", &TCustomAction::Checked, &TCustomAction::SetChecked);
    p.Bool("Enabled", &TCustomAction::Enabled, &TCustomAction::SetEnabled);
    p.String("Hint", &TCustomAction::Hint, &TCustomAction::SetHint);
    p.Integer("ImageIndex", &TCustomAction::ImageIndex, &TCustomAction::SetImageIndex);
    p.Bool("Visible", &TCustomAction::Visible, &TCustomAction::SetVisible);
    p.Object("ActionList", &TCustomAction::ActionList, &TCustomAction::SetActionList);
    p.Method("OnExecute");
  });
  return table;
}

}  // namespace kv
