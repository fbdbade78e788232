// Neural-net quantizer (a Kohonen self-organising map) for 128 colours and more:
// a one-dimensional net of n neurons learns from pixels sampled at a prime step,
// then a green-sorted index answers nearest-colour searches.
#pragma once
#include <cstdint>
#include <memory>

#include "imaging/model/pixel.h"

namespace kv {

class TQuantSource;

class TNeuralQuantizer {
 public:
  // Colours (1..256) is the net size; Quality -1 is automatic, else 0..100.
  TNeuralQuantizer(const TQuantSource& Source, int32_t Colours, int32_t Quality);
  ~TNeuralQuantizer();

  // Pixels per sample: 1 for every pixel up to 30 for every 30th.
  static int32_t SamplingFactor(int32_t Quality, int64_t Pixels);

  int32_t PaletteSize() const { return FNetSize; }
  // Writes PaletteSize() entries: the learned neurons in net order.
  void GetPalette(TBGRPixel* Palette) const;
  // Index of the neuron nearest to a packed 0x00RRGGBB colour.
  int32_t RGBIndex(uint32_t Color) const;

 private:
  // blue, green, red, index
  using TNeuron = int32_t[4];

  void InitNet();
  void Learn(const TQuantSource& Source);
  int32_t Contest(int32_t B, int32_t G, int32_t R);
  void AlterSingle(int32_t Alpha, int32_t I, int32_t B, int32_t G, int32_t R);
  void AlterNeigh(int32_t Rad, int32_t I, int32_t B, int32_t G, int32_t R);
  void FillRadPower(int32_t Rad, int32_t Alpha);
  void UnbiasNet();
  void InxBuild();

  int32_t FNetSize = 0;
  int32_t FSampleFac = 1;
  std::unique_ptr<TNeuron[]> FNetwork;
  std::unique_ptr<int32_t[]> FBias;
  std::unique_ptr<int32_t[]> FFreq;
  std::unique_ptr<int32_t[]> FRadPower;  // n div 8 entries
  int32_t FNetIndex[256] = {};
  TBGRPixel FPalette[256] = {};
};

}  // namespace kv
