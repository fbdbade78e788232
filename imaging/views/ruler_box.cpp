#include "imaging/views/ruler_box.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/model/pixel.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {
// A scale denser than this many marks is not drawable anyway; the bound keeps
// absurd Frequency / DotPerUnit pairs from spinning.
constexpr int64_t kMaxMarks = 65536;
constexpr uint32_t kScrollInterval = 20;
}  // namespace

TRulerBox::TRulerBox(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csOpaque});
  FGrips.resize(1);
  FGrips[0].Color = FBackground;
  SetBounds(0, 0, 300, 40);
}

TRulerBox::~TRulerBox() = default;

int32_t TRulerBox::Length() const { return FRulerDir == rdHorizontal ? FBitmap.Width() : FBitmap.Height(); }
int32_t TRulerBox::Breadth() const { return FRulerDir == rdHorizontal ? FBitmap.Height() : FBitmap.Width(); }
int32_t TRulerBox::StripThickness() const {
  return FRuler ? Trunc32(std::abs(Font().Height()) * 1.7) + 3 : 0;
}

void TRulerBox::KeepViewPosInRange() {
  if (!(FViewMin < FViewMax)) return;
  if (FViewPos < FViewMin) FViewPos = FViewMin;
  const double visible = Length() / FDotPerUnit;
  if (FViewPos + visible > FViewMax) FViewPos = FViewMax - visible;
}

void TRulerBox::KeepGripInRange(TRulerGrip& G) const {
  if (G.Max > G.Min) G.Pos = std::clamp(G.Pos, G.Min, G.Max);
}

void TRulerBox::SetViewPos(double Value) {
  FViewPos = Value;
  KeepViewPosInRange();
  Update();
}
void TRulerBox::SetDotPerUnit(double Value) {
  if (!(Value > 0) || !std::isfinite(Value)) return;
  if (ComponentState().Contains(csDesigning) && FFitInView) return;
  FDotPerUnit = Value;
  Update();
}
void TRulerBox::SetFrequency(double Value) {
  FFrequency = Value;
  Update();
}
void TRulerBox::SetLabelFreq(double Value) {
  FLabelFreq = Value;
  Update();
}
void TRulerBox::SetViewMin(double Value) {
  FViewMin = Value;
  for (auto& g : FGrips) g.Min = Value;
  KeepViewPosInRange();
  Update();
}
void TRulerBox::SetViewMax(double Value) {
  FViewMax = Value;
  for (auto& g : FGrips) g.Max = Value;
  KeepViewPosInRange();
  Update();
}
void TRulerBox::SetBackground(TColor Value) {
  FBackground = Value;
  Update();
}
void TRulerBox::SetRulerColor(TColor Value) {
  FRulerColor = Value;
  Update();
}
void TRulerBox::SetGripBaseDim(int32_t Value) {
  FGripBaseDim = Value;
  Update();
}
void TRulerBox::SetGripsDir(TGripsDir Value) {
  FGripsDir = Value;
  Update();
}
void TRulerBox::SetRuler(bool Value) {
  FRuler = Value;
  Update();
}
void TRulerBox::SetRulerDir(TRulerDir Value) {
  FRulerDir = Value;
  Update();
}
void TRulerBox::SetFitInView(bool Value) {
  FFitInView = Value;
  Update();
}
void TRulerBox::SetHexLabels(bool Value) {
  FHexLabels = Value;
  Update();
}

void TRulerBox::SetGripsCount(int32_t Value) {
  Value = std::max(0, Value);
  const size_t old = FGrips.size();
  FGrips.resize(size_t(Value));
  for (size_t i = old; i < FGrips.size(); ++i) {
    FGrips[i].Color = FBackground;
    FGrips[i].Min = FViewMin;
    FGrips[i].Max = FViewMax;
  }
  if (FGrabbed >= Value) FGrabbed = -1;
  Update();
}

