// TPersistent with its published-property table, and TComponent with ownership and
// free notification.
//
// Published properties: every class lists its own in a static table that chains to its
// base class's table, built once by a lambda:
//
//   const TPropertyTable& TMyLabel::PropertyTable() const {
//     static const auto table = TPropertyTable::Make<TMyLabel>(TComponent::PropertyTable(), [](auto& p) {
//       p.String("Caption", &TMyLabel::Caption, &TMyLabel::SetCaption);
//       p.Enum("Alignment", &TMyLabel::Alignment, &TMyLabel::SetAlignment,
//              {"taLeftJustify", "taRightJustify", "taCenter"});
//       p.Object("Font", &TMyLabel::Font, &TMyLabel::SetFont);
//     });
//     return table;
//   }
//
// (TComponent::PropertyTable() written inside a member is a non-virtual call to the
// base's own table.) Getters and setters may be member functions, data members or
// lambdas taking the object; a setter of nullptr makes the property read-only.
#pragma once
#include <concepts>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/object.h"
#include "platform/rtl/set.h"

namespace kv {

class TPersistent;
class TComponent;

enum TTypeKind : uint8_t {
  tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod,
  tkWChar, tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64
};
using TTypeKinds = TSet<TTypeKind>;
// Decides the significant digits of the text form: 7 for single, 15 otherwise (the
// value is held as a double, which carries no more).
enum TFloatType : uint8_t { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

// One published property. Text forms: integers in decimal, a character as itself,
// enumerations by value name ("True", "alClient"), floats in general format with "." as
// the separator, sets as "[fsBold,fsItalic]", component references by Name.
struct TPropInfo {
  std::string Name;
  TTypeKind Kind = tkUnknown;
  TFloatType FloatType = ftDouble;
  std::vector<std::string> EnumNames;  // value names by ordinal, or a set's member names
  std::string PropClassName;           // tkClass: the declared class
  bool IsComponentRef = false;         // tkClass: a reference to a component, not an owned part
  std::function<std::string(const TPersistent&)> GetText;
  std::function<void(TPersistent&, const std::string&)> SetText;  // empty when read-only
  std::function<TPersistent*(const TPersistent&)> GetObject;      // tkClass
  std::function<void(TPersistent&, TPersistent*)> SetObject;      // tkClass; empty when read-only
  bool ReadOnly() const { return Kind == tkClass ? !SetObject : !SetText; }
};

class TPropertyTable {
 public:
  template <typename T, typename Fill>
  static TPropertyTable Make(const TPropertyTable& Base, Fill F);
  static TPropertyTable Root();

  const TPropertyTable* Base() const { return FBase; }
  const std::string& ClassName() const { return FClassName; }
  const std::vector<TPropInfo>& Own() const { return FProps; }
  // Case-insensitive, the most derived class first.
  const TPropInfo* Find(std::string_view Name) const;
  // Base class properties first; a redeclared property keeps its base's place.
  std::vector<const TPropInfo*> All() const;

 private:
  const TPropertyTable* FBase = nullptr;
  std::string FClassName;
  std::vector<TPropInfo> FProps;
};

class TPersistent : public TObject {
 public:
  // Copies Source into this object; when this class does not know Source's class,
  // Source gets the chance through AssignTo. Raises EConvertError
  // "Cannot assign a TX to a TY" when neither does.
  virtual void Assign(const TPersistent* Source);
  virtual std::string GetNamePath() const;
  virtual const TPropertyTable& PropertyTable() const;

