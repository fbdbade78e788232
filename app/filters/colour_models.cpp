// Colour-model conversions; L*a*b* and XYZ come from the imaging library.
#include "app/filters/colour_models.h"

#include <algorithm>
#include <cmath>

#include "app/params/param_strings.h"
#include "imaging/processing/colour_convert.h"
#include "imaging/processing/lab_rgb.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

struct TModelInfo {
  const char* Name;
  int32_t Channels;
  const char* Letters[4];
};

const TModelInfo kModels[kColorModelCount] = {
    {"RGB", 3, {"R", "G", "B", ""}},  {"HSV", 3, {"H", "S", "V", ""}},  {"HSL", 3, {"H", "S", "L", ""}},
    {"CMYK", 4, {"C", "M", "Y", "K"}}, {"LAB", 3, {"L", "a", "b", ""}},  {"YUV", 3, {"Y", "U", "V", ""}},
    {"XYZ", 3, {"X", "Y", "Z", ""}},  {"Gray", 1, {"G", "", "", ""}},
};

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

uint8_t Limit255(double V) { return uint8_t(std::clamp<int64_t>(Round(V), 0, 255)); }

}  // namespace

const char* ColorModelName(TColorModel Model) { return kModels[Model % kColorModelCount].Name; }

TColorModel ColorModelIndex(const std::string& Name) {
  for (int32_t i = 0; i < kColorModelCount; ++i)
    if (SameTextNoCase(Name, kModels[i].Name)) return TColorModel(i);
  return cmRGB;
}

int32_t ColorModelChannelCount(TColorModel Model) { return kModels[Model % kColorModelCount].Channels; }

const char* ColorModelChannelLetter(TColorModel Model, int32_t Channel) {
  if (Channel < 0 || Channel >= ColorModelChannelCount(Model)) return "";
  return kModels[Model % kColorModelCount].Letters[Channel];
}

const char* ColorChannelName(TColorModel Model, int32_t Channel) {
  if (Channel < 0 || Channel >= ColorModelChannelCount(Model)) return "";
  return kChannelNames[Model % kColorModelCount][Channel];
}

