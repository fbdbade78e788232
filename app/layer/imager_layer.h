// The program's image control: the library's image control with an undo
// position, so that undo and redo walk the snapshot list back and forth
// without cutting it, plus the few conveniences the program's windows share.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "app/params/file_kind_types.h"
#include "imaging/views/image_control.h"
#include "platform/graphics/color.h"

namespace kv {

class timagerlayer : public TImager {
 public:
  explicit timagerlayer(TComponent* AOwner);

  // -1: at the live image; 0 and above: snapshots back from the newest.
  int32_t UndoPosition() const { return FUndoPosition; }
  void ResetUndoPosition() { FUndoPosition = -1; }

  // A snapshot of the current image; the position goes back to the live image.
  void SaveUndoPoint();
  // SaveUndoPoint taken after an operation that replaced the picture with a
  // new one: Replaced, the old picture, becomes the snapshot without a copy
  // (the alpha channel is the control's). An empty Replaced (nothing was
  // replaced) takes the snapshot of the picture as it is.
  void SaveUndoPointOf(TBitmap& Replaced);
  // Resample as one undo step: the picture the result replaces becomes the
  // snapshot, so that no copy of it is made beforehand.
  void ResampleWithUndo(int32_t Width, int32_t Height, TResampleFilter Filter);
  // One step back; the live image is kept as the newest snapshot first, so
  // that Redo can reach it again.
  void Undo();
  void Redo();
  bool CanUndo() const;
  bool CanRedo() const;

  // The whole bitmap in one solid colour.
  void FillColor(TColor Color);
  // Shows at once a change painted straight into the bitmap (right and
  // bottom exclusive, in bitmap pixels).
  void UpdateBitmapRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
  // Resamples without filtering to the largest size that fits the control
  // with the picture's aspect.
  void ResampleToFit();
  // The zoom in percent at which the whole picture fits the control; 100 for
  // an empty picture, never below 1.
  int32_t FitZoomPercent() const;
  // The cursor that goes with the mouse-interaction mode.
  void UpdateCursor();

 private:
  int32_t FUndoPosition = -1;
};

// The eleven image-information texts, indexed by the field.
struct TImageInfoTexts : std::array<std::string, kImageInfoCount> {
  using array::operator[];
  std::string& operator[](tImageInfo Info) { return (*this)[size_t(Info)]; }
  const std::string& operator[](tImageInfo Info) const { return (*this)[size_t(Info)]; }
};

// The image-information texts of the control's picture.
TImageInfoTexts ImageInfoText(timagerlayer& Control);

}  // namespace kv
