#include "app/workflows/info_text.h"

#include <cmath>
#include <string>
#include <vector>

#include "app/catalog/catalog_frame.h"
#include "app/params/param_strings.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

int32_t SetInfoTextFont(TCanvas& Canvas, std::string_view FontParams, double Scale) {
  TFont& font = Canvas.Font();
  ReadParamFont(FontParams, font);
  // Negative: a character height, so the text keeps its size at any resolution.
  font.SetHeight(-std::max<int32_t>(1, Round32(std::abs(double(font.Height())) * Scale)));
  return Round32(std::abs(double(font.Height())) * 1.1);
}

void DrawImageInfoText(TCanvas& Canvas, const TRect& Rect, TInfoTextDirection Direction, double Scale,
                       std::string_view FontParams, tImageInfoset Set, const TImageInfoTexts& Info,
                       bool Opaque) {
  const std::vector<std::string> lines = InfoBlockLines(Info, Set);
  if (lines.empty()) return;
  const int32_t step = SetInfoTextFont(Canvas, FontParams, Scale);
  const TBrushStyle oldStyle = Canvas.Brush().Style();
  if (!Opaque) Canvas.Brush().SetStyle(bsClear);
  const int32_t x = Rect.Left;
  int32_t y = Rect.Bottom;
  if (Direction == itdDown) {
    for (const std::string& line : lines) {
      Canvas.TextOut(x, y, line);
      y += step;
    }
  } else {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
      y -= step;
      Canvas.TextOut(x, y, *it);
    }
  }
  Canvas.Brush().SetStyle(oldStyle);
}

}  // namespace kv
