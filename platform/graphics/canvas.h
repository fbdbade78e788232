// Drawing on a bitmap with the window system's conventions: right and bottom
// edges of shapes are exclusive and LineTo leaves out its end point.
//
// Shapes are rasterised here, straight into the bitmap's memory, for every
// pixel format: indexed bitmaps take the nearest palette entry of a colour
// and pen modes work on the index; colour formats work on the RGB value.
// Text goes through the font engine. A brush of style bsSolid also paints
// the gaps of styled pens and the cell behind text (opaque background); any
// other brush style leaves them (transparent background).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"
#include "platform/rtl/component.h"
#include "platform/rtl/set.h"
#include "platform/rtl/types.h"

namespace kv {

enum TPenStyle : uint8_t { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode : uint8_t {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
enum TBrushStyle : uint8_t { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle, 4>;
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };
enum TFillStyle : uint8_t { fsSurface, fsBorder };

// Raster operation codes of block copies.
using TCopyMode = uint32_t;
constexpr TCopyMode cmBlackness = 0x00000042;
constexpr TCopyMode cmDstInvert = 0x00550009;
constexpr TCopyMode cmMergeCopy = 0x00C000CA;
constexpr TCopyMode cmMergePaint = 0x00BB0226;
constexpr TCopyMode cmNotSrcCopy = 0x00330008;
constexpr TCopyMode cmNotSrcErase = 0x001100A6;
constexpr TCopyMode cmPatCopy = 0x00F00021;
constexpr TCopyMode cmPatInvert = 0x005A0049;
constexpr TCopyMode cmPatPaint = 0x00FB0A09;
constexpr TCopyMode cmSrcAnd = 0x008800C6;
constexpr TCopyMode cmSrcCopy = 0x00CC0020;
constexpr TCopyMode cmSrcErase = 0x00440328;
constexpr TCopyMode cmSrcInvert = 0x00660046;
constexpr TCopyMode cmSrcPaint = 0x00EE0086;
constexpr TCopyMode cmWhiteness = 0x00FF0062;

// Pen, brush and font are persistent: forms store their properties by name ("Font.Size").
class TGraphicsObject : public TPersistent {
 public:
  TNotifyEvent OnChange;

 protected:
  void Changed() {
    if (OnChange) OnChange(this);
  }
};

class TPen : public TGraphicsObject {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  int32_t Width() const { return FWidth; }
  void SetWidth(int32_t Value);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode Value);
  void Assign(const TPen& Source);
  void Assign(const TPersistent* Source) override;
  const TPropertyTable& PropertyTable() const override;

 private:
  TColor FColor = clBlack;
  int32_t FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
};

class TBrush : public TGraphicsObject {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  void Assign(const TBrush& Source);
  void Assign(const TPersistent* Source) override;
  const TPropertyTable& PropertyTable() const override;

 private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
};

// Default: "MS Sans Serif" 8 pt at 96 pixels per inch. The classic family
// names are drawn with the nearest installed family (sans serif by default).
class TFont : public TGraphicsObject {
 public:
  TFont();
  const std::string& Name() const { return FName; }
  void SetName(const std::string& Value);
  // Size in points; Height in pixels (negative: character height without internal leading).
  int32_t Size() const;
  void SetSize(int32_t Value);
  int32_t Height() const { return FHeight; }
  void SetHeight(int32_t Value);
  TColor Color() const { return FColor; }
  void SetColor(TColor Value);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  uint8_t Charset() const { return FCharset; }
  void SetCharset(uint8_t Value);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);
  int32_t PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int32_t Value) { FPixelsPerInch = Value; }
  void Assign(const TFont& Source);
  void Assign(const TPersistent* Source) override;
  const TPropertyTable& PropertyTable() const override;

 private:
  std::string FName = "MS Sans Serif";
  int32_t FHeight = -11;
  int32_t FPixelsPerInch = 96;
  TColor FColor = clWindowText;
  TFontStyles FStyle;
  uint8_t FCharset = 1;  // DEFAULT_CHARSET
  TFontPitch FPitch = fpDefault;
};

class TCanvasPainter;  // private drawing state (text goes through the font engine)

// A canvas over the memory of one bitmap (every window paints through a bitmap too).
class TCanvas : public TObject {
 public:
  explicit TCanvas(TBitmap& Target);
  ~TCanvas() override;

