// TCollection and TCollectionItem.
#include "platform/rtl/collection.h"

#include <algorithm>

namespace kv {

TCollectionItem::TCollectionItem(TCollection* Collection) {
  if (Collection) Collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
  if (FCollection) FCollection->RemoveItem(this);
}

int32_t TCollectionItem::Index() const {
  if (!FCollection) return -1;
  const auto& v = FCollection->FItems;
  return static_cast<int32_t>(std::find(v.begin(), v.end(), this) - v.begin());
}

void TCollectionItem::SetIndex(int32_t Value) {
  if (FCollection && Value != Index()) FCollection->MoveItem(this, Value);
}

std::string TCollectionItem::DisplayName() const { return ClassName(); }
void TCollectionItem::SetDisplayName(const std::string&) { Changed(false); }

std::string TCollectionItem::GetNamePath() const {
  if (!FCollection) return ClassName();
  return FCollection->GetNamePath() + "[" + std::to_string(Index()) + "]";
}

void TCollectionItem::Changed(bool AllItems) {
  if (FCollection && FCollection->FUpdateCount == 0) FCollection->Update(AllItems ? nullptr : this);
}

TPersistent* TCollectionItem::GetOwner() const { return FCollection; }

TCollection::TCollection(std::string ItemClassName, TItemFactory Factory)
    : FItemClassName(std::move(ItemClassName)), FFactory(std::move(Factory)) {}

TCollection::~TCollection() {
  FUpdateCount = 1;
  Clear();
}

TCollectionItem* TCollection::Items(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FItems[size_t(Index)];
}

TCollectionItem* TCollection::Add() {
  TCollectionItem* item = FFactory(this);
  if (item->FCollection != this) InsertItem(item);
  Changed();
  return item;
}

TCollectionItem* TCollection::Insert(int32_t Index) {
  BeginUpdate();
  TCollectionItem* item = nullptr;
  try {
    item = Add();
    item->SetIndex(Index);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return item;
}

void TCollection::Delete(int32_t Index) { delete Items(Index); }

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  while (!FItems.empty()) delete FItems.back();
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int32_t ID) const {
  for (TCollectionItem* i : FItems)
    if (i->FID == ID) return i;
  return nullptr;
}

void TCollection::BeginUpdate() { ++FUpdateCount; }

void TCollection::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed();
}

void TCollection::Assign(const TPersistent* Source) {
  auto* src = dynamic_cast<const TCollection*>(Source);
  if (!src) {
    TPersistent::Assign(Source);
    return;
  }
  if (src == this) return;
  BeginUpdate();
  try {
    Clear();
    for (TCollectionItem* i : src->FItems) Add()->Assign(i);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TCollection::GetNamePath() const {
  const TPersistent* o = GetOwner();
  return o ? o->GetNamePath() : ClassName();
}

void TCollection::Update(TCollectionItem* Item) {
  if (OnUpdate) OnUpdate(this, Item);
}

void TCollection::Changed() {
  if (FUpdateCount == 0) Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* Item) {
  Item->FCollection = this;
  Item->FID = FNextID++;
  FItems.push_back(Item);
}

void TCollection::RemoveItem(TCollectionItem* Item) {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  Item->FCollection = nullptr;
  Changed();
}

void TCollection::MoveItem(TCollectionItem* Item, int32_t NewIndex) {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  NewIndex = std::clamp(NewIndex, 0, Count());
  FItems.insert(FItems.begin() + NewIndex, Item);
  Item->Changed(true);
}

}  // namespace kv
