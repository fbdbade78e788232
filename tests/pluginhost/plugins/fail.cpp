// Fails in the way KV_FAIL_MODE names: "report" (an error text at start), "badrect"
// (asks for rows below the image), "params" (the user cancels the dialog), "inverted"
// (an inverted rectangle at start).
#include <cstdlib>

#include "tests/pluginhost/plugins/test_plugin.h"

KV_TEST_PLUGIN("Fail", "Kavrelin Tests", "FailMain")

namespace {
bool Mode(const char* m) {
  const char* e = std::getenv("KV_FAIL_MODE");
  return e && std::strcmp(e, m) == 0;
}
}  // namespace

extern "C" KV_EXPORT void FailMain(int16_t Selector, void* Record, intptr_t*, int16_t* Result) {
  LogSelector(Selector);
  auto* r = static_cast<FilterRecord*>(Record);
  *Result = noErr;
  if (Selector == filterSelectorParameters && Mode("params")) {
    *Result = userCanceledErr;
  } else if (Selector == filterSelectorStart) {
    r->inRect = r->outRect = r->filterRect;
    if (Mode("report")) {
      static const char text[] = "Kaputt: the test plug-in failed on purpose";
      r->errorString[0] = uint8_t(sizeof text - 1);
      std::memcpy(r->errorString + 1, text, sizeof text - 1);
      *Result = errReportString;
    } else if (Mode("badrect")) {
      r->outRect.bottom = r->imageSize.v + 1;
    } else if (Mode("inverted")) {
      r->inRect = r->outRect = VRect{r->filterRect.bottom, r->filterRect.left, r->filterRect.top, r->filterRect.right};
    }
  } else if (Selector == filterSelectorContinue) {
    std::memset(r->outData, 0, 3);  // any change would show
    r->inRect = r->outRect = VRect{0, 0, 0, 0};
  }
}