TModelValues ColorToModel(TColorModel Model, uint32_t Packed) {
  const int32_t r = int32_t((Packed >> 16) & 0xFF), g = int32_t((Packed >> 8) & 0xFF), b = int32_t(Packed & 0xFF);
  TModelValues v{0, 0, 0, 0};
  switch (Model < kColorModelCount ? Model : cmRGB) {  // a model number from outside counts as RGB
    case cmRGB: v = {double(r), double(g), double(b), 0}; break;
    case cmHSV: {
      int32_t h = 0, s = 0, val = 0;
      RGBToHSV(Packed & 0xFFFFFF, h, s, val);
      v = {double(h), double(s), double(val), 0};
      break;
    }
    case cmHSL: RGBToHSL(Packed & 0xFFFFFF, v[0], v[1], v[2]); break;
    case cmCMYK: {
      const int64_t c = 100 - Round(r * 100.0 / 255), m = 100 - Round(g * 100.0 / 255),
                    y = 100 - Round(b * 100.0 / 255);
      const int64_t k = std::min({c, m, y});
      v = {double(c - k), double(m - k), double(y - k), double(k)};
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
  }
  return v;
}

TBGRPixel ColorFromModel(const TModelValues& V, TColorModel Model) {
  TBGRPixel p;
  switch (Model < kColorModelCount ? Model : cmRGB) {
    case cmRGB: p = CreateRGB(Limit255(V[0]), Limit255(V[1]), Limit255(V[2])); break;
    case cmHSV: {
      // Hue runs round the circle: 360 is red again, not the last step before it.
      int32_t hue = Round32(V[0]) % 360;
      if (hue < 0) hue += 360;
      HSVToRGB(p, hue, Round32(V[1]), Round32(V[2]));
      break;
    }
    case cmHSL: HSLToRGB(p, V[0], V[1], V[2]); break;
    case cmCMYK:
      p = CreateRGB(Limit255(255 - double(Round((V[0] + V[3]) * 2.55))),
                    Limit255(255 - double(Round((V[1] + V[3]) * 2.55))),
                    Limit255(255 - double(Round((V[2] + V[3]) * 2.55))));
      break;
    case cmLAB:
    case cmXYZ: {
      double r = 0, g = 0, b = 0;
      if (Model == cmLAB)
        LabToRGB(V[0], V[1], V[2], r, g, b);
      else
        XYZToRGB(V[0], V[1], V[2], r, g, b);
      p = CreateRGB(Limit255(r * 255), Limit255(g * 255), Limit255(b * 255));
      break;
    }
    case cmYUV:
      p = CreateRGB(Limit255(V[0] + 1.403 * V[2]), Limit255(V[0] - 0.344 * V[1] - 0.714 * V[2]),
                    Limit255(V[0] + 1.77 * V[1]));
      break;
    case cmGray: {
      const uint8_t grey = Limit255(V[0]);
      p = CreateRGB(grey, grey, grey);
      break;
    }
  }
  return p;
}

TModelValues NormalizeModelValues(const TModelValues& V, TColorModel Model) {
  TModelValues n = V;
  switch (Model) {
    case cmRGB:
    case cmGray:
      for (double& x : n) x /= 255;
      break;
    case cmHSV: n = {V[0] / 359, V[1] / 99, V[2] / 99, V[3]}; break;
    case cmCMYK:
      for (double& x : n) x /= 100;
      break;
    case cmLAB: n = {V[0] / 100, (V[1] + 128) / 255, (V[2] + 128) / 255, V[3]}; break;
    case cmYUV: n = {V[0] / 255, (V[1] + 128) / 255, (V[2] + 128) / 255, V[3]}; break;
    case cmHSL:
    case cmXYZ: break;
  }
  return n;
}

TModelValues DenormalizeModelValues(const TModelValues& V, TColorModel Model) {
  TModelValues d = V;
  switch (Model) {
    case cmRGB:
    case cmGray:
      for (double& x : d) x *= 255;
      break;
    case cmHSV: d = {V[0] * 359, V[1] * 99, V[2] * 99, V[3]}; break;
    case cmCMYK:
      for (double& x : d) x *= 100;
      break;
    case cmLAB: d = {V[0] * 100, V[1] * 255 - 128, V[2] * 255 - 128, V[3]}; break;
    case cmYUV: d = {V[0] * 255, V[1] * 255 - 128, V[2] * 255 - 128, V[3]}; break;
    case cmHSL:
    case cmXYZ: break;
  }
  return d;
}

TBGRPixel StripColour(const TModelValues& Values, TColorModel Model, int32_t Channel, int32_t X, bool Separate) {
  TModelValues v = Values;
  if (Separate) {
    switch (Model) {
      case cmHSV: v = {128, 100, 100, 0}; break;
      case cmHSL: v = {0.5, 1, 0.5, 0}; break;
      default: v = {0, 0, 0, 0}; break;
    }
  }
  TModelValues n = NormalizeModelValues(v, Model);
  n[size_t(Channel & 3)] = std::clamp(X, 0, 255) / 255.0;
  return ColorFromModel(DenormalizeModelValues(n, Model), Model);
}

TBGRPixel FieldColour(const TModelValues& Values, TColorModel Model, int32_t Channel, int32_t X, int32_t Y) {
  TModelValues n = NormalizeModelValues(Values, Model);
  const int32_t k = std::clamp(Channel, 0, 2);
  const int32_t across = k == 0 ? 1 : 0, up = k == 2 ? 1 : 2;
  n[size_t(across)] = std::clamp(X, 0, 255) / 255.0;
  n[size_t(up)] = (255 - std::clamp(Y, 0, 255)) / 255.0;
  return ColorFromModel(DenormalizeModelValues(n, Model), Model);
}

}  // namespace kv
