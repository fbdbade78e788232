// Pictures from the desktop's icon theme, by their freedesktop names
// ("document-open", "edit-undo", "zoom-in" ...).
#pragma once
#include <cstdint>
#include <string>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"

namespace kv {

// The theme's icon of that name as a button glyph: Size x Size pixels at 24
// bits, drawn over Background, which the corners keep so that it serves as
// the glyph's transparent colour. False (Glyph untouched) when neither the
// desktop's theme nor the fallback theme has the icon.
bool ThemeIconGlyph(const std::string& Name, int32_t Size, TColor Background, TBitmap& Glyph);
// The theme's icon as a 24-bit picture over Background and its mask (a
// 1-bit picture, white where the icon is see-through), for image lists.
bool ThemeIconImage(const std::string& Name, int32_t Size, TColor Background, TBitmap& Image, TBitmap& Mask);

}  // namespace kv
