#include "platform/ui/message_beep.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QApplication>
#include <atomic>

namespace kv {

namespace {
std::atomic<int32_t> gBeeps{0};
}

void MessageBeep(uint32_t /*Type*/) {
  ++gBeeps;
  // No sound without a display; the count is what tests look at.
  if (QGuiApplication::platformName() != QLatin1String("offscreen") && qobject_cast<QApplication*>(qApp))
    QApplication::beep();
}

int32_t BeepCount() { return gBeeps.load(); }

}  // namespace kv
