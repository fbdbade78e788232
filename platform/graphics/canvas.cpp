// Pen, brush and font objects, and the canvas's lines, shapes and pixels.
// Block copies are in canvas_blit.cpp, text in canvas_text.cpp.
#include "platform/graphics/canvas.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/canvas_raster.h"
#include "platform/graphics/pixel_access.h"

namespace kv {

using gfx::TPaintOp;
using gfx::TShape;
using gfx::TSpanList;

namespace {

int32_t Sat32(int64_t V) { return int32_t(std::clamp<int64_t>(V, INT32_MIN, INT32_MAX)); }

// Windows' MulDiv: a * b / c in 64 bits, rounded half away from zero; -1 for c = 0 or overflow.
int32_t MulDiv(int32_t A, int32_t B, int32_t C) {
  if (C == 0) return -1;
  int64_t n = int64_t(A) * B, d = C;
  const bool neg = (n < 0) != (d < 0);
  n = n < 0 ? -n : n;
  d = d < 0 ? -d : d;
  const int64_t q = (n + d / 2) / d;
  if (q > INT32_MAX) return -1;
  return int32_t(neg ? -q : q);
}

// On/off lengths of the styled pens, in pixels along the line.
struct TDashPattern {
  int32_t Count;
  int32_t Lengths[6];
};
const TDashPattern* DashPattern(TPenStyle Style) {
  static constexpr TDashPattern kDash{2, {18, 6}}, kDot{2, {3, 3}}, kDashDot{4, {9, 6, 3, 6}},
      kDashDotDot{6, {9, 3, 3, 3, 3, 3}};
  switch (Style) {
    case psDash: return &kDash;
    case psDot: return &kDot;
    case psDashDot: return &kDashDot;
    case psDashDotDot: return &kDashDotDot;
    default: return nullptr;
  }
}

bool DashOn(const TDashPattern& P, int64_t Step) {
  int32_t total = 0;
  for (int32_t i = 0; i < P.Count; ++i) total += P.Lengths[i];
  int64_t pos = Step % total;
  for (int32_t i = 0; i < P.Count; ++i) {
    if (pos < P.Lengths[i]) return i % 2 == 0;
    pos -= P.Lengths[i];
  }
  return false;
}

// The drawing state one call needs: colours mapped to the bitmap's format once.
class TShapePainter {
 public:
  explicit TShapePainter(TCanvas& C) : FBitmap(C.Bitmap()), FClip(C.ClipRect()) {
    const TPen& pen = C.Pen();
    const TBrush& brush = C.Brush();
    FPenOp.Value = Native(pen.Color());
    FPenOp.Rop = gfx::RopTable(pen.Mode());
    FBrushOp.Value = Native(brush.Color());
    FBrushOp.Rop = FPenOp.Rop;  // shape interiors follow the pen mode too
    FBrushOp.Hatch = gfx::HatchPattern(brush.Style());
    FHasBrush = brush.Style() != bsClear;
    FOpaque = brush.Style() == bsSolid;
    FPenWidth = std::max<int32_t>(1, pen.Width());
    FPenStyle = pen.Style();
    FDash = FPenWidth == 1 ? DashPattern(FPenStyle) : nullptr;
  }

  bool Usable() const { return FBitmap.Bits() && FClip.Left < FClip.Right && FClip.Top < FClip.Bottom; }
  const TRect& Clip() const { return FClip; }
  bool HasPen() const { return FPenStyle != psClear; }
  bool Thick() const { return FPenWidth > 1; }
  int32_t PenWidth() const { return FPenWidth; }
  bool InsideFrame() const { return FPenStyle == psInsideFrame; }

  void FillBrush(const TSpanList& Spans) {
    if (FHasBrush) gfx::PaintSpans(FBitmap, FClip, Spans, FBrushOp);
  }
  void PaintPen(TSpanList& Spans) {
    gfx::NormalizeSpans(Spans);
    gfx::PaintSpans(FBitmap, FClip, Spans, FPenOp);
  }

  // A thin segment without its end point; Step carries the dash position along a polyline.
  void ThinSegment(TPoint A, TPoint B, int64_t& Step) {
    FOn.clear();
    FOff.clear();
    const int64_t base = Step;
    gfx::WalkLine(A, B, FClip, [&](int32_t x, int32_t y, int64_t i) {
      if (!FDash || DashOn(*FDash, base + i)) FOn.push_back(TPoint{x, y});
      else FOff.push_back(TPoint{x, y});
    });
    const int64_t dx = std::abs(int64_t(B.X) - A.X), dy = std::abs(int64_t(B.Y) - A.Y);
    Step += std::max(dx, dy);
    FlushPoints();
  }

