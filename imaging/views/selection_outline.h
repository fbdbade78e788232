// The outline of a selection: closed polygons in bitmap coordinates,
// separated by a point whose x is kPolygonSeparator, with the bounding box of
// all points and the state of its animated two-colour dashes.
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/model/mask.h"
#include "platform/graphics/color.h"
#include "platform/rtl/object.h"
#include "platform/rtl/types.h"

namespace kv {

class TIMSelectionOutline : public TObject {
 public:
  std::vector<TPoint> Points;
  TColor DashColor1 = clBlack;
  TColor DashColor2 = clWhite;
  bool Animated = true;
  int32_t Phase = 0;        // 0..5, advanced by the view's timer
  int32_t DashCounter = 0;  // working counter of the dash painter
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Visible = true;
  bool Sizeable = true;

  int32_t Count() const { return static_cast<int32_t>(Points.size()); }
  bool Empty() const { return Points.empty(); }
  // Appends a point; breaks leave the box alone, the first two real points
  // give the ordered box of both and every further one widens it.
  void Add(int32_t X, int32_t Y);
  void AddBreak();
  bool LastIsBreak() const { return !Points.empty() && Points.back().X == kPolygonSeparator; }
  void Clear();
  // Drops the points from Index on and recomputes the box.
  void Truncate(int32_t Index);
  // Moves every real point and the box.
  void Offset(int32_t DX, int32_t DY);
  // Recomputes the box from the points.
  void RecalcBox();
  // Dash colour for the present counter value, then advances it (3-pixel dashes).
  TColor NextDashColor() {
    const TColor c = DashCounter < 3 ? DashColor1 : DashColor2;
    DashCounter = DashCounter >= 5 ? 0 : DashCounter + 1;
    return c;
  }

 private:
  int32_t FReal = 0;  // real points added since the box was last reset
};

}  // namespace kv
