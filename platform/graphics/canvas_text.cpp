// Text on the canvas through Qt's font engine. 15/16/24/32-bit bitmaps are
// painted in place through a QImage that wraps their memory; indexed bitmaps
// get the text drawn into a scratch image first and mapped to their palette
// (without antialiasing on 1 bit, where a half-covered pixel has no colour).
//
// Fonts need the process's one Qt application object (the control layer's
// maker, reached through EnsureGuiApplication, makes it on first use, on the
// offscreen platform without a display).
// Under a QCoreApplication that is not a GUI application no text is drawn
// and extents are 0.
#include <QtCore/QCoreApplication>
#include <QtGui/QFont>
#include <QtGui/QFontMetrics>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/graphics/canvas.h"
#include "platform/graphics/canvas_raster.h"
#include "platform/graphics/gui_host.h"
#include "platform/graphics/pixel_access.h"
#include "platform/rtl/exceptions.h"

namespace kv {

// The Qt font made from the canvas's TFont, rebuilt when the font changes.
class TCanvasPainter {
 public:
  std::optional<QFont> Font;
  int32_t Ascent = 0;
  std::string Name;
  int32_t Height = 0;
  unsigned long long Style = 0;
  TFontPitch Pitch = fpDefault;
  bool Mono = false;
};

TCanvas::TCanvas(TBitmap& Target) : FTarget(Target) {}
TCanvas::~TCanvas() = default;

namespace {

// Installed families for the classic names, best first.
QStringList Families(const std::string& Name, QFont::StyleHint& Hint) {
  const QString n = QString::fromUtf8(Name.c_str()).trimmed().toUpper();
  Hint = QFont::SansSerif;
  if (n == "MS SANS SERIF" || n == "MICROSOFT SANS SERIF" || n == "TAHOMA" || n == "SEGOE UI" || n == "VERDANA" ||
      n == "MS SHELL DLG" || n == "MS SHELL DLG 2" || n == "SYSTEM")
    return {"DejaVu Sans"};
  if (n == "ARIAL" || n == "HELVETICA") return {"Liberation Sans", "Nimbus Sans", "DejaVu Sans"};
  if (n == "TIMES NEW ROMAN" || n == "TIMES" || n == "MS SERIF") {
    Hint = QFont::Serif;
    return {"Liberation Serif", "Nimbus Roman", "DejaVu Serif"};
  }
  if (n == "COURIER NEW" || n == "COURIER" || n == "LUCIDA CONSOLE" || n == "FIXEDSYS") {
    Hint = QFont::TypeWriter;
    return {"Liberation Mono", "Nimbus Mono PS", "DejaVu Sans Mono"};
  }
  return {QString::fromUtf8(Name.c_str()), "DejaVu Sans"};
}

QFont MakeFont(const TFont& F, bool Mono) {
  QFont::StyleHint hint;
  QFont q;
  q.setFamilies(Families(F.Name(), hint));
  if (F.Pitch() == fpFixed) {
    hint = QFont::TypeWriter;
    q.setFixedPitch(true);
  }
  q.setStyleHint(hint, Mono ? QFont::NoAntialias : QFont::PreferDefault);
  const TFontStyles st = F.Style();
  q.setBold(st.Contains(fsBold));
  q.setItalic(st.Contains(fsItalic));
  q.setUnderline(st.Contains(fsUnderline));
  q.setStrikeOut(st.Contains(fsStrikeOut));
  q.setKerning(false);
  int32_t h = F.Height();
  if (h == 0) h = -11;
  if (h < 0) {
    q.setPixelSize(std::clamp(-h, 1, 4096));  // character height
  } else {
    // A positive height is the whole cell: scale from what a 100-pixel font gives.
    q.setPixelSize(100);
    const QFontMetrics fm(q);
    const int cell = std::max(1, fm.ascent() + fm.descent());
    q.setPixelSize(std::clamp(int(int64_t(h) * 100 / cell), 1, 4096));
  }
  return q;
}

// Writes antialiased coverage from Scratch (drawn at DestX, DestY) into an indexed bitmap.
template <typename F>
void MapCoverage(TBitmap& B, const QImage& Scratch, int32_t DestX, int32_t DestY, gfx::TRgb Color, bool Mono) {
  uint8_t* base = B.Bits();
  const int64_t rowBytes = B.RowBytes();
  const std::vector<TPaletteEntry>& pal = B.Palette();
  gfx::TNearestCache cache(pal);
  const uint32_t solid = cache.Index(Color) & F::Mask;
  for (int y = 0; y < Scratch.height(); ++y) {
    const QRgb* src = reinterpret_cast<const QRgb*>(Scratch.constScanLine(y));
    uint8_t* row = base + int64_t(DestY + y) * rowBytes;
    for (int x = 0; x < Scratch.width(); ++x) {
      const int a = qAlpha(src[x]);
      if (a == 0) continue;
      if (Mono || a == 255) {
        if (!Mono || a >= 128) F::Set(row, DestX + x, solid);
        continue;
      }
      const gfx::TRgb bg = gfx::PaletteRgb(pal, F::Get(row, DestX + x));
      const gfx::TRgb mix{uint8_t((Color.r * a + bg.r * (255 - a) + 127) / 255),
                          uint8_t((Color.g * a + bg.g * (255 - a) + 127) / 255),
                          uint8_t((Color.b * a + bg.b * (255 - a) + 127) / 255)};
      F::Set(row, DestX + x, cache.Index(mix) & F::Mask);
    }
  }
}

TRect Intersect(const TRect& A, const TRect& B) {
  TRect r{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right), std::min(A.Bottom, B.Bottom)};
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  return r;
}

const QFont* PrepareFont(std::unique_ptr<TCanvasPainter>& P, const TFont& F, bool Mono) {
  if (!EnsureGuiApplication()) return nullptr;
  if (!P) P = std::make_unique<TCanvasPainter>();
  const unsigned long long style = F.Style().ToMask();
  if (!P->Font || P->Name != F.Name() || P->Height != F.Height() || P->Style != style || P->Pitch != F.Pitch() ||
      P->Mono != Mono) {
    P->Font = MakeFont(F, Mono);
    P->Ascent = QFontMetrics(*P->Font).ascent();
    P->Name = F.Name();
    P->Height = F.Height();
    P->Style = style;
    P->Pitch = F.Pitch();
    P->Mono = Mono;
  }
  return &*P->Font;
}

}  // namespace

