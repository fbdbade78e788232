// TCustomControl and TGraphicControl: controls that paint themselves through a back buffer.
#include <QtWidgets/QWidget>

#include "platform/ui/controls.h"
#include "platform/ui/peer.h"

namespace kv {

namespace {

// Drawing on the canvas outside Paint shows at the next paint event.
void WatchCanvas(TControl* Control, TPaintBuffer& Buffer) {
  Buffer.Canvas->OnChange = [Control, &Buffer](TObject*) {
    if (!Buffer.InPaint && Control->Peer()) Control->Peer()->Client()->update();
  };
}

}  // namespace

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {
  FPaintBuffer = &FBuffer;
  WatchCanvas(this, FBuffer);
}

TCustomControl::~TCustomControl() {
  Destroying();
  if (FParent) FParent->RemoveControl(this);
  DestroyHandle();
  FPaintBuffer = nullptr;
  FBuffer.Canvas->OnChange = nullptr;
}

void TCustomControl::Paint() {}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {
  FPaintBuffer = &FBuffer;
  WatchCanvas(this, FBuffer);
}

TGraphicControl::~TGraphicControl() {
  Destroying();
  if (FParent) FParent->RemoveControl(this);
  DestroyPeer();
  FPaintBuffer = nullptr;
  FBuffer.Canvas->OnChange = nullptr;
}

void TGraphicControl::Paint() {}

void TGraphicControl::CreatePeer() {
  auto* p = new TWidgetPeer(this, FParent->Peer()->Client());
  p->setFocusPolicy(Qt::NoFocus);
  SetPeer(p);
  ApplyCursor(p, FCursor);
  Invalidate();
}

}  // namespace kv
