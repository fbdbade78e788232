// Edits with a small button inside their right edge, and the pop-up window
// such an edit can open below itself.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "components/controls/kv_speed_button.h"
#include "platform/graphics/bitmap.h"
#include "platform/ui/custom_edit.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"
#include "platform/ui/popup_watch.h"

namespace kv {

class TCustomComboEdit;

// A pop-up's value: the text it stands for, or nothing (null).
using TPopupValue = std::optional<std::string>;
using TCloseUpEvent = std::function<void(TObject* Sender, bool Accept)>;

// A window without caption or activation, shown below its editor; a click
// outside it closes it without accepting.
class TPopupWindow : public TCustomForm {
 public:
  explicit TPopupWindow(TCustomComboEdit* AEditor);
  ~TPopupWindow() override;

  TCustomComboEdit* Editor() const { return FEditor; }
  virtual TPopupValue GetValue() = 0;
  virtual void SetValue(const TPopupValue& Value) = 0;
  // Raises the close-up callback with Accept.
  virtual void CloseUp(bool Accept);
  virtual std::string GetPopupText() { return {}; }

  TCloseUpEvent OnCloseUp;

  void Dispatch(TMessage& Message) override;

 private:
  TCustomComboEdit* FEditor;
};

enum TGlyphKind : uint8_t { gkCustom, gkDefault, gkDropDown, gkEllipsis };
enum TPopupAlign : uint8_t { epaRight, epaLeft };

// The button of a combo edit: a speed button whose press while the pop-up
// shows closes it accepting and swallows its own click.
class TEditButton : public TKvSpeedButton {
 public:
  explicit TEditButton(TComponent* AOwner);
  void Click() override;

 protected:
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  bool FNoAction = false;
  friend class TCustomComboEdit;
};

// The arrow of the drop-down glyph kind and the ellipsis picture, drawn here.
void MakeDropDownGlyph(TBitmap& Glyph);
// Three 2 x 2 dots centred on a picture 4 high and ButtonWidth - 6 wide (at least 1).
void MakeEllipsisGlyph(TBitmap& Glyph, int32_t ButtonWidth);
// The width of a shown vertical scroll bar (the drop-down button's width).
int32_t ScrollBarWidth();

class TCustomComboEdit : public TCustomEdit {
 public:
  explicit TCustomComboEdit(TComponent* AOwner);
  ~TCustomComboEdit() override;

  int32_t ButtonWidth() const { return FButtonWidth; }
  void SetButtonWidth(int32_t Value);
  const std::string& ButtonHint() const;
  void SetButtonHint(const std::string& Value);
  TShortCut ClickKey() const { return FClickKey; }
  void SetClickKey(TShortCut Value) { FClickKey = Value; }
  bool DirectInput() const { return FDirectInput; }
  void SetDirectInput(bool Value);
  void SetReadOnly(bool Value) override;
  const TBitmap& Glyph() const { return FGlyph; }
  // Assigning a picture makes the glyph kind gkCustom.
  void SetGlyph(const TBitmap* Value);
  TGlyphKind GlyphKind() const { return FGlyphKind; }
  void SetGlyphKind(TGlyphKind Value);
  int32_t NumGlyphs() const { return FNumGlyphs; }
  void SetNumGlyphs(int32_t Value);
  TPopupAlign PopupAlign() const { return FPopupAlign; }
  void SetPopupAlign(TPopupAlign Value) { FPopupAlign = Value; }
  // The button works on a read-only edit too.
  bool AlwaysEnable() const { return FAlwaysEnable; }
  void SetAlwaysEnable(bool Value) { FAlwaysEnable = Value; }

  TEditButton* Button() const { return FButton; }
  TPopupWindow* Popup() const { return FPopup; }
  bool PopupVisible() const { return FPopupVisible; }
  // The button's action as its click and ClickKey run it.
  void DoClick();
  // The least height: the smaller of the system font's and the edit font's heights, and the frame.
  int32_t MinHeight() const;

  TNotifyEvent OnButtonClick;

  void Dispatch(TMessage& Message) override;
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  const TPropertyTable& PropertyTable() const override;

  // ---- the pop-up, for the pop-up and the descendants ----
  virtual void PopupCloseUp(TObject* Sender, bool Accept);

 protected:
  // The class's default picture (gkDefault); empty in the base.
  virtual void DefaultGlyph(TBitmap& Glyph);
  virtual int32_t DefaultNumGlyphs() const { return 1; }
  virtual void ButtonClick();
  virtual void PopupDropDown(bool DisableEdit);
  virtual void ShowPopup(TPoint Origin);
  virtual void HidePopup();
  virtual bool AcceptPopup(TPopupValue& Value);
  virtual void AcceptValue(const TPopupValue& Value);
  virtual void SetPopupValue(const TPopupValue& Value);
  virtual TPopupValue GetPopupValue();
  virtual void PopupChange() {}
  // May the text be changed now (not ReadOnly)?
  virtual bool EditCanModify() const { return !FReadOnly; }
  bool WindowReadOnly() const override { return FReadOnly || !FDirectInput || FPopupDisabledEdit; }

  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void DoEnter() override;
  void DoExit() override;
  void CreateWnd() override;
  void UpdateControls();
  void RecreateGlyph();

  TPopupWindow* FPopup = nullptr;  // made by a descendant; owned by this edit
  bool FPopupVisible = false;

 private:
  TWinControl* FBtnControl = nullptr;
  TEditButton* FButton = nullptr;
  int32_t FButtonWidth = 21;
  TShortCut FClickKey = static_cast<TShortCut>(scAlt | VK_DOWN);
  bool FDirectInput = true;
  TBitmap FGlyph{0, 0, pf24bit};
  TGlyphKind FGlyphKind = gkCustom;
  int32_t FNumGlyphs = 1;
  TPopupAlign FPopupAlign = epaRight;
  bool FAlwaysEnable = false;
  bool FPopupDisabledEdit = false;
  TOutsideClickWatch FWatch;
};

}  // namespace kv
