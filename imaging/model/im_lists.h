// Typed growable lists of fixed-size items: the scanner capability lists and
// the work stacks of the pixel operations.
//
// Every change of the items sets flag 1 of Changed(); the range setters of the
// double and integer lists set flag 2, the current-value setters flag 4, and
// Clear resets all flags. Indices outside 0..Count-1 never reach memory:
// ItemAddress/GetRecord give nullptr, SetItem and Delete do nothing, the typed
// GetItem raises EListError.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/rtl/object.h"

namespace kv {

class TIMList : public TObject {
 public:
  static constexpr uint8_t chItems = 1;
  static constexpr uint8_t chRange = 2;
  static constexpr uint8_t chCurrentValue = 4;

  TIMList();

  // New items (when growing) are zero; negative counts raise EListError.
  virtual void SetCount(int32_t n);
  virtual void Delete(int32_t Index);
  virtual void Clear();
  // Copies Count, ItemSize, Changed and the items; nullptr does nothing.
  virtual void Assign(const TIMList* Source);

  int32_t IndexOf(const void* Item) const;
  int32_t AddItem(const void* Item);
  void* ItemAddress(int32_t Index);
  const void* ItemAddress(int32_t Index) const;
  void SetItem(int32_t Index, const void* Item);

  void* Data() { return FData.empty() ? nullptr : FData.data(); }
  const void* Data() const { return FData.empty() ? nullptr : FData.data(); }
  int32_t Count() const { return FCount; }
  int32_t ItemSize() const { return FItemSize; }
  uint8_t Changed() const { return FChanged; }
  void SetChanged(uint8_t Value) { FChanged = Value; }

 protected:
  explicit TIMList(int32_t ItemSize);
  bool ValidIndex(int32_t Index) const { return Index >= 0 && Index < FCount; }

  std::vector<uint8_t> FData;
  int32_t FCount = 0;
  int32_t FItemSize = 0;
  uint8_t FChanged = 0;
};

class TIMDoubleList : public TIMList {
 public:
  TIMDoubleList();

  void Clear() override;
  // A source of another item size raises EListError; the range fields are
  // copied from another TIMDoubleList.
  void Assign(const TIMList* Source) override;

  int32_t Add(double Value) { return AddItem(&Value); }
  double GetItem(int32_t Index) const;
  void SetItem(int32_t Index, double Value) { TIMList::SetItem(Index, &Value); }
  int32_t IndexOf(double Value) const { return TIMList::IndexOf(&Value); }

  double RangeMin() const { return FRangeMin; }
  double RangeMax() const { return FRangeMax; }
  double RangeStep() const { return FRangeStep; }
  double CurrentValue() const { return FCurrentValue; }
  void SetRangeMin(double Value);
  void SetRangeMax(double Value);
  void SetRangeStep(double Value);
  void SetCurrentValue(double Value);

 private:
  double FRangeMin = 0;
  double FRangeMax = 0;
  double FRangeStep = 0;
  double FCurrentValue = 0;
};

class TIMIntegerList : public TIMList {
 public:
  TIMIntegerList();

  void Clear() override;
  // A source of another item size raises EListError; the range fields are
  // copied from another TIMIntegerList.
  void Assign(const TIMList* Source) override;

  int32_t Add(int32_t Value) { return AddItem(&Value); }
  int32_t GetItem(int32_t Index) const;
  void SetItem(int32_t Index, int32_t Value) { TIMList::SetItem(Index, &Value); }
  int32_t IndexOf(int32_t Value) const { return TIMList::IndexOf(&Value); }

  int32_t RangeMin() const { return FRangeMin; }
  int32_t RangeMax() const { return FRangeMax; }
  int32_t RangeStep() const { return FRangeStep; }
  int32_t CurrentValue() const { return FCurrentValue; }
  void SetRangeMin(int32_t Value);
  void SetRangeMax(int32_t Value);
  void SetRangeStep(int32_t Value);
  void SetCurrentValue(int32_t Value);

 private:
  int32_t FRangeMin = 0;
  int32_t FRangeMax = 0;
  int32_t FRangeStep = 0;
  int32_t FCurrentValue = 0;
};

class TIMRecordList : public TIMList {
 public:
  // A negative item size raises EListError.
  explicit TIMRecordList(int32_t ItemSize);

  void* GetRecord(int32_t Index) { return ItemAddress(Index); }
  const void* GetRecord(int32_t Index) const { return ItemAddress(Index); }
  int32_t AddRecord(const void* Record) { return AddItem(Record); }
};

}  // namespace kv
