// Scanned sheets: straightening by the longest straight edge between the
// picture and the scanner's background, cutting that background away, and
// finding the separate pictures of a sheet that holds several.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "imaging/model/kernel_types.h"
#include "imaging/model/pixel.h"
#include "platform/rtl/types.h"

namespace kv {

class TBitmap;

// The working area (right and bottom exclusive), the tolerance and the
// scanner's background colour shared by the three operations.
struct TScanSetup {
  int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
  int32_t Tolerance = 20;
  TBGRPixel Border{255, 255, 255};
  // Run length of the edge tests, CmToPixels(0.5, scale).
  int32_t RunLength = 1;
};

// round(Cm / 2.54 * Dpi * Scale); Dpi within 1e-6 of zero takes ScreenPpi.
int32_t CmToPixels(double Cm, double Scale, double Dpi, double ScreenPpi);

// True when some run of RunLength pixels of Line are all content: a pixel is
// content when, in some channel, its distance to the border plus its distance
// to the pixel of Previous exceeds Tolerance (the second term is dropped when
// that pixel is exactly the border colour). Previous may be Line itself.
bool IsEdgeLine(const TBGRPixel* Line, const TBGRPixel* Previous, int32_t Count, int32_t Tolerance,
                int32_t RunLength, TBGRPixel Border);

// The angle in degrees (within -45 .. 45) that StraightenImage would turn by,
// or nothing when no straight piece of the edge was found.
std::optional<double> FindStraightenAngle(const TBitmap& Bitmap, const TScanSetup& Setup, TProgressRec& Progress);
// Turns the picture (antialiased, uncovered area in the border colour) so that
// its longest straight edge becomes horizontal or vertical. False when nothing
// was turned.
bool StraightenImage(TBitmap& Bitmap, const TScanSetup& Setup, TProgressRec& Progress);

// The rectangle that CutBorder keeps, or nothing when it keeps the picture.
// Margin is the extra margin in pixels.
std::optional<TRect> FindCutRect(const TBitmap& Bitmap, const TScanSetup& Setup, int32_t Margin,
                                  TProgressRec& Progress);
bool CutBorder(TBitmap& Bitmap, const TScanSetup& Setup, int32_t Margin, TProgressRec& Progress);

// The areas of the separate pictures on the sheet, in the order found
// (MinSize: pictures and gaps nearer than this are not separated).
std::vector<TRect> SeparateScannedImages(const TBitmap& Bitmap, const TScanSetup& Setup, int32_t MinSize);

}  // namespace kv
