// TPopupMenu: a menu of commands shown at a screen point. Showing it runs a
// modal menu loop; tests replace that loop with a script that picks an item.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/component.h"

namespace kv {

enum TPopupAlignment : uint8_t { paLeft, paRight, paCenter };

struct TPopupItem {
  std::string Caption;  // "-" is a separator
  TNotifyEvent OnClick;
  bool Enabled = true;
  bool Checked = false;  // shown with a check mark
  // A non-empty list makes the item a submenu; its own OnClick is not run.
  std::vector<TPopupItem> Items = {};
};

// The items depth first, each item before its submenu's items: the order of
// the indices a popup runner returns.
std::vector<const TPopupItem*> FlattenPopupItems(const std::vector<TPopupItem>& Items);

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* AOwner);

  std::vector<TPopupItem>& Items() { return FItems; }
  bool AutoPopup() const { return FAutoPopup; }
  void SetAutoPopup(bool Value) { FAutoPopup = Value; }
  TPopupAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TPopupAlignment Value) { FAlignment = Value; }
  // The component the menu was last shown for.
  TComponent* PopupComponent() const { return FPopupComponent; }
  void SetPopupComponent(TComponent* Value) { FPopupComponent = Value; }
  // Raises OnPopup, shows the menu with its alignment's corner at (X, Y) on
  // the screen and returns when it closed; a chosen item's OnClick runs.
  virtual void Popup(int32_t X, int32_t Y);
  TNotifyEvent OnPopup;

  const TPropertyTable& PropertyTable() const override;

 private:
  std::vector<TPopupItem> FItems;
  bool FAutoPopup = true;
  TPopupAlignment FAlignment = paLeft;
  TComponent* FPopupComponent = nullptr;
};

// Tests: replaces the menu loop. The runner gets the menu and the point and
// returns the index of the chosen item (FlattenPopupItems order), or -1. nullptr restores the real loop.
using TPopupRunner = std::function<int32_t(TPopupMenu& Menu, int32_t X, int32_t Y)>;
void SetPopupRunner(TPopupRunner Runner);

}  // namespace kv
