#include "platform/ui/check_list_box.h"

#include <algorithm>
#include <string>

#include "platform/rtl/exceptions.h"

namespace kv {

TCheckListBox::TCheckListBox(TComponent* AOwner) : TCustomListBox(AOwner) {}

TCheckListBox::~TCheckListBox() = default;

void TCheckListBox::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= static_cast<int32_t>(FChecked.size()))
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

bool TCheckListBox::Checked(int32_t Index) const {
  CheckIndex(Index);
  return FChecked[size_t(Index)] != 0;
}

void TCheckListBox::SetChecked(int32_t Index, bool Value) {
  CheckIndex(Index);
  if ((FChecked[size_t(Index)] != 0) == Value) return;
  FChecked[size_t(Index)] = Value;
  Invalidate();
}

void TCheckListBox::Dispatch(TMessage& Message) {
  const UINT msg = Message.Msg;
  const WPARAM w = Message.WParam;
  TCustomListBox::Dispatch(Message);
  // The lines changed through the list's messages; the check states follow.
  switch (msg) {
    case LB_ADDSTRING: FChecked.push_back(0); break;
    case LB_INSERTSTRING:
      if (Message.Result >= 0) FChecked.insert(FChecked.begin() + Message.Result, 0);
      break;
    case LB_DELETESTRING:
      if (Message.Result != LB_ERR) FChecked.erase(FChecked.begin() + static_cast<ptrdiff_t>(w));
      break;
    case LB_RESETCONTENT: FChecked.clear(); break;
    default: break;
  }
}

int32_t TCheckListBox::CheckWidth() const { return std::max(ItemHeight(), 12) + 2; }

void TCheckListBox::PaintItem(TCanvas& C, int32_t Index, const TRect& R, bool Selected) {
  const int32_t cw = CheckWidth();
  C.Brush().SetStyle(bsSolid);
  C.Brush().SetColor(Color());
  C.FillRect(Rect(R.Left, R.Top, R.Left + cw, R.Bottom));
  const int32_t size = std::min(R.Height() - 2, 13);
  const int32_t x = R.Left + 2;
  const int32_t y = R.Top + (R.Height() - size) / 2;
  C.Brush().SetColor(clWindow);
  C.Pen().SetColor(clBtnShadow);
  C.Pen().SetWidth(1);
  C.Rectangle(x, y, x + size, y + size);
  if (FChecked[size_t(Index)]) {
    C.Pen().SetColor(clWindowText);
    C.Pen().SetWidth(2);
    C.MoveTo(x + 3, y + size / 2);
    C.LineTo(x + size / 2 - 1, y + size - 4);
    C.LineTo(x + size - 3, y + 3);
    C.Pen().SetWidth(1);
  }
  TCustomListBox::PaintItem(C, Index, Rect(R.Left + cw, R.Top, R.Right, R.Bottom), Selected);
}

void TCheckListBox::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomListBox::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft || X >= CheckWidth()) return;
  const int32_t i = ItemAtPos(TPoint{X, Y});
  if (i >= 0) Toggle(i);
}

void TCheckListBox::KeyDown(uint16_t& Key, TShiftState Shift) {
  TCustomListBox::KeyDown(Key, Shift);
  if (Key == VK_SPACE && ItemIndex() >= 0) Toggle(ItemIndex());
}

void TCheckListBox::Toggle(int32_t Index) {
  SetChecked(Index, !Checked(Index));
  ClickCheck();
}

void TCheckListBox::ClickCheck() {
  if (OnClickCheck) OnClickCheck(this);
}

}  // namespace kv
