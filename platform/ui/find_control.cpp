// Walks the shown forms and their windowed children down to the one under a point.
#include "platform/ui/find_control.h"

#include <algorithm>
#include <vector>

#include "platform/ui/forms.h"

namespace kv {

TWinControl* FindWinControlAtScreen(TPoint P) {
  if (!Screen) return nullptr;
  std::vector<TCustomForm*> order;
  auto add = [&order](TCustomForm* F) {
    if (F && F->Visible() && std::find(order.begin(), order.end(), F) == order.end()) order.push_back(F);
  };
  for (int32_t i = 0; i < Screen->FormCount(); ++i)
    if (Screen->Forms(i)->FormStyle() == fsStayOnTop) add(Screen->Forms(i));
  add(Screen->ActiveForm());
  for (int32_t i = 0; i < Screen->FormCount(); ++i) add(Screen->Forms(i));
  for (TCustomForm* f : order) {
    const TPoint o = f->ClientOrigin();
    TPoint local{P.X - o.X, P.Y - o.Y};
    if (local.X < 0 || local.Y < 0 || local.X >= f->ClientWidth() || local.Y >= f->ClientHeight()) continue;
    TWinControl* at = f;
    for (;;) {
      TWinControl* child = nullptr;
      for (int32_t i = at->ControlCount() - 1; i >= 0 && !child; --i) {
        auto* w = dynamic_cast<TWinControl*>(at->Controls(i));
        if (!w || !w->Visible()) continue;
        const TRect r = w->BoundsRect();
        if (local.X >= r.Left && local.X < r.Right && local.Y >= r.Top && local.Y < r.Bottom) child = w;
      }
      if (!child) break;
      const TPoint co = child->ClientOrigin();
      local = TPoint{P.X - co.X, P.Y - co.Y};
      at = child;
    }
    return at;
  }
  return nullptr;
}

}  // namespace kv
