// TCustomComboBox: a combo box over Qt's, in the three edit styles, whose
// items can be drawn by the control itself (owner-drawn, fixed height): the
// list's items and the closed box's current item are painted by DrawItem on
// a canvas of the item's size.
//
// Setting ItemIndex or Text raises nothing; what the user does (Select, typing
// in an editable box) raises OnChange, and picking an item OnClick as well.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/set.h"
#include "platform/ui/controls.h"

namespace kv {

enum TComboBoxStyle : uint8_t { csDropDown, csSimple, csDropDownList };

enum TOwnerDrawStateItem : uint8_t {
  odSelected, odGrayed, odDisabled, odChecked, odFocused, odDefault, odHotLight, odInactive, odNoAccel,
  odNoFocusRect, odReserved1, odReserved2, odComboBoxEdit
};
using TOwnerDrawState = TSet<TOwnerDrawStateItem, 16>;

class TCustomComboBox : public TWinControl {
 public:
  explicit TCustomComboBox(TComponent* AOwner);
  ~TCustomComboBox() override;

  TComboBoxStyle Style() const { return FStyle; }
  // Changing the style makes the window again.
  virtual void SetStyle(TComboBoxStyle Value);
  bool OwnerDraw() const { return FOwnerDraw; }
  void SetOwnerDraw(bool Value);
  int32_t ItemHeight() const { return FItemHeight; }
  virtual void SetItemHeight(int32_t Value);

  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  const std::string& Item(int32_t Index) const { return FItems.at(static_cast<size_t>(Index)); }
  intptr_t ItemData(int32_t Index) const { return FData.at(static_cast<size_t>(Index)); }
  int32_t AddItem(const std::string& Text, intptr_t Data = 0);
  void ClearItems();
  // The index of an entry equal to Text (without regard to case when asked), or -1.
  int32_t IndexOf(const std::string& Text, bool IgnoreCase = false) const;
  // Several changes to the items are shown once at EndUpdate.
  void BeginUpdate() { ++FUpdating; }
  void EndUpdate();

  // -1: no entry. Setting it shows the entry's text and raises nothing.
  int32_t ItemIndex() const { return FItemIndex; }
  virtual void SetItemIndex(int32_t Value);
  // The user picks an entry: ItemIndex moves, then OnChange and OnClick run.
  void Select(int32_t Index);
  // The user types a text into an editable box: OnChange runs.
  void TypeText(const std::string& Text);

  bool DroppedDown() const;
  void SetDroppedDown(bool Value);

  // Paints one item on a canvas of its size; the default fills with the
  // highlight or window colour and writes the text.
  virtual void DrawItem(TCanvas& Canvas, int32_t Index, const TRect& Rect, TOwnerDrawState State);

  TNotifyEvent OnChange;
  TNotifyEvent OnDropDown;

  void Dispatch(TMessage& Message) override;

  // ---- for the peer ----
  void UserChoseIndex(int32_t Index);
  void UserEditedText(const std::string& Text);

 protected:
  void CreateWnd() override;
  virtual void Change();
  void Click() override;
  virtual void DropDown();
  void UpdateQt();

  TComboBoxStyle FStyle = csDropDown;
  bool FOwnerDraw = false;
  int32_t FItemHeight = 16;
  std::vector<std::string> FItems;
  std::vector<intptr_t> FData;
  int32_t FItemIndex = -1;

 private:
  int32_t FUpdating = 0;
  bool FFromQt = false;
};

}  // namespace kv
