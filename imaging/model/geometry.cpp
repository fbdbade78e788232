#include "imaging/model/geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/rtl/pascal_math.h"

namespace kv {
namespace {

int32_t Saturate32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Coordinate differences beyond this are treated as far away.
constexpr int64_t kMaxDelta = 45000;

bool TooFar(int64_t a, int64_t b) { return std::llabs(a) > kMaxDelta || std::llabs(b) > kMaxDelta; }

}  // namespace

void SnapDragPoint(int32_t AnchorX, int32_t AnchorY, int32_t& X, int32_t& Y) {
  // 64 bits: differences of far-apart int32 coordinates do not fit in 32.
  const int64_t ax = AnchorX, ay = AnchorY;
  int64_t x = X, y = Y;
  const int64_t dx = std::llabs(ax - x), dy = std::llabs(ay - y);
  if (dx + 30 < dy) {
    x = ax;
  } else if (dy < dx - 30) {
    y = ay;
  } else {
    const int64_t d = std::llabs(dx - dy);
    if (x > ax && y > ay) {  // right and below: the shorter side grows
      if (dx < dy) x += d;
      else y += d;
    } else if (x < ax && y < ay) {  // left and above: the longer side shrinks
      if (dx >= dy) x += d;
      else y += d;
    } else if (x < ax && y > ay) {  // left and below
      if (dx >= dy) y += d;
      else x -= d;
    } else if (y < ay && x > ax) {  // above and right
      if (dx >= dy) y -= d;
      else x += d;
    }
    // on the anchor's row or column: left as it is
  }
  X = Saturate32(x);
  Y = Saturate32(y);
}

bool SegmentBoxHitsRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, const TRect& R) {
  return std::min(X1, X2) <= R.Right && std::max(X1, X2) >= R.Left && std::min(Y1, Y2) <= R.Bottom &&
         std::max(Y1, Y2) >= R.Top;
}

bool IMPointInsideRect(int32_t X, int32_t Y, const TRect& R) {
  return X >= R.Left && X <= R.Right && Y >= R.Top && Y <= R.Bottom;
}

bool PointInRectAny(int32_t X, int32_t Y, const TRect& R) {
  const TRect o{std::min(R.Left, R.Right), std::min(R.Top, R.Bottom), std::max(R.Left, R.Right),
                std::max(R.Top, R.Bottom)};
  return IMPointInsideRect(X, Y, o);
}

int32_t RectRelation(const TRect& A, const TRect& B) {
  if (IMPointInsideRect(B.Left, B.Top, A) && IMPointInsideRect(B.Right, B.Top, A) &&
      IMPointInsideRect(B.Left, B.Bottom, A) && IMPointInsideRect(B.Right, B.Bottom, A))
    return 2;
  const bool left = B.Left >= A.Left && B.Left <= A.Right;
  const bool right = B.Right >= A.Left && B.Right <= A.Right;
  const bool top = B.Top >= A.Top && B.Top <= A.Bottom;
  const bool bottom = B.Bottom >= A.Top && B.Bottom <= A.Bottom;
  if ((left != right) && (top || bottom)) return 1;
  if ((top != bottom) && (left || right)) return 1;
  return 0;
}

double PointDistance(const TPoint& A, const TPoint& B) {
  return std::hypot(static_cast<double>(A.X) - B.X, static_cast<double>(A.Y) - B.Y);
}

double PointSegmentDistance(const TPoint& P, const TPoint& End1, const TPoint& End2) {
  const int64_t dx = int64_t(End2.X) - End1.X, dy = int64_t(End2.Y) - End1.Y;
  const int64_t ex = int64_t(P.X) - End1.X, ey = int64_t(P.Y) - End1.Y;
  if (TooFar(dx, dy) || TooFar(ex, ey)) return kFarDistance;
  const int64_t len2 = dx * dx + dy * dy;
  if (len2 == 0) return std::hypot(double(ex), double(ey));
  const double t = double(ex * dx + ey * dy) / double(len2);
  if (t > 1.0) {
    const int64_t fx = int64_t(P.X) - End2.X, fy = int64_t(P.Y) - End2.Y;
    if (TooFar(fx, fy)) return kFarDistance;
    return std::hypot(double(fx), double(fy));
  }
  if (t >= 0.0) return std::fabs(double(ex * dy - ey * dx)) / std::sqrt(double(len2));
  return std::hypot(double(ex), double(ey));
}

double PointPolylineDistance(const TPoint& P, const TPoint* Points, int32_t Count, double XScale, double YScale,
                             int32_t XOffset, int32_t YOffset, int32_t XOrigin, int32_t YOrigin) {
  double best = kFarDistance;
  if (Points == nullptr || Count < 2) return best;
  auto map = [&](const TPoint& q) {
    return TPoint{Round32(XOffset + XScale * (double(q.X) - XOrigin)), Round32(YOffset + YScale * (double(q.Y) - YOrigin))};
  };
  TPoint prev = map(Points[0]);
  for (int32_t i = 1; i < Count; ++i) {
    const TPoint cur = map(Points[i]);
    best = std::min(best, PointSegmentDistance(P, prev, cur));
    prev = cur;
  }
  return best;
}

}  // namespace kv
