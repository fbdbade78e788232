// TTrackBar over QSlider; TUpDown over two arrow buttons.
#include "platform/ui/track_bar.h"

#include <QtCore/QSignalBlocker>
#include <QtWidgets/QSlider>
#include <QtWidgets/QToolButton>
#include <QtWidgets/QVBoxLayout>
#include <algorithm>

#include "platform/rtl/strings.h"
#include "platform/ui/std_controls.h"
#include "platform/ui/std_peer.h"

namespace kv {

// ---- TTrackBar ----

TTrackBar::TTrackBar(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{};
  FWidth = 150;
  FHeight = 45;
  FTabStop = true;
}

TTrackBar::~TTrackBar() = default;

void TTrackBar::SetRange(int32_t AMin, int32_t AMax) {
  FMin = AMin;
  FMax = std::max(AMin, AMax);
  UpdateQt();
  SetPosition(FPosition);
}

void TTrackBar::SetPosition(int32_t Value) {
  Value = std::clamp(Value, FMin, FMax);
  if (Value == FPosition) return;
  FPosition = Value;
  UpdateQt();
  if (OnChange) OnChange(this);
}

void TTrackBar::SetFrequency(int32_t Value) {
  FFrequency = std::max(1, Value);
  UpdateQt();
}

void TTrackBar::UpdateQt() {
  auto* s = PeerAs<QSlider>(this);
  if (!s) return;
  QSignalBlocker block(s);
  s->setRange(FMin, FMax);
  s->setValue(FPosition);
  s->setTickInterval(FFrequency);
}

void TTrackBar::CreateWnd() {
  auto* p = new TStdPeer<QSlider>(this, ParentClientWidget(this));
  SetPeer(p);
  p->setOrientation(Qt::Horizontal);
  p->setTickPosition(QSlider::TicksBelow);
  UpdateQt();
  QObject::connect(p, &QSlider::valueChanged, p, [p](int V) {
    p->Signal([&](TControl* c) { static_cast<TTrackBar*>(c)->SetPosition(V); });
  });
}

// ---- TUpDown ----

TUpDown::TUpDown(TComponent* AOwner) : TWinControl(AOwner) {
  FControlStyle = TControlStyle{};
  FWidth = 15;
  FHeight = 21;
}

TUpDown::~TUpDown() {
  if (FAssociate) FAssociate->RemoveFreeNotification(this);
}

void TUpDown::SetRange(int32_t AMin, int32_t AMax) {
  FMin = AMin;
  FMax = std::max(AMin, AMax);
  FPosition = std::clamp(FPosition, FMin, FMax);
}

void TUpDown::SetPosition(int32_t Value) {
  FPosition = std::clamp(Value, FMin, FMax);
  if (FAssociate) FAssociate->SetText(IntToStr(FPosition));
}

void TUpDown::SetAssociate(TEdit* Value) {
  if (FAssociate) FAssociate->RemoveFreeNotification(this);
  FAssociate = Value;
  if (FAssociate) FAssociate->FreeNotification(this);
}

void TUpDown::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FAssociate) FAssociate = nullptr;
}

void TUpDown::Step(int32_t Delta) {
  if (FAssociate) FPosition = std::clamp(StrToIntDef(FAssociate->Text(), FPosition), FMin, FMax);
  SetPosition(FPosition + Delta);
  if (OnClick) OnClick(this);
}

void TUpDown::CreateWnd() {
  auto* p = new TStdPeer<QWidget>(this, ParentClientWidget(this));
  SetPeer(p);
  auto* box = new QVBoxLayout(p);
  box->setContentsMargins(0, 0, 0, 0);
  box->setSpacing(0);
  for (bool up : {true, false}) {
    auto* b = new QToolButton(p);
    b->setArrowType(up ? Qt::UpArrow : Qt::DownArrow);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    box->addWidget(b);
    QObject::connect(b, &QToolButton::clicked, p, [p, up] {
      p->Signal([&](TControl* c) {
        auto* u = static_cast<TUpDown*>(c);
        up ? u->StepUp() : u->StepDown();
      });
    });
  }
}

}  // namespace kv
