#include "platform/rtl/lists.h"

#include <algorithm>
#include <string>

#include "platform/rtl/exceptions.h"

namespace kv {

TList::~TList() {
  // Derived lists clear themselves first; here Notify is no longer theirs.
  FList.clear();
}

void TList::Error(const char* Msg, int64_t Data) {
  std::string m(Msg);
  const size_t p = m.find("%d");
  if (p != std::string::npos) m.replace(p, 2, std::to_string(Data));
  throw EListError(m);
}

void TList::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= Count()) Error("List index out of bounds (%d)", Index);
}

int32_t TList::Add(void* Item) {
  const int32_t i = Count();
  Insert(i, Item);
  return i;
}

void TList::Insert(int32_t Index, void* Item) {
  if (Index < 0 || Index > Count()) Error("List index out of bounds (%d)", Index);
  if (Count() == FCapacity) FCapacity = FCapacity > 64 ? FCapacity + FCapacity / 4 : (FCapacity > 8 ? FCapacity + 16 : FCapacity + 4);
  FList.insert(FList.begin() + Index, Item);
  if (Item) Notify(Item, lnAdded);
}

void TList::Delete(int32_t Index) {
  CheckIndex(Index);
  void* item = FList[static_cast<size_t>(Index)];
  FList.erase(FList.begin() + Index);
  if (item) Notify(item, lnDeleted);  // after removal, so the handler sees a consistent list
}

int32_t TList::Remove(void* Item) {
  const int32_t i = IndexOf(Item);
  if (i >= 0) Delete(i);
  return i;
}

void* TList::Extract(void* Item) {
  const int32_t i = IndexOf(Item);
  if (i < 0) return nullptr;
  FList.erase(FList.begin() + i);
  Notify(Item, lnExtracted);
  return Item;
}

int32_t TList::IndexOf(void* Item) const {
  const auto it = std::find(FList.begin(), FList.end(), Item);
  return it == FList.end() ? -1 : static_cast<int32_t>(it - FList.begin());
}

void* TList::Get(int32_t Index) const {
  CheckIndex(Index);
  return FList[static_cast<size_t>(Index)];
}

void TList::Put(int32_t Index, void* Item) {
  CheckIndex(Index);
  void* old = FList[static_cast<size_t>(Index)];
  if (old == Item) return;
  FList[static_cast<size_t>(Index)] = Item;
  if (old) Notify(old, lnDeleted);
  if (Item) Notify(Item, lnAdded);
}

void TList::SetCount(int32_t NewCount) {
  if (NewCount < 0) Error("List count out of bounds (%d)", NewCount);
  if (NewCount > FCapacity) FCapacity = NewCount;
  if (NewCount > Count()) {
    FList.resize(static_cast<size_t>(NewCount), nullptr);
  } else {
    while (Count() > NewCount) Delete(Count() - 1);
  }
}

void TList::SetCapacity(int32_t NewCapacity) {
  if (NewCapacity < Count()) Error("List capacity out of bounds (%d)", NewCapacity);
  FCapacity = NewCapacity;
  FList.reserve(static_cast<size_t>(NewCapacity));
}

void TList::Exchange(int32_t Index1, int32_t Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  std::swap(FList[static_cast<size_t>(Index1)], FList[static_cast<size_t>(Index2)]);
}

void TList::Move(int32_t CurIndex, int32_t NewIndex) {
  if (CurIndex == NewIndex) return;
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  void* item = FList[static_cast<size_t>(CurIndex)];
  FList.erase(FList.begin() + CurIndex);
  FList.insert(FList.begin() + NewIndex, item);
}

void TList::Sort(const TListSortCompare& Compare) {
  if (Compare) std::stable_sort(FList.begin(), FList.end(), [&](void* a, void* b) { return Compare(a, b) < 0; });
}

void TList::Pack() { FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end()); }

void TList::Clear() {
  SetCount(0);
  FList.shrink_to_fit();
  FCapacity = 0;
}

void TList::Assign(const TList& Source) {
  if (&Source == this) return;
  Clear();
  SetCapacity(Source.Count());
  for (void* p : Source.FList) Add(p);
}

void TList::Notify(void*, TListNotification) {}

TObjectList::~TObjectList() { Clear(); }

void TObjectList::Notify(void* Ptr, TListNotification Action) {
  if (FOwnsObjects && Action == lnDeleted) delete static_cast<TObject*>(Ptr);
}

}  // namespace kv
