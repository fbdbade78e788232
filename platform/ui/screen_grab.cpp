// Screen pixels through the window system's screens.
#include "platform/ui/screen_grab.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtGui/QPixmap>
#include <QtGui/QScreen>
#include <QtWidgets/QWidget>
#include <cstring>

#include "platform/graphics/bitmap.h"
#include "platform/ui/controls.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {

namespace {

// Below the first handle a control can get.
constexpr HWND kDesktopHandle = 0x10;

QWidget* WidgetOf(HWND Wnd) { return PeerWidget(FindControl(Wnd)); }

QRect ScreenRect(HWND Wnd) {
  EnsureQtApplication();
  if (Wnd == kDesktopHandle) {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->virtualGeometry() : QRect();
  }
  QWidget* w = WidgetOf(Wnd);
  if (!w) return QRect();
  // A top-level window with its frame; a window inside another (an image
  // window in the main window's client area) as far as it reaches.
  return w->isWindow() ? w->frameGeometry() : QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
}

}  // namespace

HWND GetDesktopWindow() { return kDesktopHandle; }

TRect GetWindowRect(HWND Wnd) {
  const QRect r = ScreenRect(Wnd);
  return r.isEmpty() ? TRect{} : Bounds(r.x(), r.y(), r.width(), r.height());
}

bool IsWindowVisible(HWND Wnd) {
  if (Wnd == kDesktopHandle) return true;
  QWidget* w = WidgetOf(Wnd);
  return w && w->isVisible() && !w->window()->isMinimized();
}

bool BringWindowToTop(HWND Wnd) {
  QWidget* w = WidgetOf(Wnd);
  if (!w) return false;
  for (QWidget* up = w; up; up = up->parentWidget()) up->raise();
  w->window()->activateWindow();
  return true;
}

bool GrabWindow(HWND Wnd, TBitmap& Into) {
  const QRect r = ScreenRect(Wnd);
  if (r.isEmpty()) return false;
  // Every screen the rectangle touches adds its part, so a window across two
  // monitors comes out whole.
  QImage shot(r.size(), QImage::Format_BGR888);
  shot.fill(Qt::black);
  bool any = false;
  {
    QPainter painter(&shot);
    for (QScreen* s : QGuiApplication::screens()) {
      const QRect part = s->geometry().intersected(r);
      if (part.isEmpty()) continue;
      const QPixmap pix = s->grabWindow(0, part.x() - s->geometry().x(), part.y() - s->geometry().y(),
                                        part.width(), part.height());
      if (pix.isNull()) continue;
      painter.drawPixmap(part.topLeft() - r.topLeft(), pix);
      any = true;
    }
  }
  if (!any) return false;
  Into.AllocateForOverwrite(r.width(), r.height(), pf24bit);
  for (int32_t y = 0; y < r.height(); ++y)
    std::memcpy(Into.ScanLine(y), shot.constScanLine(y), size_t(r.width()) * 3);
  return true;
}

}  // namespace kv
