// Scroll-bar and mouse-wheel settings of the image views.
#pragma once
#include <cstdint>

#include "platform/rtl/object.h"

namespace kv {

// One for each scroll bar of a view.
class TIMScrollBarParams : public TObject {
 public:
  int32_t LineStep = -1;  // -1: the view's own step
  int32_t PageStep = -1;  // -1: the view's own step
  bool Tracking = true;   // follow the thumb while dragged; false: only on release
};

class TIMMouseWheelParams : public TObject {
 public:
  bool InvertDirection = false;
  uint8_t Action = 2;     // 0 the control's default handling, 1 scroll, 2 zoom
  uint8_t Variation = 1;  // 0 Value is an absolute amount, 1 a percentage
  int32_t Value = 8;
};

}  // namespace kv
