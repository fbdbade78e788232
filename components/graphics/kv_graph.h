// Bitmaps as device-independent bitmap files in memory at 1, 4, 8 or 24 bits
// per pixel; true colour goes to a 256-entry palette by one of six methods.
#pragma once
#include <cstdint>
#include <memory>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"

namespace kv {

enum TColorReduction : uint8_t { crHistogram, crMedianCut, crTrunc784, crTrunc666, crTripel, crGrayscale };

// The method ReduceToColors uses; process-wide.
extern TColorReduction DefaultColorReduction;

// Text of the error raised for target formats and source depths that cannot be converted.
constexpr char SNotImplemented[] = "Funktion noch nicht implementiert";
constexpr char SInvalidBitmap[] = "Bitmap ist ungültig";

// ((Bits + 31) div 32) x 4.
int32_t RowBytes(int32_t Bits);
// ((Pixels x BitsPerPixel + AlignBits - 1) and not (AlignBits - 1)) div 8; AlignBits a power of two.
int32_t ScanLineBytes(int32_t Pixels, int32_t BitsPerPixel, int32_t AlignBits);
// 2, 16, 256 for the indexed formats, 0 for the others.
int32_t FormatColors(TPixelFormat PixelFormat);

// A complete bitmap file of Bitmap at the target format, positioned at 0.
// Raises EInvalidGraphic "Bitmap ist ungültig" for an empty bitmap and
// EInvalidGraphicOperation SNotImplemented for a target it cannot write.
std::unique_ptr<TMemoryStream> BitmapToDIBStream(const TBitmap& Bitmap, TPixelFormat PixelFormat,
                                                 TColorReduction Method);
// 1 bit up to 2 colours, 4 bits up to 16, 8 bits up to 256, 24 bits above; DefaultColorReduction.
std::unique_ptr<TMemoryStream> ReduceToColors(const TBitmap& Bitmap, int32_t Colors);

// ---- the reductions themselves, for a 24-bit source ----

// One reduced picture: 256 palette entries, one index per pixel (rows top-down,
// Width bytes each) and the count written as "colours used" (0: all 256).
struct TReducedPixels {
  TPaletteEntry Palette[256];
  std::vector<uint8_t> Indexes;
  int32_t Width = 0;
  int32_t Height = 0;
  uint32_t ColorsUsed = 0;
};
// Source must be pf24bit.
void ReducePixels(const TBitmap& Source, TColorReduction Method, TReducedPixels& Out);

}  // namespace kv
