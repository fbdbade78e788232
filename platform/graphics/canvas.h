// Drawing on a bitmap with the window system's conventions: right and bottom
// edges of shapes are exclusive and LineTo leaves out its end point.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/color.h"
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

class TGraphicsObject : public TObject {
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

 private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
};

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

 private:
  std::string FName;
  int32_t FHeight = 0;
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
  void LineTo(int32_t X, int32_t Y);
  void Polyline(const TPoint* Points, int32_t Count);
  void Polygon(const TPoint* Points, int32_t Count);
  void Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  void RoundRect(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3);
  void Ellipse(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
  void Ellipse(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
  void Arc(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4);
  void Pie(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3, int32_t X4, int32_t Y4);
  void FillRect(const TRect& R);
  void FrameRect(const TRect& R);
  void DrawFocusRect(const TRect& R);
  void FloodFill(int32_t X, int32_t Y, TColor Color, bool Surface);

  void TextOut(int32_t X, int32_t Y, const std::string& Text);
  void TextRect(const TRect& R, int32_t X, int32_t Y, const std::string& Text);
  TSize TextExtent(const std::string& Text);
  int32_t TextWidth(const std::string& Text) { return TextExtent(Text).cx; }
  int32_t TextHeight(const std::string& Text) { return TextExtent(Text).cy; }

  // Draws a bitmap at (X, Y) 1:1 with CopyMode.
  void Draw(int32_t X, int32_t Y, const TBitmap& Source);
  // Nearest-neighbour stretch of the whole source into Dest with CopyMode.
  void StretchDraw(const TRect& Dest, const TBitmap& Source);
  // Copies (stretching when sizes differ) SourceRect of another canvas into Dest with CopyMode.
  void CopyRect(const TRect& Dest, TCanvas& Source, const TRect& SourceRect);

  TColor Pixel(int32_t X, int32_t Y);
  void SetPixel(int32_t X, int32_t Y, TColor Color);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 private:
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