  // Lines through Points (closing the figure when Closed); thin pens draw
  // segment by segment, wide pens as one area so joints are painted once.
  void Lines(const TPoint* Points, int32_t Count, bool Closed) {
    if (!HasPen() || Count < 2) return;
    const int32_t segments = Closed ? Count : Count - 1;
    if (Thick()) {
      TSpanList spans;
      for (int32_t i = 0; i < segments; ++i)
        gfx::AddThickLine(Points[i], Points[(i + 1) % Count], FPenWidth, FClip, spans);
      PaintPen(spans);
      return;
    }
    int64_t step = 0;
    for (int32_t i = 0; i < segments; ++i) ThinSegment(Points[i], Points[(i + 1) % Count], step);
  }

  // A thin closed outline given as spans: solid pens paint it as it is,
  // styled pens walk it counter-clockwise from the right (by angle around the centre).
  void ThinOutline(TSpanList& Spans, double CX, double CY) {
    if (!FDash) {
      PaintPen(Spans);
      return;
    }
    struct TAnglePoint {
      double A;
      TPoint P;
    };
    std::vector<TAnglePoint> pts;
    for (const gfx::TSpan& s : Spans)
      for (int32_t x = s.X1; x < s.X2; ++x) {
        double a = std::atan2(CY - s.Y, x - CX);
        if (a < 0) a += 2 * 3.14159265358979323846;
        pts.push_back(TAnglePoint{a, TPoint{x, s.Y}});
      }
    std::stable_sort(pts.begin(), pts.end(), [](const TAnglePoint& a, const TAnglePoint& b) { return a.A < b.A; });
    FOn.clear();
    FOff.clear();
    for (size_t i = 0; i < pts.size(); ++i) (DashOn(*FDash, int64_t(i)) ? FOn : FOff).push_back(pts[i].P);
    FlushPoints();
  }

  // The closed shape Box (exclusive right and bottom) filled with the brush and outlined with the pen.
  // Make builds the shape for an inclusive box, with the corner size grown or shrunk by Grow.
  template <typename MakeFn> void Shape(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, MakeFn Make,
                                        const TPoint* SectorStart = nullptr, const TPoint* SectorEnd = nullptr,
                                        bool FillInside = true) {
    // Box edges shifted by the pen can leave the int32 range; a shape that far out is off any bitmap.
    const int64_t L = std::min(X1, X2), R = int64_t(std::max(X1, X2)) - 1;
    const int64_t T = std::min(Y1, Y2), B = int64_t(std::max(Y1, Y2)) - 1;
    auto make = [&Make](int64_t l, int64_t t, int64_t r, int64_t b, int64_t grow) {
      return Make(Sat32(l), Sat32(t), Sat32(r), Sat32(b), Sat32(grow));
    };
    const double cx = (double(L) + R) / 2, cy = (double(T) + B) / 2;
    auto sector = [&](TSpanList& s) {
      if (SectorStart) gfx::KeepSector(s, cx, cy, *SectorStart, *SectorEnd);
    };
    if (!HasPen()) {
      // Without a pen the brush alone fills one pixel less on the right and bottom.
      if (!FillInside) return;
      TSpanList inside;
      const TShape s = make(L, T, R - 1, B - 1, 0);
      gfx::SplitShape(s, nullptr, FClip, &inside, &inside);
      sector(inside);
      FillBrush(inside);
      return;
    }
    TSpanList outline, inside;
    if (!Thick()) {
      const TShape s = make(L, T, R, B, 0);
      gfx::SplitShape(s, nullptr, FClip, &outline, &inside);
    } else {
      const int64_t w = FPenWidth, lo = InsideFrame() ? 0 : w / 2, hi = InsideFrame() ? 0 : (w - 1) / 2;
      const TShape outer = make(L - lo, T - lo, R + hi, B + hi, w - 1);
      const TShape inner = make(L - lo + w, T - lo + w, R + hi - w, B + hi - w, -(w + 1));
      gfx::SplitShape(outer, &inner, FClip, &outline, &inside);
    }
    sector(outline);
    if (FillInside) {
      sector(inside);  // an arc leaves its inside alone: no need to cut it
      FillBrush(inside);
    }
    if (SectorStart && FillInside) {
      // A pie's two radii, from the centre to where the rays meet the ellipse.
      const TPoint c{int32_t(std::lround(cx)), int32_t(std::lround(cy))};
      for (const TPoint* p : {SectorStart, SectorEnd}) {
        const TPoint e = gfx::EllipsePointToward(Sat32(L), Sat32(T), Sat32(R), Sat32(B), *p);
        if (Thick()) {
          gfx::AddThickLine(c, e, FPenWidth, FClip, outline);
        } else {
          gfx::WalkLine(c, e, FClip, [&](int32_t x, int32_t y, int64_t) { outline.push_back(gfx::TSpan{y, x, x + 1}); });
          if (e.X >= FClip.Left && e.X < FClip.Right && e.Y >= FClip.Top && e.Y < FClip.Bottom)
            outline.push_back(gfx::TSpan{e.Y, e.X, e.X + 1});
        }
      }
    }
    gfx::NormalizeSpans(outline);
    if (Thick()) PaintPen(outline);
    else ThinOutline(outline, cx, cy);
  }