 protected:
  virtual void AssignTo(TPersistent* Dest) const;
  virtual TPersistent* GetOwner() const { return nullptr; }
  [[noreturn]] void AssignError(const TPersistent* Source) const;
};

// ---- access by name; a path "Font.Size" walks through object properties ----

std::vector<const TPropInfo*> GetPropList(const TPersistent* Obj);
std::vector<const TPropInfo*> GetPropList(const TPersistent* Obj, TTypeKinds Kinds);
const TPropInfo* GetPropInfo(const TPersistent* Obj, std::string_view Path);   // nullptr when absent
const TPropInfo* FindPropInfo(const TPersistent* Obj, std::string_view Path);  // EPropertyError when absent
bool IsPublishedProp(const TPersistent* Obj, std::string_view Path);
std::string GetPropValue(const TPersistent* Obj, std::string_view Path);
// Raises EPropertyError for an unknown or read-only property or an unknown value name,
// EConvertError for text that is no number.
void SetPropValue(TPersistent* Obj, std::string_view Path, const std::string& Value);
TPersistent* GetObjectProp(const TPersistent* Obj, std::string_view Path);
void SetObjectProp(TPersistent* Obj, std::string_view Path, TPersistent* Value);

// ---- components ----

enum TOperation : uint8_t { opInsert, opRemove };
enum TComponentStateItem : uint8_t {
  csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating, csFixups,
  csFreeNotification, csInline, csDesignInstance
};
using TComponentState = TSet<TComponentStateItem>;

// A component made with an owner belongs to it: the owner frees it. A component freed
// any other way leaves its owner's list and tells every component that asked for free
// notification, so no reference to it stays behind.
class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return FOwner; }
  const std::string& Name() const { return FName; }
  // Empty, or an identifier unique (without case) among the owner's components.
  void SetName(const std::string& NewName);
  intptr_t Tag() const { return FTag; }
  void SetTag(intptr_t Value) { FTag = Value; }
  TComponentState ComponentState() const { return FComponentState; }

  int32_t ComponentCount() const { return static_cast<int32_t>(FComponents.size()); }
  TComponent* Components(int32_t Index) const;  // EListError for a bad index
  int32_t ComponentIndex() const;               // place in the owner's list, -1 without owner
  TComponent* FindComponent(std::string_view AName) const;
  // Takes AComponent over (from its previous owner, if any).
  void InsertComponent(TComponent* AComponent);
  void RemoveComponent(TComponent* AComponent);
  void DestroyComponents();

  // Asks this component to call AComponent->Notification(this, opRemove) when it is freed
  // (and the other way round).
  void FreeNotification(TComponent* AComponent);
  void RemoveFreeNotification(TComponent* AComponent);
  // Told of components inserted into or removed from the owner, and of freed components
  // that asked for it. Passed on to the components this one owns.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  // Loading from stored form data: BeginLoading marks the component, Loaded ends it.
  void BeginLoading();
  virtual void Loaded();
  void Destroying();

  std::string GetNamePath() const override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  virtual void ValidateRename(TComponent* AComponent, const std::string& CurName, const std::string& NewName);
  TPersistent* GetOwner() const override { return FOwner; }
  void SetDesigning(bool Value);

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  std::string FName;
  intptr_t FTag = 0;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  TComponentState FComponentState;
};

// ---- building property tables ----

namespace prop_detail {
std::string FloatToText(double Value, TFloatType Type);
double TextToFloat(const std::string& Text);
std::string IntegerToText(int64_t Value);
int64_t TextToInteger(const std::string& Text, bool Is64);
std::string EnumToText(int64_t Ordinal, const std::vector<std::string>& Names);
int TextToEnum(const std::string& Text, const std::vector<std::string>& Names);  // EPropertyError when unknown
std::string SetToText(uint64_t Mask, const std::vector<std::string>& Names);
uint64_t TextToSet(const std::string& Text, const std::vector<std::string>& Names);
[[noreturn]] void WrongClass(const std::string& Prop);

template <typename T>
const T& Self(const TPersistent& P, const std::string& Prop) {
  const T* t = dynamic_cast<const T*>(&P);
  if (!t) WrongClass(Prop);
  return *t;
}
template <typename T>
T& Self(TPersistent& P, const std::string& Prop) {
  T* t = dynamic_cast<T*>(&P);
  if (!t) WrongClass(Prop);
  return *t;
}
template <typename T, typename G>
decltype(auto) Read(const G& Get, const T& Obj) {
  return std::invoke(Get, Obj);
}
template <typename T, typename S, typename V>
void Write(const S& Put, T& Obj, V&& Value) {
  if constexpr (std::is_member_object_pointer_v<S>) Obj.*Put = std::forward<V>(Value);
  else std::invoke(Put, Obj, std::forward<V>(Value));
}
}  // namespace prop_detail

