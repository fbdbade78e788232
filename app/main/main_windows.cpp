// Image and catalog windows of the main window: creating, naming,
// duplicating, fitting, and finding them by caption.
#include <algorithm>

#include "app/catalog/catalog_window.h"
#include "app/child/child_window.h"
#include "app/interpreter/interpreter.h"
#include "app/layer/imager_layer.h"
#include "app/main/main_form.h"
#include "imaging/views/ruler_box.h"
#include "platform/rtl/strings.h"
#include "platform/ui/status_bar.h"

namespace kv {

namespace {

constexpr char kNoNamePrefix[] = "!unbenannt";
// Room the fitted window leaves to the right of and below itself in the frame.
constexpr int32_t kFitRightMargin = 45;
constexpr int32_t kFitBottomMargin = 50;
constexpr int32_t kScrollBarRoom = 15;

}  // namespace

Tchild* Tform1::newwindow() {
  auto* child = new Tchild(this);
  child->imager1->IOParams().FileName.clear();
  child->SetCaption("");
  child->Show();
  return child;
}

TFormcatalog* Tform1::newcatalog() {
  auto* catalog = new TFormcatalog(this);
  catalog->SetCaption("");
  catalog->Show();
  return catalog;
}

std::string Tform1::givenoname() const {
  const std::string prefix = kNoNamePrefix;
  int64_t highest = 0;
  for (int32_t i = 0; i < MDIChildCount(); ++i) {
    const std::string caption = LowerCase(MDIChildren(i)->Caption());
    if (caption.compare(0, prefix.size(), prefix) != 0) continue;
    highest = std::max<int64_t>(highest, StrToIntDef(caption.substr(prefix.size()), 0));
  }
  return prefix + IntToStr(highest + 1);
}

Tchild* Tform1::duplicate() {
  auto* source = dynamic_cast<Tchild*>(ActiveMDIChild());
  if (!source) return nullptr;
  Tchild* child = newwindow();
  child->modified = true;
  child->SetCaption(givenoname());
  child->imager1->Assign(source->imager1);
  // The copy is an unsaved image: saving it must never overwrite the original's file.
  child->imager1->IOParams().FileName.clear();
  fensteranpassen(this, child);
  return child;
}

void Tform1::fensteranpassen(TObject*, Tchild* Child) {
  if (!Child || !Child->imager1 || Child->WindowState() != wsNormal) return;
  timagerlayer& view = *Child->imager1;
  int32_t w = view.GetIdealWidth();
  int32_t h = view.GetIdealHeight();
  if (Child->RulerBox2 && Child->RulerBox2->Visible()) w += Child->RulerBox2->Width();
  if (Child->StatusBar1 && Child->StatusBar1->Visible()) h += Child->StatusBar1->Height() + 1;
  if (Child->RulerBox1 && Child->RulerBox1->Visible()) h += Child->RulerBox1->Height();
  // The place is worked out first and set once: a window sized to a large
  // picture for a moment would lay out and paint its bars at that size.
  const TRect client = Child->ClientRect();
  int32_t left = Child->Left(), top = Child->Top();
  int32_t width = Child->Width() - client.Width() + std::max(w, 1);
  int32_t height = Child->Height() - client.Height() + std::max(h, 1);
  const int32_t cw = MDIClientWidth(), ch = MDIClientHeight();
  if (left + width > cw - kFitRightMargin) {
    left = 0;
    if (left + width > cw - kFitRightMargin) {
      width = std::max(cw - left - kFitRightMargin, 1);
      height += kScrollBarRoom;
    }
  }
  if (top + height > ch - kFitBottomMargin) {
    top = 0;
    if (top + height > ch - kFitBottomMargin) height = std::max(ch - top - kFitBottomMargin, 1);
  }
  Child->SetBounds(left, top, width, height);
  Child->imager1ViewChange(this, 1);
}

void Tform1::childcaptions(TStrings& List) const {
  List.Clear();
  for (int32_t i = 0; i < MDIChildCount(); ++i)
    if (auto* child = dynamic_cast<Tchild*>(MDIChildren(i))) List.Add(child->Caption());
}

Tchild* Tform1::findchild(const std::string& Caption) const {
  for (int32_t i = 0; i < MDIChildCount(); ++i)
    if (auto* child = dynamic_cast<Tchild*>(MDIChildren(i)); child && child->Caption() == Caption) return child;
  return nullptr;
}

}  // namespace kv
