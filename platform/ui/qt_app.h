// The one Qt application object of the process.
#pragma once
#include <string>

namespace kv {

// Creates the Qt application object (with widgets) the first time it is
// called, on the offscreen platform when there is no display, and deletes it
// at exit after the application's components. Everything that needs Qt calls
// this first: there may only ever be one such object, and widgets need the
// full one. Raises EInvalidOperation when something else already made a Qt
// application object without widgets.
void EnsureQtApplication();
// Deletes the object (after the application's components) now rather than at
// exit: a program ends its main function with this, while every global of
// Qt is still alive; the exit handler then has nothing left to do.
void ReleaseQtApplication();
// True once the object exists (made here or elsewhere).
bool QtApplicationExists();
// True when the object was put on the offscreen platform because there was
// no display (a batch run over ssh), not because the caller asked for it.
bool RunningWithoutDisplay();
// Every window of the program carries this picture (an SVG file) as its icon,
// drawn at the usual icon sizes. False when the file cannot be drawn.
bool SetProgramIcon(const std::string& SvgFile);

}  // namespace kv
