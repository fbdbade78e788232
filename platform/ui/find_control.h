// The control under a point of the screen, for drops between windows.
#pragma once
#include "platform/ui/controls.h"

namespace kv {

// The innermost windowed control of a shown form under the screen point
// (the form itself when no child is there), or nullptr. Stay-on-top forms
// are searched before the others, the active form before the rest.
TWinControl* FindWinControlAtScreen(TPoint P);

}  // namespace kv
