// TCheckListBox: a list box with a check box before every line. Clicking a
// box, or the space bar on the selected line, toggles it and raises
// OnClickCheck; setting Checked from code raises nothing.
#pragma once
#include <cstdint>
#include <vector>

#include "platform/ui/list_box.h"

namespace kv {

class TCheckListBox : public TCustomListBox {
 public:
  explicit TCheckListBox(TComponent* AOwner);
  ~TCheckListBox() override;

  // EListError outside the lines.
  bool Checked(int32_t Index) const;
  void SetChecked(int32_t Index, bool Value);
  TNotifyEvent OnClickCheck;

  void Dispatch(TMessage& Message) override;

 protected:
  void PaintItem(TCanvas& C, int32_t Index, const TRect& R, bool Selected) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  virtual void ClickCheck();

 private:
  int32_t CheckWidth() const;
  void Toggle(int32_t Index);
  void CheckIndex(int32_t Index) const;

  std::vector<uint8_t> FChecked;  // one per line, kept in step in Dispatch
};

}  // namespace kv
