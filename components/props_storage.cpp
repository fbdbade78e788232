// TPropsStorage: published properties as text, by kind.
#include "components/props_storage.h"

#include <map>

#include "platform/rtl/collection.h"
#include "platform/rtl/strings.h"
#include "platform/ui/forms.h"

namespace kv {

namespace {

// The set text for the members named in Text; words that name no member are skipped.
std::string SetTextFromWords(const std::string& Text, const std::vector<std::string>& Names) {
  uint64_t mask = 0;
  std::string word;
  auto flush = [&] {
    for (size_t i = 0; i < Names.size() && i < 32; ++i)
      if (!word.empty() && SameText(word, Names[i])) mask |= uint64_t(1) << i;
    word.clear();
  };
  for (char c : Text) {
    if (c == ' ' || c == ',' || c == '[' || c == ']') flush();
    else word += c;
  }
  flush();
  return prop_detail::SetToText(mask, Names);
}

}  // namespace

TPropInfoList::TPropInfoList(const TPersistent* Object) {
  if (!Object) return;
  for (const TPropInfo* p : GetPropList(Object))
    if (p->Kind != tkMethod) FList.push_back(p);
}

const TPropInfo* TPropInfoList::Find(std::string_view Name) const {
  for (const TPropInfo* p : FList)
    if (SameText(p->Name, Name)) return p;
  return nullptr;
}

std::string TPropsStorage::ReadString(const std::string& ASection, const std::string& Ident,
                                      const std::string& Default) {
  return OnReadString ? OnReadString(ASection, Ident, Default) : std::string();
}

void TPropsStorage::WriteString(const std::string& ASection, const std::string& Ident, const std::string& Value) {
  if (OnWriteString) OnWriteString(ASection, Ident, Value);
}

void TPropsStorage::ClearSection(const std::string& ASection) {
  if (OnEraseSection) OnEraseSection(ASection);
}

std::unique_ptr<TPropsStorage> TPropsStorage::NewNestedStorage(TPersistent* AObject) {
  auto s = std::make_unique<TPropsStorage>();
  s->Object = AObject;
  s->Owner = Owner;
  s->Section = Section;
  s->OnReadString = OnReadString;
  s->OnWriteString = OnWriteString;
  s->OnEraseSection = OnEraseSection;
  return s;
}

// ---- one property ----

std::string TPropsStorage::StoreText(const TPropInfo& Info) { return Trim(Info.GetText(*Object)); }

void TPropsStorage::StoreAnyProperty(const TPropInfo& Info) {
  if (!Object || !Info.GetText) return;
  switch (Info.Kind) {
    case tkString:
    case tkLString:
    case tkWChar:
      WriteString(Section, IdentFor(Info.Name), StoreText(Info));
      return;
    case tkInteger:
    case tkChar:
    case tkEnumeration:
    case tkFloat:
    case tkSet:
    case tkVariant:
    case tkInt64: {
      const std::string s = StoreText(Info);
      if (!s.empty()) WriteString(Section, IdentFor(Info.Name), s);
      return;
    }
    case tkClass:
      if (Info.IsComponentRef) StoreComponentProperty(Info);
      else if (dynamic_cast<TStrings*>(Info.GetObject(*Object))) StoreStringsProperty(Info);
      else if (dynamic_cast<TCollection*>(Info.GetObject(*Object))) StoreCollectionProperty(Info);
      else StoreLoadObjectProperty(Info, true);
      return;
    default:
      return;  // wide strings, arrays, records, interfaces and methods are not stored
  }
}

void TPropsStorage::LoadAnyProperty(const TPropInfo& Info) {
  if (!Object) return;
  try {
    if (Info.Kind == tkClass) {
      if (Info.IsComponentRef) LoadComponentProperty(Info);
      else if (dynamic_cast<TStrings*>(Info.GetObject(*Object))) LoadStringsProperty(Info);
      else if (dynamic_cast<TCollection*>(Info.GetObject(*Object))) LoadCollectionProperty(Info);
      else StoreLoadObjectProperty(Info, false);
      return;
    }
    if (!Info.SetText || !Info.GetText) return;
    switch (Info.Kind) {
      case tkInteger:
      case tkInt64:
      case tkChar:
      case tkWChar:
      case tkEnumeration:
      case tkFloat:
      case tkString:
      case tkLString:
      case tkSet:
      case tkVariant:
        break;
      default:
        return;
    }
    const std::string s = Trim(ReadString(Section, IdentFor(Info.Name), Info.GetText(*Object)));
    switch (Info.Kind) {
      case tkInteger:
      case tkInt64: {
        int64_t v = 0;
        Info.SetText(*Object, TryStrToInt64(s, v) ? s : std::string("0"));
        break;
      }
      case tkSet:
        Info.SetText(*Object, SetTextFromWords(s, Info.EnumNames));
        break;
      default:
        // Enumerations match without case and floats take "." through the
        // table's own text functions; a text they refuse leaves the value.
        Info.SetText(*Object, s);
    }
  } catch (const Exception&) {
  }
}

void TPropsStorage::StoreStringsProperty(const TPropInfo& Info) {
  auto* list = dynamic_cast<TStrings*>(Info.GetObject(*Object));
  const std::string sect = Section + "." + IdentFor(Info.Name);
  ClearSection(sect);
  if (!list || list->Count() == 0) return;
  WriteString(sect, "Count", IntToStr(list->Count()));
  for (int32_t i = 0; i < list->Count(); ++i) WriteString(sect, "Item" + IntToStr(i), list->Get(i));
}

void TPropsStorage::LoadStringsProperty(const TPropInfo& Info) {
  auto* list = dynamic_cast<TStrings*>(Info.GetObject(*Object));
  const std::string sect = Section + "." + IdentFor(Info.Name);
  const int32_t n = StrToIntDef(Trim(ReadString(sect, "Count", "0")), 0);
  if (n <= 0 || !list) return;  // an emptied list keeps what it had
  TStringList fresh;
  for (int32_t i = 0; i < n; ++i) fresh.Add(ReadString(sect, "Item" + IntToStr(i), ""));
  list->Assign(&fresh);
}

void TPropsStorage::StoreCollectionProperty(const TPropInfo& Info) {
  auto* coll = dynamic_cast<TCollection*>(Info.GetObject(*Object));
  const std::string ident = IdentFor(Info.Name);
  const std::string sect = Section + "." + ident;
  ClearSection(sect);
  WriteString(Section, ident + ".Count", IntToStr(coll->Count()));
  for (int32_t i = 0; i < coll->Count(); ++i) {
    auto nested = NewNestedStorage(coll->Items(i));
    nested->Section = sect;
    nested->Prefix = "Item" + IntToStr(i) + "_";
    nested->StoreProperties();
  }
}

void TPropsStorage::LoadCollectionProperty(const TPropInfo& Info) {
  auto* coll = dynamic_cast<TCollection*>(Info.GetObject(*Object));
  const std::string ident = IdentFor(Info.Name);
  const std::string sect = Section + "." + ident;
  coll->BeginUpdate();
  try {
    const int32_t n = StrToIntDef(Trim(ReadString(Section, ident + ".Count", IntToStr(coll->Count()))), coll->Count());
    if (n != coll->Count() && n >= 0) {
      coll->Clear();
      for (int32_t i = 0; i < n; ++i) coll->Add();
    }
    for (int32_t i = 0; i < coll->Count(); ++i) {
      auto nested = NewNestedStorage(coll->Items(i));
      nested->Section = sect;
      nested->Prefix = "Item" + IntToStr(i) + "_";
      nested->LoadProperties();
    }
  } catch (...) {
    coll->EndUpdate();
    throw;
  }
  coll->EndUpdate();
}

void TPropsStorage::StoreComponentProperty(const TPropInfo& Info) {
  auto* c = dynamic_cast<TComponent*>(Info.GetObject(*Object));
  std::string text = "(null)";
  if (c) {
    text = c->Name();
    if (c->Owner() && c->Owner() != Owner) {
      std::string owner = c->Owner()->Name();
      if (owner.empty()) {
        owner = c->Owner()->ClassName();
        if (!owner.empty() && (owner[0] == 'T' || owner[0] == 't')) owner.erase(0, 1);
      }
      text = owner + "." + text;
    }
  }
  WriteString(Section, IdentFor(Info.Name), text);
}

void TPropsStorage::LoadComponentProperty(const TPropInfo& Info) {
  if (!Info.SetObject) return;
  auto* cur = dynamic_cast<TComponent*>(Info.GetObject(*Object));
  const std::string s = Trim(ReadString(Section, IdentFor(Info.Name), cur ? cur->Name() : std::string("(null)")));
  if (s.empty()) return;
  if (SameText(s, "(null)")) {
    Info.SetObject(*Object, nullptr);
    return;
  }
  const size_t dot = s.find('.');
  TComponent* owner = Owner;
  std::string name = s;
  if (dot != std::string::npos) {
    owner = FindFormOrModule(s.substr(0, dot));
    name = s.substr(dot + 1);
  }
  if (owner) Info.SetObject(*Object, owner->FindComponent(name));
}

void TPropsStorage::StoreLoadObjectProperty(const TPropInfo& Info, bool Store) {
  TPersistent* obj = Info.GetObject(*Object);
  if (!obj) return;
  auto nested = NewNestedStorage(obj);
  nested->Prefix = IdentFor(Info.Name);
  if (Store) nested->StoreProperties();
  else nested->LoadProperties();
}

// ---- whole objects and lists ----

void TPropsStorage::StoreProperties() {
  TPropInfoList list(Object);
  for (int32_t i = 0; i < list.Count(); ++i) StoreAnyProperty(*list.Items(i));
}

void TPropsStorage::LoadProperties() {
  TPropInfoList list(Object);
  for (int32_t i = 0; i < list.Count(); ++i) LoadAnyProperty(*list.Items(i));
}

namespace {

template <typename Fn>
void ForListed(TPropsStorage& S, TComponent* AOwner, TStrings& List, Fn&& Each) {
  SyncStoredList(AOwner, List, false);
  std::map<std::string, std::unique_ptr<TPropInfoList>> infos;  // per component name, sorted
  S.Owner = AOwner;
  try {
    for (int32_t i = 0; i < List.Count(); ++i) {
      std::string comp, prop;
      auto* obj = dynamic_cast<TComponent*>(List.Objects(i));
      if (!obj || !SplitStoredItem(List.Get(i), comp, prop)) continue;
      auto& info = infos[UpperCase(comp)];
      if (!info) info = std::make_unique<TPropInfoList>(obj);
      S.Object = obj;
      S.Prefix = obj->Name() + "_";
      if (const TPropInfo* p = info->Find(prop)) Each(*p);
    }
  } catch (...) {
    S.Owner = nullptr;
    throw;
  }
  S.Owner = nullptr;
}

}  // namespace

void TPropsStorage::StoreObjectsProps(TComponent* AOwner, TStrings& List) {
  ForListed(*this, AOwner, List, [this](const TPropInfo& P) { StoreAnyProperty(P); });
}

void TPropsStorage::LoadObjectsProps(TComponent* AOwner, TStrings& List) {
  ForListed(*this, AOwner, List, [this](const TPropInfo& P) { LoadAnyProperty(P); });
}

// ---- the stored-property list ----

bool SplitStoredItem(const std::string& Item, std::string& Component, std::string& Prop) {
  const size_t dot = Item.find('.');
  if (dot == std::string::npos) return false;
  Component = Trim(Item.substr(0, dot));
  Prop = Trim(Item.substr(dot + 1));
  return !Component.empty() && !Prop.empty();
}

std::string JoinStoredItem(const std::string& Component, const std::string& Prop) {
  if (Component.empty() || Prop.empty()) return {};
  return Component + "." + Prop;
}

void SyncStoredList(TComponent* Owner, TStrings& List, bool FromForm) {
  for (int32_t i = List.Count() - 1; i >= 0; --i) {
    std::string comp, prop;
    const bool split = SplitStoredItem(List.Get(i), comp, prop);
    if (FromForm) {
      TComponent* c = split && Owner ? Owner->FindComponent(comp) : nullptr;
      if (c) List.PutObject(i, c);
      else List.Delete(i);
    } else {
      auto* c = dynamic_cast<TComponent*>(List.Objects(i));
      if (c && split) List.Put(i, JoinStoredItem(c->Name(), prop));
      else List.Delete(i);
    }
  }
}

TComponent* FindFormOrModule(const std::string& Name) {
  if (!Screen) return nullptr;
  for (int32_t i = 0; i < Screen->FormCount(); ++i)
    if (SameText(Screen->Forms(i)->Name(), Name)) return Screen->Forms(i);
  return nullptr;
}

}  // namespace kv
