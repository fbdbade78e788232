// The windows a command works on: the override child, the active image
// window or catalog window, and the undo point.
#include "app/catalog/catalog_window.h"
#include "app/child/child_window.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"

namespace kv {

Tchild* Tform1::getchild() const {
  if (OverrideChild) return OverrideChild;
  return dynamic_cast<Tchild*>(ActiveMDIChild());
}

timagerlayer* Tform1::getimager() const {
  Tchild* child = getchild();
  return child ? child->imager1 : nullptr;
}

TFormcatalog* Tform1::getcatalog() const { return dynamic_cast<TFormcatalog*>(ActiveMDIChild()); }

TBitmap* Tform1::getbitmap() const {
  timagerlayer* imager = getimager();
  return imager ? &imager->Bitmap() : nullptr;
}

void Tform1::saveundo() {
  Tchild* child = getchild();
  if (!child) return;
  if (child->imager1) child->imager1->SaveUndoPoint();
  child->modified = true;
}

}  // namespace kv
