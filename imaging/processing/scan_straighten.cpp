#include "imaging/processing/scan_straighten.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "imaging/processing/rotate.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

const TBGRPixel* Row(const TBitmap& B, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y)); }

// Whether a pixel differs from the border colour by more than T in some
// channel, by table: one look-up per channel instead of arithmetic.
struct TBorderTest {
  TBorderTest(const TBGRPixel& Border, int32_t T) {
    for (int32_t v = 0; v < 256; ++v) {
      R[v] = std::abs(v - Border.r) > T;
      G[v] = std::abs(v - Border.g) > T;
      B[v] = std::abs(v - Border.b) > T;
    }
  }
  bool operator()(const TBGRPixel& P) const { return (R[P.r] | G[P.g] | B[P.b]) != 0; }
  uint8_t R[256], G[256], B[256];
};

// The area limited to the bitmap.
TScanSetup Clamped(const TBitmap& B, TScanSetup S) {
  S.X1 = std::max(S.X1, 0);
  S.Y1 = std::max(S.Y1, 0);
  S.X2 = std::min(S.X2, B.Width());
  S.Y2 = std::min(S.Y2, B.Height());
  S.RunLength = std::max(S.RunLength, 1);
  return S;
}

void Report(TProgressRec& P, int32_t Percent) {
  if (P.OnProgress) P.OnProgress(P.Sender, Percent);
}

// One entry per row or column of a scan; Valid false where none was found.
struct TEdgePoint {
  double X = 0, Y = 0;
  bool Valid = false;
};

struct TFitSums {
  double N = 0, Sx = 0, Sy = 0, Sxx = 0, Syy = 0, Sxy = 0;
};

struct TBestPiece {
  bool Found = false;
  double Length = 0;
  TFitSums Sums;
};

// Splits the list at the point farthest from the chord until every piece is
// straight within 5 pixels; keeps the longest dense piece over all lists.
void FindStraightEdge(const std::vector<TEdgePoint>& P, TBestPiece& Best) {
  std::vector<std::pair<int32_t, int32_t>> todo{{0, int32_t(P.size()) - 1}};
  while (!todo.empty()) {
    auto [first, last] = todo.back();
    todo.pop_back();
    while (first <= last && !P[size_t(first)].Valid) ++first;
    while (last >= first && !P[size_t(last)].Valid) --last;
    if (last - first < 4) continue;
    const TEdgePoint& a = P[size_t(first)];
    const TEdgePoint& b = P[size_t(last)];
    const double dx = b.X - a.X, dy = b.Y - a.Y;
    const double L = std::sqrt(dx * dx + dy * dy);
    if (L <= 0) continue;
    TFitSums s;
    double worst = 0;
    int32_t worstAt = -1;
    for (int32_t i = first; i <= last; ++i) {
      const TEdgePoint& p = P[size_t(i)];
      if (!p.Valid) continue;
      s.N += 1;
      s.Sx += p.X;
      s.Sy += p.Y;
      s.Sxx += p.X * p.X;
      s.Syy += p.Y * p.Y;
      s.Sxy += p.X * p.Y;
      if (i == first || i == last) continue;
      const double d = std::fabs((p.Y - a.Y) * dx - (p.X - a.X) * dy) / L;
      if (d > worst) {
        worst = d;
        worstAt = i;
      }
    }
    if (worstAt < 0) continue;
    if (worst > 5) {
      todo.emplace_back(first, worstAt);
      todo.emplace_back(worstAt, last);
      continue;
    }
    if ((last - first) / L >= 0.5 && L > Best.Length) {
      Best.Found = true;
      Best.Length = L;
      Best.Sums = s;
    }
  }
}

// The first position from Start in steps of Step (Count positions at most)
// whose RunLength following pixels (Pixel(position + Step * k), k = 1..n)
// all differ from the border; -1 when there is none.
template <typename F>
int32_t WalkToContent(int32_t Start, int32_t Step, int32_t Positions, int32_t Limit, int32_t N, F Differs) {
  int32_t run = 0;
  for (int32_t k = 1; k <= Limit; ++k) {
    run = Differs(Start + Step * k) ? run + 1 : 0;
    if (run >= N) {
      const int32_t steps = k - N;  // the position whose next N pixels differ
      return steps < Positions ? Start + Step * steps : -1;
    }
  }
  return -1;
}

}  // namespace

