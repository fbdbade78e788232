// TTimer over QTimer; what OnTimer raises ends in Application->HandleException.
#include "platform/ui/timer.h"

#include <QtCore/QTimer>

#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {

class TTimerEngine {
 public:
  explicit TTimerEngine(TTimer* Owner) {
    FTimer.setTimerType(Qt::CoarseTimer);
    QObject::connect(&FTimer, &QTimer::timeout, [Owner] { Guarded(Owner, [Owner] { Owner->Timer(); }); });
  }
  QTimer FTimer;
};

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}

TTimer::~TTimer() {
  Destroying();
  FEngine.reset();
}

void TTimer::SetEnabled(bool Value) {
  if (Value == FEnabled) return;
  FEnabled = Value;
  UpdateTimer();
}

void TTimer::SetInterval(uint32_t Value) {
  if (Value == FInterval) return;
  FInterval = Value;
  UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
  FOnTimer = std::move(Value);
  UpdateTimer();
}

bool TTimer::Running() const { return FEngine && FEngine->FTimer.isActive(); }

void TTimer::UpdateTimer() {
  if (FEngine) FEngine->FTimer.stop();
  if (!FEnabled || FInterval == 0 || !FOnTimer) return;
  if (!FEngine) {
    EnsureQtApplication();
    FEngine = std::make_unique<TTimerEngine>(this);
  }
  FEngine->FTimer.start(static_cast<int>(std::min<uint32_t>(FInterval, 0x7FFFFFFF)));
}

void TTimer::Timer() {
  if (!FEnabled || !FOnTimer) return;
  // A copy runs, so a handler that frees the timer does not free the code it is running.
  const TNotifyEvent handler = FOnTimer;
  handler(this);
}

const TPropertyTable& TTimer::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TTimer>(TComponent::PropertyTable(), [](auto& p) {
    p.Bool("Enabled", &TTimer::Enabled, &TTimer::SetEnabled);
    p.Integer("Interval", &TTimer::Interval, &TTimer::SetInterval);
    p.Method("OnTimer");
  });
  return table;
}

}  // namespace kv
