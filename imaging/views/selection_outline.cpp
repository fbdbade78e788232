#include "imaging/views/selection_outline.h"

#include <algorithm>

namespace kv {

void TIMSelectionOutline::Add(int32_t X, int32_t Y) {
  if (Points.size() == Points.capacity()) Points.reserve(Points.size() + 64);
  Points.push_back(TPoint{X, Y});
  if (X == kPolygonSeparator) return;
  if (FReal == 0) {
    Left = Right = X;
    Top = Bottom = Y;
  } else {
    Left = std::min(Left, X);
    Right = std::max(Right, X);
    Top = std::min(Top, Y);
    Bottom = std::max(Bottom, Y);
  }
  ++FReal;
}

void TIMSelectionOutline::AddBreak() { Add(kPolygonSeparator, 0); }

void TIMSelectionOutline::Clear() {
  Points.clear();
  FReal = 0;
  Left = Top = Right = Bottom = 0;
}

void TIMSelectionOutline::Truncate(int32_t Index) {
  if (Index < 0) Index = 0;
  if (Index < Count()) Points.resize(static_cast<size_t>(Index));
  RecalcBox();
}

void TIMSelectionOutline::Offset(int32_t DX, int32_t DY) {
  for (TPoint& p : Points)
    if (p.X != kPolygonSeparator) {
      p.X += DX;
      p.Y += DY;
    }
  Left += DX;
  Right += DX;
  Top += DY;
  Bottom += DY;
}

void TIMSelectionOutline::RecalcBox() {
  std::vector<TPoint> pts;
  pts.swap(Points);
  Clear();
  Points.reserve(pts.capacity());
  for (const TPoint& p : pts) Add(p.X, p.Y);
}

}  // namespace kv
