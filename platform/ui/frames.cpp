#include "platform/ui/frames.h"

namespace kv {

TCustomFrame::TCustomFrame(TComponent* AOwner) : TCustomControl(AOwner) {
  FControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  FWidth = 320;
  FHeight = 240;
}

}  // namespace kv
