// Metafiles (WMF and EMF) are drawn by turning them into SVG with the system's
// converters and painting that SVG. The converters are outside code that parses
// outside bytes, so they run in a child process: a crash or a hang there ends
// as a failed conversion, never as one of ours.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv {

class TBitmap;

namespace gfx {

enum class TMetafileKind : uint8_t { Windows, Enhanced };

struct TMetafileSvg {
  std::string Svg;
  // The converter's own idea of the picture size in pixels at the Dpi asked
  // for (0 when it has none); callers with a header of their own prefer that.
  int32_t Width = 0;
  int32_t Height = 0;
};

// Converts Data to an SVG document. False when the converter rejects the
// bytes, crashes, takes longer than a few seconds or writes an absurd amount.
bool MetafileToSvg(const uint8_t* Data, size_t Length, TMetafileKind Kind, int32_t Dpi, TMetafileSvg& Out);

// Paints Svg stretched to Width x Height at 0,0 into Target, clipped to it.
// A ViewWidth x ViewHeight above 0 replaces the document's own view box
// (from 0,0), for documents whose stated size is off by the caller's knowledge.
// Handles 24- and 32-bit bitmaps; false for other formats or an unreadable document.
bool DrawSvg(const std::string& Svg, TBitmap& Target, int32_t Width, int32_t Height, double ViewWidth = 0,
             double ViewHeight = 0);

}  // namespace gfx
}  // namespace kv
