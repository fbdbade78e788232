// A colour picker: a saturation/value square for the current hue beside a
// hue bar. Everything is drawn into an own 24-bit picture of the control's
// size; Paint only copies it to the screen.
#pragma once
#include <cstdint>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"
#include "platform/ui/controls.h"

namespace kv {

class THSVBox : public TCustomControl {
 public:
  explicit THSVBox(TComponent* AOwner);

  int32_t Hue() const { return FHue; }
  int32_t Sat() const { return FSat; }
  int32_t Val() const { return FVal; }
  // Clamp into 0..359 / 0..99 / 0..99; they do not fire OnChange.
  void SetHue(int32_t Value);
  void SetSat(int32_t Value);
  void SetVal(int32_t Value);
  uint8_t Red() const { return FRed; }
  uint8_t Green() const { return FGreen; }
  uint8_t Blue() const { return FBlue; }
  TColor Color() const { return FColor; }
  void SetRGB(uint8_t R, uint8_t G, uint8_t B);
  void SetColor(TColor Value);

  TColor Background() const { return FBackground; }
  void SetBackground(TColor Value);
  int32_t HueBarWidth() const { return FHueBarWidth; }
  void SetHueBarWidth(int32_t Value);
  int32_t BarsDistance() const { return FBarsDistance; }
  void SetBarsDistance(int32_t Value);

  // The picture as last drawn (what Paint copies).
  const TBitmap& Picture() const { return FBitmap; }

  TNotifyEvent OnChange;

 protected:
  void Paint() override;
  void Resize() override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  int32_t SquareWidth() const;
  void DrawAll();
  void DrawSquare();
  void DrawHueBar();
  // Inverting: a second call erases what the first drew.
  void DrawIndicators();
  void ComputeRGB();
  // Erases the indicators, applies Change, redraws the square when the hue
  // changed, draws the indicators and paints.
  template <class F>
  void Reindicate(F Change);
  void Pick(int32_t X, int32_t Y);
  // Holds the point inside the grabbed area, then picks.
  void PickClamped(int32_t X, int32_t Y);

  TBitmap FBitmap{0, 0, pf24bit};
  int32_t FHue = 0;
  int32_t FSat = 0;
  int32_t FVal = 0;
  uint8_t FRed = 0;
  uint8_t FGreen = 0;
  uint8_t FBlue = 0;
  TColor FColor = 0;
  TColor FBackground = clBtnFace;
  int32_t FHueBarWidth = 20;
  int32_t FBarsDistance = 5;
  int32_t FGrabbed = 0;  // 0 none, 1 square, 2 hue bar
};

}  // namespace kv