int32_t CmToPixels(double Cm, double Scale, double Dpi, double ScreenPpi) {
  const double dpi = std::fabs(Dpi) < 1e-6 ? ScreenPpi : Dpi;
  return Round32(Cm / 2.54 * dpi * Scale);
}

bool IsEdgeLine(const TBGRPixel* Line, const TBGRPixel* Previous, int32_t Count, int32_t Tolerance,
                int32_t RunLength, TBGRPixel Border) {
  const int32_t n = std::max(RunLength, 1);
  if (Count < n) return false;
  int32_t run = 0;
  for (int32_t i = 0; i < Count; ++i) {
    const TBGRPixel p = Line[i];
    const TBGRPixel q = Previous[i];
    const bool prevIsBorder = q == Border;
    auto channel = [&](uint8_t v, uint8_t border, uint8_t prev) {
      const int32_t d = std::abs(int32_t(v) - border) + (prevIsBorder ? 0 : std::abs(int32_t(v) - prev));
      return d > Tolerance;
    };
    const bool content = channel(p.r, Border.r, q.r) || channel(p.g, Border.g, q.g) || channel(p.b, Border.b, q.b);
    run = content ? run + 1 : 0;
    if (run >= n) return true;
  }
  return false;
}

std::optional<double> FindStraightenAngle(const TBitmap& Bitmap, const TScanSetup& Setup, TProgressRec& Progress) {
  if (Bitmap.PixelFormat() != pf24bit) return std::nullopt;
  const TScanSetup s = Clamped(Bitmap, Setup);
  if (s.X1 >= s.X2 || s.Y1 >= s.Y2) return std::nullopt;
  const int32_t n = s.RunLength, T = s.Tolerance;
  const TBorderTest differsFromBorder(s.Border, T);
  const int32_t rows = s.Y2 - s.Y1, cols = s.X2 - s.X1;

  std::vector<TEdgePoint> left(static_cast<size_t>(rows)), right(static_cast<size_t>(rows)), top(static_cast<size_t>(cols)), bottom(static_cast<size_t>(cols));
  // Left edge: positions x1 .. max(x1, x2 - n - 2); right edge: x2 - 1 down to min(x1 + n + 2, x2).
  const int32_t leftStop = std::max(s.X1, s.X2 - n - 2);
  const int32_t rightStop = std::min(s.X1 + n + 2, s.X2);
  for (int32_t y = s.Y1; y < s.Y2; ++y) {
    const TBGRPixel* row = Row(Bitmap, y);
    auto differs = [&](int32_t x) { return differsFromBorder(row[x]); };
    const int32_t l = WalkToContent(s.X1, 1, leftStop - s.X1, s.X2 - 1 - s.X1, n, differs);
    if (l >= 0) left[size_t(y - s.Y1)] = {double(l), double(y), true};
    const int32_t r = WalkToContent(s.X2 - 1, -1, s.X2 - 1 - rightStop, s.X2 - 1 - s.X1, n, differs);
    if (r >= 0) right[size_t(y - s.Y1)] = {double(r), double(y), true};
  }
  Report(Progress, 25);
  Report(Progress, 50);
  // Top and bottom edges walk every column, all columns at once a row at a
  // time: the same walks as for the rows, but reading the picture in the
  // order it lies in memory.
  const int32_t topStop = std::max(s.Y1, s.Y2 - n - 2);
  const int32_t bottomStop = std::min(s.Y1 + n + 2, s.Y2);
  auto walkColumns = [&](int32_t Start, int32_t Step, int32_t Positions, std::vector<TEdgePoint>& Into) {
    const int32_t limit = s.Y2 - 1 - s.Y1;
    std::vector<int32_t> run(static_cast<size_t>(cols), 0);
    std::vector<int32_t> active(static_cast<size_t>(cols));
    for (int32_t i = 0; i < cols; ++i) active[size_t(i)] = i;
    for (int32_t k = 1; k <= limit && !active.empty(); ++k) {
      const TBGRPixel* row = Row(Bitmap, Start + Step * k) + s.X1;
      size_t kept = 0;
      for (const int32_t i : active) {
        int32_t& r = run[size_t(i)];
        r = differsFromBorder(row[i]) ? r + 1 : 0;
        if (r < n) {
          active[kept++] = i;
          continue;
        }
        const int32_t steps = k - n;  // the position whose next n pixels differ
        if (steps < Positions) Into[size_t(i)] = {double(s.X1 + i), double(Start + Step * steps), true};
      }
      active.resize(kept);
    }
  };
  walkColumns(s.Y1, 1, topStop - s.Y1, top);
  Report(Progress, 75);
  walkColumns(s.Y2 - 1, -1, s.Y2 - 1 - bottomStop, bottom);
  Report(Progress, 100);

  TBestPiece best;
  for (const auto* list : {&left, &right, &top, &bottom}) FindStraightEdge(*list, best);
  if (!best.Found) return std::nullopt;
  const TFitSums& f = best.Sums;
  const double mx = f.Sx / f.N, my = f.Sy / f.N;
  const double vx = f.Sxx / f.N - mx * mx, vy = f.Syy / f.N - my * my;
  const double cov = f.Sxy / f.N - mx * my;
  double angle = vx <= vy ? std::atan2(cov, vy) : std::atan2(vx, cov);
  const double quarter = M_PI / 4;
  if (angle > quarter) angle -= M_PI / 2;
  if (angle < -quarter) angle += M_PI / 2;
  return angle * 180 / M_PI;
}

