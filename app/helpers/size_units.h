// Lengths and resolutions in the units the user chooses, against pixels and
// pixels per inch. The image window's rulers and status line, the size
// frames and the commands that take sizes all convert through here.
#pragma once
#include <cstdint>
#include <string>

namespace kv {

// Length units: 0 pixel, 1 inch, 2 cm, 3 mm, 4 m, 5 PostScript point, 6 user unit, 7 percent.
constexpr int32_t kLengthUnitCount = 8;
// Resolution units: 0 per inch, 1 per cm, 2 per mm, 3 per m.
constexpr int32_t kResolutionUnitCount = 4;

// "pixel", "inch", "cm", "mm", "m", "PostScript", "Benutzer", "%"; empty for other units.
std::string LengthUnitName(int32_t Unit);
// "pixel/inch (dpi)", "pixel/cm", "pixel/mm", "pixel/m"; empty for other units.
std::string ResolutionUnitName(int32_t Unit);

// The pixels of Value units at Resolution pixels per inch. Base is the pixel
// count of 100 %; a user unit is Resolution / UserUnit pixels (the stored
// value "Userunit"). Unknown units give 0.
double UnitToPixels(int32_t Unit, double Base, double Resolution, double Value, double UserUnit = 1);
// The inverse: 0 when one unit is (nearly) no pixel, so a missing resolution never divides by zero.
double PixelsToUnit(int32_t Unit, double Base, double Resolution, double Pixels, double UserUnit = 1);
// A resolution in pixels per inch shown in a resolution unit; other units give 0.
double ResolutionUnitFactor(int32_t Unit, double Dpi);
// The inverse: pixels per inch of Value in Unit; 0 when the unit's factor is near zero.
double InchResolutionFromUnit(int32_t Unit, double Value);

}  // namespace kv
