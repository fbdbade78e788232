#include "imaging/model/draw_utils.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/rtl/pascal_math.h"

namespace kv {
namespace {

TColor Gray(int32_t g) {
  const uint8_t v = ClampByte(g);
  return static_cast<TColor>(RGB(v, v, v));
}

// exp(t) / e * 255: 93 at t = 0 (the picture's edge), 255 at t = 1.
int32_t ShadeLevel(double t) { return Trunc32(std::exp(t) / std::numbers::e * 255.0); }

// Kind 3 along a strip: Length rows of Depth + 1 pixels; Plot(i, j) with i across the strip.
template <typename PlotFn>
void FadedShadow(int32_t Depth, int32_t Length, PlotFn Plot) {
  std::vector<int32_t> across(static_cast<size_t>(Depth) + 1);
  for (int32_t i = 0; i <= Depth; ++i) across[i] = ShadeLevel(double(i) / Depth);
  for (int32_t j = 0; j <= Length; ++j) {
    const int32_t c = std::clamp(ShadeLevel(double(Length - 3 * j) / Length), 0, 255);  // fades in from white
    const int32_t s = j <= Length - Depth + 1 ? 0 : j - (Length - Depth + 1);           // slanted far end
    for (int32_t i = s; i <= Depth; ++i) Plot(i, j, Gray(std::max(across[i], c)));
  }
}

// Window coordinates far beyond any screen would overflow the sums below; such strips are not drawn.
bool DrawableStrip(int32_t Left, int32_t Top, int32_t Bottom, int32_t Right) {
  constexpr int32_t kLimit = 1 << 29;
  for (int32_t v : {Left, Top, Bottom, Right})
    if (v < -kLimit || v > kLimit) return false;
  return true;
}

// Raised to 0, then lowered so that the box ends one pixel inside the canvas; kept
// within a range where Start + Size cannot overflow, whatever sizes the caller passes.
int32_t FitBoxStart(int32_t Start, int32_t Size, int32_t CanvasSize) {
  const int64_t v = std::min<int64_t>(std::max(Start, 0), int64_t(CanvasSize) - Size - 1);
  return static_cast<int32_t>(std::clamp<int64_t>(v, -(int64_t(1) << 30), int64_t(1) << 30));
}

}  // namespace

void Draw3DFrame(TCanvas& Canvas, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, TColor LightColor,
                 TColor DarkColor) {
  TPen& pen = Canvas.Pen();
  pen.SetMode(pmCopy);
  pen.SetStyle(psSolid);
  pen.SetColor(DarkColor);
  Canvas.MoveTo(Left, Bottom);
  Canvas.LineTo(Left, Top);
  Canvas.LineTo(Right, Top);
  pen.SetColor(LightColor);
  Canvas.MoveTo(Left, Bottom);
  Canvas.LineTo(Right, Bottom);
  Canvas.LineTo(Right, Top);
}

void DrawTextBox(TCanvas& Canvas, int32_t& X, int32_t& Y, TColor LightColor, TColor DarkColor, int32_t CanvasHeight,
                 int32_t CanvasWidth, TBitmap& Save, const TBrush& Brush, const TFont& Font, const std::string& Text) {
  Canvas.Font().Assign(Font);
  const TSize extent = Canvas.TextExtent(Text);
  const int32_t w = extent.cx + 12, h = extent.cy + 12;
  X = FitBoxStart(X, w, CanvasWidth);
  Y = FitBoxStart(Y, h, CanvasHeight);

  Save.SetPixelFormat(pf24bit);
  Save.SetSize(w, h);
  Save.Canvas().SetCopyMode(cmSrcCopy);
  Save.Canvas().CopyRect(Rect(0, 0, w, h), Canvas, Rect(X, Y, X + w, Y + h));

  // The frame's far edges are the box's last pixels, so that restoring Save erases all of it.
  Canvas.Brush().Assign(Brush);
  Canvas.FillRect(Rect(X + 6, Y + 6, X + w, Y + h));
  Draw3DFrame(Canvas, X + 6, Y + 6, X + w - 1, Y + h - 1, LightColor, DarkColor);
  Canvas.TextOut(X + 9, Y + 9, Text);
}

void DrawShadowRight(TCanvas& Canvas, int32_t Left, int32_t Top, int32_t Kind, int32_t Bottom, int32_t Right) {
  if (!DrawableStrip(Left, Top, Bottom, Right)) return;
  const int32_t w = Right - Left + 1;
  if (w <= 0) return;
  switch (Kind) {
    case 1:
      Canvas.FillRect(Rect(Left, Top + w, Right, Bottom + 1));
      break;
    case 2:
      for (int32_t k = 0; k < w; ++k) {
        Canvas.Pen().SetColor(Gray(ShadeLevel(double(k) / w)));
        Canvas.MoveTo(Left + k, Top + w);
        Canvas.LineTo(Left + k, Bottom - w + k + 3);
      }
      break;
    case 3:
      if (Bottom - Top + 1 <= 0) return;
      FadedShadow(w, Bottom - Top + 1, [&](int32_t i, int32_t j, TColor c) { Canvas.SetPixel(Left + i, Top + j, c); });
      break;
    default:
      break;
  }
}

void DrawShadowBottom(TCanvas& Canvas, int32_t Left, int32_t Top, int32_t Kind, int32_t Bottom, int32_t Right) {
  if (!DrawableStrip(Left, Top, Bottom, Right)) return;
  const int32_t h = Bottom - Top + 1;
  if (h <= 0) return;
  switch (Kind) {
    case 1:
      Canvas.FillRect(Rect(Left + h, Top, Right + 1, Bottom));
      break;
    case 2:
      for (int32_t k = 0; k < h; ++k) {
        Canvas.Pen().SetColor(Gray(ShadeLevel(double(k) / h)));
        Canvas.MoveTo(Left + h, Top + k);
        Canvas.LineTo(Right - h + k + 3, Top + k);
      }
      break;
    case 3:
      if (Right - Left + 1 <= 0) return;
      FadedShadow(h, Right - Left + 1, [&](int32_t i, int32_t j, TColor c) { Canvas.SetPixel(Left + j, Top + i, c); });
      break;
    default:
      break;
  }
}

}  // namespace kv
