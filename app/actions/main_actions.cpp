// The action handler of the main window and the recomputation of menu and
// action states.
#include "app/main/main_form.h"

namespace kv {

void Tform1::ActionList1Execute(TBasicAction* Action, bool& Handled) {
  (void)Action;
  Handled = false;
}

void Tform1::updateall() {}
void Tform1::Setmousepointer() {}
void Tform1::checkclipboard() {}

}  // namespace kv
