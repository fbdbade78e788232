// The diagonal spin button, the up-down control and the spin edits.
#include "components/controls/kv_spin.h"

#include <cmath>

#include "components/controls/button_glyph.h"
#include "components/draw_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/forms.h"

namespace kv {

namespace {
constexpr uint32_t kInitRepeatPause = 400;
constexpr uint32_t kRepeatPause = 100;

bool LeftButtonHeld() { return GetKeyState(VK_LBUTTON) < 0; }

// Raised face lines: light on the top and left, dark on the bottom and right.
void Bevel(TCanvas& C, const TRect& R, bool Pressed) {
  const TColor light = Pressed ? clBtnShadow : clBtnHighlight, dark = Pressed ? clBtnHighlight : clBtnShadow;
  C.Pen().SetColor(light);
  C.MoveTo(R.Left, R.Bottom - 1);
  C.LineTo(R.Left, R.Top);
  C.LineTo(R.Right - 1, R.Top);
  C.Pen().SetColor(dark);
  C.MoveTo(R.Right - 1, R.Top);
  C.LineTo(R.Right - 1, R.Bottom - 1);
  C.LineTo(R.Left - 1, R.Bottom - 1);
}

void DrawArrow(TCanvas& C, int32_t Cx, int32_t Cy, bool Up, TColor Color) {
  C.Pen().SetColor(Color);
  for (int32_t i = 0; i < 3; ++i) {
    const int32_t y = Up ? Cy - 1 + i : Cy + 1 - i;
    C.MoveTo(Cx - i, y);
    C.LineTo(Cx + i + 1, y);
  }
}
}  // namespace

void MakeSpinGlyph(TBitmap& Glyph, bool Up) {
  // 9 x 6: a triangle of four rows in the middle, the frame around it olive.
  Glyph.SetSize(9, 6);
  TCanvas& c = Glyph.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clOlive);
  c.FillRect(Rect(0, 0, 9, 6));
  c.Pen().SetColor(clBlack);
  for (int32_t i = 0; i < 4; ++i) {
    const int32_t y = Up ? 1 + i : 4 - i;
    c.MoveTo(4 - i, y);
    c.LineTo(5 + i, y);
  }
}

// ---- TKvSpinButton ----

TKvSpinButton::TKvSpinButton(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle = TControlStyle{csCaptureMouse, csOpaque, csFixedWidth, csFixedHeight};
  FWidth = 20;
  FHeight = 20;
  MakeSpinGlyph(FUpGlyph, true);
  MakeSpinGlyph(FDownGlyph, false);
}

TKvSpinButton::~TKvSpinButton() {
  FRepeatTimer.reset();
  SetFocusControl(nullptr);
}

void TKvSpinButton::SetUpGlyph(const TBitmap* Value) {
  if (Value && Value->Width() > 0) FUpGlyph.Assign(Value);
  else MakeSpinGlyph(FUpGlyph, true);
  Invalidate();
}

void TKvSpinButton::SetDownGlyph(const TBitmap* Value) {
  if (Value && Value->Width() > 0) FDownGlyph.Assign(Value);
  else MakeSpinGlyph(FDownGlyph, false);
  Invalidate();
}

void TKvSpinButton::SetFocusControl(TWinControl* Value) {
  if (Value == FFocusControl) return;
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = Value;
  if (FFocusControl) FFocusControl->FreeNotification(this);
}

void TKvSpinButton::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TKvSpinButton::SetDown(TSpinButtonState Value) {
  if (Value == FDown) return;
  FDown = Value;
  Invalidate();
}

