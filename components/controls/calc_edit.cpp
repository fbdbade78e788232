// The calculator, its pop-up and the number edits.
#include "components/controls/calc_edit.h"

#include <charconv>
#include <cmath>

#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

// The calculator works in the C locale: '.' is its decimal point whatever the edit uses.
bool ParseC(std::string T, double& Out) {
  T = Trim(T);
  if (!T.empty() && T.back() == '.') T.pop_back();  // "12." while typing
  if (T.empty()) return false;
  const char* b = T.data();
  const char* e = b + T.size();
  if (*b == '+') ++b;
  double v = 0;
  const auto r = std::from_chars(b, e, v, std::chars_format::general);
  if (r.ec != std::errc() || r.ptr != e || !std::isfinite(v)) return false;
  Out = v;
  return true;
}

std::string FormatC(double V, int32_t Digits) {
  if (V == 0) V = 0;  // no "-0"
  std::string t = FloatToStrF(V, ffGeneral, Digits, 0);
  if (DecimalSeparator != '.')
    for (char& c : t)
      if (c == DecimalSeparator) c = '.';
  return t;
}

struct TKeyDef {
  int32_t Id;
  const char* Caption;
  char32_t Key;
  int32_t X, Y, W;  // X < 0: keyboard only
};
constexpr TKeyDef kKeys[] = {
    {1, "0", '0', 6, 75, 21},       {2, "1", '1', 6, 52, 21},     {3, "2", '2', 29, 52, 21},
    {4, "3", '3', 52, 52, 21},      {5, "4", '4', 6, 29, 21},     {6, "5", '5', 29, 29, 21},
    {7, "6", '6', 52, 29, 21},      {8, "7", '7', 6, 6, 21},      {9, "8", '8', 29, 6, 21},
    {10, "9", '9', 52, 6, 21},      {11, "\xC2\xB1", '_', 52, 75, 21}, {12, ".", '.', 29, 75, 21},
    {13, "/", '/', 75, 6, 21},      {14, "*", '*', 75, 29, 21},   {15, "-", '-', 75, 52, 21},
    {16, "+", '+', 75, 75, 21},     {17, "", 'Q', -1, 0, 0},      {18, "", '%', -1, 0, 0},
    {19, "", 'R', -1, 0, 0},        {20, "=", '=', 52, 98, 44},   {21, "<-", 8, 29, 98, 21},
    {22, "C", 'C', 6, 98, 21},
};

TColor KeyColor(int32_t Id) {
  if ((Id >= 13 && Id <= 16) || Id == 20) return clPurple;
  if (Id == 21 || Id == 22) return clMaroon;
  return clBtnText;
}

int32_t Scaled(int32_t V) {
  const int32_t ppi = Screen ? Screen->PixelsPerInch() : 96;
  return ppi == 96 ? V : static_cast<int32_t>(static_cast<int64_t>(V) * ppi / 96);
}

}  // namespace

// ---- TCalcButton ----

TCalcButton::TCalcButton(TComponent* AOwner, int32_t Id, char32_t Key) : TKvSpeedButton(AOwner), FId(Id), FKey(Key) {
  SetTag(Id - 1);
  SetStyle(bsNew);
}

// ---- TCalculatorPanel ----

TCalculatorPanel::TCalculatorPanel(TComponent* AOwner) : TCustomPanel(AOwner) {
  SetBounds(0, 0, 98, 124);
  SetBevelOuter(bvRaised);
  SetCaption("");
}

void TCalculatorPanel::CreatePopupLayout() {
  for (const TKeyDef& k : kKeys) {
    if (k.X < 0) continue;
    auto* b = new TCalcButton(this, k.Id, k.Key);
    b->SetParent(this);
    b->SetBounds(Scaled(k.X), Scaled(k.Y), Scaled(k.W), Scaled(21));
    b->SetCaption(k.Caption);
    b->SetParentFont(false);
    b->Font().Assign(Font());
    b->Font().SetColor(KeyColor(k.Id));
    b->OnClick = [this, b](TObject*) { CalcKey(b->Key()); };
    FButtons.push_back(b);
  }
}

