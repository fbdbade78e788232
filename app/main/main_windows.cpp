// Image windows of the main window: creating, naming, duplicating, fitting,
// and finding them by caption.
#include "app/child/child_window.h"
#include "app/main/main_form.h"

namespace kv {

Tchild* Tform1::newwindow() { return nullptr; }
TFormcatalog* Tform1::newcatalog() { return nullptr; }
std::string Tform1::givenoname() const { return "!unbenannt1"; }
Tchild* Tform1::duplicate() { return nullptr; }
void Tform1::fensteranpassen(TObject*, Tchild*) {}
void Tform1::childcaptions(TStrings&) const {}
Tchild* Tform1::findchild(const std::string&) const { return nullptr; }

}  // namespace kv
