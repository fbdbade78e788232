// A horizontal or vertical ruler in arbitrary units with draggable grips.
// Drawn into an own 24-bit picture of the control's size that Paint copies.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/ui/controls.h"

namespace kv {

class TTimer;

enum TGripsDir : uint8_t { gdUp, gdDown };
enum TRulerDir : uint8_t { rdHorizontal, rdVertical };

using TRulerPosChangeEvent = std::function<void(TObject* Sender, int32_t Grip)>;
using TRulerGripClickEvent = std::function<void(TObject* Sender, int32_t Grip)>;
using TRulerGripDblClickEvent = std::function<void(TObject* Sender, int32_t Grip)>;
using TRulerClickEvent = std::function<void(TObject* Sender, double Position)>;

struct TRulerGrip {
  double Pos = 0;
  TColor Color = clBtnFace;
  uint8_t Kind = 0;  // low 7 bits: 0 triangle, 1 left half, 2 right half, 3 arrow, 4 pentagon
  double Min = 0;
  double Max = 0;
};

class TRulerBox : public TCustomControl {
 public:
  explicit TRulerBox(TComponent* AOwner);
  ~TRulerBox() override;

  double ViewPos() const { return FViewPos; }
  void SetViewPos(double Value);
  double DotPerUnit() const { return FDotPerUnit; }
  // Non-positive values are refused: every position divides by it.
  void SetDotPerUnit(double Value);
  double Frequency() const { return FFrequency; }
  void SetFrequency(double Value);
  double LabelFreq() const { return FLabelFreq; }
  void SetLabelFreq(double Value);
  double ViewMin() const { return FViewMin; }
  void SetViewMin(double Value);
  double ViewMax() const { return FViewMax; }
  void SetViewMax(double Value);
  TColor Background() const { return FBackground; }
  void SetBackground(TColor Value);
  TColor RulerColor() const { return FRulerColor; }
  void SetRulerColor(TColor Value);
  int32_t GripBaseDim() const { return FGripBaseDim; }
  void SetGripBaseDim(int32_t Value);
  TGripsDir GripsDir() const { return FGripsDir; }
  void SetGripsDir(TGripsDir Value);
  bool Ruler() const { return FRuler; }
  void SetRuler(bool Value);
  TRulerDir RulerDir() const { return FRulerDir; }
  void SetRulerDir(TRulerDir Value);
  bool FitInView() const { return FFitInView; }
  void SetFitInView(bool Value);
  bool HexLabels() const { return FHexLabels; }
  void SetHexLabels(bool Value);
  int32_t GripsCount() const { return int32_t(FGrips.size()); }
  void SetGripsCount(int32_t Value);

  // Ignored for a missing grip; clamps to the grip's range and fires OnRulerPosChange.
  void SetGripPos(int32_t Index, double Value);
  double GetGripPos(int32_t Index) const;
  TColor GetGripColor(int32_t Index) const;
  void SetGripColor(int32_t Index, TColor Value);
  uint8_t GetGripKind(int32_t Index) const;
  void SetGripKind(int32_t Index, uint8_t Value);
  int32_t GripPixel(int32_t Index) const;

  // Redraws everything and repaints.
  void Update() override;

  // The label text of a value, as the scale writes it.
  std::string LabelText(double Value) const;
  const TBitmap& Picture() const { return FBitmap; }

  TRulerPosChangeEvent OnRulerPosChange;
  TRulerGripClickEvent OnRulerGripClick;
  TRulerGripDblClickEvent OnRulerGripDblClick;
  TRulerClickEvent OnRulerClick;

 protected:
  void Paint() override;
  void Resize() override;
  void Dispatch(TMessage& Message) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

 private:
  int32_t Length() const;   // pixels along the ruler
  int32_t Breadth() const;  // pixels across it
  int32_t StripThickness() const;
  void KeepViewPosInRange();
  void KeepGripInRange(TRulerGrip& G) const;
  std::vector<TPoint> GripPolygon(int32_t Index) const;
  int32_t HitGrip(int32_t X, int32_t Y) const;
  void DrawScale(int32_t T);
  void DrawLabel(int32_t P, const std::string& Text);
  // One scroll step while a grabbed grip is held beyond an end; false when
  // the mouse is back inside.
  bool ScrollStep();
  void ScrollTimer(TObject* Sender);

  TBitmap FBitmap{0, 0, pf24bit};
  double FViewPos = 0;
  double FDotPerUnit = 1;
  double FFrequency = 10;
  double FLabelFreq = 40;
  double FViewMin = 0;
  double FViewMax = 0;
  TColor FBackground = clBtnFace;
  TColor FRulerColor = clBtnFace;
  int32_t FGripBaseDim = 12;
  TGripsDir FGripsDir = gdUp;
  bool FRuler = true;
  TRulerDir FRulerDir = rdHorizontal;
  bool FFitInView = false;
  bool FHexLabels = false;
  std::vector<TRulerGrip> FGrips;
  int32_t FGrabbed = -1;
  TPoint FDownPt{0, 0};
  int32_t FDownGripPixel = 0;
  TPoint FLastMouse{0, 0};
  std::unique_ptr<TTimer> FScrollTimer;
  bool FUpdating = false;
};

}  // namespace kv