TCalcButton* TCalculatorPanel::FindButton(char32_t Key) const {
  for (TCalcButton* b : FButtons)
    if (b->Key() == Key) return b;
  return nullptr;
}

double TCalculatorPanel::DisplayValue() const {
  if (FStatus == csError) return 0;
  double v = 0;
  return ParseC(FText, v) ? v : 0;
}

void TCalculatorPanel::SetText(const std::string& Value) {
  if (Value == FText) return;
  FText = Value;
  if (OnTextChange) OnTextChange(this);
  if (OnDisplayChange) OnDisplayChange(this);
}

void TCalculatorPanel::SetDisplay(double Value) { SetText(FormatC(Value, std::max(2, FPrecision))); }

void TCalculatorPanel::Reset(double Value) {
  FStatus = csFirst;
  FOperator = '=';
  FOperand = 0;
  SetDisplay(Value);
}

void TCalculatorPanel::CheckFirst() {
  if (FStatus != csFirst) return;
  FStatus = csValid;
  SetText("0");
}

void TCalculatorPanel::Error() {
  FStatus = csError;
  SetText("Error");
  if (FBeepOnError) MessageBeep(0);
  if (OnError) OnError(this);
}

void TCalculatorPanel::KeyboardKey(char32_t Key) {
  char32_t k = Key;
  if (k >= 'a' && k <= 'z') k -= 32;
  if (k == ',' || k == static_cast<unsigned char>(DecimalSeparator)) k = '.';
  else if (k == '\r') k = '=';
  else if (k == 0x1b) k = 'C';
  if (TCalcButton* b = FindButton(k); b && b->Enabled()) {
    b->PerformButtonClick();  // shows the press and runs the key
    return;
  }
  CalcKey(Key);
}

void TCalculatorPanel::CalcKey(char32_t Key) {
  if (Key >= 'a' && Key <= 'z') Key -= 32;
  if (Key == 0x1b) Key = 'C';
  if (FStatus == csError && Key != 'C') return;
  if (OnCalcKey) OnCalcKey(this, Key);
  if (Key == ',' || Key == static_cast<unsigned char>(DecimalSeparator)) Key = '.';
  switch (Key) {
    case '.':
      CheckFirst();
      if (FText.find('.') == std::string::npos) SetText(FText + '.');
      return;
    case 3:  // Ctrl+C
      SetClipboardText(FText);
      return;
    case 22: {  // Ctrl+V
      std::string t = ClipboardText();
      if (!CurrencyString.empty())
        for (size_t p; (p = t.find(CurrencyString)) != std::string::npos;) t.erase(p, CurrencyString.size());
      double v = 0;
      if (!ParseC(t, v)) v = 0;
      SetDisplay(v);
      return;
    }
    case 8:
      CheckFirst();
      if (FText.size() == 1 || (FText.size() == 2 && FText[0] == '-')) SetText("0");
      else SetText(FText.substr(0, FText.size() - 1));
      return;
    case '\r':
    case '%':
    case '*':
    case '+':
    case '-':
    case '/':
    case '=': {
      if (FStatus == csValid) {
        FStatus = csFirst;
        double v = DisplayValue();
        if (Key == '%') {
          if (FOperator == '+' || FOperator == '-') v = FOperand * v / 100;
          else if (FOperator == '*' || FOperator == '/') v = v / 100;
        }
        switch (FOperator) {
          case '+': SetDisplay(FOperand + v); break;
          case '-': SetDisplay(FOperand - v); break;
          case '*': SetDisplay(FOperand * v); break;
          case '/':
            if (v == 0) Error();
            else SetDisplay(FOperand / v);
            break;
          default: break;
        }
      }
      FOperator = Key == '\r' ? '=' : Key;
      FOperand = DisplayValue();
      if ((Key == '\r' || Key == '%' || Key == '=') && OnResult) OnResult(this);
      return;
    }
    case 'Q':
    case 'R': {
      FStatus = csFirst;
      const double v = DisplayValue();
      if (Key == 'Q') {
        if (v < 0) Error();
        else SetDisplay(std::sqrt(v));
      } else {
        if (v == 0) Error();
        else SetDisplay(1 / v);
      }
      return;
    }
    case '_':
      SetDisplay(-DisplayValue());
      return;
    case 'C':
      FStatus = csFirst;
      FOperator = '=';
      FOperand = 0;
      SetDisplay(0);
      return;
    default:
      if (Key >= '0' && Key <= '9') {
        CheckFirst();
        std::string t = FText == "0" ? std::string() : FText;
        if (t.find('E') != std::string::npos) return;
        const size_t limit = static_cast<size_t>(std::max(2, FPrecision)) + (t.find('-') != std::string::npos ? 1 : 0);
        if (t.size() < limit) SetText(t + static_cast<char>(Key));
        else if (FBeepOnError) MessageBeep(0);
      }
      return;
  }
}

