#include "platform/graphics/canvas_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "platform/graphics/pixel_access.h"

namespace kv::gfx {

namespace {

constexpr double kEps = 1e-9;
constexpr double kPi = 3.14159265358979323846;

// Doubles from shape formulas can be far outside the bitmap; spans only need
// to stay ordered, so keep them well inside the int32 range.
int32_t ToInt(double v) {
  if (!(v > -1e9)) return -1000000000;
  if (v > 1e9) return 1000000000;
  return static_cast<int32_t>(v);
}

// Adds pixels X1..X2 (inclusive) of row Y, clipped.
void AddSpan(TSpanList& Out, const TRect& Clip, int32_t Y, int64_t X1, int64_t X2) {
  if (Y < Clip.Top || Y >= Clip.Bottom) return;
  X1 = std::max<int64_t>(X1, Clip.Left);
  X2 = std::min<int64_t>(X2, int64_t(Clip.Right) - 1);
  if (X1 > X2) return;
  Out.push_back(TSpan{Y, int32_t(X1), int32_t(X2 + 1)});
}

template <typename F> inline void Apply(uint8_t* Row, int32_t X, uint8_t Rop, uint32_t V) {
  if (Rop == kRopCopy) F::Set(Row, X, V);
  else F::Set(Row, X, Rop2(Rop, V, F::Get(Row, X)) & F::Mask);
}

template <typename F> void PaintSpansT(TBitmap& Bitmap, const TRect& Clip, const TSpanList& Spans, const TPaintOp& Op) {
  uint8_t* base = Bitmap.Bits();
  const int64_t rowBytes = Bitmap.RowBytes();
  const uint32_t v = Op.Value & F::Mask;
  for (const TSpan& s : Spans) {
    if (s.Y < Clip.Top || s.Y >= Clip.Bottom) continue;
    const int32_t x1 = std::max(s.X1, Clip.Left), x2 = std::min(s.X2, Clip.Right);
    if (x1 >= x2) continue;
    uint8_t* row = base + s.Y * rowBytes;
    if (Op.Hatch) {
      const uint32_t bits = Op.Hatch[s.Y & 7];
      for (int32_t x = x1; x < x2; ++x)
        if ((bits >> (7 - (x & 7))) & 1) Apply<F>(row, x, Op.Rop, v);
    } else if (Op.Rop == kRopCopy) {
      if constexpr (std::is_same_v<F, TFmt8>) {
        std::memset(row + x1, int(v), size_t(x2 - x1));
      } else {
        for (int32_t x = x1; x < x2; ++x) F::Set(row, x, v);
      }
    } else {
      for (int32_t x = x1; x < x2; ++x) F::Set(row, x, Rop2(Op.Rop, v, F::Get(row, x)) & F::Mask);
    }
  }
}

template <typename F>
void PaintPointsT(TBitmap& Bitmap, const TRect& Clip, const std::vector<TPoint>& Points, const TPaintOp& Op) {
  uint8_t* base = Bitmap.Bits();
  const int64_t rowBytes = Bitmap.RowBytes();
  const uint32_t v = Op.Value & F::Mask;
  for (const TPoint& p : Points) {
    if (p.X < Clip.Left || p.X >= Clip.Right || p.Y < Clip.Top || p.Y >= Clip.Bottom) continue;
    if (Op.Hatch && !((Op.Hatch[p.Y & 7] >> (7 - (p.X & 7))) & 1)) continue;
    Apply<F>(base + p.Y * rowBytes, p.X, Op.Rop, v);
  }
}

// Range of X for which Lo <= A * X + B <= Hi.
bool LinearRange(double A, double B, double Lo, double Hi, double& X1, double& X2) {
  if (A == 0) {
    if (B < Lo - kEps || B > Hi + kEps) return false;
    X1 = -HUGE_VAL;
    X2 = HUGE_VAL;
    return true;
  }
  X1 = (Lo - B) / A;
  X2 = (Hi - B) / A;
  if (X1 > X2) std::swap(X1, X2);
  return true;
}

bool Intersect(double& L, double& R, double L2, double R2) {
  L = std::max(L, L2);
  R = std::min(R, R2);
  return L <= R;
}

}  // namespace

void NormalizeSpans(TSpanList& Spans) {
  std::sort(Spans.begin(), Spans.end(),
            [](const TSpan& a, const TSpan& b) { return a.Y != b.Y ? a.Y < b.Y : a.X1 < b.X1; });
  size_t n = 0;
  for (size_t i = 0; i < Spans.size(); ++i) {
    if (Spans[i].X1 >= Spans[i].X2) continue;
    if (n > 0 && Spans[n - 1].Y == Spans[i].Y && Spans[i].X1 <= Spans[n - 1].X2) {
      Spans[n - 1].X2 = std::max(Spans[n - 1].X2, Spans[i].X2);
    } else {
      Spans[n++] = Spans[i];
    }
  }
  Spans.resize(n);
}

uint8_t RopTable(TPenMode Mode) {
  // Truth tables of pmBlack .. pmNotXor in the order of TPenMode.
  static constexpr uint8_t kTables[16] = {0x0, 0xF, 0xA, 0x5, 0xC, 0x3, 0xD, 0x4,
                                          0xB, 0x2, 0xE, 0x1, 0x8, 0x7, 0x6, 0x9};
  return Mode < 16 ? kTables[Mode] : kRopCopy;
}

const uint8_t* HatchPattern(TBrushStyle Style) {
  static constexpr uint8_t kHatches[6][8] = {
      {0x00, 0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00},  // bsHorizontal
      {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08},  // bsVertical
      {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01},  // bsFDiagonal
      {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80},  // bsBDiagonal
      {0x08, 0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08},  // bsCross
      {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81},  // bsDiagCross
  };
  if (Style < bsHorizontal || Style > bsDiagCross) return nullptr;
  return kHatches[Style - bsHorizontal];
}

void PaintSpans(TBitmap& Bitmap, const TRect& Clip, const TSpanList& Spans, const TPaintOp& Op) {
  if (!Bitmap.Bits() || Spans.empty() || (Op.Rop == kRopNop)) return;
  DispatchFormat(Bitmap.PixelFormat(), [&](auto f) { PaintSpansT<decltype(f)>(Bitmap, Clip, Spans, Op); });
}

void PaintPoints(TBitmap& Bitmap, const TRect& Clip, const std::vector<TPoint>& Points, const TPaintOp& Op) {
  if (!Bitmap.Bits() || Points.empty() || (Op.Rop == kRopNop)) return;
  DispatchFormat(Bitmap.PixelFormat(), [&](auto f) { PaintPointsT<decltype(f)>(Bitmap, Clip, Points, Op); });
}

void WalkLine(TPoint A, TPoint B, const TRect& Clip, const std::function<void(int32_t, int32_t, int64_t)>& Fn) {
  const int64_t dx = int64_t(B.X) - A.X, dy = int64_t(B.Y) - A.Y;
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  if (adx == 0 && ady == 0) return;
  const bool xMajor = adx >= ady;
  const int64_t n = xMajor ? adx : ady;        // points A .. B-1
  const int64_t major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
  const int64_t sMajor = (xMajor ? dx : dy) < 0 ? -1 : 1, sMinor = (xMajor ? dy : dx) < 0 ? -1 : 1;
  const int64_t m0 = xMajor ? A.X : A.Y, n0 = xMajor ? A.Y : A.X;
  // Only the steps whose major coordinate lies in the clip can be visible.
  const int64_t lo = xMajor ? Clip.Left : Clip.Top, hi = (xMajor ? Clip.Right : Clip.Bottom) - 1;
  int64_t i1 = sMajor > 0 ? lo - m0 : m0 - hi;
  int64_t i2 = sMajor > 0 ? hi - m0 : m0 - lo;
  i1 = std::max<int64_t>(i1, 0);
  i2 = std::min<int64_t>(i2, n - 1);
  for (int64_t i = i1; i <= i2; ++i) {
    // Nearest minor coordinate, halves away from A (Bresenham's choice), in 128 bits.
    const __int128 num = __int128(2) * i * minor + major;
    const int64_t off = int64_t(num / (__int128(2) * major));
    const int64_t pm = m0 + sMajor * i, pn = n0 + sMinor * off;
    const int64_t x = xMajor ? pm : pn, y = xMajor ? pn : pm;
    if (x < Clip.Left || x >= Clip.Right || y < Clip.Top || y >= Clip.Bottom) continue;
    Fn(int32_t(x), int32_t(y), i);
  }
}

void AddThickLine(TPoint A, TPoint B, int32_t Width, const TRect& Clip, TSpanList& Out) {
  if (Width < 1) Width = 1;
  const double r = Width / 2.0;
  // Odd widths centre on pixel centres, even widths between them, so a
  // horizontal line of width w covers exactly w rows.
  const double o = (Width % 2 == 0) ? 0.5 : 0.0;
  const double ax = A.X, ay = A.Y, bx = B.X, by = B.Y;
  const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy, len = std::sqrt(len2);
  const double yTop = std::min(ay, by) - r - o - 1, yBottom = std::max(ay, by) + r + 1;
  const int32_t y1 = std::max<int32_t>(Clip.Top, ToInt(std::floor(yTop)));
  const int32_t y2 = std::min<int32_t>(Clip.Bottom - 1, ToInt(std::ceil(yBottom)));
  for (int32_t y = y1; y <= y2; ++y) {
    const double yy = y + o;
    double l = HUGE_VAL, rr = -HUGE_VAL;
    for (const double* c : {&ax, &bx}) {  // the two round ends
      const double cy = (c == &ax) ? ay : by, ddy = yy - cy;
      if (ddy * ddy <= r * r + kEps) {
        const double h = std::sqrt(std::max(0.0, r * r - ddy * ddy));
        l = std::min(l, *c - h);
        rr = std::max(rr, *c + h);
      }
    }
    if (len2 > 0) {  // the band between the ends
      double x1, x2, x3, x4;
      if (LinearRange(dx, (yy - ay) * dy - ax * dx, 0, len2, x1, x2) &&
          LinearRange(-dy, dx * (yy - ay) + dy * ax, -r * len, r * len, x3, x4) && Intersect(x1, x2, x3, x4)) {
        l = std::min(l, x1);
        rr = std::max(rr, x2);
      }
    }
    if (l > rr) continue;
    AddSpan(Out, Clip, y, ToInt(std::ceil(l - o - kEps)), ToInt(std::floor(rr - o + kEps)));
  }
}

TShape RectShape(int32_t L, int32_t T, int32_t R, int32_t B) {
  TShape s;
  if (R < L || B < T) return s;
  s.Top = T;
  s.Bottom = B;
  s.Row = [L, R](int32_t, int32_t& l, int32_t& r) {
    l = L;
    r = R;
    return true;
  };
  return s;
}

TShape EllipseShape(int32_t L, int32_t T, int32_t R, int32_t B) {
  TShape s;
  if (R < L || B < T) return s;
  s.Top = T;
  s.Bottom = B;
  const double cx = (double(L) + R) / 2, cy = (double(T) + B) / 2;
  const double a = (double(R) - L + 1) / 2, b = (double(B) - T + 1) / 2;
  s.Row = [cx, cy, a, b](int32_t y, int32_t& l, int32_t& r) {
    const double t = (y - cy) / b;
    const double hw = a * std::sqrt(std::max(0.0, 1 - t * t));
    l = ToInt(std::ceil(cx - hw - kEps));
    r = ToInt(std::floor(cx + hw + kEps));
    if (l > r) {  // a narrow tip keeps the middle pixel(s), so the outline stays closed
      l = ToInt(std::floor(cx));
      r = ToInt(std::ceil(cx));
    }
    return true;
  };
  return s;
}

TShape RoundRectShape(int32_t L, int32_t T, int32_t R, int32_t B, int32_t EW, int32_t EH) {
  if (R < L || B < T) return TShape{};
  const int64_t w = int64_t(R) - L + 1, h = int64_t(B) - T + 1;
  const int32_t ew = int32_t(std::min<int64_t>(std::abs(int64_t(EW)), w));
  const int32_t eh = int32_t(std::min<int64_t>(std::abs(int64_t(EH)), h));
  if (ew < 2 || eh < 2) return RectShape(L, T, R, B);
  TShape s;
  s.Top = T;
  s.Bottom = B;
  const TShape corner = EllipseShape(0, 0, ew - 1, eh - 1);
  s.Row = [=](int32_t y, int32_t& l, int32_t& r) {
    const int32_t half = eh / 2;
    int32_t ey = -1;
    if (int64_t(y) - T < half) ey = int32_t(int64_t(y) - T);
    else if (int64_t(B) - y < half) ey = int32_t(eh - 1 - (int64_t(B) - y));
    if (ey < 0) {
      l = L;
      r = R;
      return true;
    }
    int32_t el, er;
    corner.Row(ey, el, er);
    l = int32_t(int64_t(L) + el);
    r = int32_t(int64_t(R) - (ew - 1 - er));
    return true;
  };
  return s;
}

void SplitShape(const TShape& Outer, const TShape* Inner, const TRect& Clip, TSpanList* Outline, TSpanList* Inside) {
  if (!Outer.Row || Outer.Top > Outer.Bottom) return;
  const int32_t y1 = std::max(Outer.Top, Clip.Top), y2 = std::min(Outer.Bottom, Clip.Bottom - 1);
  auto rowOf = [](const TShape& s, int64_t y, int32_t& l, int32_t& r) {
    return s.Row && y >= s.Top && y <= s.Bottom && s.Row(int32_t(y), l, r) && l <= r;
  };
  for (int32_t y = y1; y <= y2; ++y) {
    int32_t l, r;
    if (!rowOf(Outer, y, l, r)) continue;
    int64_t il = 1, ir = 0;  // inside, empty unless found
    if (Inner) {
      int32_t a, b;
      if (rowOf(*Inner, y, a, b)) {
        il = std::max(a, l);
        ir = std::min(b, r);
      }
    } else {
      int32_t lu, ru, ld, rd;
      if (rowOf(Outer, int64_t(y) - 1, lu, ru) && rowOf(Outer, int64_t(y) + 1, ld, rd)) {
        il = std::max<int64_t>({int64_t(l) + 1, lu, ld});
        ir = std::min<int64_t>({int64_t(r) - 1, ru, rd});
      }
    }
    if (il > ir) {
      if (Outline) AddSpan(*Outline, Clip, y, l, r);
      continue;
    }
    if (Outline) {
      AddSpan(*Outline, Clip, y, l, il - 1);
      AddSpan(*Outline, Clip, y, ir + 1, r);
    }
    if (Inside) AddSpan(*Inside, Clip, y, il, ir);
  }
}

void KeepSector(TSpanList& Spans, double CX, double CY, TPoint Start, TPoint End) {
  const double a0 = std::atan2(CY - Start.Y, Start.X - CX);
  const double a1 = std::atan2(CY - End.Y, End.X - CX);
  const double sweep = std::fmod(a1 - a0 + 4 * kPi, 2 * kPi);
  if (sweep == 0) return;  // equal rays: the whole ellipse
  TSpanList out;
  for (const TSpan& s : Spans) {
    int32_t runStart = 0;
    bool inRun = false;
    for (int32_t x = s.X1; x < s.X2; ++x) {
      const double a = std::atan2(CY - s.Y, x - CX);
      const bool keep = std::fmod(a - a0 + 4 * kPi, 2 * kPi) <= sweep + kEps;
      if (keep && !inRun) {
        runStart = x;
        inRun = true;
      } else if (!keep && inRun) {
        out.push_back(TSpan{s.Y, runStart, x});
        inRun = false;
      }
    }
    if (inRun) out.push_back(TSpan{s.Y, runStart, s.X2});
  }
  Spans.swap(out);
}

TPoint EllipsePointToward(int32_t L, int32_t T, int32_t R, int32_t B, TPoint P) {
  const double cx = (double(L) + R) / 2, cy = (double(T) + B) / 2;
  const double a = std::max(0.5, (double(R) - L) / 2), b = std::max(0.5, (double(B) - T) / 2);
  double dx = P.X - cx, dy = P.Y - cy;
  if (dx == 0 && dy == 0) dx = 1;
  const double t = 1 / std::sqrt((dx / a) * (dx / a) + (dy / b) * (dy / b));
  return TPoint{ToInt(std::lround(cx + t * dx)), ToInt(std::lround(cy + t * dy))};
}

void PolygonSpans(const TPoint* Points, int32_t Count, const TRect& Clip, TSpanList& Out) {
  if (!Points || Count < 3) return;
  int64_t minY = Points[0].Y, maxY = Points[0].Y;
  for (int32_t i = 1; i < Count; ++i) {
    minY = std::min<int64_t>(minY, Points[i].Y);
    maxY = std::max<int64_t>(maxY, Points[i].Y);
  }
  const int64_t y1 = std::max<int64_t>(minY, Clip.Top), y2 = std::min<int64_t>(maxY - 1, int64_t(Clip.Bottom) - 1);
  std::vector<double> xs;
  for (int64_t y = y1; y <= y2; ++y) {
    const double yc = double(y) + 0.5;  // pixel centres never meet an integer vertex
    xs.clear();
    for (int32_t i = 0; i < Count; ++i) {
      const TPoint& p = Points[i];
      const TPoint& q = Points[(i + 1) % Count];
      if (p.Y == q.Y) continue;
      const double py = p.Y, qy = q.Y;
      if (yc < std::min(py, qy) || yc >= std::max(py, qy)) continue;
      xs.push_back(p.X + (yc - py) * (double(q.X) - p.X) / (qy - py));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t k = 0; k + 1 < xs.size(); k += 2) {
      const int64_t x1 = ToInt(std::ceil(xs[k] - 0.5)), x2 = ToInt(std::ceil(xs[k + 1] - 0.5)) - 1;
      AddSpan(Out, Clip, int32_t(y), x1, x2);
    }
  }
}

namespace {

template <typename F>
void FloodSpansT(const TBitmap& Bitmap, const TRect& C, int32_t X, int32_t Y, uint32_t Value, bool Surface,
                 TSpanList& Out) {
  const uint8_t* base = Bitmap.Bits();
  const int64_t rowBytes = Bitmap.RowBytes();
  const int64_t w = int64_t(C.Right) - C.Left, h = int64_t(C.Bottom) - C.Top;
  std::vector<uint64_t> visited(size_t((w * h + 63) / 64), 0);
  auto bit = [&](int32_t x, int32_t y) { return (int64_t(y) - C.Top) * w + (int64_t(x) - C.Left); };
  auto seen = [&](int32_t x, int32_t y) {
    const int64_t b = bit(x, y);
    return (visited[size_t(b >> 6)] >> (b & 63)) & 1;
  };
  auto match = [&](int32_t x, int32_t y) { return (F::Get(base + y * rowBytes, x) == Value) == Surface; };
  auto open = [&](int32_t x, int32_t y) { return !seen(x, y) && match(x, y); };

  std::vector<TPoint> stack{TPoint{X, Y}};
  while (!stack.empty()) {
    const TPoint p = stack.back();
    stack.pop_back();
    if (!open(p.X, p.Y)) continue;
    int32_t l = p.X, r = p.X;
    while (l > C.Left && open(l - 1, p.Y)) --l;
    while (r + 1 < C.Right && open(r + 1, p.Y)) ++r;
    for (int32_t x = l; x <= r; ++x) {
      const int64_t b = bit(x, p.Y);
      visited[size_t(b >> 6)] |= uint64_t(1) << (b & 63);
    }
    Out.push_back(TSpan{p.Y, l, r + 1});
    for (int32_t ny : {p.Y - 1, p.Y + 1}) {
      if (ny < C.Top || ny >= C.Bottom) continue;
      for (int32_t x = l; x <= r; ++x) {
        if (!open(x, ny)) continue;
        stack.push_back(TPoint{x, ny});
        while (x + 1 <= r && open(x + 1, ny)) ++x;
      }
    }
  }
}

}  // namespace

void FloodSpans(const TBitmap& Bitmap, const TRect& Clip, int32_t X, int32_t Y, uint32_t Value, bool Surface,
                TSpanList& Out) {
  if (!Bitmap.Bits() || X < Clip.Left || X >= Clip.Right || Y < Clip.Top || Y >= Clip.Bottom) return;
  DispatchFormat(Bitmap.PixelFormat(),
                 [&](auto f) { FloodSpansT<decltype(f)>(Bitmap, Clip, X, Y, Value, Surface, Out); });
}

}  // namespace kv::gfx
