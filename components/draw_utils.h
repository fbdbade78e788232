// Drawing routines the interface components share: transparent and embossed
// bitmaps, glyph cells, a control's parent background, screen frames, text in
// cells, and the two hand cursors.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/canvas.h"
#include "platform/graphics/draw_text.h"
#include "platform/ui/controls.h"
#include "platform/ui/image_list.h"

namespace kv {

// The hand cursor and the drag-hand cursor (the speed bar's drag cursor).
constexpr TCursor crHand = 14000;
constexpr TCursor crDragHand = 14001;
// Registers both cursors; safe to call more than once.
void LoadComponentCursors();

// Stretches SrcRect of Bitmap into DestRect leaving out the pixels of
// TransColor. Sizes below 1 take the bitmap's; clNone copies plainly with the
// canvas's copy mode; clDefault takes the bottom-left pixel; a monochrome
// bitmap always treats white as transparent.
void DrawTransparentStretched(TCanvas& Canvas, const TBitmap& Bitmap, TColor TransColor, TRect DestRect,
                              TRect SrcRect);
// Copies a source area into a destination area so that the source pixels of
// Color show the destination. The palette, when given, is the source's.
void MaskedStretchCopy(TCanvas& Dest, int32_t DstX, int32_t DstY, int32_t DstW, int32_t DstH, const TBitmap& Source,
                       int32_t SrcX, int32_t SrcY, int32_t SrcW, int32_t SrcH,
                       const std::vector<TPaletteEntry>* Palette, TColor Color);
void DrawTransparent(TCanvas& Canvas, int32_t X, int32_t Y, const TBitmap& Bitmap, TColor TransColor);
void DrawTransparent(TCanvas& Canvas, const TRect& DestRect, const TBitmap& Bitmap, TColor TransColor);
void DrawTransparent(TCanvas& Canvas, const TRect& DestRect, const TRect& SrcRect, const TBitmap& Bitmap,
                     TColor TransColor);

// A bitmap of the glyph's size in Face showing the glyph's shape (its pixels
// not of TransColor) embossed: in Highlight one pixel down and right, then in Shadow.
std::unique_ptr<TBitmap> MakeEmbossedGlyph(const TBitmap& Glyph, TColor TransColor, TColor Face, TColor Highlight,
                                           TColor Shadow, bool WithHighlight);
std::unique_ptr<TBitmap> MakeEmbossedGlyph(const TBitmap& Glyph, TColor TransColor);

// One image of a list drawn embossed at (X, Y): its shape (the pixels that
// are not see-through) in Highlight one pixel down and right (when
// WithHighlight), then in Shadow; the rest of the canvas stays.
void DrawImageEmbossed(const TCustomImageList& Images, TCanvas& Canvas, int32_t X, int32_t Y, int32_t Index,
                       TColor Highlight, TColor Shadow, bool WithHighlight);

// Copies cell Index of a Columns x Rows glyph strip into Target, with the
// source's transparent colour.
void GetGlyphCell(const TBitmap& Source, TBitmap& Target, int32_t Columns, int32_t Index, int32_t Rows = 1);

// Paints what lies under Control: its parent's background and the visible
// graphic controls before it in z-order, in Control's client coordinates.
void PaintParentBackground(TControl* Control, TCanvas& Canvas);

// The inverted frame on the screen, Width pixels thick, shrinking by one
// pixel per ring; drawing it again removes it.
void DrawXorFrame(const TRect& ScreenRect, int32_t Width);

// Text in a cell: word wrap, a carriage return or a non-pure brush colour go
// through DrawText; else left at Left + Dx, right at Right - width - 3, centred.
void RenderTextInRect(TCanvas& Canvas, const TRect& R, int32_t Dx, int32_t Dy, const std::string& Text,
                      TAlignment Alignment, bool WordWrap, bool RightToLeft);
// Grid cell text: vertical offset from the layout, dx 2.
void PaintCellText(TCanvas& Canvas, const TRect& R, const std::string& Text, TAlignment Alignment,
                   TTextLayout Layout);
// Cuts characters from the end and appends "..." while the text is wider than MaxWidth.
std::string ShortenTextToWidth(const std::string& Text, TCanvas& Canvas, int32_t MaxWidth);

// Centres the window on the screen and keeps it fully on it.
void CentreOnScreen(TControl* Window);

// A bitmap from a resource folder (Module) by name ("<Module>/<Name>.bmp");
// nullptr when there is none. Without a module: nullptr (no system bitmaps here).
std::unique_ptr<TBitmap> LoadBitmapResource(const std::string& Module, const std::string& Name);

// Inclusive on all four edges.
inline bool PointWithinRect(TPoint P, const TRect& R) {
  return P.X >= R.Left && P.X <= R.Right && P.Y >= R.Top && P.Y <= R.Bottom;
}
// Removes one queued message of that kind for the window; a removed WM_QUIT is queued again.
void DropPendingMessage(HWND Window, UINT Msg);
// Default cursor, the message "Funktion noch nicht implementiert", then a silent abort.
[[noreturn]] void ReportNotAvailable();
// Whether one of this program's windows is active.
bool OwnsActiveWindow();

}  // namespace kv
