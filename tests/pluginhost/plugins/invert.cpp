// Inverts the filter rectangle in one piece.
#include "tests/pluginhost/plugins/test_plugin.h"

KV_TEST_PLUGIN("Invert", "Kavrelin Tests", "InvertMain")

extern "C" KV_EXPORT void InvertMain(int16_t Selector, void* Record, intptr_t*, int16_t* Result) {
  LogSelector(Selector);
  auto* r = static_cast<FilterRecord*>(Record);
  *Result = noErr;
  if (Selector == filterSelectorStart) {
    r->inRect = r->outRect = r->filterRect;
    r->inHiPlane = r->outHiPlane = 2;
  } else if (Selector == filterSelectorContinue) {
    const int32_t w = (r->outRect.right - r->outRect.left) * 3;
    for (int32_t y = 0; y < r->outRect.bottom - r->outRect.top; ++y) {
      const auto* in = static_cast<const uint8_t*>(r->inData) + int64_t(y) * r->inRowBytes;
      auto* out = static_cast<uint8_t*>(r->outData) + int64_t(y) * r->outRowBytes;
      for (int32_t i = 0; i < w; ++i) out[i] = uint8_t(255 - in[i]);
    }
    r->inRect = r->outRect = VRect{0, 0, 0, 0};
  }
}
