// The speed button: painting through its off-screen picture, pressing,
// groups, drop-down menus and auto-repeat.
#include "components/controls/kv_speed_button.h"

#include <algorithm>
#include <cctype>

#include "components/controls/control_input.h"
#include "components/draw_utils.h"
#include "platform/rtl/ticks.h"
#include "platform/ui/forms.h"
#include "platform/ui/panel.h"

namespace kv {

TKvSpeedButton::TKvSpeedButton(TComponent* AOwner)
    : TGraphicControl(AOwner), FGlyph(std::make_unique<TKvButtonGlyph>()) {
  FControlStyle = TControlStyle{csCaptureMouse, csOpaque, csDoubleClicks, csReplicatable};
  FWidth = 25;
  FHeight = 25;
  FParentFont = true;
  FParentShowHint = false;
  FShowHint = true;
  FGlyph->OnChange = [this](TObject*) { GlyphChanged(); };
}

TKvSpeedButton::~TKvSpeedButton() {
  if (FAction) FAction->UnRegisterClient(this);
  if (FRepeatTimer) FRepeatTimer->SetEnabled(false);
  FGlyph->OnChange = nullptr;
}

void TKvSpeedButton::Loaded() {
  TGraphicControl::Loaded();
  FGlyph->CreateButtonGlyph(Enabled() ? FState : sbsDisabled);
}

void TKvSpeedButton::GlyphChanged() { Invalidate(); }

// ---- properties ----

void TKvSpeedButton::SetAlignment(TAlignment Value) {
  if (Value == FGlyph->Alignment()) return;
  FGlyph->SetAlignment(Value);
  Invalidate();
}

void TKvSpeedButton::SetAllowAllUp(bool Value) {
  if (Value == FAllowAllUp) return;
  FAllowAllUp = Value;
  UpdateExclusive();
}

void TKvSpeedButton::SetAllowTimer(bool Value) {
  FAllowTimer = Value;
  if (!Value && FRepeatTimer) FRepeatTimer->SetEnabled(false);
}

void TKvSpeedButton::SetGroupIndex(int32_t Value) {
  if (Value == FGroupIndex) return;
  FGroupIndex = Value;
  UpdateExclusive();
}

void TKvSpeedButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (Value == FDown) return;
  if (FDown && !FAllowAllUp) return;
  FDown = Value;
  if (Value) {
    if (FState == sbsUp) Invalidate();
    FState = sbsLatched;
  } else {
    FState = sbsUp;
  }
  Repaint();
  if (Value) UpdateExclusive();
  Invalidate();
}

void TKvSpeedButton::UpdateExclusive() {
  if (!FParent) return;
  TMessage m{CM_SPEEDBUTTONPRESSED, static_cast<WPARAM>(FGroupIndex), reinterpret_cast<LPARAM>(this), 0};
  for (int32_t i = 0; i < FParent->ControlCount(); ++i) {
    TControl* c = FParent->Controls(i);
    if (dynamic_cast<TKvSpeedButton*>(c)) c->Perform(m.Msg, m.WParam, m.LParam);
  }
}

void TKvSpeedButton::SetDropDownMenu(TPopupMenu* Value) {
  if (Value == FDropDownMenu) return;
  if (FDropDownMenu) FDropDownMenu->RemoveFreeNotification(this);
  FDropDownMenu = Value;
  if (Value) Value->FreeNotification(this);
  if (FMarkDropDown) Invalidate();
}

void TKvSpeedButton::SetFlat(bool Value) {
  if (Value == FFlat) return;
  FFlat = Value;
  Invalidate();
}

void TKvSpeedButton::SetGrayedInactive(bool Value) {
  if (Value == FGrayedInactive) return;
  FGrayedInactive = Value;
  Invalidate();
}

void TKvSpeedButton::SetLayout(TButtonLayout Value) {
  if (Value == FLayout) return;
  FLayout = Value;
  Invalidate();
}