template <typename T>
class TPropertyBuilder {
  template <typename G>
  using Value = std::decay_t<std::invoke_result_t<const G&, const T&>>;

 public:
  explicit TPropertyBuilder(std::vector<TPropInfo>& Props) : FProps(Props) {}

  template <typename G, typename S = std::nullptr_t>
  TPropertyBuilder& Integer(std::string Name, G Get, S Put = nullptr) {
    return Scalar(std::move(Name), tkInteger, Get, Put,
                  [](const Value<G>& v) { return prop_detail::IntegerToText(static_cast<int64_t>(v)); },
                  [](const std::string& s) { return static_cast<Value<G>>(prop_detail::TextToInteger(s, false)); });
  }
  template <typename G, typename S = std::nullptr_t>
  TPropertyBuilder& Int64(std::string Name, G Get, S Put = nullptr) {
    return Scalar(std::move(Name), tkInt64, Get, Put,
                  [](const Value<G>& v) { return prop_detail::IntegerToText(static_cast<int64_t>(v)); },
                  [](const std::string& s) { return static_cast<Value<G>>(prop_detail::TextToInteger(s, true)); });
  }
  template <typename G, typename S = std::nullptr_t>
  TPropertyBuilder& String(std::string Name, G Get, S Put = nullptr) {
    return Scalar(std::move(Name), tkString, Get, Put, [](const std::string& v) { return v; },
                  [](const std::string& s) { return s; });
  }
  template <typename G, typename S = std::nullptr_t>
  TPropertyBuilder& Bool(std::string Name, G Get, S Put = nullptr) {
    return Enum(std::move(Name), Get, Put, {"False", "True"});
  }
  template <typename G, typename S = std::nullptr_t>
  TPropertyBuilder& Float(std::string Name, G Get, S Put = nullptr, TFloatType Type = ftDouble) {
    Scalar(std::move(Name), tkFloat, Get, Put,
           [Type](const Value<G>& v) { return prop_detail::FloatToText(static_cast<double>(v), Type); },
           [](const std::string& s) { return static_cast<Value<G>>(prop_detail::TextToFloat(s)); });
    FProps.back().FloatType = Type;
    return *this;
  }
  // An empty text leaves a character property as it is.
  template <typename G, typename S = std::nullptr_t>
  TPropertyBuilder& Char(std::string Name, G Get, S Put = nullptr) {
    TPropInfo& p = Add(std::move(Name), tkChar);
    p.GetText = [Get, n = p.Name](const TPersistent& o) {
      return std::string(1, static_cast<char>(prop_detail::Read(Get, prop_detail::Self<T>(o, n))));
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetText = [Put, n = p.Name](TPersistent& o, const std::string& s) {
        if (!s.empty()) prop_detail::Write(Put, prop_detail::Self<T>(o, n), static_cast<Value<G>>(s[0]));
      };
    return *this;
  }
  template <typename G, typename S = std::nullptr_t>
  TPropertyBuilder& Enum(std::string Name, G Get, S Put, std::vector<std::string> Names) {
    TPropInfo& p = Add(std::move(Name), tkEnumeration);
    p.EnumNames = std::move(Names);
    p.GetText = [Get, n = p.Name, names = p.EnumNames](const TPersistent& o) {
      return prop_detail::EnumToText(static_cast<int64_t>(prop_detail::Read(Get, prop_detail::Self<T>(o, n))), names);
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetText = [Put, n = p.Name, names = p.EnumNames](TPersistent& o, const std::string& s) {
        const int ord = prop_detail::TextToEnum(s, names);
        prop_detail::Write(Put, prop_detail::Self<T>(o, n), static_cast<Value<G>>(ord));
      };
    return *this;
  }
  // The getter returns a TSet; members 0 to 31 have text.
  template <typename G, typename S = std::nullptr_t>
  TPropertyBuilder& Set(std::string Name, G Get, S Put, std::vector<std::string> Names) {
    TPropInfo& p = Add(std::move(Name), tkSet);
    if (p.EnumNames = std::move(Names); p.EnumNames.size() > 32) p.EnumNames.resize(32);
    p.GetText = [Get, n = p.Name, names = p.EnumNames](const TPersistent& o) {
      return prop_detail::SetToText(prop_detail::Read(Get, prop_detail::Self<T>(o, n)).ToMask(), names);
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetText = [Put, n = p.Name, names = p.EnumNames](TPersistent& o, const std::string& s) {
        prop_detail::Write(Put, prop_detail::Self<T>(o, n), Value<G>::FromMask(prop_detail::TextToSet(s, names)));
      };
    return *this;
  }
  // The getter returns a pointer to a TPersistent descendant: a component (a reference)
  // or an owned part such as a font.
  template <typename G, typename S = std::nullptr_t>
  TPropertyBuilder& Object(std::string Name, G Get, S Put = nullptr) {
    using C = std::remove_pointer_t<Value<G>>;
    static_assert(std::is_base_of_v<TPersistent, C>, "an object property holds a TPersistent descendant");
    TPropInfo& p = Add(std::move(Name), tkClass);
    p.PropClassName = TypeNameOf(typeid(C));
    p.IsComponentRef = std::is_base_of_v<TComponent, C>;
    p.GetObject = [Get, n = p.Name](const TPersistent& o) -> TPersistent* {
      return prop_detail::Read(Get, prop_detail::Self<T>(o, n));
    };
    p.GetText = [Get, n = p.Name](const TPersistent& o) -> std::string {
      const C* c = prop_detail::Read(Get, prop_detail::Self<T>(o, n));
      if constexpr (std::is_base_of_v<TComponent, C>) return c ? c->Name() : std::string();
      else return std::string();
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetObject = [Put, n = p.Name](TPersistent& o, TPersistent* v) {
        C* c = dynamic_cast<C*>(v);
        if (v && !c) prop_detail::WrongClass(n);
        prop_detail::Write(Put, prop_detail::Self<T>(o, n), c);
      };
    return *this;
  }
  // Events are listed by name only; they have no text form.
  TPropertyBuilder& Method(std::string Name) {
    Add(std::move(Name), tkMethod);
    return *this;
  }

 private:
  TPropInfo& Add(std::string Name, TTypeKind Kind) {
    FProps.push_back(TPropInfo{});
    FProps.back().Name = std::move(Name);
    FProps.back().Kind = Kind;
    return FProps.back();
  }
  template <typename G, typename S, typename ToText, typename FromText>
  TPropertyBuilder& Scalar(std::string Name, TTypeKind Kind, G Get, S Put, ToText To, FromText From) {
    TPropInfo& p = Add(std::move(Name), Kind);
    p.GetText = [Get, To, n = p.Name](const TPersistent& o) {
      return To(prop_detail::Read(Get, prop_detail::Self<T>(o, n)));
    };
    if constexpr (!std::is_null_pointer_v<S>)
      p.SetText = [Put, From, n = p.Name](TPersistent& o, const std::string& s) {
        prop_detail::Write(Put, prop_detail::Self<T>(o, n), From(s));
      };
    return *this;
  }

  std::vector<TPropInfo>& FProps;
};

template <typename T, typename Fill>
TPropertyTable TPropertyTable::Make(const TPropertyTable& Base, Fill F) {
  TPropertyTable t;
  t.FBase = &Base;
  t.FClassName = TypeNameOf(typeid(T));
  TPropertyBuilder<T> b(t.FProps);
  F(b);
  return t;
}

}  // namespace kv
