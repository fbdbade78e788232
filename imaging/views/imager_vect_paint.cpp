// TImagerVect: drawing the objects over the picture, their grips, the rubber
// shapes of the mouse and the measure hint.
//
// Object coordinates are mapped to the screen in double precision: far
// outside the bitmap or at deep zooms they leave the 32-bit range, so shapes
// whose corners lie beyond kSafe are clipped here first and the canvas only
// sees coordinates near the window.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "imaging/formats/codec.h"
#include "imaging/processing/resample.h"
#include "imaging/views/imager_vect.h"
#include "imaging/views/view_render.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

constexpr double kSafe = 1 << 24;
using TPt = std::pair<double, double>;

int32_t Px(double V) { return int32_t(std::llround(std::clamp(V, -2e9, 2e9))); }

bool Safe(double V) { return V > -kSafe && V < kSafe; }

// Screen clip widened by Margin pixels on each side.
struct TBox {
  double L, T, R, B;
};
TBox Widen(const TRect& R, double Margin) {
  return TBox{R.Left - Margin, R.Top - Margin, R.Right + Margin, R.Bottom + Margin};
}

void Segment(TCanvas& C, const TRect& Clip, double X0, double Y0, double X1, double Y1, double Margin) {
  if (Safe(X0) && Safe(Y0) && Safe(X1) && Safe(Y1)) {
    C.MoveTo(Px(X0), Px(Y0));
    C.LineTo(Px(X1), Px(Y1));
    return;
  }
  const TBox w = Widen(Clip, Margin);
  const TRect r = Rect(int32_t(w.L), int32_t(w.T), int32_t(w.R), int32_t(w.B));
  if (!ClipSegment(X0, Y0, X1, Y1, r)) return;
  C.MoveTo(Px(X0), Px(Y0));
  C.LineTo(Px(X1), Px(Y1));
}

// A filled polygon (brush) and its outline (pen), clipped near the window first when it reaches far.
void Poly(TCanvas& C, const TRect& Clip, const std::vector<TPt>& Pts, double Margin) {
  if (Pts.size() < 2) return;
  bool safe = true;
  for (const TPt& p : Pts) safe = safe && Safe(p.first) && Safe(p.second);
  if (safe) {
    std::vector<TPoint> q;
    q.reserve(Pts.size());
    for (const TPt& p : Pts) q.push_back(TPoint{Px(p.first), Px(p.second)});
    C.Polygon(q);
    return;
  }
  const TBox w = Widen(Clip, Margin);
  if (C.Brush().Style() != bsClear) {
    const auto clipped = ClipPolygonToRect(Pts, w.L, w.T, w.R, w.B);
    if (clipped.size() >= 3) {
      std::vector<TPoint> q;
      for (const TPt& p : clipped) q.push_back(TPoint{Px(p.first), Px(p.second)});
      const TPenStyle ps = C.Pen().Style();
      C.Pen().SetStyle(psClear);
      C.Polygon(q);
      C.Pen().SetStyle(ps);
    }
  }
  for (size_t i = 0; i < Pts.size(); ++i) {
    const TPt& a = Pts[i];
    const TPt& b = Pts[(i + 1) % Pts.size()];
    Segment(C, Clip, a.first, a.second, b.first, b.second, Margin);
  }
}

// An ellipse in the box as a polygon, for boxes too large for the canvas's own.
std::vector<TPt> EllipsePoints(double L, double T, double R, double B, double A0, double A1, bool Whole) {
  const double cx = (L + R) / 2, cy = (T + B) / 2, hw = (R - L) / 2, hh = (B - T) / 2;
  constexpr int kSteps = 8192;
  std::vector<TPt> pts;
  double span = Whole ? 2 * std::numbers::pi : A1 - A0;
  if (!Whole) {
    while (span <= 0) span += 2 * std::numbers::pi;
  }
  for (int k = 0; k <= kSteps; ++k) {
    const double a = A0 - span * k / kSteps;  // counter-clockwise on screen: y grows downwards
    pts.emplace_back(cx + std::cos(a) * hw, cy + std::sin(a) * hh);
  }
  return pts;
}