void TKvSpeedButton::SetMargin(int32_t Value) {
  if (Value == FMargin || Value < -1) return;
  FMargin = Value;
  Invalidate();
}

void TKvSpeedButton::SetMarkDropDown(bool Value) {
  if (Value == FMarkDropDown) return;
  FMarkDropDown = Value;
  Invalidate();
}

void TKvSpeedButton::SetNumGlyphs(int32_t Value) {
  FGlyph->SetNumGlyphs(std::clamp(Value, 0, 5));
}

void TKvSpeedButton::SetSpacing(int32_t Value) {
  if (Value == FSpacing) return;
  FSpacing = Value;
  Invalidate();
}

void TKvSpeedButton::SetStyle(TButtonStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Invalidate();
}

void TKvSpeedButton::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  if (Value) FControlStyle.Exclude(csOpaque);
  else FControlStyle.Include(csOpaque);
  Invalidate();
}

void TKvSpeedButton::SetWordWrap(bool Value) {
  if (Value == FGlyph->WordWrap()) return;
  FGlyph->SetWordWrap(Value);
  Invalidate();
}

void TKvSpeedButton::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FDropDownMenu) FDropDownMenu = nullptr;
  if (Operation == opRemove && AComponent == FAction) FAction = nullptr;
}

void TKvSpeedButton::SetAction(TBasicAction* Value) {
  if (Value == FAction) return;
  if (FAction) {
    FAction->UnRegisterClient(this);
    FAction->RemoveFreeNotification(this);
  }
  FAction = Value;
  if (!Value) return;
  Value->RegisterClient(this);
  Value->FreeNotification(this);
  ActionChange(Value, ComponentState().Contains(csLoading));
}

void TKvSpeedButton::ActionChange(TBasicAction* Sender, bool CheckDefaults) {
  auto* a = dynamic_cast<TCustomAction*>(Sender);
  if (!a) return;
  if (!CheckDefaults || Caption().empty()) SetCaption(a->Caption());
  if (!CheckDefaults || Enabled()) SetEnabled(a->Enabled());
  if (!CheckDefaults || Hint().empty()) SetHint(a->Hint());
  if (!CheckDefaults || Visible()) SetVisible(a->Visible());
  if (FGroupIndex != 0 && (!CheckDefaults || !FDown)) SetDown(a->Checked());
  const TCustomImageList* images = a->ActionList() ? a->ActionList()->Images() : nullptr;
  if (Glyph().Empty() && images && images->Count() > 0 && a->ImageIndex() >= 0 && a->ImageIndex() < images->Count()) {
    TBitmap g(images->Width(), images->Height(), pf24bit);
    g.Canvas().Brush().SetColor(static_cast<TColor>(0xFF00FF));
    g.Canvas().FillRect(Rect(0, 0, g.Width(), g.Height()));
    images->Draw(g.Canvas(), 0, 0, a->ImageIndex());
    g.SetTransparentColor(static_cast<TColor>(0xFF00FF));
    SetGlyph(&g);
  }
}

// ---- painting ----

void TKvSpeedButton::DrawGlyphAndCaption(TCanvas& Canvas, const TRect& R, bool DrawMark, SpeedButtonState State) {
  FGlyph->Draw(Canvas, R, TPoint{0, 0}, Caption(), FLayout, FMargin, FSpacing, DrawMark, State, 0);
}

