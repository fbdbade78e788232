#include "app/main/menu_shortcuts.h"

#include <functional>
#include <unordered_map>

#include "app/helpers/registry_helpers.h"
#include "app/helpers/text_helpers.h"
#include "platform/rtl/strings.h"
#include "platform/ui/menus.h"

namespace kv {
namespace {

// Calls Visit with each item that can carry a shortcut and its path prefix.
void ForEachLeaf(const TMenuItem& Menu, const std::string& Prefix,
                 const std::function<void(TMenuItem&, const std::string&)>& Visit) {
  for (int32_t i = 0; i < Menu.Count(); ++i) {
    TMenuItem* item = Menu.Items(i);
    // A separator cannot be chosen, so it has no line.
    if (item->IsLine()) continue;
    const std::string path = Prefix + StripMenuCaption(item->Caption()) + " | ";
    if (item->Count() > 0)
      ForEachLeaf(*item, path, Visit);
    else
      Visit(*item, path);
  }
}

// The root has no caption, so every path begins with " | ".
const std::string kRootPrefix = " | ";

}  // namespace

void MenuShortcutLines(const TMenuItem& Root, TStrings& Lines) {
  ForEachLeaf(Root, kRootPrefix,
              [&](TMenuItem& Item, const std::string& Path) { Lines.Add(Path + ShortCutToText(Item.ShortCut())); });
}

std::string ShortcutLineKey(const std::string& Line) {
  const size_t bar = Line.rfind('|');
  return bar == std::string::npos ? Trim(Line) : Trim(Line.substr(0, bar + 1));
}

std::string ShortcutLineText(const std::string& Line) {
  const size_t bar = Line.rfind('|');
  std::string rest = bar == std::string::npos ? Line : Line.substr(bar + 1);
  if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  return rest;
}

void ApplyShortcutLines(TMenuItem& Root, const TStrings& Lines) {
  // The first line of a key wins when a list holds it twice.
  std::unordered_map<std::string, std::string> byKey;
  for (int32_t i = 0; i < Lines.Count(); ++i)
    byKey.emplace(AnsiUpperCase(ShortcutLineKey(Lines.Strings(i))), ShortcutLineText(Lines.Strings(i)));
  ForEachLeaf(Root, kRootPrefix, [&](TMenuItem& Item, const std::string& Path) {
    const auto it = byKey.find(AnsiUpperCase(ShortcutLineKey(Path)));
    Item.SetShortCut(it == byKey.end() ? TShortCut(0) : TextToShortCut(it->second));
  });
}

bool ApplyStoredShortcuts(TMenuItem& Root) {
  if (!RegistryKeyExists(ShortcutsKey)) return false;
  TStringList lines;
  ReadRegistryList(lines, ShortcutsKey);
  ApplyShortcutLines(Root, lines);
  return true;
}

}  // namespace kv
