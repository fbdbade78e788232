#include "imaging/processing/colour_convert.h"

#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

// 0..255 to 0..99 and back, rounded half to even; tabled because the HSV
// shift converts every pixel twice.
struct TScaleTables {
  uint8_t To99[256];
  uint8_t From99[100];
  TScaleTables() {
    for (int32_t c = 0; c < 256; ++c) To99[c] = static_cast<uint8_t>(Round(c / 255.0 * 99.0));
    for (int32_t c = 0; c < 100; ++c) From99[c] = static_cast<uint8_t>(Round(c / 99.0 * 255.0));
  }
};
// Built on first use, so callers from other static initialisers see it ready.
const TScaleTables& Scale() {
  static const TScaleTables t;
  return t;
}

int32_t To99(uint8_t C) { return Scale().To99[C]; }
uint8_t From99(int32_t C) { return Scale().From99[C]; }  // C is 0..99 by construction

}  // namespace

void RGBToHSV(uint32_t Colour, int32_t& Hue, int32_t& Saturation, int32_t& Value) {
  const int32_t r = To99(static_cast<uint8_t>(Colour >> 16));
  const int32_t g = To99(static_cast<uint8_t>(Colour >> 8));
  const int32_t b = To99(static_cast<uint8_t>(Colour));
  const int32_t mx = IMax(r, IMax(g, b));
  const int32_t mn = IMin(r, IMin(g, b));
  Value = mx;
  Saturation = mx == 0 ? 0 : (mx - mn) * 99 / mx;
  if (Saturation == 0) {
    Hue = 0;
    return;
  }
  const int32_t d = mx - mn;
  int32_t h;
  if (r == mx) h = (g - b) * 60 / d;
  else if (g == mx) h = (b - r) * 60 / d + 120;
  else h = (r - g) * 60 / d + 240;
  if (h < 0) h += 360;
  Hue = h;
}

void HSVToRGB(TBGRPixel& Out, int32_t Hue, int32_t Saturation, int32_t Value) {
  const int32_t h = IClamp(Hue, 0, 359);
  const int32_t s = IClamp(Saturation, 0, 99);
  const int32_t v = IClamp(Value, 0, 99);
  int32_t r, g, b;
  if (s == 0) {
    r = g = b = v;
  } else {
    const int32_t e = h % 60;
    const int32_t sv = s * v;
    const int32_t p = v - sv / 99;
    const int32_t q = v - e * sv / 5940;
    const int32_t t = v - sv * (60 - e) / 5940;
    switch (h / 60) {
      case 0: r = v; g = t; b = p; break;
      case 1: r = q; g = v; b = p; break;
      case 2: r = p; g = v; b = t; break;
      case 3: r = p; g = q; b = v; break;
      case 4: r = t; g = p; b = v; break;
      default: r = v; g = p; b = q; break;
    }
  }
  Out.r = From99(r);
  Out.g = From99(g);
  Out.b = From99(b);
}

void RGBToHSL(uint32_t Colour, double& Hue, double& Saturation, double& Lightness) {
  const double r = static_cast<uint8_t>(Colour >> 16) / 255.0;
  const double g = static_cast<uint8_t>(Colour >> 8) / 255.0;
  const double b = static_cast<uint8_t>(Colour) / 255.0;
  const double mx = DMax(r, DMax(g, b));
  const double mn = DMin(r, DMin(g, b));
  Lightness = (mx + mn) / 2;
  if (mx == mn) {
    Hue = 0;
    Saturation = 0;
    return;
  }
  const double d = mx - mn;
  Saturation = Lightness >= 0.5 ? d / (2 - mx - mn) : d / (mx + mn);
  double h;
  if (mx == r) h = (g - b) / d;
  else if (mx != g) h = (r - g) / d + 4;
  else h = (b - r) / d + 2;
  h /= 6;
  if (h < 0) h += 1;
  Hue = h;
}

namespace {

double HueToChannel(double M1, double M2, double X) {
  if (X < 0) X += 1;
  else if (X > 1) X -= 1;
  if (6 * X < 1) return M1 + (M2 - M1) * X * 6;
  if (2 * X < 1) return M2;
  if (3 * X < 2) return M1 + (M2 - M1) * (2.0 / 3.0 - X) * 6;
  return M1;
}

uint8_t ChannelByte(double V) { return static_cast<uint8_t>(Clamp255(Trunc(V * 255))); }

}  // namespace

void HSLToRGB(TBGRPixel& Out, double Hue, double Saturation, double Lightness) {
  // NaN fails every comparison; treat it as 0 like any other value below the range.
  const auto limit = [](double v) { return !(v > 0) ? 0.0 : (v > 1 ? 1.0 : v); };
  const double h = limit(Hue);
  const double s = limit(Saturation);
  const double l = limit(Lightness);
  if (s == 0) {
    Out.r = Out.g = Out.b = ChannelByte(l);
    return;
  }
  const double m2 = l <= 0.5 ? l * (1 + s) : l + s - l * s;
  const double m1 = 2 * l - m2;
  Out.r = ChannelByte(HueToChannel(m1, m2, h + 1.0 / 3.0));
  Out.g = ChannelByte(HueToChannel(m1, m2, h));
  Out.b = ChannelByte(HueToChannel(m1, m2, h - 1.0 / 3.0));
}

TBGRPixel TColorToTBGRPixel(TColor Colour) {
  const TColorRef c = ColorToRGB(Colour);
  return CreateRGB(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace kv