void TKvSpinButton::Paint() {
  TCanvas& c = Canvas();
  const int32_t w = ClientWidth(), h = ClientHeight();
  if (!Enabled()) FDragging = false;  // a disabled button drops its drag
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clBtnFace);
  c.FillRect(Rect(0, 0, w, h));
  if (w <= 0 || h <= 0) return;
  const bool top = FDown == sbTopDown, bottom = FDown == sbBottomDown;
  // Outer frame: the upper-left half lights its top and left edges, the
  // lower-right half shades its bottom and right edges; a pressed half swaps.
  c.Pen().SetColor(top ? clBtnShadow : clBtnHighlight);
  c.MoveTo(0, h - 1);
  c.LineTo(0, 0);
  c.LineTo(w - 1, 0);
  c.Pen().SetColor(bottom ? clBtnHighlight : clBtnShadow);
  c.MoveTo(w - 1, 0);
  c.LineTo(w - 1, h - 1);
  c.LineTo(-1, h - 1);
  // The diagonal: the shadow of the upper half and, one pixel below, the light of the lower.
  c.Pen().SetColor(top ? clBtnHighlight : clBtnShadow);
  c.MoveTo(0, h - 1);
  c.LineTo(w - 1, 0);
  c.Pen().SetColor(bottom ? clBtnShadow : clBtnHighlight);
  c.MoveTo(1, h - 1);
  c.LineTo(w - 1, 1);

  auto glyph = [&](const TBitmap& G, int32_t Cx, int32_t Cy, int32_t Shift) {
    if (G.Width() <= 0 || G.Height() <= 0) return;
    const int32_t x = Cx - G.Width() / 2 + Shift, y = Cy - G.Height() / 2 + Shift;
    if (Enabled()) {
      DrawTransparent(c, x, y, G, clDefault);
    } else {
      const std::unique_ptr<TBitmap> e = MakeEmbossedGlyph(G, G.GetPixelColor(0, G.Height() - 1));
      DrawTransparent(c, x, y, *e, clDefault);
    }
  };
  glyph(FUpGlyph, w / 4, h / 4, top ? 2 : 1);
  glyph(FDownGlyph, 3 * w / 4, 3 * h / 4, bottom ? 0 : -1);
}

void TKvSpinButton::TopClick() {
  if (OnTopClick) OnTopClick(this);
}

void TKvSpinButton::BottomClick() {
  if (OnBottomClick) OnBottomClick(this);
}

void TKvSpinButton::DoClick(TSpinButtonState Half) {
  if (Half == sbTopDown) TopClick();
  else if (Half == sbBottomDown) BottomClick();
}

void TKvSpinButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  if (FFocusControl && FFocusControl->TabStop() && FFocusControl->CanFocus() && !FFocusControl->Focused())
    FFocusControl->SetFocus();
  if (FDown != sbNotDown) return;
  const double w = std::max(1, ClientWidth()), h = ClientHeight();
  FLastDown = Y > h - (h / w) * X ? sbBottomDown : sbTopDown;
  SetDown(FLastDown);
  FDragging = true;
  DoClick(FLastDown);
  if (!LeftButtonHeld()) {
    SetDown(sbNotDown);
    FLastDown = sbNotDown;
    FDragging = false;
  }
  Invalidate();
  if (!FRepeatTimer) {
    FRepeatTimer = std::make_unique<TTimer>(nullptr);
    FRepeatTimer->SetOnTimer([this](TObject* S) { TimerExpired(S); });
  }
  FRepeatTimer->SetEnabled(false);
  FRepeatTimer->SetInterval(kInitRepeatPause);
  FRepeatTimer->SetEnabled(true);
}

void TKvSpinButton::TimerExpired(TObject*) {
  FRepeatTimer->SetInterval(kRepeatPause);
  if (FDown == sbNotDown || !MouseCapture()) return;
  try {
    DoClick(FDown);
  } catch (...) {
    FRepeatTimer->SetEnabled(false);
    throw;
  }
}

void TKvSpinButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  const int32_t w = ClientWidth(), h = ClientHeight();
  if (X < 0 || Y < 0 || X >= w || Y >= h) {
    SetDown(sbNotDown);
    return;
  }
  // The moving test divides the other way round; for the square button it is the same line.
  const double wd = w, hd = std::max(1, h);
  const TSpinButtonState over = Y > hd - (wd / hd) * X ? sbBottomDown : sbTopDown;
  SetDown(over == FLastDown ? FLastDown : sbNotDown);
}

void TKvSpinButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  FDragging = false;
  FLastDown = sbNotDown;
  SetDown(sbNotDown);
  Invalidate();
}

void TKvSpinButton::Dispatch(TMessage& Message) {
  TGraphicControl::Dispatch(Message);
  if (Message.Msg == CM_ENABLEDCHANGED) Invalidate();
}

const TPropertyTable& TKvSpinButton::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TKvSpinButton>(TGraphicControl::PropertyTable(), [](auto& p) {
    p.Object("FocusControl", &TKvSpinButton::FocusControl, &TKvSpinButton::SetFocusControl);
    p.Method("OnTopClick");
    p.Method("OnBottomClick");
  });
  return table;
}

