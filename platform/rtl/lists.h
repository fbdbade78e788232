// TList (pointers) and TObjectList (owning), with the index checks of Pascal's lists:
// a bad index raises EListError "List index out of bounds (%d)".
#pragma once
#include <cstdint>
#include <functional>
#include <type_traits>
#include <vector>

#include "platform/rtl/object.h"

namespace kv {

enum TListNotification : uint8_t { lnAdded, lnExtracted, lnDeleted };
using TListSortCompare = std::function<int(void* Item1, void* Item2)>;

class TList : public TObject {
 public:
  TList() = default;
  ~TList() override;

  int32_t Add(void* Item);
  void Insert(int32_t Index, void* Item);
  void Delete(int32_t Index);
  int32_t Remove(void* Item);     // index it had, -1 when absent
  void* Extract(void* Item);      // removes without deleting; nullptr when absent
  int32_t IndexOf(void* Item) const;
  void* Get(int32_t Index) const;
  void Put(int32_t Index, void* Item);
  void* Items(int32_t Index) const { return Get(Index); }
  void* First() const { return Get(0); }
  void* Last() const { return Get(Count() - 1); }
  int32_t Count() const { return static_cast<int32_t>(FList.size()); }
  void SetCount(int32_t NewCount);
  int32_t Capacity() const { return FCapacity; }
  void SetCapacity(int32_t NewCapacity);
  void Exchange(int32_t Index1, int32_t Index2);
  void Move(int32_t CurIndex, int32_t NewIndex);
  // Stable, so equal items keep their order.
  void Sort(const TListSortCompare& Compare);
  void Pack();  // drops the nil entries
  virtual void Clear();
  void Assign(const TList& Source);

 protected:
  // Called after an item entered or left the list.
  virtual void Notify(void* Ptr, TListNotification Action);
  [[noreturn]] static void Error(const char* Msg, int64_t Data);
  void CheckIndex(int32_t Index) const;

 private:
  std::vector<void*> FList;
  int32_t FCapacity = 0;
};

// Frees the objects it holds when they are deleted, replaced or cleared, and when it is
// freed itself, unless OwnsObjects is false. Extract hands an object back unfreed.
class TObjectList : public TList {
 public:
  explicit TObjectList(bool AOwnsObjects = true) : FOwnsObjects(AOwnsObjects) {}
  ~TObjectList() override;

  int32_t Add(TObject* Obj) { return TList::Add(Obj); }
  void Insert(int32_t Index, TObject* Obj) { TList::Insert(Index, Obj); }
  int32_t Remove(TObject* Obj) { return TList::Remove(Obj); }
  TObject* Extract(TObject* Obj) { return static_cast<TObject*>(TList::Extract(Obj)); }
  int32_t IndexOf(TObject* Obj) const { return TList::IndexOf(Obj); }
  TObject* Get(int32_t Index) const { return static_cast<TObject*>(TList::Get(Index)); }
  TObject* Items(int32_t Index) const { return Get(Index); }
  void Put(int32_t Index, TObject* Obj) { TList::Put(Index, Obj); }
  TObject* First() const { return Get(0); }
  TObject* Last() const { return Get(Count() - 1); }
  bool OwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

 protected:
  void Notify(void* Ptr, TListNotification Action) override;

 private:
  bool FOwnsObjects;
};

// Typed views, so callers need no casts.
template <typename T>
class TListOf : public TList {
 public:
  int32_t Add(T* Item) { return TList::Add(Item); }
  void Insert(int32_t Index, T* Item) { TList::Insert(Index, Item); }
  int32_t Remove(T* Item) { return TList::Remove(Item); }
  T* Extract(T* Item) { return static_cast<T*>(TList::Extract(Item)); }
  int32_t IndexOf(T* Item) const { return TList::IndexOf(Item); }
  T* Get(int32_t Index) const { return static_cast<T*>(TList::Get(Index)); }
  T* Items(int32_t Index) const { return Get(Index); }
  void Put(int32_t Index, T* Item) { TList::Put(Index, Item); }
  T* First() const { return Get(0); }
  T* Last() const { return Get(Count() - 1); }
};

template <typename T>
class TObjectListOf : public TObjectList {
  static_assert(std::is_base_of_v<TObject, T>, "an owning list holds TObject descendants");

 public:
  using TObjectList::TObjectList;
  int32_t Add(T* Obj) { return TObjectList::Add(Obj); }
  void Insert(int32_t Index, T* Obj) { TObjectList::Insert(Index, Obj); }
  int32_t Remove(T* Obj) { return TObjectList::Remove(Obj); }
  T* Extract(T* Obj) { return static_cast<T*>(TObjectList::Extract(Obj)); }
  int32_t IndexOf(T* Obj) const { return TObjectList::IndexOf(Obj); }
  T* Get(int32_t Index) const { return static_cast<T*>(TObjectList::Get(Index)); }
  T* Items(int32_t Index) const { return Get(Index); }
  void Put(int32_t Index, T* Obj) { TObjectList::Put(Index, Obj); }
  T* First() const { return Get(0); }
  T* Last() const { return Get(Count() - 1); }
};

}  // namespace kv