// ---- TLocCalculator ----

TLocCalculator::TLocCalculator(TComponent* AOwner) : TCalculatorPanel(AOwner) { SetTabStop(false); }

// ---- TPopupCalculator ----

TPopupCalculator::TPopupCalculator(TCustomComboEdit* AEditor) : TPopupWindow(AEditor) {
  SetBounds(0, 0, Scaled(104), Scaled(127));
  SetColor(clBtnFace);
  Font().SetStyle(TFontStyles{fsBold});
  FCalc = new TLocCalculator(this);
  FCalc->SetParent(this);
  FCalc->SetAlign(alClient);
  FCalc->SetBevelOuter(bvRaised);
  FCalc->SetPrecision(15);
  FCalc->CreatePopupLayout();
  FCalc->OnResult = [this](TObject*) {
    if (FCalc->Status() == csError) return;
    FCalc->SetDisplay(FCalc->DisplayValue());
    if (TCustomComboEdit* e = Editor()) e->PopupCloseUp(this, true);
  };
  FCalc->OnDisplayChange = [this](TObject*) {
    if (auto* e = dynamic_cast<TCustomNumEdit*>(Editor())) e->PopupDisplayChanged();
  };
}

TPopupValue TPopupCalculator::GetValue() {
  if (FCalc->Status() == csError) {
    MessageBeep(0);
    return std::string("0");
  }
  return FormatC(FCalc->DisplayValue(), 15);
}

void TPopupCalculator::SetValue(const TPopupValue& Value) {
  double v = 0;
  if (!Value || !ParseC(*Value, v)) v = 0;
  FCalc->Reset(v);
}

void TPopupCalculator::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomForm::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft || !Editor()) return;
  const bool inside = X >= 0 && Y >= 0 && X < ClientWidth() && Y < ClientHeight();
  Editor()->PopupCloseUp(this, inside);
}

// ---- glyph ----

void MakeCalcEditGlyph(TBitmap& Glyph) {
  // Two cells of 12 x 12: a calculator, then the same in grey for the disabled button.
  Glyph.SetSize(24, 12);
  TCanvas& c = Glyph.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clOlive);
  c.FillRect(Rect(0, 0, 24, 12));
  for (int32_t cell = 0; cell < 2; ++cell) {
    const int32_t x = cell * 12;
    const TColor ink = cell == 0 ? clBlack : clGray;
    c.Brush().SetColor(ink);
    c.FrameRect(Rect(x + 2, 0, x + 10, 12));
    c.Brush().SetColor(cell == 0 ? clLime : clSilver);
    c.FillRect(Rect(x + 3, 1, x + 9, 4));
    c.Brush().SetColor(ink);
    for (int32_t row = 0; row < 3; ++row)
      for (int32_t col = 0; col < 3; ++col) c.FillRect(Rect(x + 3 + 2 * col, 5 + 2 * row, x + 4 + 2 * col, 6 + 2 * row));
  }
}

// ---- TCustomNumEdit ----

TCustomNumEdit::TCustomNumEdit(TComponent* AOwner) : TCustomComboEdit(AOwner) {
  SetGlyphKind(gkDefault);
  SetButtonWidth(20);
  FDisplayFormat = DefaultDisplayFormat();
  DataChanged();
}

void TCustomNumEdit::DefaultGlyph(TBitmap& Glyph) { MakeCalcEditGlyph(Glyph); }

