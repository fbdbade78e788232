// Desktop entry files (the ".desktop" files of the XDG desktops): the program's
// file associations and its links are written in this form.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kv {

// A value as a desktop entry string: backslash, line breaks, tabs and a leading
// blank escaped, so that it reads back as it was.
std::string EscapeDesktopValue(std::string_view Value);
// One argument of an Exec line: quoted, with the characters the rules reserve
// escaped, and "%" doubled so that it is no field code.
std::string QuoteExecArgument(std::string_view Argument);
// Writes "[Desktop Entry]" and the keys in their order, atomically. Values are
// escaped here, except Exec, which the caller builds from quoted arguments.
void WriteDesktopEntry(const std::string& FileName, const std::vector<std::pair<std::string, std::string>>& Keys,
                       unsigned Mode = 0644);
// The unescaped value of a key in the "[Desktop Entry]" group of a desktop
// entry text; "" when the key is missing.
std::string DesktopEntryValueOf(std::string_view Text, std::string_view Key);
// The same for a file; "" when the file is missing or unreadable.
std::string ReadDesktopEntryValue(const std::string& FileName, const std::string& Key);

}  // namespace kv
