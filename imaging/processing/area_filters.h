// Area filters: kernels whose output pixel depends on other pixels than its
// own. The wave and lens distortions, the bump-map lighting and the gray
// morphology work in place; the region selections of the magic wand fill a
// selection mask or trace the region's outline.
//
// Everything here works on pf24bit bitmaps only and leaves any other format
// alone. Gray level is (21 R + 71 G + 7 B) div 100 (GrayLevel).
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/model/kernel_types.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/types.h"

namespace kv {

class TIMMask;

// ---- distortions and lighting (area_filters_distort.cpp, area_filters_bumpmap.cpp) ----

// Concentric wave about the picture's centre; nothing when Amplitude or
// Wavelength is 0. Phase in degrees. Progress after each row y (from 0):
// trunc(y * 100 / height).
void Wave(TBitmap& Bitmap, int32_t Amplitude, int32_t Wavelength, TProgressRec& Progress, bool Reflective,
          int32_t Phase);

// Refraction through a half-ellipsoid lens of Width x Height centred at
// (CX, CY); a refraction below 1 acts as 1, which leaves the picture as it is.
// Progress after each column of the lens box.
void Lens(TBitmap& Bitmap, int32_t CX, int32_t CY, TProgressRec& Progress, double Refraction, int32_t Height,
          int32_t Width);

// Lighting of the relief given by the gray levels of the rectangle (right and
// bottom exclusive) by a light at (LightX, LightY) of colour LightColour
// (0x00RRGGBB) with extents EX (horizontal) and EY (vertical); Mix percent of
// each channel is kept. Nothing when EX or EY is 0.
void BumpMap(TBitmap& Bitmap, int32_t LightX, int32_t LightY, TProgressRec& Progress, int32_t X1, int32_t Y1,
             int32_t X2, int32_t Y2, uint32_t LightColour, int32_t Mix, int32_t EY, int32_t EX);

// ---- morphology (area_filters_morphology.cpp) ----

enum TMorphologyMode : int32_t { mmMaximum = 0, mmMinimum = 1, mmOpening = 2, mmClosing = 3 };

// Gray-keyed maximum (dilation) or minimum (erosion) over a (2 Radius + 1)
// square window clipped to the rectangle; opening is a minimum then a maximum
// pass, closing the reverse; other modes do nothing. The output pixel takes
// the whole colour of the window's first pixel (rows top down, columns left to
// right) with the extreme gray level; when that level is 0 (maximum) or 255
// (minimum) the pixel keeps its own colour. Each pixel costs the same whatever
// the radius.
void Morphology(TBitmap& Bitmap, int32_t Radius, int32_t Mode, TObject* Sender, const TIMProgressEvent& OnProgress,
                int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);

// ---- region selections (area_filters_region.cpp, area_filters_contour.cpp) ----
//
// A pixel is similar to the seed when none of its channels differs from the
// seed pixel's by more than Tolerance.

// Sets the mask value 1 at every pixel of the seed's 4-connected region of
// similar pixels; with Grow, at the whole 3 x 3 neighbourhood of each (clipped
// to the picture). Nothing for a seed outside the picture.
void MagicWandFill(const TBitmap& Bitmap, int32_t X, int32_t Y, TIMMask& Mask, int32_t Tolerance, bool Grow);

// Sets the mask value 1 at every pixel of the picture similar to the seed,
// connected to it or not. Nothing for a seed outside the picture.
void SelectSameColor(const TBitmap& Bitmap, int32_t X, int32_t Y, TIMMask& Mask, int32_t Tolerance);

// The outline of the seed's region (as MagicWandFill finds it, widened by its
// 3 x 3 neighbourhood with Grow) as one polygon with its vertices on pixel
// corners, starting at the top-left and running clockwise on the screen.
// Count receives the number of points; empty with Count 0 for a seed outside
// the picture or another pixel format.
std::vector<TPoint> TraceContour(const TBitmap& Bitmap, int32_t X, int32_t Y, int32_t& Count, int32_t Tolerance,
                                 bool Grow);

}  // namespace kv
