#include "platform/ui/font_dialog.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QColorDialog>
#include <QtWidgets/QFontDialog>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "platform/graphics/color.h"
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
  QFont start(QString::fromStdString(FFont.Name()));
  start.setPointSize(std::max(1, FFont.Size()));
  start.setBold(FFont.Style().Contains(fsBold));
  start.setItalic(FFont.Style().Contains(fsItalic));
  start.setUnderline(FFont.Style().Contains(fsUnderline));
  start.setStrikeOut(FFont.Style().Contains(fsStrikeOut));
  bool ok = false;
  const QFont chosen = QFontDialog::getFont(&ok, start);
  if (!ok) return false;
  // The window system's font dialog chooses the colour too.
  const TColorRef rgb = ColorToRGB(FFont.Color());
  const QColor colour = QColorDialog::getColor(QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)));
  FFont.SetName(chosen.family().toStdString());
  FFont.SetSize(chosen.pointSize() > 0 ? chosen.pointSize() : FFont.Size());
  TFontStyles st;
  if (chosen.bold()) st.Include(fsBold);
  if (chosen.italic()) st.Include(fsItalic);
  if (chosen.underline()) st.Include(fsUnderline);
  if (chosen.strikeOut()) st.Include(fsStrikeOut);
  FFont.SetStyle(st);
  if (colour.isValid())
    FFont.SetColor(static_cast<TColor>(
        RGB(static_cast<uint8_t>(colour.red()), static_cast<uint8_t>(colour.green()), static_cast<uint8_t>(colour.blue()))));
  return true;
}

}  // namespace kv
