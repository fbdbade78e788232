// Screen frames as frameless top-most widgets masked to their border.
#include "platform/ui/screen_frame.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QRegion>
#include <QtWidgets/QWidget>
#include <memory>
#include <vector>

#include "platform/ui/qt_app.h"

namespace kv {

namespace {

struct TFrame {
  TRect R;
  int32_t Width;
  std::unique_ptr<QWidget> Widget;
};

std::vector<TFrame>& Frames() {
  static std::vector<TFrame> frames;
  return frames;
}

}  // namespace

bool ToggleScreenFrame(const TRect& R, int32_t Width) {
  // The list must end before the Qt application object does.
  EnsureQtApplication();
  auto& f = Frames();
  for (auto it = f.begin(); it != f.end(); ++it) {
    if (it->R == R && it->Width == Width) {
      f.erase(it);
      return false;
    }
  }
  auto w = std::make_unique<QWidget>(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                                  Qt::WindowDoesNotAcceptFocus);
  w->setAttribute(Qt::WA_ShowWithoutActivating);
  w->setAttribute(Qt::WA_TransparentForMouseEvents);
  w->setGeometry(R.Left, R.Top, std::max(R.Width(), 1), std::max(R.Height(), 1));
  w->setStyleSheet("background: black");
  const QRegion outer(0, 0, R.Width(), R.Height());
  const QRegion inner(Width, Width, std::max(R.Width() - 2 * Width, 0), std::max(R.Height() - 2 * Width, 0));
  if (QGuiApplication::platformName() != QLatin1String("offscreen")) w->setMask(outer.subtracted(inner));
  w->show();
  f.push_back(TFrame{R, Width, std::move(w)});
  return true;
}

int32_t ScreenFrameCount() { return static_cast<int32_t>(Frames().size()); }

bool ScreenFrameShown(const TRect& R) {
  for (const TFrame& f : Frames())
    if (f.R == R) return true;
  return false;
}

}  // namespace kv
