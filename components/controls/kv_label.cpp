// The shadowed label: measuring and painting passes, hover and accelerator.
#include "components/controls/kv_label.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "components/controls/button_glyph.h"
#include "components/controls/control_input.h"
#include "components/draw_utils.h"

namespace kv {

int32_t DrawTextWithShadow(TCanvas& Canvas, const std::string& Text, TShadowPosition Pos, TColor ShadowColor,
                           int32_t ShadowSize, uint32_t Format, TRect& R) {
  TRect shadow = R, text = R;
  const int32_t s = ShadowSize;
  const int32_t dx = Pos == spLeftTop || Pos == spLeftBottom ? -s : s;
  const int32_t dy = Pos == spLeftTop || Pos == spRightTop ? -s : s;
  shadow.Left += dx;
  shadow.Right += dx;
  shadow.Top += dy;
  shadow.Bottom += dy;
  const TColor old = Canvas.Font().Color();
  Canvas.Font().SetColor(ShadowColor);
  int32_t h = DrawText(Canvas, Text, shadow, Format);
  Canvas.Font().SetColor(old);
  DrawText(Canvas, Text, text, Format);
  R = Rect(std::min(shadow.Left, text.Left), std::min(shadow.Top, text.Top), std::max(shadow.Right, text.Right),
           std::max(shadow.Bottom, text.Bottom));
  if (h > 0) h += s;
  return h;
}

TKvCustomLabel::TKvCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle.Include(csOpaque);
  FControlStyle.Include(csReplicatable);
  FWidth = 65;
  FHeight = 17;
}

TKvCustomLabel::~TKvCustomLabel() = default;

TColor TKvCustomLabel::DefaultTextColor() { return Font().Color(); }

std::string TKvCustomLabel::CaptionForPaint() { return Text(); }

void TKvCustomLabel::DoDrawText(TCanvas& Canvas, TRect& R, uint32_t Flags) {
  std::string text = CaptionForPaint();
  if ((Flags & DT_CALCRECT) && (text.empty() || (FShowAccelChar && text == "&"))) text += " ";
  if (!FShowAccelChar) Flags |= DT_NOPREFIX;
  Canvas.Font().Assign(Font());
  Canvas.Font().SetColor(DefaultTextColor());
  TShadowPosition pos = FShadowPos;
  int32_t size = FShadowSize;
  TColor shadow = FShadowColor;
  if (!Enabled()) {
    if (FShadowSize == 0 && NewStyleControls()) {
      pos = spRightBottom;
      size = 1;
    }
    Canvas.Font().SetColor(clGrayText);
    shadow = clBtnHighlight;
  }
  DrawTextWithShadow(Canvas, text, pos, shadow, size, Flags, R);
}

void TKvCustomLabel::Paint() {
  if (!Enabled() && !ComponentState().Contains(csDesigning)) FPressedOnLabel = false;
  TCanvas& c = Canvas();
  const TRect client = ClientRect();
  if (!Transparent()) {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.FillRect(client);
  } else {
    PaintParentBackground(this, c);
  }
  c.Brush().SetStyle(bsClear);
  TRect r = Rect(client.Left + 1, client.Top + 1, client.Right - 1, client.Bottom - 1);
  uint32_t flags = DT_EXPANDTABS | (FWordWrap ? DT_WORDBREAK : 0);
  flags |= FAlignment == taLeftJustify ? DT_LEFT : FAlignment == taRightJustify ? DT_RIGHT : DT_CENTER;
  if (FLayout != tlTop) {
    TRect m = r;
    DoDrawText(c, m, flags | DT_CALCRECT);
    m.Left = client.Left;
    m.Right = client.Right;
    const int32_t shift = FLayout == tlBottom ? Height() - m.Bottom : (Height() - m.Bottom) / 2;
    r = Rect(r.Left, m.Top + shift, r.Right, m.Bottom + shift);
  }
  DoDrawText(c, r, flags);
  if (FShowFocus && FFocusControl && FFocused && !ComponentState().Contains(csDesigning)) {
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(Color());
    c.DrawFocusRect(Rect(r.Left - 1, r.Top - 1, r.Right + 1, r.Bottom + 1));
  }
}