// ---- TKvUpDown ----

TKvUpDown::TKvUpDown(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = TControlStyle{csCaptureMouse, csOpaque};
  FWidth = 15;
  FHeight = 20;
}

TKvUpDown::~TKvUpDown() { FRepeatTimer.reset(); }

void TKvUpDown::ScrollTo(int32_t Pos) {
  FPosition = std::clamp(Pos, -1, 1);
  if (FPosition != 0 && OnClick) OnClick(this, FPosition > 0 ? btNext : btPrev);
  FPosition = 0;
}

void TKvUpDown::Paint() {
  TCanvas& c = Canvas();
  const int32_t w = ClientWidth(), h = ClientHeight(), mid = h / 2;
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clBtnFace);
  c.FillRect(Rect(0, 0, w, h));
  Bevel(c, Rect(0, 0, w, mid), FPressed > 0);
  Bevel(c, Rect(0, mid, w, h), FPressed < 0);
  const TColor arrow = Enabled() ? clBtnText : clGrayText;
  const int32_t shiftUp = FPressed > 0 ? 1 : 0, shiftDown = FPressed < 0 ? 1 : 0;
  DrawArrow(c, w / 2 - 1 + shiftUp, mid / 2 - 1 + shiftUp, true, arrow);
  DrawArrow(c, w / 2 - 1 + shiftDown, mid + (h - mid) / 2 - 1 + shiftDown, false, arrow);
}

void TKvUpDown::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || !Enabled()) return;
  FPressed = Y < ClientHeight() / 2 ? 1 : -1;
  Invalidate();
  ScrollTo(FPressed);
  if (!LeftButtonHeld()) {
    FPressed = 0;
    return;
  }
  if (!FRepeatTimer) {
    FRepeatTimer = std::make_unique<TTimer>(nullptr);
    FRepeatTimer->SetOnTimer([this](TObject* S) { TimerExpired(S); });
  }
  FRepeatTimer->SetEnabled(false);
  FRepeatTimer->SetInterval(kInitRepeatPause);
  FRepeatTimer->SetEnabled(true);
}

void TKvUpDown::TimerExpired(TObject*) {
  FRepeatTimer->SetInterval(kRepeatPause);
  if (FPressed == 0 || !MouseCapture()) {
    FRepeatTimer->SetEnabled(false);
    return;
  }
  ScrollTo(FPressed);
}

void TKvUpDown::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  FPressed = 0;
  if (FRepeatTimer) FRepeatTimer->SetEnabled(false);
  Invalidate();
}

// ---- TKvSpinEdit ----

TKvSpinEdit::TKvSpinEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
  FText = "0";
  RecreateButton();
}

TKvSpinEdit::~TKvSpinEdit() {
  FHoldChange = true;  // no change notifications while the parts go
  delete FButton;
  delete FBtnWindow;
  delete FUpDown;
}

TSpinButtonKind TKvSpinEdit::ButtonKind() const { return NewStyleControls() ? FButtonKind : bkDiagonal; }

void TKvSpinEdit::SetButtonKind(TSpinButtonKind Value) {
  const TSpinButtonKind old = ButtonKind();
  FButtonKind = Value;
  if (ButtonKind() != old) RecreateButton();
}

void TKvSpinEdit::RecreateButton() {
  delete FButton;
  delete FBtnWindow;
  delete FUpDown;
  FButton = nullptr;
  FBtnWindow = nullptr;
  FUpDown = nullptr;
  if (ButtonKind() == bkDiagonal) {
    FBtnWindow = new TWinControl(this);
    FBtnWindow->SetParent(this);
    FButton = new TKvSpinButton(this);
    FButton->SetParent(FBtnWindow);
    FButton->SetAlign(alClient);
    FButton->SetFocusControl(this);
    FButton->SetEnabled(Enabled());
    FButton->OnTopClick = [this](TObject* S) { UpClick(S); };
    FButton->OnBottomClick = [this](TObject* S) { DownClick(S); };
  } else {
    FUpDown = new TKvUpDown(this);
    FUpDown->SetParent(this);
    FUpDown->SetEnabled(Enabled());
    FUpDown->OnClick = [this](TObject*, TUDBtnType B) {
      if (TabStop() && CanFocus() && !Focused()) SetFocus();
      if (B == btNext) UpClick(this);
      else DownClick(this);
    };
  }
  ResizeButton();
}

