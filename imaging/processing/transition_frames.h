// The frames of the picture-change animations: given the progress (0..1024),
// the picture before, the picture after and the frame drawn last, draw the
// next frame. The engine that times them lives with the views.
#pragma once
#include <cstdint>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"

namespace kv {

enum TIMTransitionType : uint8_t {
  imttNone, imttCrossDissolve, imttFadeOut, imttFadeIn, imttFadeOutIn,
  imttLeftRight1, imttLeftRight2, imttRightLeft1, imttRightLeft2,
  imttUpDown1, imttUpDown2, imttDownUp1, imttDownUp2,
  imttFromUpLeft, imttFromUpRight, imttFromBottomLeft, imttFromBottomRight,
  imttMoveLeftRight1, imttMoveLeftRight2, imttMoveRightLeft1, imttMoveRightLeft2,
  imttMoveUpDown1, imttMoveUpDown2, imttMoveDownUp1, imttMoveDownUp2,
  imttRandomPoints, imttRandomBoxes, imttCenter1, imttCenter2, imttCenterZoom1, imttCenterZoom2,
};
constexpr int32_t kTransitionCount = imttCenterZoom2 + 1;
constexpr int32_t kTransitionFull = 1024;

// Draws the frame for Progress into Frame. From, To and Frame are pf24bit of
// one size (anything else draws nothing). Effects that grow over the last
// frame start from a copy of From at progress 0; the random ones keep in
// LastCount how many points or boxes they have drawn. Background is the
// colour the fades pass through. Nothing is written outside Frame.
void DrawTransitionFrame(TIMTransitionType Transition, int32_t Progress, const TBitmap& From, const TBitmap& To,
                         TBitmap& Frame, TColor Background, int32_t& LastCount);

}  // namespace kv
