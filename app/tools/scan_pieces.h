// What becomes of the pictures found on a scanned sheet: outlines in a
// preview, or one new image window each.
#pragma once
#include <functional>
#include <vector>

#include "platform/rtl/types.h"

namespace kv {

class TBitmap;
class Tform1;

// A red hollow rectangle around each piece, pen width max(width, height) div 480 + 2.
void OutlineScanPieces(TBitmap& Bitmap, const std::vector<TRect>& Pieces);

// Each piece is copied into a new image window (made by "HIDDEN NewImage"
// with the sheet's resolution); OnPiece, when given, is called with it current.
void SeparatedPiecesToWindows(Tform1& Form, const TBitmap& Sheet, const std::vector<TRect>& Pieces,
                              const std::function<void()>& OnPiece);

}  // namespace kv
