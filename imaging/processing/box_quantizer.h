// Variance-driven box splitter over a 32 x 32 x 32 colour histogram: the
// quantizer for fewer than 128 colours. Boxes are chosen and cut on 5-bit
// channels; palette entries are the exact 8-bit means of the pixels in each box.
#pragma once
#include <cstdint>
#include <memory>

#include "imaging/model/pixel.h"

namespace kv {

class TQuantSource;

class TBoxQuantizer {
 public:
  static constexpr int32_t kMaxBoxes = 256;
  static constexpr int32_t kCells = 32768;

  // Counts the picture and splits it into at most Colours (1..256) boxes.
  TBoxQuantizer(const TQuantSource& Source, int32_t Colours);
  ~TBoxQuantizer();

  // Boxes made: the palette size.
  int32_t PaletteSize() const { return FBoxCount; }
  // Writes PaletteSize() entries.
  void GetPalette(TBGRPixel* Palette) const;
  // Box of the histogram cell of a packed 0x00RRGGBB colour.
  int32_t RGBIndex(uint32_t Color) const {
    return FLookup[((Color >> 19) & 31) * 1024 + ((Color >> 11) & 31) * 32 + ((Color >> 3) & 31)];
  }

  struct TBox {
    double Score = 0;       // sum of the channels' variance terms / N
    double Mean[3] = {};    // red, green, blue in 5-bit units
    int64_t Count = 0;
    int64_t Hist[3][32] = {};
    int32_t Lo[3] = {0, 0, 0};    // inclusive
    int32_t Hi[3] = {32, 32, 32};  // exclusive
  };

 private:
  void CountPixels(const TQuantSource& Source);
  void Recount(TBox& Box, bool Shrink) const;
  void Statistics(TBox& Box) const;
  bool Cut(const TBox& Box, int32_t Channel, TBox& Left, TBox& Right) const;
  bool Split(int32_t Index, int32_t NewIndex);
  void BuildLookup();
  void BuildPalette();

  // Exact 8-bit channel sums of the pixels in one histogram cell.
  struct TCellSum {
    uint64_t R = 0, G = 0, B = 0;
  };

  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int64_t FPixels = 0;   // N
  int32_t FColours = 0;
  int32_t FBoxCount = 0;
  std::unique_ptr<uint32_t[]> FHist;      // index red5 * 1024 + green5 * 32 + blue5
  std::unique_ptr<TCellSum[]> FSums;      // same index
  std::unique_ptr<TBox[]> FBoxes;         // kMaxBoxes
  std::unique_ptr<uint8_t[]> FLookup;     // cell -> box
  TBGRPixel FPalette[kMaxBoxes] = {};
};

}  // namespace kv
