// Screens through Qt.
#include "platform/ui/monitors.h"

#include <QtGui/QGuiApplication>
#include <QtGui/QScreen>
#include <algorithm>
#include <climits>

#include "platform/ui/qt_app.h"

namespace kv {

namespace {

std::vector<TRect>& Fixed() {
  static std::vector<TRect> rects;
  return rects;
}

int64_t Overlap(const TRect& A, const TRect& B) {
  const int64_t w = std::min(A.Right, B.Right) - std::max(A.Left, B.Left);
  const int64_t h = std::min(A.Bottom, B.Bottom) - std::max(A.Top, B.Top);
  return w > 0 && h > 0 ? w * h : 0;
}

int64_t Distance(const TRect& A, const TRect& B) {
  const int64_t dx = std::max<int64_t>({0, int64_t(B.Left) - A.Right, int64_t(A.Left) - B.Right});
  const int64_t dy = std::max<int64_t>({0, int64_t(B.Top) - A.Bottom, int64_t(A.Top) - B.Bottom});
  return dx * dx + dy * dy;
}

}  // namespace

std::vector<TRect> MonitorRects() {
  if (!Fixed().empty()) return Fixed();
  EnsureQtApplication();
  std::vector<TRect> r;
  for (QScreen* s : QGuiApplication::screens()) {
    const QRect g = s->geometry();
    r.push_back(Rect(g.left(), g.top(), g.left() + g.width(), g.top() + g.height()));
  }
  if (r.empty()) r.push_back(Rect(0, 0, 1024, 768));
  return r;
}

void SetMonitorRectsForTesting(const std::vector<TRect>& Rects) { Fixed() = Rects; }

TRect BringOntoMonitor(const TRect& R) {
  const std::vector<TRect> screens = MonitorRects();
  const TRect* best = nullptr;
  int64_t bestOverlap = 0;
  for (const TRect& s : screens)
    if (int64_t o = Overlap(R, s); o > bestOverlap) bestOverlap = o, best = &s;
  if (best && bestOverlap == int64_t(R.Width()) * R.Height()) return R;  // wholly on one screen
  if (!best) {
    int64_t d = INT64_MAX;
    for (const TRect& s : screens)
      if (int64_t x = Distance(R, s); x < d) d = x, best = &s;
  }
  if (bestOverlap > 0) return R;  // partly on a screen: the user can reach it
  const int32_t w = std::min(R.Width(), best->Width()), h = std::min(R.Height(), best->Height());
  const int32_t l = std::clamp(R.Left, best->Left, best->Right - w);
  const int32_t t = std::clamp(R.Top, best->Top, best->Bottom - h);
  return Bounds(l, t, w, h);
}

}  // namespace kv
