// The engine that animates a view's change from one picture to the next: the
// view sizes and fills the "from" and "to" pictures, chooses the effect and
// the duration and runs it; a 1 ms timer then composes frames, which the view
// paints in its paint events, until the duration has passed.
#pragma once
#include <cstdint>
#include <memory>

#include "imaging/processing/transition_frames.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/object.h"

namespace kv {

class TIMView;
class TTimer;

class TIMTransitionEffects : public TObject {
 public:
  explicit TIMTransitionEffects(TIMView* View);
  ~TIMTransitionEffects() override;

  // Stops a running transition, then sizes the three pictures.
  void SetSizes(int32_t Width, int32_t Height);
  void Run(bool UpdateOnStop);
  void Stop();
  // One timer step: composes the frame for the present progress and shows it.
  void Step();

  TBitmap& FromBitmap() { return FFromBitmap; }
  TBitmap& ToBitmap() { return FToBitmap; }
  const TBitmap& FrameBitmap() const { return FFrameBitmap; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  bool Running() const { return FRunning; }
  int32_t Progress() const { return FProgress; }
  int32_t StepCount() const { return FStepCount; }
  const TTimer& Timer() const { return *FTimer; }

  TIMTransitionType Transition = imttNone;
  int32_t Duration = 1000;  // milliseconds

 private:
  TBitmap FFromBitmap;
  TBitmap FToBitmap;
  TBitmap FFrameBitmap;
  int32_t FWidth = 1;
  int32_t FHeight = 1;
  TIMView* FView;
  TTimer* FTimer;  // owned by the view, freed here
  int32_t FProgress = 0;
  int32_t FLastCount = 0;
  bool FRunning = false;
  uint32_t FStartTick = 0;
  bool FUpdateOnStop = false;
  int32_t FStepCount = 0;
};

}  // namespace kv
