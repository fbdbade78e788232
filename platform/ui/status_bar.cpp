// TStatusBar: the status line, painted by itself.
#include "platform/ui/status_bar.h"

#include <algorithm>

#include "platform/ui/panel.h"

namespace kv {

TStatusBar::TStatusBar(TComponent* AOwner) : TCustomControl(AOwner) {
  FColor = clBtnFace;
  FHeight = 19;
  FWidth = 200;
  FAlign = alBottom;
}

void TStatusBar::SetSimplePanel(bool Value) {
  if (Value == FSimplePanel) return;
  FSimplePanel = Value;
  Invalidate();
}

void TStatusBar::SetSimpleText(const std::string& Value) {
  if (Value == FSimpleText) return;
  FSimpleText = Value;
  if (FSimplePanel) Invalidate();
}

void TStatusBar::SetPanelCount(int32_t Value) {
  FPanels.resize(size_t(std::max(Value, 0)));
  Invalidate();
}

std::string TStatusBar::PanelText(int32_t Index) const {
  if (Index < 0 || Index >= PanelCount()) return {};
  return FPanels[size_t(Index)].Text;
}

void TStatusBar::SetPanelText(int32_t Index, const std::string& Value) {
  if (Index < 0 || Index >= PanelCount() || FPanels[size_t(Index)].Text == Value) return;
  FPanels[size_t(Index)].Text = Value;
  if (!FSimplePanel) Invalidate();
}

void TStatusBar::SetPanelWidth(int32_t Index, int32_t Value) {
  if (Index < 0 || Index >= PanelCount()) return;
  FPanels[size_t(Index)].Width = std::max(Value, 0);
  if (!FSimplePanel) Invalidate();
}

void TStatusBar::DrawSection(const TRect& R, const std::string& Text) {
  TCanvas& c = Canvas();
  TRect inner = R;
  Frame3D(c, inner, clBtnShadow, clBtnHighlight, 1);
  c.Brush().SetColor(FColor);
  const int32_t y = inner.Top + (inner.Height() - c.TextHeight("Wg")) / 2;
  c.TextRect(inner, inner.Left + 2, y, Text);
}

void TStatusBar::Paint() {
  TCanvas& c = Canvas();
  c.Font().Assign(Font());
  c.Brush().SetColor(FColor);
  c.Brush().SetStyle(bsSolid);
  c.FillRect(ClientRect());
  const TRect all = ClientRect();
  if (FSimplePanel || FPanels.empty()) {
    DrawSection(Rect(all.Left, all.Top + 2, all.Right, all.Bottom), FSimplePanel ? FSimpleText : std::string());
    return;
  }
  int32_t x = all.Left;
  for (size_t i = 0; i < FPanels.size(); ++i) {
    const int32_t right = i + 1 == FPanels.size() ? all.Right : std::min(all.Right, x + FPanels[i].Width);
    DrawSection(Rect(x, all.Top + 2, right, all.Bottom), FPanels[i].Text);
    x = right + 2;
    if (x >= all.Right) break;
  }
}

}  // namespace kv
