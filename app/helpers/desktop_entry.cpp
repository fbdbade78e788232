#include "app/helpers/desktop_entry.h"

#include "platform/rtl/exceptions.h"
#include "platform/system/file_lock.h"

namespace kv {

std::string EscapeDesktopValue(std::string_view Value) {
  std::string r;
  // Blanks after "=" are not part of the value; an escaped one is.
  if (!Value.empty() && Value.front() == ' ') {
    r += "\\s";
    Value.remove_prefix(1);
  }
  for (char c : Value) {
    switch (c) {
      case '\\': r += "\\\\"; break;
      case '\n': r += "\\n"; break;
      case '\r': r += "\\r"; break;
      case '\t': r += "\\t"; break;
      default: r += c;
    }
  }
  return r;
}

std::string QuoteExecArgument(std::string_view Argument) {
  // Inside quotes, '"', '`', '$' and '\' take a backslash; the string escape
  // of the file format then doubles every backslash once more.
  std::string quoted = "\"";
  for (char c : Argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  return EscapeDesktopValue(quoted);
}

void WriteDesktopEntry(const std::string& FileName, const std::vector<std::pair<std::string, std::string>>& Keys,
                       unsigned Mode) {
  std::string text = "[Desktop Entry]\n";
  for (const auto& [key, value] : Keys) text += key + "=" + (key == "Exec" ? value : EscapeDesktopValue(value)) + "\n";
  AtomicWriteFile(FileName, text, Mode);
}

std::string ReadDesktopEntryValue(const std::string& FileName, const std::string& Key) {
  std::string text;
  try {
    if (!ReadFileToString(FileName, text, 1 << 20)) return {};
  } catch (const EInOutError&) {
    return {};
  }
  return DesktopEntryValueOf(text, Key);
}

std::string DesktopEntryValueOf(std::string_view Text, std::string_view Key) {
  bool inGroup = false;
  size_t pos = 0;
  while (pos < Text.size()) {
    size_t end = Text.find('\n', pos);
    if (end == std::string_view::npos) end = Text.size();
    std::string_view line = Text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty() && line.front() == '[') {
      inGroup = line == "[Desktop Entry]";
      continue;
    }
    if (!inGroup || line.size() <= Key.size() || line.substr(0, Key.size()) != Key) continue;
    std::string_view rest = line.substr(Key.size());
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    if (rest.empty() || rest.front() != '=') continue;
    rest.remove_prefix(1);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    std::string value;
    for (size_t i = 0; i < rest.size(); ++i) {
      if (rest[i] != '\\' || i + 1 == rest.size()) {
        value += rest[i];
        continue;
      }
      const char n = rest[++i];
      value += n == 'n' ? '\n' : n == 'r' ? '\r' : n == 't' ? '\t' : n == 's' ? ' ' : n;
    }
    return value;
  }
  return {};
}

}  // namespace kv
