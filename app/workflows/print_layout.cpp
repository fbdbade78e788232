#include "app/workflows/print_layout.h"

#include <algorithm>
#include <cmath>

#include "app/catalog/thumbnail_cache.h"
#include "app/helpers/size_units.h"
#include "app/layer/stretch_draw.h"
#include "app/params/param_strings.h"
#include "app/workflows/info_text.h"
#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/strings.h"
#include "platform/system/printer.h"
#include "platform/ui/forms.h"

namespace kv {

namespace {

struct TLayout {
  const TPrintSource& Source;
  TCanvas* Canvas;
  int32_t PageWidth, PageHeight;
  double Scale;
  bool Draw;
  std::string_view Params;
  const TPrintDevice& Device;
  bool CutLines = false;
  tImageInfoset InfoSet;
  bool PageDrawn = false;

  // A printer page before every drawn page but the first.
  void StartPage() {
    if (Draw && Device.Printer && Canvas && PageDrawn) Device.Printer->NewPage();
    PageDrawn = true;
  }

  void DrawCutLines(const TRect& T) {
    const int32_t a = Round32(0.3 / 2.54 * Device.Dpi * Scale);
    const int32_t b = Round32(2.0 / 2.54 * Device.Dpi * Scale);
    TCanvas& c = *Canvas;
    c.Pen().SetColor(clBlack);
    c.Pen().SetStyle(psSolid);
    c.Pen().SetWidth(1);
    auto stroke = [&](int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
      c.MoveTo(X1, Y1);
      c.LineTo(X2, Y2);
    };
    for (const int32_t y : {T.Top, T.Bottom}) {
      stroke(T.Left - a, y, T.Left - b, y);
      stroke(T.Right + a, y, T.Right + b, y);
    }
    for (const int32_t x : {T.Left, T.Right}) {
      stroke(x, T.Top - a, x, T.Top - b);
      stroke(x, T.Bottom + a, x, T.Bottom + b);
    }
  }

