#include "imaging/views/transition_effects.h"

#include <algorithm>

#include "imaging/views/im_view.h"
#include "platform/rtl/ticks.h"
#include "platform/ui/timer.h"

namespace kv {

TIMTransitionEffects::TIMTransitionEffects(TIMView* View)
    : FFromBitmap(1, 1, pf24bit), FToBitmap(1, 1, pf24bit), FFrameBitmap(1, 1, pf24bit), FView(View) {
  FTimer = new TTimer(View);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(1);
  FTimer->SetOnTimer([this](TObject*) { Step(); });
}

TIMTransitionEffects::~TIMTransitionEffects() {
  if (FRunning && FView) FView->ShowTransitionFrame(nullptr);
  delete FTimer;
}

void TIMTransitionEffects::SetSizes(int32_t Width, int32_t Height) {
  Stop();
  FWidth = std::max(Width, 1);
  FHeight = std::max(Height, 1);
  FFromBitmap.SetSize(FWidth, FHeight);
  FToBitmap.SetSize(FWidth, FHeight);
  FFrameBitmap.SetSize(FWidth, FHeight);
}

void TIMTransitionEffects::Run(bool UpdateOnStop) {
  if (Transition == imttNone) return;
  if (FRunning) FView->UnlockPaintNoUpdate();
  FUpdateOnStop = UpdateOnStop;
  FRunning = true;
  FProgress = 0;
  FLastCount = 0;
  FStepCount = 0;
  if (FWidth <= 1 && FHeight <= 1) {
    FRunning = false;
    return;
  }
  FView->LockPaint();
  FStartTick = GetTickCount();
  FTimer->SetEnabled(true);
}

void TIMTransitionEffects::Stop() {
  if (!FRunning || Transition == imttNone) return;
  FTimer->SetEnabled(false);
  FRunning = false;
  FWidth = FHeight = 1;
  FFromBitmap.SetSize(1, 1);
  FToBitmap.SetSize(1, 1);
  FFrameBitmap.SetSize(1, 1);
  FView->UnlockPaintNoUpdate();
  FView->ShowTransitionFrame(nullptr);
  if (FUpdateOnStop) FView->Repaint();
}

void TIMTransitionEffects::Step() {
  if (!FRunning) return;
  ++FStepCount;
  // A duration of 0 or less has nothing to animate: its one frame is the end.
  const int32_t progress = Duration > 0 ? FProgress : kTransitionFull;
  DrawTransitionFrame(Transition, progress, FFromBitmap, FToBitmap, FFrameBitmap, FView->Background(), FLastCount);
  FView->ShowTransitionFrame(&FFrameBitmap);
  const uint32_t elapsed = GetTickCount() - FStartTick;
  if (Duration <= 0 || elapsed >= static_cast<uint32_t>(Duration)) {
    Stop();
    return;
  }
  FProgress = static_cast<int32_t>(std::min<uint64_t>(uint64_t(elapsed) * kTransitionFull / uint64_t(Duration),
                                                      kTransitionFull));
}

}  // namespace kv
