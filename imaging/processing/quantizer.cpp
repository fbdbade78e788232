#include "imaging/processing/quantizer.h"

#include <algorithm>

#include "imaging/processing/colour_convert.h"
#include "imaging/processing/quant_source.h"
#include "platform/graphics/bitmap.h"

namespace kv {

TQuantSource TQuantSource::Of(const TBitmap& Bitmap) {
  TQuantSource s;
  if (Bitmap.PixelFormat() != pf24bit || Bitmap.Empty()) return s;
  s.FWidth = Bitmap.Width();
  s.FHeight = Bitmap.Height();
  s.FBase = static_cast<const uint8_t*>(Bitmap.ScanLine(0));
  s.FStride = Bitmap.RowBytes();
  return s;
}

// --- TExactColours -----------------------------------------------------------

uint32_t TExactColours::Probe(uint32_t Key) const {
  uint32_t i = Slot(Key);
  while (FKeys[i] != 0 && FKeys[i] != Key) i = (i + 1) & (kSlots - 1);
  return i;
}

bool TExactColours::Collect(const TQuantSource& Source, int32_t Limit) {
  FKeys.assign(kSlots, 0);
  FEntry.assign(kSlots, -1);
  FColours.clear();
  const size_t limit = static_cast<size_t>(std::clamp(Limit, 0, 256));
  uint32_t last = 0;  // no colour carries kUsed, so the first pixel always looks
  for (int32_t y = 0; y < Source.Height(); ++y) {
    const TBGRPixel* p = Source.Row(y);
    for (int32_t x = 0; x < Source.Width(); ++x) {
      const uint32_t key = PackedColour(p[x]) | kUsed;
      if (key == last) continue;
      last = key;
      const uint32_t slot = Probe(key);
      if (FKeys[slot] == key) continue;
      if (FColours.size() == limit) {  // one colour too many: no exact palette
        FKeys.clear();
        FEntry.clear();
        FColours.clear();
        return false;
      }
      FKeys[slot] = key;
      FEntry[slot] = static_cast<int16_t>(FColours.size());
      FColours.push_back(key & 0x00FFFFFF);
    }
  }
  FIndex.assign(FColours.size(), -1);
  return true;
}

int32_t TExactColours::Find(uint32_t Color) const {
  if (FColours.empty()) return -1;
  const uint32_t slot = Probe((Color & 0x00FFFFFF) | kUsed);
  return FKeys[slot] != 0 ? FIndex[static_cast<size_t>(FEntry[slot])] : -1;
}

// --- TIMQuantizer ------------------------------------------------------------

TIMQuantizer::TIMQuantizer(const TBitmap& Bitmap, int32_t, int32_t Quality, int32_t Colours, int32_t,
                           TBGRPixel* Palette) {
  const bool gray = Colours == 256 && IsGrayBitmap(Bitmap);
  Build(TQuantSource::Of(Bitmap), gray, Quality, Colours, Palette);
}

TIMQuantizer::~TIMQuantizer() = default;

void TIMQuantizer::Build(const TQuantSource& Source, bool IsGray, int32_t Quality, int32_t Colours,
                         TBGRPixel* Palette) {
  if (Colours < 1) return;
  const int32_t n = std::min(Colours, 256);
  if (n == 256 && IsGray) {
    GrayRamp = true;
    for (int32_t i = 0; i < 256; ++i) Palette[i] = TBGRPixel{uint8_t(i), uint8_t(i), uint8_t(i)};
    FPaletteSize = 256;
    return;
  }
  const bool exact = FExact.Collect(Source, n);
  if (n < 128) {
    Method = 1;
    const auto& box = Engine.emplace<TBoxQuantizer>(Source, n);
    FPaletteSize = box.PaletteSize();
    box.GetPalette(Palette);
  } else {
    Method = 0;
    const auto& net = Engine.emplace<TNeuralQuantizer>(Source, n, Quality);
    FPaletteSize = net.PaletteSize();
    net.GetPalette(Palette);
  }
  if (exact) KeepExactColours(Palette);
  std::fill(Palette + FPaletteSize, Palette + n, TBGRPixel{});
}

int32_t TIMQuantizer::EngineIndex(uint32_t Color) const {
  if (const auto* box = std::get_if<TBoxQuantizer>(&Engine)) return box->RGBIndex(Color);
  if (const auto* net = std::get_if<TNeuralQuantizer>(&Engine)) return net->RGBIndex(Color);
  return 0;
}

// A picture with no more colours than the palette holds keeps them exactly.
// Each colour takes the entry the engine gives it; when two colours fall on one
// entry (two colours in one 5-bit cell, or one neuron), the later one takes an
// entry no colour claimed, else a new entry. Entries <= distinct colours <= n.
void TIMQuantizer::KeepExactColours(TBGRPixel* Palette) {
  std::vector<int32_t> owner(256, -1);
  const int32_t count = FExact.Count();
  std::vector<int32_t> index(static_cast<size_t>(count), -1);
  for (int32_t c = 0; c < count; ++c) {
    const int32_t i = EngineIndex(FExact.Colour(c));
    if (i >= 0 && i < FPaletteSize && owner[size_t(i)] < 0) {
      owner[size_t(i)] = c;
      index[size_t(c)] = i;
    }
  }
  int32_t next = 0;
  for (int32_t c = 0; c < count; ++c) {
    if (index[size_t(c)] >= 0) continue;
    while (next < FPaletteSize && owner[size_t(next)] >= 0) ++next;
    const int32_t i = next < FPaletteSize ? next : FPaletteSize++;
    owner[size_t(i)] = c;
    index[size_t(c)] = i;
  }
  for (int32_t c = 0; c < count; ++c) {
    const uint32_t rgb = FExact.Colour(c);
    const int32_t i = index[size_t(c)];
    Palette[i] = TBGRPixel{uint8_t(rgb), uint8_t(rgb >> 8), uint8_t(rgb >> 16)};
    FExact.SetIndex(c, i);
  }
}

int32_t TIMQuantizer::RGBIndex(uint32_t Color) const {
  if (GrayRamp) return static_cast<int32_t>((Color >> 16) & 0xFF);
  const int32_t exact = FExact.Find(Color);
  if (exact >= 0) return exact;
  return EngineIndex(Color);
}

}  // namespace kv
