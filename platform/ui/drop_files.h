// Files dropped on a window from the desktop's file manager.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/rtl/string_list.h"

namespace kv {

class TWinControl;

// Gets the dropped files' full names in the order of the drop.
using TDropFilesEvent = std::function<void(TObject* Sender, const TStrings& Files)>;

// Lets the control (and the windows inside it that take no drops themselves)
// take local files dropped on it; each drop raises Handler once. An empty
// Handler stops taking drops.
void AcceptDropFiles(TWinControl* Control, TDropFilesEvent Handler);
// Drops the files on the control as the desktop does (drag enter, then drop);
// true when the control took the drop.
bool DropFilesOn(TWinControl* Control, const std::vector<std::string>& Files);

}  // namespace kv
