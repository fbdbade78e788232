// The paper glasses for the anaglyph pictures, as a placeable Windows
// metafile the program opens like any picture: two temples and the front
// with a blue lens on the left and a red one on the right (seen from the
// front, so the red lens sits before the wearer's left eye).
#pragma once
#include <string>

namespace kv {

// Size of the drawing in its units (96 to the inch).
inline constexpr int32_t kGlassesWidth = 720, kGlassesHeight = 800;

// Writes the metafile (atomically).
void WriteGlassesMetafile(const std::string& FileName);
// "glasses.wmf" in the program folder, written there first when it is missing.
std::string GlassesFile();

}  // namespace kv
