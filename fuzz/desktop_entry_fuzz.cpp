// Desktop entry files: any text reads without harm, any value written with
// the escapes reads back unchanged, and any Exec argument comes back whole
// after the string escapes and the quoting rules are undone.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/helpers/desktop_entry.h"

namespace {

// The Exec rules, as a desktop applies them to one quoted argument.
std::string UnquoteExec(std::string_view Value) {
  if (Value.size() < 2 || Value.front() != '"' || Value.back() != '"') __builtin_trap();
  std::string arg;
  for (size_t i = 1; i + 1 < Value.size(); ++i) {
    if (Value[i] == '\\' || Value[i] == '%') ++i;
    if (i + 1 >= Value.size()) __builtin_trap();
    arg += Value[i];
  }
  return arg;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string_view text(reinterpret_cast<const char*>(Data), Size);
  kv::DesktopEntryValueOf(text, "Name");
  kv::DesktopEntryValueOf(text, "");
  const std::string entry = "[Desktop Entry]\nName=" + kv::EscapeDesktopValue(text) + "\n";
  if (kv::DesktopEntryValueOf(entry, "Name") != text) __builtin_trap();
  const std::string exec = "[Desktop Entry]\nExec=" + kv::QuoteExecArgument(text) + "\n";
  if (UnquoteExec(kv::DesktopEntryValueOf(exec, "Exec")) != text) __builtin_trap();
  return 0;
}