void TKvSpeedButton::Paint() {
  if (!Enabled()) {
    FState = sbsDisabled;
    FDragging = false;
  } else if (FState == sbsDisabled) {
    FState = FDown && FGroupIndex != 0 ? sbsLatched : sbsUp;
  }
  SpeedButtonState paintState = FState;
  if (FFlat && !FMouseInControl && !ComponentState().Contains(csDesigning)) paintState = sbsInactive;
  FOffscreen.SetSize(ClientWidth(), ClientHeight());
  TCanvas& c = FOffscreen.Canvas();
  c.Font().Assign(Font());
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clBtnFace);
  c.FillRect(Rect(0, 0, FOffscreen.Width(), FOffscreen.Height()));
  if (FTransparent) PaintParentBackground(this, c);
  TRect r = Rect(0, 0, FOffscreen.Width(), FOffscreen.Height());
  if (paintState == sbsInactive && FState != sbsLatched)
    r = Rect(r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2);
  else
    r = DrawButtonFrame(c, r, FState == sbsPressed || FState == sbsLatched, FStyle, FFlat);
  if (FState == sbsLatched && !FTransparent && (!FFlat || paintState == sbsInactive)) {
    // An 8 x 8 dither of face and highlight, anchored at the picture's origin.
    const TColor face = static_cast<TColor>(ColorToRGB(clBtnFace));
    const TColor hl = static_cast<TColor>(ColorToRGB(clBtnHighlight));
    const TRect d = Rect(std::max(r.Left - 1, 0), std::max(r.Top - 1, 0), std::min(r.Right + 1, FOffscreen.Width()),
                         std::min(r.Bottom + 1, FOffscreen.Height()));
    for (int32_t y = d.Top; y < d.Bottom; ++y)
      for (int32_t x = d.Left; x < d.Right; ++x) FOffscreen.SetPixelColor(x, y, ((x + y) & 1) ? hl : face);
  }
  if (FState == sbsPressed || FState == sbsLatched) r = Rect(r.Left + 1, r.Top + 1, r.Right + 1, r.Bottom + 1);
  SpeedButtonState glyphState = FState;
  if (FState != sbsDisabled && FGrayedInactive) glyphState = paintState;
  DrawGlyphAndCaption(c, r, FMarkDropDown && FDropDownMenu != nullptr, glyphState);
  Canvas().Draw(0, 0, FOffscreen);
}

// ---- mouse ----

void TKvSpeedButton::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (FMenuOpen) return;
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Enabled() && !FMouseInControl) {
    FMouseInControl = true;
    Repaint();
  }
  if (Button != mbLeft || !Enabled()) return;
  if (!FDown) {
    FState = sbsPressed;
    Repaint();
  }
  FDragging = true;
  FMenuTracking = true;
  if (FDropDownMenu && FDropDownMenu->AutoPopup()) {
    TPoint p;
    const int32_t w = Width(), h = Height();
    const TPopupAlignment a = FDropDownMenu->Alignment();
    if (FMenuPosition == dmpBottom) {
      p = TPoint{a == paLeft ? -1 : a == paRight ? w + 1 : w / 2, h};
    } else {
      p = a == paLeft ? TPoint{w, -1} : a == paRight ? TPoint{-1, -1} : TPoint{w / 2, h};
    }
    p = ClientToScreen(p);
    if (TCustomForm* f = GetParentForm(this)) f->Perform(WM_CANCELMODE);
    FDropDownMenu->SetPopupComponent(this);
    FMenuOpen = true;
    try {
      FDropDownMenu->Popup(p.X, p.Y);
    } catch (...) {
      FMenuOpen = false;
      FMenuTracking = false;
      throw;
    }
    FMenuOpen = false;
    MouseUp(mbLeft, Shift, X, Y);
    if (TWinControl* w = Parent(); w && w->HandleAllocated()) {
      DropPendingMessage(w->Handle(), WM_LBUTTONDOWN);
      DropPendingMessage(w->Handle(), WM_LBUTTONDBLCLK);
    }
  }
  FMenuTracking = false;
  if (FAllowTimer) {
    if (!FRepeatTimer) {
      FRepeatTimer = std::make_unique<TTimer>(nullptr);
      FRepeatTimer->SetEnabled(false);
      FRepeatTimer->SetOnTimer([this](TObject* S) { TimerExpired(S); });
    }
    FRepeatTimer->SetInterval(FInitPause);
    FRepeatTimer->SetEnabled(true);
  }
}

