// Shared drawing routines and the hand cursors.
#include "components/draw_utils.h"

#include <algorithm>

#include "platform/rtl/file_utils.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_window.h"
#include "platform/ui/screen_frame.h"

namespace kv {

namespace {

bool Inside(const TBitmap& B, int32_t X, int32_t Y) { return X >= 0 && Y >= 0 && X < B.Width() && Y < B.Height(); }

// A 24-bit copy of an area of a bitmap (the whole bitmap when the area is empty).
std::unique_ptr<TBitmap> CopyArea(const TBitmap& Source, TRect R) {
  auto out = std::make_unique<TBitmap>(std::max(R.Width(), 0), std::max(R.Height(), 0), pf24bit);
  for (int32_t y = 0; y < out->Height(); ++y)
    for (int32_t x = 0; x < out->Width(); ++x)
      out->SetPixelColor(x, y, Inside(Source, R.Left + x, R.Top + y) ? Source.GetPixelColor(R.Left + x, R.Top + y) : 0);
  return out;
}

// A cursor picture from 16 rows of text: '#' black, '.' white, ' ' see-through.
TCursorMasks MasksFrom(const char* const (&Rows)[16]) {
  TCursorMasks m;
  std::fill(std::begin(m.AndMask), std::end(m.AndMask), 0xFF);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; Rows[y][x] && x < 16; ++x) {
      const int byte = y * 4 + x / 8;
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x % 8));
      if (Rows[y][x] == ' ') continue;
      m.AndMask[byte] &= static_cast<uint8_t>(~bit);
      if (Rows[y][x] == '.') m.XorMask[byte] |= bit;
    }
  return m;
}

}  // namespace

void LoadComponentCursors() {
  // Drawn here: an open hand pointing up, and the same hand closed for dragging.
  static const char* const hand[16] = {
      "     ##         ", "    #..#        ", "    #..#        ", "    #..###      ",
      "    #..#..###   ", "    #..#..#..## ", " ## #..#..#..#.#", "#..##........#.#",
      "#...#..........#", " #.............#", "  #............#", "  #...........# ",
      "   #..........# ", "    #........#  ", "     #.......#  ", "     #########  "};
  static const char* const drag[16] = {
      "                ", "                ", "                ", "                ",
      "     ## ## ##   ", "    #..#..#..## ", "    #........#.#", "  ###..........#",
      " #..#..........#", " #.............#", "  #............#", "  #...........# ",
      "   #..........# ", "    #........#  ", "     #.......#  ", "     #########  "};
  RegisterCursor(crHand, MasksFrom(hand), 6, 1);
  RegisterCursor(crDragHand, MasksFrom(drag), 8, 8);
}

void DrawTransparentStretched(TCanvas& Canvas, const TBitmap& Bitmap, TColor TransColor, TRect DestRect,
                              TRect SrcRect) {
  if (Bitmap.Empty()) return;
  if (DestRect.Width() < 1 || DestRect.Height() < 1)
    DestRect = Bounds(DestRect.Left, DestRect.Top, Bitmap.Width(), Bitmap.Height());
  if (SrcRect.Width() < 1 || SrcRect.Height() < 1) SrcRect = Rect(0, 0, Bitmap.Width(), Bitmap.Height());
  auto part = CopyArea(Bitmap, SrcRect);
  if (TransColor == clNone) {
    Canvas.StretchDraw(DestRect, *part);
    return;
  }
  if (Bitmap.Monochrome()) TransColor = clWhite;
  else if (TransColor == clDefault) TransColor = Bitmap.GetPixelColor(0, Bitmap.Height() - 1);
  part->SetTransparentColor(static_cast<TColor>(ColorToRGB(TransColor)));
  part->SetTransparent(true);
  const TCopyMode mode = Canvas.CopyMode();
  Canvas.SetCopyMode(cmSrcCopy);
  Canvas.StretchDraw(DestRect, *part);
  Canvas.SetCopyMode(mode);
}

void MaskedStretchCopy(TCanvas& Dest, int32_t DstX, int32_t DstY, int32_t DstW, int32_t DstH, const TBitmap& Source,
                       int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH,
                       const std::vector<TPaletteEntry>* /*Palette*/, TColor Color) {
  // Our bitmaps carry their palette with them; nothing needs realising.
  if (SrcW < 1 || SrcH < 1 || DstW == 0 || DstH == 0) return;
  auto part = CopyArea(Source, Bounds(SrcX, SrcY, SrcW, SrcH));
  part->SetTransparentColor(static_cast<TColor>(ColorToRGB(Color)));
  part->SetTransparent(true);
  const TCopyMode mode = Dest.CopyMode();
  Dest.SetCopyMode(cmSrcCopy);
  Dest.StretchDraw(Bounds(DstX, DstY, DstW, DstH), *part);
  Dest.SetCopyMode(mode);
}

void DrawTransparent(TCanvas& Canvas, int32_t X, int32_t Y, const TBitmap& Bitmap, TColor TransColor) {
  DrawTransparentStretched(Canvas, Bitmap, TransColor, Bounds(X, Y, Bitmap.Width(), Bitmap.Height()), TRect{});
}

