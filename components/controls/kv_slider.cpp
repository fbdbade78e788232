// The slider: pictures, ruler building, value and position, steps, ticks, painting.
#include "components/controls/kv_slider.h"

#include <algorithm>

#include "components/draw_utils.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/ui/forms.h"

namespace kv {

namespace {

constexpr int32_t kInset = 6;             // the ruler starts this far inside the client area
constexpr uint32_t kRepeatMs = 400;       // page steps repeat at this period while held
constexpr int32_t kTickSpacing = 4;       // ticks at least this far apart
constexpr TColor kSeeThrough = TColor(RGB(255, 0, 255));

void Fill(TBitmap& B, const TRect& R, TColor C) {
  B.Canvas().Brush().SetStyle(bsSolid);
  B.Canvas().Brush().SetColor(C);
  B.Canvas().FillRect(R);
}

// A raised (or, pressed, a flat dark-faced) thumb of W x H at X, with a
// pointed end towards the ruler's ticks.
void DrawThumb(TBitmap& B, int32_t X, int32_t W, int32_t H, bool Vertical, bool Pressed) {
  const TColor face = Pressed ? clBtnShadow : clBtnFace;
  auto px = [&](int32_t u, int32_t v, TColor c) {
    const TColor rgb = TColor(ColorToRGB(c));  // system colours as the screen shows them now
    if (Vertical) B.SetPixelColor(X + v, u, rgb);
    else B.SetPixelColor(X + u, v, rgb);
  };
  // u runs across the thumb (W), v along its length (H) towards the point.
  const int32_t body = H - W / 2;
  for (int32_t v = 0; v < H; ++v)
    for (int32_t u = 0; u < W; ++u) {
      const int32_t inset = v < body ? 0 : v - body + 1;
      if (u < inset || u >= W - inset) continue;
      const bool light = u == inset || v == 0;
      const bool dark = u == W - inset - 1 || v == H - 1;
      px(u, v, dark ? clBtnText : light && !Pressed ? clBtnHighlight : face);
    }
}

}  // namespace

std::unique_ptr<TBitmap> MakeSliderImage(TSliderImage Index) {
  auto b = std::make_unique<TBitmap>(1, 1, pf24bit);
  switch (Index) {
    case siHThumb:
    case siVThumb: {
      const bool vert = Index == siVThumb;
      const int32_t w = 11, h = 20;
      b->SetSize(vert ? 2 * h : 2 * w, vert ? w : h);
      Fill(*b, TRect{0, 0, b->Width(), b->Height()}, kSeeThrough);
      b->SetTransparentColor(kSeeThrough);
      if (vert) {
        DrawThumb(*b, 0, w, h, true, false);
        DrawThumb(*b, h, w, h, true, true);
      } else {
        DrawThumb(*b, 0, w, h, false, false);
        DrawThumb(*b, w, w, h, false, true);
      }
      break;
    }
    case siHRuler:
    case siVRuler: {
      const bool vert = Index == siVRuler;
      const int32_t len = 20, across = 6;
      b->SetSize(vert ? across : len, vert ? len : across);
      b->SetTransparentColor(kSeeThrough);  // nothing of the groove is see-through
      Fill(*b, TRect{0, 0, b->Width(), b->Height()}, clBtnFace);
      // A sunken groove: shadow above and left, highlight below and right, dark inside.
      for (int32_t a = 0; a < len; ++a)
        for (int32_t c = 0; c < across; ++c) {
          TColor col = clWindow;
          if (c == 0 || a == 0) col = clBtnShadow;
          else if (c == 1 || a == 1) col = clBtnText;
          else if (c == across - 1 || a == len - 1) col = clBtnHighlight;
          else if (c == across - 2 || a == len - 2) col = clBtnFace;
          if (vert) b->SetPixelColor(c, a, TColor(ColorToRGB(col)));
          else b->SetPixelColor(a, c, TColor(ColorToRGB(col)));
        }
      break;
    }
  }
  return b;
}

TKvCustomSlider::TKvCustomSlider(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csOpaque, csDoubleClicks};
  FWidth = 150;
  FHeight = 40;
  FTabStop = true;
  FColor = clBtnFace;
  for (int32_t i = 0; i < 4; ++i) FImages[i] = MakeSliderImage(TSliderImage(i));
  FTimer = new TTimer(this);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(kRepeatMs);
  FTimer->SetOnTimer([this](TObject*) { RepeatStep(); });
  BuildRuler();
  PlaceThumb();
}

