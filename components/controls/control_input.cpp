#include "components/controls/control_input.h"

#include <cctype>

#include "platform/ui/controls.h"

namespace kv {

bool IsAccelKey(uint32_t Key, const std::string& Caption) {
  for (size_t i = 0; i + 1 < Caption.size(); ++i)
    if (Caption[i] == '&') {
      if (Caption[i + 1] == '&') {
        ++i;
        continue;
      }
      return Key < 128 && std::toupper(static_cast<unsigned char>(Caption[i + 1])) == std::toupper(int(Key));
    }
  return false;
}

bool CursorOverControl(TControl* C) {
  if (!C->Parent() || !C->Visible() || !CursorMayBeOver(C)) return false;
  const TPoint p = C->ScreenToClient(GetCursorPos());
  return p.X >= 0 && p.Y >= 0 && p.X < C->Width() && p.Y < C->Height() &&
         C->Parent()->ControlAtPos(TPoint{p.X + C->Left(), p.Y + C->Top()}, true) == C;
}

}  // namespace kv
