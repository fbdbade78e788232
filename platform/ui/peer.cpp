// The peer widgets: Qt events in, window messages out. Every entry from Qt
// catches what the control's handlers raise and gives it to the application.
#include "platform/ui/peer.h"

#include <QtCore/QPointer>
#include <QtGui/QGuiApplication>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QWheelEvent>
#include <QtWidgets/QScrollBar>

#include "platform/rtl/start_marks.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"

namespace kv {

bool ReachedDefault(const TMessage& Message);  // controls.cpp

void HandleGuardedException(TObject* Sender) {
  if (Application) Application->HandleException(Sender);
}

QWidget* PeerWidget(const TControl* Control) { return Control && Control->Peer() ? Control->Peer()->Widget() : nullptr; }
QWidget* ClientWidget(const TControl* Control) { return Control && Control->Peer() ? Control->Peer()->Client() : nullptr; }

namespace {

// Counts a running event so that the peer is not deleted under it.
class TEventScope {
 public:
  explicit TEventScope(TPeer* Peer) : FPeer(Peer) { ++FPeer->EventDepth; }
  ~TEventScope() { --FPeer->EventDepth; }

 private:
  TPeer* FPeer;
};

uint32_t MouseKeys(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Mods) {
  uint32_t k = 0;
  if (Buttons & Qt::LeftButton) k |= MK_LBUTTON;
  if (Buttons & Qt::RightButton) k |= MK_RBUTTON;
  if (Buttons & Qt::MiddleButton) k |= MK_MBUTTON;
  if (Mods & Qt::ShiftModifier) k |= MK_SHIFT;
  if (Mods & Qt::ControlModifier) k |= MK_CONTROL;
  return k;
}

UINT MouseMessage(QEvent::Type Type, Qt::MouseButton Button) {
  int which = Button == Qt::LeftButton ? 0 : Button == Qt::RightButton ? 1 : Button == Qt::MiddleButton ? 2 : -1;
  if (which < 0) return 0;
  static const UINT down[] = {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN};
  static const UINT up[] = {WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP};
  static const UINT dbl[] = {WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK};
  switch (Type) {
    case QEvent::MouseButtonPress: return down[which];
    case QEvent::MouseButtonRelease: return up[which];
    case QEvent::MouseButtonDblClick: return dbl[which];
    default: return 0;
  }
}

bool IsDialogKey(uint16_t Vk, uint32_t& Mask) {
  switch (Vk) {
    case VK_TAB: Mask = DLGC_WANTTAB; return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: Mask = DLGC_WANTARROWS; return true;
    case VK_RETURN:
    case VK_EXECUTE:
    case VK_ESCAPE:
    case VK_CANCEL: Mask = DLGC_WANTALLKEYS; return true;
    default: return false;
  }
}

void SendMessageTo(TControl* Target, TMessage& Message) {
  Guarded(Target, [&] { Target->WindowProc(Message); });
}

}  // namespace

// ---- TPeer ----

TPeer::~TPeer() {
  if (FControl && FControl->FPeer == this) FControl->FPeer = nullptr;
}

void TPeer::Dispose(TPeer* Peer) {
  if (!Peer) return;
  Peer->FControl = nullptr;
  if (Peer->EventDepth > 0) {
    QWidget* w = Peer->Widget();
    w->hide();
    w->setParent(nullptr);
    w->deleteLater();
  } else {
    delete Peer;
  }
}

void TPeer::PaintClient(const QRect& R) {
  TControl* c = FControl;
  if (!c) return;
  QWidget* client = Client();
  QPainter p(client);
  Guarded(c, [&] { c->PreparePaint(); });
  if (!FControl) return;  // freed by its own Paint
  const TColorRef rgb = ColorToRGB(c->Color());
  const QColor back(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
  TPaintBuffer* b = c->FPaintBuffer;
  if (!b || b->Bitmap.Empty()) {
    p.fillRect(R, back);
    return;
  }
  const TBitmap& bmp = b->Bitmap;
  const QImage img(bmp.Bits(), bmp.Width(), bmp.Height(), bmp.RowBytes(), QImage::Format_RGB32);
  const QRect inside = R.intersected(QRect(0, 0, bmp.Width(), bmp.Height()));
  if (!inside.isEmpty()) p.drawImage(inside, img, inside);
  // Whatever the buffer does not cover (the client grew since it was painted).
  const QRegion rest = QRegion(R).subtracted(QRegion(inside));
  for (const QRect& r : rest) p.fillRect(r, back);
  ExitAfterFirstPaint();
}

bool TPeer::ForwardInput(QEvent* E) {
  TControl* c = FControl;
  if (!c) return false;
  switch (E->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* me = static_cast<QMouseEvent*>(E);
      NoteInputState(me->modifiers(), me->buttons());
      const UINT msg = E->type() == QEvent::MouseMove ? WM_MOUSEMOVE : MouseMessage(E->type(), me->button());
      if (!msg) return true;
      QPoint pos = me->position().toPoint();
      TControl* target = c;
      if (TControl* cap = GetCaptureControl(); cap && cap != c && cap->Peer()) {
        pos = cap->Peer()->Client()->mapFromGlobal(me->globalPosition().toPoint());
        target = cap;
      }
      TMessage m{msg, MouseKeys(me->buttons(), me->modifiers()), static_cast<LPARAM>(MakeLong(pos.x(), pos.y())), 0};
      SendMessageTo(target, m);
      return true;
    }
    case QEvent::Wheel: {
      auto* we = static_cast<QWheelEvent*>(E);
      NoteInputState(we->modifiers(), we->buttons());
      const QPoint g = we->globalPosition().toPoint();
      const uint32_t keys = MouseKeys(we->buttons(), we->modifiers());
      bool unhandled = false, sent = false;
      // Vertical first; a horizontal wheel's right is positive, as the window system counts it.
      const int32_t deltas[2] = {we->angleDelta().y(), -we->angleDelta().x()};
      for (int axis = 0; axis < 2; ++axis) {
        if (!deltas[axis]) continue;
        const int32_t sum = WheelRemainder[axis] + deltas[axis];
        const int32_t notches = sum / WHEEL_DELTA;
        WheelRemainder[axis] = sum - notches * WHEEL_DELTA;
        if (!notches || !FControl) continue;
        TMessage m{axis == 0 ? WM_MOUSEWHEEL : WM_MOUSEHWHEEL,
                   static_cast<WPARAM>(MakeLong(static_cast<int32_t>(keys), notches * WHEEL_DELTA)),
                   static_cast<LPARAM>(MakeLong(g.x(), g.y())), 0};
        SendMessageTo(c, m);
        sent = true;
        if (ReachedDefault(m) && m.Result == 0) unhandled = true;
      }
      // A wheel nobody took goes on to the parent, as the default window procedure does.
      if (sent && unhandled) {
        E->ignore();
        return false;
      }
      E->accept();
      return true;
    }
    case QEvent::Enter:
      Guarded(c, [&] { c->Perform(CM_MOUSEENTER, 0, 0); });
      return false;
    case QEvent::Leave:
      Guarded(c, [&] { c->Perform(CM_MOUSELEAVE, 0, 0); });
      return false;
    case QEvent::FocusIn:
      if (dynamic_cast<TWinControl*>(c)) Guarded(c, [&] { c->Perform(WM_SETFOCUS, 0, 0); });
      return false;
    case QEvent::FocusOut:
      if (dynamic_cast<TWinControl*>(c)) Guarded(c, [&] { c->Perform(WM_KILLFOCUS, 0, 0); });
      return false;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* w = dynamic_cast<TWinControl*>(c);
      if (!w) return false;
      auto* ke = static_cast<QKeyEvent*>(E);
      const bool press = E->type() == QEvent::KeyPress;
      NoteInputState(ke->modifiers(), QGuiApplication::mouseButtons());
      if (!press && ke->isAutoRepeat()) return true;  // only the last release counts
      const uint16_t vk = VirtualKeyOf(ke->key(), ke->modifiers());
      NoteKeyState(vk, press);
      const bool alt = ke->modifiers() & Qt::AltModifier;
      int32_t keyData = 1 | (alt ? AltMask : 0);
      if (ke->isAutoRepeat()) keyData |= 0x40000000;
      if (!press) keyData |= static_cast<int32_t>(0xC0000000u);
      Guarded(w, [&] {
        if (!press) {
          if (!vk) return;
          TMessage m{alt ? WM_SYSKEYUP : WM_KEYUP, vk, keyData, 0};
          w->WindowProc(m);
          return;
        }
        uint32_t mask = 0;
        if (vk && IsDialogKey(vk, mask) && w->Perform(CM_WANTSPECIALKEY, vk, keyData) == 0 &&
            (static_cast<uint32_t>(w->Perform(WM_GETDLGCODE)) & mask) == 0) {
          TCustomForm* form = GetParentForm(w);
          if (form && form->Perform(CM_DIALOGKEY, vk, keyData) != 0) return;
        }
        if (vk) {
          TMessage m{alt ? WM_SYSKEYDOWN : WM_KEYDOWN, vk, keyData, 0};
          w->WindowProc(m);
        }
        for (char32_t ch : ke->text().toUcs4()) {
          if (!FControl) return;
          TMessage m{alt ? WM_SYSCHAR : WM_CHAR, static_cast<WPARAM>(ch), keyData, 0};
          w->WindowProc(m);
        }
      });
      return true;
    }
    default:
      return false;
  }
}

