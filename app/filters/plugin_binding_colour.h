// The convert-colour callback of the plug-in call block: colours between the
// plug-in colour spaces, through the program's colour models.
#pragma once
#include <cstdint>

namespace kv {

// The model a plug-in colour space id stands for (0 RGB, 1 HSB, 2 CMYK, 3 Lab,
// 4 gray, 5 HSL, 6 XYZ); any other id is taken as a model index.
int32_t PluginSpaceToModel(int32_t Space);

// Four 16-bit components (0..255 each) converted in place from one plug-in
// colour space to another. Null components: nothing.
void PluginConvertColor(uint16_t* Components, int32_t SourceSpace, int32_t TargetSpace);

}  // namespace kv
