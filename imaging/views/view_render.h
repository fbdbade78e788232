// The pixel work of the single-image view, apart from the control: the
// backgrounds around a picture, and the nearest-neighbour rendering of the
// visible part of a bitmap into a pf24bit client-sized picture. The
// rendering reads only the source pixels the target shows, whatever the
// size of the bitmap.
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/model/mask.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"
#include "platform/rtl/types.h"

namespace kv {

enum TIMBackgroundStyle : uint8_t {
  imbsSolid, imbsHorizontal, imbsVertical, imbsFDiagonal, imbsBDiagonal, imbsCross, imbsDiagCross,
  imbsChessboard, imbsDiagonals, imbsCropped, imbsCropShadow
};

// The visible part of a bitmap: a source rectangle in bitmap pixels and the
// size it takes on screen.
struct TViewPart {
  int32_t SrcLeft = 0, SrcTop = 0, SrcWidth = 0, SrcHeight = 0;
  int32_t DestWidth = 0, DestHeight = 0;
};

// The system's edge sizes: the margin of imbsCropped.
constexpr int32_t kEdgeX = 2, kEdgeY = 2;
constexpr int32_t kChessSquare = 16;

// Target index -> source index of one axis: target Offset .. min(Offset +
// DestLen, TargetLen) - 1 show source SrcStart + (i - Offset) * SrcLen /
// DestLen (never beyond BmpLen - 1); other entries are -1.
void BuildAxisMap(std::vector<int32_t>& Map, int32_t TargetLen, int32_t Offset, int32_t DestLen, int32_t SrcStart,
                  int32_t SrcLen, int32_t BmpLen);

// Fills Clip of Target with a background style around the picture rectangle
// (also under it when UnderPicture). Colour is an RGB value.
void DrawViewBackground(TBitmap& Target, const TRect& Clip, const TRect& Picture, TIMBackgroundStyle Style,
                        TColor Colour, bool UnderPicture);

struct TRenderSetup {
  const TBitmap* Bmp = nullptr;       // pf24bit or pf1bit
  const TIMMask* Alpha = nullptr;     // blended over the background when set (8 bits, bitmap size)
  int32_t OffsetX = 0, OffsetY = 0;
  TIMBackgroundStyle Style = imbsSolid;
  TColor Colour = 0;                  // background, RGB
  bool NeedsBackground = false;       // the picture does not cover the target, or alpha is blended
};

// Renders the rows and columns of Clip that the maps send into the bitmap.
void RenderNearestRows(TBitmap& Target, const TRenderSetup& S, const TRect& Clip, const std::vector<int32_t>& XMap,
                       const std::vector<int32_t>& YMap);

// What a cached rendering shows, so that a scroll can reuse what stays in view.
struct TRenderState {
  bool Valid = false;
  bool Shiftable = false;  // each pixel depends only on its source pixel (no grid, no blending, no fill)
  bool Filtered = false;
  int32_t SrcLeft = 0, SrcTop = 0;
  std::vector<int32_t> XMap, YMap;
};

// Finds S so that New[i] == Old[i + S] wherever both exist, S within
// MaxShift of Hint and leaving some overlap. Returns false when none does.
bool FindMapShift(const std::vector<int32_t>& Old, const std::vector<int32_t>& New, int32_t Hint, int32_t MaxShift,
                  int32_t& S);

// Moves the pixels inside Area of a pf24bit bitmap: what was at (x + DX,
// y + DY) comes to (x, y); what would come from outside Area is left as it was.
void ShiftPixels(TBitmap& B, const TRect& Area, int32_t DX, int32_t DY);

}  // namespace kv
