// The font chooser: face, size, style and colour of a font, over Qt's font
// and colour dialogs, with a scripted stand-in for tests.
#pragma once
#include <functional>
#include <string>

#include "platform/graphics/canvas.h"
#include "platform/rtl/component.h"

namespace kv {

class TFontDialog : public TComponent {
 public:
  explicit TFontDialog(TComponent* AOwner) : TComponent(AOwner) {}
  TFont& Font() { return FFont; }
  // True when the user chose; Font holds the choice then.
  bool Execute();

 private:
  TFont FFont;
};

// Tests answer the next Execute: the script edits the font and returns whether it was confirmed.
using TFontDialogScript = std::function<bool(TFont& Font)>;
void AnswerFontDialog(TFontDialogScript Script);

}  // namespace kv
