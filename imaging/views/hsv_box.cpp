#include "imaging/views/hsv_box.h"

#include <algorithm>
#include <vector>

#include "imaging/processing/colour_convert.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

THSVBox::THSVBox(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls, csOpaque});
  SetBounds(0, 0, 105, 105);
}

int32_t THSVBox::SquareWidth() const { return FBitmap.Width() - FBarsDistance - FHueBarWidth; }

void THSVBox::ComputeRGB() {
  TBGRPixel p;
  HSVToRGB(p, FHue, FSat, FVal);
  FRed = p.r;
  FGreen = p.g;
  FBlue = p.b;
  FColor = static_cast<TColor>(RGB(FRed, FGreen, FBlue));
}

void THSVBox::DrawSquare() {
  const int32_t h = FBitmap.Height();
  const int32_t s = std::min(SquareWidth(), FBitmap.Width());
  if (s <= 0 || h <= 0) return;
  // The saturation of a column does not depend on the row: one table per redraw.
  std::vector<int32_t> sat(static_cast<size_t>(s));
  for (int32_t f = 0; f < s; ++f) sat[size_t(f)] = Trunc32(double(f) * 100.0 / s);
  for (int32_t r = 0; r < h; ++r) {
    const int32_t v = Trunc32(100.0 / h * r);
    auto* row = static_cast<TBGRPixel*>(FBitmap.ScanLine(h - 1 - r));
    for (int32_t f = 0; f < s; ++f) HSVToRGB(row[f], FHue, sat[size_t(f)], v);
  }
}

void THSVBox::DrawHueBar() {
  const int32_t w = FBitmap.Width();
  const int32_t h = FBitmap.Height();
  const int32_t left = std::max(0, SquareWidth() + FBarsDistance);
  for (int32_t r = 0; r < h; ++r) {
    TBGRPixel p;
    HSVToRGB(p, Trunc32(360.0 / h * r), 99, 99);
    auto* row = static_cast<TBGRPixel*>(FBitmap.ScanLine(h - 1 - r));
    std::fill(row + left, row + std::max(left, w), p);
  }
}

void THSVBox::DrawIndicators() {
  const int32_t w = FBitmap.Width();
  const int32_t h = FBitmap.Height();
  const int32_t s = SquareWidth();
  if (w <= 0 || h <= 0) return;
  TCanvas& c = FBitmap.Canvas();
  c.Pen().SetMode(pmNot);
  c.Pen().SetColor(clBlack);
  c.Pen().SetWidth(1);
  c.Brush().SetStyle(bsClear);
  const int32_t yb = Round32((h - 1) * (359 - FHue) / 360.0);
  c.Rectangle(std::max(0, s + FBarsDistance), yb - 2, w, yb + 2);
  if (s > 0) {
    const int32_t x = Round32(FSat / 99.0 * (s - 1));
    const int32_t y = h - Round32((h - 1) * FVal / 99.0);
    c.Rectangle(x - 3, y - 4, x + 3, y + 2);
  }
  c.Pen().SetMode(pmCopy);
  c.Brush().SetStyle(bsSolid);
}

void THSVBox::DrawAll() {
  if (FBitmap.Width() <= 0 || FBitmap.Height() <= 0) return;
  TCanvas& c = FBitmap.Canvas();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(FBackground);
  c.FillRect(Rect(0, 0, FBitmap.Width(), FBitmap.Height()));
  DrawSquare();
  DrawHueBar();
  DrawIndicators();
  Invalidate();
}

template <class F>
void THSVBox::Reindicate(F Change) {
  const int32_t oldHue = FHue;
  DrawIndicators();
  Change();
  ComputeRGB();
  if (FHue != oldHue) DrawSquare();
  DrawIndicators();
  Invalidate();
}

void THSVBox::SetHue(int32_t Value) {
  Reindicate([&] { FHue = std::clamp(Value, 0, 359); });
}
void THSVBox::SetSat(int32_t Value) {
  Reindicate([&] { FSat = std::clamp(Value, 0, 99); });
}
void THSVBox::SetVal(int32_t Value) {
  Reindicate([&] { FVal = std::clamp(Value, 0, 99); });
}

void THSVBox::SetRGB(uint8_t R, uint8_t G, uint8_t B) {
  DrawIndicators();
  const int32_t oldHue = FHue;
  FRed = R;
  FGreen = G;
  FBlue = B;
  FColor = static_cast<TColor>(RGB(R, G, B));
  RGBToHSV((uint32_t(R) << 16) | (uint32_t(G) << 8) | B, FHue, FSat, FVal);
  if (FHue != oldHue) DrawSquare();
  DrawIndicators();
  Invalidate();
}

void THSVBox::SetColor(TColor Value) {
  const TColorRef c = ColorToRGB(Value);
  SetRGB(GetRValue(c), GetGValue(c), GetBValue(c));
}

void THSVBox::SetBackground(TColor Value) {
  FBackground = Value;
  DrawAll();
}
void THSVBox::SetHueBarWidth(int32_t Value) {
  if (Value < 0) return;
  FHueBarWidth = Value;
  DrawAll();
}
void THSVBox::SetBarsDistance(int32_t Value) {
  if (Value < 0) return;
  FBarsDistance = Value;
  DrawAll();
}

void THSVBox::Resize() {
  FBitmap.SetSize(std::max(0, ClientWidth()), std::max(0, ClientHeight()));
  DrawAll();
  TCustomControl::Resize();
}

void THSVBox::Paint() { Canvas().Draw(0, 0, FBitmap); }

void THSVBox::Pick(int32_t X, int32_t Y) {
  const int32_t h = FBitmap.Height();
  const int32_t s = SquareWidth();
  // One-pixel areas have no extent to divide by: they pick the start.
  const double fy = h > 1 ? double(Y) / (h - 1) : 0.0;
  DrawIndicators();
  if (FGrabbed == 1) {
    FSat = s > 1 ? Round32(double(X) / (s - 1) * 99) : 0;
    FVal = 99 - Round32(fy * 99);
  } else {
    FHue = 359 - Round32(fy * 359);
    DrawSquare();
  }
  ComputeRGB();
  if (OnChange) OnChange(this);
  DrawIndicators();
  Invalidate();
}

void THSVBox::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  const int32_t s = SquareWidth();
  if (X < s)
    FGrabbed = 1;
  else if (X >= s + FBarsDistance)
    FGrabbed = 2;
  else
    FGrabbed = 0;
  PickClamped(X, Y);
}

void THSVBox::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  PickClamped(X, Y);
}

void THSVBox::PickClamped(int32_t X, int32_t Y) {
  if (FGrabbed == 0 || FBitmap.Width() <= 0 || FBitmap.Height() <= 0) return;
  const int32_t s = SquareWidth();
  const int32_t w = FBitmap.Width();
  if (FGrabbed == 1)
    X = std::clamp(X, 0, std::max(0, s - 1));
  else
    X = std::clamp(X, std::min(w - 1, std::max(0, s + FBarsDistance)), w - 1);
  Y = std::clamp(Y, 0, FBitmap.Height() - 1);
  Pick(X, Y);
}

void THSVBox::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  FGrabbed = 0;
}

}  // namespace kv
