// Text needs the process's one GUI application object, which the control
// layer makes and owns. That layer installs its maker here, so the canvas can
// ask for the object without depending on the controls.
#pragma once

namespace kv {

// Makes the application object when there is none; false when no GUI one can exist.
using TGuiApplicationMaker = bool (*)();
void SetGuiApplicationMaker(TGuiApplicationMaker Maker);
// True when a GUI application object exists, made now by the installed maker
// if need be. Without a maker only an existing object counts.
bool EnsureGuiApplication();

}  // namespace kv
