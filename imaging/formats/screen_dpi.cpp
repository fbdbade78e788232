#include "imaging/formats/screen_dpi.h"

namespace kv {

namespace {
int32_t gDefaultDpi = 96;
}

int32_t DefaultDpi() { return gDefaultDpi; }
void SetDefaultDpi(int32_t Dpi) {
  if (Dpi > 0) gDefaultDpi = Dpi;
}

}  // namespace kv
