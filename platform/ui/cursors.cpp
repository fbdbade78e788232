// Cursor ids to Qt cursors, and the program's own cursors registered by id.
#include "platform/ui/cursors.h"

#include <QtGui/QCursor>
#include <QtGui/QImage>
#include <QtGui/QPixmap>
#include <QtWidgets/QWidget>
#include <map>

#include "platform/graphics/bitmap.h"
#include "platform/ui/peer.h"

namespace kv {

namespace {

struct TRegistered {
  QImage Image;
  int32_t HotX = 0;
  int32_t HotY = 0;
};

std::map<TCursor, TRegistered>& Registry() {
  static std::map<TCursor, TRegistered> map;
  return map;
}

bool Bit(const uint8_t* Mask, int32_t X, int32_t Y) { return (Mask[Y * 4 + X / 8] >> (7 - X % 8)) & 1; }

}  // namespace

bool RegisterCursor(TCursor Id, const TCursorMasks& Masks, int32_t HotX, int32_t HotY) {
  if (Id <= 0) return false;
  QImage img(32, 32, QImage::Format_ARGB32);
  for (int32_t y = 0; y < 32; ++y)
    for (int32_t x = 0; x < 32; ++x) {
      const bool a = Bit(Masks.AndMask, x, y), o = Bit(Masks.XorMask, x, y);
      QRgb c = qRgba(0, 0, 0, 0);                // AND 1, XOR 0: see-through
      if (!a && o) c = qRgba(255, 255, 255, 255);  // white
      else if (!a || o) c = qRgba(0, 0, 0, 255);   // black, and black for inversion
      img.setPixel(x, y, c);
    }
  Registry()[Id] = TRegistered{img, HotX, HotY};
  return true;
}

bool RegisterCursor(TCursor Id, const TBitmap& Image, int32_t HotX, int32_t HotY) {
  if (Id <= 0 || Image.Empty()) return false;
  QImage img(Image.Width(), Image.Height(), QImage::Format_ARGB32);
  const TColor see = Image.Transparent() ? Image.TransparentColor() : clNone;
  for (int32_t y = 0; y < Image.Height(); ++y)
    for (int32_t x = 0; x < Image.Width(); ++x) {
      const TColor c = Image.GetPixelColor(x, y);
      img.setPixel(x, y, c == see ? qRgba(0, 0, 0, 0) : qRgba(GetRValue(c), GetGValue(c), GetBValue(c), 255));
    }
  Registry()[Id] = TRegistered{img, HotX, HotY};
  return true;
}

void UnregisterCursor(TCursor Id) { Registry().erase(Id); }

bool CursorExists(TCursor Id) { return (Id <= 0 && Id >= crSizeAll && Id != -5) || Registry().count(Id) != 0; }

bool CursorHotSpot(TCursor Id, int32_t& HotX, int32_t& HotY) {
  auto it = Registry().find(Id);
  HotX = HotY = 0;
  if (it == Registry().end()) return CursorExists(Id);
  HotX = it->second.HotX;
  HotY = it->second.HotY;
  return true;
}

QCursor QtCursor(TCursor Id) {
  if (auto it = Registry().find(Id); it != Registry().end())
    return QCursor(QPixmap::fromImage(it->second.Image), it->second.HotX, it->second.HotY);
  switch (Id) {
    case crNone: return QCursor(Qt::BlankCursor);
    case crCross: return QCursor(Qt::CrossCursor);
    case crIBeam: return QCursor(Qt::IBeamCursor);
    case crSizeNESW: return QCursor(Qt::SizeBDiagCursor);
    case crSizeNS: return QCursor(Qt::SizeVerCursor);
    case crSizeNWSE: return QCursor(Qt::SizeFDiagCursor);
    case crSizeWE: return QCursor(Qt::SizeHorCursor);
    case crUpArrow: return QCursor(Qt::UpArrowCursor);
    case crHourGlass:
    case crSQLWait: return QCursor(Qt::WaitCursor);
    case crDrag:
    case crMultiDrag: return QCursor(Qt::DragCopyCursor);
    case crNoDrop:
    case crNo: return QCursor(Qt::ForbiddenCursor);
    case crHSplit: return QCursor(Qt::SplitHCursor);
    case crVSplit: return QCursor(Qt::SplitVCursor);
    case crAppStart: return QCursor(Qt::BusyCursor);
    case crHelp: return QCursor(Qt::WhatsThisCursor);
    case crHandPoint: return QCursor(Qt::PointingHandCursor);
    case crSizeAll: return QCursor(Qt::SizeAllCursor);
    default: return QCursor(Qt::ArrowCursor);
  }
}

void ApplyCursor(QWidget* Widget, TCursor Id) {
  if (!Widget) return;
  if (Id == crDefault) Widget->unsetCursor();
  else Widget->setCursor(QtCursor(Id));
}

}  // namespace kv
