// Draws a gradient over the filter rectangle without reading the source: it asks
// for no input at all, in bands of 3 rows.
#include "tests/pluginhost/plugins/test_plugin.h"

KV_TEST_PLUGIN("Gradient", "Kavrelin Tests", nullptr)

extern "C" KV_EXPORT void ENTRYPOINT(int16_t Selector, void* Record, intptr_t*, int16_t* Result) {
  LogSelector(Selector);
  auto* r = static_cast<FilterRecord*>(Record);
  *Result = noErr;
  const VRect& f = r->filterRect;
  if (Selector == filterSelectorStart) {
    r->inRect = VRect{0, 0, 0, 0};
    r->outRect = VRect{f.top, f.left, f.top + 3 < f.bottom ? f.top + 3 : f.bottom, f.right};
  } else if (Selector == filterSelectorContinue) {
    if (r->inData) { *Result = filterBadParameters; return; }  // it asked for no input
    for (int32_t y = r->outRect.top; y < r->outRect.bottom; ++y) {
      auto* out = static_cast<uint8_t*>(r->outData) + int64_t(y - r->outRect.top) * r->outRowBytes;
      for (int32_t x = r->outRect.left; x < r->outRect.right; ++x, out += 3) {
        out[0] = uint8_t(x);
        out[1] = uint8_t(y);
        out[2] = 77;
      }
    }
    const int32_t next = r->outRect.bottom;
    r->outRect = next < f.bottom ? VRect{next, f.left, next + 3 < f.bottom ? next + 3 : f.bottom, f.right}
                                 : VRect{0, 0, 0, 0};
  }
}
