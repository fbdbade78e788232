// TKvLabel: a label whose text casts a shadow of chosen colour, size and direction.
#pragma once
#include <cstdint>
#include <string>

#include "platform/graphics/draw_text.h"
#include "platform/ui/controls.h"

namespace kv {

enum TShadowPosition : uint8_t { spLeftTop, spLeftBottom, spRightBottom, spRightTop };

// Draws Text twice: in ShadowColor into R moved by ShadowSize towards Pos,
// then in the canvas's font colour into R itself; R becomes the union of the
// two. With DT_CALCRECT nothing is drawn and R is the measured size with the
// shadow. Returns the first draw's height, plus ShadowSize when positive.
int32_t DrawTextWithShadow(TCanvas& Canvas, const std::string& Text, TShadowPosition Pos, TColor ShadowColor,
                           int32_t ShadowSize, uint32_t Format, TRect& R);

class TKvCustomLabel : public TGraphicControl {
 public:
  explicit TKvCustomLabel(TComponent* AOwner);
  ~TKvCustomLabel() override;

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout Value);
  TColor ShadowColor() const { return FShadowColor; }
  void SetShadowColor(TColor Value);
  uint8_t ShadowSize() const { return FShadowSize; }
  void SetShadowSize(uint8_t Value);
  TShadowPosition ShadowPos() const { return FShadowPos; }
  void SetShadowPos(TShadowPosition Value);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool Value);
  bool ShowFocus() const { return FShowFocus; }
  void SetShowFocus(bool Value);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* Value);
  // Not stored: the absence of csOpaque in the control style.
  bool Transparent() const { return !FControlStyle.Contains(csOpaque); }
  void SetTransparent(bool Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);

  bool PressedOnLabel() const { return FPressedOnLabel; }
  bool Hovered() const { return FHovered; }
  bool FocusShown() const { return FFocused; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void Dispatch(TMessage& Message) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  virtual TColor DefaultTextColor();
  virtual std::string CaptionForPaint();
  void Paint() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The measuring or painting pass with the given format flags.
  void DoDrawText(TCanvas& Canvas, TRect& R, uint32_t Flags);
  void AdjustBounds();
  // The hover state from the cursor position; fires the matching event on a change.
  void UpdateTracking();

 private:
  void SetHovered(bool Value);

  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = true;
  TTextLayout FLayout = tlTop;
  TColor FShadowColor = clBtnHighlight;
  uint8_t FShadowSize = 1;
  TShadowPosition FShadowPos = spLeftTop;
  bool FShowAccelChar = true;
  bool FShowFocus = false;
  TWinControl* FFocusControl = nullptr;
  bool FWordWrap = false;
  bool FPressedOnLabel = false;
  bool FHovered = false;
  bool FFocused = false;
};

class TKvLabel : public TKvCustomLabel {
 public:
  using TKvCustomLabel::TKvCustomLabel;
};

// The shadow size of every program label, one setting for the whole program
// (the main window sets it from its option "textshadow").
int32_t LabelShadowSize();
// Stores the size and gives it to every program label now alive.
void SetLabelShadowSize(int32_t Value);

// The program's label: a shadowed label whose shadow follows LabelShadowSize.
class TmyKvLabel : public TKvLabel {
 public:
  explicit TmyKvLabel(TComponent* AOwner);
  ~TmyKvLabel() override;

 protected:
  void Paint() override;
};

}  // namespace kv
