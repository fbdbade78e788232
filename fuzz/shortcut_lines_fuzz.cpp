// The stored shortcut lines of the menu items come from the registry, which
// the user (or the options dialog of another version) may have filled with
// anything: any lines apply without harm, and the lines the menu then gives
// apply to the same shortcuts again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "app/main/menu_shortcuts.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/menus.h"

namespace {

// A small menu as the main window's has them: items, a submenu, a separator.
std::unique_ptr<kv::TMenuItem> MakeMenu() {
  auto root = std::make_unique<kv::TMenuItem>(nullptr);
  auto add = [](kv::TMenuItem* Parent, const char* Caption) {
    auto* item = new kv::TMenuItem(Parent);
    item->SetCaption(Caption);
    Parent->Add(item);
    return item;
  };
  kv::TMenuItem* datei = add(root.get(), "&Datei");
  add(datei, "Öffnen");
  add(datei, "-");
  add(datei, "Speichern als ...");
  kv::TMenuItem* neu = add(datei, "&Neu");
  add(neu, "Grafik ...");
  add(root.get(), "&Hilfe");
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size > 16384) return 0;
  auto menu = MakeMenu();
  kv::TStringList lines;
  lines.SetText(std::string_view(reinterpret_cast<const char*>(Data), Size));
  for (int32_t i = 0; i < lines.Count(); ++i) {
    kv::ShortcutLineKey(lines.Strings(i));
    kv::ShortcutLineText(lines.Strings(i));
  }
  kv::ApplyShortcutLines(*menu, lines);
  kv::TStringList first;
  kv::MenuShortcutLines(*menu, first);
  kv::ApplyShortcutLines(*menu, first);
  kv::TStringList second;
  kv::MenuShortcutLines(*menu, second);
  if (first.Text() != second.Text()) std::abort();
  return 0;
}
