// Private to the platform layer: the peer of a standard control over one Qt
// widget. The Qt widget draws itself and keeps its own input; the control
// hears of mouse, focus and the dialog keys so that the form's focus
// tracking, Enter on the default button and Escape on the cancel button work.
#pragma once
#include <optional>

#include <QtGui/QKeyEvent>
#include <QtWidgets/QWidget>

#include "platform/ui/peer.h"

namespace kv {

// Keeps a peer alive while one of its Qt events or signals runs.
class TStdPeerBusy {
 public:
  explicit TStdPeerBusy(TPeer* Peer) : FPeer(Peer) { ++FPeer->EventDepth; }
  ~TStdPeerBusy() { --FPeer->EventDepth; }
  TStdPeerBusy(const TStdPeerBusy&) = delete;
  TStdPeerBusy& operator=(const TStdPeerBusy&) = delete;

 private:
  TPeer* FPeer;
};

template <class W>
class TStdPeer : public W, public TPeer {
 public:
  TStdPeer(TControl* Control, QWidget* Parent) : W(Parent), TPeer(Control) {}
  QWidget* Widget() override { return this; }
  QWidget* Client() override { return this; }

  // Runs Fn for a signal of the widget while the control is still there.
  template <typename F>
  void Signal(F&& Fn) {
    TControl* c = FControl;
    if (!c) return;
    TStdPeerBusy busy(this);
    Guarded(c, [&] { Fn(c); });
  }

 protected:
  // What the control hears of E before the widget sees it: nothing to return
  // lets the widget have E, a value is event()'s answer and the widget never
  // sees E. A peer whose widget takes more input on the control's side
  // overrides it.
  virtual std::optional<bool> ToControl(QEvent* E) {
    switch (E->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::FocusIn:
      case QEvent::FocusOut:
      case QEvent::Enter:
      case QEvent::Leave:
        ForwardInput(E);
        break;
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        // Typing belongs to the widget; Enter, Escape and Tab to the form.
        const int key = static_cast<QKeyEvent*>(E)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_Tab ||
            key == Qt::Key_Backtab)
          if (ForwardInput(E)) return true;
        break;
      }
      default:
        break;
    }
    return std::nullopt;
  }

  bool event(QEvent* E) override {
    if (E->type() == QEvent::DeferredDelete) return W::event(E);  // deletes this
    TStdPeerBusy busy(this);
    if (!FControl) return W::event(E);
    if (const std::optional<bool> handled = ToControl(E)) return *handled;
    return W::event(E);
  }
};

// The peer widget of a control as a W, or nullptr.
template <class W>
W* PeerAs(const TControl* Control) {
  return dynamic_cast<W*>(PeerWidget(Control));
}

// The Qt widget's parent for a control being created.
inline QWidget* ParentClientWidget(const TControl* Control) {
  const TWinControl* p = Control->Parent();
  return (p && p->Peer()) ? p->Peer()->Client() : nullptr;
}

}  // namespace kv