  void DrawPicture(const TBitmap& Picture, const TImageInfoTexts& Info, double Left, double Top, double Width,
                   double Height) {
    if (!Draw || !Canvas) return;
    const TRect target{Round32(Scale * Left), Round32(Scale * Top), Round32(Scale * (Left + Width)),
                       Round32(Scale * (Top + Height))};
    if (CutLines) DrawCutLines(target);
    DrawImageInfoText(*Canvas, target, itdDown, Scale, Params, InfoSet, Info);
    if (Picture.Empty() || target.Right <= target.Left || target.Bottom <= target.Top) return;
    const int32_t clipW = Round32(PageWidth * Scale), clipH = Round32(PageHeight * Scale);
    const TRect source{0, 0, Picture.Width(), Picture.Height()};
    TBitmap& page = Canvas->Bitmap();
    // The preview takes the nearest pixel (fast at any picture size); the
    // printer averages what it shrinks.
    if (!Device.Printer && page.PixelFormat() == pf24bit && Picture.PixelFormat() == pf24bit)
      StretchDrawClipped(Picture, nullptr, source, &page, clipW, clipH, target);
    else
      StretchDrawClipped(Picture, Canvas, source, nullptr, clipW, clipH, target);
  }
};

}  // namespace

TPrintDevice PrintDeviceOf(TPrinter& Printer) {
  TPrintDevice d;
  d.Dpi = Printer.Resolution();
  d.OffsetX = Printer.PhysicalOffsetX();
  d.OffsetY = Printer.PhysicalOffsetY();
  if (Screen) d.ScreenPpi = Screen->PixelsPerInch();
  d.Printer = &Printer;
  return d;
}

TPrintSource PrintSourceOf(timagerlayer& Control) {
  TPrintSource s;
  s.Picture = &Control.Bitmap();
  s.PictureDpi = Control.IOParams().DpiX;
  s.Info = ImageInfoText(Control);
  return s;
}

void PosterPages(const TPrintGeometry& G, int32_t PageWidth, int32_t PageHeight, int32_t& Columns, int32_t& Rows) {
  Columns = Rows = 1;
  if (PageWidth <= 0 || PageHeight <= 0) return;
  const int32_t cw = Round32(Round32(G.Left) + G.Width), ch = Round32(Round32(G.Top) + G.Height);
  Columns = std::max(1, (cw - 1) / PageWidth + 1);
  Rows = std::max(1, (ch - 1) / PageHeight + 1);
}

TPrintGeometry PrintWithLayout(const TPrintSource& Source, TCanvas* Canvas, int32_t PageWidth, int32_t PageHeight,
                               double Scale, bool Draw, std::string_view Params, const TPrintDevice& Device) {
  const int32_t mode = ReadParamInt(Params, "Mode", 0);
  const int32_t page = ReadParamInt(Params, "Page", 0);
  if (PageWidth <= 0 || PageHeight <= 0) throw EPrintLayout("Die Druckseite hat keine Größe");

  int32_t picW = 0, picH = 0;
  if (mode == 3) {
    if (!Source.CatalogFiles) throw EPrintLayout("Es ist kein Katalogfenster aktiv");
    picW = tcache().Width();
    picH = tcache().Height();
  } else if (Source.Picture) {
    picW = Source.Picture->Width();
    picH = Source.Picture->Height();
  }
  if (picW <= 0 || picH <= 0) throw EPrintLayout("Das Bild hat keine Größe");

  const double d = Device.Dpi;
  double width = UnitToPixels(ReadParamInt(Params, "vwidth", 0), picW, d, ReadParamFloat(Params, "width", 600),
                              Device.UserUnit);
  double height = UnitToPixels(ReadParamInt(Params, "vheight", 0), picH, d, ReadParamFloat(Params, "height", 600),
                               Device.UserUnit);
  double left = UnitToPixels(ReadParamInt(Params, "vleft", 0), PageWidth, d, ReadParamFloat(Params, "left", 0),
                             Device.UserUnit);
  double top = UnitToPixels(ReadParamInt(Params, "vtop", 0), PageHeight, d, ReadParamFloat(Params, "top", 0),
                            Device.UserUnit);

  // Measured from the paper's edge: laid out that much further up and left,
  // and reported from the paper's edge again.
  const bool withOffset = ReadParamBool(Params, "Withoffset", false);
  const double givenLeft = left, givenTop = top;
  if (withOffset) {
    left -= Device.OffsetX;
    top -= Device.OffsetY;
  }

  const double pw = PageWidth, ph = PageHeight;
  switch (ReadParamInt(Params, "Specialsize", 0)) {
    case 1:  // inside the page
      if (ph * picW > pw * picH) {
        width = pw;
        height = picH * pw / picW;
      } else {
        height = ph;
        width = picW * ph / picH;
      }
      break;
    case 2:  // filling the page
      if (ph * picW > pw * picH) {
        height = ph;
        width = picW * ph / picH;
      } else {
        width = pw;
        height = picH * pw / picW;
      }
      break;
    case 3: {
      double r = Source.PictureDpi;
      // A JFIF density of 1 x 1 states the aspect only and reads as 1 dpi:
      // like no resolution, it would print the picture an inch a pixel.
      if (mode == 3 || r <= 1) r = Device.ScreenPpi;
      width = picW / r * d;
      height = picH / r * d;
      break;
    }
    default:
      break;
  }
  if (Round32(width) < 1 || Round32(height) < 1)
    throw EPrintLayout("Breite und Höhe des Bildes müssen mindestens ein Druckerpunkt sein");

  // An anchor places the box on the printable page; with the offsets added
  // back the result is that place measured from the paper's edge.
  const int32_t anchor = ReadParamInt(Params, "DirectionPos", -1);
  if (anchor != -1) {
    left = (anchor & 8) ? 0 : (anchor & 4) ? pw - width : (pw - width) / 2;
    top = (anchor & 2) ? 0 : (anchor & 1) ? ph - height : (ph - height) / 2;
  }
  TPrintGeometry result{givenLeft, givenTop, width, height};
  if (anchor != -1) {
    result.Left = left + (withOffset ? Device.OffsetX : 0);
    result.Top = top + (withOffset ? Device.OffsetY : 0);
  }

  const int32_t x0 = Round32(left), y0 = Round32(top);
  const int32_t cw = Round32(x0 + width), ch = Round32(y0 + height);

  TLayout L{Source, Canvas, PageWidth, PageHeight, Scale, Draw, Params, Device,
            ReadParamBool(Params, "cutlines", false), ReadParamImageInfoset(Params, "ImageInfoSet"), false};
  static const TBitmap kNoPicture;
  const TBitmap& picture = Source.Picture ? *Source.Picture : kNoPicture;

  if (mode == 1 || mode == 3) {
    if (cw < 1 || ch < 1) throw EPrintLayout("Die Bilder liegen ganz außerhalb der Seite");
    const int32_t perPage = std::max(1, (PageWidth / cw) * (PageHeight / ch));
    // Every entry of a catalog is printed, however many it holds.
    const int32_t total = mode == 1 ? perPage : Source.CatalogFiles->Count();
    const int32_t pages = total > 0 ? (total - 1) / perPage + 1 : 0;
    TBitmap thumb;
    TImageInfoTexts info;
    for (int32_t p = 0; p < pages; ++p) {
      if (!(page == 0 || page == p + 1 || (page == -1 && p == 0))) continue;
      L.StartPage();
      int32_t i = p * perPage;
      for (int32_t y = 0; y + ch <= PageHeight; y += ch)
        for (int32_t x = 0; x + cw <= PageWidth; x += cw) {
          if (mode == 1) {
            L.DrawPicture(picture, Source.Info, x + x0, y + y0, width, height);
          } else if (i >= 0 && i < total) {
            if (Draw && Canvas) {
              tcache().Lookup(Source.CatalogFiles->Strings(i), &thumb, info);
              if (!thumb.Empty()) thumb.SetPixelFormat(pf24bit);
              L.DrawPicture(thumb, info, x + x0, y + y0, width, height);
            }
          }
          if (Device.Progress && total > 0) Device.Progress(int32_t(int64_t(i + 1) * 100 / total));
          ++i;
        }
    }
  } else if (mode == 2) {
    int32_t columns = 1, rows = 1;
    PosterPages(TPrintGeometry{left, top, width, height}, PageWidth, PageHeight, columns, rows);
    if (int64_t(columns) * rows > kMaxPosterPages)
      throw EPrintLayout("Das Poster hätte " + IntToStr(int64_t(columns) * rows) + " Seiten; höchstens " +
                         IntToStr(kMaxPosterPages) + " sind möglich");
    if (page == -1) {
      const int32_t n = std::max(columns, rows);
      L.DrawPicture(picture, Source.Info, left / n, top / n, width / n, height / n);
      if (Draw && Canvas) {
        TCanvas& c = *Canvas;
        const int32_t w = c.Bitmap().Width(), h = c.Bitmap().Height();
        c.Pen().SetColor(clRed);
        c.Pen().SetStyle(psSolid);
        c.Pen().SetWidth(1);
        c.Brush().SetStyle(bsClear);
        if (w / n > 1 && h / n > 1) {
          for (int32_t r = 0; r < n; ++r)
            for (int32_t col = 0; col < n; ++col)
              c.Rectangle(int32_t(int64_t(col) * w / n), int32_t(int64_t(r) * h / n),
                          int32_t(int64_t(col + 1) * w / n), int32_t(int64_t(r + 1) * h / n));
        } else {
          c.Rectangle(0, 0, w, h);
        }
        c.Brush().SetStyle(bsSolid);
      }
    } else {
      for (int32_t k = 0; k < rows * columns; ++k) {
        if (!(page == 0 || page == k + 1)) continue;
        L.StartPage();
        const int32_t row = k / columns, column = k % columns;
        L.DrawPicture(picture, Source.Info, left - double(column) * PageWidth, top - double(row) * PageHeight, width,
                      height);
      }
    }
  } else {
    L.StartPage();
    L.DrawPicture(picture, Source.Info, left, top, width, height);
  }
  return result;
}

}  // namespace kv
