// Reads the whole image once at half rate, then works in tiles of 7 rows by 5 columns,
// checking each full-rate tile against the half-rate copy. Output: red takes green,
// green takes blue, blue takes red.
#include <vector>

#include "tests/pluginhost/plugins/test_plugin.h"

KV_TEST_PLUGIN("Tiles", "Kavrelin Tests", "TilesMain")

namespace {

std::vector<uint8_t> Sample;
int32_t SampleW = 0, SampleH = 0;

VRect Tile(const VRect& f, int32_t Top, int32_t Left) {
  return VRect{Top, Left, Top + 7 < f.bottom ? Top + 7 : f.bottom, Left + 5 < f.right ? Left + 5 : f.right};
}

void Fail(FilterRecord* r, int16_t* Result, const char* Text) {
  r->errorString[0] = uint8_t(std::strlen(Text));
  std::memcpy(r->errorString + 1, Text, r->errorString[0]);
  *Result = errReportString;
}

}  // namespace

extern "C" KV_EXPORT void TilesMain(int16_t Selector, void* Record, intptr_t* Data, int16_t* Result) {
  LogSelector(Selector);
  auto* r = static_cast<FilterRecord*>(Record);
  *Result = noErr;
  const VRect& f = r->filterRect;
  if (Selector == filterSelectorStart) {
    SampleW = r->imageSize.h / 2;
    SampleH = r->imageSize.v / 2;
    r->inputRate = 2 << 16;
    r->inRect = VRect{0, 0, SampleH, SampleW};
    r->outRect = VRect{0, 0, 0, 0};
    *Data = 1;
  } else if (Selector == filterSelectorContinue && *Data == 1) {
    Sample.assign(std::size_t(SampleW) * SampleH * 3, 0);
    for (int32_t y = 0; y < SampleH; ++y)
      std::memcpy(&Sample[std::size_t(y) * SampleW * 3], static_cast<uint8_t*>(r->inData) + int64_t(y) * r->inRowBytes,
                  std::size_t(SampleW) * 3);
    r->inputRate = 1 << 16;
    r->inRect = r->outRect = Tile(f, f.top, f.left);
    *Data = 2;
  } else if (Selector == filterSelectorContinue) {
    const VRect t = r->outRect;
    for (int32_t y = t.top; y < t.bottom; ++y) {
      const auto* in = static_cast<const uint8_t*>(r->inData) + int64_t(y - t.top) * r->inRowBytes;
      auto* out = static_cast<uint8_t*>(r->outData) + int64_t(y - t.top) * r->outRowBytes;
      for (int32_t x = t.left; x < t.right; ++x, in += 3, out += 3) {
        if (x % 2 == 0 && y % 2 == 0 && x / 2 < SampleW && y / 2 < SampleH &&
            std::memcmp(&Sample[(std::size_t(y / 2) * SampleW + x / 2) * 3], in, 3) != 0)
          return Fail(r, Result, "half-rate input differs from the image");
        const uint8_t red = in[0];
        out[0] = in[1];
        out[1] = in[2];
        out[2] = red;
      }
    }
    int32_t top = t.top, left = t.right;
    if (left >= f.right) left = f.left, top = t.bottom;
    r->inRect = r->outRect = top < f.bottom ? Tile(f, top, left) : VRect{0, 0, 0, 0};
  } else if (Selector == filterSelectorFinish) {
    Sample.clear();
    Sample.shrink_to_fit();
  }
}
