// The outside-click watch as an application-wide event filter.
#include "platform/ui/popup_watch.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QObject>
#include <QtCore/QPointer>
#include <QtWidgets/QWidget>

#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {

class TOutsideClickFilter : public QObject {
 public:
  TOutsideClickFilter(TOutsideClickWatch* Owner, std::vector<TControl*> Inside, std::function<void()> OnOutside)
      : FOwner(Owner), FOnOutside(std::move(OnOutside)) {
    for (TControl* c : Inside)
      if (QWidget* w = PeerWidget(c)) FInside.push_back(w);
  }

 protected:
  bool eventFilter(QObject* Watched, QEvent* E) override {
    const QEvent::Type t = E->type();
    if (t == QEvent::ApplicationDeactivate) {
      Fire();
      return false;
    }
    if (t != QEvent::MouseButtonPress && t != QEvent::MouseButtonDblClick && t != QEvent::NonClientAreaMouseButtonPress)
      return false;
    auto* w = qobject_cast<QWidget*>(Watched);
    if (!w) return false;
    for (const QPointer<QWidget>& in : FInside)
      if (in && (in == w || in->isAncestorOf(w))) return false;
    Fire();
    return false;
  }

 private:
  void Fire() {
    // The handler may stop the watch, which deletes this filter: keep what is needed on the stack.
    std::function<void()> handler = std::move(FOnOutside);
    TOutsideClickWatch* owner = FOwner;
    owner->Stop();
    if (handler) Guarded(nullptr, handler);
  }
  TOutsideClickWatch* FOwner;
  std::function<void()> FOnOutside;
  std::vector<QPointer<QWidget>> FInside;
};

TOutsideClickWatch::TOutsideClickWatch() = default;

TOutsideClickWatch::~TOutsideClickWatch() { Stop(); }

void TOutsideClickWatch::Start(std::vector<TControl*> Inside, std::function<void()> OnOutside) {
  Stop();
  EnsureQtApplication();
  FFilter = std::make_unique<TOutsideClickFilter>(this, std::move(Inside), std::move(OnOutside));
  QCoreApplication::instance()->installEventFilter(FFilter.get());
}

void TOutsideClickWatch::Stop() {
  if (!FFilter) return;
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(FFilter.get());
  // An event filter may be stopped from inside its own call: delete it once Qt is done with it.
  FFilter.release()->deleteLater();
}

}  // namespace kv