TKvCustomSlider::~TKvCustomSlider() { Destroying(); }

const TBitmap& TKvCustomSlider::ThumbImage() const {
  return *FImages[FOrientation == soHorizontal ? siHThumb : siVThumb];
}

const TBitmap& TKvCustomSlider::RulerImage() const {
  return *FImages[FOrientation == soHorizontal ? siHRuler : siVRuler];
}

int32_t TKvCustomSlider::ThumbWidth() const {
  // The states sit side by side, in either orientation.
  return ThumbImage().Width() / std::max(FNumThumbStates, 1);
}

int32_t TKvCustomSlider::ThumbHeight() const { return ThumbImage().Height(); }

int32_t TKvCustomSlider::RangeLength() const {
  return FOrientation == soHorizontal ? FRuler.Width() - ThumbWidth() : FRuler.Height() - ThumbHeight();
}

TRect TKvCustomSlider::RulerRect() const {
  if (FOrientation == soHorizontal) {
    const int32_t top = (ClientHeight() - FRuler.Height()) / 2;
    return TRect{kInset, top, kInset + FRuler.Width(), top + FRuler.Height()};
  }
  const int32_t left = (ClientWidth() - FRuler.Width()) / 2;
  return TRect{left, kInset, left + FRuler.Width(), kInset + FRuler.Height()};
}

int32_t TKvCustomSlider::ValueToPosition(int32_t AValue) const {
  const int32_t len = std::max(RangeLength(), 0);
  const int64_t span = int64_t(FMaxValue) - FMinValue;
  const int32_t offset = span > 0 ? Round32(double(len) * double(int64_t(AValue) - FMinValue) / double(span)) : 0;
  if (FOrientation == soHorizontal) return kInset + offset;
  // Vertical sliders count from the bottom.
  return RulerRect().Bottom - offset - ThumbHeight();
}

int32_t TKvCustomSlider::PositionToValue(int32_t Position) const {
  const int32_t len = RangeLength();
  const int64_t span = int64_t(FMaxValue) - FMinValue;
  if (len <= 0 || span <= 0) return FMinValue;
  const int32_t along = FOrientation == soHorizontal ? Position - kInset : RulerRect().Bottom - ThumbHeight() - Position;
  int64_t v = Round(double(along) * double(span) / double(len));
  if (!FOptions.Contains(soSmooth) && FIncrement > 0) v = Round(double(v) / FIncrement) * FIncrement;
  return int32_t(std::clamp<int64_t>(v + FMinValue, FMinValue, FMaxValue));
}

void TKvCustomSlider::BuildRuler() {
  TBitmap& pic = *FImages[FOrientation == soHorizontal ? siHRuler : siVRuler];
  const bool horz = FOrientation == soHorizontal;
  const int32_t along = std::max((horz ? ClientWidth() : ClientHeight()) - 2 * kInset, 0);
  const int32_t across = horz ? pic.Height() : pic.Width();
  const int32_t picLen = horz ? pic.Width() : pic.Height();
  FRuler.SetSize(horz ? along : across, horz ? across : along);
  if (along == 0 || across == 0 || picLen == 0) return;
  FRuler.SetTransparentColor(pic.TransparentColor());
  Fill(FRuler, TRect{0, 0, FRuler.Width(), FRuler.Height()}, pic.TransparentColor());
  const int32_t e = std::clamp(FEdgeSize, 0, picLen / 2);
  const int32_t mid = picLen - 2 * e;
  auto copy = [&](int32_t Dst, int32_t Src, int32_t N) {
    if (N <= 0) return;
    const TRect d = horz ? TRect{Dst, 0, Dst + N, across} : TRect{0, Dst, across, Dst + N};
    const TRect s = horz ? TRect{Src, 0, Src + N, across} : TRect{0, Src, across, Src + N};
    FRuler.Canvas().CopyRect(d, pic.Canvas(), s);
  };
  copy(0, 0, std::min(e, along));
  int32_t pos = e;
  // The middle repeats; the last copy is cut to what is left before the far edge.
  while (mid > 0 && pos < along - e) {
    const int32_t n = std::min(mid, along - e - pos);
    copy(pos, e, n);
    pos += n;
  }
  if (along >= e) copy(along - e, picLen - e, e);
}

