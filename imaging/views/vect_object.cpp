// Vector objects: the list, its bitmap table, hit testing and measuring.
#include "imaging/views/vect_object.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "imaging/processing/bitmap_utils.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

const char* IMUnitLabel(TIMUnits Unit) {
  static const char* const labels[] = {"pixels", "inches", "km", "mt", "cm", "mm", "microns", "nanometers"};
  return Unit <= imuNANOMETERS ? labels[Unit] : "";
}

TRect OrderedBox(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  return TRect{std::min(X1, X2), std::min(Y1, Y2), std::max(X1, X2), std::max(Y1, Y2)};
}

void OrderObjectBox(TIMVObject& O) {
  if (KeepsEndPoints(O.Kind)) return;
  const TRect r = OrderedBox(O);
  O.x1 = r.Left;
  O.y1 = r.Top;
  O.x2 = r.Right;
  O.y2 = r.Bottom;
}

double SegmentDistance(double PX, double PY, double X1, double Y1, double X2, double Y2) {
  const double dx = X2 - X1, dy = Y2 - Y1;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((PX - X1) * dx + (PY - Y1) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(PX - (X1 + t * dx), PY - (Y1 + t * dy));
}

std::vector<std::pair<double, double>> EllipseHitPolygon(const TIMVObject& O) {
  const TRect b = OrderedBox(O);
  const double hw = (double(b.Right) - b.Left) / 2, hh = (double(b.Bottom) - b.Top) / 2;
  const double cx = b.Left + hw, cy = b.Top + hh;
  // Capped so that an ellipse of a huge box costs a bounded walk.
  const int64_t n = std::min<int64_t>(Trunc(std::min(hw, hh) * 2 * std::numbers::pi) >> 3, 1 << 16);
  std::vector<std::pair<double, double>> pts;
  if (n <= 0) return pts;
  pts.reserve(size_t(n));
  const double step = 2 * std::numbers::pi / double(n);
  for (int64_t k = 0; k < n; ++k)
    pts.emplace_back(cx + std::cos(step * double(k)) * hw, cy + std::sin(step * double(k)) * hh);
  return pts;
}

std::vector<std::pair<double, double>> MappedPolyline(const TIMVObject& O) {
  std::vector<std::pair<double, double>> out;
  out.reserve(O.Points.size());
  const TRect& rb = O.RecordedBox;
  const double rw = double(rb.Right) - rb.Left, rh = double(rb.Bottom) - rb.Top;
  const double sx = rw != 0 ? (double(O.x2) - O.x1) / rw : 1, sy = rh != 0 ? (double(O.y2) - O.y1) / rh : 1;
  for (const TPoint& p : O.Points)
    out.emplace_back(O.x1 + (double(p.X) - rb.Left) * sx, O.y1 + (double(p.Y) - rb.Top) * sy);
  return out;
}

double ObjectDistance(const TIMVObject& O, double X, double Y) {
  switch (O.Kind) {
    case imvkLine:
    case imvkRuler:
      return SegmentDistance(X, Y, O.x1, O.y1, O.x2, O.y2);
    case imvkEllipse:
    case imvkArc: {
      const auto pts = EllipseHitPolygon(O);
      if (pts.size() < 3) return -1;  // too small for two edges
      double best = std::numeric_limits<double>::max();
      for (size_t i = 0; i < pts.size(); ++i) {
        const auto& a = pts[i];
        const auto& b = pts[(i + 1) % pts.size()];
        best = std::min(best, SegmentDistance(X, Y, a.first, a.second, b.first, b.second));
      }
      return best;
    }
    case imvkPolyline: {
      const auto pts = MappedPolyline(O);
      if (pts.empty()) return -1;
      if (pts.size() == 1) return std::hypot(X - pts[0].first, Y - pts[0].second);
      double best = std::numeric_limits<double>::max();
      for (size_t i = 0; i + 1 < pts.size(); ++i)
        best = std::min(best, SegmentDistance(X, Y, pts[i].first, pts[i].second, pts[i + 1].first, pts[i + 1].second));
      return best;
    }
    case imvkBox:
    case imvkBitmap:
    case imvkText: {
      const TRect b = OrderedBox(O);
      const bool inside = X >= b.Left && X <= b.Right && Y >= b.Top && Y <= b.Bottom;
      if (inside && (O.Kind != imvkBox || O.BrushStyle != bsClear)) return 0;
      const double l = b.Left, t = b.Top, r = b.Right, bt = b.Bottom;
      return std::min({SegmentDistance(X, Y, l, t, r, t), SegmentDistance(X, Y, r, t, r, bt),
                       SegmentDistance(X, Y, l, bt, r, bt), SegmentDistance(X, Y, l, t, l, bt)});
    }
    default:
      // An empty record draws nothing and is never hit.
      return -1;
  }
}

double UnitSize(TIMUnits Unit, int32_t Dpi, double Scale, int32_t DefaultDpi) {
  if (Unit == imuPIXELS) return Scale;
  const double dpi = Dpi >= 1 ? Dpi : std::max(DefaultDpi, 1);
  double f = 1;
  switch (Unit) {
    case imuINCHES: f = 1; break;
    case imuKM: f = 2.54 / 100000; break;
    case imuMETERS: f = 2.54 / 100; break;
    case imuCENTIMETERS: f = 2.54; break;
    case imuMILLIMETERS: f = 2.54 * 10; break;
    case imuMICRONS: f = 2.54 * 10000; break;
    case imuNANOMETERS: f = 2.54 * 10000000; break;
    default: break;
  }
  return f / dpi * Scale;
}

double PolygonsPerimeter(const TPoint* Points, int32_t Count, double UX, double UY, bool CloseLast) {
  double sum = 0;
  int32_t first = 0;
  auto edge = [&](const TPoint& A, const TPoint& B) {
    sum += std::hypot((double(B.X) - A.X) * UX, (double(B.Y) - A.Y) * UY);
  };
  for (int32_t i = 0; i < Count; ++i) {
    if (Points[i].X == kPolygonSeparator) {
      if (i > first) edge(Points[i - 1], Points[first]);  // a break closes the polygon before it
      first = i + 1;
      continue;
    }
    if (i > first) edge(Points[i - 1], Points[i]);
  }
  if (CloseLast && Count > first + 1) edge(Points[Count - 1], Points[first]);
  return sum;
}

double PolygonsArea(const TPoint* Points, int32_t Count, double UX, double UY) {
  int32_t real = 0;
  for (int32_t i = 0; i < Count; ++i) real += Points[i].X != kPolygonSeparator;
  if (real < 3) return 0;
  double sum = 0;
  int32_t first = 0;
  auto edge = [&](const TPoint& A, const TPoint& B) {
    sum += (double(A.X) - B.X) * (double(A.Y) + B.Y);
  };
  for (int32_t i = 0; i <= Count; ++i) {
    if (i == Count || Points[i].X == kPolygonSeparator) {
      if (i - 1 > first) edge(Points[i - 1], Points[first]);
      first = i + 1;
      continue;
    }
    if (i > first) edge(Points[i - 1], Points[i]);
  }
  return std::abs(sum) / 2 * UX * UY;
}

std::vector<std::pair<double, double>> ClipPolygonToRect(const std::vector<std::pair<double, double>>& Poly,
                                                         double L, double T, double R, double B) {
  using P = std::pair<double, double>;
  std::vector<P> cur = Poly, next;
  // One edge of the rectangle at a time: Inside tells the side, Cut the crossing.
  auto pass = [&](auto Inside, auto Cut) {
    next.clear();
    for (size_t i = 0; i < cur.size(); ++i) {
      const P& a = cur[i];
      const P& b = cur[(i + 1) % cur.size()];
      const bool ia = Inside(a), ib = Inside(b);
      if (ia) next.push_back(a);
      if (ia != ib) next.push_back(Cut(a, b));
    }
    cur.swap(next);
  };
  auto atX = [](const P& a, const P& b, double x) {
    return P{x, a.second + (b.second - a.second) * (x - a.first) / (b.first - a.first)};
  };
  auto atY = [](const P& a, const P& b, double y) {
    return P{a.first + (b.first - a.first) * (y - a.second) / (b.second - a.second), y};
  };
  pass([&](const P& p) { return p.first >= L; }, [&](const P& a, const P& b) { return atX(a, b, L); });
  pass([&](const P& p) { return p.first <= R; }, [&](const P& a, const P& b) { return atX(a, b, R); });
  pass([&](const P& p) { return p.second >= T; }, [&](const P& a, const P& b) { return atY(a, b, T); });
  pass([&](const P& p) { return p.second <= B; }, [&](const P& a, const P& b) { return atY(a, b, B); });
  return cur;
}

std::vector<std::pair<double, double>> ArrowTriangle(double FromX, double FromY, double X, double Y, int32_t Shape,
                                                     double Width, double Length) {
  double dx = X - FromX, dy = Y - FromY;
  const double len = std::hypot(dx, dy);
  if (len <= 0 || Shape < 1 || Shape > 2) return {};
  dx /= len;
  dy /= len;
  const double nx = -dy * Width / 2, ny = dx * Width / 2;
  if (Shape == 1) {
    const double bx = X - dx * Length, by = Y - dy * Length;
    return {{X, Y}, {bx + nx, by + ny}, {bx - nx, by - ny}};
  }
  return {{X + dx * Length, Y + dy * Length}, {X + nx, Y + ny}, {X - nx, Y - ny}};
}

// ---- the list ----

TIMVObjectList::TIMVObjectList() = default;

int32_t TIMVObjectList::Resolve(int32_t Handle) const {
  if (Handle == kIMVLast) return FObjects.empty() ? kIMVNone : Count() - 1;
  if (Handle == kIMVTemplate) return kIMVTemplate;
  if (Handle >= 0 && Handle < Count()) return Handle;
  return kIMVNone;
}

TIMVObject* TIMVObjectList::Get(int32_t Handle) {
  const int32_t h = Resolve(Handle);
  if (h == kIMVTemplate) return &FTemplate;
  return h >= 0 ? &FObjects[size_t(h)] : nullptr;
}

const TIMVObject* TIMVObjectList::Get(int32_t Handle) const {
  return const_cast<TIMVObjectList*>(this)->Get(Handle);
}

bool TIMVObjectList::Exists(int32_t Handle) const {
  const int32_t h = Resolve(Handle);
  return h >= 0 && std::find(FDrawOrder.begin(), FDrawOrder.end(), h) != FDrawOrder.end();
}

int32_t TIMVObjectList::Add(const TIMVObject& Source, const TIMVObjectList* Bitmaps, bool ShareBitmaps) {
  if (Count() % 512 == 0) {
    FCapacity += 522;
    FObjects.reserve(size_t(FCapacity));
    FDrawOrder.reserve(size_t(FCapacity));
  }
  TIMVObject o = Source;  // strings, font and points are copies
  o.BitmapIndex = -1;
  const TIMVObjectList& from = Bitmaps ? *Bitmaps : *this;
  if (Source.BitmapIndex >= 0) {
    if (&from == this) {
      if (BitmapEntry(Source.BitmapIndex)) {
        RetainBitmap(Source.BitmapIndex);
        o.BitmapIndex = Source.BitmapIndex;
      }
    } else if (const TIMVBitmapEntry* e = from.BitmapEntry(Source.BitmapIndex)) {
      o.BitmapIndex = AddBitmap(*e->Bitmap, e->Alpha.get(), ShareBitmaps);
    }
  }
  OrderObjectBox(o);
  FObjects.push_back(std::move(o));
  FDrawOrder.push_back(Count() - 1);
  return Count() - 1;
}

void TIMVObjectList::Remove(int32_t Handle) {
  const int32_t h = Resolve(Handle);
  if (h < 0) return;
  TIMVObject& o = FObjects[size_t(h)];
  if (o.BitmapIndex >= 0) ReleaseBitmap(o.BitmapIndex);
  o = TIMVObject{};
  o.Flags = 0;
  FDrawOrder.erase(std::remove(FDrawOrder.begin(), FDrawOrder.end(), h), FDrawOrder.end());
  FSelected.erase(std::remove(FSelected.begin(), FSelected.end(), h), FSelected.end());
}

void TIMVObjectList::Clear() {
  FObjects.clear();
  FObjects.shrink_to_fit();
  FCapacity = 0;
  FDrawOrder.clear();
  FSelected.clear();
  FBitmaps.clear();
  FTemplate.BitmapIndex = -1;
}

bool TIMVObjectList::Select(int32_t Handle) {
  const int32_t h = Resolve(Handle);
  if (h < 0 || !(FObjects[size_t(h)].Flags & imvfSelectable) || IsSelected(h) || !Exists(h)) return false;
  FSelected.push_back(h);
  return true;
}

bool TIMVObjectList::IsSelected(int32_t Handle) const {
  const int32_t h = Resolve(Handle);
  return h >= 0 && std::find(FSelected.begin(), FSelected.end(), h) != FSelected.end();
}

bool TIMVObjectList::Unselect(int32_t Handle) {
  const int32_t h = Resolve(Handle);
  const auto it = std::find(FSelected.begin(), FSelected.end(), h);
  if (it == FSelected.end()) return false;
  FSelected.erase(it);
  return true;
}

const TIMVBitmapEntry* TIMVObjectList::BitmapEntry(int32_t Index) const {
  if (Index < 0 || Index >= BitmapEntryCount() || !FBitmaps[size_t(Index)].Bitmap) return nullptr;
  return &FBitmaps[size_t(Index)];
}

TIMVBitmapEntry* TIMVObjectList::BitmapEntry(int32_t Index) {
  return const_cast<TIMVBitmapEntry*>(static_cast<const TIMVObjectList*>(this)->BitmapEntry(Index));
}

int32_t TIMVObjectList::AddBitmap(const TBitmap& Source, const TIMMask* Alpha, bool Share) {
  // Pictures are kept as 24 or 1 bit, the two formats the drawing reads.
  std::unique_ptr<TBitmap> converted;
  if (Source.PixelFormat() != pf24bit && Source.PixelFormat() != pf1bit) {
    converted = std::make_unique<TBitmap>();
    converted->Assign(&Source);
    converted->SetPixelFormat(pf24bit);
  }
  const TBitmap& Bitmap = converted ? *converted : Source;
  if (Share) {
    for (int32_t i = 0; i < BitmapEntryCount(); ++i) {
      TIMVBitmapEntry& e = FBitmaps[size_t(i)];
      if (e.Bitmap && CompareBitmaps(*e.Bitmap, Bitmap)) {
        ++e.RefCount;
        return i;
      }
    }
  }
  int32_t idx = 0;
  while (idx < BitmapEntryCount() && FBitmaps[size_t(idx)].Bitmap) ++idx;
  if (idx == BitmapEntryCount()) FBitmaps.emplace_back();
  TIMVBitmapEntry& e = FBitmaps[size_t(idx)];
  if (converted) {
    e.Bitmap = std::move(converted);
  } else {
    e.Bitmap = std::make_unique<TBitmap>();
    e.Bitmap->Assign(&Bitmap);
  }
  e.Alpha = std::make_unique<TIMMask>();
  if (Alpha && Alpha->BitsPerPixel == 8 && Alpha->Width == Bitmap.Width() && Alpha->Height == Bitmap.Height()) {
    e.Alpha->Assign(Alpha);
  } else {
    e.Alpha->AllocateBits(Bitmap.Width(), Bitmap.Height(), 8);
    e.Alpha->Fill(255);
    e.Alpha->Full = true;
  }
  e.RefCount = 1;
  return idx;
}

void TIMVObjectList::RetainBitmap(int32_t Index) {
  if (TIMVBitmapEntry* e = BitmapEntry(Index)) ++e->RefCount;
}

void TIMVObjectList::ReleaseBitmap(int32_t Index) {
  TIMVBitmapEntry* e = BitmapEntry(Index);
  if (!e) return;
  if (e->RefCount <= 1) {
    e->Bitmap.reset();
    e->Alpha.reset();
    e->RefCount = 0;
  } else {
    --e->RefCount;
  }
}

int32_t TIMVObjectList::FindObjectAt(int32_t X, int32_t Y, bool SelectableOnly, const TRect& Visible, double Zoom,
                                     int32_t MaxDistance) const {
  double best = 2147483647.0;
  int32_t found = kIMVNone;
  for (auto it = FDrawOrder.rbegin(); it != FDrawOrder.rend(); ++it) {
    const TIMVObject& o = FObjects[size_t(*it)];
    if (SelectableOnly && !(o.Flags & imvfSelectable)) continue;
    const TRect b = OrderedBox(o);
    if (b.Right < Visible.Left || b.Left > Visible.Right || b.Bottom < Visible.Top || b.Top > Visible.Bottom) continue;
    // Every kind lies within its box: one whose box is no nearer than the best cannot win.
    const double bx = std::max({double(b.Left) - X, 0.0, double(X) - b.Right});
    const double by = std::max({double(b.Top) - Y, 0.0, double(Y) - b.Bottom});
    if (std::hypot(bx, by) >= best) continue;
    const double d = ObjectDistance(o, X, Y);
    if (d < 0) continue;
    if (d < best) {
      best = d;
      found = *it;
    }
  }
  if (found >= 0 && MaxDistance >= 0 && Zoom > 0 && best > MaxDistance * 100.0 / Zoom) return kIMVNone;
  return found;
}

}  // namespace kv
