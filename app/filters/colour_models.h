// The program's colour models (RGB, HSV, HSL, CMYK, L*a*b*, YUV, XYZ, gray):
// a packed colour to model values and back, and the values' normalisation to
// 0..1 that the colour strips and the channel filters work in.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "imaging/model/pixel.h"

namespace kv {

enum TColorModel : int32_t { cmRGB, cmHSV, cmHSL, cmCMYK, cmLAB, cmYUV, cmXYZ, cmGray };
constexpr int32_t kColorModelCount = 8;

// Channel values of a model; only CMYK uses the fourth.
using TModelValues = std::array<double, 4>;

// "RGB", "HSV", "HSL", "CMYK", "LAB", "YUV", "XYZ", "Gray".
const char* ColorModelName(int32_t Model);
// The index of a model name compared without case; any other name gives RGB.
int32_t ColorModelIndex(const std::string& Name);
// 3, or 4 for CMYK, 1 for gray.
int32_t ColorModelChannels(int32_t Model);
// The German name of channel 0..3 of a model ("" past its channels).
const char* ColorChannelName(int32_t Model, int32_t Channel);

// Packed colour 0x00RRGGBB to the model's own units.
TModelValues ColorToModel(int32_t Model, uint32_t Packed);
// Model values to a pixel, each channel rounded and limited to 0..255.
TBGRPixel ColorFromModel(const TModelValues& Values, int32_t Model);

// Model units to 0..1 and back.
TModelValues NormalizeModelValues(const TModelValues& Values, int32_t Model);
TModelValues DenormalizeModelValues(const TModelValues& Values, int32_t Model);

}  // namespace kv
