// Drops arrive as Qt drag-and-drop events of URLs; only local files count.
#include "platform/ui/drop_files.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMimeData>
#include <QtCore/QUrl>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QDropEvent>

#include "platform/ui/controls.h"
#include "platform/ui/peer.h"

namespace kv {
namespace {

constexpr const char* kFilterName = "kvDropFiles";

QStringList LocalFiles(const QMimeData* Data) {
  QStringList out;
  if (!Data || !Data->hasUrls()) return out;
  for (const QUrl& u : Data->urls())
    if (u.isLocalFile()) out << u.toLocalFile();
  return out;
}

class TDropFilter : public QObject {
 public:
  TDropFilter(QObject* Parent, TWinControl* Control) : QObject(Parent), FControl(Control) {
    setObjectName(kFilterName);
  }
  TDropFilesEvent Handler;

 protected:
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    switch (Event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(Event);
        if (LocalFiles(e->mimeData()).isEmpty()) return false;
        e->acceptProposedAction();
        return true;
      }
      case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(Event);
        const QStringList files = LocalFiles(e->mimeData());
        if (files.isEmpty()) return false;
        e->acceptProposedAction();
        TStringList list;
        for (const QString& f : files) list.Add(f.toStdString());
        // The handler may free the control: copy it first.
        TDropFilesEvent handler = Handler;
        Guarded(FControl, [&] { handler(FControl, list); });
        return true;
      }
      default:
        return QObject::eventFilter(Watched, Event);
    }
  }

 private:
  TWinControl* FControl;
};

TDropFilter* FilterOf(QWidget* W) { return W->findChild<TDropFilter*>(kFilterName, Qt::FindDirectChildrenOnly); }

}  // namespace

void AcceptDropFiles(TWinControl* Control, TDropFilesEvent Handler) {
  if (!Control) return;
  Control->HandleNeeded();
  QWidget* w = Control->Peer()->Widget();
  TDropFilter* f = FilterOf(w);
  if (!Handler) {
    if (f) {
      w->removeEventFilter(f);
      delete f;
    }
    w->setAcceptDrops(false);
    return;
  }
  if (!f) {
    f = new TDropFilter(w, Control);
    w->installEventFilter(f);
  }
  f->Handler = std::move(Handler);
  w->setAcceptDrops(true);
}

bool DropFilesOn(TWinControl* Control, const std::vector<std::string>& Files) {
  if (!Control || !Control->HandleAllocated()) return false;
  QWidget* w = Control->Peer()->Widget();
  QMimeData data;
  QList<QUrl> urls;
  for (const std::string& f : Files) urls << QUrl::fromLocalFile(QString::fromStdString(f));
  data.setUrls(urls);
  const QPoint at(w->width() / 2, w->height() / 2);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(w, &drop);
  return drop.isAccepted();
}

}  // namespace kv