void TKvSpinEdit::ResizeButton() {
  int32_t bw = 0;
  if (FBtnWindow) {
    const int32_t size = std::max(0, FHeight - 4);
    FBtnWindow->SetBounds(FWidth - size - 2, 2, size, size);
    bw = size;
  } else if (FUpDown) {
    FUpDown->SetBounds(FWidth - FUpDown->Width() - 2, 2, FUpDown->Width(), std::max(0, FHeight - 4));
    bw = FUpDown->Width();
  }
  SetEditRect(Rect(0, 0, std::max(0, ClientWidth() - bw - 2), ClientHeight() + 1));
}

int32_t TKvSpinEdit::MinHeight() {
  TBitmap b(1, 1);
  b.Canvas().Font().Assign(Font());
  return b.Canvas().TextHeight("0") + 4 * 1 + 1;
}

void TKvSpinEdit::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (AHeight != FHeight) AHeight = std::max(AHeight, MinHeight());
  TCustomEdit::SetBounds(ALeft, ATop, AWidth, AHeight);
  ResizeButton();
}

void TKvSpinEdit::CreateWnd() {
  TCustomEdit::CreateWnd();
  ResizeButton();
}

double TKvSpinEdit::CheckValue(double NewValue) const {
  if (FMaxValue != FMinValue) {
    if (NewValue < FMinValue) return FMinValue;
    if (NewValue > FMaxValue) return FMaxValue;
  }
  return NewValue;
}

bool TKvSpinEdit::ReadText(double& Out) const {
  const std::string t = Trim(FText);
  switch (FValueType) {
    case vtFloat:
      return TryStrToFloat(t, Out);
    case vtHex: {
      if (t.empty() || t[0] == '$' || t[0] == '-' || t[0] == '+') return false;
      int64_t v = 0;
      if (!TryStrToInt64("$" + t, v)) return false;
      Out = static_cast<double>(v);
      return true;
    }
    default: {
      int64_t v = 0;
      if (t.find_first_of("$xX") != std::string::npos || !TryStrToInt64(t, v)) return false;
      Out = static_cast<double>(v);
      return true;
    }
  }
}

double TKvSpinEdit::Value() const {
  double v = 0;
  // What was typed counts only within the range: a caller never sees a value outside it.
  if (ReadText(v)) return CheckValue(v);
  return FValueType == vtFloat ? FMinValue : static_cast<double>(Trunc(FMinValue));
}

int32_t TKvSpinEdit::AsInteger() const { return Trunc32(Value()); }

void TKvSpinEdit::SetValue(double NewValue) {
  const double v = CheckValue(NewValue);
  switch (FValueType) {
    case vtFloat:
      SetText(FloatToStrF(v, ffFixed, 15, FDecimal));
      break;
    case vtHex:
      SetText(IntToHex(Round(v), 1));
      break;
    default:
      SetText(IntToStr(Round(v)));
      break;
  }
}

void TKvSpinEdit::SetValueType(TValueType NewType) {
  if (NewType == FValueType) return;
  const double v = Value();
  FValueType = NewType;
  SetValue(v);
  if (NewType == vtInteger || NewType == vtHex) {
    FIncrement = static_cast<double>(Round(FIncrement));
    if (FIncrement == 0) FIncrement = 1;
  }
}

void TKvSpinEdit::SetDecimal(uint8_t NewValue) {
  if (NewValue == FDecimal) return;
  const double v = Value();
  FDecimal = NewValue;
  SetValue(v);
}

void TKvSpinEdit::Change() {
  if (!FHoldChange) TCustomEdit::Change();
}

void TKvSpinEdit::Step(double Delta, const TNotifyEvent& Event) {
  if (ReadOnly()) {
    MessageBeep(0);
    return;
  }
  const std::string old = FText;
  FHoldChange = true;
  try {
    SetValue(Value() + Delta);
  } catch (...) {
    FHoldChange = false;
    throw;
  }
  FHoldChange = false;
  if (!SameText(old, FText)) {
    FModified = true;
    TCustomEdit::Change();
  }
  if (Event) Event(this);
}

void TKvSpinEdit::UpClick(TObject*) { Step(FIncrement, OnTopClick); }

void TKvSpinEdit::DownClick(TObject*) { Step(-FIncrement, OnBottomClick); }

