// TSpeedButton over QToolButton.
#include "platform/ui/speed_button.h"

#include <QtCore/QSignalBlocker>
#include <QtGui/QIcon>
#include <QtGui/QImage>
#include <QtGui/QPixmap>
#include <QtWidgets/QToolButton>
#include <cstring>

#include "platform/ui/std_peer.h"

namespace kv {

namespace {
QImage ImageOf(const TBitmap& Source) {
  if (Source.Empty()) return {};
  TBitmap b;
  b.Assign(&Source);
  b.SetPixelFormat(pf32bit);
  QImage img(b.Width(), b.Height(), QImage::Format_RGB32);
  for (int32_t y = 0; y < b.Height(); ++y)
    std::memcpy(img.scanLine(y), b.ScanLine(y), static_cast<size_t>(b.Width()) * 4);
  return img;
}
}  // namespace

TSpeedButton::TSpeedButton(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csDoubleClicks};
  FWidth = 23;
  FHeight = 22;
}

TSpeedButton::~TSpeedButton() = default;

void TSpeedButton::SetFlat(bool Value) {
  FFlat = Value;
  UpdateQt();
}

void TSpeedButton::SetGlyph(const TBitmap& Value) {
  FGlyph.Assign(&Value);
  UpdateQt();
}

void TSpeedButton::SetDown(bool Value) {
  if (FGroupIndex == 0) Value = false;
  if (Value == FDown) return;
  FDown = Value;
  if (FDown && FParent)
    for (int32_t i = 0; i < FParent->ControlCount(); ++i)
      if (auto* s = dynamic_cast<TSpeedButton*>(FParent->Controls(i)))
        if (s != this && s->FGroupIndex == FGroupIndex && s->FDown) {
          s->FDown = false;
          s->UpdateQt();
        }
  UpdateQt();
}

void TSpeedButton::Click() {
  if (!Enabled()) return;
  if (FGroupIndex != 0) {
    if (!FDown) SetDown(true);
    else if (FAllowAllUp) SetDown(false);
  }
  TWinControl::Click();
}

void TSpeedButton::UpdateQt() {
  auto* b = PeerAs<QToolButton>(this);
  if (!b) return;
  QSignalBlocker block(b);
  b->setAutoRaise(FFlat);
  b->setCheckable(FGroupIndex != 0);
  b->setChecked(FDown);
  if (!FGlyph.Empty()) {
    b->setIcon(QIcon(QPixmap::fromImage(ImageOf(FGlyph))));
    b->setIconSize(QSize(FGlyph.Width(), FGlyph.Height()));
  }
  b->setToolTip(QString::fromStdString(Hint()));
  // Shown when there is no glyph (the button shows its picture alone otherwise).
  b->setText(QString::fromStdString(Text()));
}

void TSpeedButton::Dispatch(TMessage& Message) {
  TWinControl::Dispatch(Message);
  if (Message.Msg == CM_TEXTCHANGED) UpdateQt();
}

void TSpeedButton::CreateWnd() {
  auto* p = new TStdPeer<QToolButton>(this, ParentClientWidget(this));
  SetPeer(p);
  p->setFocusPolicy(Qt::NoFocus);
  UpdateQt();
  QObject::connect(p, &QToolButton::clicked, p, [p] {
    p->Signal([&](TControl* c) {
      auto* s = static_cast<TSpeedButton*>(c);
      s->Click();
      s->UpdateQt();
    });
  });
}

}  // namespace kv
