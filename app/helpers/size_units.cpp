// Unit conversions of lengths and resolutions.
#include "app/helpers/size_units.h"

#include "app/helpers/text_helpers.h"

namespace kv {

namespace {

// The pixels of one unit; 0 for an unknown unit or a user unit of no size.
double PixelsPerUnit(int32_t Unit, double Base, double Resolution, double UserUnit) {
  switch (Unit) {
    case 0: return 1;
    case 1: return Resolution;
    case 2: return Resolution / 2.54;
    case 3: return Resolution / 25.4;
    case 4: return Resolution / 0.0254;
    case 5: return Resolution / 72;
    case 6: return IsNearZero(UserUnit) ? 0 : Resolution / UserUnit;
    case 7: return Base / 100;
    default: return 0;
  }
}

}  // namespace

std::string LengthUnitName(int32_t Unit) {
  static const char* const kNames[kLengthUnitCount] = {"pixel", "inch", "cm", "mm", "m", "PostScript", "Benutzer", "%"};
  return Unit >= 0 && Unit < kLengthUnitCount ? kNames[Unit] : "";
}

std::string ResolutionUnitName(int32_t Unit) {
  static const char* const kNames[kResolutionUnitCount] = {"pixel/inch (dpi)", "pixel/cm", "pixel/mm", "pixel/m"};
  return Unit >= 0 && Unit < kResolutionUnitCount ? kNames[Unit] : "";
}

double UnitToPixels(int32_t Unit, double Base, double Resolution, double Value, double UserUnit) {
  return Value * PixelsPerUnit(Unit, Base, Resolution, UserUnit);
}

double PixelsToUnit(int32_t Unit, double Base, double Resolution, double Pixels, double UserUnit) {
  const double one = PixelsPerUnit(Unit, Base, Resolution, UserUnit);
  return IsNearZero(one) ? 0 : Pixels / one;
}

double ResolutionUnitFactor(int32_t Unit, double Dpi) {
  switch (Unit) {
    case 0: return Dpi;
    case 1: return Dpi / 2.54;
    case 2: return Dpi / 25.4;   // an inch is 25.4 mm
    case 3: return Dpi / 0.0254;
    default: return 0;
  }
}

double InchResolutionFromUnit(int32_t Unit, double Value) {
  const double one = ResolutionUnitFactor(Unit, 1);
  return IsNearZero(one) ? 0 : Value / one;
}

}  // namespace kv
