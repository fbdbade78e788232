// Lengths of the command language in their units, turned into pixels.
#pragma once
#include <cstdint>

namespace kv {

// 0 pixel, 1 inch, 2 centimetre, 3 millimetre, 4 metre, 5 point, 6 user unit, 7 percent.
enum TSizeUnit : uint8_t { suPixel, suInch, suCm, suMm, suMetre, suPoint, suUser, suPercent };

// Value in Unit as pixels, rounded halves to even. Resolution is in dots per
// inch, UserUnit the stored "Userunit" (units per inch), PercentBase what 100
// percent is. An unknown unit counts as pixels.
int32_t SizeToPixels(double Value, int32_t Unit, double Resolution, double UserUnit, double PercentBase);

// Raises ECommandError unless Width x Height is a size a new bitmap can take.
void RequireImageSize(int32_t Width, int32_t Height);

}  // namespace kv