 private:
  uint32_t Native(TColor Color) const {
    return gfx::ColorToNative(FBitmap.PixelFormat(), FBitmap.Palette(), ColorToRGB(Color));
  }
  // Pen pixels, then the gaps of a styled pen in the brush colour when the background is opaque.
  void FlushPoints() {
    gfx::PaintPoints(FBitmap, FClip, FOn, FPenOp);
    if (FOpaque && !FOff.empty()) {
      TPaintOp gap = FPenOp;
      gap.Value = FBrushOp.Value;
      gfx::PaintPoints(FBitmap, FClip, FOff, gap);
    }
  }

  TBitmap& FBitmap;
  TRect FClip;
  TPaintOp FPenOp, FBrushOp;
  bool FHasBrush = true, FOpaque = true;
  int32_t FPenWidth = 1;
  TPenStyle FPenStyle = psSolid;
  const TDashPattern* FDash = nullptr;
  std::vector<TPoint> FOn, FOff;
};

TShape MakeRect(int32_t L, int32_t T, int32_t R, int32_t B, int32_t) { return gfx::RectShape(L, T, R, B); }
TShape MakeEllipse(int32_t L, int32_t T, int32_t R, int32_t B, int32_t) { return gfx::EllipseShape(L, T, R, B); }

// Brush spans of a rectangle, whatever the pen: the one-pixel frame of R or all of it.
void RectSpans(const TRect& R, const TRect& Clip, bool FrameOnly, TSpanList& Out) {
  if (R.Right <= R.Left || R.Bottom <= R.Top) return;
  const TShape s = gfx::RectShape(R.Left, R.Top, R.Right - 1, R.Bottom - 1);
  if (FrameOnly) gfx::SplitShape(s, nullptr, Clip, &Out, nullptr);
  else gfx::SplitShape(s, nullptr, Clip, &Out, &Out);
}

}  // namespace

// ---- Pen, brush, font ----

void TPen::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}
void TPen::SetWidth(int32_t Value) {
  if (Value == FWidth) return;
  FWidth = Value;
  Changed();
}
void TPen::SetStyle(TPenStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}
void TPen::SetMode(TPenMode Value) {
  if (Value == FMode) return;
  FMode = Value;
  Changed();
}
void TPen::Assign(const TPen& Source) {
  FColor = Source.FColor;
  FWidth = Source.FWidth;
  FStyle = Source.FStyle;
  FMode = Source.FMode;
  Changed();
}

void TBrush::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}
void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}
void TBrush::Assign(const TBrush& Source) {
  FColor = Source.FColor;
  FStyle = Source.FStyle;
  Changed();
}

TFont::TFont() = default;

void TFont::SetName(const std::string& Value) {
  if (Value == FName || Value.empty()) return;
  FName = Value;
  Changed();
}
int32_t TFont::Size() const { return -MulDiv(FHeight, 72, FPixelsPerInch); }
void TFont::SetSize(int32_t Value) { SetHeight(-MulDiv(Value, FPixelsPerInch, 72)); }
void TFont::SetHeight(int32_t Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  Changed();
}
void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}
void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}
void TFont::SetCharset(uint8_t Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  Changed();
}
void TFont::SetPitch(TFontPitch Value) {
  if (Value == FPitch) return;
  FPitch = Value;
  Changed();
}
void TFont::Assign(const TFont& Source) {
  FName = Source.FName;
  FHeight = Source.FHeight;
  FPixelsPerInch = Source.FPixelsPerInch;
  FColor = Source.FColor;
  FStyle = Source.FStyle;
  FCharset = Source.FCharset;
  FPitch = Source.FPitch;
  Changed();
}

