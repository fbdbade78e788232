// The combo edit, its button and the pop-up window base.
#include "components/controls/combo_edit.h"

#include <algorithm>

namespace kv {

// ---- TPopupWindow ----

TPopupWindow::TPopupWindow(TCustomComboEdit* AEditor) : TCustomForm(AEditor), FEditor(AEditor) {
  SetBorderStyle(bsNone);
  SetNoActivate(true);
  SetFormStyle(fsStayOnTop);
  SetVisible(false);
}

TPopupWindow::~TPopupWindow() = default;

void TPopupWindow::CloseUp(bool Accept) {
  if (OnCloseUp) OnCloseUp(this, Accept);
}

void TPopupWindow::Dispatch(TMessage& Message) {
  // A pop-up is never activated by a click.
  if (Message.Msg == WM_ACTIVATE) return;
  TCustomForm::Dispatch(Message);
}

// ---- glyphs ----

void MakeDropDownGlyph(TBitmap& Glyph) {
  Glyph.SetSize(7, 4);
  TCanvas& c = Glyph.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clWhite);
  c.FillRect(Rect(0, 0, 7, 4));
  c.Pen().SetColor(clBlack);
  for (int32_t i = 0; i < 4; ++i) {
    c.MoveTo(i, i);
    c.LineTo(7 - i, i);
  }
  Glyph.SetTransparentColor(clWhite);
}

void MakeEllipsisGlyph(TBitmap& Glyph, int32_t ButtonWidth) {
  const int32_t w = std::max(1, ButtonWidth - 6);
  Glyph.SetSize(w, 4);
  TCanvas& c = Glyph.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clWhite);
  c.FillRect(Rect(0, 0, w, 4));
  const int32_t gap = std::clamp((w - 6) / 2, 1, 3);
  const int32_t left = (w - (3 * 2 + 2 * gap)) / 2;
  c.Brush().SetColor(clBlack);
  for (int32_t i = 0; i < 3; ++i) {
    const int32_t x = left + i * (2 + gap);
    c.FillRect(Rect(x, 1, x + 2, 3));
  }
  Glyph.SetTransparentColor(clWhite);
}

// ---- TEditButton ----

TEditButton::TEditButton(TComponent* AOwner) : TKvSpeedButton(AOwner) { SetStyle(bsNew); }

void TEditButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  FNoAction = false;
  if (Button == mbLeft)
    if (auto* edit = dynamic_cast<TCustomComboEdit*>(Owner()); edit && edit->PopupVisible()) {
      // The press closes the pop-up accepting; the click that follows does nothing.
      FNoAction = true;
      edit->PopupCloseUp(edit->Popup(), true);
    }
  TKvSpeedButton::MouseDown(Button, Shift, X, Y);
}

void TEditButton::Click() {
  if (FNoAction) {
    FNoAction = false;
    return;
  }
  TKvSpeedButton::Click();
}

// ---- TCustomComboEdit ----

TCustomComboEdit::TCustomComboEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
  FHeight = 21;
  FBtnControl = new TWinControl(this);
  FBtnControl->SetParent(this);
  FButton = new TEditButton(this);
  FButton->SetParent(FBtnControl);
  FButton->SetAlign(alClient);
  FButton->OnClick = [this](TObject*) { DoClick(); };
  UpdateControls();
}

TCustomComboEdit::~TCustomComboEdit() {
  FWatch.Stop();
  delete FPopup;
  FPopup = nullptr;
  delete FButton;
  delete FBtnControl;
}

const std::string& TCustomComboEdit::ButtonHint() const { return FButton->Hint(); }

void TCustomComboEdit::SetButtonHint(const std::string& Value) { FButton->SetHint(Value); }

void TCustomComboEdit::SetButtonWidth(int32_t Value) {
  if (FGlyphKind == gkDropDown) return;  // fixed to the scroll bar's width
  if (Value == FButtonWidth) return;
  FButtonWidth = Value;
  if (FGlyphKind == gkEllipsis) RecreateGlyph();
  UpdateControls();
}

void TCustomComboEdit::SetDirectInput(bool Value) {
  FDirectInput = Value;
  UpdateWindowReadOnly();
}

void TCustomComboEdit::SetReadOnly(bool Value) {
  FReadOnly = Value;
  UpdateWindowReadOnly();
}

void TCustomComboEdit::SetGlyph(const TBitmap* Value) {
  if (Value) FGlyph.Assign(Value);
  else FGlyph.SetSize(0, 0);
  FGlyphKind = gkCustom;
  RecreateGlyph();
}

void TCustomComboEdit::SetGlyphKind(TGlyphKind Value) {
  if (Value == FGlyphKind) return;
  FGlyphKind = Value;
  if (FGlyphKind == gkCustom) FGlyph.SetSize(0, 0);
  RecreateGlyph();
}