void TKvCustomLabel::AdjustBounds() {
  if (!FAutoSize || ComponentState().Contains(csLoading)) return;
  TBitmap scratch(1, 1, pf24bit);
  TRect r = Rect(1, 1, std::max(ClientWidth() - 1, 1), std::max(ClientHeight() - 1, 1));
  DoDrawText(scratch.Canvas(), r, DT_EXPANDTABS | DT_CALCRECT | (FWordWrap ? DT_WORDBREAK : 0));
  r = Rect(r.Left - 1, r.Top - 1, r.Right + 1, r.Bottom + 1);
  int32_t left = FLeft;
  if (FAlignment == taRightJustify) left = FLeft + FWidth - r.Width();
  SetBounds(left, FTop, r.Width(), r.Height());
}

void TKvCustomLabel::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TKvCustomLabel::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  AdjustBounds();
}

void TKvCustomLabel::SetLayout(TTextLayout Value) {
  if (Value == FLayout) return;
  FLayout = Value;
  Invalidate();
}

void TKvCustomLabel::SetShadowColor(TColor Value) {
  if (Value == FShadowColor) return;
  FShadowColor = Value;
  Invalidate();
}

void TKvCustomLabel::SetShadowSize(uint8_t Value) {
  if (Value == FShadowSize) return;
  FShadowSize = Value;
  AdjustBounds();
  Invalidate();
}

void TKvCustomLabel::SetShadowPos(TShadowPosition Value) {
  if (Value == FShadowPos) return;
  FShadowPos = Value;
  Invalidate();
}

void TKvCustomLabel::SetShowAccelChar(bool Value) {
  if (Value == FShowAccelChar) return;
  FShowAccelChar = Value;
  Invalidate();
}

void TKvCustomLabel::SetShowFocus(bool Value) {
  if (Value == FShowFocus) return;
  FShowFocus = Value;
  Invalidate();
}

void TKvCustomLabel::SetFocusControl(TWinControl* Value) {
  if (Value == FFocusControl) return;
  if (FFocusControl) FFocusControl->RemoveFreeNotification(this);
  FFocusControl = Value;
  if (Value) Value->FreeNotification(this);
  if (FShowFocus) Invalidate();
}

void TKvCustomLabel::SetTransparent(bool Value) {
  if (Value == Transparent()) return;
  if (Value) FControlStyle.Exclude(csOpaque);
  else FControlStyle.Include(csOpaque);
  Invalidate();
}

void TKvCustomLabel::SetWordWrap(bool Value) {
  if (Value == FWordWrap) return;
  FWordWrap = Value;
  AdjustBounds();
  Invalidate();
}

void TKvCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FFocusControl) FFocusControl = nullptr;
}

void TKvCustomLabel::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (Button == mbLeft && Enabled()) FPressedOnLabel = true;
  TGraphicControl::MouseDown(Button, Shift, X, Y);
  if (Button == mbRight) UpdateTracking();
}

void TKvCustomLabel::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (Button == mbLeft) FPressedOnLabel = false;
  TGraphicControl::MouseUp(Button, Shift, X, Y);
  UpdateTracking();
}

void TKvCustomLabel::SetHovered(bool Value) {
  if (Value == FHovered) return;
  FHovered = Value;
  if (Value) {
    if (OnMouseEnter) OnMouseEnter(this);
  } else if (OnMouseLeave) {
    OnMouseLeave(this);
  }
}

void TKvCustomLabel::UpdateTracking() { SetHovered(Enabled() && OwnsActiveWindow() && CursorOverControl(this)); }