  TBitmap& Bitmap() { return FTarget; }
  TPen& Pen() { return FPen; }
  TBrush& Brush() { return FBrush; }
  TFont& Font() { return FFont; }
  TCopyMode CopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode Value) { FCopyMode = Value; }
  TPoint PenPos() const { return FPenPos; }
  void SetPenPos(TPoint Value) { FPenPos = Value; }
  // The drawable area: the bitmap, narrowed by SetClipRect.
  TRect ClipRect() const;
  void SetClipRect(const TRect& R);
  void ResetClipRect();

  void MoveTo(int32_t X, int32_t Y);
  // From PenPos to (X, Y) without the end point, which becomes PenPos.
  // Pens wider than 1 draw solid with round ends; styles other than solid apply to width 1 only.
  void LineTo(int32_t X, int32_t Y);
  void Polyline(const TPoint* Points, int32_t Count);
  void Polyline(const std::vector<TPoint>& Points) { Polyline(Points.data(), int32_t(Points.size())); }
  // Filled with the brush (alternate fill: pixel centres inside, edges on
  // the right and bottom left out), then outlined with the pen.
  void Polygon(const TPoint* Points, int32_t Count);
  void Polygon(const std::vector<TPoint>& Points) { Polygon(Points.data(), int32_t(Points.size())); }
  // The pen covers X1..X2-1 x Y1..Y2-1 (psInsideFrame keeps a wide pen inside
  // that box, other wide pens straddle it); the inside takes the brush. With
  // psClear the brush fills one pixel less on the right and bottom, as the
  // window system does. The same box rules hold for RoundRect, Ellipse and Pie.
  void Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  void RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3);
  void Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Ellipse(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
  // Counter-clockwise from the ray through (X3, Y3) to the ray through (X4, Y4); equal rays give the whole ellipse.
  void Arc(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4);
  void Pie(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4);
  // Left..Right-1 x Top..Bottom-1 with the brush, whatever the pen mode.
  void FillRect(const TRect& R);
  // A one-pixel frame just inside R in the brush colour.
  void FrameRect(const TRect& R);
  // Inverts every other pixel of a one-pixel frame; drawing it again restores the picture.
  void DrawFocusRect(const TRect& R);
  // Fills with the brush from (X, Y): Surface (fsSurface) fills the pixels of
  // colour Color, else (fsBorder) everything up to a border of colour Color.
  void FloodFill(int32_t X, int32_t Y, TColor Color, bool Surface);
  void FloodFill(int32_t X, int32_t Y, TColor Color, TFillStyle FillStyle) {
    FloodFill(X, Y, Color, FillStyle == fsSurface);
  }

  // Text with the top-left of its cell at (X, Y); PenPos moves to the cell's top-right.
  void TextOut(int32_t X, int32_t Y, const std::string& Text);
  // Text clipped to R; an opaque background fills all of R.
  void TextRect(const TRect& R, int32_t X, int32_t Y, const std::string& Text);
  // Text turned by Escapement tenths of a degree counter-clockwise about the
  // top-left of its cell at (X, Y), clipped to R; the background is never filled.
  void TextRectAngle(const TRect& R, int32_t X, int32_t Y, int32_t Escapement, const std::string& Text);
  // Advance width and cell height (ascent + descent) of the text in the current font.
  TSize TextExtent(const std::string& Text);
  int32_t TextWidth(const std::string& Text) { return TextExtent(Text).cx; }
  int32_t TextHeight(const std::string& Text) { return TextExtent(Text).cy; }

  // Draws a bitmap at (X, Y) 1:1 with CopyMode; a Transparent source leaves
  // its pixels of TransparentColor out.
  void Draw(int32_t X, int32_t Y, const TBitmap& Source);
  // Nearest-neighbour stretch of the whole source into Dest with CopyMode
  // (Dest with Right < Left or Bottom < Top mirrors); transparency as Draw.
  void StretchDraw(const TRect& Dest, const TBitmap& Source);
  // Copies (stretching when sizes differ) SourceRect of another canvas into
  // Dest with CopyMode. Pixels whose source lies outside the source bitmap stay as they are.
  void CopyRect(const TRect& Dest, TCanvas& Source, const TRect& SourceRect);

  // RGB colour of a pixel; -1 outside the bitmap or the clip rectangle.
  TColor Pixel(int32_t X, int32_t Y);
  void SetPixel(int32_t X, int32_t Y, TColor Color);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 private:
  void Changing() {
    if (OnChanging) OnChanging(this);
  }
  void Changed() {
    if (OnChange) OnChange(this);
  }
  void Blit(const TRect& Dest, const TBitmap& Source, const TRect& SourceRect, bool UseTransparency);
  void DrawGlyphs(const TRect& Clip, int32_t X, int32_t Y, double Degrees, const std::string& Text);

  TBitmap& FTarget;
  TPen FPen;
  TBrush FBrush;
  TFont FFont;
  TCopyMode FCopyMode = cmSrcCopy;
  TPoint FPenPos;
  TRect FClip;
  bool FHasClip = false;
  std::unique_ptr<TCanvasPainter> FPainter;
};

}  // namespace kv