void TKvSpeedButton::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseMove(Shift, X, Y);
  if (!FDragging) return;
  SpeedButtonState s = Inside(X, Y) ? (FDown ? sbsLatched : sbsPressed) : (FDown ? sbsLatched : sbsUp);
  if (s != FState) {
    FState = s;
    Repaint();
  }
}

void TKvSpeedButton::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  if (Button == mbLeft && FDragging) {
    FDragging = false;
    const bool inside = Inside(X, Y);
    if (FGroupIndex == 0) {
      FState = sbsUp;
      FMouseInControl = false;
      if (inside) Repaint();
      else Invalidate();
    } else if (inside) {
      SetDown(!FDown);
      if (FDown) Repaint();
    } else if (FDown) {
      FState = sbsLatched;
      Repaint();
    }
    if (inside && !FMenuTracking) Click();
    UpdateTracking();
  }
  if (FRepeatTimer) FRepeatTimer->SetEnabled(false);
}

void TKvSpeedButton::TimerExpired(TObject*) {
  FRepeatTimer->SetInterval(FRepeatInterval);
  if (FState == sbsPressed && MouseCapture()) {
    try {
      Click();
    } catch (...) {
      FRepeatTimer->SetEnabled(false);
      throw;
    }
  }
}

void TKvSpeedButton::SetHovered(bool Value) {
  if (Value == FMouseInControl) return;
  FMouseInControl = Value;
  if (Value) {
    if (FFlat) Repaint();
    if (OnMouseEnter) OnMouseEnter(this);
  } else {
    if (FFlat) Invalidate();
    if (OnMouseLeave) OnMouseLeave(this);
  }
}

void TKvSpeedButton::UpdateTracking() { SetHovered(Enabled() && OwnsActiveWindow() && CursorOverControl(this)); }

void TKvSpeedButton::Click() {
  if (TCustomForm* f = GetParentForm(this)) f->SetModalResult(FModalResult);
  // A linked action runs unless the button has a click handler of its own.
  if (FAction && !OnClick) FAction->Execute();
  else TGraphicControl::Click();
}

void TKvSpeedButton::PerformButtonClick() {
  if (FMenuOpen || !Enabled() || (FDropDownMenu && FDropDownMenu->AutoPopup())) return;
  if (FState == sbsUp) {
    FState = sbsPressed;
    Repaint();
  }
  // The pressed look stays a moment, as a click by mouse would show it.
  const uint32_t start = GetTickCount();
  for (;;) {
    const uint32_t now = GetTickCount();
    if (now < start || now - start >= 20) break;
  }
  auto finish = [this] {
    FState = sbsUp;
    if (FGroupIndex == 0) {
      Repaint();
    } else {
      SetDown(!FDown);
      Click();
    }
  };
  try {
    if (FGroupIndex == 0) Click();
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

void TKvSpeedButton::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case WM_LBUTTONDBLCLK:
      if (FMenuTracking) return;
      TGraphicControl::Dispatch(Message);
      if (FDown && OnDblClick) OnDblClick(this);
      return;
    case CM_MOUSEENTER:
      TGraphicControl::Dispatch(Message);
      if (Enabled() && OwnsActiveWindow()) SetHovered(true);
      return;
    case CM_MOUSELEAVE:
      TGraphicControl::Dispatch(Message);
      if (Enabled() && !FDragging) SetHovered(false);
      return;
    case CM_ENABLEDCHANGED: {
      TGraphicControl::Dispatch(Message);
      FGlyph->CreateButtonGlyph(!Enabled() ? sbsDisabled : FFlat ? sbsInactive : sbsUp);
      UpdateTracking();
      // Painted with the next turn of the loop: actions switch many buttons
      // at once, and a paint each would be a round trip to the display each.
      Invalidate();
      return;
    }
    case CM_VISIBLECHANGED:
      TGraphicControl::Dispatch(Message);
      if (Visible()) UpdateTracking();
      return;
    case CM_SYSCOLORCHANGE:
      FGlyph->Invalidate();
      Invalidate();
      return;
    case CM_SPEEDBUTTONPRESSED: {
      auto* sender = reinterpret_cast<TKvSpeedButton*>(Message.LParam);
      if (sender && sender != this && static_cast<int32_t>(Message.WParam) == FGroupIndex && FParent) {
        if (sender->Down() && FDown) {
          FDown = false;
          FState = sbsUp;
          Repaint();
        }
        FAllowAllUp = sender->AllowAllUp();
      }
      return;
    }
    case CM_DIALOGCHAR:
      if (IsAccelKey(static_cast<uint32_t>(Message.WParam), Caption()) && Enabled() && Visible()) {
        Click();
        Message.Result = 1;
        return;
      }
      TGraphicControl::Dispatch(Message);
      return;
    default:
      TGraphicControl::Dispatch(Message);
  }
}

