// The track bar (a slider with ticks) and the up-down arrows beside an edit.
#pragma once
#include <cstdint>

#include "platform/ui/controls.h"

namespace kv {

class TEdit;

class TTrackBar : public TWinControl {
 public:
  explicit TTrackBar(TComponent* AOwner);
  ~TTrackBar() override;
  int32_t Min() const { return FMin; }
  int32_t Max() const { return FMax; }
  void SetRange(int32_t AMin, int32_t AMax);
  int32_t Position() const { return FPosition; }
  // Clamped to Min..Max; raises OnChange when it moved.
  void SetPosition(int32_t Value);
  // Distance between ticks.
  int32_t Frequency() const { return FFrequency; }
  void SetFrequency(int32_t Value);
  int32_t ThumbLength() const { return FThumbLength; }
  void SetThumbLength(int32_t Value) { FThumbLength = Value; }
  TNotifyEvent OnChange;

 protected:
  void CreateWnd() override;

 private:
  void UpdateQt();
  int32_t FMin = 0;
  int32_t FMax = 10;
  int32_t FPosition = 0;
  int32_t FFrequency = 1;
  int32_t FThumbLength = 20;
};

// Two arrows that step a number shown in an associated edit.
class TUpDown : public TWinControl {
 public:
  explicit TUpDown(TComponent* AOwner);
  ~TUpDown() override;
  int32_t Min() const { return FMin; }
  int32_t Max() const { return FMax; }
  void SetRange(int32_t AMin, int32_t AMax);
  int32_t Position() const { return FPosition; }
  // Clamped; the associated edit shows it.
  void SetPosition(int32_t Value);
  int32_t Increment() const { return FIncrement; }
  void SetIncrement(int32_t Value) { FIncrement = Value; }
  TEdit* Associate() const { return FAssociate; }
  void SetAssociate(TEdit* Value);
  // An arrow pressed: the number in the edit (Position when it holds none)
  // moves by Increment within Min..Max.
  void StepUp() { Step(FIncrement); }
  void StepDown() { Step(-FIncrement); }
  TNotifyEvent OnClick;

  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void CreateWnd() override;

 private:
  void Step(int32_t Delta);
  int32_t FMin = 0;
  int32_t FMax = 100;
  int32_t FPosition = 0;
  int32_t FIncrement = 1;
  TEdit* FAssociate = nullptr;
};

}  // namespace kv
