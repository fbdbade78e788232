// The working copy of the format parameters dialog: every value its pages
// show, filled from a parameter record and written back into one, and the
// rules between the colour lists and the record's samples and bits.
#pragma once
#include <cstdint>
#include <string>

#include "imaging/formats/io_params.h"

namespace kv {

// Entries of the colour lists.
enum TTiffColorsItem : int32_t { tcBW, tc16, tc256, tc65536, tc16M };
enum TBmpColorsItem : int32_t { bcBW, bc16, bc256, bc65536, bc16M, bc16M32 };
enum TPcxColorsItem : int32_t { pcBW, pc16, pc256, pc16M };
// PNG and TGA share one list.
enum TSmallColorsItem : int32_t { scBW, sc256, sc16M };

// Photometric entries of the TIFF page, as the record numbers them.
constexpr int32_t kTiffWhiteIsZero = 0, kTiffBlackIsZero = 1, kTiffRGB = 2, kTiffPalette = 3, kTiffCMYK = 5,
                  kTiffYCbCr = 6, kTiffCIELab = 7;

// The record's own fields (BmpCompression kept 0 or 1, as the page's list
// has it) and, for the colour lists, the entry each page shows.
struct TIOPreviewValues : TIOParamsFields {
  int32_t TiffColors = tc16M;
  int32_t GifColors = 7;  // list index: bits - 1
  int32_t BmpColors = bc16M;
  int32_t PcxColors = pc16M;
  int32_t PngColors = sc16M;
  int32_t TgaColors = sc16M;

  // Every value from the record, colour lists chosen as the pages show them.
  void Load(const TIOParamsVals& P);
};

// Colour list entries from (samples, bits), as the pages show them.
int32_t TiffColorsOf(int32_t Samples, int32_t Bits, int32_t Photometric);
int32_t BmpColorsOf(int32_t Samples, int32_t Bits);
int32_t PcxColorsOf(int32_t Samples, int32_t Bits);
int32_t SmallColorsOf(int32_t Samples, int32_t Bits);

// (samples, bits) of a list entry.
struct TSampleBits {
  int32_t Samples;
  int32_t Bits;
};
TSampleBits TiffSampleBits(int32_t Colors, int32_t Photometric);
TSampleBits BmpSampleBits(int32_t Colors);
TSampleBits PcxSampleBits(int32_t Colors);
TSampleBits SmallSampleBits(int32_t Colors);

// The TIFF page's interlocks when the user changes one of the two lists.
int32_t TiffColorsForPhotometric(int32_t Photometric, int32_t Colors);
int32_t TiffPhotometricForColors(int32_t Colors, int32_t Photometric);

// Which page writes what: the fields of the active page go into the record.
enum TIOPreviewPage : int32_t { ppJPEG, ppTIFF, ppGIF, ppBMP, ppPCX, ppPNG, ppTGA };
constexpr int32_t kIOPreviewPageCount = 7;
// The page bit of a page (4 JPEG ... 256 TGA), and of a record's file type (0: none).
int32_t PageBit(int32_t Page);
int32_t PageBitOfFileType(int32_t FileType);
void StoreValues(const TIOPreviewValues& V, int32_t Page, TIOParamsVals& P);

}  // namespace kv
