// Canvas drawing shared by the views: a 3-D frame, a framed text box that
// saves what it covers, and soft shadows beside and below a picture.
#pragma once
#include <cstdint>
#include <string>

#include "platform/graphics/canvas.h"

namespace kv {

// Dark colour on the left and top edges, light on the bottom and right ones.
void Draw3DFrame(TCanvas& Canvas, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, TColor LightColor,
                 TColor DarkColor);

// Draws Text in a framed box at (X, Y), moved to fit the canvas (X and Y are updated);
// what the box covers is first copied into Save so that the caller can restore it.
void DrawTextBox(TCanvas& Canvas, int32_t& X, int32_t& Y, TColor LightColor, TColor DarkColor, int32_t CanvasHeight,
                 int32_t CanvasWidth, TBitmap& Save, const TBrush& Brush, const TFont& Font, const std::string& Text);

// Shadow strip to the right of a picture (Kind 1: brush fill; 2: shaded lines; 3: shaded with faded ends).
void DrawShadowRight(TCanvas& Canvas, int32_t Left, int32_t Top, int32_t Kind, int32_t Bottom, int32_t Right);
// The same strip below a picture.
void DrawShadowBottom(TCanvas& Canvas, int32_t Left, int32_t Top, int32_t Kind, int32_t Bottom, int32_t Right);

}  // namespace kv
