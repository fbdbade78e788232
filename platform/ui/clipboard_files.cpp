#include "platform/ui/clipboard_files.h"

#include <QtCore/QMimeData>
#include <QtCore/QUrl>
#include <QtGui/QClipboard>
#include <QtGui/QGuiApplication>

#include "platform/ui/qt_app.h"

namespace kv {

namespace {

const QString kGnomeFiles = QStringLiteral("x-special/gnome-copied-files");

QClipboard* System() {
  EnsureQtApplication();
  return QGuiApplication::clipboard();
}

}  // namespace

void SetClipboardFiles(const std::vector<std::string>& Files, bool Cut) {
  QList<QUrl> urls;
  QByteArray gnome = Cut ? "cut" : "copy";
  for (const std::string& f : Files) {
    const QUrl u = QUrl::fromLocalFile(QString::fromStdString(f));
    urls.push_back(u);
    gnome += '\n';
    gnome += u.toEncoded();
  }
  auto* data = new QMimeData;
  data->setUrls(urls);
  data->setData(kGnomeFiles, gnome);
  System()->setMimeData(data);
}

bool GetClipboardFiles(std::vector<std::string>& Files, bool& Cut) {
  Files.clear();
  Cut = false;
  const QMimeData* d = System()->mimeData();
  if (!d) return false;
  QList<QUrl> urls;
  if (d->hasFormat(kGnomeFiles)) {
    const QList<QByteArray> lines = d->data(kGnomeFiles).split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
      const QByteArray line = lines[i].trimmed();
      if (i == 0) {
        Cut = line == "cut";
        continue;
      }
      if (!line.isEmpty()) urls.push_back(QUrl::fromEncoded(line));
    }
  } else if (d->hasUrls()) {
    urls = d->urls();
  }
  for (const QUrl& u : urls)
    if (u.isLocalFile()) Files.push_back(u.toLocalFile().toStdString());
  return !Files.empty();
}

}  // namespace kv
