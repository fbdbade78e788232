// The font chooser. Like every dialog it can be answered by a script, so a
// test never waits for a person.
#pragma once
#include <functional>

#include "platform/graphics/canvas.h"
#include "platform/rtl/component.h"

namespace kv {

class TFontDialog : public TComponent {
 public:
  explicit TFontDialog(TComponent* AOwner) : TComponent(AOwner) {}
  TFont& Font() { return FFont; }
  // Shows the chooser on Font; true, with the new Font, when confirmed.
  bool Execute();

 private:
  TFont FFont;
};

// Tests: the next font dialogs are answered by these scripts, first in first
// out. A script may change the font and returns whether it confirms.
using TFontDialogScript = std::function<bool(TFont& Font)>;
void AnswerFontDialog(TFontDialogScript Script);

}  // namespace kv
