// TTextListBox: a list box that keeps its horizontal scroll range as wide as its widest line.
#pragma once
#include <cstdint>
#include <string>

#include "platform/ui/list_box.h"

namespace kv {

class TTextListBox : public TCustomListBox {
 public:
  using TCustomListBox::TCustomListBox;

  int32_t LongestItemWidth() const { return FMaxWidth; }
  void Dispatch(TMessage& Message) override;

 private:
  // The width of a line with an "x" behind it, tabs expanded when TabWidth is set.
  int32_t ItemWidth(int32_t Index);
  void ResetHorizontalExtent();
  void SetHorizontalExtent();

  int32_t FMaxWidth = 0;
};

}  // namespace kv
