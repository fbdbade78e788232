#include "imaging/model/colour_space.h"

#include <array>
#include <cmath>

#include "platform/rtl/pascal_math.h"

namespace kv {
namespace {

// D65 reference white and the exact CIE constants.
constexpr double kWhiteX = 0.95047;
constexpr double kWhiteY = 1.0;
constexpr double kWhiteZ = 1.08883;
constexpr double kEpsilon = 216.0 / 24389.0;
constexpr double kKappa = 24389.0 / 27.0;

// Linear value of each 8-bit sRGB level; built once, the TIFF codec calls us per pixel.
const std::array<double, 256>& LinearTable() {
  static const std::array<double, 256> table = [] {
    std::array<double, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const double c = i / 255.0;
      t[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    }
    return t;
  }();
  return table;
}

double LabF(double t) { return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0; }

double LabFInverse(double f) {
  const double f3 = f * f * f;
  return f3 > kEpsilon ? f3 : (116.0 * f - 16.0) / kKappa;
}

uint8_t CompandToByte(double v) {
  if (!(v > 0.0)) return 0;  // also catches NaN
  if (v >= 1.0) return 255;
  const double c = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1.0 / 2.4) - 0.055;
  return ClampByte(static_cast<int32_t>(Round(c * 255.0)));
}

int8_t SignedByte(double v) {
  const int64_t r = Round(v);
  return static_cast<int8_t>(r < -128 ? -128 : (r > 127 ? 127 : r));
}

}  // namespace

void RGBToCIELab(const TBGRPixel& Colour, uint8_t& L, int8_t& a, int8_t& b) {
  const auto& lin = LinearTable();
  const double r = lin[Colour.r], g = lin[Colour.g], bl = lin[Colour.b];
  const double x = 0.4124564 * r + 0.3575761 * g + 0.1804375 * bl;
  const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * bl;
  const double z = 0.0193339 * r + 0.1191920 * g + 0.9503041 * bl;
  const double fx = LabF(x / kWhiteX), fy = LabF(y / kWhiteY), fz = LabF(z / kWhiteZ);
  const double lStar = 116.0 * fy - 16.0;
  L = ClampByte(static_cast<int32_t>(Round(lStar * 255.0 / 100.0)));
  a = SignedByte(500.0 * (fx - fy));
  b = SignedByte(200.0 * (fy - fz));
}

TBGRPixel CIELabToRGB(uint8_t L, int8_t a, int8_t b) {
  const double lStar = L * 100.0 / 255.0;
  const double fy = (lStar + 16.0) / 116.0;
  const double fx = fy + a / 500.0;
  const double fz = fy - b / 200.0;
  const double x = kWhiteX * LabFInverse(fx);
  const double y = kWhiteY * (lStar > kKappa * kEpsilon ? fy * fy * fy : lStar / kKappa);
  const double z = kWhiteZ * LabFInverse(fz);
  TBGRPixel p;
  p.r = CompandToByte(3.2404542 * x - 1.5371385 * y - 0.4985314 * z);
  p.g = CompandToByte(-0.9692660 * x + 1.8760108 * y + 0.0415560 * z);
  p.b = CompandToByte(0.0556434 * x - 0.2040259 * y + 1.0572252 * z);
  return p;
}

}  // namespace kv