std::string TCustomNumEdit::TextToValText(const std::string& AValue) const {
  std::string t = Trim(AValue);
  if (DecimalSeparator != ThousandSeparator) t = StringReplace(t, std::string(1, ThousandSeparator), "", {rfReplaceAll});
  if (DecimalSeparator != '.' && ThousandSeparator != '.')
    for (char& c : t)
      if (c == '.') c = DecimalSeparator;
  if (DecimalSeparator != ',' && ThousandSeparator != ',')
    for (char& c : t)
      if (c == ',') c = DecimalSeparator;
  if (t.empty()) t = "0";
  else if (t == "-") t = "-0";
  return t;
}

double TCustomNumEdit::CheckValue(double NewValue, bool Raise) {
  double r = NewValue;
  if (FMaxValue > FMinValue) {
    r = std::clamp(NewValue, FMinValue, FMaxValue);
  } else if (FMaxValue < FMinValue) {
    if (FMaxValue == 0) r = std::max(NewValue, FMinValue);
    else if (FMinValue == 0) r = std::min(NewValue, FMaxValue);
  }
  if (Raise && r != NewValue) {
    const int32_t d = static_cast<int32_t>(std::min<uint32_t>(FDecimalPlaces, 18));
    throw ERangeError(Format("Wert muß zwischen %.*f und %.*f liegen", d, FMinValue, d, FMaxValue));
  }
  return r;
}

double TCustomNumEdit::Value() {
  double v = 0;
  FValue = TryStrToFloat(TextToValText(FText), v) ? CheckValue(v, false) : FMinValue;
  return FValue;
}

void TCustomNumEdit::SetValue(double AValue) {
  FValue = CheckValue(AValue, false);
  DataChanged();
  Invalidate();
}

void TCustomNumEdit::SetMinValue(double AValue) {
  if (AValue == FMinValue) return;
  FMinValue = AValue;
  SetValue(FValue);
}

void TCustomNumEdit::SetMaxValue(double AValue) {
  if (AValue == FMaxValue) return;
  FMaxValue = AValue;
  SetValue(FValue);
}

void TCustomNumEdit::SetDecimalPlaces(uint32_t AValue) {
  if (AValue == FDecimalPlaces) return;
  FDecimalPlaces = AValue;
  DataChanged();
}

void TCustomNumEdit::SetDisplayFormat(const std::string& AValue) {
  if (AValue == FDisplayFormat) return;
  FDisplayFormat = AValue;
  DataChanged();
}

void TCustomNumEdit::SetZeroEmpty(bool AValue) {
  if (AValue == FZeroEmpty) return;
  FZeroEmpty = AValue;
  DataChanged();
}

void TCustomNumEdit::SetBeepOnError(bool AValue) {
  FBeepOnError = AValue;
  if (auto* p = dynamic_cast<TPopupCalculator*>(FPopup)) p->Calculator()->SetBeepOnError(AValue);
}

void TCustomNumEdit::SetFormatOnEditing(bool AValue) {
  if (AValue == FFormatOnEditing) return;
  FFormatOnEditing = AValue;
  if (FFocused && FFormatOnEditing) ReformatEditText();
}

void TCustomNumEdit::SetDisplayAlignment(TAlignment AValue) {
  FDisplayAlignment = AValue;
  UpdateShown();
}

void TCustomNumEdit::SetText(const std::string& AValue) {
  const double v = StrToFloat(TextToValText(AValue));  // EConvertError for no number; the value stays
  FValue = CheckValue(v, false);
  DataChanged();
}

std::string TCustomNumEdit::DisplayText() {
  return FDisplayFormat.empty() ? FloatToStr(FValue) : FormatFloat(FDisplayFormat, FValue);
}

void TCustomNumEdit::DataChanged() {
  std::string fmt = "0";
  if (FDecimalPlaces > 0) fmt += "." + std::string(std::min<uint32_t>(FDecimalPlaces, 18), '#');
  const std::string t = FValue == 0 && FZeroEmpty ? std::string() : FormatFloat(fmt, FValue);
  FFormatting = true;
  try {
    TControl::SetText(t);
  } catch (...) {
    FFormatting = false;
    throw;
  }
  FFormatting = false;
  UpdateShown();
}

