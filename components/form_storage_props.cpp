// TFormStorage with its stored properties and stored values.
#include "components/form_storage.h"
#include "components/props_storage.h"
#include "platform/rtl/strings.h"

namespace kv {

// ---- TStoredValue ----

TStoredValue::TStoredValue(TCollection* Collection) : TCollectionItem(Collection) {}

std::string TStoredValue::DisplayName() const { return FName.empty() ? TCollectionItem::DisplayName() : FName; }

void TStoredValue::SetName(const std::string& Value) {
  if (!Value.empty() && !SameText(Value, FName)) {
    if (auto* values = dynamic_cast<TStoredValues*>(Collection()); values && values->IndexOfName(Value) >= 0)
      throw EStringListError("In der Stringliste sind Duplikate nicht erlaubt");
  }
  FName = Value;
  Changed(false);
}

void TStoredValue::Assign(const TPersistent* Source) {
  auto* s = dynamic_cast<const TStoredValue*>(Source);
  if (!s) {
    TCollectionItem::Assign(Source);
    return;
  }
  if (s->FValue.IsEmpty()) FValue.Clear();
  else FValue = s->FValue;
  SetName(s->FName);
}

TFormStorage* TStoredValue::Storage() const {
  auto* values = dynamic_cast<TStoredValues*>(Collection());
  return values ? values->Storage() : nullptr;
}

void TStoredValue::StoreValue() {
  TFormStorage* s = Storage();
  if (!s) return;
  TVariant copy = FValue;
  if (OnSave) OnSave(this, copy);
  s->WriteString(FName, copy.AsString());
}

void TStoredValue::LoadValue() {
  TFormStorage* s = Storage();
  if (!s) return;
  TVariant v = s->ReadString(FName, FValue.AsString());
  if (OnRestore) OnRestore(this, v);
  FValue = v;
}

const TPropertyTable& TStoredValue::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TStoredValue>(TCollectionItem::PropertyTable(), [](auto& p) {
    p.String("Name", &TStoredValue::Name, &TStoredValue::SetName);
    p.String(
        "Value", [](const TStoredValue& o) { return o.Value().AsString(); },
        [](TStoredValue& o, const std::string& v) { o.SetValue(TVariant(v)); });
    p.Method("OnSave").Method("OnRestore");
  });
  return table;
}

// ---- TStoredValues ----

TStoredValues::TStoredValues(TFormStorage* Storage)
    : TOwnedCollection(Storage, "TStoredValue", [](TCollection* C) { return new TStoredValue(C); }),
      FStorage(Storage) {}

int32_t TStoredValues::IndexOfName(const std::string& Name) const {
  for (int32_t i = 0; i < Count(); ++i)
    if (SameText(Items(i)->Name(), Name)) return i;
  return -1;
}

TStoredValue* TStoredValues::FindValue(const std::string& Name) const {
  const int32_t i = IndexOfName(Name);
  return i < 0 ? nullptr : Items(i);
}

void TStoredValues::StoreAll() {
  for (int32_t i = 0; i < Count(); ++i) Items(i)->StoreValue();
}

void TStoredValues::LoadAll() {
  for (int32_t i = 0; i < Count(); ++i) Items(i)->LoadValue();
}

// ---- TFormStorage ----

TFormStorage::TFormStorage(TComponent* AOwner) : TFormPlacement(AOwner) {}

TFormStorage::~TFormStorage() {
  Destroying();
  FStoredValues.Clear();
}

void TFormStorage::SetStoredProps(const TStrings& Value) {
  FStoredProps.Assign(&Value);
  for (int32_t i = 0; i < FStoredProps.Count(); ++i)
    if (auto* c = dynamic_cast<TComponent*>(FStoredProps.Objects(i))) c->FreeNotification(this);
}

void TFormStorage::Loaded() {
  TFormPlacement::Loaded();
  if (ComponentState().Contains(csDesigning)) return;
  SyncStoredList(Owner(), FStoredProps, true);
  for (int32_t i = 0; i < FStoredProps.Count(); ++i)
    if (auto* c = dynamic_cast<TComponent*>(FStoredProps.Objects(i))) c->FreeNotification(this);
}

void TFormStorage::WriteState() { SyncStoredList(Owner(), FStoredProps, false); }

void TFormStorage::Notification(TComponent* AComponent, TOperation Operation) {
  TFormPlacement::Notification(AComponent, Operation);
  if (Operation != opRemove || !AComponent || ComponentState().Contains(csDestroying)) return;
  for (int32_t i = FStoredProps.Count() - 1; i >= 0; --i)
    if (FStoredProps.Objects(i) == AComponent) FStoredProps.Delete(i);
}

void TFormStorage::SaveStoredProps() {
  TPropsStorage s;
  s.Section = IniSection();
  s.OnReadString = [this](const std::string& Sec, const std::string& I, const std::string& D) {
    return ReadSectionString(Sec, I, D);
  };
  s.OnWriteString = [this](const std::string& Sec, const std::string& I, const std::string& V) {
    WriteSectionString(Sec, I, V);
  };
  s.OnEraseSection = [this](const std::string& Sec) {
    if (StorageObject()) StorageObject()->EraseSection(Sec);
  };
  s.StoreObjectsProps(Owner(), FStoredProps);
}

void TFormStorage::RestoreStoredProps() {
  TPropsStorage s;
  s.Section = IniSection();
  s.OnReadString = [this](const std::string& Sec, const std::string& I, const std::string& D) {
    return ReadSectionString(Sec, I, D);
  };
  try {
    s.LoadObjectsProps(Owner(), FStoredProps);
  } catch (const Exception&) {
    // A property that cannot be restored keeps its value; the form still opens.
  }
}

void TFormStorage::StorePlacement() {
  TFormPlacement::StorePlacement();
  SaveStoredProps();
  FStoredValues.StoreAll();
}

void TFormStorage::LoadPlacement() {
  TFormPlacement::LoadPlacement();
  FRestored = true;
  RestoreStoredProps();
  FStoredValues.LoadAll();
}

const TPropertyTable& TFormStorage::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TFormStorage>(TFormPlacement::PropertyTable(), [](auto& p) {
    p.Object(
        "StoredProps", [](const TFormStorage& o) { return &const_cast<TFormStorage&>(o).StoredProps(); },
        [](TFormStorage& o, TStrings* v) {
          if (v) o.SetStoredProps(*v);
        });
    p.Object("StoredValues", [](const TFormStorage& o) { return &const_cast<TFormStorage&>(o).StoredValues(); });
  });
  return table;
}

}  // namespace kv
