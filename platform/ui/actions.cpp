// Actions and action lists.
#include "platform/ui/actions.h"

#include <algorithm>

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

void TCustomActionList::SetImages(TCustomImageList* Value) {
  if (Value == FImages) return;
  if (FImages) FImages->RemoveFreeNotification(this);
  FImages = Value;
  if (Value) Value->FreeNotification(this);
}

void TCustomActionList::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
}

TCustomAction::TCustomAction(TComponent* AOwner) : TBasicAction(AOwner) {}

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
  if (FActionList) FActionList->RemoveFreeNotification(this);
  FActionList = Value;
  if (Value) Value->FreeNotification(this);
  Change();
}

void TCustomAction::Notification(TComponent* AComponent, TOperation Operation) {
  TBasicAction::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FActionList) FActionList = nullptr;
}

const TPropertyTable& TCustomAction::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomAction>(TComponent::PropertyTable(), [](auto& p) {
    p.String("Caption", &TCustomAction::Caption, &TCustomAction::SetCaption);
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
