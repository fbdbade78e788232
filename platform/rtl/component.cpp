#include "platform/rtl/component.h"

#include <algorithm>

#include "platform/rtl/strings.h"

namespace kv {

// ---- property tables ----

TPropertyTable TPropertyTable::Root() {
  TPropertyTable t;
  t.FClassName = "TPersistent";
  return t;
}

const TPropInfo* TPropertyTable::Find(std::string_view Name) const {
  for (const TPropertyTable* t = this; t; t = t->FBase)
    for (const TPropInfo& p : t->FProps)
      if (SameText(p.Name, Name)) return &p;
  return nullptr;
}

std::vector<const TPropInfo*> TPropertyTable::All() const {
  std::vector<const TPropertyTable*> chain;
  for (const TPropertyTable* t = this; t; t = t->FBase) chain.push_back(t);
  std::vector<const TPropInfo*> out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropInfo& p : (*it)->FProps) {
      auto same = std::find_if(out.begin(), out.end(), [&](const TPropInfo* q) { return SameText(q->Name, p.Name); });
      if (same != out.end()) *same = &p;
      else out.push_back(&p);
    }
  return out;
}

namespace prop_detail {

std::string FloatToText(double Value, TFloatType Type) {
  // Stored text always uses '.', whatever the decimal separator of the moment.
  std::string s = FloatToStrF(Value, ffGeneral, Type == ftSingle ? 7 : 15, 0);
  std::replace(s.begin(), s.end(), DecimalSeparator, '.');
  return s;
}

double TextToFloat(const std::string& Text) {
  std::string s = Trim(Text);
  std::replace(s.begin(), s.end(), '.', DecimalSeparator);
  return StrToFloat(s);
}

std::string IntegerToText(int64_t Value) { return IntToStr(Value); }

int64_t TextToInteger(const std::string& Text, bool Is64) {
  const std::string s = Trim(Text);
  return Is64 ? StrToInt64(s) : StrToInt(s);
}

std::string EnumToText(int64_t Ordinal, const std::vector<std::string>& Names) {
  if (Ordinal >= 0 && Ordinal < static_cast<int64_t>(Names.size())) return Names[static_cast<size_t>(Ordinal)];
  return IntToStr(Ordinal);  // a value outside the names still has a faithful text
}

int TextToEnum(const std::string& Text, const std::vector<std::string>& Names) {
  const std::string s = Trim(Text);
  for (size_t i = 0; i < Names.size(); ++i)
    if (SameText(Names[i], s)) return static_cast<int>(i);
  throw EPropertyError("Invalid property element: " + s);
}

std::string SetToText(uint64_t Mask, const std::vector<std::string>& Names) {
  std::string r = "[";
  bool first = true;
  for (size_t i = 0; i < Names.size() && i < 32; ++i)
    if (Mask & (uint64_t(1) << i)) {
      if (!first) r += ',';
      r += Names[i];
      first = false;
    }
  return r + "]";
}

// Words are separated by blanks, commas and brackets; words that name no member are
// skipped, so a stored set survives a member that was renamed or removed.
uint64_t TextToSet(const std::string& Text, const std::vector<std::string>& Names) {
  uint64_t mask = 0;
  size_t i = 0;
  while (i < Text.size()) {
    auto sep = [](char c) { return c == ' ' || c == ',' || c == '[' || c == ']' || static_cast<unsigned char>(c) < ' '; };
    while (i < Text.size() && sep(Text[i])) ++i;
    const size_t start = i;
    while (i < Text.size() && !sep(Text[i])) ++i;
    if (i == start) continue;
    const std::string_view word(Text.data() + start, i - start);
    for (size_t k = 0; k < Names.size() && k < 32; ++k)
      if (SameText(Names[k], word)) mask |= uint64_t(1) << k;
  }
  return mask;
}

void WrongClass(const std::string& Prop) {
  throw EPropertyError("Property " + Prop + " does not belong to this object");
}

}  // namespace prop_detail

// ---- TPersistent ----

void TPersistent::Assign(const TPersistent* Source) {
  if (Source) Source->AssignTo(this);
  else AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) const { Dest->AssignError(this); }

void TPersistent::AssignError(const TPersistent* Source) const {
  const std::string from = Source ? Source->ClassName() : "nil";
  throw EConvertError("Cannot assign a " + from + " to a " + ClassName());
}

