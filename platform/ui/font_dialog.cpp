// The font chooser over Qt's font dialog, and its scripted stand-in.
#include "platform/ui/font_dialog.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QFontDialog>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "platform/ui/qt_app.h"

namespace kv {

namespace {
std::deque<TFontDialogScript>& Scripts() {
  static std::deque<TFontDialogScript> q;
  return q;
}
}  // namespace

void AnswerFontDialog(TFontDialogScript Script) { Scripts().push_back(std::move(Script)); }

bool TFontDialog::Execute() {
  if (!Scripts().empty()) {
    TFontDialogScript script = std::move(Scripts().front());
    Scripts().pop_front();
    TFont f;
    f.Assign(FFont);
    if (!script(f)) return false;
    FFont.Assign(f);
    return true;
  }
  EnsureQtApplication();
  const QString platform = QGuiApplication::platformName();
  if (RunningWithoutDisplay() || platform == "offscreen" || platform == "minimal") {
    std::fprintf(stderr, "kavrelin: a font dialog was shown with no one to answer it\n");
    if (RunningWithoutDisplay()) return false;
    std::abort();
  }
  QFont initial(QString::fromStdString(FFont.Name()));
  initial.setPixelSize(std::max(1, FFont.Height() < 0 ? -FFont.Height() : FFont.Height()));
  initial.setBold(FFont.Style().Contains(fsBold));
  initial.setItalic(FFont.Style().Contains(fsItalic));
  initial.setUnderline(FFont.Style().Contains(fsUnderline));
  initial.setStrikeOut(FFont.Style().Contains(fsStrikeOut));
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, initial);
  if (!ok) return false;
  FFont.SetName(chosen.family().toStdString());
  if (chosen.pixelSize() > 0) FFont.SetHeight(-chosen.pixelSize());
  else if (chosen.pointSize() > 0) FFont.SetSize(chosen.pointSize());
  TFontStyles style;
  if (chosen.bold()) style.Include(fsBold);
  if (chosen.italic()) style.Include(fsItalic);
  if (chosen.underline()) style.Include(fsUnderline);
  if (chosen.strikeOut()) style.Include(fsStrikeOut);
  FFont.SetStyle(style);
  return true;
}

}  // namespace kv