void TCustomComboEdit::SetNumGlyphs(int32_t Value) {
  if (FGlyphKind == gkDropDown || FGlyphKind == gkEllipsis) Value = 1;
  else if (FGlyphKind == gkDefault) Value = DefaultNumGlyphs();
  FNumGlyphs = std::clamp(Value, 1, 4);
  FButton->SetNumGlyphs(FNumGlyphs);
}

void TCustomComboEdit::DefaultGlyph(TBitmap& Glyph) { Glyph.SetSize(0, 0); }

void TCustomComboEdit::RecreateGlyph() {
  TBitmap g(0, 0, pf24bit);
  switch (FGlyphKind) {
    case gkDefault:
      DefaultGlyph(g);
      FNumGlyphs = DefaultNumGlyphs();
      if (g.Width() > 0) FButtonWidth = std::max(FButtonWidth, g.Width() / FNumGlyphs + 6);
      break;
    case gkDropDown:
      MakeDropDownGlyph(g);
      FNumGlyphs = 1;
      FButtonWidth = SystemScrollBarWidth();
      break;
    case gkEllipsis:
      MakeEllipsisGlyph(g, FButtonWidth);
      FNumGlyphs = 1;
      break;
    default:
      g.Assign(&FGlyph);
      break;
  }
  FButton->SetGlyph(g.Width() > 0 ? &g : nullptr);
  FButton->SetNumGlyphs(FNumGlyphs);
  UpdateControls();
}

void TCustomComboEdit::UpdateControls() {
  const bool shown = FButtonWidth > 1;
  const int32_t bw = shown ? FButtonWidth : 0;
  FBtnControl->SetVisible(shown);
  FBtnControl->SetBounds(FWidth - bw - 2, 2, bw, std::max(0, FHeight - 4));
  SetEditRect(Rect(0, 0, std::max(0, ClientWidth() - bw - 2), ClientHeight() + 1));
}

int32_t TCustomComboEdit::MinHeight() const {
  TBitmap b(1, 1);
  const int32_t system = b.Canvas().TextHeight("0");  // a fresh canvas has the system font
  b.Canvas().Font().Assign(Font());
  return std::min(system, b.Canvas().TextHeight("0")) + 4 * 1 + 1;
}

void TCustomComboEdit::SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) {
  if (AHeight != FHeight) AHeight = std::max(AHeight, MinHeight());
  TCustomEdit::SetBounds(ALeft, ATop, AWidth, AHeight);
  if (FBtnControl) UpdateControls();
}

void TCustomComboEdit::CreateWnd() {
  TCustomEdit::CreateWnd();
  UpdateControls();
}

void TCustomComboEdit::DoClick() {
  if (FReadOnly && !FAlwaysEnable) return;
  ButtonClick();
}

void TCustomComboEdit::ButtonClick() {
  if (OnButtonClick) OnButtonClick(this);
  if (!FPopup) return;
  if (FPopupVisible) PopupCloseUp(FPopup, true);
  else PopupDropDown(true);
}

void TCustomComboEdit::PopupDropDown(bool DisableEdit) {
  if (!FPopup || FReadOnly || FPopupVisible) return;
  const TPoint p = Parent() ? Parent()->ClientToScreen(TPoint{FLeft, FTop}) : TPoint{FLeft, FTop};
  const int32_t pw = FPopup->Width(), ph = FPopup->Height();
  const int32_t sw = Screen->Width(), sh = Screen->Height();
  int32_t y = p.Y + FHeight;
  if (y + ph > sh) y = p.Y - ph;  // no room below: above the edit
  int32_t x;
  if (FPopupAlign == epaRight) {
    x = p.X + FWidth - pw;
    if (x < 0) x = p.X;
  } else {
    x = p.X;
    if (x + pw > sw) x = p.X + FWidth - pw;
  }
  x = std::clamp(x, 0, std::max(0, sw - pw));
  SetPopupValue(FText.empty() ? TPopupValue() : TPopupValue(FText));
  if (CanFocus() && !Focused()) SetFocus();
  ShowPopup(TPoint{x, y});
  FPopupVisible = true;
  if (DisableEdit) {
    FPopupDisabledEdit = true;
    UpdateWindowReadOnly();
    SetCaretVisible(false);
  }
  FWatch.Start({FPopup, FBtnControl}, [this] { PopupCloseUp(FPopup, false); });
}

void TCustomComboEdit::ShowPopup(TPoint Origin) {
  FPopup->SetBounds(Origin.X, Origin.Y, FPopup->Width(), FPopup->Height());
  FPopup->Show();
}

void TCustomComboEdit::HidePopup() { FPopup->Hide(); }