void TCustomNumEdit::PopupDisplayChanged() { UpdateShown(); }

void TCustomNumEdit::UpdateShown() {
  if (FPopupVisible && FPopup) {
    SetShownText(FPopup->GetPopupText());
    return;
  }
  if (FFocused) {
    SetShownText(std::nullopt);
    TCustomEdit::SetAlignment(taLeftJustify);
  } else {
    SetShownText(DisplayText());
    TCustomEdit::SetAlignment(FDisplayAlignment);
  }
}

bool TCustomNumEdit::IsValidChar(char32_t Key) {
  if (Key < 32 || Key > 0x7e) return Key < 32;
  // The text as it would be with the selection replaced by the key.
  std::string t = FText;
  const size_t start = std::min<size_t>(static_cast<size_t>(std::max(0, SelStart())), t.size());
  const size_t len = std::min<size_t>(static_cast<size_t>(std::max(0, SelLength())), t.size() - start);
  t.replace(start, len, 1, static_cast<char>(Key));
  const std::string s = TextToValText(t);
  if (const size_t p = s.find(DecimalSeparator); p != std::string::npos) {
    size_t n = 0;
    for (size_t i = p + 1; i < s.size() && s[i] != 'E' && s[i] != 'e'; ++i) ++n;
    if (n > FDecimalPlaces) return false;
  }
  for (char c : s)
    if (!(c == '+' || c == '-' || (c >= '0' && c <= '9') || c == 'E' || c == 'e' || c == DecimalSeparator))
      return false;
  double v = 0;
  if (!TryStrToFloat(s, v)) return false;
  // A lone "-" reads as -0: the sign alone is refused as well.
  return !(FMinValue >= 0 && FMaxValue > 0 && std::signbit(v));
}

void TCustomNumEdit::KeyPress(char32_t& Key) {
  if (FPopupVisible && FPopup) {
    char32_t u = Key >= 'a' && Key <= 'z' ? Key - 32 : Key;
    static const std::u32string forwarded = U"\b\r%*+,-./0123456789=CQR_";
    if ((forwarded.find(u) != std::u32string::npos || u == static_cast<unsigned char>(DecimalSeparator)) &&
        u != static_cast<unsigned char>(ThousandSeparator)) {
      if (auto* p = dynamic_cast<TPopupCalculator*>(FPopup)) p->Calculator()->KeyboardKey(Key);
      Key = 0;
      return;
    }
  }
  if ((Key == '.' || Key == ',') && Key != static_cast<unsigned char>(ThousandSeparator))
    Key = static_cast<unsigned char>(DecimalSeparator);
  TCustomComboEdit::KeyPress(Key);
  if (Key >= 32 && !IsValidChar(Key)) {
    Key = 0;
    if (FBeepOnError) MessageBeep(0);
  }
  if (Key == 0x1b) {
    DataChanged();
    SelectAll();
    Key = 0;
  }
}

void TCustomNumEdit::DoEnter() {
  FFocused = true;
  DataChanged();
  if (FFormatOnEditing) ReformatEditText();
  TCustomComboEdit::DoEnter();
}

void TCustomNumEdit::DoExit() {
  if (FPopupVisible) PopupCloseUp(FPopup, false);
  try {
    if (FCheckOnExit) {
      double v = 0;
      // What does not read as a number reads as MinValue, which is in range.
      if (TryStrToFloat(TextToValText(FText), v)) CheckValue(v, true);
    }
    Value();
  } catch (...) {
    SelectAll();
    if (CanFocus()) SetFocus();
    throw;
  }
  FFocused = false;
  DataChanged();
  SetSelStart(0);
  TCustomComboEdit::DoExit();
}

