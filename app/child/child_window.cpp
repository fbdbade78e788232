// The image window: creation, rulers and status line, mouse to command lines,
// drawing primitives and the close question.
#include "app/child/child_window.h"

namespace kv {

uint8_t drawingtool = dtZoom;

Tchild::Tchild(TComponent* AOwner) : TForm(AOwner) {}
Tchild::~Tchild() = default;

void Tchild::DrawShape(TPoint, TPoint, TPenMode) {}
void Tchild::drawwithpinsel(int32_t, int32_t, int32_t, TColor) {}
void Tchild::FloodFill(TBitmap&, int32_t, int32_t, TColor, TColor, int32_t, int32_t) {}
bool Tchild::myclose() { return true; }
void Tchild::FormCreate(TObject*) {}
void Tchild::FormShow(TObject*) {}
void Tchild::FormActivate(TObject*) {}
void Tchild::FormClose(TObject*, TCloseAction& Action) { Action = caFree; }
void Tchild::FormResize(TObject*) {}
void Tchild::imager1ViewChange(TObject*) {}
void Tchild::imager1MouseDown(TObject*, TMouseButton, TShiftState, int32_t, int32_t) {}
void Tchild::imager1MouseMove(TObject*, TShiftState, int32_t, int32_t) {}
void Tchild::imager1MouseUp(TObject*, TMouseButton, TShiftState, int32_t, int32_t) {}
void Tchild::imager1Progress(TObject*, int32_t) {}

}  // namespace kv