// Src (pf24bit or pf1bit) stretched into the screen box L..R-1 x T..B-1 of
// Target within Clip, sampling as the canvas's StretchDraw does; each channel
// moves toward the source by the mask's value (all opaque without a mask).
void BlendStretch(TBitmap& Target, const TRect& Clip, const TBitmap& Src, const TIMMask* Alpha, int64_t L, int64_t T,
                  int64_t R, int64_t B) {
  const TPixelFormat tf = Target.PixelFormat();
  if ((tf != pf24bit && tf != pf32bit) || Src.Width() <= 0 || Src.Height() <= 0 || R <= L || B <= T) return;
  const int32_t bpp = tf == pf24bit ? 3 : 4;
  const int32_t x0 = int32_t(std::max<int64_t>(Clip.Left, L)), x1 = int32_t(std::min<int64_t>(Clip.Right, R));
  const int32_t y0 = int32_t(std::max<int64_t>(Clip.Top, T)), y1 = int32_t(std::min<int64_t>(Clip.Bottom, B));
  if (x0 >= x1 || y0 >= y1) return;
  const int32_t sw = Src.Width(), sh = Src.Height();
  auto map = [](int64_t I, int64_t SLen, int64_t DLen, int32_t Limit) {
    return std::clamp(int32_t((__int128(2) * I + 1) * SLen / (__int128(2) * DLen)), 0, Limit - 1);
  };
  std::vector<int32_t> xs(size_t(x1 - x0));
  for (int32_t x = x0; x < x1; ++x) xs[size_t(x - x0)] = map(x - L, sw, R - L, sw);
  const bool mono = Src.PixelFormat() == pf1bit;
  const bool useAlpha = Alpha && !Alpha->Full && Alpha->Width == sw && Alpha->Height == sh;
  for (int32_t y = y0; y < y1; ++y) {
    const int32_t sy = map(y - T, sh, B - T, sh);
    const uint8_t* s = static_cast<const uint8_t*>(Src.ScanLine(sy));
    const uint8_t* a = useAlpha ? Alpha->ScanLine(sy) : nullptr;
    uint8_t* d = static_cast<uint8_t*>(Target.ScanLine(y)) + size_t(x0) * bpp;
    for (int32_t x = x0; x < x1; ++x, d += bpp) {
      const int32_t sx = xs[size_t(x - x0)];
      uint8_t px[3];
      if (mono) {
        const uint8_t v = ((s[sx >> 3] >> (7 - (sx & 7))) & 1) ? 255 : 0;
        px[0] = px[1] = px[2] = v;
      } else {
        px[0] = s[sx * 3];
        px[1] = s[sx * 3 + 1];
        px[2] = s[sx * 3 + 2];
      }
      const int32_t av = a ? a[sx] : 255;
      if (av == 255) {
        d[0] = px[0];
        d[1] = px[1];
        d[2] = px[2];
      } else if (av != 0) {
        for (int k = 0; k < 3; ++k) d[k] = uint8_t(d[k] + (int32_t(px[k]) - d[k]) * av / 256);
      }
    }
  }
}

}  // namespace

double TImagerVect::XToScr(double X) const {
  return (double(Round(-ViewX() * (100.0 / Zoom()))) + X) * ZoomFactor() + OffsetX();
}

double TImagerVect::YToScr(double Y) const {
  return (double(Round(-ViewY() * (100.0 / Zoom()))) + Y) * ZoomFactor() + OffsetY();
}

void TImagerVect::PaintLayer(TCanvas& C, const TRect& R) {
  if (ComponentState().Contains(csDesigning)) return;
  DrawObjects(C, R, true);
  DrawRubber(C, R);
  DrawHint(C);
}

void TImagerVect::DrawTo(TBitmap& Target, const TRect* Clip) {
  TImagerView::DrawTo(Target, Clip);
  if (RenderingCache()) return;  // the window's objects are drawn at every paint instead
  const TRect all = Rect(0, 0, Target.Width(), Target.Height());
  const TRect c = Clip ? Rect(std::max(Clip->Left, 0), std::max(Clip->Top, 0), std::min(Clip->Right, all.Right),
                              std::min(Clip->Bottom, all.Bottom))
                       : all;
  if (c.Width() <= 0 || c.Height() <= 0) return;
  TCanvas& cv = Target.Canvas();
  cv.SetClipRect(c);
  DrawObjects(cv, c, true);
  cv.ResetClipRect();
}

