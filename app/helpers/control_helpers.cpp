#include "app/helpers/control_helpers.h"

#include <chrono>

#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

std::chrono::steady_clock::time_point& StopwatchStart() {
  static std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  return start;
}

}  // namespace

int32_t LastDownSpeedItem(const TSpeedBar& SpeedBar) {
  int32_t place = 0;
  const int32_t n = SpeedBar.ItemCountOf(0);
  for (int32_t i = 0; i < n; ++i)
    if (TSpeedItem* item = SpeedBar.ItemAt(0, i); item && item->Down()) place = i;
  return place;
}

const std::vector<std::string>& ResampleFilterNames() {
  static const std::vector<std::string> names = {"Keinen", "Triangle", "Hermite", "Bell",
                                                 "BSpline", "Lanczos3", "Mitchell"};
  return names;
}

void StartStopwatch() { StopwatchStart() = std::chrono::steady_clock::now(); }

int32_t StopwatchSeconds() {
  const std::chrono::duration<double> d = std::chrono::steady_clock::now() - StopwatchStart();
  return int32_t(Round(d.count()));
}

}  // namespace kv
