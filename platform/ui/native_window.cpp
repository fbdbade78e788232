#include "platform/ui/native_window.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtWidgets/QWidget>

#include "platform/ui/forms.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {

namespace {

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

QWidget* TopWidget(TWinControl& Control) {
  Control.HandleNeeded();
  TPeer* peer = Control.Peer();
  return peer ? peer->Widget()->window() : nullptr;
}

}  // namespace

uintptr_t NativeWindowId(TWinControl& Control) {
  EnsureQtApplication();
  if (!OnX11()) return 0;
  QWidget* w = TopWidget(Control);
  return w ? uintptr_t(w->winId()) : 0;
}

bool EmbedIntoNativeWindow(TCustomForm& Form, uintptr_t Parent) {
  EnsureQtApplication();
  if (Parent == 0 || !OnX11()) return false;
  QWidget* w = TopWidget(Form);
  if (!w) return false;
  // Owned by the form's window from here on, so it goes with it.
  QWindow* foreign = QWindow::fromWinId(WId(Parent));
  if (!foreign) return false;
  w->winId();
  QWindow* own = w->windowHandle();
  if (!own) return false;
  own->setParent(foreign);
  foreign->setParent(nullptr);
  QObject::connect(own, &QObject::destroyed, foreign, &QObject::deleteLater);
  Form.SetBounds(0, 0, foreign->width(), foreign->height());
  own->setGeometry(0, 0, foreign->width(), foreign->height());
  return true;
}

void ShowFullScreen(TCustomForm& Form) {
  EnsureQtApplication();
  Form.SetBorderStyle(bsNone);
  Form.SetWindowState(wsMaximized);
  if (QWidget* w = TopWidget(Form)) {
    Form.SetBounds(0, 0, w->screen() ? w->screen()->geometry().width() : Form.Width(),
                   w->screen() ? w->screen()->geometry().height() : Form.Height());
    w->setWindowState(w->windowState() | Qt::WindowFullScreen);
  }
}

}  // namespace kv