void TKvCustomSlider::PlaceThumb() {
  const TRect ruler = RulerRect();
  const int32_t w = ThumbWidth(), h = ThumbHeight();
  const int32_t pos = ValueToPosition(FValue);
  if (FOrientation == soHorizontal) {
    const int32_t top = ruler.Top + (ruler.Height() - h) / 2;
    FThumbRect = TRect{pos, top, pos + w, top + h};
  } else {
    const int32_t left = ruler.Left + (ruler.Width() - w) / 2;
    FThumbRect = TRect{left, pos, left + w, pos + h};
  }
  Invalidate();
}

void TKvCustomSlider::SetMinValue(int32_t Value) {
  if (Value == FMinValue) return;
  FMinValue = Value;
  SetValue(FValue);
  PlaceThumb();
}

void TKvCustomSlider::SetMaxValue(int32_t Value) {
  if (Value == FMaxValue) return;
  FMaxValue = Value;
  SetValue(FValue);
  PlaceThumb();
}

void TKvCustomSlider::SetValue(int32_t Value) {
  Value = std::clamp(Value, FMinValue, std::max(FMinValue, FMaxValue));
  const bool changed = Value != FValue;
  FValue = Value;
  PlaceThumb();
  if (changed && OnChange) OnChange(this);
}

void TKvCustomSlider::SetIncrement(int32_t Value) {
  const int64_t span = int64_t(FMaxValue) - FMinValue;
  if (!ComponentState().Contains(csLoading) && (Value < 1 || Value > span))
    throw Exception(Format("Wert muß zwischen %d und %d liegen", 1, int32_t(span)));
  FIncrement = Value;
  SetValue(FValue);
}

void TKvCustomSlider::SetOrientation(TSliderOrientation Value) {
  if (Value == FOrientation) return;
  FOrientation = Value;
  BuildRuler();
  PlaceThumb();
}

void TKvCustomSlider::SetOptions(TSliderOptions Value) {
  if (Value == FOptions) return;
  FOptions = Value;
  Invalidate();
}

void TKvCustomSlider::SetEdgeSize(int32_t Value) {
  FEdgeSize = std::max(Value, 0);
  BuildRuler();
  Invalidate();
}

void TKvCustomSlider::SetBevelStyle(TPanelBevel Value) {
  FBevelStyle = Value;
  Invalidate();
}

void TKvCustomSlider::SetNumThumbStates(int32_t Value) {
  FNumThumbStates = std::clamp(Value, 1, 2);
  PlaceThumb();
}

void TKvCustomSlider::SetImage(TSliderImage Index, const TBitmap* Value) {
  if (Value && !Value->Empty()) {
    FImages[Index] = std::make_unique<TBitmap>();
    FImages[Index]->Assign(Value);
    FUserImages = uint8_t(FUserImages | (1u << Index));
  } else {
    FImages[Index] = MakeSliderImage(Index);
    FUserImages = uint8_t(FUserImages & ~(1u << Index));
    FOptions.Exclude(Index == siHThumb || Index == siVThumb ? soThumbOpaque : soRulerOpaque);
  }
  BuildRuler();
  PlaceThumb();
}

void TKvCustomSlider::Loaded() {
  TCustomControl::Loaded();
  BuildRuler();
  SetValue(FValue);
}

void TKvCustomSlider::Resize() {
  BuildRuler();
  PlaceThumb();
  TCustomControl::Resize();
}

void TKvCustomSlider::Step(int32_t Kind) {
  const int32_t inc = std::max(FIncrement, 1);
  const int64_t snapped = int64_t(inc) * Round(double(FValue) / inc);
  int64_t target = FValue;
  switch (Kind) {
    case 1: target = snapped + inc; break;
    case -1: target = snapped - inc; break;
    case -2: target = FMinValue; break;
    case 2: target = FMaxValue; break;
    default: break;
  }
  target = std::clamp<int64_t>(target, FMinValue, std::max(FMinValue, FMaxValue));
  if (target != FValue) SetValue(int32_t(target));
}

void TKvCustomSlider::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyDown(Key, Shift);
  if (Key == 0 || Shift != TShiftState{}) return;
  const bool horz = FOrientation == soHorizontal;
  int32_t kind = 0;
  switch (Key) {
    case VK_HOME: kind = -2; break;
    case VK_END: kind = 2; break;
    case VK_LEFT: kind = horz ? -1 : 0; break;
    case VK_RIGHT: kind = horz ? 1 : 0; break;
    case VK_UP: kind = horz ? 0 : 1; break;
    case VK_DOWN: kind = horz ? 0 : -1; break;
    default: break;
  }
  if (kind == 0) return;
  Step(kind);
  Key = 0;
  if (OnChanged) OnChanged(this);
}

