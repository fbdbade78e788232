// Palette choice for 24-bit pictures and the mapping of colours to palette
// indexes: a gray ramp for gray pictures at 256 colours, the box splitter below
// 128 colours, the neural net from 128 colours up.
#pragma once
#include <cstdint>
#include <memory>
#include <variant>
#include <vector>

#include "imaging/processing/box_quantizer.h"
#include "imaging/processing/neural_quantizer.h"
#include "imaging/model/pixel.h"
#include "platform/rtl/object.h"

namespace kv {

class TBitmap;
class TIMBitmap;
class TQuantSource;

// The distinct colours of a picture that has no more of them than the palette
// holds, each with the palette index that holds it exactly.
class TExactColours {
 public:
  // Collects the picture's colours; false, leaving the table empty, when there
  // are more than Limit of them.
  bool Collect(const TQuantSource& Source, int32_t Limit);
  bool Empty() const { return FColours.empty(); }
  int32_t Count() const { return static_cast<int32_t>(FColours.size()); }
  uint32_t Colour(int32_t I) const { return FColours[static_cast<size_t>(I)]; }
  void SetIndex(int32_t I, int32_t PaletteIndex) { FIndex[static_cast<size_t>(I)] = PaletteIndex; }
  // Palette index of a packed 0x00RRGGBB colour, -1 when it is not in the picture.
  int32_t Find(uint32_t Color) const;

 private:
  static constexpr uint32_t kSlots = 1024;  // at least four slots a colour keeps probes short
  static constexpr uint32_t kUsed = 0x01000000;
  static uint32_t Slot(uint32_t Key) { return (Key * 2654435761u) >> 22; }
  // Slot of Color, or of the empty slot where it would go.
  uint32_t Probe(uint32_t Key) const;

  std::vector<uint32_t> FKeys;     // colour | kUsed, 0 for an empty slot
  std::vector<int16_t> FEntry;     // slot -> position in FColours
  std::vector<uint32_t> FColours;  // first-seen order
  std::vector<int32_t> FIndex;     // palette index of each colour
};

class TIMQuantizer : public TObject {
 public:
  // Fills Palette (at least Colours entries, Colours up to 256) and prepares
  // RGBIndex. AMethod and Reserved are not used: the engine follows from the
  // colour count and the picture. Quality -1 is automatic, else 0..100.
  TIMQuantizer(const TBitmap& Bitmap, int32_t AMethod, int32_t Quality, int32_t Colours, int32_t Reserved,
               TBGRPixel* Palette);
  TIMQuantizer(TIMBitmap& Bitmap, int32_t AMethod, int32_t Quality, int32_t Colours, int32_t Reserved,
               TBGRPixel* Palette);
  ~TIMQuantizer() override;

  // Palette index of a packed 0x00RRGGBB colour.
  int32_t RGBIndex(uint32_t Color) const;
  // Palette entries in use; the rest of the caller's Colours entries are black.
  int32_t PaletteSize() const { return FPaletteSize; }

  int32_t Method = 0;  // 0 neural net, 1 box split
  std::variant<std::monostate, TBoxQuantizer, TNeuralQuantizer> Engine;
  bool GrayRamp = false;

 private:
  void Build(const TQuantSource& Source, bool IsGray, int32_t Quality, int32_t Colours, TBGRPixel* Palette);
  int32_t EngineIndex(uint32_t Color) const;
  void KeepExactColours(TBGRPixel* Palette);

  int32_t FPaletteSize = 0;
  TExactColours FExact;
};

}  // namespace kv
