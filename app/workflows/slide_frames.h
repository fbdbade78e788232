// The arithmetic of a slide show, kept apart from its window: where a picture
// goes on the canvas, which picture comes next, and the row-by-row transition
// effects between two canvases.
#pragma once
#include <cstdint>

namespace kv {

class TBitmap;

struct TShownRect {
  int32_t Width = 0, Height = 0;
  double X = 0, Y = 0;
};

// The shown size of a picture on a view: mode 0 its own size, 1 fit inside
// keeping the aspect, 2 fill keeping the aspect; a zero divisor gives the view's size.
void FitShownSize(int32_t Mode, int32_t ViewW, int32_t ViewH, int32_t PicW, int32_t PicH, int32_t& W, int32_t& H);
// The place of a W x H picture on the view: centred, moved by the anchor
// bits (1 bottom, 2 top, 4 right, 8 left); -1 puts it at the top-left corner.
TShownRect PlaceShown(int32_t Anchor, int32_t ViewW, int32_t ViewH, int32_t W, int32_t H);

int32_t NextSlideIndex(int32_t Index, int32_t Count, bool Forever);
int32_t PrevSlideIndex(int32_t Index, int32_t Count, bool Forever);

inline constexpr int32_t kRowEffectCount = 13;
inline constexpr int32_t kSlideEffectCount = 25;  // the row effects and twelve of the view's engine

// One frame of row effect Effect (0..12) at progress P (0..255): Shown gets
// rows composed from New and Old. All three are pf24bit of one size.
void ComposeRowEffect(int32_t Effect, uint8_t P, const TBitmap& New, const TBitmap& Old, TBitmap& Shown);

}  // namespace kv
