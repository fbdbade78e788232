#include "platform/ui/screen_saver_preview.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QPainter>
#include <QtGui/QRasterWindow>
#include <QtGui/QWindow>

#include <memory>

#include "platform/ui/qt_app.h"

namespace kv {

namespace {

class TPreviewWindow : public QRasterWindow {
 public:
  TPreviewWindow(QWindow* Parent, QString Text) : QRasterWindow(Parent), FText(std::move(Text)) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(QColor(255, 0, 0));
    p.drawText(0, height() / 2, FText);
  }

 private:
  QString FText;
};

}  // namespace

bool RunScreenSaverPreview(uintptr_t Parent, const std::string& Text) {
  EnsureQtApplication();
  if (Parent == 0 || QGuiApplication::platformName() != QLatin1String("xcb")) return false;
  std::unique_ptr<QWindow> parent(QWindow::fromWinId(WId(Parent)));
  if (!parent) return false;
  TPreviewWindow child(parent.get(), QString::fromStdString(Text));
  child.setGeometry(0, 0, parent->width(), parent->height());
  child.show();
  // The settings dialog ends the preview by destroying its window, which
  // takes ours with it; the last window gone ends the loop.
  QObject::connect(&child, &QWindow::visibleChanged, [](bool Visible) {
    if (!Visible) QGuiApplication::quit();
  });
  QGuiApplication::exec();
  return true;
}

}  // namespace kv
