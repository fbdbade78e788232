// Menus of a window: a tree of menu items under a main menu. An item may be
// linked to an action, whose caption, state and hint it then shows and whose
// execution a click runs.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/ui/actions.h"
#include "platform/ui/messages.h"

namespace kv {

// A key with its modifiers, as menu items carry it: the virtual key in the
// low byte and the modifier bits above; 0 is no shortcut.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

TShortCut ShortCut(uint16_t Key, TShiftState Shift);
// The shortcut as the menus show it, with German key names ("Strg+Umsch+S",
// "Entf", "Bild auf"); empty for none and for keys without a name.
std::string ShortCutToText(TShortCut Value);
// The reverse, without regard to case; the English modifier names are read
// too. Text that names no key gives 0.
TShortCut TextToShortCut(const std::string& Text);

class TMenuItem : public TComponent, public TActionClient {
 public:
  explicit TMenuItem(TComponent* AOwner);
  // Frees the subitems it holds that have no owner; owned ones only leave it.
  ~TMenuItem() override;

  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& Value);
  bool Checked() const { return FChecked; }
  void SetChecked(bool Value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  bool Visible() const { return FVisible; }
  void SetVisible(bool Value);
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool Value) { FRadioItem = Value; }
  uint8_t GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(uint8_t Value) { FGroupIndex = Value; }
  int32_t ImageIndex() const { return FImageIndex; }
  void SetImageIndex(int32_t Value) { FImageIndex = Value; }
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& Value) { FHint = Value; }
  int32_t HelpContext() const { return FHelpContext; }
  void SetHelpContext(int32_t Value) { FHelpContext = Value; }
  bool IsLine() const { return FCaption == "-"; }
  TShortCut ShortCut() const { return FShortCut; }
  void SetShortCut(TShortCut Value);

  TBasicAction* Action() const { return FAction; }
  void SetAction(TBasicAction* Value);
  TNotifyEvent OnClick;
  // Runs OnClick, else the linked action.
  virtual void Click();

  // ---- subitems ----
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  TMenuItem* Items(int32_t Index) const;
  TMenuItem* Parent() const { return FParent; }
  int32_t MenuIndex() const;
  void Add(TMenuItem* Item);
  void Insert(int32_t Index, TMenuItem* Item);
  // Takes the item out without freeing it.
  void Remove(TMenuItem* Item);
  // Takes the item out and frees it.
  void Delete(int32_t Index);
  void Clear();
  int32_t IndexOf(const TMenuItem* Item) const;
  // The subitem with that caption (accelerator signs ignored, no case), or nullptr.
  TMenuItem* Find(const std::string& ACaption) const;

  // Called after a change that a shown menu must reflect.
  TNotifyEvent OnChange;

  void ActionChanged(TBasicAction* Sender) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void Changed();

 private:
  std::string FCaption;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  bool FRadioItem = false;
  uint8_t FGroupIndex = 0;
  int32_t FImageIndex = -1;
  std::string FHint;
  int32_t FHelpContext = 0;
  TShortCut FShortCut = 0;
  TBasicAction* FAction = nullptr;
  TMenuItem* FParent = nullptr;
  std::vector<TMenuItem*> FItems;
};

class TCustomForm;
struct TMenuBarBinding;

// What a form's menu bar shows for one item (menu_bar.cpp).
struct TMenuBarEntry {
  std::string Text;
  bool Enabled = false;
  bool Visible = false;
  bool Checkable = false;
  bool Checked = false;
  bool Separator = false;
  std::string ShortCut;  // the key sequence in Qt's portable text ("Ctrl+Shift+S")
  int32_t SubCount = 0;  // entries of its submenu
};

class TMainMenu : public TComponent {
 public:
  explicit TMainMenu(TComponent* AOwner);
  ~TMainMenu() override;
  // The root item: its subitems are the menu bar's menus.
  TMenuItem* Items() const { return FItems; }

  // ---- the menu bar (menu_bar.cpp) ----
  // The form whose menu bar shows this menu; nullptr takes the bar away.
  // Changes of the items reach the bar once the current event is done.
  TCustomForm* Window() const { return FWindow; }
  void SetWindow(TCustomForm* Form);
  // Brings the shown bar up to date now.
  void SyncMenuBar();
  // What the bar shows for an item; false when it shows nothing for it.
  bool MenuBarEntry(const TMenuItem* Item, TMenuBarEntry& Out);
  // Chooses the bar's entry of an item as a user does; false when there is none.
  bool TriggerMenuBarEntry(const TMenuItem* Item);
  // What the bar shows below the window menu's own items: a separator and one
  // entry per shown child of the frame ("&1 caption", the active one checked).
  std::vector<TMenuBarEntry> WindowListEntries();
  // Chooses the window list's entry of that place (0 the first child) as a user does.
  bool TriggerWindowListEntry(int32_t Index);
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TMenuItem* FItems;
  TCustomForm* FWindow = nullptr;
  std::unique_ptr<TMenuBarBinding> FBinding;
};

}  // namespace kv