void TImagerVect::PaintTo(TBitmap& Target) {
  TImagerView::PaintTo(Target);
  if (RenderingCache()) return;
  const TRect all = Rect(0, 0, Target.Width(), Target.Height());
  if (all.Width() <= 0 || all.Height() <= 0) return;
  DrawObjects(Target.Canvas(), all, false);
}

void TImagerVect::DrawObjects(TCanvas& C, const TRect& Clip, bool Blend) {
  const double zf = ZoomFactor();
  if (zf <= 0) return;
  const TRect vis = VisibleBitmapRect();
  for (int32_t h : FObjects.DrawOrder()) {
    const TIMVObject& o = *FObjects.Get(h);
    if (!(o.Flags & imvfVisible) || o.Kind == imvkNone) continue;
    // Wide pens, arrow ends and ruler labels reach past the box.
    const double reach = (double(std::max(o.PenWidth, 0)) + std::max(o.ShapeWidth, o.ShapeHeight)) +
                         (o.Kind == imvkRuler ? 64 / zf : 0) + 1;
    const TRect b = OrderedBox(o);
    if (b.Right + reach < vis.Left || b.Left - reach > vis.Right || b.Bottom + reach < vis.Top ||
        b.Top - reach > vis.Bottom)
      continue;
    DrawObject(C, Clip, o, Blend, h == FTextEditHandle);
  }
  for (int32_t h : FObjects.Selected())
    if (const TIMVObject* o = FObjects.Get(h)) DrawGrips(C, *o);
}

void TImagerVect::DrawObject(TCanvas& C, const TRect& Clip, const TIMVObject& O, bool Blend, bool Editing) {
  const double zf = ZoomFactor();
  // A pen far wider than the window covers it wherever it crosses it; the
  // cap keeps the rasteriser's work in step with the window.
  const double cap = 2.0 * (double(Clip.Width()) + Clip.Height()) + 64;
  const double pw = FZoomObjectsWidth ? std::max(1.0, std::trunc(O.PenWidth * zf)) : std::max(O.PenWidth, 1);
  const int32_t penW = int32_t(std::min(pw, cap));
  TPen& pen = C.Pen();
  TBrush& brush = C.Brush();
  pen.SetColor(O.PenColor);
  pen.SetStyle(O.PenStyle);
  pen.SetWidth(penW);
  pen.SetMode(pmCopy);
  brush.SetColor(O.BrushColor);
  brush.SetStyle(O.BrushStyle);
  const double margin = penW + 4;
  switch (O.Kind) {
    case imvkLine: {
      double l = XToScr(O.x1), t = YToScr(O.y1), r = XToScr(O.x2), b = YToScr(O.y2);
      if (Safe(l) && Safe(t) && Safe(r) && Safe(b)) {
        // On whole pixels, so that the arrows sit where the line ends.
        l = Px(l);
        t = Px(t);
        r = Px(r);
        b = Px(b);
      }
      Segment(C, Clip, l, t, r, b, margin);
      if (O.StartShape || O.EndShape) {
        const double sw = std::min(O.ShapeWidth * zf, 1e12), sh = std::min(O.ShapeHeight * zf, 1e12);
        brush.SetColor(O.PenColor);
        brush.SetStyle(bsSolid);
        pen.SetWidth(1);
        pen.SetStyle(psSolid);
        if (O.StartShape) Poly(C, Clip, ArrowTriangle(r, b, l, t, O.StartShape, sw, sh), 4);
        if (O.EndShape) Poly(C, Clip, ArrowTriangle(l, t, r, b, O.EndShape, sw, sh), 4);
      }
      break;
    }
    case imvkBox:
    case imvkEllipse:
    case imvkArc: {
      const TRect ob = OrderedBox(O);
      double L = XToScr(ob.Left), T = YToScr(ob.Top), R = XToScr(double(ob.Right) + 1), B = YToScr(double(ob.Bottom) + 1);
      if (O.Kind == imvkBox) {
        if (!(Safe(L) && Safe(T) && Safe(R) && Safe(B))) {
          // Edges beyond the window may move to just outside it: the visible pixels stay the same.
          const TBox w = Widen(Clip, margin);
          L = std::clamp(L, w.L, w.R);
          R = std::clamp(R, w.L, w.R);
          T = std::clamp(T, w.T, w.B);
          B = std::clamp(B, w.T, w.B);
        }
        C.Rectangle(Px(L), Px(T), Px(R), Px(B));
        break;
      }
      const double hw = (double(ob.Right) + 1 - ob.Left) / 2, hh = (double(ob.Bottom) + 1 - ob.Top) / 2;
      const double cx = ob.Left + hw, cy = ob.Top + hh;
      if (Safe(L) && Safe(T) && Safe(R) && Safe(B)) {
        if (O.Kind == imvkEllipse) {
          C.Ellipse(Px(L), Px(T), Px(R), Px(B));
        } else {
          const double sx = XToScr(cx + std::cos(O.ArcStart) * hw), sy = YToScr(cy + std::sin(O.ArcStart) * hh);
          const double ex = XToScr(cx + std::cos(O.ArcEnd) * hw), ey = YToScr(cy + std::sin(O.ArcEnd) * hh);
          C.Arc(Px(L), Px(T), Px(R), Px(B), Px(sx), Px(sy), Px(ex), Px(ey));
        }
      } else {
        const bool whole = O.Kind == imvkEllipse;
        // Angles on screen are measured counter-clockwise, as the canvas's arcs run.
        auto pts = EllipsePoints(L, T, R, B, -O.ArcStart, -O.ArcEnd, whole);
        if (whole) {
          Poly(C, Clip, pts, margin);
        } else {
          for (size_t i = 0; i + 1 < pts.size(); ++i)
            Segment(C, Clip, pts[i].first, pts[i].second, pts[i + 1].first, pts[i + 1].second, margin);
        }
      }
      break;
    }
    case imvkBitmap:
      DrawBitmapObject(C, Clip, O, Blend);
      break;
    case imvkText:
      DrawTextObject(C, Clip, O, Editing);
      break;
    case imvkRuler:
      DrawRuler(C, Clip, O, penW);
      break;
    case imvkPolyline: {
      const auto pts = MappedPolyline(O);
      if (pts.size() == 1) {
        Segment(C, Clip, XToScr(pts[0].first), YToScr(pts[0].second), XToScr(pts[0].first) + 1,
                YToScr(pts[0].second), margin);
      }
      bool safe = true;
      std::vector<TPt> s;
      s.reserve(pts.size());
      for (const TPt& p : pts) {
        s.emplace_back(XToScr(p.first), YToScr(p.second));
        safe = safe && Safe(s.back().first) && Safe(s.back().second);
      }
      if (safe && s.size() > 1) {
        std::vector<TPoint> q;
        q.reserve(s.size());
        for (const TPt& p : s) q.push_back(TPoint{Px(p.first), Px(p.second)});
        C.Polyline(q);
      } else {
        for (size_t i = 0; i + 1 < s.size(); ++i)
          Segment(C, Clip, s[i].first, s[i].second, s[i + 1].first, s[i + 1].second, margin);
      }
      break;
    }
    default:
      break;
  }
}

