// The colour chooser. Like every dialog it can be answered by a script, so
// a test never waits for a person.
#pragma once
#include <functional>
#include <string>

#include "platform/graphics/color.h"
#include "platform/rtl/component.h"

namespace kv {

class TColorDialog : public TComponent {
 public:
  explicit TColorDialog(TComponent* AOwner) : TComponent(AOwner) {}
  TColor Color() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }
  // The chooser's caption; empty leaves the system's own.
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }
  // Shows the chooser on Color; true, with the new Color, when confirmed.
  bool Execute();

 private:
  TColor FColor = clBlack;
  std::string FTitle;
};

// Tests: the next colour dialogs are answered by these scripts, first in
// first out. A script may change the colour and returns whether it confirms.
using TColorDialogScript = std::function<bool(TColor& Color)>;
void AnswerColorDialog(TColorDialogScript Script);
int32_t PendingColorAnswers();
// The caption of the colour dialog shown last, scripted or not.
std::string LastColorDialogTitle();

}  // namespace kv