void TKvCustomLabel::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_MOUSEENTER:
      TGraphicControl::Dispatch(Message);
      if (Enabled() && OwnsActiveWindow()) SetHovered(true);
      return;
    case CM_MOUSELEAVE:
      TGraphicControl::Dispatch(Message);
      if (Enabled() && !FControlState.Contains(csLButtonDown)) SetHovered(false);
      return;
    case CM_ENABLEDCHANGED:
      TGraphicControl::Dispatch(Message);
      UpdateTracking();
      Invalidate();
      return;
    case CM_VISIBLECHANGED:
      TGraphicControl::Dispatch(Message);
      if (Visible()) UpdateTracking();
      return;
    case CM_FOCUSCHANGED:
      TGraphicControl::Dispatch(Message);
      FFocused = FFocusControl && reinterpret_cast<TWinControl*>(Message.LParam) == FFocusControl;
      if (FShowFocus) Invalidate();
      return;
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      TGraphicControl::Dispatch(Message);
      AdjustBounds();
      Invalidate();
      return;
    case CM_DIALOGCHAR:
      if (FFocusControl && Enabled() && FShowAccelChar && IsAccelKey(static_cast<uint32_t>(Message.WParam), Caption()) &&
          FFocusControl->CanFocus()) {
        FFocusControl->SetFocus();
        Message.Result = 1;
        return;
      }
      TGraphicControl::Dispatch(Message);
      return;
    default:
      TGraphicControl::Dispatch(Message);
  }
}

const TPropertyTable& TKvCustomLabel::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TKvCustomLabel>(TControl::PropertyTable(), [](auto& p) {
    p.Enum("Alignment", &TKvCustomLabel::Alignment, &TKvCustomLabel::SetAlignment,
           {"taLeftJustify", "taRightJustify", "taCenter"});
    p.Bool("AutoSize", &TKvCustomLabel::AutoSize, &TKvCustomLabel::SetAutoSize);
    p.Enum("Layout", &TKvCustomLabel::Layout, &TKvCustomLabel::SetLayout, {"tlTop", "tlCenter", "tlBottom"});
    p.Integer("ShadowColor", &TKvCustomLabel::ShadowColor, &TKvCustomLabel::SetShadowColor);
    p.Integer("ShadowSize", &TKvCustomLabel::ShadowSize, &TKvCustomLabel::SetShadowSize);
    p.Enum("ShadowPos", &TKvCustomLabel::ShadowPos, &TKvCustomLabel::SetShadowPos,
           {"spLeftTop", "spLeftBottom", "spRightBottom", "spRightTop"});
    p.Bool("ShowAccelChar", &TKvCustomLabel::ShowAccelChar, &TKvCustomLabel::SetShowAccelChar);
    p.Bool("ShowFocus", &TKvCustomLabel::ShowFocus, &TKvCustomLabel::SetShowFocus);
    p.Object("FocusControl", &TKvCustomLabel::FocusControl, &TKvCustomLabel::SetFocusControl);
    p.Bool("Transparent", &TKvCustomLabel::Transparent, &TKvCustomLabel::SetTransparent);
    p.Bool("WordWrap", &TKvCustomLabel::WordWrap, &TKvCustomLabel::SetWordWrap);
    p.Method("OnMouseEnter").Method("OnMouseLeave");
  });
  return table;
}

// ---- the program's label ----

namespace {
uint8_t GLabelShadowSize = 1;
// Labels alive now; all live on the GUI thread.
std::vector<TmyKvLabel*>& LiveLabels() {
  static std::vector<TmyKvLabel*> labels;
  return labels;
}
}  // namespace

int32_t LabelShadowSize() { return GLabelShadowSize; }

void SetLabelShadowSize(int32_t Value) {
  GLabelShadowSize = uint8_t(std::clamp(Value, 0, 255));
  for (TmyKvLabel* l : LiveLabels()) l->SetShadowSize(GLabelShadowSize);
}

TmyKvLabel::TmyKvLabel(TComponent* AOwner) : TKvLabel(AOwner) {
  SetShadowSize(GLabelShadowSize);
  LiveLabels().push_back(this);
}

TmyKvLabel::~TmyKvLabel() { std::erase(LiveLabels(), this); }

void TmyKvLabel::Paint() {
  // A size set on one label by hand gives way to the program's at its next paint.
  if (ShadowSize() != GLabelShadowSize) SetShadowSize(GLabelShadowSize);
  TKvLabel::Paint();
}

}  // namespace kv