int32_t TKvCustomSlider::SideOf(int32_t X, int32_t Y) const {
  if (FOrientation == soHorizontal) return X < FThumbRect.Left ? -1 : X >= FThumbRect.Right ? 1 : 0;
  return Y < FThumbRect.Top ? 1 : Y >= FThumbRect.Bottom ? -1 : 0;
}

void TKvCustomSlider::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  if (CanFocus() && !Focused()) SetFocus();
  if (Button == mbLeft) {
    FLastPointer = TPoint{X, Y};
    const TRect ruler = RulerRect();
    const bool horz = FOrientation == soHorizontal;
    if (X >= FThumbRect.Left && X < FThumbRect.Right && Y >= FThumbRect.Top && Y < FThumbRect.Bottom) {
      FDragging = true;
      FGrabOffset = horz ? X - FThumbRect.Left : Y - FThumbRect.Top;
      Invalidate();
    } else {
      // Beside the thumb on the ruler, within 3 pixels across it.
      const bool across = horz ? Y >= ruler.Top - 3 && Y < ruler.Bottom + 3 : X >= ruler.Left - 3 && X < ruler.Right + 3;
      const bool along = horz ? X >= ruler.Left && X < ruler.Right : Y >= ruler.Top && Y < ruler.Bottom;
      const int32_t side = SideOf(X, Y);
      if (across && along && side != 0) {
        FStepping = true;
        FStepSide = side;
        Step(side);
        FTimer->SetEnabled(true);
      }
    }
  }
  TCustomControl::MouseDown(Button, Shift, X, Y);
}

void TKvCustomSlider::RepeatStep() {
  if (!FStepping) {
    FTimer->SetEnabled(false);
    return;
  }
  if (SideOf(FLastPointer.X, FLastPointer.Y) == FStepSide) Step(FStepSide);
}

void TKvCustomSlider::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  FLastPointer = TPoint{X, Y};
  if (FDragging) SetValue(PositionToValue((FOrientation == soHorizontal ? X : Y) - FGrabOffset));
  TCustomControl::MouseMove(Shift, X, Y);
}

void TKvCustomSlider::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  const bool ended = Button == mbLeft && (FDragging || FStepping);
  if (ended) {
    FDragging = FStepping = false;
    FTimer->SetEnabled(false);
    Invalidate();
  }
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (ended && OnChanged) OnChanged(this);
}

void TKvCustomSlider::DoEnter() {
  TCustomControl::DoEnter();
  Invalidate();
}

void TKvCustomSlider::DoExit() {
  TCustomControl::DoExit();
  Invalidate();
}

std::vector<int32_t> TKvCustomSlider::TickValues() const {
  std::vector<int32_t> ticks;
  const int64_t span = int64_t(FMaxValue) - FMinValue;
  if (span < 0) return ticks;
  ticks.push_back(FMinValue);
  const int32_t inc = std::max(FIncrement, 1);
  const int32_t len = std::max(RangeLength(), 0);
  auto pixels = [&](int64_t Values) { return span > 0 ? double(len) * double(Values) / double(span) : 0.0; };
  int64_t k = 1;
  while (k * inc < span && pixels(k * inc) < kTickSpacing) ++k;
  for (int64_t v = FMinValue + k * inc; v < FMaxValue; v += k * inc) ticks.push_back(int32_t(v));
  if (span > 0) ticks.push_back(FMaxValue);
  return ticks;
}

void TKvCustomSlider::DrawTicks(TCanvas& C) {
  const std::vector<int32_t> ticks = TickValues();
  const bool horz = FOrientation == soHorizontal;
  const TRect ruler = RulerRect();
  C.Pen().SetColor(clBtnShadow);
  C.Pen().SetWidth(1);
  for (size_t i = 0; i < ticks.size(); ++i) {
    const bool end = i == 0 || i + 1 == ticks.size();
    const int32_t length = end ? 5 : 3;
    if (horz) {
      const int32_t x = ValueToPosition(ticks[i]) + ThumbWidth() / 2;
      const int32_t y = std::max(FThumbRect.Bottom, ruler.Bottom) + 2;
      C.MoveTo(x, y);
      C.LineTo(x, y + length);
    } else {
      const int32_t y = ValueToPosition(ticks[i]) + ThumbHeight() / 2;
      const int32_t x = std::max(FThumbRect.Right, ruler.Right) + 2;
      C.MoveTo(x, y);
      C.LineTo(x + length, y);
    }
  }
}

