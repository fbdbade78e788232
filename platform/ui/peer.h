// Private to the platform layer (and its tests): the Qt widgets behind the
// controls. Only .cpp files include this header.
#pragma once
#include <QtGui/QCursor>
#include <QtWidgets/QAbstractScrollArea>
#include <QtWidgets/QWidget>

#include "platform/ui/controls.h"

class QScrollBar;

namespace kv {

// What every peer widget has: its control, the widget that holds the client
// area, and the translation of Qt events into the control's messages.
// A peer never outlives its control's interest in it: the control deletes
// it, and a peer deleted any other way clears the control's pointer.
class TPeer {
 public:
  explicit TPeer(TControl* Control) : FControl(Control) {}
  virtual ~TPeer();
  TPeer(const TPeer&) = delete;
  TPeer& operator=(const TPeer&) = delete;

  TControl* Control() const { return FControl; }
  // The outer widget (the control's bounds) and the client widget (the client area).
  virtual QWidget* Widget() = 0;
  virtual QWidget* Client() = 0;
  virtual QAbstractScrollArea* ScrollArea() { return nullptr; }

  // Applies the creation parameters: frame and scroll bars.
  virtual void ApplyParams(const TCreateParams& /*Params*/, int32_t /*BorderWidth*/) {}
  // Copies the back buffer (when the control paints itself) to the client widget.
  void PaintClient(const QRect& Rect);
  // Mouse, wheel, key, focus and enter/leave events of the client (or outer)
  // widget as messages; returns true when the event was taken.
  bool ForwardInput(QEvent* Event);

  // Wheel remainders below one notch, per axis.
  int32_t WheelRemainder[2] = {0, 0};
  // Depth of Qt events being handled by this peer now: a peer in use is
  // deleted only once its event is over.
  int32_t EventDepth = 0;
  // Deletes the peer now, or after its current event when one is running.
  static void Dispose(TPeer* Peer);

 protected:
  friend class TControl;
  TControl* FControl;
};

// Plain widget peer: graphic controls and windowed controls that do not paint themselves.
class TWidgetPeer : public QWidget, public TPeer {
 public:
  TWidgetPeer(TControl* Control, QWidget* Parent);
  ~TWidgetPeer() override;
  QWidget* Widget() override { return this; }
  QWidget* Client() override { return this; }

 protected:
  bool event(QEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
};

// Peer of the controls that paint themselves (and of forms): a scroll area
// whose viewport is the client area and whose bars are the window's own
// scroll bars (scrolling.h).
class TScrollPeer : public QAbstractScrollArea, public TPeer {
 public:
  TScrollPeer(TControl* Control, QWidget* Parent);
  ~TScrollPeer() override;
  QWidget* Widget() override { return this; }
  QWidget* Client() override { return viewport(); }
  QAbstractScrollArea* ScrollArea() override { return this; }
  void ApplyParams(const TCreateParams& Params, int32_t BorderWidth) override;

  // Scroll-bar state kept as the window system keeps it.
  struct TBarState {
    int32_t Min = 0;
    int32_t Max = 0;
    uint32_t Page = 0;
    int32_t Pos = 0;
    bool Shown = false;
    bool Enabled = true;
    int32_t TrackPos = 0;
    bool EndPending = false;
  };
  TBarState Bars[2];
  QScrollBar* Bar(int32_t Which);
  // Pushes a bar's state to its QScrollBar without raising scroll messages.
  void SyncBar(int32_t Which);
  // Extent of a shown scroll bar.
  int32_t BarExtent(int32_t Which);
  // Room above the client area for a form's menu bar (the window system's
  // non-client menu); the client rect shrinks by it.
  int32_t TopMargin = 0;
  void SetTopMargin(int32_t Value);

 protected:
  bool event(QEvent* Event) override;
  bool viewportEvent(QEvent* Event) override;
  bool eventFilter(QObject* Watched, QEvent* Event) override;
  void scrollContentsBy(int, int) override {}

 private:
  void BarAction(int32_t Which, int Action);
  void SendScroll(int32_t Which, uint16_t Code, int32_t Pos);
  bool FSyncing = false;
};

// The Qt cursor for a cursor id (standard or registered); crDefault gives the arrow.
QCursor QtCursor(TCursor Id);
// Applies a control's cursor to its client widget (crDefault: the parent's).
void ApplyCursor(QWidget* Widget, TCursor Id);
// The window-system virtual-key code of a Qt key event (0 when it has none).
uint16_t VirtualKeyOf(int QtKey, Qt::KeyboardModifiers Modifiers);
// A menu shortcut as Qt's key combination (key | modifiers); 0 when Qt has no key for it.
int QtKeyOfShortCut(uint16_t ShortCut);
// Records the modifiers and buttons of an input event for GetKeyState.
void NoteInputState(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons);
// Calls Fn and hands any exception to Application->HandleException.
template <typename F>
void Guarded(TObject* Sender, F&& Fn);
void HandleGuardedException(TObject* Sender);
template <typename F>
void Guarded(TObject* Sender, F&& Fn) {
  try {
    Fn();
  } catch (...) {
    HandleGuardedException(Sender);
  }
}

// For tests and the layer: the widgets of a control (nullptr without peer).
QWidget* PeerWidget(const TControl* Control);
QWidget* ClientWidget(const TControl* Control);

}  // namespace kv
