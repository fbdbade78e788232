// TButton over QPushButton.
#include "platform/ui/button.h"

#include <QtGui/QKeyEvent>
#include <QtWidgets/QPushButton>

#include "platform/ui/forms.h"
#include "platform/ui/peer.h"

namespace kv {

namespace {

// Keeps a peer alive while one of its Qt events or signals runs.
class TPeerBusy {
 public:
  explicit TPeerBusy(TPeer* Peer) : FPeer(Peer) { ++FPeer->EventDepth; }
  ~TPeerBusy() { --FPeer->EventDepth; }

 private:
  TPeer* FPeer;
};

class TButtonPeer : public QPushButton, public TPeer {
 public:
  TButtonPeer(TButton* Control, QWidget* Parent) : QPushButton(Parent), TPeer(Control) {
    // Enter is the form's business (CM_DIALOGKEY), not Qt's dialog default.
    setAutoDefault(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this, [this] {
      TControl* c = FControl;
      if (!c) return;
      TPeerBusy busy(this);
      Guarded(c, [c] { static_cast<TButton*>(c)->Click(); });
    });
  }
  QWidget* Widget() override { return this; }
  QWidget* Client() override { return this; }

 protected:
  bool event(QEvent* E) override {
    if (E->type() == QEvent::DeferredDelete) return QPushButton::event(E);  // deletes this
    TPeerBusy busy(this);
    if (!FControl) return QPushButton::event(E);
    switch (E->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::FocusIn:
      case QEvent::FocusOut:
      case QEvent::Enter:
      case QEvent::Leave:
        // The control hears of it; the Qt button still presses and draws itself.
        ForwardInput(E);
        break;
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        const int key = static_cast<QKeyEvent*>(E)->key();
        ForwardInput(E);
        if (key != Qt::Key_Space && key != Qt::Key_Select) return true;
        break;  // the space bar presses the Qt button
      }
      case QEvent::Wheel:
        return ForwardInput(E);
      default:
        break;
    }
    return QPushButton::event(E);
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
  QWidget* parent = (FParent && FParent->Peer()) ? FParent->Peer()->Client() : nullptr;
  SetPeer(new TButtonPeer(this, parent));
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
