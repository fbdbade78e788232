// Number fields with arrows: the diagonal spin button, the up-down control
// and the spin edit that carries one of them at its right edge.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/graphics/bitmap.h"
#include "platform/ui/controls.h"
#include "platform/ui/custom_edit.h"
#include "platform/ui/timer.h"

namespace kv {

// A square button split along its diagonal into an up half (upper left) and
// a down half (lower right); a held half repeats its click.
class TKvSpinButton : public TGraphicControl {
 public:
  enum TSpinButtonState : uint8_t { sbNotDown, sbTopDown, sbBottomDown };

  explicit TKvSpinButton(TComponent* AOwner);
  ~TKvSpinButton() override;

  const TBitmap& UpGlyph() const { return FUpGlyph; }
  // nullptr (or an empty bitmap) puts the default arrow back.
  void SetUpGlyph(const TBitmap* Value);
  const TBitmap& DownGlyph() const { return FDownGlyph; }
  void SetDownGlyph(const TBitmap* Value);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value);

  TSpinButtonState Down() const { return FDown; }
  // The repeat timer, made on the first press (nullptr before).
  TTimer* RepeatTimer() const { return FRepeatTimer.get(); }

  TNotifyEvent OnTopClick;
  TNotifyEvent OnBottomClick;

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void TopClick();
  virtual void BottomClick();

 private:
  void SetDown(TSpinButtonState Value);
  void TimerExpired(TObject* Sender);
  void DoClick(TSpinButtonState Half);

  TBitmap FUpGlyph{0, 0, pf24bit};
  TBitmap FDownGlyph{0, 0, pf24bit};
  TWinControl* FFocusControl = nullptr;
  TSpinButtonState FDown = sbNotDown;
  TSpinButtonState FLastDown = sbNotDown;
  bool FDragging = false;
  std::unique_ptr<TTimer> FRepeatTimer;
};

// The arrows the spin button draws by default, drawn here (black on the
// transparent olive of their bottom-left pixel).
void MakeSpinGlyph(TBitmap& Glyph, bool Up);

enum TUDBtnType : uint8_t { btNext, btPrev };
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;

// A vertical up-down control: range -1 to 1 at position 0; a press on the
// upper half scrolls to 1 and raises OnClick(btNext), on the lower half to -1
// and OnClick(btPrev); the position then goes back to 0. A held half repeats.
class TKvUpDown : public TCustomControl {
 public:
  explicit TKvUpDown(TComponent* AOwner);
  ~TKvUpDown() override;

  int32_t Position() const { return FPosition; }
  // The end-of-thumb scroll notification at a position: raises OnClick by its
  // sign and sets the position back to 0.
  void ScrollTo(int32_t Pos);
  int32_t PressedHalf() const { return FPressed; }  // 0 none, 1 upper, -1 lower
  TTimer* RepeatTimer() const { return FRepeatTimer.get(); }

  TUDClickEvent OnClick;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  void TimerExpired(TObject* Sender);
  int32_t FPosition = 0;
  int32_t FPressed = 0;
  std::unique_ptr<TTimer> FRepeatTimer;
};

enum TValueType : uint8_t { vtInteger, vtFloat, vtHex };
enum TSpinButtonKind : uint8_t { bkStandard, bkDiagonal };

class TKvSpinEdit : public TCustomEdit {
 public:
  explicit TKvSpinEdit(TComponent* AOwner);
  ~TKvSpinEdit() override;

  // The number read from the text, within the range.
  double Value() const;
  void SetValue(double NewValue);
  // The value truncated toward zero.
  int32_t AsInteger() const;
  void SetAsInteger(int32_t NewValue) { SetValue(NewValue); }
  TValueType ValueType() const { return FValueType; }
  void SetValueType(TValueType NewType);
  double Increment() const { return FIncrement; }
  void SetIncrement(double Value) { FIncrement = Value; }
  double MinValue() const { return FMinValue; }
  void SetMinValue(double Value) { FMinValue = Value; }
  double MaxValue() const { return FMaxValue; }
  void SetMaxValue(double Value) { FMaxValue = Value; }
  uint8_t Decimal() const { return FDecimal; }
  void SetDecimal(uint8_t NewValue);
  bool EditorEnabled() const { return FEditorEnabled; }
  void SetEditorEnabled(bool Value) { FEditorEnabled = Value; }
  bool ArrowKeys() const { return FArrowKeys; }
  void SetArrowKeys(bool Value) { FArrowKeys = Value; }
  TSpinButtonKind ButtonKind() const;
  void SetButtonKind(TSpinButtonKind Value);

  // The button it carries now (one of them is nullptr).
  TKvSpinButton* Button() const { return FButton; }
  TKvUpDown* UpDown() const { return FUpDown; }
  // The least height the font allows.
  int32_t MinHeight();

  // Step up and step down (the arrows and the Up and Down keys).
  virtual void UpClick(TObject* Sender);
  virtual void DownClick(TObject* Sender);
  // Whether a typed character may enter the text.
  virtual bool IsValidChar(char32_t Key);

  TNotifyEvent OnTopClick;
  TNotifyEvent OnBottomClick;

  void Dispatch(TMessage& Message) override;
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char32_t& Key) override;
  void DoExit() override;
  void Change() override;
  void CreateWnd() override;
  // The value limited to the range (no range when both ends are equal).
  double CheckValue(double NewValue) const;
  // The number in the text; false when it does not read.
  bool ReadText(double& Out) const;
  void RecreateButton();
  void ResizeButton();
  void Step(double Delta, const TNotifyEvent& Event);

 private:
  TValueType FValueType = vtInteger;
  double FIncrement = 1;
  double FMinValue = 0;
  double FMaxValue = 0;
  uint8_t FDecimal = 2;
  bool FEditorEnabled = true;
  bool FArrowKeys = true;
  TSpinButtonKind FButtonKind = bkDiagonal;
  bool FHoldChange = false;
  TWinControl* FBtnWindow = nullptr;  // the diagonal button's window
  TKvSpinButton* FButton = nullptr;
  TKvUpDown* FUpDown = nullptr;
};

// The program's spin edit whose arrows only report: the value stays.
class TmyKvSpinEdit : public TKvSpinEdit {
 public:
  using TKvSpinEdit::TKvSpinEdit;
  void UpClick(TObject* Sender) override;
  void DownClick(TObject* Sender) override;
};

}  // namespace kv
