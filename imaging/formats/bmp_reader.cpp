// BMP reader: the header, colour table and run-length decoding are the
// platform layer's (one decoder for TBitmap and us); here the pixels become
// a 1-bit picture with its own two colours or a 24-bit one.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/formats/bmp.h"
#include "imaging/processing/bitmap_utils.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

bool ReadAll(TStream& S, void* Buffer, int64_t Count) {
  return Count >= 0 && Count <= INT32_MAX && S.Read(Buffer, int32_t(Count)) == Count;
}

int32_t DpiOf(int32_t PelsPerMeter) {
  const int32_t dpi = Round32(PelsPerMeter / 100.0 * 2.54);
  return dpi > 0 ? dpi : IODefaultDpi();
}

// Colours of every possible index: entries past the file's table are black.
struct TColourLut {
  TBGRPixel c[256];
  explicit TColourLut(const std::vector<TPaletteEntry>& P) {
    for (size_t i = 0; i < 256; ++i)
      c[i] = i < P.size() ? TBGRPixel{P[i].peBlue, P[i].peGreen, P[i].peRed} : TBGRPixel{0, 0, 0};
  }
};

void IndicesToRow(const uint8_t* Idx, int32_t Width, const TColourLut& Lut, uint8_t* Dst) {
  for (int32_t x = 0; x < Width; ++x, Dst += 3) {
    const TBGRPixel& p = Lut.c[Idx[x]];
    Dst[0] = p.b;
    Dst[1] = p.g;
    Dst[2] = p.r;
  }
}

// 4- and 8-bit file rows to one index a byte.
void UnpackIndices(const uint8_t* Src, int32_t Width, int32_t Bits, uint8_t* Idx) {
  if (Bits == 8) {
    std::memcpy(Idx, Src, size_t(Width));
    return;
  }
  for (int32_t x = 0; x < Width; ++x) Idx[x] = (x & 1) ? (Src[x / 2] & 0x0F) : (Src[x / 2] >> 4);
}

}  // namespace

void ReadBmpStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   int64_t Size) {
  try {
    TBmpHeader h;
    const TBmpHeaderStatus status = ReadBmpHeader(S, h);
    if (status != bhsOk) {
      Progress.Fail();
      return;
    }
    const int64_t start = h.Start;
    Params.FreeColorMap();
    if (h.IsCore()) {
      Params.BmpVersion = 2;
      Params.DpiX = Params.DpiY = IODefaultDpi();
    } else {
      Params.BmpVersion = h.InfoSize == 64 ? 3 : h.InfoSize == 40 ? 1 : 0;
      Params.DpiX = DpiOf(h.XPelsPerMeter);
      Params.DpiY = DpiOf(h.YPelsPerMeter);
    }
    std::vector<TPaletteEntry> palette;
    if (!ReadBmpColourTable(S, h, BmpColourCount(h), palette)) {
      Progress.Fail();
      return;
    }
    if (!palette.empty()) {
      std::vector<TBGRPixel> map(palette.size());
      for (size_t i = 0; i < palette.size(); ++i) map[i] = {palette[i].peBlue, palette[i].peGreen, palette[i].peRed};
      Params.SetColorMap(map.data(), int32_t(map.size()));
    }
    const uint32_t comp = h.Compression;
    Params.BmpCompression = (comp == BI_RLE8 || comp == BI_RLE4) ? 1 : 0;
    Params.Width = h.Width;
    Params.Height = h.Height;

    // Which pixels we decode; anything else is a failure, not an empty success.
    const int32_t bits = h.BitCount;
    bool rle = false;
    bool known = true;
    TBmpMasks masks;
    switch (bits) {
      case 1:
        Params.BitsPerSample = 1, Params.SamplesPerPixel = 1;
        known = comp == BI_RGB;
        break;
      case 4:
      case 8:
        Params.BitsPerSample = bits, Params.SamplesPerPixel = 1;
        rle = (bits == 4 && comp == BI_RLE4) || (bits == 8 && comp == BI_RLE8);
        known = comp == BI_RGB || rle;
        break;
      case 16:
        Params.BitsPerSample = 5, Params.SamplesPerPixel = 3;
        known = (comp == BI_RGB || h.HasMasks) && MakeBmpMasks(h, masks);
        break;
      case 24:
        Params.BitsPerSample = 8, Params.SamplesPerPixel = 3;
        break;
      case 32:
        Params.BitsPerSample = 8, Params.SamplesPerPixel = 3;
        // Bit fields are applied (RGBA order and others); plain files are blue, green, red, unused.
        known = MakeBmpMasks(h, masks);
        break;
      default:
        known = false;
    }
    if (!known || !CheckImageSize(h.Width, h.Height)) {
      Progress.Fail();
      return;
    }

    const int64_t streamEnd = S.Size();
    if (h.PixelOffset != 0) {
      const int64_t at = start + int64_t(h.PixelOffset);
      if (at < start + 14 + int64_t(h.InfoSize)) {
        Progress.Fail();  // pixels inside the headers
        return;
      }
      if (at > streamEnd || S.Seek(at, soBeginning) != at) {
        Progress.Fail();
        return;
      }
    }
    const int64_t pos = S.Position();
    const int64_t available = streamEnd - pos;
    const int64_t fileRowBytes = BytesPerScanLine(h.Width, bits);
    int64_t rleLength = 0;
    if (rle) {
      if (Size <= 0) Size = h.FileSize;
      rleLength = Size > 0 ? Size - (pos - start) : int64_t(h.ImageSize);
      rleLength = std::clamp<int64_t>(rleLength, 0, available);
      if (rleLength == 0 || !BmpRleSizePlausible(h.Width, h.Height, rleLength)) {
        Progress.Fail();
        return;
      }
    } else if (fileRowBytes * h.Height > available) {
      Progress.Fail();  // rows missing: refused before a picture-sized block is allocated
      return;
    }
    if (ParamsOnly) return;

    const int32_t width = h.Width, height = h.Height;
    Bitmap.AllocateForOverwrite(width, height, bits == 1 ? pf1bit : pf24bit);
    Progress.StartCodec(height);
    const TColourLut lut(palette);

    if (rle) {
      std::vector<uint8_t> data(static_cast<size_t>(rleLength));
      std::vector<uint8_t> indices(size_t(width) * size_t(height), 0);
      const bool read = ReadAll(S, data.data(), rleLength);
      const TBmpRleResult r =
          DecodeBmpRle(data.data(), rleLength, bits == 4, width, height, h.TopDown, indices.data(), [&](int32_t) {
            Progress.CodecRow();
            return !Progress.Failed();
          });
      for (int32_t y = 0; y < height; ++y)
        IndicesToRow(indices.data() + size_t(y) * size_t(width), width, lut, static_cast<uint8_t*>(Bitmap.ScanLine(y)));
      if (!read || r == rleDataEnded) Progress.Fail();
      return;
    }

    std::vector<uint8_t> row(static_cast<size_t>(fileRowBytes));
    std::vector<uint8_t> idx(static_cast<size_t>(width));
    int32_t i = 0;
    // Rows a stop leaves undecoded are cleared rather than left as they were allocated.
    auto clearRest = [&] {
      for (; i < height; ++i) std::memset(Bitmap.ScanLine(h.TopDown ? i : height - 1 - i), 0, size_t(Bitmap.RowBytes()));
    };
    for (; i < height; ++i) {
      if (Progress.Failed()) {
        clearRest();
        return;
      }
      const int32_t y = h.TopDown ? i : height - 1 - i;
      uint8_t* dst = static_cast<uint8_t*>(Bitmap.ScanLine(y));
      if (bits == 1 || bits == 24) {
        if (!ReadAll(S, dst, fileRowBytes)) {
          Progress.Fail();
          clearRest();
          return;
        }
      } else {
        if (!ReadAll(S, row.data(), fileRowBytes)) {
          Progress.Fail();
          clearRest();
          return;
        }
        if (bits == 4 || bits == 8) {
          UnpackIndices(row.data(), width, bits, idx.data());
          IndicesToRow(idx.data(), width, lut, dst);
        } else {
          BmpMaskedRow(row.data(), width, bits, masks, dst, 3);
        }
      }
      Progress.CodecRow();
    }
    if (bits == 1) {
      // White, black files are stored so that a set bit is white in memory;
      // any other pair of colours stays as stored, with its colours.
      std::vector<TPaletteEntry> two = DefaultPalette(pf1bit);
      const bool whiteBlack = palette.size() == 2 && palette[0] == TPaletteEntry{255, 255, 255, 0} &&
                              palette[1] == TPaletteEntry{0, 0, 0, 0};
      if (whiteBlack) {
        InvertBitmapBits(Bitmap);
      } else {
        for (size_t i = 0; i < 2 && i < palette.size(); ++i) two[i] = palette[i];
      }
      Bitmap.SetPaletteEntries(0, 2, two.data());
    }
  } catch (...) {
    Progress.Fail();  // no exception leaves a codec
  }
}

}  // namespace kv
