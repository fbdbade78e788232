// TCustomPanel: a container control with raised or lowered bevels and a caption.
#pragma once
#include <cstdint>

#include "platform/graphics/draw_text.h"
#include "platform/ui/controls.h"

namespace kv {

enum TPanelBevel : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
using TBevelWidth = int32_t;

// Draws a frame of Width rings just inside Rect (top and left in TopColor,
// bottom and right in BottomColor) and shrinks Rect by Width on every side.
void Frame3D(TCanvas& Canvas, TRect& Rect, TColor TopColor, TColor BottomColor, int32_t Width);

class TCustomPanel : public TCustomControl {
 public:
  explicit TCustomPanel(TComponent* AOwner);

  TPanelBevel BevelInner() const { return FBevelInner; }
  void SetBevelInner(TPanelBevel Value);
  TPanelBevel BevelOuter() const { return FBevelOuter; }
  void SetBevelOuter(TPanelBevel Value);
  TBevelWidth BevelWidth() const { return FBevelWidth; }
  void SetBevelWidth(TBevelWidth Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool Locked() const { return FLocked; }
  void SetLocked(bool Value) { FLocked = Value; }

  const TPropertyTable& PropertyTable() const override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  // Aligned children sit inside the bevels.
  TRect AdjustClientRect() const override;

  TPanelBevel FBevelInner = bvNone;
  TPanelBevel FBevelOuter = bvRaised;
  TBevelWidth FBevelWidth = 1;
  TBorderStyle FBorderStyle = bsNone;
  TAlignment FAlignment = taCenter;
  bool FLocked = false;
};

class TPanel : public TCustomPanel {
 public:
  using TCustomPanel::TCustomPanel;
};

}  // namespace kv