void TImagerVect::DrawBitmapObject(TCanvas& C, const TRect& Clip, const TIMVObject& O, bool Blend) {
  const TRect ob = OrderedBox(O);
  double L = XToScr(ob.Left), T = YToScr(ob.Top), R = XToScr(double(ob.Right) + 1), B = YToScr(double(ob.Bottom) + 1);
  const TIMVBitmapEntry* e = FObjects.BitmapEntry(O.BitmapIndex);
  if (!e) {
    const double margin = C.Pen().Width() + 4;
    const TBox w = Widen(Clip, margin);
    // The diagonals first, from the true corners; then the box, clamped near the window.
    Segment(C, Clip, L, T, R, B, margin);
    Segment(C, Clip, R, T, L, B, margin);
    C.Rectangle(Px(std::clamp(L, w.L, w.R)), Px(std::clamp(T, w.T, w.B)), Px(std::clamp(R, w.L, w.R)),
                Px(std::clamp(B, w.T, w.B)));
    return;
  }
  const TBitmap* pic = e->Bitmap.get();
  const TIMMask* alpha = e->Alpha.get();
  std::unique_ptr<TBitmap> resampled;
  std::unique_ptr<TIMMask> resampledAlpha;
  const int32_t bw = ob.Right - ob.Left + 1, bh = ob.Bottom - ob.Top + 1;
  const bool dragging = FShapeDrag || FGrip != 0;
  if (FBitmapResampleFilter != rfNone && !dragging && pic->PixelFormat() == pf24bit && bw > 1 && bh > 1 &&
      int64_t(bw) * bh <= int64_t(4096) * 4096 && (bw != pic->Width() || bh != pic->Height())) {
    resampled = std::make_unique<TBitmap>(bw, bh, pf24bit);
    ResampleBitmapProgress(*pic, *resampled, FBitmapResampleFilter, this, nullptr);
    pic = resampled.get();
    if (alpha && !alpha->Full) {
      resampledAlpha = std::make_unique<TIMMask>();
      resampledAlpha->AllocateBits(bw, bh, 8);
      ResampleMask(*alpha, *resampledAlpha, FBitmapResampleFilter);
      alpha = resampledAlpha.get();
    }
  }
  auto i64 = [](double V) { return int64_t(std::llround(std::clamp(V, -4e18, 4e18))); };
  if (!Blend && Safe(L) && Safe(T) && Safe(R) && Safe(B)) {
    C.StretchDraw(Rect(Px(L), Px(T), Px(R), Px(B)), *pic);  // without alpha
  } else {
    const TRect clip = Rect(std::max(Clip.Left, C.ClipRect().Left), std::max(Clip.Top, C.ClipRect().Top),
                            std::min(Clip.Right, C.ClipRect().Right), std::min(Clip.Bottom, C.ClipRect().Bottom));
    BlendStretch(C.Bitmap(), clip, *pic, Blend ? alpha : nullptr, i64(L), i64(T), i64(R), i64(B));
  }
}

