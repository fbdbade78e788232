// A radio button: checking one unchecks the other radio buttons of its parent.
#pragma once

#include "platform/ui/controls.h"

namespace kv {

class TRadioButton : public TWinControl {
 public:
  explicit TRadioButton(TComponent* AOwner);
  ~TRadioButton() override;
  bool Checked() const { return FChecked; }
  // Checking raises OnClick and unchecks the siblings; unchecking raises nothing.
  void SetChecked(bool Value);
  void Dispatch(TMessage& Message) override;

 protected:
  void CreateWnd() override;

 private:
  void UpdateQt();
  bool FChecked = false;
};

}  // namespace kv