void TRulerBox::SetGripPos(int32_t Index, double Value) {
  if (Index < 0 || Index >= GripsCount()) return;
  TRulerGrip& g = FGrips[size_t(Index)];
  g.Pos = Value;
  KeepGripInRange(g);
  if (OnRulerPosChange) OnRulerPosChange(this, Index);
  Update();
}
double TRulerBox::GetGripPos(int32_t Index) const {
  return Index >= 0 && Index < GripsCount() ? FGrips[size_t(Index)].Pos : 0;
}
TColor TRulerBox::GetGripColor(int32_t Index) const {
  return Index >= 0 && Index < GripsCount() ? FGrips[size_t(Index)].Color : 0;
}
void TRulerBox::SetGripColor(int32_t Index, TColor Value) {
  if (Index < 0 || Index >= GripsCount()) return;
  FGrips[size_t(Index)].Color = Value;
  Update();
}
uint8_t TRulerBox::GetGripKind(int32_t Index) const {
  return Index >= 0 && Index < GripsCount() ? FGrips[size_t(Index)].Kind : 0;
}
void TRulerBox::SetGripKind(int32_t Index, uint8_t Value) {
  if (Index < 0 || Index >= GripsCount()) return;
  FGrips[size_t(Index)].Kind = Value;
  Update();
}

int32_t TRulerBox::GripPixel(int32_t Index) const {
  if (Index < 0 || Index >= GripsCount()) return 0;
  const double p = (FGrips[size_t(Index)].Pos - FViewPos) * FDotPerUnit;
  // Far-off grips land far outside the control; keep them in int range.
  return int32_t(std::clamp<int64_t>(Round(p), -(int64_t(1) << 30), int64_t(1) << 30));
}

std::string TRulerBox::LabelText(double Value) const {
  if (!FHexLabels) return FloatToStrF(Value, ffGeneral, 3, 0);
  const double a = std::trunc(std::fabs(Value));
  const auto n = static_cast<uint64_t>(std::min(a, 1.8e19));
  static const char digits[] = "0123456789ABCDEF";
  std::string s;
  uint64_t v = n;
  do {
    s.insert(s.begin(), digits[v & 15]);
    v >>= 4;
  } while (v != 0);
  return Value < 0 ? "-" + s : s;
}

std::vector<TPoint> TRulerBox::GripPolygon(int32_t Index) const {
  const int32_t B = Breadth();
  const int32_t t = StripThickness();
  const int32_t p = ComponentState().Contains(csDesigning) ? Index * (FGripBaseDim + 5) : GripPixel(Index);
  const int32_t h = FGripBaseDim / 2;
  const int32_t q = FGripBaseDim / 4;
  const int32_t base = FGripsDir == gdUp ? B - 1 : 0;
  const int32_t apex = FGripsDir == gdUp ? t : B - 1 - t;
  const int32_t m = apex + (base - apex) / 3;
  const int32_t n = apex + (base - apex) / 2;
  std::vector<TPoint> pts;
  switch (FGrips[size_t(Index)].Kind & 0x7F) {
    case 1: pts = {{p - h, base}, {p, base}, {p, apex}}; break;
    case 2: pts = {{p, base}, {p + h, base}, {p, apex}}; break;
    case 3:
      pts = {{p - q, base}, {p + q, base}, {p + q, m}, {p + h, m}, {p, apex}, {p - h, m}, {p - q, m}};
      break;
    case 4: pts = {{p - h, base}, {p + h, base}, {p + h, n}, {p, apex}, {p - h, n}}; break;
    default: pts = {{p - h, base}, {p + h, base}, {p, apex}}; break;
  }
  if (FRulerDir == rdVertical)
    for (auto& pt : pts) std::swap(pt.X, pt.Y);
  return pts;
}

int32_t TRulerBox::HitGrip(int32_t X, int32_t Y) const {
  for (int32_t i = GripsCount() - 1; i >= 0; --i) {
    const auto pts = GripPolygon(i);
    int32_t l = pts[0].X, r = l, t = pts[0].Y, b = t;
    for (const auto& pt : pts) {
      l = std::min(l, pt.X);
      r = std::max(r, pt.X);
      t = std::min(t, pt.Y);
      b = std::max(b, pt.Y);
    }
    if (X >= l && X <= r && Y >= t && Y <= b) return i;
  }
  return -1;
}

