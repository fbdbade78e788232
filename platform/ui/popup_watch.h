// While a pop-up window shows, a press of a mouse button anywhere else in the
// application (or the application losing the active state) must close it.
#pragma once
#include <functional>
#include <memory>
#include <vector>

namespace kv {

class TControl;
class TOutsideClickFilter;

class TOutsideClickWatch {
 public:
  TOutsideClickWatch();
  ~TOutsideClickWatch();
  TOutsideClickWatch(const TOutsideClickWatch&) = delete;
  TOutsideClickWatch& operator=(const TOutsideClickWatch&) = delete;

  // Watches until Stop: a press on a window that is none of Inside (nor in
  // one of them) runs OnOutside once, after which the watch stops. The press
  // itself goes on to its window.
  void Start(std::vector<TControl*> Inside, std::function<void()> OnOutside);
  void Stop();
  bool Active() const { return FFilter != nullptr; }

 private:
  std::unique_ptr<TOutsideClickFilter> FFilter;
};

}  // namespace kv
