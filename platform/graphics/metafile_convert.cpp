// The two converters to SVG: libwmf for Windows metafiles, libemf2svg for
// enhanced ones (EMF+ included). Both run inside the child process of
// metafile_render.cpp, so they may assume a short-lived process.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" {
#include <emf2svg.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
}

#include "platform/graphics/metafile_convert.h"

namespace kv::gfx::detail {

bool ConvertWindowsMetafile(const uint8_t* Data, size_t Length, int32_t Dpi, TMetafileSvg& Out) {
  std::vector<unsigned char> copy(Data, Data + Length);
  wmfAPI_Options options;
  std::memset(&options, 0, sizeof options);
  options.function = wmf_svg_function;
  wmfAPI* api = nullptr;
  const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
  if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
    if (api) wmf_api_destroy(api);
    return false;
  }
  bool ok = false;
  wmfD_Rect bbox;
  unsigned int w = 0, h = 0;
  if (wmf_mem_open(api, copy.data(), long(copy.size())) == wmf_E_None && wmf_scan(api, 0, &bbox) == wmf_E_None &&
      wmf_display_size(api, &w, &h, Dpi, Dpi) == wmf_E_None && w > 0 && h > 0) {
    // libwmf frames the SVG around what is drawn; a placeable file states its
    // own box, which keeps margins and the place of the drawing within it.
    // libwmf's coordinates here are points.
    if (Length >= 22 && Data[0] == 0xD7 && Data[1] == 0xCD && Data[2] == 0xC6 && Data[3] == 0x9A) {
      auto s16 = [&](size_t At) { return int16_t(uint16_t(Data[At] | Data[At + 1] << 8)); };
      const double inch = double(uint16_t(Data[14] | Data[15] << 8));
      if (inch > 0 && s16(10) != s16(6) && s16(12) != s16(8)) {
        auto pt = [&](int16_t V) { return float(V * 72.0 / inch); };
        bbox.TL.x = pt(std::min(s16(6), s16(10)));
        bbox.BR.x = pt(std::max(s16(6), s16(10)));
        bbox.TL.y = pt(std::min(s16(8), s16(12)));
        bbox.BR.y = pt(std::max(s16(8), s16(12)));
      }
    }
    wmf_svg_t* svg = WMF_SVG_GetData(api);
    svg->out = wmf_stream_create(api, nullptr);
    svg->Description = const_cast<char*>("metafile");
    svg->bbox = bbox;
    svg->width = w;
    svg->height = h;
    svg->flags |= WMF_SVG_INLINE_IMAGES;
    if (svg->out && wmf_play(api, 0, &bbox) == wmf_E_None) {
      char* text = nullptr;
      unsigned long length = 0;
      wmf_stream_destroy(api, svg->out, &text, &length);
      svg->out = nullptr;
      if (text && length > 0) {
        Out.Svg.assign(text, length);
        Out.Width = int32_t(w);
        Out.Height = int32_t(h);
        ok = true;
      }
    }
  }
  wmf_api_destroy(api);
  return ok;
}

bool ConvertEnhancedMetafile(const uint8_t* Data, size_t Length, TMetafileSvg& Out) {
  std::vector<char> copy(Data, Data + Length);
  generatorOptions options;
  std::memset(&options, 0, sizeof options);
  options.nameSpace = const_cast<char*>("svg");
  options.verbose = false;
  options.emfplus = true;
  options.svgDelimiter = true;
  char* text = nullptr;
  size_t length = 0;
  const int ret = emf2svg(copy.data(), copy.size(), &text, &length, &options);
  const bool ok = ret != 0 && text && length > 0;
  if (ok) Out.Svg.assign(text, length);
  std::free(text);
  return ok;
}

}  // namespace kv::gfx::detail
