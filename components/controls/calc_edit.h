// Number edits: a field that shows its value formatted while it is not
// being edited, takes only number typing while it is, keeps a range, and
// opens a small pop-up calculator from its button.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "components/controls/combo_edit.h"
#include "components/controls/kv_speed_button.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/panel.h"

namespace kv {

// "Wert muß zwischen %d und %d liegen"
class ERangeError : public Exception {
 public:
  using Exception::Exception;
};

enum TCalcState : uint8_t { csFirst, csValid, csError };
using TCalcKeyEvent = std::function<void(TObject* Sender, char32_t& Key)>;

class TCalculatorPanel;

// A calculator key: id 1..28, tag id - 1.
class TCalcButton : public TKvSpeedButton {
 public:
  TCalcButton(TComponent* AOwner, int32_t Id, char32_t Key);
  int32_t Id() const { return FId; }
  char32_t Key() const { return FKey; }

 private:
  int32_t FId;
  char32_t FKey;
};

// The calculator: its display text, the pending operator and operand, and
// the keys that work them.
class TCalculatorPanel : public TCustomPanel {
 public:
  explicit TCalculatorPanel(TComponent* AOwner);

  const std::string& DisplayText() const { return FText; }
  // The display as a number (0 in error status).
  double DisplayValue() const;
  // Shows a number in general format with max(2, Precision) digits.
  void SetDisplay(double Value);
  TCalcState Status() const { return FStatus; }
  char32_t Operator() const { return FOperator; }
  double Operand() const { return FOperand; }
  int32_t Precision() const { return FPrecision; }
  void SetPrecision(int32_t Value) { FPrecision = Value; }
  bool BeepOnError() const { return FBeepOnError; }
  void SetBeepOnError(bool Value) { FBeepOnError = Value; }
  // Back to a first entry showing Value, with no operator pending.
  void Reset(double Value);

  // One key of the calculator ('0'..'9', '.', '+', '-', '*', '/', '=', '%',
  // 'Q', 'R', '_', 'C', Backspace, Enter, Escape, Ctrl+C (3), Ctrl+V (22)).
  void CalcKey(char32_t Key);
  // A keyboard key: presses the matching button visibly when there is one.
  void KeyboardKey(char32_t Key);
  // The button of a key, or nullptr.
  TCalcButton* FindButton(char32_t Key) const;
  // Lays out the buttons of the pop-up calculator.
  void CreatePopupLayout();

  TNotifyEvent OnResult;
  TNotifyEvent OnError;
  TNotifyEvent OnDisplayChange;
  TCalcKeyEvent OnCalcKey;
  TNotifyEvent OnTextChange;

 private:
  void CheckFirst();
  void Error();
  void SetText(const std::string& Value);

  std::string FText = "0";
  TCalcState FStatus = csFirst;
  char32_t FOperator = '=';
  double FOperand = 0;
  int32_t FPrecision = 15;
  bool FBeepOnError = true;
  std::vector<TCalcButton*> FButtons;
};

// The calculator inside the pop-up: it takes the mouse but never the focus.
class TLocCalculator : public TCalculatorPanel {
 public:
  explicit TLocCalculator(TComponent* AOwner);
};

class TCustomNumEdit;

class TPopupCalculator : public TPopupWindow {
 public:
  explicit TPopupCalculator(TCustomComboEdit* AEditor);

  TLocCalculator* Calculator() const { return FCalc; }
  TPopupValue GetValue() override;
  void SetValue(const TPopupValue& Value) override;
  std::string GetPopupText() override { return FCalc->DisplayText(); }

 protected:
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  TLocCalculator* FCalc;
};

// The calculator picture of the number edits' button, two cells (normal and disabled), drawn here.
void MakeCalcEditGlyph(TBitmap& Glyph);

class TCustomNumEdit : public TCustomComboEdit {
 public:
  explicit TCustomNumEdit(TComponent* AOwner);

  // Re-reads the text (limited to the range; MinValue when it does not read).
  double Value();
  void SetValue(double AValue);
  int32_t AsInteger() { return Trunc32(Value()); }
  double MinValue() const { return FMinValue; }
  void SetMinValue(double AValue);
  double MaxValue() const { return FMaxValue; }
  void SetMaxValue(double AValue);
  uint32_t DecimalPlaces() const { return FDecimalPlaces; }
  void SetDecimalPlaces(uint32_t AValue);
  const std::string& DisplayFormat() const { return FDisplayFormat; }
  void SetDisplayFormat(const std::string& AValue);
  bool ZeroEmpty() const { return FZeroEmpty; }
  void SetZeroEmpty(bool AValue);
  bool BeepOnError() const { return FBeepOnError; }
  void SetBeepOnError(bool AValue);
  bool CheckOnExit() const { return FCheckOnExit; }
  void SetCheckOnExit(bool AValue) { FCheckOnExit = AValue; }
  bool FormatOnEditing() const { return FFormatOnEditing; }
  void SetFormatOnEditing(bool AValue);
  // Alignment of the formatted text shown while the edit is not focused.
  TAlignment DisplayAlignment() const { return FDisplayAlignment; }
  void SetDisplayAlignment(TAlignment AValue);
  // The text as the number property: reads a number from it (EConvertError
  // when it is none; the value then stays), limited and written back.
  void SetText(const std::string& AValue);
  // The formatted text shown while the edit is not focused.
  virtual std::string DisplayText();
  // The range rule; with Raise a limited value raises ERangeError.
  double CheckValue(double NewValue, bool Raise);
  // What a number text becomes before it is read.
  std::string TextToValText(const std::string& AValue) const;
  virtual bool IsValidChar(char32_t Key);
  // The calculator's display changed while it is open: the edit shows it.
  void PopupDisplayChanged();
  void PopupCloseUp(TObject* Sender, bool Accept) override;

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  // Writes the edit text from the value.
  virtual void DataChanged();
  virtual std::string DefaultDisplayFormat() const { return ",0.##"; }
  void UpdateShown();
  void KeyPress(char32_t& Key) override;
  void DoEnter() override;
  void DoExit() override;
  void Change() override;
  void AcceptValue(const TPopupValue& AValue) override;
  void PopupDropDown(bool DisableEdit) override;
  void DefaultGlyph(TBitmap& Glyph) override;
  int32_t DefaultNumGlyphs() const override { return 2; }
  // Thousands separators put in again while typing; true when the text changed.
  bool ReformatEditText();
  void SetPopupValue(const TPopupValue& AValue) override;

  double FValue = 0;
  double FMinValue = 0;
  double FMaxValue = 0;
  uint32_t FDecimalPlaces = 2;
  std::string FDisplayFormat = ",0.##";
  bool FZeroEmpty = true;
  bool FBeepOnError = true;
  bool FCheckOnExit = false;
  bool FFormatOnEditing = false;
  TAlignment FDisplayAlignment = taRightJustify;
  bool FFocused = false;
  bool FFormatting = false;
};

class TKvCustomCalcEdit : public TCustomNumEdit {
 public:
  explicit TKvCustomCalcEdit(TComponent* AOwner);
  TPopupCalculator* Calculator() const { return static_cast<TPopupCalculator*>(FPopup); }
};

class TKvCalcEdit : public TKvCustomCalcEdit {
 public:
  using TKvCustomCalcEdit::TKvCustomCalcEdit;
};

}  // namespace kv