void TRulerBox::DrawLabel(int32_t P, const std::string& Text) {
  TCanvas& c = FBitmap.Canvas();
  const TSize ext = c.TextExtent(Text);
  if (FRulerDir == rdHorizontal) {
    const int32_t y = FGripsDir == gdUp ? 0 : FBitmap.Height() - ext.cy;
    c.TextOut(P - ext.cx / 2, y, Text);
    return;
  }
  // No rotated fonts on the canvas: the text is written upright into a
  // scratch picture and copied turned by a quarter, reading upwards on a
  // left strip and downwards on a right one.
  if (ext.cx <= 0 || ext.cy <= 0) return;
  TBitmap tmp(ext.cx, ext.cy, pf24bit);
  TCanvas& tc = tmp.Canvas();
  tc.Brush().SetStyle(bsSolid);
  tc.Brush().SetColor(FRulerColor);
  tc.FillRect(Rect(0, 0, ext.cx, ext.cy));
  tc.Font().Assign(Font());
  tc.Brush().SetStyle(bsClear);
  tc.TextOut(0, 0, Text);
  const int32_t W = FBitmap.Width(), H = FBitmap.Height();
  const int32_t x0 = FGripsDir == gdUp ? 0 : W - ext.cy;
  const int32_t y0 = P - ext.cx / 2;
  for (int32_t sy = 0; sy < ext.cy; ++sy) {
    const auto* src = static_cast<const TBGRPixel*>(tmp.ScanLine(sy));
    for (int32_t sx = 0; sx < ext.cx; ++sx) {
      const int32_t dx = FGripsDir == gdUp ? x0 + sy : x0 + ext.cy - 1 - sy;
      const int32_t dy = FGripsDir == gdUp ? y0 + ext.cx - 1 - sx : y0 + sx;
      if (dx >= 0 && dx < W && dy >= 0 && dy < H) static_cast<TBGRPixel*>(FBitmap.ScanLine(dy))[dx] = src[sx];
    }
  }
}

void TRulerBox::DrawScale(int32_t T) {
  TCanvas& c = FBitmap.Canvas();
  const int32_t L = Length();
  const int32_t B = Breadth();
  const bool horz = FRulerDir == rdHorizontal;
  // Start of the strip's inner edge and the direction towards its outer edge.
  const int32_t inner = FGripsDir == gdUp ? T - 1 : B - T;
  const int32_t out = FGripsDir == gdUp ? -1 : 1;
  auto line = [&](int32_t a, int32_t len) {
    if (horz) {
      c.MoveTo(a, inner);
      c.LineTo(a, inner + out * len);
    } else {
      c.MoveTo(inner, a);
      c.LineTo(inner + out * len, a);
    }
  };
  auto marks = [&](double freq, int32_t len, bool label) {
    if (!(freq > 0) || !std::isfinite(freq)) return;
    const double start = std::floor(FViewPos / freq) * freq;
    const double count = std::trunc(L / FDotPerUnit / freq) + 2;
    if (!(count < double(kMaxMarks))) return;
    for (int64_t i = 0; i < int64_t(count); ++i) {
      const double v = start + double(i) * freq;
      const int32_t p = Round32((v - FViewPos) * FDotPerUnit);
      line(p, len);
      if (label) DrawLabel(p, LabelText(v));
    }
  };
  c.Pen().SetColor(Font().Color());
  c.Font().Assign(Font());
  c.Brush().SetStyle(bsClear);
  marks(FFrequency, T / 4, false);
  marks(FLabelFreq, T / 2, true);
  c.Brush().SetStyle(bsSolid);
}

