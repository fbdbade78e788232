// Writes around its output buffer: before its first byte and past its last row.
#include "tests/pluginhost/plugins/test_plugin.h"

KV_TEST_PLUGIN("Garbage", "Kavrelin Tests", "GarbageMain")

extern "C" KV_EXPORT void GarbageMain(int16_t Selector, void* Record, intptr_t*, int16_t* Result) {
  LogSelector(Selector);
  auto* r = static_cast<FilterRecord*>(Record);
  *Result = noErr;
  if (Selector == filterSelectorStart) {
    r->inRect = r->outRect = r->filterRect;
  } else if (Selector == filterSelectorContinue) {
    auto* out = static_cast<uint8_t*>(r->outData);
    const int64_t rows = r->outRect.bottom - r->outRect.top;
    std::memset(out, 0x11, 16);                                // inside: harmless
    std::memset(out - 40, 0xEE, 24);                           // before the buffer
    std::memset(out + rows * r->outRowBytes + 8, 0xEE, 24);     // after it
    r->inRect = r->outRect = VRect{0, 0, 0, 0};
  }
}