bool TKvSpinEdit::IsValidChar(char32_t Key) {
  bool ok = Key == '+' || Key == '-' || (Key >= '0' && Key <= '9') || Key < 32;
  if (FValueType == vtFloat) {
    if (Key == static_cast<char32_t>(static_cast<unsigned char>(DecimalSeparator)) &&
        FText.find(DecimalSeparator) == std::string::npos)
      ok = true;
    if ((Key == 'E' || Key == 'e') && UpperCase(FText).find('E') == std::string::npos) ok = true;
  } else if (FValueType == vtHex) {
    if ((Key >= 'A' && Key <= 'F') || (Key >= 'a' && Key <= 'f')) ok = true;
  }
  if (!FEditorEnabled && (Key >= 32 || Key == VK_BACK)) ok = false;
  return ok;
}

void TKvSpinEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomEdit::KeyDown(Key, Shift);
  if (FArrowKeys && (Key == VK_UP || Key == VK_DOWN)) {
    if (Key == VK_UP) UpClick(this);
    else DownClick(this);
    Key = 0;
  } else if (Key == VK_DELETE && !FEditorEnabled) {
    // The text can only be stepped: Delete would type as much as Backspace.
    Key = 0;
    MessageBeep(0);
  }
}

void TKvSpinEdit::KeyPress(char32_t& Key) {
  if (!IsValidChar(Key)) {
    Key = 0;
    MessageBeep(0);
  }
  if (Key != 0) TCustomEdit::KeyPress(Key);
  // Enter reached the form as a dialog key already; the edit has no use for it.
  if (Key == '\r') Key = 0;
}

void TKvSpinEdit::DoExit() {
  double v = 0;
  if (ReadText(v) && CheckValue(v) != v) SetValue(v);
  TCustomEdit::DoExit();
}

void TKvSpinEdit::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_CUT:
    case WM_PASTE:
      if (!FEditorEnabled || ReadOnly()) return;
      TCustomEdit::Dispatch(Message);
      return;
    case CM_ENABLEDCHANGED:
      TCustomEdit::Dispatch(Message);
      if (FButton) FButton->SetEnabled(Enabled());
      if (FUpDown) FUpDown->SetEnabled(Enabled());
      return;
    case CM_FONTCHANGED:
      TCustomEdit::Dispatch(Message);
      if (FHeight < MinHeight()) SetHeight(MinHeight());
      return;
    default:
      TCustomEdit::Dispatch(Message);
  }
}

const TPropertyTable& TKvSpinEdit::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TKvSpinEdit>(TCustomEdit::PropertyTable(), [](auto& p) {
    p.Enum("Alignment", &TKvSpinEdit::Alignment, &TKvSpinEdit::SetAlignment,
           {"taLeftJustify", "taRightJustify", "taCenter"});
    p.Bool("ArrowKeys", &TKvSpinEdit::ArrowKeys, &TKvSpinEdit::SetArrowKeys);
    p.Enum("ButtonKind", &TKvSpinEdit::ButtonKind, &TKvSpinEdit::SetButtonKind, {"bkStandard", "bkDiagonal"});
    p.Integer("Decimal", &TKvSpinEdit::Decimal, &TKvSpinEdit::SetDecimal);
    p.Bool("EditorEnabled", &TKvSpinEdit::EditorEnabled, &TKvSpinEdit::SetEditorEnabled);
    p.Float("Increment", &TKvSpinEdit::Increment, &TKvSpinEdit::SetIncrement, ftExtended);
    p.Float("MaxValue", &TKvSpinEdit::MaxValue, &TKvSpinEdit::SetMaxValue, ftExtended);
    p.Float("MinValue", &TKvSpinEdit::MinValue, &TKvSpinEdit::SetMinValue, ftExtended);
    p.Enum("ValueType", &TKvSpinEdit::ValueType, &TKvSpinEdit::SetValueType, {"vtInteger", "vtFloat", "vtHex"});
    p.Float("Value", &TKvSpinEdit::Value, &TKvSpinEdit::SetValue, ftExtended);
    p.Method("OnTopClick");
    p.Method("OnBottomClick");
  });
  return table;
}

// ---- TmyKvSpinEdit ----

void TmyKvSpinEdit::UpClick(TObject*) {
  if (OnTopClick) OnTopClick(this);
}

void TmyKvSpinEdit::DownClick(TObject*) {
  if (OnBottomClick) OnBottomClick(this);
}

}  // namespace kv
