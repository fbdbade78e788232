// The BMP file layout, shared by TBitmap's loader and the imaging library's
// BMP reader: header parsing with every size checked against the stream,
// colour tables, bit-field masks and the run-length decoder. Each caller
// turns the pieces into its own pixel layout.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/graphics/bitmap.h"

namespace kv {

class TStream;

// Largest picture a loader allocates (16384 x 16384 x 2 pixels).
constexpr int64_t kMaxBitmapPixels = int64_t(1) << 29;

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr uint32_t BI_ALPHABITFIELDS = 6;

struct TBmpHeader {
  int64_t Start = 0;        // stream position of the "BM"
  uint32_t FileSize = 0;
  uint32_t PixelOffset = 0;  // from Start; 0 when the file does not say
  uint32_t InfoSize = 0;     // 12 for the core header
  int32_t Width = 0;
  int32_t Height = 0;  // always positive; TopDown tells the row order
  bool TopDown = false;
  uint16_t Planes = 0;
  uint16_t BitCount = 0;
  uint32_t Compression = BI_RGB;
  uint32_t ImageSize = 0;
  int32_t XPelsPerMeter = 0;
  int32_t YPelsPerMeter = 0;
  uint32_t ClrUsed = 0;
  uint32_t ClrImportant = 0;
  uint32_t Masks[4] = {};  // red, green, blue, alpha, as found in the file
  bool HasMasks = false;   // compression 3 or 6 brought masks
  bool IsCore() const { return InfoSize == 12; }
};

enum TBmpHeaderStatus : uint8_t { bhsOk, bhsNotBmp, bhsInvalid };

// Reads the file header and the info header (12 bytes, or 16 and more with
// the 40-byte layout first; longer ones are skipped), and the masks of
// compressions 3 and 6 where they stand: inside a header of 52 bytes and
// more, else right after it. Leaves the stream after the masks, where a
// colour table starts. Refuses sizes outside the header, a width or height of
// 0, a height of INT32_MIN and headers cut short.
TBmpHeaderStatus ReadBmpHeader(TStream& S, TBmpHeader& H);
// The info header alone (with its masks), as a packed device-independent
// bitmap starts: the part of ReadBmpHeader after the file header. The caller
// sets Start and PixelOffset; false for what ReadBmpHeader calls invalid.
bool ReadBmpInfoHeader(TStream& S, TBmpHeader& H);

// A packed device-independent bitmap (info header, masks, colour table and
// rows in one block) as a BMP file: the 14-byte file header put in front,
// with the pixels right behind the colour table. False when the header does not read.
bool DibToBmpFile(const uint8_t* Dib, size_t Size, std::vector<uint8_t>& File);
// The other way: a BMP file without its file header, any gap between the
// colour table and the pixels left out. False when the headers do not read.
bool BmpFileToDib(const uint8_t* File, size_t Size, std::vector<uint8_t>& Dib);

// Colour table entries the file holds by the counting rule of the format: 2^bits
// for the core header up to 8 bits; else the colours used, where a count above
// 256 counts as 0 and 0 up to 8 bits means 2^bits.
int32_t BmpColourCount(const TBmpHeader& H);
// Reads Count entries (3 bytes each for the core header, else 4), fewer when
// the file's pixel offset leaves room for fewer. False when cut short.
bool ReadBmpColourTable(TStream& S, const TBmpHeader& H, int32_t Count, std::vector<TPaletteEntry>& Palette);

// One colour channel of a bit-field pixel.
struct TBmpChannel {
  uint32_t Mask = 0;
  int32_t Shift = 0;  // lowest set bit
  int32_t Bits = 0;   // length of the run of set bits
  // The channel's value moved to the top of a byte (5 bits 11111 give F8).
  uint8_t Get(uint32_t V) const {
    const uint32_t v = (V & Mask) >> Shift;
    return uint8_t(Bits >= 8 ? v >> (Bits - 8) : v << (8 - Bits));
  }
};
struct TBmpMasks {
  TBmpChannel R, G, B, A;  // A.Mask 0: no alpha
};
// Masks of a 16- or 32-bit file: the file's own with compression 3 or 6, else
// 5-5-5 (16 bits) or 8-8-8 (32 bits). False for a zero colour mask, masks
// that share bits, a mask that is not one run of bits or that does not fit the pixel.
bool MakeBmpMasks(const TBmpHeader& H, TBmpMasks& M);
// Converts one row of 16- or 32-bit pixels to blue, green, red (DstBytes 3)
// or blue, green, red, alpha (DstBytes 4; alpha 0 without an alpha mask).
void BmpMaskedRow(const uint8_t* Src, int32_t Width, int32_t BitCount, const TBmpMasks& M, uint8_t* Dst,
                  int32_t DstBytes);

enum TBmpRleResult : uint8_t { rleComplete, rleDataEnded, rleStopped };
// Decodes RLE8 or RLE4 codes into Indices: Width x Height bytes, one index a
// pixel, row 0 the top row (untouched pixels keep what they held). Starts at
// the left end of the bottom row (top row when TopDown). Runs, literals and
// deltas are clipped to the picture; no byte outside Data is read. OnLine,
// when given, is called after each end of line with the rows done and stops
// the decoding by returning false.
TBmpRleResult DecodeBmpRle(const uint8_t* Data, int64_t Length, bool Rle4, int32_t Width, int32_t Height,
                           bool TopDown, uint8_t* Indices, const std::function<bool(int32_t)>& OnLine);

// Run-length data holds at least one code per 2048 pixels unless it skips
// with deltas; a larger claim from a short stream is refused before allocating.
inline bool BmpRleSizePlausible(int64_t Width, int64_t Height, int64_t DataLength) {
  return Width * Height <= (int64_t(1) << 22) || Width * Height / 2048 <= DataLength;
}

}  // namespace kv
