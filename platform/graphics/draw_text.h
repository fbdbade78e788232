// Formatted text in a rectangle, as the window system's DrawText does it:
// alignment, word wrap at blanks, "&" marking the underlined character, and
// measuring without drawing.
#pragma once
#include <cstdint>
#include <string>

#include "platform/graphics/canvas.h"

namespace kv {

constexpr uint32_t DT_TOP = 0x0000;
constexpr uint32_t DT_LEFT = 0x0000;
constexpr uint32_t DT_CENTER = 0x0001;
constexpr uint32_t DT_RIGHT = 0x0002;
constexpr uint32_t DT_VCENTER = 0x0004;
constexpr uint32_t DT_BOTTOM = 0x0008;
constexpr uint32_t DT_WORDBREAK = 0x0010;
constexpr uint32_t DT_SINGLELINE = 0x0020;
constexpr uint32_t DT_EXPANDTABS = 0x0040;
constexpr uint32_t DT_NOCLIP = 0x0100;
constexpr uint32_t DT_CALCRECT = 0x0400;
constexpr uint32_t DT_NOPREFIX = 0x0800;
constexpr uint32_t DT_END_ELLIPSIS = 0x8000;
constexpr uint32_t DT_RTLREADING = 0x20000;

// Draws Text into R with the canvas's font and brush (a solid brush fills
// each line's cell). DT_VCENTER and DT_BOTTOM act on single-line text only.
// With DT_CALCRECT nothing is drawn and R's right and bottom are set to the
// extent of the text. Returns the height of the text.
int32_t DrawText(TCanvas& Canvas, const std::string& Text, TRect& R, uint32_t Format);

}  // namespace kv

namespace kv {

// Horizontal and vertical alignment of text in controls and cells.
enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };

}  // namespace kv