bool TCustomComboEdit::AcceptPopup(TPopupValue&) { return true; }

void TCustomComboEdit::AcceptValue(const TPopupValue& Value) {
  const std::string t = Value.value_or("");
  if (t == FText) return;
  FModified = true;
  SetText(t);
}

void TCustomComboEdit::SetPopupValue(const TPopupValue& Value) {
  if (FPopup) FPopup->SetValue(Value);
}

TPopupValue TCustomComboEdit::GetPopupValue() { return FPopup ? FPopup->GetValue() : TPopupValue(); }

void TCustomComboEdit::PopupCloseUp(TObject*, bool Accept) {
  if (!FPopup || !FPopupVisible) return;
  try {
    if (TControl* cap = GetCaptureControl(); cap && (cap == FPopup || FPopup->ContainsControl(cap))) ReleaseCapture();
    TPopupValue v = GetPopupValue();
    HidePopup();
    FWatch.Stop();
    try {
      if (CanFocus()) SetFocus();
    } catch (...) {
      // a failed focus is no reason to lose the value
    }
    SetCaretVisible(true);
    FPopupDisabledEdit = false;
    UpdateWindowReadOnly();
    Invalidate();
    if (Accept && AcceptPopup(v) && EditCanModify()) {
      AcceptValue(v);
      if (Focused()) SelectAll();
    }
  } catch (...) {
    FPopupVisible = false;
    throw;
  }
  FPopupVisible = false;
}

void TCustomComboEdit::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (Key != 0 && FButtonWidth > 0 && ShortCut(Key, Shift) == FClickKey) {
    DoClick();
    Key = 0;
    return;
  }
  TCustomEdit::KeyDown(Key, Shift);
}

void TCustomComboEdit::KeyPress(char32_t& Key) {
  if (FPopupVisible && (Key == '\r' || Key == 0x1b)) {
    PopupCloseUp(FPopup, Key == '\r');
    Key = 0;
    return;
  }
  TCustomEdit::KeyPress(Key);
  // Enter went to the form as a dialog key; the edit itself has no use for it.
  if (Key == '\r') Key = 0;
}

void TCustomComboEdit::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (Button == mbLeft && FPopupVisible) {
    if (CanFocus()) SetFocus();
    PopupCloseUp(FPopup, false);
  }
  TCustomEdit::MouseDown(Button, Shift, X, Y);
}

void TCustomComboEdit::DoEnter() {
  if (FDirectInput) TCustomEdit::DoEnter();
  else TWinControl::DoEnter();
}

void TCustomComboEdit::DoExit() {
  if (FPopupVisible) PopupCloseUp(FPopup, false);
  TCustomEdit::DoExit();
}

void TCustomComboEdit::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_WANTSPECIALKEY:
      // Enter and Escape close a showing pop-up before the form sees them.
      if (FPopupVisible && (Message.WParam == VK_RETURN || Message.WParam == VK_ESCAPE)) {
        Message.Result = 1;
        return;
      }
      TCustomEdit::Dispatch(Message);
      return;
    case WM_CUT:
    case WM_PASTE:
      if (!FDirectInput || FReadOnly) return;
      TCustomEdit::Dispatch(Message);
      return;
    case CM_ENABLEDCHANGED:
      TCustomEdit::Dispatch(Message);
      FButton->SetEnabled(Enabled());
      return;
    case WM_SIZE:
      TCustomEdit::Dispatch(Message);
      UpdateControls();
      return;
    default:
      TCustomEdit::Dispatch(Message);
  }
}

const TPropertyTable& TCustomComboEdit::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomComboEdit>(TCustomEdit::PropertyTable(), [](auto& p) {
    p.Integer("ButtonWidth", &TCustomComboEdit::ButtonWidth, &TCustomComboEdit::SetButtonWidth);
    p.String("ButtonHint", &TCustomComboEdit::ButtonHint, &TCustomComboEdit::SetButtonHint);
    p.Integer("ClickKey", &TCustomComboEdit::ClickKey, &TCustomComboEdit::SetClickKey);
    p.Bool("DirectInput", &TCustomComboEdit::DirectInput, &TCustomComboEdit::SetDirectInput);
    p.Enum("GlyphKind", &TCustomComboEdit::GlyphKind, &TCustomComboEdit::SetGlyphKind,
           {"gkCustom", "gkDefault", "gkDropDown", "gkEllipsis"});
    p.Integer("NumGlyphs", &TCustomComboEdit::NumGlyphs, &TCustomComboEdit::SetNumGlyphs);
    p.Enum("PopupAlign", &TCustomComboEdit::PopupAlign, &TCustomComboEdit::SetPopupAlign, {"epaRight", "epaLeft"});
    p.Method("OnButtonClick");
  });
  return table;
}

}  // namespace kv
