// The check box that follows its caption's size.
#include "components/controls/resizing_check_box.h"

#include "platform/graphics/bitmap.h"
#include "platform/graphics/draw_text.h"

namespace kv {

namespace {
constexpr int32_t kBoxRoom = 20;  // the box and the gap before the caption
}

TResizingCheckBox::TResizingCheckBox(TComponent* AOwner) : TCheckBox(AOwner) {}

void TResizingCheckBox::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  AdjustSize();
}

void TResizingCheckBox::AdjustSize() {
  if (!FAutoSize || !Parent()) return;
  TBitmap measure(1, 1);
  TCanvas& c = measure.Canvas();
  c.Font().Assign(Font());
  TRect r = ClientRect();
  DrawText(c, Caption(), r, DT_CALCRECT | DT_EXPANDTABS | DT_NOCLIP);
  SetBounds(FLeft, FTop, r.Width() + kBoxRoom, std::max(r.Height(), FHeight));
}

void TResizingCheckBox::Dispatch(TMessage& Message) {
  TCheckBox::Dispatch(Message);
  if (Message.Msg == CM_TEXTCHANGED || Message.Msg == CM_FONTCHANGED) AdjustSize();
}

void TResizingCheckBox::SetParent(TWinControl* AParent) {
  TCheckBox::SetParent(AParent);
  AdjustSize();
}

void TResizingCheckBox::CreateWnd() {
  TCheckBox::CreateWnd();
  AdjustSize();
}

const TPropertyTable& TResizingCheckBox::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TResizingCheckBox>(TCheckBox::PropertyTable(), [](auto& p) {
    p.Bool("AutoSize", &TResizingCheckBox::AutoSize, &TResizingCheckBox::SetAutoSize);
  });
  return table;
}

}  // namespace kv
