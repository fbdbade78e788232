// The converters behind MetafileToSvg; they run in its child process only.
#pragma once
#include "platform/graphics/metafile_render.h"

namespace kv::gfx::detail {

bool ConvertWindowsMetafile(const uint8_t* Data, size_t Length, int32_t Dpi, TMetafileSvg& Out);
bool ConvertEnhancedMetafile(const uint8_t* Data, size_t Length, TMetafileSvg& Out);

}  // namespace kv::gfx::detail
