#include "imaging/processing/convert_bits.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/colour_convert.h"
#include "imaging/processing/quantizer.h"
#include "imaging/processing/row_strips.h"

namespace kv {

const uint8_t kDitherMatrix[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};

namespace {

const TBGRPixel* Row24(const TBitmap& B, int32_t Y) { return static_cast<const TBGRPixel*>(B.ScanLine(Y)); }
uint8_t* Row8(TBitmap& B, int32_t Y) { return static_cast<uint8_t*>(B.ScanLine(Y)); }

// Clears the bits past the width in the last used byte, so that rows built
// by whole-byte operations compare equal to rows built bit by bit.
void ClearPadBits(uint8_t* Row, int32_t Width) {
  if (Width & 7) Row[Width >> 3] &= uint8_t(~(0xFF >> (Width & 7)));
}

// For each byte value, its 8 pixels as 24 bytes: 0 for a clear bit, 255 for a set one.
const std::array<std::array<uint8_t, 24>, 256>& ExpandTable() {
  static const auto table = [] {
    std::array<std::array<uint8_t, 24>, 256> t{};
    for (int v = 0; v < 256; ++v)
      for (int bit = 0; bit < 8; ++bit) {
        const uint8_t c = (v & kBitMask[bit]) ? 255 : 0;
        t[size_t(v)][size_t(bit) * 3] = t[size_t(v)][size_t(bit) * 3 + 1] = t[size_t(v)][size_t(bit) * 3 + 2] = c;
      }
    return t;
  }();
  return table;
}

}  // namespace

void ReduceColors(TBitmap& Bitmap, int32_t Colours, TBGRPixel* Palette, TObject* Sender,
                  const TIMProgressEvent& OnProgress) {
  if (Bitmap.PixelFormat() != pf24bit || Bitmap.Empty() || Colours < 1) return;
  const int32_t n = std::min(Colours, 256);
  std::vector<TBGRPixel> own;
  if (!Palette) {
    own.resize(size_t(n));
    Palette = own.data();
  }
  const TIMQuantizer q(Bitmap, 0, -1, n, 0, Palette);
  TProgressRec progress{OnProgress, Sender};
  progress.Start(Bitmap.Height());
  const int32_t w = Bitmap.Width();
  // The palette is chosen once; mapping a pixel to it only reads the quantizer.
  RunRowStrips(
      0, Bitmap.Height(), int64_t(w) * 12,
      [&](int32_t From, int32_t To) {
        for (int32_t y = From; y < To; ++y) {
          auto* row = static_cast<TBGRPixel*>(Bitmap.ScanLine(y));
          // Runs of one colour are common; look each run up once.
          uint32_t last = 0xFFFFFFFFu;
          TBGRPixel mapped{};
          for (int32_t x = 0; x < w; ++x) {
            const uint32_t c = PackedColour(row[x]);
            if (c != last) {
              last = c;
              mapped = Palette[std::clamp(q.RGBIndex(c), 0, n - 1)];
            }
            row[x] = mapped;
          }
        }
      },
      [&](int32_t) { progress.Row(); });
  Bitmap.NotifyChanged();
}

void ConvertTo1BitDither(TBitmap& Bitmap, TProgressRec& Progress) {
  if (Bitmap.PixelFormat() != pf24bit || Bitmap.Empty()) return;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  TBitmap bw(w, h, pf1bit);
  Progress.Start(h);
  // An ordered dither: every pixel against its own matrix entry, no error carried between rows.
  const auto strip = [&](int32_t From, int32_t To) {
    for (int32_t y = From; y < To; ++y) {
      const TBGRPixel* src = Row24(Bitmap, y);
      uint8_t* dst = Row8(bw, y);
      std::memset(dst, 0, size_t(bw.RowBytes()));
      for (int32_t x = 0; x < w; ++x) {
        const TBGRPixel& p = src[x];
        int32_t g4 = (21 * p.r + 71 * p.g + 7 * p.b) / 400;
        // The scale tops out at 63, the matrix's largest entry: count the top
        // level as 64 so that white pages stay white instead of gaining a dot
        // in every 8 x 8 block.
        if (g4 >= 63) g4 = 64;
        if (kDitherMatrix[x & 7][y & 7] < g4) dst[x >> 3] |= kBitMask[x & 7];
      }
    }
  };
  RunRowStrips(0, h, int64_t(w) * 4, strip, [&](int32_t) { Progress.Row(); });
  Bitmap.TakeOver(bw);
}

std::unique_ptr<TBitmap> ConvertTo1BitIfTwoColors(const TBitmap& Bitmap, TBGRPixel& Colour0, TBGRPixel& Colour1) {
  if (Bitmap.PixelFormat() != pf24bit || Bitmap.Empty()) return nullptr;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  auto bw = std::make_unique<TBitmap>(w, h, pf1bit);
  TBGRPixel c0{}, c1{};
  int32_t count = 0;
  for (int32_t y = 0; y < h && count <= 2; ++y) {
    const TBGRPixel* src = Row24(Bitmap, y);
    uint8_t* dst = Row8(*bw, y);
    std::memset(dst, 0, size_t(bw->RowBytes()));
    for (int32_t x = 0; x < w; ++x) {
      const TBGRPixel& p = src[x];
      if (count == 0) c0 = p, count = 1;
      if (p == c0) continue;
      if (count == 1) c1 = p, count = 2;
      else if (!(p == c1)) count = 3;
      dst[x >> 3] |= kBitMask[x & 7];
    }
  }
  if (count > 2) return nullptr;
  auto gray = [](const TBGRPixel& p) { return Round((21.0 * p.r + 71.0 * p.g + 7.0 * p.b) / 100.0); };
  if (count == 1) {
    // One colour: both entries carry it, so palette writers keep it exactly,
    // and the bits give the nearest of black and white to writers without a palette.
    if (gray(c0) >= 128) {
      InvertBitmapBits(*bw);
      for (int32_t y = 0; y < h; ++y) ClearPadBits(Row8(*bw, y), w);
    }
    Colour0 = c0;
    Colour1 = c0;
    return bw;
  }
  if (gray(c1) < gray(c0)) {
    InvertBitmapBits(*bw);
    for (int32_t y = 0; y < h; ++y) ClearPadBits(Row8(*bw, y), w);
    std::swap(c0, c1);
  }
  Colour0 = c0;
  Colour1 = c1;
  return bw;
}

void ConvertTo24BitRows(const TBitmap& Source, TBitmap& Target, TProgressRec& Progress) {
  if (Source.PixelFormat() != pf1bit || &Source == &Target) return;
  const int32_t w = Source.Width(), h = Source.Height();
  Target.SetSize(0, 0);
  Target.SetPixelFormat(pf24bit);
  Target.SetSize(w, h);
  if (Target.Empty()) return;
  const auto& table = ExpandTable();
  const int32_t full = w / 8, rest = w % 8;
  Progress.Start(h);
  for (int32_t y = 0; y < h; ++y) {
    const uint8_t* s = static_cast<const uint8_t*>(Source.ScanLine(y));
    uint8_t* d = Row8(Target, y);
    for (int32_t i = 0; i < full; ++i, d += 24) std::memcpy(d, table[s[i]].data(), 24);
    if (rest) std::memcpy(d, table[s[full]].data(), size_t(rest) * 3);
    Progress.Row();
  }
}

}  // namespace kv
