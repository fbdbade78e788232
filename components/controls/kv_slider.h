// TKvSlider: a horizontal or vertical slider drawn from four replaceable
// pictures (horizontal thumb and ruler, vertical thumb and ruler), with tick
// points, keyboard steps, thumb dragging and page steps that repeat while the
// ruler is held down.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/set.h"
#include "platform/ui/controls.h"
#include "platform/ui/panel.h"
#include "platform/ui/timer.h"

namespace kv {

enum TSliderOrientation : uint8_t { soHorizontal, soVertical };
enum TSliderOption : uint8_t { soShowFocus, soShowPoints, soSmooth, soRulerOpaque, soThumbOpaque };
using TSliderOptions = TSet<TSliderOption, 8>;
enum TSliderImage : uint8_t { siHThumb, siHRuler, siVThumb, siVRuler };

// The built-in picture of an index, drawn in code: thumbs hold the normal and
// the pressed image side by side.
std::unique_ptr<TBitmap> MakeSliderImage(TSliderImage Index);

class TKvCustomSlider : public TCustomControl {
 public:
  explicit TKvCustomSlider(TComponent* AOwner);
  ~TKvCustomSlider() override;

  int32_t MinValue() const { return FMinValue; }
  void SetMinValue(int32_t Value);
  int32_t MaxValue() const { return FMaxValue; }
  void SetMaxValue(int32_t Value);
  int32_t Value() const { return FValue; }
  // Limited to the range; the thumb follows and OnChange runs on a change.
  void SetValue(int32_t Value);
  int32_t Increment() const { return FIncrement; }
  // Between 1 and MaxValue - MinValue, else "Wert muß zwischen %d und %d liegen".
  void SetIncrement(int32_t Value);
  TSliderOrientation Orientation() const { return FOrientation; }
  void SetOrientation(TSliderOrientation Value);
  TSliderOptions Options() const { return FOptions; }
  void SetOptions(TSliderOptions Value);
  int32_t EdgeSize() const { return FEdgeSize; }
  void SetEdgeSize(int32_t Value);
  TPanelBevel BevelStyle() const { return FBevelStyle; }
  void SetBevelStyle(TPanelBevel Value);
  int32_t NumThumbStates() const { return FNumThumbStates; }
  void SetNumThumbStates(int32_t Value);
  // The picture in use (the user's or the built-in one).
  const TBitmap& Image(TSliderImage Index) const { return *FImages[Index]; }
  // A user picture; nullptr restores the built-in one and clears the matching opaque option.
  void SetImage(TSliderImage Index, const TBitmap* Value);
  TBitmap* ImageHThumb() const { return UserImage(siHThumb); }
  void SetImageHThumb(TBitmap* Value) { SetImage(siHThumb, Value); }
  TBitmap* ImageHRuler() const { return UserImage(siHRuler); }
  void SetImageHRuler(TBitmap* Value) { SetImage(siHRuler, Value); }
  TBitmap* ImageVThumb() const { return UserImage(siVThumb); }
  void SetImageVThumb(TBitmap* Value) { SetImage(siVThumb, Value); }
  TBitmap* ImageVRuler() const { return UserImage(siVRuler); }
  void SetImageVRuler(TBitmap* Value) { SetImage(siVRuler, Value); }
  // Bit i: picture i is the user's own (what the form data stores as "UserImages").
  uint8_t UserImages() const { return FUserImages; }

  // Geometry, in client coordinates.
  TRect ThumbRect() const { return FThumbRect; }
  TRect RulerRect() const;
  const TBitmap& RulerBitmap() const { return FRuler; }
  // The thumb's position along the slider for a value, and back.
  int32_t ValueToPosition(int32_t AValue) const;
  int32_t PositionToValue(int32_t Position) const;
  // The values that get a tick.
  std::vector<int32_t> TickValues() const;
  bool ThumbDown() const { return FDragging; }
  bool Stepping() const { return FStepping; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanged;
  // With it, the owner draws the tick points instead of the slider.
  TNotifyEvent OnDrawPoints;

  void Dispatch(TMessage& Message) override;
  void Loaded() override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  void Paint() override;
  void Resize() override;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void DoEnter() override;
  void DoExit() override;

 private:
  TBitmap* UserImage(TSliderImage Index) const { return (FUserImages >> Index) & 1 ? FImages[Index].get() : nullptr; }
  const TBitmap& ThumbImage() const;
  const TBitmap& RulerImage() const;
  int32_t ThumbWidth() const;
  int32_t ThumbHeight() const;
  // Usable length along the slider.
  int32_t RangeLength() const;
  void BuildRuler();
  void PlaceThumb();
  // Increase (+1), decrease (-1), home (-2) or end (+2).
  void Step(int32_t Kind);
  // Which side of the thumb a point lies on along the slider: -1 decrease, +1 increase, 0 none.
  int32_t SideOf(int32_t X, int32_t Y) const;
  void RepeatStep();
  void DrawTicks(TCanvas& C);

  int32_t FMinValue = 0;
  int32_t FMaxValue = 100;
  int32_t FValue = 0;
  int32_t FIncrement = 10;
  TSliderOrientation FOrientation = soHorizontal;
  TSliderOptions FOptions{soShowFocus, soShowPoints, soSmooth};
  int32_t FEdgeSize = 2;
  TPanelBevel FBevelStyle = bvNone;
  int32_t FNumThumbStates = 2;
  std::unique_ptr<TBitmap> FImages[4];
  uint8_t FUserImages = 0;
  TBitmap FRuler{0, 0, pf24bit};
  TRect FThumbRect;
  bool FDragging = false;
  int32_t FGrabOffset = 0;
  bool FStepping = false;
  int32_t FStepSide = 0;
  TPoint FLastPointer;
  TTimer* FTimer = nullptr;
};

class TKvSlider : public TKvCustomSlider {
 public:
  using TKvCustomSlider::TKvCustomSlider;
};

}  // namespace kv
