// Stereo pictures: a left-eye and a right-eye picture combined into one of
// eight kinds (four anaglyphs for coloured glasses, side by side, crossed,
// mirrored, interlaced rows) and split back into the two eyes.
#pragma once
#include <cstdint>

namespace kv {

class TBitmap;

enum TStereoKind : uint8_t {
  skRedBlue = 0,
  skRedGreen = 1,
  skRedCyanColour = 2,
  skMonochrome = 3,
  skParallel = 4,
  skCrossed = 5,
  skMirror = 6,
  skShutter = 7,
};

// The gap between the two halves of the mirror layout.
inline constexpr int32_t kStereoMirrorGap = 10;

// Combines the eye pictures (pf24bit) into Output. Left and Right may be
// changed (grey, turned by Dr degrees, shifted by Dx, Dy); callers pass copies.
// Output is expected black where the kind leaves channels unwritten.
void MakeAnaglyph(TBitmap& Left, TBitmap& Right, TBitmap& Output, int32_t Kind, int32_t Dx, int32_t Dy, int32_t Dr);

// Fills the eye pictures from a stereo picture of the given kind.
void SplitStereoImage(TBitmap& Left, TBitmap& Right, const TBitmap& Stereo, int32_t Kind);

}  // namespace kv
