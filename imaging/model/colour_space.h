// sRGB <-> CIE L*a*b* in the 8-bit encoding of TIFF's CIELab photometric:
// L byte = L* * 255 / 100, a* and b* as signed bytes; D65 white.
#pragma once
#include <cstdint>

#include "imaging/model/pixel.h"

namespace kv {

// Colour (red in bits 16..23 of the packed pixel) to L, a, b bytes; white gives 255/0/0.
void RGBToCIELab(const TBGRPixel& Colour, uint8_t& L, int8_t& a, int8_t& b);
// L, a, b bytes back to an sRGB colour; out-of-gamut values are clipped per channel.
TBGRPixel CIELabToRGB(uint8_t L, int8_t a, int8_t b);

}  // namespace kv