bool StraightenImage(TBitmap& Bitmap, const TScanSetup& Setup, TProgressRec& Progress) {
  const std::optional<double> angle = FindStraightenAngle(Bitmap, Setup, Progress);
  if (!angle || *angle == 0) return false;
  const TColor border = TColor(Setup.Border.r | Setup.Border.g << 8 | Setup.Border.b << 16);
  // The fit's angle is measured with rows going down; the rotation counts
  // counter-clockwise on the screen, hence the sign.
  RotateBitmap(Bitmap, -*angle, true, border, Progress.Sender, Progress.OnProgress);
  return true;
}

std::optional<TRect> FindCutRect(const TBitmap& Bitmap, const TScanSetup& Setup, int32_t Margin,
                                 TProgressRec& Progress) {
  if (Bitmap.PixelFormat() != pf24bit) return std::nullopt;
  const TScanSetup s = Clamped(Bitmap, Setup);
  if (s.X1 >= s.X2 || s.Y1 >= s.Y2) return std::nullopt;
  const int32_t w = s.X2 - s.X1, h = s.Y2 - s.Y1;
  auto rowEdge = [&](int32_t y, int32_t prev) {
    return IsEdgeLine(Row(Bitmap, y) + s.X1, Row(Bitmap, prev) + s.X1, w, s.Tolerance, s.RunLength, s.Border);
  };
  std::vector<TBGRPixel> col(static_cast<size_t>(h)), prevCol(static_cast<size_t>(h));
  auto column = [&](int32_t x, std::vector<TBGRPixel>& into) {
    for (int32_t y = s.Y1; y < s.Y2; ++y) into[size_t(y - s.Y1)] = Row(Bitmap, y)[x];
  };
  auto colEdge = [&](int32_t x, int32_t prev) {
    column(x, col);
    column(prev, prevCol);
    return IsEdgeLine(col.data(), prevCol.data(), h, s.Tolerance, s.RunLength, s.Border);
  };
  int32_t t = s.Y1, b = s.Y2, l = s.X1, r = s.X2;
  for (int32_t y = s.Y1; y < s.Y2; ++y)
    if (rowEdge(y, y == s.Y1 ? y : y - 1)) {
      t = y;
      break;
    }
  Report(Progress, 25);
  // The last edge line belongs to the picture: the bottom and right limits
  // are exclusive, so they lie one past it.
  for (int32_t y = s.Y2 - 1; y >= s.Y1; --y)
    if (rowEdge(y, y == s.Y2 - 1 ? y : y + 1)) {
      b = y + 1;
      break;
    }
  Report(Progress, 50);
  for (int32_t x = s.X1; x < s.X2; ++x)
    if (colEdge(x, x == s.X1 ? x : x - 1)) {
      l = x;
      break;
    }
  Report(Progress, 75);
  for (int32_t x = s.X2 - 1; x >= s.X1; --x)
    if (colEdge(x, x == s.X2 - 1 ? x : x + 1)) {
      r = x + 1;
      break;
    }
  if (l + Margin < r) l += Margin;
  if (l < r - Margin) r -= Margin;
  if (t + Margin < b) t += Margin;
  if (t < b - Margin) b -= Margin;
  if (!(l + 1 < r && t + 1 < b)) return std::nullopt;
  if (l == 0 && t == 0 && r == Bitmap.Width() && b == Bitmap.Height()) return std::nullopt;
  return TRect{l, t, r, b};
}