void DrawTransparent(TCanvas& Canvas, const TRect& DestRect, const TBitmap& Bitmap, TColor TransColor) {
  DrawTransparentStretched(Canvas, Bitmap, TransColor, DestRect, TRect{});
}

void DrawTransparent(TCanvas& Canvas, const TRect& DestRect, const TRect& SrcRect, const TBitmap& Bitmap,
                     TColor TransColor) {
  DrawTransparentStretched(Canvas, Bitmap, TransColor, DestRect, SrcRect);
}

std::unique_ptr<TBitmap> MakeEmbossedGlyph(const TBitmap& Glyph, TColor TransColor, TColor Face, TColor Highlight,
                                           TColor Shadow, bool WithHighlight) {
  const int32_t w = Glyph.Width(), h = Glyph.Height();
  auto out = std::make_unique<TBitmap>(w, h, pf24bit);
  const TColor face = static_cast<TColor>(ColorToRGB(Face));
  const TColor hl = static_cast<TColor>(ColorToRGB(Highlight));
  const TColor sh = static_cast<TColor>(ColorToRGB(Shadow));
  if (Glyph.Monochrome()) TransColor = clWhite;
  else if (TransColor == clDefault) TransColor = w > 0 && h > 0 ? Glyph.GetPixelColor(0, h - 1) : clNone;
  const TColor trans = TransColor == clNone ? clNone : static_cast<TColor>(ColorToRGB(TransColor));
  std::vector<uint8_t> shape(size_t(w) * size_t(h));
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) shape[size_t(y) * size_t(w) + size_t(x)] = Glyph.GetPixelColor(x, y) != trans;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) out->SetPixelColor(x, y, face);
  if (WithHighlight)
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (shape[size_t(y) * size_t(w) + size_t(x)] && Inside(*out, x + 1, y + 1)) out->SetPixelColor(x + 1, y + 1, hl);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      if (shape[size_t(y) * size_t(w) + size_t(x)]) out->SetPixelColor(x, y, sh);
  return out;
}

std::unique_ptr<TBitmap> MakeEmbossedGlyph(const TBitmap& Glyph, TColor TransColor) {
  return MakeEmbossedGlyph(Glyph, TransColor, clBtnFace, clBtnHighlight, clBtnShadow, true);
}

void DrawImageEmbossed(const TCustomImageList& Images, TCanvas& Canvas, int32_t X, int32_t Y, int32_t Index,
                       TColor Highlight, TColor Shadow, bool WithHighlight) {
  if (Index < 0 || Index >= Images.Count()) return;
  const int32_t w = Images.Width(), h = Images.Height();
  auto pass = [&](int32_t Dx, TColor C) {
    const TColor rgb = static_cast<TColor>(ColorToRGB(C));
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        if (!Images.IsTransparent(Index, x, y)) Canvas.SetPixel(X + x + Dx, Y + y + Dx, rgb);
  };
  if (WithHighlight) pass(1, Highlight);
  pass(0, Shadow);
}

void GetGlyphCell(const TBitmap& Source, TBitmap& Target, int32_t Columns, int32_t Index, int32_t Rows) {
  Columns = std::max(Columns, 1);
  Rows = std::max(Rows, 1);
  Index = std::max(Index, 0);
  const int32_t cw = Source.Width() / Columns, ch = Source.Height() / Rows;
  const int32_t cx = (Index % Columns) * cw, cy = (Index / Columns) * ch;
  auto cell = CopyArea(Source, Bounds(cx, cy, cw, ch));
  Target.Assign(cell.get());
  Target.SetTransparentColor(Source.TransparentColor());
  Target.SetTransparent(Source.Transparent());
}

void PaintParentBackground(TControl* Control, TCanvas& Canvas) {
  TWinControl* parent = Control ? Control->Parent() : nullptr;
  if (!parent) return;
  const TRect me = Control->BoundsRect();
  // The parent's own picture where it paints itself, else its colour.
  TCanvas& c = Canvas;
  c.Brush().SetColor(parent->Color());
  c.Brush().SetStyle(bsSolid);
  c.FillRect(Rect(0, 0, me.Width(), me.Height()));
  if (auto* cc = dynamic_cast<TCustomControl*>(parent)) {
    TBitmap& back = const_cast<TBitmap&>(cc->BackBuffer());
    if (!back.Empty()) c.CopyRect(Rect(0, 0, me.Width(), me.Height()), back.Canvas(), me);
  }
  for (int32_t i = 0; i < parent->ControlCount(); ++i) {
    TControl* sib = parent->Controls(i);
    if (sib == Control) break;
    auto* g = dynamic_cast<TGraphicControl*>(sib);
    if (!g || !g->Visible()) continue;
    const TRect r = g->BoundsRect();
    if (r.Right <= me.Left || r.Left >= me.Right || r.Bottom <= me.Top || r.Top >= me.Bottom) continue;
    g->PreparePaint();
    TBitmap& gb = const_cast<TBitmap&>(g->BackBuffer());
    if (gb.Empty()) continue;
    const TRect dest = Rect(r.Left - me.Left, r.Top - me.Top, r.Right - me.Left, r.Bottom - me.Top);
    c.CopyRect(dest, gb.Canvas(), Rect(0, 0, gb.Width(), gb.Height()));
  }
}

