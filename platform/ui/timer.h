// TTimer: OnTimer every Interval milliseconds, run by the event loop.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/rtl/component.h"

namespace kv {

class TTimerEngine;

// Runs only while Enabled, Interval > 0 and OnTimer is assigned; changing any
// of them restarts the count. Assign OnTimer with SetOnTimer so that the
// timer can follow.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t Value);
  const TNotifyEvent& OnTimer() const { return FOnTimer; }
  void SetOnTimer(TNotifyEvent Value);
  // Whether the timer is counting now.
  bool Running() const;

  const TPropertyTable& PropertyTable() const override;

 protected:
  virtual void Timer();

 private:
  friend class TTimerEngine;
  void UpdateTimer();

  bool FEnabled = true;
  uint32_t FInterval = 1000;
  TNotifyEvent FOnTimer;
  std::unique_ptr<TTimerEngine> FEngine;
};

}  // namespace kv
