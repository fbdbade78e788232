// The program's colour models: RGB, HSV, HSL, CMYK, L*a*b*, YUV, XYZ and gray,
// with their names, channel letters and the conversions of a packed colour
// (red * 65536 + green * 256 + blue) into model values and back.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "imaging/model/pixel.h"

namespace kv {

enum TColorModel : uint8_t { cmRGB, cmHSV, cmHSL, cmCMYK, cmLAB, cmYUV, cmXYZ, cmGray };
constexpr int32_t kColorModelCount = 8;

// Channel 0 to 3; only CMYK uses the fourth.
using TModelValues = std::array<double, 4>;

const char* ColorModelName(TColorModel Model);
// Compared without case; any other name gives RGB.
TColorModel ColorModelIndex(const std::string& Name);
// 3, except CMYK 4 and gray 1.
int32_t ColorModelChannelCount(TColorModel Model);
// "R", "G", "B" ... "a", "b" ... "G" for gray.
const char* ColorModelChannelLetter(TColorModel Model, int32_t Channel);

// Values in the model's own units (HSV hue 0..359, CMYK 0..100, a and b about -128..127 ...).
TModelValues ColorToModel(TColorModel Model, uint32_t Packed);
// Each channel rounded and limited to 0..255.
TBGRPixel ColorFromModel(const TModelValues& Values, TColorModel Model);
// The German name of a channel beside its colour strip ("" past the model's channels).
const char* ColorChannelName(TColorModel Model, int32_t Channel);

// The values scaled to 0..1 (HSL and XYZ are left as they are).
TModelValues NormalizeModelValues(const TModelValues& Values, TColorModel Model);
// The inverse of NormalizeModelValues.
TModelValues DenormalizeModelValues(const TModelValues& Values, TColorModel Model);

// The colour at column X (0..255) of channel Channel's strip: that channel at
// X / 255 of its range, the others at Values (model units) or, with Separate,
// at the model's fixed values so that the strip shows only its own channel.
TBGRPixel StripColour(const TModelValues& Values, TColorModel Model, int32_t Channel, int32_t X, bool Separate);
// The colour at (X, Y) of the field beside channel Channel's bar: Channel held
// at its value, the lower-numbered of the other two at X / 255, the other at
// (255 - Y) / 255 (growing upwards).
TBGRPixel FieldColour(const TModelValues& Values, TColorModel Model, int32_t Channel, int32_t X, int32_t Y);

}  // namespace kv