bool TCustomNumEdit::ReformatEditText() {
  if (FDisplayFormat.find(',') == std::string::npos) return false;
  const std::string& t = FText;
  size_t i = 0;
  std::string out;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) out += t[i++];
  size_t end = i;
  while (end < t.size() && t[end] != DecimalSeparator && t[end] != 'E' && t[end] != 'e') ++end;
  std::string digits;
  for (size_t k = i; k < end; ++k)
    if (t[k] != ThousandSeparator) digits += t[k];
  for (size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) out += ThousandSeparator;
    out += digits[k];
  }
  out += t.substr(end);
  if (out == t) return false;
  const int32_t fromEnd = static_cast<int32_t>(t.size()) - SelStart();
  FFormatting = true;
  try {
    TControl::SetText(out);
  } catch (...) {
    FFormatting = false;
    throw;
  }
  FFormatting = false;
  SetSelStart(std::max(0, static_cast<int32_t>(out.size()) - fromEnd));
  return true;
}

void TCustomNumEdit::Change() {
  if (FFocused && FFormatOnEditing && !FFormatting && ReformatEditText()) return;  // the reformat reported it
  TCustomComboEdit::Change();
}

void TCustomNumEdit::SetPopupValue(const TPopupValue&) {
  double v = 0;
  if (!TryStrToFloat(TextToValText(FText), v)) v = 0;
  if (FPopup) FPopup->SetValue(FormatC(v, 15));
}

void TCustomNumEdit::AcceptValue(const TPopupValue& AValue) {
  double v = 0;
  if (!AValue || !ParseC(*AValue, v)) v = 0;
  const std::string old = FText;
  SetValue(v);
  if (FText != old) FModified = true;
}

void TCustomNumEdit::PopupDropDown(bool DisableEdit) {
  TCustomComboEdit::PopupDropDown(DisableEdit);
  UpdateShown();
}

void TCustomNumEdit::PopupCloseUp(TObject* Sender, bool Accept) {
  TCustomComboEdit::PopupCloseUp(Sender, Accept);
  UpdateShown();
}

void TCustomNumEdit::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_PASTE) {
    if (!DirectInput() || ReadOnly()) return;
    const std::string old = FText;
    TCustomComboEdit::Dispatch(Message);
    double v = 0;
    if (!TryStrToFloat(TextToValText(FText), v)) {
      TControl::SetText(old);
      SelectAll();
      MessageBeep(0);
    }
    return;
  }
  TCustomComboEdit::Dispatch(Message);
}

const TPropertyTable& TCustomNumEdit::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomNumEdit>(TCustomComboEdit::PropertyTable(), [](auto& p) {
    p.Enum("Alignment", &TCustomNumEdit::DisplayAlignment, &TCustomNumEdit::SetDisplayAlignment,
           {"taLeftJustify", "taRightJustify", "taCenter"});
    p.Bool("BeepOnError", &TCustomNumEdit::BeepOnError, &TCustomNumEdit::SetBeepOnError);
    p.Bool("CheckOnExit", &TCustomNumEdit::CheckOnExit, &TCustomNumEdit::SetCheckOnExit);
    p.Integer("DecimalPlaces", &TCustomNumEdit::DecimalPlaces, &TCustomNumEdit::SetDecimalPlaces);
    p.String("DisplayFormat", &TCustomNumEdit::DisplayFormat, &TCustomNumEdit::SetDisplayFormat);
    p.Bool("FormatOnEditing", &TCustomNumEdit::FormatOnEditing, &TCustomNumEdit::SetFormatOnEditing);
    p.Float("MaxValue", &TCustomNumEdit::MaxValue, &TCustomNumEdit::SetMaxValue, ftExtended);
    p.Float("MinValue", &TCustomNumEdit::MinValue, &TCustomNumEdit::SetMinValue, ftExtended);
    p.Float("Value", [](const TCustomNumEdit& E) { return const_cast<TCustomNumEdit&>(E).Value(); },
            &TCustomNumEdit::SetValue, ftExtended);
    p.Bool("ZeroEmpty", &TCustomNumEdit::ZeroEmpty, &TCustomNumEdit::SetZeroEmpty);
  });
  return table;
}

// ---- TKvCustomCalcEdit ----

TKvCustomCalcEdit::TKvCustomCalcEdit(TComponent* AOwner) : TCustomNumEdit(AOwner) {
  FPopup = new TPopupCalculator(this);
  Calculator()->Calculator()->SetBeepOnError(FBeepOnError);
}

}  // namespace kv
