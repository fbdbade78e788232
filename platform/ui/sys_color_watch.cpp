#include "platform/ui/sys_color_watch.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QMetaObject>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <vector>

#include "platform/ui/forms.h"
#include "platform/ui/peer.h"
#include "platform/ui/system_image_list.h"

namespace kv {

namespace {

class TSysColorFilter : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* Watched, QEvent* E) override {
    const QEvent::Type t = E->type();
    // A control's own palette (PaletteChange) is no news from the desktop.
    // Qt passes both on to the widgets afterwards, some later: the application
    // object and the windows hear the desktop first, and alone.
    if ((t == QEvent::ApplicationPaletteChange && Watched == QCoreApplication::instance()) ||
        (t == QEvent::ThemeChange && Watched->isWindowType()))
      Schedule();
    return QObject::eventFilter(Watched, E);
  }

 private:
  void Schedule() {
    if (FPending) return;
    FPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          FPending = false;
          Guarded(nullptr, [] { BroadcastSysColorChange(); });
        },
        Qt::QueuedConnection);
  }
  bool FPending = false;
};

// Goes with the application object it watches.
QPointer<TSysColorFilter> GFilter;

}  // namespace

void WatchSystemColors() {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app || GFilter) return;
  GFilter = new TSysColorFilter(app);
  app->installEventFilter(GFilter);
}

void StopWatchingSystemColors() { delete GFilter.data(); }

void BroadcastSysColorChange() {
  RefreshSystemImageLists();
  if (!Screen) return;
  // A form's handler may free forms: each one still there is told once.
  std::vector<TCustomForm*> forms;
  for (int32_t i = 0; i < Screen->FormCount(); ++i) forms.push_back(Screen->Forms(i));
  for (TCustomForm* f : forms)
    for (int32_t i = 0; i < Screen->FormCount(); ++i)
      if (Screen->Forms(i) == f) {
        f->Perform(WM_SYSCOLORCHANGE);
        break;
      }
}

}  // namespace kv