bool CutBorder(TBitmap& Bitmap, const TScanSetup& Setup, int32_t Margin, TProgressRec& Progress) {
  const std::optional<TRect> r = FindCutRect(Bitmap, Setup, Margin, Progress);
  if (!r) return false;
  TBitmap cut(r->Width(), r->Height(), pf24bit);
  const size_t bytes = size_t(r->Width()) * 3;
  for (int32_t y = r->Top; y < r->Bottom; ++y)
    std::copy_n(reinterpret_cast<const uint8_t*>(Row(Bitmap, y) + r->Left), bytes,
                static_cast<uint8_t*>(cut.ScanLine(y - r->Top)));
  Bitmap.TakeOver(cut);
  return true;
}

namespace {

class TSplitter {
 public:
  TSplitter(const TBitmap& B, const TScanSetup& S, int32_t MinSize) : FB(B), FS(S), FMin(MinSize) {}

  // Rows (Columns false) or columns first; Turn allows the other direction once.
  void Split(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, bool Turn, bool Columns) {
    if (X1 >= X2 || Y1 >= Y2) return;
    if (Columns ? SplitColumns(X1, Y1, X2, Y2) : SplitRows(X1, Y1, X2, Y2)) return;
    if (Turn) {
      Split(X1, Y1, X2, Y2, false, !Columns);
      return;
    }
    Pieces.push_back(TRect{X1, Y1, X2, Y2});
  }
  std::vector<TRect> Pieces;

 private:
  bool SplitRows(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    int32_t state = 0, block = 0, gap = 0;
    for (int32_t y = Y1; y < Y2; ++y) {
      const bool edge = IsEdgeLine(Row(FB, y) + X1, Row(FB, y == Y1 ? y : y - 1) + X1, X2 - X1, FS.Tolerance,
                                   FS.RunLength, FS.Border);
      if (state == 0 && edge) {
        state = 1;
        block = y;
      } else if (state == 1 && !edge) {
        if (y - block > FMin && (Y2 - 1) - y > FMin) {
          state = 2;
          gap = y;
        }
      } else if (state == 2 && edge) {
        const int32_t cut = (gap + y) / 2;
        Split(X1, Y1, X2, cut, true, true);
        Split(X1, cut, X2, Y2, true, true);
        return true;
      }
    }
    return false;
  }
  bool SplitColumns(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    const int32_t h = Y2 - Y1;
    std::vector<TBGRPixel> col(static_cast<size_t>(h)), prev(static_cast<size_t>(h));
    int32_t state = 0, block = 0, gap = 0;
    for (int32_t x = X1; x < X2; ++x) {
      const int32_t px = x == X1 ? x : x - 1;
      for (int32_t y = Y1; y < Y2; ++y) {
        col[size_t(y - Y1)] = Row(FB, y)[x];
        prev[size_t(y - Y1)] = Row(FB, y)[px];
      }
      const bool edge = IsEdgeLine(col.data(), prev.data(), h, FS.Tolerance, FS.RunLength, FS.Border);
      if (state == 0 && edge) {
        state = 1;
        block = x;
      } else if (state == 1 && !edge) {
        if (x - block > FMin && (X2 - x - 1) > FMin) {
          state = 2;
          gap = x;
        }
      } else if (state == 2 && edge) {
        const int32_t cut = (gap + x) / 2;
        Split(X1, Y1, cut, Y2, true, false);
        Split(cut, Y1, X2, Y2, true, false);
        return true;
      }
    }
    return false;
  }

  const TBitmap& FB;
  const TScanSetup& FS;
  int32_t FMin;
};

}  // namespace

std::vector<TRect> SeparateScannedImages(const TBitmap& Bitmap, const TScanSetup& Setup, int32_t MinSize) {
  if (Bitmap.PixelFormat() != pf24bit) return {};
  const TScanSetup s = Clamped(Bitmap, Setup);
  TSplitter splitter(Bitmap, s, MinSize);
  splitter.Split(s.X1, s.Y1, s.X2, s.Y2, true, false);
  return std::move(splitter.Pieces);
}

}  // namespace kv
