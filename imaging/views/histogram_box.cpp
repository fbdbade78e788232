#include "imaging/views/histogram_box.h"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "imaging/processing/imager_proc.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"

namespace kv {

THistogramBox::THistogramBox(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csAcceptsControls, csOpaque});
  SetBounds(0, 0, 256, 105);
}

THistogramBox::~THistogramBox() {
  if (FAttachedImagerProc) FAttachedImagerProc->RemoveFreeNotification(this);
}

void THistogramBox::SetAttachedImagerProc(TImagerProc* Value) {
  if (Value == FAttachedImagerProc) return;
  if (FAttachedImagerProc) FAttachedImagerProc->RemoveFreeNotification(this);
  FAttachedImagerProc = Value;
  if (Value) Value->FreeNotification(this);
  Update();
}

void THistogramBox::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FAttachedImagerProc) {
    FAttachedImagerProc = nullptr;
    if (!ComponentState().Contains(csDestroying)) Update();
  }
}

void THistogramBox::SetBackground(TColor Value) {
  FBackground = Value;
  Update();
}
void THistogramBox::SetHistogramKind(THistogramKind Value) {
  if (Value == FHistogramKind) return;
  FHistogramKind = Value;
  Update();
}
void THistogramBox::SetLabels(THistogramLabels Value) {
  if (Value == FLabels) return;
  FLabels = Value;
  Update();
}
void THistogramBox::SetCompBar(bool Value) {
  if (Value == FCompBar) return;
  FCompBar = Value;
  Update();
}
void THistogramBox::SetHistogramStyle(THistogramStyle Value) {
  if (Value == FHistogramStyle) return;
  FHistogramStyle = Value;
  Update();
}

void THistogramBox::Resize() {
  FBitmap.SetSize(std::max(0, ClientWidth()), std::max(0, ClientHeight()));
  Update();
  TCustomControl::Resize();
}

void THistogramBox::Dispatch(TMessage& Message) {
  TCustomControl::Dispatch(Message);
  if (Message.Msg == CM_FONTCHANGED) Update();
}

void THistogramBox::Paint() { Canvas().Draw(0, 0, FBitmap); }

bool THistogramBox::TakeHistogram(TIMHistogram& Histogram) {
  Histogram = TIMHistogram{};
  if (ComponentState().Contains(csDesigning)) {
    // A stand-in so the layout can be judged while designing.
    std::minstd_rand gen(1);
    for (auto& it : Histogram) {
      it.Red = int32_t(gen() % 256);
      it.Green = int32_t(gen() % 256);
      it.Blue = int32_t(gen() % 256);
      it.Gray = int32_t(gen() % 256);
    }
    return true;
  }
  if (!FAttachedImagerProc) return false;
  TBitmap* b = FAttachedImagerProc->Bitmap();
  if (!b || b->Empty()) return false;
  FAttachedImagerProc->GetHistogram(Histogram);
  return true;
}

