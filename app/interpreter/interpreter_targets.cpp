// The windows a command works on: the override child, the active image
// window or catalog window, and the undo point.
#include "app/child/child_window.h"
#include "app/main/main_form.h"

namespace kv {

Tchild* Tform1::getchild() const { return OverrideChild; }
timagerlayer* Tform1::getimager() const {
  Tchild* child = getchild();
  return child ? child->imager1 : nullptr;
}
TFormcatalog* Tform1::getcatalog() const { return nullptr; }
TBitmap* Tform1::getbitmap() const { return nullptr; }
void Tform1::saveundo() {}

}  // namespace kv
