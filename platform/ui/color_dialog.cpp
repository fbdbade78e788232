// The colour chooser over Qt's colour dialog, and its scripted stand-in.
#include "platform/ui/color_dialog.h"

#include <QtGui/QGuiApplication>
#include <QtWidgets/QColorDialog>
#include <cstdio>
#include <cstdlib>
#include <deque>

#include "platform/ui/qt_app.h"

namespace kv {

namespace {
std::deque<TColorDialogScript>& Scripts() {
  static std::deque<TColorDialogScript> q;
  return q;
}
std::string& LastTitle() {
  static std::string t;
  return t;
}
}  // namespace

void AnswerColorDialog(TColorDialogScript Script) { Scripts().push_back(std::move(Script)); }
int32_t PendingColorAnswers() { return static_cast<int32_t>(Scripts().size()); }
std::string LastColorDialogTitle() { return LastTitle(); }

bool TColorDialog::Execute() {
  LastTitle() = FTitle;
  if (!Scripts().empty()) {
    TColorDialogScript script = std::move(Scripts().front());
    Scripts().pop_front();
    TColor c = FColor;
    if (!script(c)) return false;
    FColor = c;
    return true;
  }
  EnsureQtApplication();
  const QString platform = QGuiApplication::platformName();
  if (RunningWithoutDisplay() || platform == "offscreen" || platform == "minimal") {
    // Nobody sees the screen: a run without one cancels, an unscripted test fails at once.
    std::fprintf(stderr, "kavrelin: a colour dialog was shown with no one to answer it\n");
    if (RunningWithoutDisplay()) return false;
    std::abort();
  }
  const TColorRef rgb = ColorToRGB(FColor);
  const QColor chosen = QColorDialog::getColor(QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb)), nullptr,
                                                     QString::fromStdString(FTitle));
  if (!chosen.isValid()) return false;
  FColor = static_cast<TColor>(RGB(static_cast<uint8_t>(chosen.red()), static_cast<uint8_t>(chosen.green()),
                                   static_cast<uint8_t>(chosen.blue())));
  return true;
}

}  // namespace kv