void TPen::Assign(const TPersistent* Source) {
  if (const auto* p = dynamic_cast<const TPen*>(Source)) Assign(*p);
  else TPersistent::Assign(Source);
}
const TPropertyTable& TPen::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TPen>(TPersistent::PropertyTable(), [](auto& p) {
    p.Integer("Color", &TPen::Color, &TPen::SetColor);
    p.Enum("Mode", &TPen::Mode, &TPen::SetMode,
           {"pmBlack", "pmWhite", "pmNop", "pmNot", "pmCopy", "pmNotCopy", "pmMergePenNot", "pmMaskPenNot",
            "pmMergeNotPen", "pmMaskNotPen", "pmMerge", "pmNotMerge", "pmMask", "pmNotMask", "pmXor", "pmNotXor"});
    p.Enum("Style", &TPen::Style, &TPen::SetStyle,
           {"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear", "psInsideFrame"});
    p.Integer("Width", &TPen::Width, &TPen::SetWidth);
  });
  return table;
}

void TBrush::Assign(const TPersistent* Source) {
  if (const auto* b = dynamic_cast<const TBrush*>(Source)) Assign(*b);
  else TPersistent::Assign(Source);
}
const TPropertyTable& TBrush::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TBrush>(TPersistent::PropertyTable(), [](auto& p) {
    p.Integer("Color", &TBrush::Color, &TBrush::SetColor);
    p.Enum("Style", &TBrush::Style, &TBrush::SetStyle,
           {"bsSolid", "bsClear", "bsHorizontal", "bsVertical", "bsFDiagonal", "bsBDiagonal", "bsCross", "bsDiagCross"});
  });
  return table;
}

void TFont::Assign(const TPersistent* Source) {
  if (const auto* f = dynamic_cast<const TFont*>(Source)) Assign(*f);
  else TPersistent::Assign(Source);
}
const TPropertyTable& TFont::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TFont>(TPersistent::PropertyTable(), [](auto& p) {
    p.Integer("Charset", &TFont::Charset, &TFont::SetCharset);
    p.Integer("Color", &TFont::Color, &TFont::SetColor);
    p.Integer("Height", &TFont::Height, &TFont::SetHeight);
    p.String("Name", &TFont::Name, &TFont::SetName);
    p.Enum("Pitch", &TFont::Pitch, &TFont::SetPitch, {"fpDefault", "fpVariable", "fpFixed"});
    p.Integer("Size", &TFont::Size, &TFont::SetSize);
    p.Set("Style", &TFont::Style, &TFont::SetStyle, {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"});
  });
  return table;
}

// ---- Canvas: state ----

TRect TCanvas::ClipRect() const {
  TRect r{0, 0, FTarget.Width(), FTarget.Height()};
  if (FHasClip) {
    r.Left = std::max(r.Left, FClip.Left);
    r.Top = std::max(r.Top, FClip.Top);
    r.Right = std::min(r.Right, FClip.Right);
    r.Bottom = std::min(r.Bottom, FClip.Bottom);
    if (r.Right < r.Left) r.Right = r.Left;
    if (r.Bottom < r.Top) r.Bottom = r.Top;
  }
  return r;
}

void TCanvas::SetClipRect(const TRect& R) {
  FClip = R;
  FHasClip = true;
}

void TCanvas::ResetClipRect() {
  FClip = TRect{};
  FHasClip = false;
}

// ---- Canvas: lines and shapes ----

void TCanvas::MoveTo(int32_t X, int32_t Y) { FPenPos = TPoint{X, Y}; }

void TCanvas::LineTo(int32_t X, int32_t Y) {
  Changing();
  TShapePainter p(*this);
  const TPoint pts[2] = {FPenPos, TPoint{X, Y}};
  if (p.Usable()) p.Lines(pts, 2, false);
  FPenPos = pts[1];
  Changed();
}

void TCanvas::Polyline(const TPoint* Points, int32_t Count) {
  if (!Points || Count < 2) return;
  Changing();
  TShapePainter p(*this);
  if (p.Usable()) p.Lines(Points, Count, false);
  Changed();
}

void TCanvas::Polygon(const TPoint* Points, int32_t Count) {
  if (!Points || Count < 2) return;
  Changing();
  TShapePainter p(*this);
  if (p.Usable()) {
    TSpanList inside;
    gfx::PolygonSpans(Points, Count, p.Clip(), inside);
    p.FillBrush(inside);
    p.Lines(Points, Count, true);
  }
  Changed();
}

void TCanvas::Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  Changing();
  TShapePainter p(*this);
  if (p.Usable()) p.Shape(X1, Y1, X2, Y2, MakeRect);
  Changed();
}