void TRulerBox::Update() {
  if (FUpdating) return;
  FUpdating = true;
  if (FFitInView && FViewMin < FViewMax && Length() > 0) {
    FDotPerUnit = Length() / (FViewMax - FViewMin);
    KeepViewPosInRange();
  }
  const int32_t W = FBitmap.Width(), H = FBitmap.Height();
  if (W > 0 && H > 0) {
    TCanvas& c = FBitmap.Canvas();
    c.Pen().SetMode(pmCopy);
    c.Pen().SetWidth(1);
    c.Brush().SetStyle(bsSolid);
    const int32_t t = std::min(StripThickness(), Breadth());
    const int32_t B = Breadth();
    TRect strip, rest;
    const int32_t s0 = FGripsDir == gdUp ? 0 : B - t;
    const int32_t r0 = FGripsDir == gdUp ? t : 0;
    if (FRulerDir == rdHorizontal) {
      strip = Rect(0, s0, W, s0 + t);
      rest = Rect(0, r0, W, r0 + B - t);
    } else {
      strip = Rect(s0, 0, s0 + t, H);
      rest = Rect(r0, 0, r0 + B - t, H);
    }
    c.Brush().SetColor(FBackground);
    c.FillRect(rest);
    c.Brush().SetColor(FRulerColor);
    c.FillRect(strip);
    if (FRuler && t > 0) DrawScale(t);
    c.Pen().SetColor(clBlack);
    for (int32_t i = 0; i < GripsCount(); ++i) {
      c.Brush().SetColor(FGrips[size_t(i)].Color);
      c.Polygon(GripPolygon(i));
    }
  }
  Invalidate();
  TCustomControl::Update();
  FUpdating = false;
}

void TRulerBox::Resize() {
  FBitmap.SetSize(std::max(0, ClientWidth()), std::max(0, ClientHeight()));
  Update();
  TCustomControl::Resize();
}

void TRulerBox::Dispatch(TMessage& Message) {
  TCustomControl::Dispatch(Message);
  if (Message.Msg == CM_FONTCHANGED) Update();
}

void TRulerBox::Paint() { Canvas().Draw(0, 0, FBitmap); }

void TRulerBox::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  FGrabbed = HitGrip(X, Y);
  FDownPt = Point(X, Y);
  FLastMouse = FDownPt;
  if (FGrabbed >= 0) {
    FDownGripPixel = GripPixel(FGrabbed);
    if (Shift.Contains(ssDouble) && OnRulerGripDblClick) OnRulerGripDblClick(this, FGrabbed);
  } else if (OnRulerClick) {
    OnRulerClick(this, (FRulerDir == rdHorizontal ? X : Y) / FDotPerUnit + FViewPos);
  }
}

bool TRulerBox::ScrollStep() {
  if (FGrabbed < 0) return false;
  const int32_t a = FRulerDir == rdHorizontal ? FLastMouse.X : FLastMouse.Y;
  const int32_t L = Length();
  if (a >= 0 && a < L) return false;
  const double step = 1 / FDotPerUnit;
  TRulerGrip& g = FGrips[size_t(FGrabbed)];
  if (a < 0) {
    FViewPos -= step;
    KeepViewPosInRange();
    g.Pos = FViewPos - step;  // one pixel before the start
  } else {
    FViewPos += step;
    KeepViewPosInRange();
    g.Pos = FViewPos + L * step;  // one pixel past the end
  }
  KeepGripInRange(g);
  if (OnRulerPosChange) OnRulerPosChange(this, FGrabbed);
  Update();
  return true;
}

void TRulerBox::ScrollTimer(TObject*) {
  if (!ScrollStep() && FScrollTimer) FScrollTimer->SetEnabled(false);
}

void TRulerBox::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  if (FGrabbed < 0) return;
  FLastMouse = Point(X, Y);
  const int32_t a = FRulerDir == rdHorizontal ? X : Y;
  const int32_t a0 = FRulerDir == rdHorizontal ? FDownPt.X : FDownPt.Y;
  if (a >= 0 && a < Length()) {
    if (FScrollTimer) FScrollTimer->SetEnabled(false);
    SetGripPos(FGrabbed, (FDownGripPixel + (a - a0)) / FDotPerUnit + FViewPos);
    return;
  }
  // Beyond an end the ruler scrolls, one pixel per step, for as long as the
  // button is held there.
  ScrollStep();
  if (!FScrollTimer) {
    FScrollTimer = std::make_unique<TTimer>(nullptr);
    FScrollTimer->SetInterval(kScrollInterval);
    FScrollTimer->SetOnTimer([this](TObject* S) { ScrollTimer(S); });
  }
  FScrollTimer->SetEnabled(true);
}

void TRulerBox::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (FScrollTimer) FScrollTimer->SetEnabled(false);
  const int32_t g = FGrabbed;
  FGrabbed = -1;
  if (g >= 0 && X == FDownPt.X && Y == FDownPt.Y && OnRulerGripClick) OnRulerGripClick(this, g);
}

}  // namespace kv
