/* The REGEDIT4 text form of registry keys, used for the hive files and for
   imported and exported settings files:

   REGEDIT4

   [HKEY_CURRENT_USER\Software\Kavrelin]
   "Name"="text with \\ and \""
   @="default value"
   "Count"=dword:0000000a
   "Blob"=hex:01,02,\
     03
   "Path"=hex(2):25,00
   "Gone"=-
   [-HKEY_CURRENT_USER\Software\Old]
*/
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/system/reg_tree.h"

namespace kv {

enum TRegTextEntryKind : uint8_t { reKey, reDeleteKey, reValue, reDeleteValue };

// One statement of a REGEDIT4 text. KeyPath is the full path as written,
// root name included ("HKEY_CURRENT_USER\Software\X"); Name, Type and Data
// belong to reValue and reDeleteValue.
struct TRegTextEntry {
  TRegTextEntryKind Kind = reKey;
  std::string KeyPath;
  std::string Name;
  uint32_t Type = REG_NONE;
  std::vector<uint8_t> Data;
  int32_t Line = 0;  // 1-based line of the statement in the text
};

using TRegTextSink = std::function<void(const TRegTextEntry&)>;
// Told of a line that is no valid statement (1-based line number and its text);
// returns whether to go on.
using TRegTextErrorSink = std::function<bool(int32_t Line, std::string_view Text)>;

// Reads a REGEDIT4 text (UTF-8, LF or CRLF, header optional) and hands each
// statement to Sink in file order. Nothing in the text is trusted: malformed
// lines, and values outside a valid section, are skipped. From the first
// section line on, each line that is neither empty, a comment, a section nor
// a well-formed value goes to OnError when one is given.
void ParseRegText(std::string_view Text, const TRegTextSink& Sink, const TRegTextErrorSink& OnError = nullptr);

constexpr std::string_view RegTextHeader = "REGEDIT4\n\n";

// Appends one value line (wrapped hex lines included).
void FormatRegValue(std::string& Out, const TRegValue& Value);

// Appends the section of Node (when WriteSelf) and the sections of all its
// subkeys, depth first in their order. FullPath is Node's path with root name.
void FormatRegKeyTree(std::string& Out, const std::string& FullPath, const TRegKeyNode& Node,
                      bool WriteSelf);

}  // namespace kv
