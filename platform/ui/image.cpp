#include "platform/ui/image.h"

#include "platform/ui/controls.h"

namespace kv {

TImage::TImage(TComponent* AOwner) : TGraphicControl(AOwner) {
  FControlStyle.Include(csReplicatable);
  FWidth = 105;
  FHeight = 105;
  FPicture.OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() { FPicture.OnChange = nullptr; }

void TImage::PictureChanged() {
  if (TGraphic* g = FPicture.Graphic()) g->SetTransparent(FTransparent);
  if (FAutoSize && FPicture.Width() > 0 && FPicture.Height() > 0)
    SetBounds(FLeft, FTop, FPicture.Width(), FPicture.Height());
  Invalidate();
}

void TImage::SetStretch(bool Value) {
  if (Value == FStretch) return;
  FStretch = Value;
  Invalidate();
}

void TImage::SetCenter(bool Value) {
  if (Value == FCenter) return;
  FCenter = Value;
  Invalidate();
}

void TImage::SetProportional(bool Value) {
  if (Value == FProportional) return;
  FProportional = Value;
  Invalidate();
}

void TImage::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  PictureChanged();
}

void TImage::SetAutoSize(bool Value) {
  if (Value == FAutoSize) return;
  FAutoSize = Value;
  if (Value) PictureChanged();
}

TRect TImage::DestRect() const {
  int32_t w = FPicture.Width(), h = FPicture.Height();
  const int32_t cw = ClientWidth(), ch = ClientHeight();
  if (FStretch || (FProportional && (w > cw || h > ch))) {
    if (FProportional && w > 0 && h > 0) {
      const double aspect = static_cast<double>(w) / h;
      if (w > h) {
        w = cw;
        h = static_cast<int32_t>(cw / aspect);
        if (h > ch) {
          h = ch;
          w = static_cast<int32_t>(ch * aspect);
        }
      } else {
        h = ch;
        w = static_cast<int32_t>(ch * aspect);
        if (w > cw) {
          w = cw;
          h = static_cast<int32_t>(cw / aspect);
        }
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  int32_t x = 0, y = 0;
  if (FCenter) {
    x = (cw - w) / 2;
    y = (ch - h) / 2;
  }
  return Rect(x, y, x + w, y + h);
}

void TImage::Paint() {
  TCanvas& c = Canvas();
  // Graphic controls have no background of their own: the parent's colour stands in for it.
  c.Brush().SetColor(FParent ? FParent->Color() : FColor);
  c.Brush().SetStyle(bsSolid);
  c.FillRect(ClientRect());
  auto* b = dynamic_cast<TBitmap*>(FPicture.Graphic());
  if (!b || b->Empty()) return;
  const TRect r = DestRect();
  if (r.Width() == b->Width() && r.Height() == b->Height()) c.Draw(r.Left, r.Top, *b);
  else c.StretchDraw(r, *b);
}

const TPropertyTable& TImage::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TImage>(TControl::PropertyTable(), [](auto& p) {
    p.Object("Picture", [](const TImage& i) { return const_cast<TPicture*>(&i.FPicture); }, &TImage::SetPicture);
    p.Bool("Stretch", &TImage::Stretch, &TImage::SetStretch);
    p.Bool("Center", &TImage::Center, &TImage::SetCenter);
    p.Bool("Proportional", &TImage::Proportional, &TImage::SetProportional);
    p.Bool("Transparent", &TImage::Transparent, &TImage::SetTransparent);
    p.Bool("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize);
  });
  return table;
}

}  // namespace kv
