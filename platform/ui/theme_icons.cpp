#include "platform/ui/theme_icons.h"

#include <QtCore/QStringList>
#include <QtGui/QIcon>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include "platform/ui/qt_app.h"

namespace kv {

namespace {

// Outside a desktop session Qt knows no theme: the one most desktops ship
// (and the program's installer adds) stands in for it.
void ChooseTheme() {
  static bool chosen = false;
  if (chosen) return;
  chosen = true;
  // Window platforms without a desktop theme (offscreen) search nowhere.
  QStringList paths = QIcon::themeSearchPaths();
  const QByteArray dirs = qgetenv("XDG_DATA_DIRS");
  const QString dataDirs = dirs.isEmpty() ? QStringLiteral("/usr/local/share:/usr/share") : QString::fromLocal8Bit(dirs);
  for (const QString& d : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
    if (!paths.contains(d + QStringLiteral("/icons"))) paths.append(d + QStringLiteral("/icons"));
  QIcon::setThemeSearchPaths(paths);
  const QLatin1String fallback("Adwaita");
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) QIcon::setThemeName(fallback);
  if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
    QIcon::setFallbackThemeName(fallback);
}

}  // namespace

bool ThemeIconGlyph(const std::string& Name, int32_t Size, TColor Background, TBitmap& Glyph) {
  if (Size <= 0) return false;
  EnsureQtApplication();
  ChooseTheme();
  const QIcon icon = QIcon::fromTheme(QString::fromStdString(Name));
  if (icon.isNull()) return false;
  const TColorRef back = ColorToRGB(Background);
  const QColor backColor(int(back & 0xFF), int((back >> 8) & 0xFF), int((back >> 16) & 0xFF));
  QImage image(Size, Size, QImage::Format_RGB32);
  image.fill(backColor);
  {
    QPainter p(&image);
    icon.paint(&p, QRect(0, 0, Size, Size));
  }
  // The corner the glyph takes its transparent colour from stays the background.
  image.setPixel(0, Size - 1, backColor.rgb());
  Glyph.SetPixelFormat(pf24bit);
  Glyph.SetSize(Size, Size);
  for (int32_t y = 0; y < Size; ++y) {
    auto* row = static_cast<uint8_t*>(Glyph.ScanLine(y));
    const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int32_t x = 0; x < Size; ++x) {
      row[3 * x] = uint8_t(qBlue(src[x]));
      row[3 * x + 1] = uint8_t(qGreen(src[x]));
      row[3 * x + 2] = uint8_t(qRed(src[x]));
    }
  }
  return true;
}

bool ThemeIconImage(const std::string& Name, int32_t Size, TColor Background, TBitmap& Image, TBitmap& Mask) {
  if (Size <= 0) return false;
  EnsureQtApplication();
  ChooseTheme();
  const QIcon icon = QIcon::fromTheme(QString::fromStdString(Name));
  if (icon.isNull()) return false;
  QImage image(Size, Size, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  {
    QPainter p(&image);
    icon.paint(&p, QRect(0, 0, Size, Size));
  }
  const TColorRef back = ColorToRGB(Background);
  const int br = int(back & 0xFF), bg = int((back >> 8) & 0xFF), bb = int((back >> 16) & 0xFF);
  Image.SetPixelFormat(pf24bit);
  Image.SetSize(Size, Size);
  Mask.SetPixelFormat(pf24bit);
  Mask.SetSize(Size, Size);
  for (int32_t y = 0; y < Size; ++y) {
    auto* row = static_cast<uint8_t*>(Image.ScanLine(y));
    auto* mrow = static_cast<uint8_t*>(Mask.ScanLine(y));
    const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int32_t x = 0; x < Size; ++x) {
      const int a = qAlpha(src[x]);
      // Edges blend into the background the list is drawn on most.
      row[3 * x] = uint8_t((qBlue(src[x]) * a + bb * (255 - a)) / 255);
      row[3 * x + 1] = uint8_t((qGreen(src[x]) * a + bg * (255 - a)) / 255);
      row[3 * x + 2] = uint8_t((qRed(src[x]) * a + br * (255 - a)) / 255);
      const uint8_t m = a < 96 ? 255 : 0;
      mrow[3 * x] = mrow[3 * x + 1] = mrow[3 * x + 2] = m;
    }
  }
  return true;
}

}  // namespace kv
