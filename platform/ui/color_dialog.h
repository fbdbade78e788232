// The colour chooser. Like every dialog it can be answered by a script, so
// a test never waits for a person.
#pragma once
#include <functional>

#include "platform/graphics/color.h"
#include "platform/rtl/component.h"

namespace kv {

class TColorDialog : public TComponent {
 public:
  explicit TColorDialog(TComponent* AOwner) : TComponent(AOwner) {}
  TColor Color() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }
  // Shows the chooser on Color; true, with the new Color, when confirmed.
  bool Execute();

 private:
  TColor FColor = clBlack;
};

// Tests: the next colour dialogs are answered by these scripts, first in
// first out. A script may change the colour and returns whether it confirms.
using TColorDialogScript = std::function<bool(TColor& Color)>;
void AnswerColorDialog(TColorDialogScript Script);
int32_t PendingColorAnswers();

}  // namespace kv
