#include "platform/ui/radio_button.h"

#include <QtCore/QSignalBlocker>
#include <QtWidgets/QRadioButton>

#include "platform/ui/std_peer.h"

namespace kv {

TRadioButton::TRadioButton(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 113;
  FHeight = 17;
  FTabStop = true;
}

TRadioButton::~TRadioButton() = default;

void TRadioButton::SetChecked(bool Value) {
  if (Value == FChecked) return;
  FChecked = Value;
  UpdateQt();
  if (!Value) return;
  if (TWinControl* parent = Parent())
    for (int32_t i = 0; i < parent->ControlCount(); ++i)
      if (auto* other = dynamic_cast<TRadioButton*>(parent->Controls(i)); other && other != this)
        other->SetChecked(false);
  Click();
}

void TRadioButton::UpdateQt() {
  auto* b = PeerAs<QRadioButton>(this);
  if (!b) return;
  QSignalBlocker block(b);
  b->setAutoExclusive(false);  // the siblings are unchecked here, peers or not
  b->setText(QString::fromStdString(FText));
  b->setChecked(FChecked);
}

void TRadioButton::CreateWnd() {
  auto* p = new TStdPeer<QRadioButton>(this, ParentClientWidget(this));
  SetPeer(p);
  UpdateQt();
  QObject::connect(p, &QRadioButton::toggled, p, [p](bool On) {
    p->Signal([&](TControl* c) {
      auto* r = static_cast<TRadioButton*>(c);
      // A radio button is not unchecked by clicking it.
      if (On) r->SetChecked(true);
      else r->UpdateQt();
    });
  });
}

void TRadioButton::Dispatch(TMessage& Message) {
  TWinControl::Dispatch(Message);
  if (Message.Msg == CM_TEXTCHANGED) UpdateQt();
}

}  // namespace kv
