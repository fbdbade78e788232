// Desktop entry files (the ".desktop" files of the XDG desktops): the program's
// file associations and its links are written in this form.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

// A value as a desktop entry string: backslash, line breaks and tabs escaped.
std::string EscapeDesktopValue(std::string_view Value);
// One argument of an Exec line: quoted, with the characters the rules reserve
// escaped, and "%" doubled so that it is no field code.
std::string QuoteExecArgument(std::string_view Argument);
// Writes "[Desktop Entry]" and the keys in their order, atomically. Values are
// escaped here, except Exec, which the caller builds from quoted arguments.
void WriteDesktopEntry(const std::string& FileName, const std::vector<std::pair<std::string, std::string>>& Keys,
                       unsigned Mode = 0644);
// The unescaped value of a key in the "[Desktop Entry]" group; "" when the
// file or the key is missing.
std::string ReadDesktopEntryValue(const std::string& FileName, const std::string& Key);

}  // namespace kv
