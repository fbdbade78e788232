// The pixel work of the effects that have no kernel in the processing
// component: gamma, colour-channel addition, channel combination, merging a
// second picture, the aspect-ratio crop, and drawing a worked-on copy back.
//
// All work on pf24bit bitmaps over the rectangle X1, Y1, X2, Y2 (right and
// bottom exclusive, clipped to the bitmap), row by row with per-row progress.
#pragma once
#include <array>
#include <cstdint>

#include "app/filters/colour_models.h"
#include "imaging/model/kernel_types.h"
#include "platform/graphics/bitmap.h"

namespace kv {

// Each channel c becomes round(255 (c / 255)^(1 / Gamma)). A gamma that is not
// above 0 (or not finite) changes nothing.
void GammaCorrect(TBitmap& Bitmap, double Gamma, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                  TObject* Sender, const TIMProgressEvent& OnProgress);

// The offsets, in model units, that the channel filter adds for the percentages
// P (-100..100) of a colour model: each the percentage of its channel's span,
// with the sign of its percentage, so that 0 adds nothing in every model.
std::array<double, 4> ChannelOffsets(TColorModel Model, const std::array<int32_t, 4>& P);
// Every pixel through the model, the offsets added, and back (limited to 0..255).
void ColorChannelAdd(TBitmap& Bitmap, TColorModel Model, const std::array<int32_t, 4>& P, int32_t X1, int32_t Y1,
                     int32_t X2, int32_t Y2, TObject* Sender, const TIMProgressEvent& OnProgress);

// Component i of the model is the red value of Sources[i] at the same place,
// read as 0..1. Null sources give 0. The rectangle is limited to every
// source, so that no source is read outside itself.
void CombineChannels(TBitmap& Bitmap, const std::array<const TBitmap*, 4>& Sources, TColorModel Model, int32_t X1,
                     int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender, const TIMProgressEvent& OnProgress);

// Each channel becomes (a source + (256 - a) target) div 256, a = Opacity * 256
// div 100 (limited to 0..256), the source read from its origin at the
// rectangle's top-left, the rectangle limited to both pictures.
void MergeBitmap(TBitmap& Bitmap, const TBitmap& Source, int32_t Opacity, int32_t X1, int32_t Y1, int32_t X2,
                 int32_t Y2, TObject* Sender, const TIMProgressEvent& OnProgress);

// Placement of a box inside free room by an anchor mask: centred, then bit 1
// bottom, 2 top, 4 right, 8 left; -1 leaves X and Y as they are.
void DirectionOffset(int32_t Mask, int32_t FreeWidth, int32_t FreeHeight, int32_t& X, int32_t& Y);

// The largest rectangle of ratio Width / Height inside the picture, placed by
// the anchor (with Reciprocal the ratio is turned to follow the picture's
// orientation). False, and nothing to crop, when either side is within 1e-6
// of zero or the picture is empty.
bool AspectRatioRect(int32_t PictureWidth, int32_t PictureHeight, double Width, double Height, bool Reciprocal,
                     int32_t Anchor, int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2);

// Copies Source (pf24bit, or pf1bit expanded) onto a pf24bit Bitmap with its
// top-left at (X, Y), clipped to the bitmap.
void DrawBitmapAt(TBitmap& Bitmap, const TBitmap& Source, int32_t X, int32_t Y);

}  // namespace kv