const TPropertyTable& TKvSpeedButton::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TKvSpeedButton>(TControl::PropertyTable(), [](auto& p) {
    p.Object("Action", &TKvSpeedButton::Action, &TKvSpeedButton::SetAction);
    p.Enum("Alignment", &TKvSpeedButton::Alignment, &TKvSpeedButton::SetAlignment,
           {"taLeftJustify", "taRightJustify", "taCenter"});
    p.Bool("AllowAllUp", &TKvSpeedButton::AllowAllUp, &TKvSpeedButton::SetAllowAllUp);
    p.Bool("AllowTimer", &TKvSpeedButton::AllowTimer, &TKvSpeedButton::SetAllowTimer);
    p.Integer("GroupIndex", &TKvSpeedButton::GroupIndex, &TKvSpeedButton::SetGroupIndex);
    p.Bool("Down", &TKvSpeedButton::Down, &TKvSpeedButton::SetDown);
    p.Object("DropDownMenu", &TKvSpeedButton::DropDownMenu, &TKvSpeedButton::SetDropDownMenu);
    p.Enum("MenuPosition", &TKvSpeedButton::MenuPosition, &TKvSpeedButton::SetMenuPosition,
           {"dmpBottom", "dmpRight"});
    p.Bool("Flat", &TKvSpeedButton::Flat, &TKvSpeedButton::SetFlat);
    p.Bool("GrayedInactive", &TKvSpeedButton::GrayedInactive, &TKvSpeedButton::SetGrayedInactive);
    p.Integer("InitPause", &TKvSpeedButton::InitPause, &TKvSpeedButton::SetInitPause);
    p.Integer("RepeatInterval", &TKvSpeedButton::RepeatInterval, &TKvSpeedButton::SetRepeatInterval);
    p.Enum("Layout", &TKvSpeedButton::Layout, &TKvSpeedButton::SetLayout,
           {"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"});
    p.Integer("Margin", &TKvSpeedButton::Margin, &TKvSpeedButton::SetMargin);
    p.Bool("MarkDropDown", &TKvSpeedButton::MarkDropDown, &TKvSpeedButton::SetMarkDropDown);
    p.Integer("ModalResult", &TKvSpeedButton::ModalResult, &TKvSpeedButton::SetModalResult);
    p.Integer("NumGlyphs", &TKvSpeedButton::NumGlyphs, &TKvSpeedButton::SetNumGlyphs);
    p.Integer("Spacing", &TKvSpeedButton::Spacing, &TKvSpeedButton::SetSpacing);
    p.Enum("Style", &TKvSpeedButton::Style, &TKvSpeedButton::SetStyle, {"bsAutoDetect", "bsWin31", "bsNew"});
    p.Bool("Transparent", &TKvSpeedButton::Transparent, &TKvSpeedButton::SetTransparent);
    p.Bool("WordWrap", &TKvSpeedButton::WordWrap, &TKvSpeedButton::SetWordWrap);
    p.Method("OnMouseEnter").Method("OnMouseLeave");
  });
  return table;
}

}  // namespace kv