void TImagerVect::DrawTextObject(TCanvas& C, const TRect& Clip, const TIMVObject& O, bool Editing) {
  const TRect ob = OrderedBox(O);
  const double L = XToScr(ob.Left), T = YToScr(ob.Top), R = XToScr(double(ob.Right) + 1),
               B = YToScr(double(ob.Bottom) + 1);
  const double margin = C.Pen().Width() + 4;
  const TBox w = Widen(Clip, margin);
  const int32_t l = Px(std::clamp(L, w.L, w.R)), t = Px(std::clamp(T, w.T, w.B)), r = Px(std::clamp(R, w.L, w.R)),
                b = Px(std::clamp(B, w.T, w.B));
  if (Editing) {
    C.Brush().SetStyle(bsClear);
    C.Pen().SetWidth(1);
    C.Rectangle(l - 1, t - 1, r + 1, b + 1);
    return;
  }
  C.Rectangle(l, t, r, b);
  if (O.Text.empty()) return;
  const TRect box = Rect(std::max(l, Clip.Left), std::max(t, Clip.Top), std::min(r, Clip.Right),
                         std::min(b, Clip.Bottom));
  if (box.Width() <= 0 || box.Height() <= 0) return;
  const TIMVFont font = EffectiveFont(O);
  const double zf = ZoomFactor();
  double hgt = font.Height == 0 ? B - T : font.Height * zf;
  hgt = std::clamp(hgt, -4096.0, 4096.0);
  int32_t ih = int32_t(std::trunc(hgt));
  if (ih == 0) ih = -1;
  TFont& cf = C.Font();
  cf.SetName(font.FaceName);
  cf.SetHeight(ih);
  TFontStyles st;
  if (font.Weight >= 700) st.Include(fsBold);
  if (font.Italic) st.Include(fsItalic);
  if (font.Underline) st.Include(fsUnderline);
  if (font.StrikeOut) st.Include(fsStrikeOut);
  cf.SetStyle(st);
  cf.SetColor(O.PenColor);
  C.Brush().SetStyle(bsClear);
  const TSize ext = C.TextExtent(O.Text);
  const double a = font.Escapement / 10.0 * std::numbers::pi / 180;
  const double sa = std::sin(a), ca = std::cos(a);
  const double bw = r - l, bh = b - t;
  double x = 0;
  switch (O.TextAlign) {
    case 1: x = std::trunc(bw - ca * ext.cx); break;
    case 2: x = double(Sar(Trunc(bw - ca * ext.cx - sa * ext.cy), 1)); break;
    default: x = std::abs(std::trunc(sa * ext.cy)); break;
  }
  const double y = double(Sar(Trunc(sa * ext.cx + bh - ca * ext.cy), 1));
  const double tx = l + x, ty = t + y;
  if (!Safe(tx) || !Safe(ty)) return;
  C.TextRectAngle(box, Px(tx), Px(ty), font.Escapement, O.Text);
}

