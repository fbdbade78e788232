// Chosen published properties of a form's components as text values in one
// section of a store. The store itself is three operations (read a string,
// write a string, erase a section) that the form storage binds to the
// registry or an INI file.
//
// A stored-property list holds lines "Component.Property" whose objects are
// the components; a property is stored under "Component_Property".
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/string_list.h"

namespace kv {

// The published properties of one object, events left out, in table order.
class TPropInfoList : public TObject {
 public:
  explicit TPropInfoList(const TPersistent* Object);
  int32_t Count() const { return static_cast<int32_t>(FList.size()); }
  const TPropInfo* Items(int32_t Index) const { return FList.at(size_t(Index)); }
  // First property of that name, compared without case; nullptr when none.
  const TPropInfo* Find(std::string_view Name) const;

 private:
  std::vector<const TPropInfo*> FList;
};

using TReadStrEvent =
    std::function<std::string(const std::string& Section, const std::string& Ident, const std::string& Default)>;
using TWriteStrEvent = std::function<void(const std::string& Section, const std::string& Ident, const std::string& Value)>;
using TEraseSectEvent = std::function<void(const std::string& Section)>;

class TPropsStorage : public TObject {
 public:
  TPropsStorage() = default;

  TPersistent* Object = nullptr;
  TComponent* Owner = nullptr;
  std::string Prefix;
  std::string Section;
  TReadStrEvent OnReadString;
  TWriteStrEvent OnWriteString;
  TEraseSectEvent OnEraseSection;

  // Stores or loads every listed property of the components owned by AOwner.
  void StoreObjectsProps(TComponent* AOwner, TStrings& List);
  void LoadObjectsProps(TComponent* AOwner, TStrings& List);
  // Every published property of Object.
  void StoreProperties();
  void LoadProperties();
  void StoreAnyProperty(const TPropInfo& Info);
  // Errors are swallowed: a property that cannot take the stored text keeps its value.
  void LoadAnyProperty(const TPropInfo& Info);

  virtual std::string ReadString(const std::string& ASection, const std::string& Ident, const std::string& Default);
  virtual void WriteString(const std::string& ASection, const std::string& Ident, const std::string& Value);
  virtual void ClearSection(const std::string& ASection);
  virtual std::string IdentFor(const std::string& PropName) const { return Prefix + PropName; }
  virtual std::unique_ptr<TPropsStorage> NewNestedStorage(TPersistent* AObject);

 private:
  std::string StoreText(const TPropInfo& Info);
  void StoreStringsProperty(const TPropInfo& Info);
  void LoadStringsProperty(const TPropInfo& Info);
  void StoreCollectionProperty(const TPropInfo& Info);
  void LoadCollectionProperty(const TPropInfo& Info);
  void StoreComponentProperty(const TPropInfo& Info);
  void LoadComponentProperty(const TPropInfo& Info);
  void StoreLoadObjectProperty(const TPropInfo& Info, bool Store);
};

// Lines visited last to first. FromForm: each line gets the component of its
// name owned by Owner as its object; lines naming none (or not of the form
// Component.Property) go. Else: lines are rewritten from their objects' current
// names; lines without object go.
void SyncStoredList(TComponent* Owner, TStrings& List, bool FromForm);
// "Component.Property", or empty when either part is.
std::string JoinStoredItem(const std::string& Component, const std::string& Prop);
// Splits a line at its first point; false when there is none or a part is empty.
bool SplitStoredItem(const std::string& Item, std::string& Component, std::string& Prop);
// The open form of that name (compared without case), or nullptr.
TComponent* FindFormOrModule(const std::string& Name);

}  // namespace kv