std::string TPersistent::GetNamePath() const {
  std::string r = ClassName();
  if (const TPersistent* o = GetOwner()) {
    const std::string s = o->GetNamePath();
    if (!s.empty()) r = s + "." + r;
  }
  return r;
}

const TPropertyTable& TPersistent::PropertyTable() const {
  static const TPropertyTable table = TPropertyTable::Root();
  return table;
}

// ---- access by name ----

namespace {
// Walks "A.B.C" to the object that holds C and C's description.
const TPropInfo* Resolve(const TPersistent* Obj, std::string_view Path, const TPersistent*& Holder, bool Raise) {
  Holder = Obj;
  if (!Obj) {
    if (Raise) throw EPropertyError("Property " + std::string(Path) + " does not exist");
    return nullptr;
  }
  const size_t dot = Path.find('.');
  const std::string_view head = Path.substr(0, dot);
  const TPropInfo* p = Obj->PropertyTable().Find(head);
  if (p && dot != std::string_view::npos) {
    if (p->Kind != tkClass) p = nullptr;
    else return Resolve(p->GetObject(*Obj), Path.substr(dot + 1), Holder, Raise);
  }
  if (!p && Raise) throw EPropertyError("Property " + std::string(Path) + " does not exist");
  return p;
}
}  // namespace

std::vector<const TPropInfo*> GetPropList(const TPersistent* Obj) {
  return Obj ? Obj->PropertyTable().All() : std::vector<const TPropInfo*>();
}

std::vector<const TPropInfo*> GetPropList(const TPersistent* Obj, TTypeKinds Kinds) {
  std::vector<const TPropInfo*> all = GetPropList(Obj);
  std::erase_if(all, [&](const TPropInfo* p) { return !Kinds.Contains(p->Kind); });
  return all;
}

const TPropInfo* GetPropInfo(const TPersistent* Obj, std::string_view Path) {
  const TPersistent* holder;
  return Resolve(Obj, Path, holder, false);
}

const TPropInfo* FindPropInfo(const TPersistent* Obj, std::string_view Path) {
  const TPersistent* holder;
  return Resolve(Obj, Path, holder, true);
}

bool IsPublishedProp(const TPersistent* Obj, std::string_view Path) { return GetPropInfo(Obj, Path) != nullptr; }

std::string GetPropValue(const TPersistent* Obj, std::string_view Path) {
  const TPersistent* holder;
  const TPropInfo* p = Resolve(Obj, Path, holder, true);
  return p->GetText ? p->GetText(*holder) : std::string();
}

void SetPropValue(TPersistent* Obj, std::string_view Path, const std::string& Value) {
  const TPersistent* holder;
  const TPropInfo* p = Resolve(Obj, Path, holder, true);
  // Holder is reached from the non-const Obj through the property getters.
  TPersistent& target = const_cast<TPersistent&>(*holder);
  if (p->ReadOnly()) throw EPropertyError("Property " + p->Name + " is read-only");
  if (p->Kind == tkClass) {
    // Only component references have a text form: the name of a component of the same owner.
    if (!p->IsComponentRef) throw EPropertyError("Property " + p->Name + " has no text form");
    const std::string name = Trim(Value);
    TComponent* found = nullptr;
    if (!name.empty()) {
      const TComponent* self = dynamic_cast<const TComponent*>(&target);
      const TComponent* scope = self ? (self->Owner() ? self->Owner() : self) : nullptr;
      found = scope ? scope->FindComponent(name) : nullptr;
      if (!found) throw EPropertyError("Invalid property value: " + name);
    }
    p->SetObject(target, found);
    return;
  }
  p->SetText(target, Value);
}

TPersistent* GetObjectProp(const TPersistent* Obj, std::string_view Path) {
  const TPersistent* holder;
  const TPropInfo* p = Resolve(Obj, Path, holder, true);
  if (p->Kind != tkClass) throw EPropertyError("Property " + p->Name + " is not an object");
  return p->GetObject(*holder);
}