void TKvCustomSlider::Paint() {
  TCanvas& c = Canvas();
  const TRect client = ClientRect();
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(FColor);
  c.FillRect(client);
  const TRect ruler = RulerRect();
  if (!FRuler.Empty()) {
    if (FOptions.Contains(soRulerOpaque)) c.Draw(ruler.Left, ruler.Top, FRuler);
    else DrawTransparent(c, ruler.Left, ruler.Top, FRuler, FRuler.TransparentColor());
  }
  if (FOptions.Contains(soShowPoints)) {
    if (OnDrawPoints) OnDrawPoints(this);
    else DrawTicks(c);
  }
  // The left half of a two-state thumb normally, the right half while pressed.
  const TBitmap& thumb = ThumbImage();
  const int32_t w = ThumbWidth(), h = ThumbHeight();
  const int32_t srcX = FNumThumbStates > 1 && FDragging ? w : 0;
  const TRect src{srcX, 0, srcX + w, h};
  if (w > 0 && h > 0) {
    if (FOptions.Contains(soThumbOpaque))
      c.CopyRect(FThumbRect, const_cast<TBitmap&>(thumb).Canvas(), src);
    else
      DrawTransparent(c, FThumbRect, src, thumb, thumb.TransparentColor());
  }
  if (FOptions.Contains(soShowFocus) && Focused()) c.DrawFocusRect(TRect{1, 1, client.Right - 1, client.Bottom - 1});
  if (FBevelStyle == bvLowered || FBevelStyle == bvRaised) {
    TRect r = client;
    if (FBevelStyle == bvLowered) Frame3D(c, r, clBtnShadow, clBtnHighlight, 1);
    else Frame3D(c, r, clBtnHighlight, clBtnShadow, 1);
  }
}

void TKvCustomSlider::Dispatch(TMessage& Message) {
  if (Message.Msg == WM_GETDLGCODE) {
    Message.Result = DLGC_WANTARROWS;
    return;
  }
  TCustomControl::Dispatch(Message);
}

const TPropertyTable& TKvCustomSlider::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TKvCustomSlider>(TCustomControl::PropertyTable(), [](auto& p) {
    p.Integer("MinValue", &TKvCustomSlider::MinValue, &TKvCustomSlider::SetMinValue);
    p.Integer("MaxValue", &TKvCustomSlider::MaxValue, &TKvCustomSlider::SetMaxValue);
    p.Integer("Value", &TKvCustomSlider::Value, &TKvCustomSlider::SetValue);
    p.Integer("Increment", &TKvCustomSlider::Increment, &TKvCustomSlider::SetIncrement);
    p.Enum("Orientation", &TKvCustomSlider::Orientation, &TKvCustomSlider::SetOrientation,
           {"soHorizontal", "soVertical"});
    p.Set("Options", &TKvCustomSlider::Options, &TKvCustomSlider::SetOptions,
          {"soShowFocus", "soShowPoints", "soSmooth", "soRulerOpaque", "soThumbOpaque"});
    p.Integer("EdgeSize", &TKvCustomSlider::EdgeSize, &TKvCustomSlider::SetEdgeSize);
    p.Enum("BevelStyle", &TKvCustomSlider::BevelStyle, &TKvCustomSlider::SetBevelStyle,
           {"bvNone", "bvLowered", "bvRaised", "bvSpace"});
    p.Integer("NumThumbStates", &TKvCustomSlider::NumThumbStates, &TKvCustomSlider::SetNumThumbStates);
    p.Object("ImageHThumb", &TKvCustomSlider::ImageHThumb, &TKvCustomSlider::SetImageHThumb);
    p.Object("ImageHRuler", &TKvCustomSlider::ImageHRuler, &TKvCustomSlider::SetImageHRuler);
    p.Object("ImageVThumb", &TKvCustomSlider::ImageVThumb, &TKvCustomSlider::SetImageVThumb);
    p.Object("ImageVRuler", &TKvCustomSlider::ImageVRuler, &TKvCustomSlider::SetImageVRuler);
    p.Integer("UserImages", &TKvCustomSlider::UserImages);
    p.Method("OnChange").Method("OnChanged").Method("OnDrawPoints");
  });
  return table;
}

}  // namespace kv
