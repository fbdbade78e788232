// The plug-in colour conversion.
#include "app/filters/plugin_binding_colour.h"

#include <algorithm>

#include "app/filters/colour_models.h"
#include "imaging/processing/colour_convert.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

int32_t PluginSpaceToModel(int32_t Space) {
  switch (Space) {
    case 0: return cmRGB;
    case 1: return cmHSV;
    case 2: return cmCMYK;
    case 3: return cmLAB;
    case 4: return cmGray;
    case 5: return cmHSL;
    case 6: return cmXYZ;
    default: return Space;
  }
}

namespace {
// An index past the table counts as RGB.
TColorModel ModelOf(int32_t Space) {
  const int32_t m = PluginSpaceToModel(Space);
  return m >= 0 && m < kColorModelCount ? static_cast<TColorModel>(m) : cmRGB;
}
}  // namespace

void PluginConvertColor(uint16_t* Components, int32_t SourceSpace, int32_t TargetSpace) {
  if (!Components) return;
  TModelValues c{double(Components[0]), double(Components[1]), double(Components[2]), double(Components[3])};
  const TColorModel m = ModelOf(SourceSpace);
  // The plug-in's 0..255 components into the model's own units.
  switch (m) {
    case cmHSV: c[1] *= 99.0 / 255, c[2] *= 99.0 / 255; break;
    case cmHSL: c[0] /= 359, c[1] /= 255, c[2] /= 255; break;
    case cmCMYK:
      for (double& x : c) x = 100 - x * 100 / 255;
      break;
    case cmLAB: c[0] *= 100.0 / 255, c[1] -= 128, c[2] -= 128; break;
    case cmXYZ: c[0] /= 255, c[1] /= 255, c[2] /= 255; break;
    default: break;
  }
  const TColorModel t = ModelOf(TargetSpace);
  const TModelValues modelled = ColorToModel(t, PackedColour(ColorFromModel(c, m)));
  // The fourth component belongs to CMYK alone; other targets leave it as the plug-in gave it.
  TModelValues out{modelled[0], modelled[1], modelled[2], t == cmCMYK ? modelled[3] : double(Components[3])};
  switch (t) {
    case cmHSV: out[1] *= 255.0 / 99, out[2] *= 255.0 / 99; break;
    case cmHSL: out[0] *= 359, out[1] *= 255, out[2] *= 255; break;
    case cmCMYK:
      for (double& x : out) x = (100 - x) * 255 / 100;
      break;
    case cmLAB: out[0] *= 255.0 / 100, out[1] += 128, out[2] += 128; break;
    case cmXYZ: out[0] *= 255, out[1] *= 255, out[2] *= 255; break;
    default: break;
  }
  // The components are unsigned 16-bit: a value outside is held at the nearer end.
  for (int i = 0; i < 4; ++i) Components[i] = static_cast<uint16_t>(std::clamp<int64_t>(Round(out[i]), 0, 65535));
}

}  // namespace kv