void SetObjectProp(TPersistent* Obj, std::string_view Path, TPersistent* Value) {
  const TPersistent* holder;
  const TPropInfo* p = Resolve(Obj, Path, holder, true);
  if (p->Kind != tkClass) throw EPropertyError("Property " + p->Name + " is not an object");
  if (!p->SetObject) throw EPropertyError("Property " + p->Name + " is read-only");
  p->SetObject(const_cast<TPersistent&>(*holder), Value);
}

// ---- TComponent ----

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  Destroying();
  // Take each partner off both lists before telling it, so that a Notification that
  // does not call its base still leaves no pointer to this component behind.
  while (!FFreeNotifies.empty()) {
    TComponent* c = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    c->RemoveNotification(this);
    c->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void TComponent::SetName(const std::string& NewName) {
  if (NewName == FName) return;
  if (!NewName.empty() && !IsValidIdent(NewName))
    throw EComponentError("'" + NewName + "' is not a valid component name");
  if (FOwner) FOwner->ValidateRename(this, FName, NewName);
  else ValidateRename(nullptr, FName, NewName);
  FName = NewName;
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& CurName, const std::string& NewName) {
  if (AComponent && !SameText(CurName, NewName) && AComponent->FOwner == this && !NewName.empty() &&
      FindComponent(NewName))
    throw EComponentError("A component named " + NewName + " already exists");
}

TComponent* TComponent::Components(int32_t Index) const {
  if (Index < 0 || Index >= ComponentCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FComponents[static_cast<size_t>(Index)];
}

int32_t TComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  const auto& v = FOwner->FComponents;
  const auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int32_t>(it - v.begin());
}

TComponent* TComponent::FindComponent(std::string_view AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameText(c->FName, AName)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner == this || AComponent == this) return;
  if (!AComponent->FName.empty() && FindComponent(AComponent->FName))
    throw EComponentError("A component named " + AComponent->FName + " already exists");
  ValidateRename(AComponent, std::string(), AComponent->FName);
  // One owner at a time: two owners would free it twice.
  if (AComponent->FOwner) AComponent->FOwner->RemoveComponent(AComponent);
  Insert(AComponent);
  if (FComponentState.Contains(csDesigning)) AComponent->SetDesigning(true);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->FOwner != this) return;
  Notification(AComponent, opRemove);
  Remove(AComponent);
}

void TComponent::Insert(TComponent* AComponent) {
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
}

void TComponent::Remove(TComponent* AComponent) {
  std::erase(FComponents, AComponent);
  AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* c = FComponents.back();
    // Siblings that hold a reference to it learn of its end through the owner.
    if (c->FComponentState.Contains(csFreeNotification)) RemoveComponent(c);
    else Remove(c);
    delete c;
  }
}

void TComponent::Destroying() {
  if (FComponentState.Contains(csDestroying)) return;
  FComponentState.Include(csDestroying);
  for (TComponent* c : FComponents) c->Destroying();
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  // Recorded even between components of one owner: either may move to another
  // owner later, and the owner's broadcast would no longer reach it.
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(AComponent);
    AComponent->FreeNotification(this);
  }
  FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) { std::erase(FFreeNotifies, AComponent); }

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  // Only an end breaks the link: a component merely moving to another owner
  // (which its old owner announces as opRemove) keeps telling of its end.
  if (Operation == opRemove && AComponent && AComponent->ComponentState().Contains(csDestroying))
    RemoveFreeNotification(AComponent);
  // Backwards and re-checked, because a handler may free components of this owner.
  size_t i = FComponents.size();
  while (i > 0) {
    --i;
    FComponents[i]->Notification(AComponent, Operation);
    if (i > FComponents.size()) i = FComponents.size();
  }
}

void TComponent::BeginLoading() { FComponentState.Include(csLoading); }

void TComponent::Loaded() { FComponentState.Exclude(csLoading); }

void TComponent::SetDesigning(bool Value) {
  if (Value) FComponentState.Include(csDesigning);
  else FComponentState.Exclude(csDesigning);
  for (TComponent* c : FComponents) c->SetDesigning(Value);
}

std::string TComponent::GetNamePath() const { return FName; }

const TPropertyTable& TComponent::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TComponent>(TPersistent::PropertyTable(), [](auto& p) {
    p.String("Name", &TComponent::Name, &TComponent::SetName);
    p.Int64("Tag", &TComponent::Tag, &TComponent::SetTag);
  });
  return table;
}

}  // namespace kv
