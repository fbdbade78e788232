// TScreen: the screen's size and resolution, the forms, the global cursor and the fonts.
#include <QtGui/QFontDatabase>
#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <QtWidgets/QApplication>
#include <algorithm>
#include <cmath>

#include "platform/ui/forms.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {

namespace {

TScreen GScreen(nullptr);

QScreen* Primary() {
  EnsureQtApplication();
  return QGuiApplication::primaryScreen();
}

}  // namespace

TScreen* Screen = &GScreen;

TScreen::TScreen(TComponent* AOwner) : TComponent(AOwner) {}
TScreen::~TScreen() = default;

int32_t TScreen::Width() const {
  QScreen* s = Primary();
  return s ? s->geometry().width() : 0;
}

int32_t TScreen::Height() const {
  QScreen* s = Primary();
  return s ? s->geometry().height() : 0;
}

TRect TScreen::WorkAreaRect() const {
  QScreen* s = Primary();
  if (!s) return TRect{};
  const QRect r = s->availableGeometry();
  return Bounds(r.x(), r.y(), r.width(), r.height());
}

int32_t TScreen::PixelsPerInch() const {
  if (FPixelsPerInchOverride > 0) return FPixelsPerInchOverride;
  QScreen* s = Primary();
  return s ? static_cast<int32_t>(std::lround(s->logicalDotsPerInch())) : 96;
}

TCustomForm* TScreen::Forms(int32_t Index) const {
  if (Index < 0 || Index >= FormCount()) throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
  return FForms[static_cast<size_t>(Index)];
}

TWinControl* TScreen::ActiveControl() const { return FActiveForm ? FActiveForm->ActiveControl() : nullptr; }

void TScreen::SetCursor(TCursor Value) {
  if (Value == FCursor) return;
  EnsureQtApplication();
  if (FCursor != crDefault) QGuiApplication::restoreOverrideCursor();
  FCursor = Value;
  if (Value != crDefault) QGuiApplication::setOverrideCursor(QtCursor(Value));
}

const TStringList& TScreen::Fonts() {
  if (!FFonts) {
    EnsureQtApplication();
    FFonts = std::make_unique<TStringList>();
    QStringList families = QFontDatabase::families();
    families.sort(Qt::CaseInsensitive);
    for (const QString& f : families) FFonts->Add(f.toStdString());
  }
  return *FFonts;
}

bool TScreen::MenuFont(TFont& Font) const {
  try {
    EnsureQtApplication();
  } catch (const Exception&) {
    return false;  // a process without a GUI
  }
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
  // The platform theme hands its menu font to the menus through this class name.
  const QFont f = QApplication::font("QMenu");
  if (f.family().isEmpty()) return false;
  Font.SetName(f.family().toStdString());
  if (f.pointSizeF() > 0) Font.SetSize(static_cast<int32_t>(std::lround(f.pointSizeF())));
  else if (f.pixelSize() > 0) Font.SetHeight(-f.pixelSize());
  TFontStyles style;
  if (f.bold()) style.Include(fsBold);
  if (f.italic()) style.Include(fsItalic);
  if (f.underline()) style.Include(fsUnderline);
  if (f.strikeOut()) style.Include(fsStrikeOut);
  Font.SetStyle(style);
  return true;
}

void TScreen::AddForm(TCustomForm* Form) { FForms.push_back(Form); }

void TScreen::RemoveForm(TCustomForm* Form) {
  FForms.erase(std::remove(FForms.begin(), FForms.end(), Form), FForms.end());
  if (FActiveForm == Form) FActiveForm = nullptr;
}

void TScreen::SetActiveForm(TCustomForm* Form) {
  if (FActiveForm == Form) return;
  TCustomForm* old = FActiveForm;
  FActiveForm = Form;
  if (old) old->Deactivate();
  if (OnActiveFormChange) OnActiveFormChange(this);
}

}  // namespace kv
