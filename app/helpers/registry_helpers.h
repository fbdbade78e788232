// String lists kept in the registry, and the settings import. Keys are paths
// below the current user ("\Software\Kavrelin\3.6\AddPlug").
#pragma once
#include <string>

#include "platform/rtl/string_list.h"
#include "platform/system/registry.h"  // ImportRegFile: the settings import of "kavrelin.reg"

namespace kv {

// Opens (creates) the key and writes "Count" (integer) and the items as string
// values named 0 to Count - 1.
void WriteRegistryList(const TStrings& List, const std::string& Key);
// Adds the string values 0 to "Count" - 1 of the key to the list; nothing when
// the key cannot be opened. A count written as text is read as well, and a
// count larger than the values the key holds reads only those it can.
void ReadRegistryList(TStrings& List, const std::string& Key);
bool RegistryKeyExists(const std::string& Key);

}  // namespace kv