void TImagerVect::DrawRuler(TCanvas& C, const TRect& Clip, const TIMVObject& O, double PenW) {
  const double x0 = XToScr(O.x1), y0 = YToScr(O.y1), x1 = XToScr(O.x2), y1 = YToScr(O.y2);
  const double margin = PenW + 16;
  Segment(C, Clip, x0, y0, x1, y1, margin);
  const double slen = std::hypot(x1 - x0, y1 - y0);
  if (slen < 1) return;
  const double ux = (x1 - x0) / slen, uy = (y1 - y0) / slen;  // along the line
  const double nx = -uy, ny = ux;                               // across it
  C.Pen().SetWidth(1);
  C.Pen().SetStyle(psSolid);
  auto tick = [&](double X, double Y, double Len) {
    Segment(C, Clip, X - nx * Len / 2, Y - ny * Len / 2, X + nx * Len / 2, Y + ny * Len / 2, margin);
  };
  TFont& f = C.Font();
  f.SetName("Arial");
  f.SetSize(10);
  f.SetStyle(TFontStyles{});
  f.SetColor(O.PenColor);
  C.Brush().SetStyle(bsClear);
  // Labels run along the line and stay upright.
  double deg = -std::atan2(uy, ux) * 180 / std::numbers::pi;
  double dx = ux, dy = uy;
  const bool flipped = deg > 90 || deg < -90;
  if (flipped) {
    deg += deg > 0 ? -180 : 180;
    dx = -ux;
    dy = -uy;
  }
  const int32_t esc = int32_t(std::lround(deg * 10));
  const double downX = -dy, downY = dx;  // the text's downward direction
  // Shift 0 starts the text at (X, Y), 1 ends it there, 0.5 centres it; Lift raises it off the line.
  auto label = [&](double X, double Y, const std::string& Text, double Shift, double Lift) {
    const TSize ext = LabelImage(C, Text, esc).Extent;
    const double ax = X - dx * ext.cx * Shift - downX * (ext.cy + Lift);
    const double ay = Y - dy * ext.cx * Shift - downY * (ext.cy + Lift);
    if (!Safe(ax) || !Safe(ay)) return;
    DrawLabel(C, Clip, Px(ax), Px(ay), Text, esc);
  };
  const double len = RulerLen(O);
  if (O.RulerType == imvrGraduated) {
    if (len <= 0) return;
    // No more ticks than the line has pixels.
    const double ticks = std::floor(len * 10 + 1e-9);
    if (ticks > slen || ticks > 1e6) return;
    for (int64_t k = 0; k <= int64_t(ticks); ++k) {
      const double fr = double(k) / (len * 10);
      const double X = x0 + ux * slen * fr, Y = y0 + uy * slen * fr;
      const double tl = k % 10 == 0 ? 12 : k % 5 == 0 ? 8 : 6;
      tick(X, Y, tl);
      if (k % 10 == 0) label(X, Y, IntToStr(int64_t(k / 10)), 0.5, tl / 2);
    }
    return;
  }
  tick(x0, y0, 9);
  tick(x1, y1, 9);
  const std::string text =
      std::string(IMUnitLabel(O.RulerUnit)) + " " + FloatToStrF(len, ffFixed, FFloatPrecision, FFloatDigits);
  switch (O.RulerType) {
    case imvrLabelStart: label(x0, y0, text, flipped ? 1 : 0, 2); break;
    case imvrLabelEnd: label(x1, y1, text, flipped ? 0 : 1, 2); break;
    default: label((x0 + x1) / 2, (y0 + y1) / 2, text, 0.5, 2); break;
  }
}

