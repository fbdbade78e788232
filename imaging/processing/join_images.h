// Joining two pictures: where the second one goes for a side of the 3 x 3
// direction picker, the preview with the overlap blended, and the union of
// both placed pictures as the result.
#pragma once
#include <cstdint>

#include "platform/rtl/types.h"

namespace kv {

class TBitmap;

struct TJoinPlacement {
  int32_t X0 = 0, Y0 = 0;  // the current picture
  int32_t X1 = 0, Y1 = 0;  // the second picture
};

// The offset of an anchor mask in free space (bit 1 bottom, 2 top, 4 right, 8 left; -1 leaves X, Y alone).
void DirectionOffset(int32_t Mask, double FreeWidth, double FreeHeight, double& X, double& Y);

// Both positions inside a preview of (W0 + W1) x (H0 + H1) for the mask: the
// current picture by the anchor rule, the second beside it (bits 8, 4, 2, 1
// in this order, a later one winning), or centred without a bit.
TJoinPlacement PlaceJoin(int32_t Mask, int32_t W0, int32_t H0, int32_t W1, int32_t H1);

// The preview: black, the current picture at (X0, Y0), the second at (X1, Y1)
// blended with weight round(Transparency) * 256 div 100 where they overlap.
void DrawJoinPreview(TBitmap& Preview, const TBitmap& Current, const TBitmap& Second, const TJoinPlacement& P,
                     double Transparency);

// The union of the placed pictures within the preview (right and bottom exclusive).
TRect JoinUnion(const TBitmap& Preview, int32_t W0, int32_t H0, int32_t W1, int32_t H1, const TJoinPlacement& P);

}  // namespace kv
