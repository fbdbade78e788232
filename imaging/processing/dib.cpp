// Packed DIBs: written in the 40-byte layout from a rectangle or a selection,
// and decoded from any BMP layout through the platform's BMP decoder (header,
// colour table, bit-field masks, run-length rows), or from a YUV frame.
#include "imaging/processing/dib.h"

#include <algorithm>
#include <cstring>

#include "imaging/model/mask.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/dib_yuv.h"
#include "platform/graphics/bmp_format.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/streams.h"

namespace kv {

namespace {

constexpr int32_t kInfoSize = 40;

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// A white box-sized bitmap of the mask's bounding box, in Bitmap's format.
bool MakeBox(const TBitmap& Bitmap, const TIMMask& Mask, TBitmap& Box) {
  const int32_t x1 = std::max(Mask.X1, 0), y1 = std::max(Mask.Y1, 0);
  const int32_t x2 = std::min(Mask.X2, Bitmap.Width() - 1), y2 = std::min(Mask.Y2, Bitmap.Height() - 1);
  if (Mask.IsEmpty() || x2 < x1 || y2 < y1) return false;
  Box.AllocateForOverwrite(Mask.X2 - Mask.X1 + 1, Mask.Y2 - Mask.Y1 + 1, Bitmap.PixelFormat());
  for (int32_t y = 0; y < Box.Height(); ++y) std::memset(Box.ScanLine(y), 0xFF, size_t(Box.RowBytes()));
  return true;
}

// Colours of every possible index: entries past the table are black.
struct TLut {
  uint8_t c[256][3] = {};
  explicit TLut(const std::vector<TPaletteEntry>& P) {
    for (size_t i = 0; i < P.size() && i < 256; ++i) {
      c[i][0] = P[i].peBlue;
      c[i][1] = P[i].peGreen;
      c[i][2] = P[i].peRed;
    }
  }
  void Row(const uint8_t* Idx, int32_t Width, uint8_t* Dst) const {
    for (int32_t x = 0; x < Width; ++x, Dst += 3) std::memcpy(Dst, c[Idx[x]], 3);
  }
};

// The BMP layouts (compressions 0 to 3 and 6, run-length with 4 and 8 bits)
// from a parsed header, a colour table and the pixel bytes.
bool DecodeBmpLayout(const TBmpHeader& H, const std::vector<TPaletteEntry>& Table, const uint8_t* Px, size_t Size,
                     TBitmap& Target) {
  const int32_t w = H.Width, h = H.Height, bits = H.BitCount;
  const uint32_t comp = H.Compression;
  const bool rle = (bits == 8 && comp == BI_RLE8) || (bits == 4 && comp == BI_RLE4);
  TBmpMasks masks;
  switch (bits) {
    case 1:
    case 24:
      if (comp != BI_RGB) return false;
      break;
    case 4:
    case 8:
      if (comp != BI_RGB && !rle) return false;
      break;
    case 16:
    case 32:
      if ((comp != BI_RGB && !H.HasMasks) || !MakeBmpMasks(H, masks)) return false;  // no or overlapping masks
      break;
    default:
      return false;
  }
  const int64_t stride = BytesPerScanLine(w, bits);
  TBitmap t;
  const TLut lut(Table);
  if (rle) {
    int64_t length = int64_t(Size);
    if (H.ImageSize > 0) length = std::min<int64_t>(length, H.ImageSize);
    if (length <= 0 || !BmpRleSizePlausible(w, h, length)) return false;
    std::vector<uint8_t> idx(size_t(w) * size_t(h), 0);
    if (DecodeBmpRle(Px, length, bits == 4, w, h, H.TopDown, idx.data(), nullptr) == rleDataEnded) return false;
    t.AllocateForOverwrite(w, h, pf24bit);
    for (int32_t y = 0; y < h; ++y) lut.Row(idx.data() + size_t(y) * size_t(w), w, static_cast<uint8_t*>(t.ScanLine(y)));
    Target.TakeOver(t);
    return true;
  }
  if (stride * h > int64_t(Size)) return false;  // rows missing
  t.AllocateForOverwrite(w, h, bits == 1 ? pf1bit : pf24bit);
  std::vector<uint8_t> idx(bits == 4 ? size_t(w) : 0);
  for (int32_t i = 0; i < h; ++i) {
    const uint8_t* s = Px + i * stride;
    auto* d = static_cast<uint8_t*>(t.ScanLine(H.TopDown ? i : h - 1 - i));
    switch (bits) {
      case 1:
        std::memcpy(d, s, size_t(std::min<int64_t>(stride, t.RowBytes())));
        break;
      case 4:
        for (int32_t x = 0; x < w; ++x) idx[size_t(x)] = (x & 1) ? (s[x / 2] & 0x0F) : (s[x / 2] >> 4);
        lut.Row(idx.data(), w, d);
        break;
      case 8:
        lut.Row(s, w, d);
        break;
      case 24:
        std::memcpy(d, s, size_t(w) * 3);
        break;
      default:
        BmpMaskedRow(s, w, bits, masks, d, 3);
        break;
    }
  }
  if (bits == 1) {
    // The convention of 1-bit pictures is a set bit for white: a white, black
    // table is complemented; any other two colours stay as the palette.
    std::vector<TPaletteEntry> two = DefaultPalette(pf1bit);
    const bool whiteBlack = Table.size() >= 2 && Table[0] == TPaletteEntry{255, 255, 255, 0} &&
                            Table[1] == TPaletteEntry{0, 0, 0, 0};
    if (whiteBlack) InvertBitmapBits(t);
    else
      for (size_t i = 0; i < 2 && i < Table.size(); ++i) two[i] = Table[i];
    t.SetPaletteEntries(0, 2, two.data());
  }
  Target.TakeOver(t);
  return true;
}

int32_t Decode(const uint8_t* Dib, size_t Size, TBitmap& Bitmap, const uint8_t* Pixels, size_t PixelsSize,
               bool Frames) {
  if (!Dib || Size == 0) return -1;
  try {
    TReadOnlyMemoryStream s(Dib, int64_t(Size));
    TBmpHeader h;
    if (!ReadBmpInfoHeader(s, h) || int64_t(h.Width) * h.Height > kMaxBitmapPixels) return -1;
    if (IsYuvFourCC(h.Compression)) {
      // Frames come with their pixels apart from the header.
      if (!Frames || !DecodeYuvDib(h.Compression, h.Width, h.Height, !h.TopDown, Pixels, PixelsSize, Bitmap)) return -1;
      return h.BitCount;
    }
    std::vector<TPaletteEntry> table;
    if (!ReadBmpColourTable(s, h, BmpColourCount(h), table)) return -1;
    const int64_t at = s.Position();
    const uint8_t* px = Pixels ? Pixels : Dib + at;
    const size_t n = Pixels ? PixelsSize : Size - size_t(at);
    if (!DecodeBmpLayout(h, table, px, n, Bitmap)) return -1;
    return h.BitCount;
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

}  // namespace

TDib BitmapRectToDIB(const TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (X2 == 0) X2 = Bitmap.Width();
  if (Y2 == 0) Y2 = Bitmap.Height();
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Bitmap.Width());
  Y2 = std::min(Y2, Bitmap.Height());
  if (X2 <= X1 || Y2 <= Y1) return {};
  const int32_t w = X2 - X1, h = Y2 - Y1;
  const TPixelFormat pf = Bitmap.PixelFormat();
  const int32_t bits = pf == pf24bit ? 24 : pf == pf1bit ? 1 : 0;
  const int64_t stride = bits ? BytesPerScanLine(w, bits) : 0;
  const int64_t table = bits == 1 ? 8 : 0;
  TDib dib(size_t(kInfoSize + table + stride * h + 4), 0);
  uint8_t* p = dib.data();
  Put32(p, kInfoSize);
  Put32(p + 4, uint32_t(w));
  Put32(p + 8, uint32_t(h));
  Put16(p + 12, 1);
  Put16(p + 14, uint32_t(bits));
  if (bits == 1) std::memset(p + kInfoSize + 4, 0xFF, 4);
  if (bits == 0) return dib;
  uint8_t* rows = p + kInfoSize + table;
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* d = rows + int64_t(h - 1 - y) * stride;
    const auto* s = static_cast<const uint8_t*>(Bitmap.ScanLine(Y1 + y));
    if (bits == 24) std::memcpy(d, s + int64_t(X1) * 3, size_t(w) * 3);
    else CopyBits(d, s, 0, w, X1);
  }
  return dib;
}

TDib SelectionToDIB(const TBitmap& Bitmap, TIMMask& Mask) {
  TBitmap box;
  if (!MakeBox(Bitmap, Mask, box)) return {};
  Mask.CopyThroughMask(box, Bitmap, false, true);
  return BitmapRectToDIB(box, 0, 0, 0, 0);
}

void FillThroughMask(TBitmap& Bitmap, TIMMask& Mask, TColor Colour) {
  TBitmap box;
  if (!MakeBox(Bitmap, Mask, box)) return;
  const TColor c = ColorToRGB(Colour);
  if (box.PixelFormat() == pf24bit) {
    for (int32_t y = 0; y < box.Height(); ++y) {
      auto* d = static_cast<uint8_t*>(box.ScanLine(y));
      for (int32_t x = 0; x < box.Width(); ++x, d += 3) {
        d[0] = uint8_t(c >> 16);
        d[1] = uint8_t(c >> 8);
        d[2] = uint8_t(c);
      }
    }
  } else if (box.PixelFormat() == pf1bit && (21 * (c & 0xFF) + 71 * ((c >> 8) & 0xFF) + 7 * (c >> 16)) / 100 < 128) {
    // Two levels: the colour's gray level decides black or white (the box starts white).
    for (int32_t y = 0; y < box.Height(); ++y) std::memset(box.ScanLine(y), 0, size_t(box.RowBytes()));
  }
  Mask.CopyThroughMask(Bitmap, box, true, false);
}

int32_t DIBToBitmap(const uint8_t* Dib, size_t Size, TBitmap& Bitmap, const uint8_t* Pixels, size_t PixelsSize) {
  return Decode(Dib, Size, Bitmap, Pixels, PixelsSize, true);
}

int32_t DIBToBitmapDrawDib(const uint8_t* Dib, size_t Size, TBitmap& Bitmap, const uint8_t* Pixels,
                           size_t PixelsSize) {
  return Decode(Dib, Size, Bitmap, Pixels, PixelsSize, false);
}

void YUVToBGR(int32_t Y, int32_t U, int32_t V, TBGRPixel& Out) {
  const double d = (Y - 16) * 1.164;
  auto clamp = [](double v) { return uint8_t(std::clamp(Round32(v), 0, 255)); };
  Out.b = clamp(d + (U - 128) * 2.018);
  Out.g = clamp(d - (V - 128) * 0.813 - (U - 128) * 0.391);
  Out.r = clamp(d + (V - 128) * 1.596);
}

void CopyRGBTriplesSwapped(uint8_t* Target, const uint8_t* Source, int32_t Count) {
  for (int32_t i = 0; i < Count; ++i, Target += 3, Source += 3) {
    const uint8_t r = Source[0];
    Target[0] = Source[2];
    Target[1] = Source[1];
    Target[2] = r;
  }
}

}  // namespace kv
