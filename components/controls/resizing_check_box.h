// TResizingCheckBox: a check box that sizes itself to its caption, so that a
// translated caption is never cut.
#pragma once
#include "platform/ui/std_controls.h"

namespace kv {

class TResizingCheckBox : public TCheckBox {
 public:
  explicit TResizingCheckBox(TComponent* AOwner);

  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);

  void Dispatch(TMessage& Message) override;
  void SetParent(TWinControl* AParent) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void CreateWnd() override;
  // Width: the caption's width and 20 pixels for the box; height: the
  // caption's height when that is more. The position stays.
  void AdjustSize();

 private:
  bool FAutoSize = true;
};

}  // namespace kv
