// TButton over QPushButton.
#include "platform/ui/button.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QPushButton>

#include "platform/ui/forms.h"
#include "platform/ui/std_peer.h"

namespace kv {

namespace {

class TButtonPeer : public TStdPeer<QPushButton> {
 public:
  TButtonPeer(TButton* Control, QWidget* Parent) : TStdPeer<QPushButton>(Control, Parent) {
    // Enter is the form's business (CM_DIALOGKEY), not Qt's dialog default.
    setAutoDefault(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this,
            [this] { Signal([](TControl* c) { static_cast<TButton*>(c)->Click(); }); });
  }

 protected:
  std::optional<bool> ToControl(QEvent* E) override {
    switch (E->type()) {
      case QEvent::MouseMove:
        // The control hears of it; the Qt button still presses and draws itself.
        ForwardInput(E);
        return std::nullopt;
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        const int key = static_cast<QKeyEvent*>(E)->key();
        ForwardInput(E);
        if (key != Qt::Key_Space && key != Qt::Key_Select) return true;
        return std::nullopt;  // the space bar presses the Qt button
      }
      case QEvent::Wheel:
        return ForwardInput(E);
      default:
        return TStdPeer<QPushButton>::ToControl(E);
    }
  }
};

}  // namespace

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) {
  // No csClickEvents: clicks come from the Qt button, not from mouse-up messages.
  FControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  FWidth = 75;
  FHeight = 25;
  FTabStop = true;
}

TButton::~TButton() = default;

void TButton::SetDefault(bool Value) {
  if (Value == FDefault) return;
  FDefault = Value;
  UpdateQtButton();
}

void TButton::Click() {
  if (FModalResult != mrNone)
    if (TCustomForm* form = GetParentForm(this)) form->SetModalResult(FModalResult);
  TWinControl::Click();
}

bool TButton::IsActiveDefault() const {
  const TCustomForm* form = GetParentForm(this);
  const TWinControl* focused = form ? form->ActiveControl() : nullptr;
  if (focused == this) return true;
  return FDefault && !dynamic_cast<const TButton*>(focused);
}

void TButton::CreateWnd() {
  SetPeer(new TButtonPeer(this, ParentClientWidget(this)));
  UpdateQtButton();
}

void TButton::UpdateQtButton() {
  auto* b = dynamic_cast<QPushButton*>(PeerWidget(this));
  if (!b) return;
  // "&" marks the accelerator in our captions as in Qt's.
  b->setText(QString::fromStdString(FText));
  b->setDefault(FDefault);
}

void TButton::Dispatch(TMessage& Message) {
  switch (Message.Msg) {
    case CM_TEXTCHANGED:
      UpdateQtButton();
      break;
    case CM_DIALOGKEY: {
      const uint16_t key = static_cast<uint16_t>(Message.WParam);
      const bool mine = (key == VK_RETURN && IsActiveDefault()) || (key == VK_ESCAPE && FCancel);
      if (mine && KeyDataToShiftState(static_cast<int32_t>(Message.LParam)).Empty() && CanFocus()) {
        Click();
        Message.Result = 1;
        return;
      }
      break;
    }
    default:
      break;
  }
  TWinControl::Dispatch(Message);
}

const TPropertyTable& TButton::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TButton>(TWinControl::PropertyTable(), [](auto& p) {
    p.Bool("Cancel", &TButton::Cancel, &TButton::SetCancel);
    p.Bool("Default", &TButton::Default, &TButton::SetDefault);
    p.Integer("ModalResult", &TButton::ModalResult, &TButton::SetModalResult);
  });
  return table;
}

}  // namespace kv
