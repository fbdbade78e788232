// A plane of one value per pixel laid over an image: 1 bit per pixel for a
// selection (set = selected), 8 bits for an alpha plane (0 transparent ..
// 255 opaque). It keeps a bounding box of everything ever set so that
// operations touch only the selected rectangle.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/object.h"
#include "platform/rtl/types.h"

namespace kv {

class TCanvas;

// x of the point that separates polygons in a list of selection points.
constexpr int32_t kPolygonSeparator = 0xFFFFF;

class TIMMask : public TObject {
 public:
  // Header for drawing a 1-bit plane: colour 0 black, colour 1 white.
  struct TRGBQuad {
    uint8_t rgbBlue = 0;
    uint8_t rgbGreen = 0;
    uint8_t rgbRed = 0;
    uint8_t rgbReserved = 0;
  };
  struct TDrawHeader {
    uint32_t biSize = 40;
    int32_t biWidth = 0;
    int32_t biHeight = 0;
    uint16_t biPlanes = 1;
    uint16_t biBitCount = 1;
    uint32_t biCompression = 0;  // BI_RGB
    uint32_t biSizeImage = 0;
    int32_t biXPelsPerMeter = 0;
    int32_t biYPelsPerMeter = 0;
    uint32_t biClrUsed = 0;
    uint32_t biClrImportant = 0;
    TRGBQuad bmiColors[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  };

  TIMMask();
  ~TIMMask() override;

  // Frees the plane, stores the size and bits; 1 or 8 bits get a zero-filled
  // plane (another value allocates nothing). The box is empty, Full false.
  void AllocateBits(int32_t AWidth, int32_t AHeight, int32_t ABitsPerPixel);
  void FreeBits();
  // Same size, bits, pixels, box and Full as Source (nullptr: nothing).
  void Assign(const TIMMask* Source);

  // Points outside the plane are ignored; a non-zero value grows the box.
  void SetPixel(int32_t X, int32_t Y, uint8_t Value);
  // 0 outside the plane; else the masked byte of the bit (non-zero when set) or the byte.
  uint8_t GetPixel(int32_t X, int32_t Y) const;
  bool IsPointInside(int32_t X, int32_t Y) const { return GetPixel(X, Y) != 0; }
  // Row Y, 0 the top row (rows are stored bottom-up). Null outside the plane.
  uint8_t* ScanLine(int32_t Y);
  const uint8_t* ScanLine(int32_t Y) const;

  // Every byte of the plane takes Value; the box is not changed.
  void Fill(uint8_t Value);
  bool IsEmpty() const { return X1 == MaxInt; }
  // Clears the plane and the box.
  void Empty();
  // Writes the span XFrom..XTo of row Y, clipped to the plane; returns the pixels written.
  int32_t FillRow(uint8_t Value, int32_t XFrom, int32_t Y, int32_t XTo);
  // Fills polygons given as Count (x, y) points, separated by a point whose x is kPolygonSeparator.
  void DrawPolygons(uint8_t Value, const TPoint* Points, int32_t Count);
  // Moves the selected area by DX, DY. With Clip false the offsets are limited
  // so the box stays inside the plane, and handed back.
  void TranslateBits(int32_t& DX, int32_t& DY, bool Clip);
  // Copies (1 bit) or blends (8 bits) Source into Dest where the mask is set.
  // A box-sized bitmap holds just the box (its pixel 0,0 is the box's corner).
  void CopyThroughMask(TBitmap& Dest, const TBitmap& Source, bool SrcBoxSized, bool DstBoxSized);
  // XORs the source rectangle of a 1-bit plane, stretched, onto the canvas's
  // bitmap: drawing twice restores it.
  void DrawInverted(TCanvas& Canvas, int32_t DstX, int32_t DstY, int32_t DstWidth, int32_t DstHeight,
                    int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight);
  // Draws the border of the selection as diagonal stripes of the two colours.
  void DrawOutline(TCanvas& Canvas, int32_t DstX, int32_t DstY, TColor Color1, TColor Color2, int32_t Phase,
                   int32_t SrcX, int32_t SrcY, int32_t SrcWidth, int32_t SrcHeight, int32_t DstWidth,
                   int32_t DstHeight);

  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitsPerPixel = 0;
  int32_t RowBytes = 0;
  // Height rows of RowBytes, bottom-up (row y at index Height - y - 1).
  std::unique_ptr<uint8_t[]> Bits;
  // Bounding box, inclusive; empty while X1 = MaxInt (X1 = Y1 = MaxInt, X2 = Y2 = 0).
  int32_t X1 = MaxInt;
  int32_t Y1 = MaxInt;
  int32_t X2 = 0;
  int32_t Y2 = 0;
  TDrawHeader DrawHeader;
  // Work plane of the outline (1 bit, last destination size) and its row table, top row first.
  std::unique_ptr<uint8_t[]> OutlineBuffer;
  std::vector<uint8_t*> OutlineRows;
  int32_t OutlineWidth = 0;
  int32_t OutlineHeight = 0;
  // The plane is known to be entirely 255 (kept for 8-bit planes).
  bool Full = false;

 private:
  void EmptyBox();
  void GrowBox(int32_t X, int32_t Y);
  void ClampBox();
  void FillPolygon(uint8_t Value, const TPoint* Points, int32_t Count);
};

}  // namespace kv
