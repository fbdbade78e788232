// Keyboard shortcuts of the menu items as text lines, one line per item
// without sub-items: the captions of its path, each followed by " | ", and
// then its shortcut (" | Datei | Öffnen | Strg+O"). The options dialog edits
// these lines; the program keeps them in the registry and applies them at start.
#pragma once
#include <string>

#include "platform/rtl/string_list.h"

namespace kv {

class TMenuItem;

// Where the lines are kept below the current user (a registry list).
inline constexpr const char* ShortcutsKey = "\\Software\\Kavrelin\\3.6\\Shortcuts";

// The lines of every item below Root, in menu order.
void MenuShortcutLines(const TMenuItem& Root, TStrings& Lines);
// The item's key: the text up to and including the last "|", trimmed.
std::string ShortcutLineKey(const std::string& Line);
// The shortcut text: what follows the last "|" less the blank after it.
std::string ShortcutLineText(const std::string& Line);
// Gives every item below Root the shortcut of the line whose key equals its
// own (without regard to case), or none when no line has its key.
void ApplyShortcutLines(TMenuItem& Root, const TStrings& Lines);
// Applies the stored lines when the registry key exists; false when it does not.
bool ApplyStoredShortcuts(TMenuItem& Root);

}  // namespace kv
