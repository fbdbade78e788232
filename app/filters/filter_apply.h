// Applying a filter item to a picture: the undo point, the selection and the
// dispatch to the effect's kernel.
#pragma once
#include <cstdint>

#include "imaging/model/kernel_types.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/exceptions.h"

namespace kv {

class tfilteritem;
class timagerlayer;

// A filter that cannot run: a tool this build lacks, a window title that
// names no image window, a formula that does not compile.
KV_DECLARE_EXCEPTION(EFilterError, Exception)

// Applies Item to the image control: an undo point when its AutoUndo is on
// or UndoPoint asks for one, then the work limited to the selection of the
// active image (SelectionFromActive)
// or of Image itself; a selection that is not one axis-aligned rectangle is
// worked on in a copy of its bounding box that is drawn back inside it.
// Scale is the preview scale that lengths are multiplied by. Does nothing
// while another application is running (a progress handler that lets
// messages run may come back here). A rotation of the whole picture builds a
// new one: its undo point is the picture it replaced rather than a copy.
void ApplyFilterToImage(timagerlayer& Image, tfilteritem* Item, bool UseDefaults, bool Preview,
                        bool SelectionFromActive, double Scale, bool UndoPoint = false);
// True while ApplyFilterToImage runs.
bool FilterApplying();

// The dispatcher: runs Item on the rectangle X1, Y1, X2, Y2 (right and bottom
// exclusive) of Bitmap, reading each parameter from its current value or,
// with UseDefaults, its default. Replaced, when given, receives the picture
// an effect that builds a new one (a rotation) replaced; it stays empty
// otherwise.
void ApplyFilterItem(TBitmap& Bitmap, tfilteritem& Item, bool UseDefaults, bool Preview, double Scale,
                     TProgressRec& Progress, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                     TBitmap* Replaced = nullptr);

}  // namespace kv
