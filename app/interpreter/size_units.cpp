// Lengths in the units of NEWIMAGE and RESIZE.
#include "app/interpreter/size_units.h"

#include "app/interpreter/interpreter.h"
#include "imaging/formats/codec.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

int32_t SizeToPixels(double Value, int32_t Unit, double Resolution, double UserUnit, double PercentBase) {
  double pixels = Value;
  switch (Unit) {
    case suInch: pixels = Value * Resolution; break;
    case suCm: pixels = Value * Resolution / 2.54; break;
    case suMm: pixels = Value * Resolution / 25.4; break;
    case suMetre: pixels = Value * Resolution / 0.0254; break;
    case suPoint: pixels = Value * Resolution / 72; break;
    // A stored user unit of 0 would divide by zero; it counts as one unit per inch.
    case suUser: pixels = Value * Resolution / (UserUnit > 0 ? UserUnit : 1); break;
    case suPercent: pixels = Value * PercentBase / 100; break;
    default: break;
  }
  return Round32(pixels);
}

void RequireImageSize(int32_t Width, int32_t Height) {
  if (!CheckImageSize(Width, Height))
    throw ECommandError("Invalid image size " + std::to_string(Width) + " x " + std::to_string(Height));
}

}  // namespace kv
