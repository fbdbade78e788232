// TImagerMView: painting the cells. Painting only draws what is prepared: an
// entry without an image is an empty cell here, never loaded or removed.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/processing/resample.h"
#include "imaging/views/imager_mview.h"

namespace kv {

namespace {

// The rows of a stored image, top row first, whatever the store's order.
struct TSourceRows {
  const uint8_t* Bottom = nullptr;  // the bottom row
  int64_t Stride = 0;               // from one row to the next upward
  int32_t Width = 0, Height = 0, Bits = 0;
  const uint8_t* Row(int32_t y) const { return Bottom + (int64_t(Height) - 1 - y) * Stride; }
};

// One source pixel as blue, green, red. The store keeps no palette: indexed
// pictures show their indices as gray, 1-bit ones set = white.
template <int Bits>
inline void Fetch(const uint8_t* Row, int32_t X, uint8_t* Out) {
  if constexpr (Bits == 24) {
    std::memcpy(Out, Row + size_t(X) * 3, 3);
  } else if constexpr (Bits == 32) {
    std::memcpy(Out, Row + size_t(X) * 4, 3);
  } else if constexpr (Bits == 16) {
    const uint32_t v = uint32_t(Row[size_t(X) * 2]) | (uint32_t(Row[size_t(X) * 2 + 1]) << 8);
    Out[0] = uint8_t((v & 31) * 255 / 31);
    Out[1] = uint8_t(((v >> 5) & 31) * 255 / 31);
    Out[2] = uint8_t(((v >> 10) & 31) * 255 / 31);
  } else if constexpr (Bits == 8) {
    Out[0] = Out[1] = Out[2] = Row[X];
  } else if constexpr (Bits == 4) {
    const uint8_t b = Row[X >> 1];
    Out[0] = Out[1] = Out[2] = uint8_t(((X & 1) ? (b & 15) : (b >> 4)) * 17);
  } else {
    Out[0] = Out[1] = Out[2] = ((Row[X >> 3] >> (7 - (X & 7))) & 1) ? 255 : 0;
  }
}

// Nearest-pixel stretch of the whole source onto Dest (L, T, DW x DH) of a
// pf24bit or pf32bit target, inside Clip. The row choice and the column map
// are made once; the pixel loop has no format test.
template <int Bits, int DstBpp>
void StretchRows(const TSourceRows& S, TBitmap& Target, int32_t L, int32_t T, int32_t DW, int32_t DH,
                 const TRect& Clip) {
  const int32_t x0 = std::max(L, Clip.Left), x1 = std::min(L + DW, Clip.Right);
  const int32_t y0 = std::max(T, Clip.Top), y1 = std::min(T + DH, Clip.Bottom);
  if (x0 >= x1 || y0 >= y1) return;
  std::vector<int32_t> xmap(size_t(x1 - x0));
  for (int32_t x = x0; x < x1; ++x) xmap[size_t(x - x0)] = int32_t(int64_t(x - L) * S.Width / DW);
  for (int32_t y = y0; y < y1; ++y) {
    const uint8_t* src = S.Row(int32_t(int64_t(y - T) * S.Height / DH));
    uint8_t* d = static_cast<uint8_t*>(Target.ScanLine(y)) + size_t(x0) * DstBpp;
    for (size_t i = 0; i < xmap.size(); ++i, d += DstBpp) Fetch<Bits>(src, xmap[i], d);
  }
}

template <int DstBpp>
void StretchAny(const TSourceRows& S, TBitmap& Target, int32_t L, int32_t T, int32_t DW, int32_t DH,
                const TRect& Clip) {
  switch (S.Bits) {
    case 1: StretchRows<1, DstBpp>(S, Target, L, T, DW, DH, Clip); break;
    case 4: StretchRows<4, DstBpp>(S, Target, L, T, DW, DH, Clip); break;
    case 8: StretchRows<8, DstBpp>(S, Target, L, T, DW, DH, Clip); break;
    case 16: StretchRows<16, DstBpp>(S, Target, L, T, DW, DH, Clip); break;
    case 24: StretchRows<24, DstBpp>(S, Target, L, T, DW, DH, Clip); break;
    case 32: StretchRows<32, DstBpp>(S, Target, L, T, DW, DH, Clip); break;
    default: break;
  }
}

// Draws the source stretched to DW x DH at (L, T) on the canvas.
void DrawStretched(TCanvas& C, const TSourceRows& S, int32_t L, int32_t T, int32_t DW, int32_t DH) {
  TBitmap& target = C.Bitmap();
  const TRect cr = C.ClipRect();
  const TRect clip = Rect(std::max(cr.Left, 0), std::max(cr.Top, 0), std::min(cr.Right, target.Width()),
                          std::min(cr.Bottom, target.Height()));
  if (DW <= 0 || DH <= 0 || clip.Left >= clip.Right || clip.Top >= clip.Bottom) return;
  if (target.PixelFormat() == pf32bit) {
    StretchAny<4>(S, target, L, T, DW, DH, clip);
  } else if (target.PixelFormat() == pf24bit) {
    StretchAny<3>(S, target, L, T, DW, DH, clip);
  } else {
    // Any other target goes through a picture of the drawn size.
    TBitmap tmp(DW, DH, pf24bit);
    StretchAny<3>(S, tmp, 0, 0, DW, DH, Rect(0, 0, DW, DH));
    C.Draw(L, T, tmp);
  }
}

void Frame3D(TCanvas& C, const TRect& R, TColor TopLeft, TColor BottomRight) {
  if (R.Right <= R.Left || R.Bottom <= R.Top) return;
  C.Brush().SetStyle(bsSolid);
  C.Brush().SetColor(TopLeft);
  C.FillRect(Rect(R.Left, R.Top, R.Right, R.Top + 1));
  C.FillRect(Rect(R.Left, R.Top, R.Left + 1, R.Bottom));
  C.Brush().SetColor(BottomRight);
  C.FillRect(Rect(R.Left, R.Bottom - 1, R.Right, R.Bottom));
  C.FillRect(Rect(R.Right - 1, R.Top, R.Right, R.Bottom));
}

constexpr TColor kFrameGray = 8421504;
// Larger fitted pictures are not kept: a cell that big is drawn straight from the store.
constexpr int64_t kMaxPreparedPixels = int64_t(4) << 20;

// The height of a caption in its font; 0 without text.
int32_t CaptionHeight(TCanvas& C, const TIMMText& T) {
  if (T.Caption.empty()) return 0;
  C.Font().Assign(T.Font);
  return C.TextHeight(T.Caption);
}

// A prepared pf24bit picture drawn 1:1 at (L, T).
void DrawFitted(TCanvas& C, const TBitmap& Pic, int32_t L, int32_t T) {
  if (Pic.Width() <= 0 || Pic.Height() <= 0) return;
  TSourceRows r{static_cast<const uint8_t*>(Pic.ScanLine(Pic.Height() - 1)), -int64_t(Pic.RowBytes()), Pic.Width(),
                Pic.Height(), 24};
  DrawStretched(C, r, L, T, Pic.Width(), Pic.Height());
}

void FillBetween(TCanvas& C, const TRect& Cell, const TRect& Image) {
  // The four strips of the cell around the picture.
  const TRect strips[4] = {Rect(Cell.Left, Cell.Top, Cell.Right, std::max(Image.Top, Cell.Top)),
                           Rect(Cell.Left, std::min(Image.Bottom, Cell.Bottom), Cell.Right, Cell.Bottom),
                           Rect(Cell.Left, Image.Top, std::max(Image.Left, Cell.Left), Image.Bottom),
                           Rect(std::min(Image.Right, Cell.Right), Image.Top, Cell.Right, Image.Bottom)};
  for (const TRect& r : strips)
    if (r.Right > r.Left && r.Bottom > r.Top) C.FillRect(r);
}

}  // namespace

void TImagerMView::Paint() {
  if (FPaintLock > 0) return;
  if (PaintTransitionFrame()) return;
  PaintTo(Canvas());
}

void TImagerMView::PaintWallPaper(TCanvas& C) {
  TGraphic* g = FWallPaper->Graphic();
  const int32_t w = FWallPaper->Width(), h = FWallPaper->Height();
  if (!g || w <= 0 || h <= 0) return;
  TBitmap* bmp = dynamic_cast<TBitmap*>(g);
  const TRect client = Rect(0, 0, ClientWidth(), ClientHeight());
  if (!bmp) return;
  switch (FWallPaperStyle) {
    case imwoNormal: C.Draw(0, 0, *bmp); break;
    case imwoStretch: C.StretchDraw(client, *bmp); break;
    case imwoTile:
      for (int32_t y = 0; y < client.Bottom; y += h)
        for (int32_t x = 0; x < client.Right; x += w) C.Draw(x, y, *bmp);
      break;
  }
}

void TImagerMView::PaintTo(TCanvas& C) {
  const int32_t count = GetImageCount();
  const TRect client = Rect(0, 0, ClientWidth(), ClientHeight());
  // The background first: the cells are drawn over it, which is what
  // excluding them from the clip region achieves on a window.
  const bool wall = FWallPaper->Graphic() && FWallPaper->Width() > 0 && FWallPaper->Height() > 0;
  if (!wall || FWallPaperStyle == imwoNormal) {
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(Background());
    C.FillRect(client);
  }
  if (wall) PaintWallPaper(C);
  const int32_t n = FDisplayMode == mdSingle ? std::min(count, 1) : count;
  if (n == 0) return;
  const int32_t first = (FPlaying || FDisplayMode == mdSingle) ? std::clamp(FPlayIndex, 0, count - 1) : 0;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t idx = (first + k) % count;
    if (OnDrawProgress && n > 1) OnDrawProgress(this, int32_t(int64_t(k) * 100 / n), idx);
    if (GetImageCount() != count) return;  // a handler changed the entries: the next update repaints
    PaintCell(C, idx);
    if (GetImageCount() != count) return;
  }
  if (OnDrawProgress && n > 1) OnDrawProgress(this, 100, 0);
}