const TImagerVect::TLabelImage& TImagerVect::LabelImage(TCanvas& C, const std::string& Text, int32_t Escapement) {
  const TFont& f = C.Font();
  const std::string key = Text + '\x01' + std::to_string(Escapement) + '\x01' + f.Name() + '\x01' +
                          std::to_string(f.Height()) + '\x01' + std::to_string(f.Style().ToMask());
  auto it = FLabels.find(key);
  if (it != FLabels.end()) return it->second;
  if (FLabels.size() >= 4096) FLabels.clear();  // bounded: labels change with every edit and zoom
  const TSize ext = C.TextExtent(Text);
  const double a = Escapement / 10.0 * std::numbers::pi / 180, ca = std::cos(a), sa = std::sin(a);
  // Corners of the text cell turned counter-clockwise on screen about its top-left.
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  for (const TPt& p : {TPt{double(ext.cx), 0}, TPt{0, double(ext.cy)}, TPt{double(ext.cx), double(ext.cy)}}) {
    const double x = p.first * ca + p.second * sa, y = -p.first * sa + p.second * ca;
    minX = std::min(minX, x);
    minY = std::min(minY, y);
    maxX = std::max(maxX, x);
    maxY = std::max(maxY, y);
  }
  TLabelImage img;
  img.Extent = ext;
  img.DX = int32_t(std::ceil(-minX)) + 1;
  img.DY = int32_t(std::ceil(-minY)) + 1;
  const int32_t w = std::max(1, int32_t(std::ceil(maxX)) + img.DX + 2);
  const int32_t h = std::max(1, int32_t(std::ceil(maxY)) + img.DY + 2);
  TBitmap cov(w, h, pf24bit);
  TCanvas& c = cov.Canvas();
  c.Brush().SetColor(clBlack);
  c.FillRect(Rect(0, 0, w, h));
  c.Font().Assign(f);
  c.Font().SetColor(clWhite);
  c.Brush().SetStyle(bsClear);
  c.TextRectAngle(Rect(0, 0, w, h), img.DX, img.DY, Escapement, Text);
  img.Width = w;
  img.Height = h;
  img.Alpha.resize(size_t(w) * h);
  img.Rows.assign(size_t(h), {0, 0});
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* row = static_cast<const uint8_t*>(cov.ScanLine(y));
    int32_t first = w, last = 0;
    for (int32_t x = 0; x < w; ++x) {
      const uint8_t v = row[x * 3 + 1];
      img.Alpha[size_t(y) * w + x] = v;
      if (v) {
        first = std::min(first, x);
        last = x + 1;
      }
    }
    if (first < last) img.Rows[size_t(y)] = {first, last};
  }
  return FLabels.emplace(key, std::move(img)).first->second;
}

void TImagerVect::DrawLabel(TCanvas& C, const TRect& Clip, int32_t X, int32_t Y, const std::string& Text,
                            int32_t Escapement) {
  TBitmap& t = C.Bitmap();
  if (t.PixelFormat() != pf24bit && t.PixelFormat() != pf32bit) {
    C.TextRectAngle(Clip, X, Y, Escapement, Text);
    return;
  }
  const TLabelImage& img = LabelImage(C, Text, Escapement);
  const TRect cr = C.ClipRect();
  const int32_t left = X - img.DX, top = Y - img.DY;
  const int32_t xl = std::max({left, Clip.Left, cr.Left}), xr = std::min({left + img.Width, Clip.Right, cr.Right});
  const int32_t y0 = std::max({top, Clip.Top, cr.Top}), y1 = std::min({top + img.Height, Clip.Bottom, cr.Bottom});
  if (xl >= xr || y0 >= y1) return;
  const TColorRef rgb = ColorToRGB(C.Font().Color());
  const int32_t pen[3] = {GetBValue(rgb), GetGValue(rgb), GetRValue(rgb)};
  const int32_t bpp = t.PixelFormat() == pf24bit ? 3 : 4;
  for (int32_t y = y0; y < y1; ++y) {
    const auto span = img.Rows[size_t(y - top)];
    const int32_t x0 = std::max(xl, left + span.first), x1 = std::min(xr, left + span.second);
    if (x0 >= x1) continue;
    const uint8_t* s = img.Alpha.data() + size_t(y - top) * img.Width + (x0 - left);
    uint8_t* d = static_cast<uint8_t*>(t.ScanLine(y)) + size_t(x0) * bpp;
    for (int32_t x = x0; x < x1; ++x, ++s, d += bpp) {
      const uint32_t v = *s;
      if (v == 0) continue;
      for (int k = 0; k < 3; ++k) d[k] = uint8_t((d[k] * (255 - v) + uint32_t(pen[k]) * v + 127) / 255);
    }
  }
}

