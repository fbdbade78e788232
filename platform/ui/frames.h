// Frames: a container of controls designed once and placed on several forms
// (option panels of dialogs). A frame is a control, not a form: it has no
// show, close or destroy events of its own; what must happen at those moments
// is hooked into the form that holds it.
#pragma once
#include "platform/ui/controls.h"

namespace kv {

class TCustomFrame : public TCustomControl {
 public:
  explicit TCustomFrame(TComponent* AOwner);
};

class TFrame : public TCustomFrame {
 public:
  using TCustomFrame::TCustomFrame;
};

}  // namespace kv
