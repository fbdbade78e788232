#include "platform/ui/tray_icon.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QApplication>
#include <QtWidgets/QSystemTrayIcon>

#include "platform/ui/messages.h"
#include "platform/ui/qt_app.h"

namespace kv {

struct TTrayIcon::TImpl {
  std::unique_ptr<QSystemTrayIcon> Icon;
};

TTrayIcon::TTrayIcon(TComponent* AOwner) : TComponent(AOwner), FImpl(std::make_unique<TImpl>()) {}

TTrayIcon::~TTrayIcon() { Remove(); }

bool TTrayIcon::Available() {
  EnsureQtApplication();
  return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TTrayIcon::Add(const std::string& Tip) {
  FTip = Tip;
  if (!Available()) return false;
  if (!FImpl->Icon) {
    FImpl->Icon = std::make_unique<QSystemTrayIcon>(QApplication::windowIcon());
    QObject::connect(FImpl->Icon.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason R) {
      switch (R) {
        case QSystemTrayIcon::Trigger: Clicked(WM_LBUTTONUP); break;
        case QSystemTrayIcon::DoubleClick: Clicked(WM_LBUTTONDBLCLK); break;
        case QSystemTrayIcon::Context: Clicked(WM_RBUTTONUP); break;
        default: break;
      }
    });
  }
  FImpl->Icon->setToolTip(QString::fromStdString(Tip));
  FImpl->Icon->show();
  return true;
}

void TTrayIcon::Remove() {
  if (FImpl && FImpl->Icon) {
    FImpl->Icon->hide();
    FImpl->Icon.reset();
  }
}

bool TTrayIcon::Visible() const { return FImpl->Icon && FImpl->Icon->isVisible(); }

}  // namespace kv
