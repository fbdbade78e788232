// Helpers over the program's controls, and the seconds stopwatch.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "components/speedbar/speed_bar.h"

namespace kv {

// The place of the last item of section 0 that is pressed down; 0 when none is.
int32_t LastDownSpeedItem(const TSpeedBar& SpeedBar);

// The place of the last checked sub-item of a menu item; 0 when none is.
// Works with any item that has Count() and Items(i)->Checked().
template <typename TMenuItemT>
int32_t LastCheckedMenuItem(const TMenuItemT& MenuItem) {
  int32_t place = 0;
  for (int32_t i = 0; i < MenuItem.Count(); ++i)
    if (MenuItem.Items(i)->Checked()) place = i;
  return place;
}

// The resample filters by their number in the resize and new-image commands:
// "Keinen", "Triangle", "Hermite", "Bell", "BSpline", "Lanczos3", "Mitchell".
const std::vector<std::string>& ResampleFilterNames();

// Adds the resample filters to a combo box (anything with Items().Add and
// SetItemIndex) and selects the first.
template <typename TComboT>
void FillResampleFilterCombo(TComboT& Combo) {
  for (const std::string& name : ResampleFilterNames()) Combo.Items().Add(name);
  Combo.SetItemIndex(0);
}

// Seconds since StartStopwatch, rounded (the sound recorder's clock). The
// clock is monotonic, so changing the system time does not disturb it.
void StartStopwatch();
int32_t StopwatchSeconds();

}  // namespace kv