void TCanvas::RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3) {
  Changing();
  TShapePainter p(*this);
  if (p.Usable()) {
    // A wide pen's outer edge rounds with a larger ellipse, its inner edge with a smaller one.
    auto make = [X3, Y3](int32_t L, int32_t T, int32_t R, int32_t B, int32_t Grow) {
      return gfx::RoundRectShape(L, T, R, B, Sat32(std::max<int64_t>(0, std::abs(int64_t(X3)) + Grow)),
                                 Sat32(std::max<int64_t>(0, std::abs(int64_t(Y3)) + Grow)));
    };
    p.Shape(X1, Y1, X2, Y2, make);
  }
  Changed();
}

void TCanvas::Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  Changing();
  TShapePainter p(*this);
  if (p.Usable()) p.Shape(X1, Y1, X2, Y2, MakeEllipse);
  Changed();
}

void TCanvas::Arc(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4) {
  Changing();
  TShapePainter p(*this);
  const TPoint s{X3, Y3}, e{X4, Y4};
  if (p.Usable()) p.Shape(X1, Y1, X2, Y2, MakeEllipse, &s, &e, false);
  Changed();
}

void TCanvas::Pie(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4) {
  Changing();
  TShapePainter p(*this);
  const TPoint s{X3, Y3}, e{X4, Y4};
  if (p.Usable()) p.Shape(X1, Y1, X2, Y2, MakeEllipse, &s, &e, true);
  Changed();
}

void TCanvas::FillRect(const TRect& R) {
  if (FBrush.Style() == bsClear || !FTarget.Bits()) return;
  Changing();
  const TRect clip = ClipRect();
  TSpanList spans;
  RectSpans(R, clip, false, spans);
  TPaintOp op;
  op.Value = gfx::ColorToNative(FTarget.PixelFormat(), FTarget.Palette(), ColorToRGB(FBrush.Color()));
  op.Hatch = gfx::HatchPattern(FBrush.Style());
  gfx::PaintSpans(FTarget, clip, spans, op);
  Changed();
}

void TCanvas::FrameRect(const TRect& R) {
  if (FBrush.Style() == bsClear || !FTarget.Bits()) return;
  Changing();
  const TRect clip = ClipRect();
  TSpanList spans;
  RectSpans(R, clip, true, spans);
  TPaintOp op;
  op.Value = gfx::ColorToNative(FTarget.PixelFormat(), FTarget.Palette(), ColorToRGB(FBrush.Color()));
  op.Hatch = gfx::HatchPattern(FBrush.Style());
  gfx::PaintSpans(FTarget, clip, spans, op);
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& R) {
  if (!FTarget.Bits()) return;
  Changing();
  const TRect clip = ClipRect();
  TSpanList spans;
  RectSpans(R, clip, true, spans);
  // Pixels with x + y even, inverted; the checkerboard is anchored at the bitmap origin.
  static constexpr uint8_t kChecker[8] = {0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55, 0xAA, 0x55};
  TPaintOp op;
  op.Rop = gfx::RopTable(pmNot);
  op.Hatch = kChecker;
  gfx::PaintSpans(FTarget, clip, spans, op);
  Changed();
}

void TCanvas::FloodFill(int32_t X, int32_t Y, TColor Color, bool Surface) {
  if (FBrush.Style() == bsClear || !FTarget.Bits()) return;
  Changing();
  const TRect clip = ClipRect();
  const uint32_t value = gfx::ColorToNative(FTarget.PixelFormat(), FTarget.Palette(), ColorToRGB(Color));
  TSpanList spans;
  gfx::FloodSpans(FTarget, clip, X, Y, value, Surface, spans);
  TPaintOp op;
  op.Value = gfx::ColorToNative(FTarget.PixelFormat(), FTarget.Palette(), ColorToRGB(FBrush.Color()));
  op.Hatch = gfx::HatchPattern(FBrush.Style());
  gfx::PaintSpans(FTarget, clip, spans, op);
  Changed();
}

// ---- Canvas: pixels ----

TColor TCanvas::Pixel(int32_t X, int32_t Y) {
  const TRect c = ClipRect();
  if (X < c.Left || X >= c.Right || Y < c.Top || Y >= c.Bottom) return -1;
  return FTarget.GetPixelColor(X, Y);
}

void TCanvas::SetPixel(int32_t X, int32_t Y, TColor Color) {
  const TRect c = ClipRect();
  if (X < c.Left || X >= c.Right || Y < c.Top || Y >= c.Bottom) return;
  Changing();
  FTarget.SetPixelColor(X, Y, Color);
  Changed();
}

}  // namespace kv
