// The maker of the open dialog's frames preview, installed by the views that provide it.
#include "imaging/views/frames_preview.h"

namespace kv {

namespace {
TIMFramesPreviewMaker& Maker() {
  static TIMFramesPreviewMaker maker;
  return maker;
}
}  // namespace

void SetFramesPreviewMaker(TIMFramesPreviewMaker Value) { Maker() = std::move(Value); }
const TIMFramesPreviewMaker& FramesPreviewMaker() { return Maker(); }

}  // namespace kv
