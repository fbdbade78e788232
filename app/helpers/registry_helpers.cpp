#include "app/helpers/registry_helpers.h"

#include <vector>

#include "platform/rtl/strings.h"

namespace kv {

void WriteRegistryList(const TStrings& List, const std::string& Key) {
  TRegistry r;
  if (!r.OpenKey(Key, true))
    throw ERegistryException("Der Registrierungsschlüssel " + Key + " kann nicht angelegt werden");
  r.WriteInteger("Count", List.Count());
  for (int32_t i = 0; i < List.Count(); ++i) r.WriteString(IntToStr(i), List.Strings(i));
  r.CloseKey();
}

void ReadRegistryList(TStrings& List, const std::string& Key) {
  TRegistry r(KEY_READ);
  if (!r.OpenKeyReadOnly(Key)) return;
  int32_t count = 0;
  switch (r.GetDataType("Count")) {
    case rdInteger: count = r.ReadInteger("Count"); break;
    case rdString:
    case rdExpandString: count = StrToIntDef(Trim(r.ReadString("Count")), 0); break;
    default: break;
  }
  // A damaged count cannot make the loop outrun the values that are there.
  std::vector<std::string> names;
  r.GetValueNames(names);
  if (count > int32_t(names.size())) count = int32_t(names.size());
  for (int32_t i = 0; i < count; ++i) {
    const std::string name = IntToStr(i);
    List.Add(r.GetDataType(name) == rdString || r.GetDataType(name) == rdExpandString ? r.ReadString(name)
                                                                                       : std::string());
  }
}

bool RegistryKeyExists(const std::string& Key) {
  TRegistry r(KEY_READ);
  return r.KeyExists(Key);
}

}  // namespace kv
