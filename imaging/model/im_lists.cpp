#include "imaging/model/im_lists.h"

#include <cstring>
#include <functional>
#include <string>

#include "platform/rtl/exceptions.h"

namespace kv {

// ---- TIMList ----

TIMList::TIMList() { TIMList::Clear(); }

TIMList::TIMList(int32_t ItemSize) : FItemSize(ItemSize) {
  if (ItemSize < 0) throw EListError("Invalid list item size (" + std::to_string(ItemSize) + ")");
}

void TIMList::SetCount(int32_t n) {
  if (n < 0) throw EListError("Invalid list count (" + std::to_string(n) + ")");
  // 64-bit product: Count * ItemSize may not fit in 32 bits.
  FData.resize(static_cast<size_t>(int64_t(n) * FItemSize));
  FCount = n;
  FChanged |= chItems;
}

void TIMList::Delete(int32_t Index) {
  if (!ValidIndex(Index)) return;
  const size_t at = size_t(Index) * size_t(FItemSize);
  FData.erase(FData.begin() + ptrdiff_t(at), FData.begin() + ptrdiff_t(at + size_t(FItemSize)));
  --FCount;
  FChanged |= chItems;
}

void TIMList::Clear() {
  FData.clear();
  FData.shrink_to_fit();
  FCount = 0;
  FChanged = 0;
}

void TIMList::Assign(const TIMList* Source) {
  if (!Source || Source == this) return;
  FData = Source->FData;
  FCount = Source->FCount;
  FItemSize = Source->FItemSize;
  FChanged = Source->FChanged;
}

int32_t TIMList::IndexOf(const void* Item) const {
  const size_t n = size_t(FItemSize);
  for (int32_t i = 0; i < FCount; ++i)
    if (n == 0 || std::memcmp(FData.data() + size_t(i) * n, Item, n) == 0) return i;
  return -1;
}

int32_t TIMList::AddItem(const void* Item) {
  if (FCount == INT32_MAX) throw EListError("List capacity exceeded");
  // The item may be one of our own, and growing moves the block it lives in.
  const auto* p = static_cast<const uint8_t*>(Item);
  const bool own = !FData.empty() && std::less_equal<const uint8_t*>()(FData.data(), p) &&
                   std::less<const uint8_t*>()(p, FData.data() + FData.size());
  const size_t ownOffset = own ? size_t(p - FData.data()) : 0;
  SetCount(FCount + 1);
  const int32_t Index = FCount - 1;
  if (FItemSize > 0)
    std::memmove(FData.data() + size_t(Index) * size_t(FItemSize), own ? FData.data() + ownOffset : p,
                 size_t(FItemSize));
  return Index;
}

void* TIMList::ItemAddress(int32_t Index) {
  return ValidIndex(Index) ? FData.data() + size_t(Index) * size_t(FItemSize) : nullptr;
}

const void* TIMList::ItemAddress(int32_t Index) const {
  return ValidIndex(Index) ? FData.data() + size_t(Index) * size_t(FItemSize) : nullptr;
}

void TIMList::SetItem(int32_t Index, const void* Item) {
  if (!ValidIndex(Index)) return;
  if (FItemSize > 0) std::memcpy(FData.data() + size_t(Index) * size_t(FItemSize), Item, size_t(FItemSize));
  FChanged |= chItems;
}

namespace {

// The typed lists read their items as one fixed type, so they only take items of that size.
void CheckSameItemSize(const TIMList& Source, int32_t ItemSize) {
  if (Source.ItemSize() != ItemSize)
    throw EListError("Cannot assign a list of " + std::to_string(Source.ItemSize()) +
                     "-byte items to a list of " + std::to_string(ItemSize) + "-byte items");
}

[[noreturn]] void IndexError(int32_t Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

}  // namespace

// ---- TIMDoubleList ----

TIMDoubleList::TIMDoubleList() { TIMDoubleList::Clear(); }

void TIMDoubleList::Clear() {
  TIMList::Clear();
  FItemSize = sizeof(double);
  FRangeMin = FRangeMax = FRangeStep = FCurrentValue = 0;
}

void TIMDoubleList::Assign(const TIMList* Source) {
  if (!Source || Source == this) return;
  CheckSameItemSize(*Source, sizeof(double));
  TIMList::Assign(Source);
  if (auto* d = dynamic_cast<const TIMDoubleList*>(Source)) {
    FRangeMin = d->FRangeMin;
    FRangeMax = d->FRangeMax;
    FRangeStep = d->FRangeStep;
    FCurrentValue = d->FCurrentValue;
  }
}

double TIMDoubleList::GetItem(int32_t Index) const {
  if (!ValidIndex(Index)) IndexError(Index);
  double v;
  std::memcpy(&v, FData.data() + size_t(Index) * sizeof v, sizeof v);
  return v;
}

void TIMDoubleList::SetRangeMin(double Value) { FRangeMin = Value; FChanged |= chRange; }
void TIMDoubleList::SetRangeMax(double Value) { FRangeMax = Value; FChanged |= chRange; }
void TIMDoubleList::SetRangeStep(double Value) { FRangeStep = Value; FChanged |= chRange; }
void TIMDoubleList::SetCurrentValue(double Value) { FCurrentValue = Value; FChanged |= chCurrentValue; }

// ---- TIMIntegerList ----

TIMIntegerList::TIMIntegerList() { TIMIntegerList::Clear(); }

void TIMIntegerList::Clear() {
  TIMList::Clear();
  FItemSize = sizeof(int32_t);
  FRangeMin = FRangeMax = FRangeStep = FCurrentValue = 0;
}

void TIMIntegerList::Assign(const TIMList* Source) {
  if (!Source || Source == this) return;
  CheckSameItemSize(*Source, sizeof(int32_t));
  TIMList::Assign(Source);
  if (auto* d = dynamic_cast<const TIMIntegerList*>(Source)) {
    FRangeMin = d->FRangeMin;
    FRangeMax = d->FRangeMax;
    FRangeStep = d->FRangeStep;
    FCurrentValue = d->FCurrentValue;
  }
}

int32_t TIMIntegerList::GetItem(int32_t Index) const {
  if (!ValidIndex(Index)) IndexError(Index);
  int32_t v;
  std::memcpy(&v, FData.data() + size_t(Index) * sizeof v, sizeof v);
  return v;
}

void TIMIntegerList::SetRangeMin(int32_t Value) { FRangeMin = Value; FChanged |= chRange; }
void TIMIntegerList::SetRangeMax(int32_t Value) { FRangeMax = Value; FChanged |= chRange; }
void TIMIntegerList::SetRangeStep(int32_t Value) { FRangeStep = Value; FChanged |= chRange; }
void TIMIntegerList::SetCurrentValue(int32_t Value) { FCurrentValue = Value; FChanged |= chCurrentValue; }

// ---- TIMRecordList ----

TIMRecordList::TIMRecordList(int32_t ItemSize) : TIMList(ItemSize) {}

}  // namespace kv
