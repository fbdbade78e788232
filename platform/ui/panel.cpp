// Panels: bevels drawn inside the client area, the caption in the middle.
#include "platform/ui/panel.h"

#include <algorithm>

namespace kv {

void Frame3D(TCanvas& Canvas, TRect& R, TColor TopColor, TColor BottomColor, int32_t Width) {
  TPen& pen = Canvas.Pen();
  const TColor oldColor = pen.Color();
  const int32_t oldWidth = pen.Width();
  pen.SetWidth(1);
  for (int32_t i = 0; i < Width; ++i) {
    --R.Bottom;
    --R.Right;
    pen.SetColor(TopColor);
    Canvas.MoveTo(R.Left, R.Bottom);
    Canvas.LineTo(R.Left, R.Top);
    Canvas.LineTo(R.Right, R.Top);
    pen.SetColor(BottomColor);
    Canvas.LineTo(R.Right, R.Bottom);
    Canvas.LineTo(R.Left - 1, R.Bottom);
    ++R.Left;
    ++R.Top;
  }
  pen.SetColor(oldColor);
  pen.SetWidth(oldWidth);
}

TCustomPanel::TCustomPanel(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csOpaque,
                                csDoubleClicks, csReplicatable};
  FColor = clBtnFace;
  FWidth = 185;
  FHeight = 41;
}

void TCustomPanel::SetBevelInner(TPanelBevel Value) {
  if (Value == FBevelInner) return;
  FBevelInner = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelOuter(TPanelBevel Value) {
  if (Value == FBevelOuter) return;
  FBevelOuter = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBevelWidth(TBevelWidth Value) {
  if (Value == FBevelWidth) return;
  FBevelWidth = Value;
  Realign();
  Invalidate();
}

void TCustomPanel::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  if (HandleAllocated()) RecreateWnd();
  Realign();
}

void TCustomPanel::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TCustomPanel::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (FBorderStyle == bsSingle) Params.Style |= WS_BORDER;
}

TRect TCustomPanel::AdjustClientRect() const {
  TRect r = TCustomControl::AdjustClientRect();
  int32_t bevel = 0;
  if (FBevelOuter != bvNone) bevel += FBevelWidth;
  if (FBevelInner != bvNone) bevel += FBevelWidth;
  return Rect(r.Left + bevel, r.Top + bevel, r.Right - bevel, r.Bottom - bevel);
}

void TCustomPanel::Paint() {
  TRect r = ClientRect();
  TCanvas& c = Canvas();
  auto bevelColors = [](TPanelBevel B, TColor& Top, TColor& Bottom) {
    Top = B == bvLowered ? clBtnShadow : clBtnHighlight;
    Bottom = B == bvLowered ? clBtnHighlight : clBtnShadow;
    if (B == bvSpace) Top = Bottom = clBtnFace;
  };
  TColor top, bottom;
  if (FBevelOuter != bvNone) {
    bevelColors(FBevelOuter, top, bottom);
    Frame3D(c, r, top, bottom, FBevelWidth);
  }
  if (FBevelInner != bvNone) {
    bevelColors(FBevelInner, top, bottom);
    Frame3D(c, r, top, bottom, FBevelWidth);
  }
  c.Brush().SetColor(FColor);
  c.Brush().SetStyle(bsSolid);
  c.FillRect(r);
  if (FText.empty()) return;
  c.Font().Assign(FFont);
  c.Brush().SetStyle(bsClear);
  uint32_t fmt = DT_VCENTER | DT_SINGLELINE | DT_EXPANDTABS;
  fmt |= FAlignment == taCenter ? DT_CENTER : FAlignment == taRightJustify ? DT_RIGHT : DT_LEFT;
  DrawText(c, FText, r, fmt);
}

const TPropertyTable& TCustomPanel::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomPanel>(TWinControl::PropertyTable(), [](auto& p) {
    const std::vector<std::string> bevels{"bvNone", "bvLowered", "bvRaised", "bvSpace"};
    p.Enum("BevelInner", &TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner, bevels);
    p.Enum("BevelOuter", &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter, bevels);
    p.Integer("BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth);
    p.Enum("BorderStyle", &TCustomPanel::BorderStyle, &TCustomPanel::SetBorderStyle,
           {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"});
    p.Enum("Alignment", &TCustomPanel::Alignment, &TCustomPanel::SetAlignment,
           {"taLeftJustify", "taRightJustify", "taCenter"});
    p.Bool("Locked", &TCustomPanel::Locked, &TCustomPanel::SetLocked);
  });
  return table;
}

}  // namespace kv
