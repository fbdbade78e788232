#include "app/filters/colour_models.h"

#include <algorithm>
#include <cmath>

#include "app/params/param_strings.h"
#include "imaging/processing/colour_convert.h"
#include "imaging/processing/lab_rgb.h"
#include "platform/rtl/pascal_math.h"

namespace kv {
namespace {

const char* const kModelNames[kColorModelCount] = {"RGB", "HSV", "HSL", "CMYK", "LAB", "YUV", "XYZ", "Gray"};

const char* const kChannelNames[kColorModelCount][4] = {
    {"Rot", "Grün", "Blau", ""},
    {"Farbton", "Sättigung", "Helligkeit", ""},
    {"Farbton", "Sättigung", "Leuchtkraft", ""},
    {"Cyan", "Mangenta", "Gelb", "Schwarz"},
    {"Leuchtkraft", "Grün nach Rot", "Blau nach Gelb", ""},
    {"Leuchtkraft", "Differenz Blau", "Differenz Rot", ""},
    {"X", "Y", "Z", ""},
    {"Grau", "", "", ""},
};

// The divisor of each channel that takes model units to 0..1; the channels
// of LAB's a and b and YUV's U and V are first shifted by 128.
struct TNorm {
  double Div[4];
  bool Shift12;
};
const TNorm kNorm[kColorModelCount] = {
    {{255, 255, 255, 0}, false}, {{359, 99, 99, 0}, false}, {{1, 1, 1, 0}, false},
    {{100, 100, 100, 100}, false}, {{100, 255, 255, 0}, true}, {{255, 255, 255, 0}, true},
    {{1, 1, 1, 0}, false},       {{255, 255, 255, 0}, false},
};

uint8_t Byte(double V) { return uint8_t(Clamp255(Round(V))); }

}  // namespace

const char* ColorModelName(int32_t Model) {
  return Model >= 0 && Model < kColorModelCount ? kModelNames[Model] : kModelNames[0];
}

int32_t ColorModelIndex(const std::string& Name) {
  for (int32_t i = 0; i < kColorModelCount; ++i)
    if (SameTextNoCase(Name, kModelNames[i])) return i;
  return cmRGB;
}

int32_t ColorModelChannels(int32_t Model) { return Model == cmCMYK ? 4 : (Model == cmGray ? 1 : 3); }

const char* ColorChannelName(int32_t Model, int32_t Channel) {
  if (Model < 0 || Model >= kColorModelCount || Channel < 0 || Channel > 3) return "";
  return kChannelNames[Model][Channel];
}

TModelValues ColorToModel(int32_t Model, uint32_t Packed) {
  const int32_t r = int32_t((Packed >> 16) & 0xFF), g = int32_t((Packed >> 8) & 0xFF), b = int32_t(Packed & 0xFF);
  TModelValues v{0, 0, 0, 0};
  switch (Model) {
    case cmHSV: {
      int32_t h, s, val;
      RGBToHSV(Packed, h, s, val);
      v = {double(h), double(s), double(val), 0};
      break;
    }
    case cmHSL: RGBToHSL(Packed, v[0], v[1], v[2]); break;
    case cmCMYK: {
      const double c = 100 - Round(r * 100.0 / 255), m = 100 - Round(g * 100.0 / 255),
                   y = 100 - Round(b * 100.0 / 255);
      const double k = std::min({c, m, y});
      v = {c - k, m - k, y - k, k};
      break;
    }
    case cmLAB: RGBToLab(r / 255.0, g / 255.0, b / 255.0, v[0], v[1], v[2]); break;
    case cmXYZ: RGBToXYZ(r / 255.0, g / 255.0, b / 255.0, v[0], v[1], v[2]); break;
    case cmYUV: {
      const double y = 0.299 * r + 0.587 * g + 0.114 * b;
      v = {y, (b - y) * 0.565, (r - y) * 0.713, 0};
      break;
    }
    case cmGray: v[0] = r / 3 + g / 3 + b / 3; break;
    default: v = {double(r), double(g), double(b), 0}; break;
  }
  return v;
}

TBGRPixel ColorFromModel(const TModelValues& V, int32_t Model) {
  TBGRPixel p;
  switch (Model) {
    case cmHSV: HSVToRGB(p, Round32(V[0]), Round32(V[1]), Round32(V[2])); break;
    case cmHSL: HSLToRGB(p, V[0], V[1], V[2]); break;
    case cmCMYK:
      p = CreateRGB(Byte(255 - Round((V[0] + V[3]) * 2.55)), Byte(255 - Round((V[1] + V[3]) * 2.55)),
                    Byte(255 - Round((V[2] + V[3]) * 2.55)));
      break;
    case cmLAB:
    case cmXYZ: {
      double r, g, b;
      if (Model == cmLAB)
        LabToRGB(V[0], V[1], V[2], r, g, b);
      else
        XYZToRGB(V[0], V[1], V[2], r, g, b);
      p = CreateRGB(Byte(r * 255), Byte(g * 255), Byte(b * 255));
      break;
    }
    case cmYUV:
      p = CreateRGB(Byte(V[0] + 1.403 * V[2]), Byte(V[0] - 0.344 * V[1] - 0.714 * V[2]), Byte(V[0] + 1.77 * V[1]));
      break;
    case cmGray: p = CreateRGB(Byte(V[0]), Byte(V[0]), Byte(V[0])); break;
    default: p = CreateRGB(Byte(V[0]), Byte(V[1]), Byte(V[2])); break;
  }
  return p;
}

TModelValues NormalizeModelValues(const TModelValues& Values, int32_t Model) {
  if (Model < 0 || Model >= kColorModelCount) Model = cmRGB;
  const TNorm& n = kNorm[Model];
  TModelValues v = Values;
  for (int32_t i = 0; i < 4; ++i) {
    const double shift = n.Shift12 && (i == 1 || i == 2) ? 128 : 0;
    if (std::fabs(n.Div[i]) > 1e-6) v[i] = (Values[i] + shift) / n.Div[i];
  }
  return v;
}

TModelValues DenormalizeModelValues(const TModelValues& Values, int32_t Model) {
  if (Model < 0 || Model >= kColorModelCount) Model = cmRGB;
  const TNorm& n = kNorm[Model];
  TModelValues v = Values;
  for (int32_t i = 0; i < 4; ++i) {
    const double shift = n.Shift12 && (i == 1 || i == 2) ? 128 : 0;
    if (std::fabs(n.Div[i]) > 1e-6) v[i] = Values[i] * n.Div[i] - shift;
  }
  return v;
}

}  // namespace kv