TSize TCanvas::TextExtent(const std::string& Text) {
  const QFont* f = PrepareFont(FPainter, FFont, FTarget.PixelFormat() == pf1bit);
  if (!f) return TSize{};
  const QFontMetrics fm(*f);
  return TSize{fm.horizontalAdvance(QString::fromUtf8(Text.data(), qsizetype(Text.size()))), fm.ascent() + fm.descent()};
}

void TCanvas::TextOut(int32_t X, int32_t Y, const std::string& Text) {
  const TSize ext = TextExtent(Text);
  const TRect cell{X, Y, int32_t(std::min<int64_t>(int64_t(X) + ext.cx, INT32_MAX)),
                   int32_t(std::min<int64_t>(int64_t(Y) + ext.cy, INT32_MAX))};
  TextRect(cell, X, Y, Text);
  FPenPos = TPoint{cell.Right, Y};
}

void TCanvas::TextRect(const TRect& R, int32_t X, int32_t Y, const std::string& Text) {
  const bool mono = FTarget.PixelFormat() == pf1bit;
  const QFont* font = PrepareFont(FPainter, FFont, mono);
  if (!font || !FTarget.Bits()) return;
  const TRect clip = Intersect(ClipRect(), R);
  Changing();
  if (FBrush.Style() == bsSolid && clip.Left < clip.Right && clip.Top < clip.Bottom) {
    // Opaque background: the brush colour behind the text.
    gfx::TSpanList spans;
    for (int32_t y = clip.Top; y < clip.Bottom; ++y) spans.push_back(gfx::TSpan{y, clip.Left, clip.Right});
    gfx::TPaintOp op;
    op.Value = gfx::ColorToNative(FTarget.PixelFormat(), FTarget.Palette(), ColorToRGB(FBrush.Color()));
    gfx::PaintSpans(FTarget, clip, spans, op);
  }
  DrawGlyphs(clip, X, Y, 0, Text);
  Changed();
}