void TImagerVect::DrawGrips(TCanvas& C, const TIMVObject& O) {
  TPen& pen = C.Pen();
  pen.SetMode(pmNot);
  pen.SetWidth(1);
  pen.SetStyle(psSolid);
  C.Brush().SetStyle(bsClear);
  const TRect cr = ClientRect();
  auto square = [&](double X, double Y) {
    if (X < cr.Left - 8 || X > cr.Right + 8 || Y < cr.Top - 8 || Y > cr.Bottom + 8) return;
    const int32_t x = Px(X), y = Px(Y);
    C.Rectangle(x - 4, y - 4, x + 5, y + 5);
  };
  const double l = XToScr(O.x1), t = YToScr(O.y1), r = XToScr(O.x2), b = YToScr(O.y2);
  square(l, t);
  square(r, b);
  if (O.Kind != imvkLine && O.Kind != imvkRuler) {
    square(r, t);
    square(l, b);
  }
  const double cx = (l + r) / 2, cy = (t + b) / 2;
  if (cx >= cr.Left - 8 && cx <= cr.Right + 8 && cy >= cr.Top - 8 && cy <= cr.Bottom + 8) {
    const int32_t x = Px(cx), y = Px(cy);
    const TPoint d[4] = {{x, y - 4}, {x + 4, y}, {x, y + 4}, {x - 4, y}};
    C.Polygon(d, 4);
  }
  pen.SetMode(pmCopy);
}

void TImagerVect::DrawRubber(TCanvas& C, const TRect& Clip) {
  TPen& pen = C.Pen();
  pen.SetMode(pmNot);
  pen.SetWidth(1);
  pen.SetStyle(psSolid);
  C.Brush().SetStyle(bsClear);
  if (FShapeDrag && FMoved) {
    const double x0 = FDown.X, y0 = FDown.Y;
    double x1 = FLast.X, y1 = FLast.Y;
    switch (FShape) {
      case imvkLine:
        Segment(C, Clip, x0, y0, x1, y1, 4);
        break;
      case imvkRuler: {
        // The ruler being drawn shows itself, with its labels.
        pen.SetMode(pmCopy);
        TIMVObject r = FObjects.Template();
        r.Kind = imvkRuler;
        r.x1 = XScr2Bmp(FDown.X);
        r.y1 = YScr2Bmp(FDown.Y);
        r.x2 = XScr2Bmp(FLast.X);
        r.y2 = YScr2Bmp(FLast.Y);
        DrawObject(C, Clip, r, false, false);
        break;
      }
      case imvkEllipse: {
        if (FCtrlSnap) {
          const double e = std::max(std::abs(x1 - x0), std::abs(y1 - y0));
          x1 = x0 + (x1 < x0 ? -e : e);
          y1 = y0 + (y1 < y0 ? -e : e);
        }
        C.Ellipse(Px(std::min(x0, x1)), Px(std::min(y0, y1)), Px(std::max(x0, x1)), Px(std::max(y0, y1)));
        break;
      }
      default:
        C.Rectangle(Px(std::min(x0, x1)), Px(std::min(y0, y1)), Px(std::max(x0, x1)), Px(std::max(y0, y1)));
        break;
    }
  }
  if (FRubberSelect && FMoved)
    C.Rectangle(std::min(FDown.X, FLast.X), std::min(FDown.Y, FLast.Y), std::max(FDown.X, FLast.X),
                std::max(FDown.Y, FLast.Y));
  if (FPolyHandle >= 0 && FShowPolyRubber) {
    const TIMVObject* o = FObjects.Get(FPolyHandle);
    if (o && !o->Points.empty())
      Segment(C, Clip, XToScr(o->Points.back().X), YToScr(o->Points.back().Y), FLast.X, FLast.Y, 4);
  }
  pen.SetMode(pmCopy);
}

void TImagerVect::DrawHint(TCanvas& C) {
  if (FHintText.empty()) return;
  TFont& f = C.Font();
  f.SetName("Arial");
  f.SetSize(8);
  f.SetStyle(TFontStyles{fsBold});
  f.SetColor(clInfoText);
  const TSize ext = C.TextExtent(FHintText);
  const int32_t x = FMouse.X + 16, y = FMouse.Y + 16;
  C.Brush().SetStyle(bsSolid);
  C.Brush().SetColor(clInfoBk);
  C.Pen().SetColor(clBlack);
  C.Pen().SetWidth(1);
  C.Pen().SetStyle(psSolid);
  C.Pen().SetMode(pmCopy);
  C.Rectangle(x, y, x + ext.cx + 6, y + ext.cy + 4);
  C.Brush().SetStyle(bsClear);
  C.TextOut(x + 3, y + 2, FHintText);
}

}  // namespace kv
