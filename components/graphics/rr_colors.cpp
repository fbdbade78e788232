#include "components/graphics/rr_colors.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sys_error.h"

namespace kv {

void RaiseGDIError() {
  const int code = errno;
  throw EOutOfResources(code != 0 ? SysErrorMessage(code) : std::string(SOutOfResources));
}

void SetBitmapColorTable(TBitmap& Bitmap, const TColor* Colors, int32_t LastIndex, int32_t FirstIndex) {
  const int32_t count = LastIndex - FirstIndex + 1;
  int32_t set = 0;
  if (count > 0 && FirstIndex >= 0) {
    std::vector<TPaletteEntry> quads(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
      const TColorRef c = ColorToRGB(Colors[FirstIndex + i]);
      quads[size_t(i)] = {GetRValue(c), GetGValue(c), GetBValue(c), 0};
    }
    set = Bitmap.SetPaletteEntries(FirstIndex, count, quads.data());
    if (set) Bitmap.NotifyChanged();
  }
  if (set == 0) {
    errno = 0;
    RaiseGDIError();
  }
}

THLS RGBToHLS(TColor Color) {
  const TColorRef c = ColorToRGB(Color);
  const int32_t r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  const int32_t mx = std::max({r, g, b}), mn = std::min({r, g, b});
  THLS out;
  out.Luminance = uint8_t(((mx + mn) * 240 + 255) / 510);
  if (mx == mn) {
    out.Hue = 160;
    return out;
  }
  const int32_t d = mx - mn;
  out.Saturation = out.Luminance <= 120 ? uint8_t((d * 240 + (mx + mn) / 2) / (mx + mn))
                                        : uint8_t((d * 240 + (510 - mx - mn) / 2) / (510 - mx - mn));
  const int32_t rr = ((mx - r) * 40 + d / 2) / d;
  const int32_t gg = ((mx - g) * 40 + d / 2) / d;
  const int32_t bb = ((mx - b) * 40 + d / 2) / d;
  int32_t h;
  if (r == mx) h = bb - gg;
  else if (g == mx) h = 80 + rr - bb;
  else h = 160 + gg - rr;
  h %= 240;
  if (h < 0) h += 240;
  out.Hue = uint8_t(h);
  return out;
}

namespace {
int32_t HueChannel(int32_t m1, int32_t m2, int32_t h) {
  h %= 240;
  if (h < 0) h += 240;
  if (h < 40) return m1 + ((m2 - m1) * h + 20) / 40;
  if (h < 120) return m2;
  if (h < 160) return m1 + ((m2 - m1) * (160 - h) + 20) / 40;
  return m1;
}
uint8_t Scale(int32_t v) { return uint8_t(std::clamp((v * 255 + 120) / 240, 0, 255)); }
}  // namespace

TColor HLSToRGB(int32_t Hue, int32_t Luminance, int32_t Saturation) {
  if (Saturation == 0) {
    const uint8_t v = uint8_t(std::clamp(Luminance * 255 / 240, 0, 255));
    return TColor(RGB(v, v, v));
  }
  const int32_t m2 = Luminance <= 120 ? (Luminance * (240 + Saturation) + 120) / 240
                                      : Luminance + Saturation - (Luminance * Saturation + 120) / 240;
  const int32_t m1 = 2 * Luminance - m2;
  return TColor(RGB(Scale(HueChannel(m1, m2, Hue + 80)), Scale(HueChannel(m1, m2, Hue)),
                    Scale(HueChannel(m1, m2, Hue - 80))));
}

}  // namespace kv
