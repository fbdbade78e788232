// The nine-way anchor frame: a 3 x 3 group of buttons whose tags are bit
// masks (1 bottom, 2 top, 4 right, 8 left; 0 the centre).
#pragma once
#include <array>
#include <cstdint>

#include "app/filters/filter_kernels.h"  // DirectionOffset, the placement a direction gives
#include "platform/ui/frames.h"

namespace kv {

class TSpeedButton;
class tformstorage1;

class Tdirectionframe : public TFrame {
 public:
  explicit Tdirectionframe(TComponent* AOwner);

  // The tag of the pressed button; -1 when none is pressed.
  int32_t Direction() const { return FDirection; }
  // Presses the button with that tag; any other value lets all go up.
  void SetDirection(int32_t Value);
  // Presses the button with that tag, and makes it the one a store that has
  // never kept a choice puts back.
  void SetDefault(int32_t Value);
  // Lets every button go up: the direction becomes -1.
  void Clear() { SetDirection(-1); }

  // Top row, middle row, bottom row, each left to right.
  std::array<TSpeedButton*, 9> Buttons{};
  static constexpr std::array<int32_t, 9> kTags = {10, 2, 6, 8, 0, 4, 9, 1, 5};
  TNotifyEvent OnClick;
  // Keeps the buttons' pressed states; the direction is read back after a restore.
  tformstorage1* Formstorage1 = nullptr;

 private:
  void ButtonClick(TObject* Sender);
  void ReadDirection();
  int32_t FDirection = -1;
};

}  // namespace kv
