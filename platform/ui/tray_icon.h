// An icon in the desktop's notification area (the system tray) with a tip;
// clicks on it reach the owner as the mouse messages of the window system.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/rtl/component.h"

namespace kv {

class TTrayIcon : public TComponent {
 public:
  explicit TTrayIcon(TComponent* AOwner);
  ~TTrayIcon() override;

  // Shows the program's icon with the tip; false when the desktop has no notification area.
  bool Add(const std::string& Tip);
  void Remove();
  bool Visible() const;
  const std::string& Tip() const { return FTip; }
  static bool Available();

  // WM_LBUTTONUP for a click, WM_LBUTTONDBLCLK for a double click, WM_RBUTTONUP for the context click.
  std::function<void(uint32_t MouseMessage)> OnMouse;
  // What a click on the icon does, for tests and the layer.
  void Clicked(uint32_t MouseMessage) {
    if (OnMouse) OnMouse(MouseMessage);
  }

 private:
  struct TImpl;
  std::unique_ptr<TImpl> FImpl;
  std::string FTip;
};

}  // namespace kv