int32_t TImagerMView::ImageAreaHeight(TCanvas& C, TIMMImageEntry& E) {
  return FThumbHeight - FBottomGap - FUpperGap - CaptionHeight(C, E.BottomText);
}

void TImagerMView::FittedSize(TIMMImageEntry& E, int32_t AreaHeight, int32_t& W, int32_t& H) {
  W = H = 0;
  if (!E.Image) return;
  if (const TIMDibHeader* h = FStore->ImageHeader(E.Image))
    FitThumbSize(h->biWidth, h->biHeight, FThumbWidth, AreaHeight, W, H);
}

void TImagerMView::RenderFitted(TIMMImageEntry& E, int32_t W, int32_t H, TBitmap& Out) {
  Out.SetSize(0, 0);
  Out.SetPixelFormat(pf24bit);
  Out.SetSize(W, H);
  TSourceRows s;
  const TIMDibHeader* h = FStore->ImageHeader(E.Image);
  if (!h || W <= 0 || H <= 0) return;
  s.Width = h->biWidth;
  s.Height = h->biHeight;
  s.Bits = h->biBitCount;
  s.Bottom = FStore->ImageBits(E.Image);
  s.Stride = FStore->ImageRowStride(E.Image);
  if (!s.Bottom) return;
  if (s.Bits == 1 && (W < s.Width || H < s.Height)) {
    // Reduced 1-bit pictures are area-averaged to gray rather than losing lines.
    if (s.Stride > 0) {
      std::unique_ptr<uint8_t[]> rows =
          Reduce1BitRectTo24(s.Bottom, s.Width, s.Height, W, H, 0, 0, s.Width - 1, s.Height - 1);
      const int64_t rb = (int64_t(W) * 24 + 31) / 32 * 4;
      if (rows)
        for (int32_t y = 0; y < H; ++y)
          std::memcpy(Out.ScanLine(y), rows.get() + (int64_t(H) - 1 - y) * rb, size_t(W) * 3);
    } else if (TBitmap* lent = FStore->GetBitmap(E.Image)) {
      ReduceRect24(*lent, 0, 0, s.Width - 1, s.Height - 1, Out);
      FStore->ReleaseBitmap(lent, false);
    }
    return;
  }
  StretchAny<3>(s, Out, 0, 0, W, H, Rect(0, 0, W, H));
}

