// A flat button with a picture that may stay pressed (GroupIndex other than
// 0): the buttons of one group and parent are pressed one at a time, and
// with AllowAllUp a pressed one comes up again when clicked.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/graphics/bitmap.h"
#include "platform/ui/controls.h"

namespace kv {

class TSpeedButton : public TWinControl {
 public:
  explicit TSpeedButton(TComponent* AOwner);
  ~TSpeedButton() override;
  bool Flat() const { return FFlat; }
  void SetFlat(bool Value);
  int32_t GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(int32_t Value) { FGroupIndex = Value; }
  bool AllowAllUp() const { return FAllowAllUp; }
  void SetAllowAllUp(bool Value) { FAllowAllUp = Value; }
  bool Down() const { return FDown; }
  // Only buttons of a group stay down; pressing one raises the others of its group.
  void SetDown(bool Value);
  // Copied; a pf32bit copy of it is shown.
  TBitmap& Glyph() { return FGlyph; }
  void SetGlyph(const TBitmap& Value);
  // A click by the user: a grouped button toggles as above, then OnClick.
  void Click() override;

 protected:
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;

 private:
  void UpdateQt();
  bool FFlat = false;
  int32_t FGroupIndex = 0;
  bool FAllowAllUp = false;
  bool FDown = false;
  TBitmap FGlyph;
};

}  // namespace kv