void DrawXorFrame(const TRect& ScreenRect, int32_t Width) {
  // One ring per pixel of width, each one pixel further in.
  for (int32_t i = 0; i < Width; ++i)
    ToggleScreenFrame(Rect(ScreenRect.Left + i, ScreenRect.Top + i, ScreenRect.Right - i, ScreenRect.Bottom - i), 1);
}

void RenderTextInRect(TCanvas& Canvas, const TRect& R, int32_t Dx, int32_t Dy, const std::string& Text,
                      TAlignment Alignment, bool WordWrap, bool RightToLeft) {
  if (RightToLeft && Alignment != taCenter) Alignment = Alignment == taLeftJustify ? taRightJustify : taLeftJustify;
  const TColorRef brush = ColorToRGB(Canvas.Brush().Color());
  // Pure colours are the ones the device shows without dithering: the 16 of the standard palette.
  static const TColorRef pure[] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0x808080,
                                   0xC0C0C0, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
  const bool isPure = std::find(std::begin(pure), std::end(pure), brush) != std::end(pure);
  if (WordWrap || !isPure || Text.find('\r') != std::string::npos) {
    TBitmap scratch(std::max(R.Width(), 1), std::max(R.Height(), 1), pf24bit);
    TCanvas& s = scratch.Canvas();
    s.Font().Assign(Canvas.Font());
    s.Brush().SetColor(Canvas.Brush().Color());
    s.Brush().SetStyle(bsSolid);
    s.FillRect(Rect(0, 0, scratch.Width(), scratch.Height()));
    s.Brush().SetStyle(bsClear);
    TRect tr = Rect(Dx, Dy, R.Width() - Dx, R.Height() - Dy);
    uint32_t fmt = DT_NOPREFIX | (WordWrap ? DT_WORDBREAK : 0);
    if (Alignment == taRightJustify) fmt |= DT_RIGHT;
    else if (Alignment == taCenter) fmt |= DT_CENTER;
    DrawText(s, Text, tr, fmt);
    Canvas.CopyRect(R, s, Rect(0, 0, R.Width(), R.Height()));
    return;
  }
  int32_t x = R.Left + Dx;
  if (Alignment == taRightJustify) x = R.Right - Canvas.TextWidth(Text) - 3;
  else if (Alignment == taCenter) x = R.Left + (R.Width() - Canvas.TextWidth(Text)) / 2;
  Canvas.TextRect(R, x, R.Top + Dy, Text);
}

void PaintCellText(TCanvas& Canvas, const TRect& R, const std::string& Text, TAlignment Alignment,
                   TTextLayout Layout) {
  const int32_t h = R.Height(), th = Canvas.TextHeight("W");
  int32_t dy = 2;
  if (Layout == tlCenter) dy = std::max(1, (h - th) / 2);
  else if (Layout == tlBottom) dy = std::max(2, h - th);
  RenderTextInRect(Canvas, R, 2, dy, Text, Alignment, false, false);
}

std::string ShortenTextToWidth(const std::string& Text, TCanvas& Canvas, int32_t MaxWidth) {
  if (Canvas.TextWidth(Text) <= MaxWidth) return Text;
  std::string base = Text;
  std::string r;
  do {
    if (base.empty()) return "...";
    base.pop_back();
    r = base + "...";
  } while (Canvas.TextWidth(r) > MaxWidth);
  return r;
}

void CentreOnScreen(TControl* Window) {
  if (!Window) return;
  const int32_t sw = Screen->Width(), sh = Screen->Height();
  int32_t l = (sw - Window->Width()) / 2, t = (sh - Window->Height()) / 2;
  l = std::max(0, std::min(l, sw - Window->Width()));
  t = std::max(0, std::min(t, sh - Window->Height()));
  Window->SetBounds(l, t, Window->Width(), Window->Height());
}

std::unique_ptr<TBitmap> LoadBitmapResource(const std::string& Module, const std::string& Name) {
  if (Module.empty() || Name.empty()) return nullptr;  // "Ressource %s nicht gefunden": no system bitmaps here
  const std::string file = IncludeTrailingPathDelimiter(Module) + Name + ".bmp";
  if (!FileExists(file)) return nullptr;
  try {
    auto b = std::make_unique<TBitmap>();
    b->LoadFromFile(file);
    return b;
  } catch (const Exception&) {
    return nullptr;
  }
}

void DropPendingMessage(HWND Window, UINT Msg) {
  TMessage removed;
  if (RemovePendingMessage(Window, Msg, &removed) && removed.Msg == WM_QUIT)
    PostMessage(Window, WM_QUIT, removed.WParam, removed.LParam);
}

void ReportNotAvailable() {
  Screen->SetCursor(crDefault);
  if (Application) Application->MessageBox("Funktion noch nicht implementiert", Application->Title(), MB_OK | MB_ICONSTOP);
  Abort();
}

bool OwnsActiveWindow() { return Screen && Screen->ActiveForm() != nullptr; }

}  // namespace kv
