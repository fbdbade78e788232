// Synthetic desktop input through the peers, and grabbing what a control shows.
#include "platform/ui/input_synth.h"

#include <QtCore/QCoreApplication>
#include <QtGui/QFocusEvent>
#include <QtGui/QImage>
#include <QtGui/QKeyEvent>
#include <QtGui/QMouseEvent>
#include <QtGui/QPainter>
#include <QtGui/QPalette>
#include <QtGui/QPixmap>
#include <QtWidgets/QApplication>
#include <QtWidgets/QWidget>
#include <cstring>

#include "platform/ui/controls.h"
#include "platform/ui/peer.h"

namespace kv {
namespace {

Qt::MouseButton QtButton(TMouseButton B) {
  switch (B) {
    case mbRight: return Qt::RightButton;
    case mbMiddle: return Qt::MiddleButton;
    default: return Qt::LeftButton;
  }
}

Qt::KeyboardModifiers QtModifiers(TShiftState S) {
  Qt::KeyboardModifiers m;
  if (S.Contains(ssShift)) m |= Qt::ShiftModifier;
  if (S.Contains(ssCtrl)) m |= Qt::ControlModifier;
  if (S.Contains(ssAlt)) m |= Qt::AltModifier;
  return m;
}

struct TQtKey {
  int Key = Qt::Key_unknown;
  QString Text;
};

TQtKey KeyOfVirtual(uint16_t Vk, TShiftState Shift) {
  const bool plain = !Shift.Contains(ssCtrl) && !Shift.Contains(ssAlt);
  if (Vk >= 'A' && Vk <= 'Z') {
    const QChar ch(Shift.Contains(ssShift) ? Vk : Vk - 'A' + 'a');
    return {Qt::Key_A + (Vk - 'A'), plain ? QString(ch) : QString()};
  }
  if (Vk >= '0' && Vk <= '9') return {Qt::Key_0 + (Vk - '0'), plain ? QString(QChar(Vk)) : QString()};
  if (Vk >= VK_F1 && Vk <= VK_F24) return {Qt::Key_F1 + (Vk - VK_F1), {}};
  switch (Vk) {
    case VK_BACK: return {Qt::Key_Backspace, QStringLiteral("\b")};
    case VK_TAB: return {Shift.Contains(ssShift) ? Qt::Key_Backtab : Qt::Key_Tab, QStringLiteral("\t")};
    case VK_RETURN: return {Qt::Key_Return, QStringLiteral("\r")};
    case VK_ESCAPE: return {Qt::Key_Escape, QStringLiteral("\x1b")};
    case VK_SPACE: return {Qt::Key_Space, QStringLiteral(" ")};
    case VK_PRIOR: return {Qt::Key_PageUp, {}};
    case VK_NEXT: return {Qt::Key_PageDown, {}};
    case VK_END: return {Qt::Key_End, {}};
    case VK_HOME: return {Qt::Key_Home, {}};
    case VK_LEFT: return {Qt::Key_Left, {}};
    case VK_UP: return {Qt::Key_Up, {}};
    case VK_RIGHT: return {Qt::Key_Right, {}};
    case VK_DOWN: return {Qt::Key_Down, {}};
    case VK_INSERT: return {Qt::Key_Insert, {}};
    case VK_DELETE: return {Qt::Key_Delete, QStringLiteral("\x7f")};
    default: return {};
  }
}

void SendKeyEvents(QWidget* W, int Key, Qt::KeyboardModifiers Mods, const QString& Text) {
  QKeyEvent press(QEvent::KeyPress, Key, Mods, Text);
  QCoreApplication::sendEvent(W, &press);
  QKeyEvent release(QEvent::KeyRelease, Key, Mods, Text);
  QCoreApplication::sendEvent(W, &release);
}

// What a control shows, in an opaque picture: the layer's pictures carry no
// alpha, so they are drawn onto RGB32. A widget's picture can leave out what
// its child controls paint inside nested peers; each child control is drawn
// on its own over it.
QImage GrabWithChildren(TControl* Control) {
  QWidget* w = PeerWidget(Control);
  QImage shot(w->size(), QImage::Format_RGB32);
  shot.fill(Qt::white);
  w->render(&shot, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
  auto* wc = dynamic_cast<TWinControl*>(Control);
  if (!wc) return shot;
  QPainter p(&shot);
  for (int32_t i = 0; i < wc->ControlCount(); ++i) {
    TControl* c = wc->Controls(i);
    QWidget* cw = PeerWidget(c);
    if (!c->Visible() || !cw || !cw->isVisible()) continue;
    p.drawImage(cw->mapTo(w, QPoint(0, 0)), GrabWithChildren(c));
  }
  return shot;
}

}  // namespace

void SynthMouse(TControl* Control, TMouseAction Action, int32_t X, int32_t Y, TMouseButton Button, TShiftState Shift) {
  QWidget* w = ClientWidget(Control);
  if (!w) return;
  const Qt::MouseButton b = QtButton(Button);
  Qt::MouseButtons held;
  QEvent::Type type = QEvent::MouseMove;
  Qt::MouseButton which = Qt::NoButton;
  switch (Action) {
    case maPress:
      type = QEvent::MouseButtonPress;
      which = b;
      held = b;
      break;
    case maDoubleClick:
      type = QEvent::MouseButtonDblClick;
      which = b;
      held = b;
      break;
    case maRelease:
      type = QEvent::MouseButtonRelease;
      which = b;
      break;
    case maMove:
      if (Shift.Contains(ssLeft)) held |= Qt::LeftButton;
      if (Shift.Contains(ssRight)) held |= Qt::RightButton;
      if (Shift.Contains(ssMiddle)) held |= Qt::MiddleButton;
      break;
  }
  const QPointF at(X, Y);
  QMouseEvent e(type, at, w->mapToGlobal(at), which, held, QtModifiers(Shift));
  QCoreApplication::sendEvent(w, &e);
}

void SynthKey(TControl* Control, uint16_t VirtKey, TShiftState Shift) {
  QWidget* w = PeerWidget(Control);
  if (!w) return;
  const TQtKey k = KeyOfVirtual(VirtKey, Shift);
  SendKeyEvents(w, k.Key, QtModifiers(Shift), k.Text);
}

void SynthText(TControl* Control, const std::string& Text) {
  QWidget* w = PeerWidget(Control);
  if (!w) return;
  for (char32_t ch : QString::fromStdString(Text).toUcs4()) {
    int key = Qt::Key_unknown;
    if (ch == '\r' || ch == '\n') key = Qt::Key_Return;
    else if (ch == '\b') key = Qt::Key_Backspace;
    else if (ch == 0x1b) key = Qt::Key_Escape;
    else if (ch >= 'a' && ch <= 'z') key = Qt::Key_A + static_cast<int>(ch - 'a');
    else if (ch >= 0x20 && ch < 0x7f) key = static_cast<int>(ch);  // Qt's codes of printable ASCII are the characters
    SendKeyEvents(w, key, Qt::NoModifier, QString::fromUcs4(&ch, 1));
    if (!PeerWidget(Control)) return;
  }
}

void SynthFocus(TControl* Control, bool In) {
  QWidget* w = PeerWidget(Control);
  if (!w) return;
  QFocusEvent e(In ? QEvent::FocusIn : QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(w, &e);
}

struct TSynthColorScheme::TSaved {
  QPalette Palette;
};

TSynthColorScheme::TSynthColorScheme() : FSaved(std::make_unique<TSaved>()) {
  FSaved->Palette = QApplication::palette();
  QPalette dark = FSaved->Palette;
  for (QPalette::ColorRole r : {QPalette::Window, QPalette::Base, QPalette::Button, QPalette::WindowText,
                                QPalette::Text, QPalette::ButtonText})
    dark.setColor(r, QColor(255 - dark.color(r).red(), 255 - dark.color(r).green(), 255 - dark.color(r).blue()));
  QApplication::setPalette(dark);
}

TSynthColorScheme::~TSynthColorScheme() { QApplication::setPalette(FSaved->Palette); }

std::unique_ptr<TBitmap> GrabControl(TControl* Control) {
  QWidget* w = PeerWidget(Control);
  if (!w) return nullptr;
  auto out = std::make_unique<TBitmap>(0, 0, pf24bit);
  const QImage img = GrabWithChildren(Control).convertToFormat(QImage::Format_RGB888);
  out->SetSize(img.width(), img.height());
  for (int y = 0; y < img.height(); ++y) {
    const uchar* src = img.constScanLine(y);
    auto* dst = static_cast<uint8_t*>(out->ScanLine(y));
    for (int x = 0; x < img.width(); ++x) {  // RGB to the bitmap's BGR
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return out;
}

bool SaveBitmapPng(const TBitmap& Bitmap, const std::string& FileName) {
  if (Bitmap.Width() <= 0 || Bitmap.Height() <= 0) return false;
  QImage img(Bitmap.Width(), Bitmap.Height(), QImage::Format_RGB888);
  for (int32_t y = 0; y < Bitmap.Height(); ++y) {
    uchar* dst = img.scanLine(y);
    for (int32_t x = 0; x < Bitmap.Width(); ++x) {
      const TColorRef c = static_cast<TColorRef>(Bitmap.GetPixelColor(x, y));
      dst[3 * x] = GetRValue(c);
      dst[3 * x + 1] = GetGValue(c);
      dst[3 * x + 2] = GetBValue(c);
    }
  }
  return img.save(QString::fromStdString(FileName), "PNG");
}

}  // namespace kv
