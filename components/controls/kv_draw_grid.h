// TKvDrawGrid: the program's owner-drawn grid. Over the layer's draw grid it
// adds fixed cells that can be pressed like buttons, an in-place editor with
// an ellipsis button or a pick list, more editing events, and column widths
// kept by a form settings store. TKvInplaceEdit is its editor, TPopupListbox
// the editor's drop-down list.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "components/form_storage.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/grids.h"
#include "platform/ui/list_box.h"

namespace kv {

class TKvDrawGrid;
class TKvInplaceEdit;

enum TEditStyle : uint8_t { esSimple, esEllipsis, esPickList };

using TAcceptKeyEvent = std::function<bool(TObject* Sender, char32_t& Key)>;
using TFixedCellCheckEvent = std::function<void(TObject* Sender, int32_t ACol, int32_t ARow, bool& Enabled)>;
using TFixedCellClickEvent = std::function<void(TObject* Sender, int32_t ACol, int32_t ARow)>;
using TEditLimitEvent = std::function<void(TObject* Sender, int32_t& MaxLength)>;
using TEditShowEvent = std::function<void(TObject* Sender, int32_t ACol, int32_t ARow, bool& AllowEdit)>;
using TEditAlignEvent = std::function<void(TObject* Sender, int32_t ACol, int32_t ARow, TAlignment& Alignment)>;
using TEditStyleEvent = std::function<void(TObject* Sender, int32_t ACol, int32_t ARow, TEditStyle& Style)>;
using TPicklistEvent = std::function<void(TObject* Sender, int32_t ACol, int32_t ARow, TStrings* PickList)>;

// A borderless list window above everything, searched by typing.
class TPopupListbox : public TCustomListBox {
 public:
  explicit TPopupListbox(TComponent* AOwner);

  // A typed character: a new search after 4000 ms of quiet, else appended
  // while the search text is shorter than 32 characters; the first entry
  // beginning with the search text (without case) is selected.
  void SearchChar(char32_t Key);
  void ClearSearch() { FSearchText.clear(); }
  const std::string& SearchText() const { return FSearchText; }
  // The clock of the search; tests replace it.
  std::function<uint32_t()> TickCount;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void KeyPress(char32_t& Key) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  std::string FSearchText;
  uint32_t FSearchTickCount = 0;
};

// The editor's button: an ellipsis or a drop-down arrow, drawn in code.
class TKvEditButton : public TCustomControl {
 public:
  explicit TKvEditButton(TKvInplaceEdit* AEdit);
  bool Pressed() const { return FPressed; }

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  TKvInplaceEdit* FEdit;
  bool FPressed = false;
  bool FTracking = false;
};

class TKvInplaceEdit : public TInplaceEdit {
 public:
  explicit TKvInplaceEdit(TComponent* AOwner);
  ~TKvInplaceEdit() override;

  TEditStyle EditStyle() const { return FEditStyle; }
  void SetEditStyle(TEditStyle Value);
  TKvEditButton* Button() const { return FButton; }
  TPopupListbox* PickList() const { return FPickList; }
  bool ListVisible() const { return FListVisible; }
  // The button was clicked: the ellipsis event, or the list drops down or closes.
  void ButtonClick();
  void DropDown();
  // Closes the list; with Accept the selected entry becomes the text.
  void CloseUp(bool Accept);

  void UpdateContents() override;
  void Hide() override;
  bool AcceptChar(char32_t Key) override;
  bool TakeKey(uint16_t Key, TShiftState Shift) override;

 protected:
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void DoExit() override;
  void Resize() override;

 private:
  TKvDrawGrid* KvGrid() const;
  void PlaceButton();

  TEditStyle FEditStyle = esSimple;
  TKvEditButton* FButton = nullptr;
  TPopupListbox* FPickList = nullptr;
  bool FListVisible = false;
};

class TKvDrawGrid : public TDrawGrid {
 public:
  explicit TKvDrawGrid(TComponent* AOwner);
  ~TKvDrawGrid() override;

  bool FixedButtons() const { return FFixedButtons; }
  void SetFixedButtons(bool Value);
  TFormPlacement* IniStorage() const { return FIniLink.Storage(); }
  void SetIniStorage(TFormPlacement* Value) { FIniLink.SetStorage(Value); }
  // The fixed cell held down now, (-1, -1) for none; whether it shows pressed.
  TGridCoord PressedCell() const { return FPressedCell; }
  bool Pressing() const { return FPressing; }
  // The settings section of the column widths: the store's section and the grid's name.
  std::string LayoutSection() const;
  void SaveLayout();
  void RestoreLayout();

  TAcceptKeyEvent OnAcceptEditKey;
  TNotifyEvent OnCancelEdit;
  TFixedCellCheckEvent OnCheckButton;
  TNotifyEvent OnChangeFocus;
  TFixedCellClickEvent OnFixedCellClick;
  TNotifyEvent OnColumnSized;
  TNotifyEvent OnRowSized;
  TEditLimitEvent OnGetEditLimit;
  TNotifyEvent OnEditChange;
  TEditShowEvent OnShowEditor;
  TEditAlignEvent OnGetEditAlign;
  TEditStyleEvent OnGetEditStyle;
  TPicklistEvent OnGetPicklist;
  TNotifyEvent OnEditButtonClick;

  bool CanEditAcceptKey(char32_t Key) override;
  int32_t GetEditLimit() override;
  void SetEditText(int32_t ACol, int32_t ARow, const std::string& Value) override;
  void EditorTextChanged() override;
  TEditStyle EditStyleOf(int32_t ACol, int32_t ARow);
  void GetPicklist(int32_t ACol, int32_t ARow, TStrings& List);
  TAlignment EditAlignOf(int32_t ACol, int32_t ARow);
  void EditButtonClick();

  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void DoEnter() override;
  void DoExit() override;
  bool CellPressed(int32_t ACol, int32_t ARow) const override;
  void TopLeftChanged() override;
  void ColWidthsChanged() override;
  void RowHeightsChanged() override;
  bool CanEditShow() override;
  TInplaceEdit* CreateEditor() override;

 private:
  bool IsFixedCell(TGridCoord Cell) const;
  bool CheckButton(int32_t ACol, int32_t ARow);
  // Ends a press without a click.
  void CancelPress();

  bool FFixedButtons = false;
  TGridCoord FPressedCell{-1, -1};
  bool FPressing = false;   // the button is held on a fixed cell
  bool FPressed = false;    // the pointer is over that cell now
  bool FRightMoving = false;
  bool FCancelling = false;
  TIniLink FIniLink;
};

}  // namespace kv
