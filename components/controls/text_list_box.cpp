// The list box's horizontal extent follows its widest line.
#include "components/controls/text_list_box.h"

#include <algorithm>

#include "platform/rtl/pascal_math.h"

namespace kv {

int32_t TTextListBox::ItemWidth(int32_t Index) {
  TCanvas& c = MeasureCanvas();
  const std::string s = Items().Strings(Index) + "x";
  if (TabWidth() <= 0) return c.TextWidth(s);
  // One tab stop every round(TabWidth x width of "0" / 4) pixels.
  const int32_t stop = std::max<int32_t>(1, static_cast<int32_t>(Round(TabWidth() * c.TextWidth("0") / 4.0)));
  int32_t x = 0;
  size_t from = 0;
  for (;;) {
    const size_t tab = s.find('\t', from);
    x += c.TextWidth(s.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
    if (tab == std::string::npos) break;
    x = (x / stop + 1) * stop;
    from = tab + 1;
  }
  return x & 0xFFFF;
}

void TTextListBox::SetHorizontalExtent() { Perform(LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(FMaxWidth), 0); }

void TTextListBox::ResetHorizontalExtent() {
  FMaxWidth = 0;
  for (int32_t i = 0; i < Items().Count(); ++i) FMaxWidth = std::max(FMaxWidth, ItemWidth(i));
  SetHorizontalExtent();
}

void TTextListBox::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_FONTCHANGED:
      TCustomListBox::Dispatch(Message);
      ResetHorizontalExtent();
      return;
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
      TCustomListBox::Dispatch(Message);
      if (Message.Result >= 0) {
        FMaxWidth = std::max(FMaxWidth, ItemWidth(static_cast<int32_t>(Message.Result)));
        SetHorizontalExtent();
      }
      return;
    case LB_DELETESTRING: {
      const int32_t i = static_cast<int32_t>(Message.WParam);
      if (i >= 0 && i < Items().Count() && ItemWidth(i) >= FMaxWidth) {
        Perform(WM_HSCROLL, SB_TOP, 0);
        TCustomListBox::Dispatch(Message);
        ResetHorizontalExtent();
      } else {
        TCustomListBox::Dispatch(Message);
      }
      return;
    }
    case LB_RESETCONTENT:
      FMaxWidth = 0;
      SetHorizontalExtent();
      Perform(WM_HSCROLL, SB_TOP, 0);
      TCustomListBox::Dispatch(Message);
      return;
    default:
      TCustomListBox::Dispatch(Message);
  }
}

}  // namespace kv
