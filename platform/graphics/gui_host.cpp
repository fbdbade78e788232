#include "platform/graphics/gui_host.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QGuiApplication>
#include <atomic>

namespace kv {

namespace {
std::atomic<TGuiApplicationMaker> GMaker{nullptr};
}  // namespace

void SetGuiApplicationMaker(TGuiApplicationMaker Maker) { GMaker.store(Maker); }

bool EnsureGuiApplication() {
  if (TGuiApplicationMaker maker = GMaker.load()) return maker();
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace kv
