// Font families from Qt's font database (fontconfig underneath).
#include "platform/graphics/font_families.h"

#include <QtCore/QList>
#include <QtCore/QStringList>
#include <QtGui/QFontDatabase>
#include <algorithm>

#include "platform/graphics/gui_host.h"

namespace kv {

std::vector<TFontFamilyInfo> ScreenFontFamilies() {
  EnsureGuiApplication();
  std::vector<TFontFamilyInfo> out;
  for (const QString& f : QFontDatabase::families()) {
    if (QFontDatabase::isPrivateFamily(f)) continue;
    TFontFamilyInfo i;
    // A family that several foundries make comes as "Name [Foundry]": one entry by its name.
    QString name = f;
    if (const qsizetype b = name.indexOf(QLatin1String(" [")); b > 0 && name.endsWith(QLatin1Char(']'))) name.truncate(b);
    i.Name = name.toStdString();
    i.Outline = QFontDatabase::isScalable(f) && !QFontDatabase::isBitmapScalable(f);
    i.Raster = !i.Outline;
    i.FixedPitch = QFontDatabase::isFixedPitch(f);
    const QList<QFontDatabase::WritingSystem> ws = QFontDatabase::writingSystems(f);
    i.Latin = ws.contains(QFontDatabase::Latin);
    i.Symbol = ws.contains(QFontDatabase::Symbol) || (!ws.isEmpty() && ws.size() == 1 && ws[0] == QFontDatabase::Any);
    out.push_back(std::move(i));
  }
  std::sort(out.begin(), out.end(), [](const TFontFamilyInfo& A, const TFontFamilyInfo& B) { return A.Name < B.Name; });
  out.erase(std::unique(out.begin(), out.end(),
                        [](const TFontFamilyInfo& A, const TFontFamilyInfo& B) { return A.Name == B.Name; }),
            out.end());
  return out;
}

}  // namespace kv
