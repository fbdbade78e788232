// Placeholder until the canvas lands: keeps the library linkable.
#include "platform/graphics/canvas.h"

namespace kv {

class TCanvasPainter {};

TFont::TFont() = default;
TCanvas::TCanvas(TBitmap& Target) : FTarget(Target) {}
TCanvas::~TCanvas() = default;

}  // namespace kv
