// Colour conversions of the imaging library: integer HSV, floating-point HSL,
// packed colours, window-system colours, and the small clamps and swaps.
//
// A packed colour is 0x00RRGGBB (red in bits 16..23), the reverse of TColor.
#pragma once
#include <cstdint>

#include "imaging/model/pixel.h"
#include "platform/graphics/color.h"

namespace kv {

// Hue 0..359, saturation and value 0..99.
void RGBToHSV(uint32_t Colour, int32_t& Hue, int32_t& Saturation, int32_t& Value);
// The inverse; hue is clamped to 0..359, saturation and value to 0..99 first.
void HSVToRGB(TBGRPixel& Out, int32_t Hue, int32_t Saturation, int32_t Value);

// Hue, saturation and lightness 0..1.
void RGBToHSL(uint32_t Colour, double& Hue, double& Saturation, double& Lightness);
// The inverse; each input is limited to 0..1 first.
void HSLToRGB(TBGRPixel& Out, double Hue, double Saturation, double Lightness);

inline TBGRPixel CreateRGB(uint8_t Red, uint8_t Green, uint8_t Blue) {
  TBGRPixel p;
  p.b = Blue;
  p.g = Green;
  p.r = Red;
  return p;
}
inline uint32_t PackedColour(const TBGRPixel& P) {
  return (static_cast<uint32_t>(P.r) << 16) | (static_cast<uint32_t>(P.g) << 8) | P.b;
}
// (21 R + 71 G + 7 B) div 100 of a packed colour.
inline int32_t RGBToGray(uint32_t Colour) {
  return GrayLevel(static_cast<uint8_t>(Colour >> 16), static_cast<uint8_t>(Colour >> 8), static_cast<uint8_t>(Colour));
}
// Exchanges the lowest and the third byte: packed colour <-> TColor, both ways.
inline TColor TBGRPixelToTColor(uint32_t Value) {
  return static_cast<TColor>((Value & 0xFF00FF00u) | ((Value & 0xFFu) << 16) | ((Value >> 16) & 0xFFu));
}
inline TColor RGBToTColor(uint8_t Red, uint8_t Green, uint8_t Blue) {
  return static_cast<TColor>(static_cast<uint32_t>(Red) | (static_cast<uint32_t>(Green) << 8) |
                             (static_cast<uint32_t>(Blue) << 16));
}
// System colours resolve through the current scheme.
TBGRPixel TColorToTBGRPixel(TColor Colour);

// DMin gives the first of two equal values.
inline double DMin(double A, double B) { return B < A ? B : A; }
inline double DMax(double A, double B) { return B > A ? B : A; }
inline int32_t IMin(int32_t A, int32_t B) { return B < A ? B : A; }
inline int32_t IMax(int32_t A, int32_t B) { return B > A ? B : A; }
inline int32_t IClamp(int32_t Value, int32_t Low, int32_t High) { return IMin(IMax(Value, Low), High); }
inline int32_t Clamp255(int64_t Value) { return Value < 0 ? 0 : (Value > 255 ? 255 : static_cast<int32_t>(Value)); }
inline void ISwap(int32_t& A, int32_t& B) {
  const int32_t t = A;
  A = B;
  B = t;
}
inline void BSwap(uint8_t& A, uint8_t& B) {
  const uint8_t t = A;
  A = B;
  B = t;
}
inline bool EqualRGB(const TBGRPixel& A, const TBGRPixel& B) { return A.r == B.r && A.g == B.g && A.b == B.b; }
// Makes X1 <= X2 and Y1 <= Y2.
inline void OrderCorners(int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2) {
  if (X2 < X1) ISwap(X1, X2);
  if (Y2 < Y1) ISwap(Y1, Y2);
}

}  // namespace kv
