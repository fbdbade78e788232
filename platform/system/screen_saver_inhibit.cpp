#include "platform/system/screen_saver_inhibit.h"

#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

#include "platform/system/process.h"

namespace kv {

namespace {

constexpr const char* kService = "org.freedesktop.ScreenSaver";
// A desktop that hangs must not hold the show for long.
constexpr int kCallTimeoutMs = 3000;

QDBusMessage Call(const QString& Path, const QString& Method, const QList<QVariant>& Args) {
  QDBusMessage m = QDBusMessage::createMethodCall(kService, Path, kService, Method);
  m.setArguments(Args);
  return QDBusConnection::sessionBus().call(m, QDBus::Block, kCallTimeoutMs);
}

}  // namespace

bool TScreenSaverInhibit::Inhibit(const std::string& Application, const std::string& Reason, uintptr_t Window) {
  if (Held()) return true;
  if (QDBusConnection::sessionBus().isConnected()) {
    // Older desktops serve the interface at "/ScreenSaver" only.
    for (const char* path : {"/org/freedesktop/ScreenSaver", "/ScreenSaver"}) {
      const QDBusMessage reply =
          Call(path, "Inhibit", {QString::fromStdString(Application), QString::fromStdString(Reason)});
      if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
        FCookie = reply.arguments().first().toUInt();
        if (FCookie != 0) {
          FPath = path;
          return true;
        }
      }
    }
  }
  if (Window != 0 && RunProcess({"xdg-screensaver", "suspend", std::to_string(Window)}).Succeeded()) {
    FWindow = Window;
    return true;
  }
  return false;
}

void TScreenSaverInhibit::Release() {
  if (FCookie != 0) {
    Call(QString::fromStdString(FPath), "UnInhibit", {QVariant::fromValue(FCookie)});
    FCookie = 0;
  }
  if (FWindow != 0) {
    RunProcess({"xdg-screensaver", "resume", std::to_string(FWindow)});
    FWindow = 0;
  }
}

std::string TScreenSaverInhibit::Way() const {
  if (FCookie != 0) return "dbus";
  if (FWindow != 0) return "xdg-screensaver";
  return "";
}

}  // namespace kv
