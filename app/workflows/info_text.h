// The information-text block: the chosen information texts of one picture,
// written line by line below or above a rectangle. Printing, the slide-show
// player and the catalog window draw it with this one routine.
#pragma once
#include <cstdint>
#include <string_view>

#include "app/layer/imager_layer.h"
#include "app/params/file_kind_types.h"
#include "platform/rtl/types.h"

namespace kv {

class TCanvas;

enum TInfoTextDirection : uint8_t {
  itdDown,  // from the rectangle's bottom edge downward
  itdUp     // upward, the last line ending at the rectangle's bottom edge
};

// Sets the canvas font from the parameter text (height 38 "Times New Roman"
// when absent) with its height scaled, and returns the line height:
// round(|font height| x 1.1).
int32_t SetInfoTextFont(TCanvas& Canvas, std::string_view FontParams, double Scale);

// Writes the lines of InfoBlockLines at the rectangle's left edge. Upward the
// lines are placed last to first, so the block still reads top to bottom in
// the same order. The background is left as it is, or with Opaque each line
// is written on the canvas's brush as the caller set it.
void DrawImageInfoText(TCanvas& Canvas, const TRect& Rect, TInfoTextDirection Direction, double Scale,
                       std::string_view FontParams, tImageInfoset Set, const TImageInfoTexts& Info,
                       bool Opaque = false);

}  // namespace kv