void THistogramBox::Update() {
  if (FUpdating) return;
  FUpdating = true;
  const int32_t W = FBitmap.Width();
  const int32_t H = FBitmap.Height();
  FHistogramXPos = Left();
  TIMHistogram hist;
  if (W > 0 && H > 0) {
    TCanvas& c = FBitmap.Canvas();
    c.Pen().SetMode(pmCopy);
    c.Pen().SetWidth(1);
    c.Brush().SetStyle(bsSolid);
    c.Brush().SetColor(FBackground);
    c.FillRect(Rect(0, 0, W, H));
    int64_t max = 0;
    if (TakeHistogram(hist)) {
      for (const auto& it : hist) {
        if (FHistogramKind.Contains(hkRed)) max = std::max<int64_t>(max, it.Red);
        if (FHistogramKind.Contains(hkGreen)) max = std::max<int64_t>(max, it.Green);
        if (FHistogramKind.Contains(hkBlue)) max = std::max<int64_t>(max, it.Blue);
        if (FHistogramKind.Contains(hkGray)) max = std::max<int64_t>(max, it.Gray);
      }
    }
    if (max > 0) {
      c.Font().Assign(Font());
      c.Brush().SetStyle(bsClear);
      int32_t w = W, h = H, margin = 0;
      const int32_t barH = Trunc32(std::abs(Font().Height()) * 1.2);
      if (FCompBar) h -= barH + 2;
      c.Pen().SetColor(Font().Color());
      if (FLabels.Contains(hlVertical)) {
        const std::string top = IntToStr(max);
        c.TextOut(0, 0, top);
        c.TextOut(0, h / 2, IntToStr(max / 2));
        const int32_t tw = c.TextWidth(top) + 2;
        margin += tw;
        w -= tw;
      }
      if (FLabels.Contains(hlHorizontal)) {
        const int32_t th = c.TextHeight("0");
        for (int32_t level : {0, 64, 128, 192})
          c.TextOut(Round32(level / 256.0 * w) + margin, h - th, IntToStr(level));
        c.TextOut(margin + w - c.TextWidth("255"), h - th, "255");
        h -= th + 2;
        c.MoveTo(margin - 1, 0);
        c.LineTo(margin - 1, h);
        c.LineTo(margin + w, h);
      }
      if (FCompBar) {
        const bool r = FHistogramKind.Contains(hkRed) || FHistogramKind.Contains(hkGray);
        const bool g = FHistogramKind.Contains(hkGreen) || FHistogramKind.Contains(hkGray);
        const bool b = FHistogramKind.Contains(hkBlue) || FHistogramKind.Contains(hkGray);
        const int32_t top = std::max(0, H - barH);
        for (int32_t e = 0; e < w; ++e) {
          const int32_t x = e + margin;
          if (x < 0 || x >= W) continue;
          const auto v = static_cast<uint8_t>(std::min<int64_t>(255, Round(double(e) / w * 256)));
          const TBGRPixel p{uint8_t(b ? v : 0), uint8_t(g ? v : 0), uint8_t(r ? v : 0)};
          for (int32_t y = top; y < H; ++y) static_cast<TBGRPixel*>(FBitmap.ScanLine(y))[x] = p;
        }
      }
      struct TKindPen {
        THistogramKindItem Kind;
        TColor Pen;
        int32_t TIMHistogramItem::*Count;
      };
      const TKindPen kinds[] = {{hkRed, clRed, &TIMHistogramItem::Red},
                                {hkGreen, TColor(32768), &TIMHistogramItem::Green},
                                {hkBlue, clBlue, &TIMHistogramItem::Blue},
                                {hkGray, clBlack, &TIMHistogramItem::Gray}};
      auto height = [&](int32_t x, const TKindPen& k) {
        const int32_t level = std::clamp(Trunc32(double(x) / w * 256), 0, 255);
        return Round32(double(hist[size_t(level)].*k.Count) / double(max) * h);
      };
      if (w > 0 && FHistogramStyle == hsBars) {
        for (int32_t x = 0; x < w; ++x)
          for (const auto& k : kinds) {
            if (!FHistogramKind.Contains(k.Kind)) continue;
            c.Pen().SetColor(k.Pen);
            c.MoveTo(x + margin, h - 1);
            c.LineTo(x + margin, h - height(x, k) - 2);
          }
      } else if (w > 0) {
        std::vector<TPoint> pts;
        for (const auto& k : kinds) {
          if (!FHistogramKind.Contains(k.Kind)) continue;
          pts.clear();
          pts.push_back(Point(margin, h - 1));
          for (int32_t x = 0; x < w; ++x) pts.push_back(Point(x + margin, h - height(x, k) - 1));
          c.Pen().SetColor(k.Pen);
          c.Polyline(pts);
        }
      }
      c.Brush().SetStyle(bsSolid);
      FHistogramXPos = Left() + margin;
    }
  }
  Invalidate();
  TCustomControl::Update();
  FUpdating = false;
}

}  // namespace kv