// ---- TWidgetPeer ----

TWidgetPeer::TWidgetPeer(TControl* Control, QWidget* Parent) : QWidget(Parent), TPeer(Control) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
}

TWidgetPeer::~TWidgetPeer() = default;

bool TWidgetPeer::event(QEvent* E) {
  if (E->type() == QEvent::DeferredDelete) return QWidget::event(E);  // deletes this
  TEventScope scope(this);
  if (FControl) {
    if (E->type() == QEvent::Close && isWindow()) {
      E->ignore();
      Guarded(FControl, [&] { FControl->Perform(WM_CLOSE); });
      return true;
    }
    if (ForwardInput(E)) return true;
    if (E->type() == QEvent::Wheel) return false;
  }
  return QWidget::event(E);
}

void TWidgetPeer::paintEvent(QPaintEvent* E) { PaintClient(E->rect()); }

// ---- TScrollPeer ----

TScrollPeer::TScrollPeer(TControl* Control, QWidget* Parent) : QAbstractScrollArea(Parent), TPeer(Control) {
  setFrameStyle(QFrame::NoFrame);
  setFocusPolicy(Qt::NoFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  viewport()->setMouseTracking(true);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setFocusPolicy(Qt::NoFocus);
  for (int32_t i = 0; i < 2; ++i) {
    QScrollBar* b = Bar(i);
    b->setTracking(false);
    b->setFocusPolicy(Qt::NoFocus);
    b->installEventFilter(this);
    // A handler may free, re-parent or remake the control: the peer and its
    // bar live on until the signal is over, and a second message goes only to
    // a control that still has this peer.
    connect(b, &QAbstractSlider::actionTriggered, this, [this, i](int a) {
      TEventScope scope(this);
      BarAction(i, a);
    });
    connect(b, &QAbstractSlider::sliderMoved, this, [this, i](int v) {
      if (FSyncing) return;
      TEventScope scope(this);
      Bars[i].TrackPos = v;
      SendScroll(i, SB_THUMBTRACK, v);
    });
    connect(b, &QAbstractSlider::sliderReleased, this, [this, i] {
      if (FSyncing) return;
      TEventScope scope(this);
      const int32_t v = Bar(i)->sliderPosition();
      Bars[i].TrackPos = v;
      SendScroll(i, SB_THUMBPOSITION, v);
      if (!FControl) return;
      SendScroll(i, SB_ENDSCROLL, 0);
    });
  }
}

TScrollPeer::~TScrollPeer() {
  for (int32_t i = 0; i < 2; ++i) {
    Bar(i)->disconnect(this);
    Bar(i)->removeEventFilter(this);
  }
}

QScrollBar* TScrollPeer::Bar(int32_t Which) { return Which == SB_HORZ ? horizontalScrollBar() : verticalScrollBar(); }

int32_t TScrollPeer::BarExtent(int32_t Which) {
  return Which == SB_HORZ ? horizontalScrollBar()->sizeHint().height() : verticalScrollBar()->sizeHint().width();
}

void TScrollPeer::ApplyParams(const TCreateParams& Params, int32_t BorderWidth) {
  if (Params.Style & WS_CHILD) {
    if (Params.ExStyle & WS_EX_CLIENTEDGE) {
      setFrameStyle(QFrame::Panel | QFrame::Sunken);
      setLineWidth(2);
    } else if (Params.Style & WS_BORDER) {
      setFrameStyle(QFrame::Box | QFrame::Plain);
      setLineWidth(1);
    } else {
      setFrameStyle(QFrame::NoFrame);
    }
  }
  if (!(Params.Style & WS_CHILD) && (Params.ExStyle & WS_EX_TOOLWINDOW) && !parentWidget()) {
    // A pop-up list: no frame from the window manager, above the other
    // windows, and the keyboard focus stays with the window that opened it.
    Qt::WindowFlags f = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;
    if (Params.ExStyle & WS_EX_TOPMOST) f |= Qt::WindowStaysOnTopHint;
    setWindowFlags(f);
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (Params.Style & WS_BORDER) {
      setFrameStyle(QFrame::Box | QFrame::Plain);
      setLineWidth(1);
    }
  }
  setViewportMargins(BorderWidth, BorderWidth, BorderWidth, BorderWidth);
  Bars[SB_HORZ].Shown = (Params.Style & WS_HSCROLL) != 0;
  Bars[SB_VERT].Shown = (Params.Style & WS_VSCROLL) != 0;
  SyncBar(SB_HORZ);
  SyncBar(SB_VERT);
}

void TScrollPeer::SyncBar(int32_t Which) {
  TBarState& s = Bars[Which];
  QScrollBar* b = Bar(Which);
  FSyncing = true;
  const int32_t maxPos = std::max(s.Min, s.Page > 0 ? s.Max - static_cast<int32_t>(s.Page) + 1 : s.Max);
  b->setRange(s.Min, maxPos);
  b->setPageStep(std::max<int32_t>(static_cast<int32_t>(s.Page), 1));
  b->setSingleStep(1);
  b->setValue(s.Pos);
  b->setEnabled(s.Enabled);
  FSyncing = false;
  const Qt::ScrollBarPolicy policy = s.Shown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
  if (Which == SB_HORZ) setHorizontalScrollBarPolicy(policy);
  else setVerticalScrollBarPolicy(policy);
}

void TScrollPeer::BarAction(int32_t Which, int Action) {
  if (FSyncing || !FControl) return;
  QScrollBar* b = Bar(Which);
  uint16_t code;
  switch (Action) {
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    default: code = 0xFFFF; break;
  }
  // The program moves the bar itself when it handles the message.
  FSyncing = true;
  b->setSliderPosition(b->value());
  FSyncing = false;
  if (code == 0xFFFF) return;
  SendScroll(Which, code, 0);
  if (!FControl) return;  // the handler freed or remade the control
  if (QGuiApplication::mouseButtons() == Qt::NoButton) SendScroll(Which, SB_ENDSCROLL, 0);
  else Bars[Which].EndPending = true;
}

void TScrollPeer::SendScroll(int32_t Which, uint16_t Code, int32_t Pos) {
  TControl* c = FControl;
  if (!c) return;
  TMessage m{Which == SB_HORZ ? WM_HSCROLL : WM_VSCROLL, static_cast<WPARAM>(MakeLong(Code, Pos)), 0, 0};
  SendMessageTo(c, m);
}

bool TScrollPeer::eventFilter(QObject* Watched, QEvent* E) {
  if (Watched == horizontalScrollBar() || Watched == verticalScrollBar()) {
    TEventScope scope(this);
    const int32_t which = Watched == horizontalScrollBar() ? SB_HORZ : SB_VERT;
    if (E->type() == QEvent::Wheel) {
      // The wheel over a bar belongs to the window, as with the window system's own bars.
      ForwardInput(E);
      return true;
    }
    if (E->type() == QEvent::MouseButtonRelease && Bars[which].EndPending) {
      Bars[which].EndPending = false;
      SendScroll(which, SB_ENDSCROLL, 0);
    }
    return false;
  }
  return QAbstractScrollArea::eventFilter(Watched, E);
}

bool TScrollPeer::event(QEvent* E) {
  if (E->type() == QEvent::DeferredDelete) return QAbstractScrollArea::event(E);  // deletes this
  TEventScope scope(this);
  if (FControl) {
    switch (E->type()) {
      case QEvent::Close:
        if (isWindow()) {
          E->ignore();
          Guarded(FControl, [&] { FControl->Perform(WM_CLOSE); });
          return true;
        }
        break;
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::FocusIn:
      case QEvent::FocusOut:
      case QEvent::Enter:
      case QEvent::Leave:
        if (ForwardInput(E)) return true;
        break;
      case QEvent::Wheel:
        E->ignore();  // not the area's own scrolling: the viewport already offered it
        return false;
      case QEvent::WindowActivate:
      case QEvent::WindowDeactivate:
        if (isWindow())
          Guarded(FControl, [&] {
            FControl->Perform(WM_ACTIVATE, E->type() == QEvent::WindowActivate ? WA_ACTIVE : WA_INACTIVE, 0);
          });
        break;
      case QEvent::Resize:
      case QEvent::Move:
        // A window moved or sized by the window manager; children are placed by their control.
        if (isWindow()) {
          const QRect g = geometry();
          TControl* c = FControl;
          Guarded(c, [&] { c->SetBounds(g.x(), g.y(), g.width(), g.height()); });
        }
        break;
      default:
        break;
    }
  }
  return QAbstractScrollArea::event(E);
}

bool TScrollPeer::viewportEvent(QEvent* E) {
  TEventScope scope(this);
  if (FControl) {
    if (E->type() == QEvent::Paint) {
      PaintClient(static_cast<QPaintEvent*>(E)->rect());
      return true;
    }
    switch (E->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove:
      case QEvent::Wheel:
        return ForwardInput(E);
      default:
        break;
    }
  }
  return QAbstractScrollArea::viewportEvent(E);
}

}  // namespace kv