void TImagerMView::PrepareCell(TIMMImageEntry& E) {
  if (!E.Image) {
    E.Prepared.reset();
    return;
  }
  const int32_t area = ImageAreaHeight(Canvas(), E);
  if (E.Prepared && E.PreparedArea == area && E.PreparedWidth == FThumbWidth && !E.Image->Lent) return;
  int32_t w, h;
  FittedSize(E, area, w, h);
  if (int64_t(w) * h > kMaxPreparedPixels) {
    E.Prepared.reset();  // huge cells are drawn from the store, only their visible part
    return;
  }
  if (!E.Prepared) E.Prepared = std::make_unique<TBitmap>();
  RenderFitted(E, w, h, *E.Prepared);
  E.PreparedArea = area;
  E.PreparedWidth = FThumbWidth;
}

void TImagerMView::PaintCell(TCanvas& C, int32_t idx) {
  TIMMImageEntry& e = *FEntries[size_t(idx)];
  const int32_t left = e.X - FViewX, top = e.Y - FViewY;
  const TRect cell = Rect(left, top, left + FThumbWidth, top + FThumbHeight);
  if (cell.Right <= 0 || cell.Bottom <= 0 || cell.Left >= ClientWidth() || cell.Top >= ClientHeight()) return;

  const int32_t bottomH = CaptionHeight(C, e.BottomText);
  const int32_t infoH = CaptionHeight(C, e.InfoText);
  const int32_t areaH = FThumbHeight - FBottomGap - FUpperGap - bottomH;

  const bool selected =
      idx == FSelectedImage ||
      (FEnableMultiSelect &&
       std::find(FMultiSelectedImages.begin(), FMultiSelectedImages.end(), idx) != FMultiSelectedImages.end());
  const bool drawSel = selected && FVisibleSelection && FDisplayMode == mdGrid;
  const bool acdSel = drawSel && FSelectionStyle == imssACD;

  C.Brush().SetStyle(bsSolid);
  TRect image = Rect(0, 0, 0, 0);
  if (e.Image) {
    // The prepared picture is the fitted one: its size needs no look into the store.
    const bool prepared = e.Prepared && e.PreparedArea == areaH && e.PreparedWidth == FThumbWidth;
    int32_t dw = 0, dh = 0;
    if (prepared) {
      dw = e.Prepared->Width();
      dh = e.Prepared->Height();
    } else {
      FittedSize(e, areaH, dw, dh);
    }
    image = Rect(left + (FThumbWidth - dw) / 2, top + FUpperGap + (areaH - dh) / 2, 0, 0);
    image.Right = image.Left + dw;
    image.Bottom = image.Top + dh;
    if (!prepared) {
      // Painted without preparation (onto another canvas, before an update,
      // or a cell too large to keep a picture of): drawn from the store.
      const TIMDibHeader* h = FStore->ImageHeader(e.Image);
      TSourceRows src;
      if (h && h->biBitCount != 1) {
        src.Width = h->biWidth;
        src.Height = h->biHeight;
        src.Bits = h->biBitCount;
        src.Bottom = FStore->ImageBits(e.Image);
        src.Stride = FStore->ImageRowStride(e.Image);
      }
      if (src.Bottom) {
        DrawStretched(C, src, image.Left, image.Top, dw, dh);  // only the visible part is written
      } else if (h && h->biBitCount == 1 && int64_t(dw) * dh <= kMaxPreparedPixels) {
        TBitmap fitted;
        RenderFitted(e, dw, dh, fitted);
        DrawFitted(C, fitted, image.Left, image.Top);
      }
    } else {
      DrawFitted(C, *e.Prepared, image.Left, image.Top);
    }
    C.Brush().SetColor(acdSel ? clHighlight : FDrawImageBackground ? e.Background : FThumbnailsBackground);
    FillBetween(C, cell, image);
  } else {
    C.Brush().SetColor(acdSel ? clHighlight : FThumbnailsBackground);
    C.FillRect(cell);
  }

  auto writeText = [&](TIMMText& T, int32_t Y) {
    if (T.Caption.empty()) return;
    C.Font().Assign(T.Font);
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(acdSel ? clHighlight : T.Background);
    if (acdSel) C.Font().SetColor(clHighlightText);
    const int32_t w = C.TextWidth(T.Caption);
    C.TextOut(left + (FThumbWidth - w) / 2, Y, T.Caption);
  };
  writeText(e.TopText, top);
  writeText(e.BottomText, top + FThumbHeight - FBottomGap - bottomH);
  const int32_t infoStrip = e.InfoText.Caption.empty() ? 0 : infoH + 3;
  if (!e.InfoText.Caption.empty()) {
    C.Font().Assign(e.InfoText.Font);
    C.Brush().SetStyle(bsSolid);
    C.Brush().SetColor(acdSel ? clHighlight : e.InfoText.Background);
    if (acdSel) C.Font().SetColor(clHighlightText);
    const TRect strip = Rect(left, cell.Bottom - (infoH + 1), cell.Right, cell.Bottom);
    C.FillRect(strip);
    const int32_t w = C.TextWidth(e.InfoText.Caption);
    C.TextOut(left + (FThumbWidth - w - 2) / 2 + 1, strip.Top, e.InfoText.Caption);
  }

  if (FStyle == immsACD) {
    if (e.Image && image.Right > image.Left)
      Frame3D(C, Rect(image.Left - 1, image.Top - 1, image.Right + 1, image.Bottom + 1), clWhite, kFrameGray);
    if (FBottomGap + FUpperGap > 0 || bottomH > 0)
      Frame3D(C, Rect(cell.Left, cell.Top, cell.Right, cell.Bottom - infoStrip), clBlack, clWhite);
    if (infoStrip > 0) Frame3D(C, Rect(cell.Left, cell.Bottom - infoStrip, cell.Right, cell.Bottom), clWhite, kFrameGray);
  }

  const int32_t count = GetImageCount();
  if (OnImageDraw) OnImageDraw(this, idx, left, top, C);
  if (GetImageCount() != count) return;

  C.Brush().SetStyle(bsClear);
  C.Pen().SetWidth(1);
  C.Pen().SetStyle(psSolid);
  if (FThumbnailsBorderWidth > 0) {
    C.Pen().SetColor(FThumbnailsBorderColor);
    for (int32_t i = 1; i <= FThumbnailsBorderWidth; ++i)
      C.Rectangle(cell.Left - i, cell.Top - i, cell.Right + i, cell.Bottom + i);
  }
  // The selection frame is drawn last: on a window it is kept out of the
  // border's way by the clip region.
  if (drawSel && FSelectionStyle == imssAround) {
    C.Pen().SetColor(FSelectionColor);
    const int32_t n = Focused() ? FSelectionWidth : 1;
    for (int32_t i = 1; i <= n; ++i) C.Rectangle(cell.Left - i, cell.Top - i, cell.Right + i, cell.Bottom + i);
  }
  C.Brush().SetStyle(bsSolid);
}

}  // namespace kv
