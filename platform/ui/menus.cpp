// Menu items and the main menu.
#include "platform/ui/menus.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"

namespace kv {
namespace {

std::string WithoutAccelerators(const std::string& Caption) {
  std::string out;
  for (char c : Caption)
    if (c != '&') out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return out;
}

}  // namespace

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  SetAction(nullptr);
  if (FParent) FParent->Remove(this);
  const std::vector<TMenuItem*> items = FItems;
  FItems.clear();
  for (TMenuItem* item : items) {
    item->FParent = nullptr;
    if (!item->Owner()) delete item;
  }
}

void TMenuItem::SetCaption(const std::string& Value) {
  if (Value == FCaption) return;
  FCaption = Value;
  Changed();
}

void TMenuItem::SetShortCut(TShortCut Value) {
  if (Value == FShortCut) return;
  FShortCut = Value;
  Changed();
}

void TMenuItem::SetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  // A checked radio item unchecks the others of its group.
  if (Value && FRadioItem && FParent)
    for (TMenuItem* item : FParent->FItems)
      if (item != this && item->FRadioItem && item->FGroupIndex == FGroupIndex && item->FChecked) {
        item->FChecked = false;
        item->Changed();
      }
  Changed();
}

void TMenuItem::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  Changed();
}

void TMenuItem::SetVisible(bool Value) {
  if (Value == FVisible) return;
  FVisible = Value;
  Changed();
}

void TMenuItem::SetAction(TBasicAction* Value) {
  if (Value == FAction) return;
  if (FAction) {
    FAction->UnRegisterClient(this);
    FAction->RemoveFreeNotification(this);
  }
  FAction = Value;
  if (FAction) {
    FAction->RegisterClient(this);
    FAction->FreeNotification(this);
    ActionChanged(FAction);
  }
}

void TMenuItem::ActionChanged(TBasicAction* Sender) {
  auto* action = dynamic_cast<TCustomAction*>(Sender);
  if (!action) return;
  FCaption = action->Caption();
  FEnabled = action->Enabled();
  FVisible = action->Visible();
  FChecked = action->Checked();
  FHint = action->Hint();
  FImageIndex = action->ImageIndex();
  SetTag(action->Tag());
  Changed();
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FAction) FAction = nullptr;
}

void TMenuItem::Click() {
  if (!FEnabled) return;
  if (OnClick)
    OnClick(this);
  else if (FAction)
    FAction->Execute();
}

TMenuItem* TMenuItem::Items(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[static_cast<size_t>(Index)];
}

int32_t TMenuItem::MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int32_t Index, TMenuItem* Item) {
  if (!Item) return;
  if (Item->FParent) throw EInvalidOperation("Menu inserted twice");
  Index = std::clamp(Index, 0, Count());
  FItems.insert(FItems.begin() + Index, Item);
  Item->FParent = this;
  Changed();
}

void TMenuItem::Remove(TMenuItem* Item) {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  Item->FParent = nullptr;
  Changed();
}

void TMenuItem::Delete(int32_t Index) {
  TMenuItem* item = Items(Index);
  Remove(item);
  delete item;
}

void TMenuItem::Clear() {
  while (Count() > 0) Delete(Count() - 1);
}

int32_t TMenuItem::IndexOf(const TMenuItem* Item) const {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  return it == FItems.end() ? -1 : static_cast<int32_t>(it - FItems.begin());
}

TMenuItem* TMenuItem::Find(const std::string& ACaption) const {
  const std::string wanted = WithoutAccelerators(ACaption);
  for (TMenuItem* item : FItems)
    if (WithoutAccelerators(item->FCaption) == wanted) return item;
  return nullptr;
}

void TMenuItem::Changed() {
  if (OnChange) OnChange(this);
  if (FParent) FParent->Changed();
}

// TMainMenu itself lives in menu_bar.cpp, beside the bar that shows it.

}  // namespace kv