void TCanvas::TextRectAngle(const TRect& R, int32_t X, int32_t Y, int32_t Escapement, const std::string& Text) {
  if (!PrepareFont(FPainter, FFont, FTarget.PixelFormat() == pf1bit) || !FTarget.Bits()) return;
  const TRect clip = Intersect(ClipRect(), R);
  Changing();
  DrawGlyphs(clip, X, Y, Escapement / 10.0, Text);
  Changed();
}

// Draws the glyphs of Text with the prepared font, the top-left of the cell at
// (X, Y), turned by Degrees counter-clockwise about that point, within Clip.
void TCanvas::DrawGlyphs(const TRect& clip, int32_t X, int32_t Y, double Degrees, const std::string& Text) {
  const bool mono = FTarget.PixelFormat() == pf1bit;
  const QFont* font = PrepareFont(FPainter, FFont, mono);
  if (!font) return;
  const QString text = QString::fromUtf8(Text.data(), qsizetype(Text.size()));
  if (text.isEmpty() || clip.Left >= clip.Right || clip.Top >= clip.Bottom) return;
  const TColorRef rgb = ColorToRGB(FFont.Color());
  const QColor color(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
  const int ascent = FPainter->Ascent;
  const int baseline = int(std::min<int64_t>(int64_t(Y) + ascent, INT32_MAX));
  const bool turned = Degrees != 0;

  QImage::Format direct = QImage::Format_Invalid;
  switch (FTarget.PixelFormat()) {
    case pf15bit: direct = QImage::Format_RGB555; break;
    case pf16bit: direct = QImage::Format_RGB16; break;
    case pf24bit: direct = QImage::Format_BGR888; break;
    case pf32bit: direct = QImage::Format_RGB32; break;
    default: break;
  }
  if (direct != QImage::Format_Invalid) {
    QImage img(FTarget.Bits(), FTarget.Width(), FTarget.Height(), FTarget.RowBytes(), direct);
    QPainter p(&img);
    p.setClipRect(QRect(clip.Left, clip.Top, clip.Right - clip.Left, clip.Bottom - clip.Top));
    p.setFont(*font);
    p.setPen(color);
    if (turned) {
      p.translate(X, Y);
      p.rotate(-Degrees);  // the window system turns counter-clockwise, Qt clockwise
      p.drawText(0, ascent, text);
    } else {
      p.drawText(X, baseline, text);
    }
  } else {
    // Indexed: draw the coverage of the visible part into a scratch image, then map it.
    const int w = clip.Right - clip.Left, h = clip.Bottom - clip.Top;
    QImage scratch(w, h, QImage::Format_ARGB32_Premultiplied);
    if (scratch.isNull()) return;
    scratch.fill(Qt::transparent);
    {
      QPainter p(&scratch);
      p.setFont(*font);
      p.setPen(color);
      const int ox = int(std::clamp<int64_t>(int64_t(X) - clip.Left, INT32_MIN / 2, INT32_MAX / 2));
      if (turned) {
        p.translate(ox, int(std::clamp<int64_t>(int64_t(Y) - clip.Top, INT32_MIN / 2, INT32_MAX / 2)));
        p.rotate(-Degrees);
        p.drawText(0, ascent, text);
      } else {
        p.drawText(ox, int(std::clamp<int64_t>(int64_t(baseline) - clip.Top, INT32_MIN / 2, INT32_MAX / 2)), text);
      }
    }
    const gfx::TRgb c = gfx::RgbOf(rgb);
    gfx::DispatchFormat(FTarget.PixelFormat(), [&](auto f) {
      using F = decltype(f);
      if constexpr (F::Indexed) MapCoverage<F>(FTarget, scratch, clip.Left, clip.Top, c, mono);
    });
  }
}

}  // namespace kv
