// PCX reader: header, then plane lines decoded one after another through a
// read buffer (a run may carry over a line end) and combined into rows.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/formats/pcx.h"
#include "imaging/formats/stream_reader.h"

namespace kv {

namespace {

constexpr int32_t kHeaderBytes = 128;
constexpr int32_t kPaletteBytes = 768;

enum TPcxLayout : uint8_t { plNone, plIndex8, plIndex4, plBits, plRgb, plPlanes4 };

struct TPcxHeader {
  uint8_t Manufacturer = 0, Version = 0, Encoding = 0, Bits = 0, Planes = 0;
  int32_t XMin = 0, YMin = 0, XMax = 0, YMax = 0, HDpi = 0, VDpi = 0, BytesPerLine = 0;
  TBGRPixel Map[16];
};

inline int32_t Word(const uint8_t* P) { return int32_t(P[0]) | int32_t(P[1]) << 8; }

void ParseHeader(const uint8_t* B, TPcxHeader& H) {
  H.Manufacturer = B[0];
  H.Version = B[1];
  H.Encoding = B[2];
  H.Bits = B[3];
  H.XMin = Word(B + 4), H.YMin = Word(B + 6), H.XMax = Word(B + 8), H.YMax = Word(B + 10);
  H.HDpi = Word(B + 12), H.VDpi = Word(B + 14);
  for (int i = 0; i < 16; ++i) H.Map[i] = TBGRPixel{B[16 + 3 * i + 2], B[16 + 3 * i + 1], B[16 + 3 * i]};
  H.Planes = B[65];
  H.BytesPerLine = Word(B + 66);
}

TPcxLayout LayoutOf(const TPcxHeader& H) {
  if (H.Planes == 1 && H.Bits == 8) return plIndex8;
  if (H.Planes == 1 && H.Bits == 4) return plIndex4;
  if (H.Planes == 1 && H.Bits == 1) return plBits;
  if (H.Planes == 3 && H.Bits == 8) return plRgb;
  if (H.Planes == 4 && H.Bits == 1) return plPlanes4;
  return plNone;
}

// Bytes a decoded plane line needs to hold Width pixels.
int64_t LineBytesNeeded(TPcxLayout L, int64_t Width) {
  switch (L) {
    case plIndex8: case plRgb: return Width;
    case plIndex4: return (Width + 1) / 2;
    default: return (Width + 7) / 8;
  }
}

// Plane lines from the encoded bytes, at most Size of them (the final palette
// is not pixel data). A run longer than the rest of a line goes on at the
// start of the next one.
class TLineDecoder {
 public:
  TLineDecoder(TStreamReader& R, int64_t Size, bool Rle) : FR(R), FLeft(Size), FRle(Rle) {}
  // False when the data ends before the line is full.
  bool Line(uint8_t* Out, int32_t N) {
    if (!FRle) {
      if (FLeft < N || !FR.Read(Out, size_t(N))) return false;
      FLeft -= N;
      return true;
    }
    int32_t i = 0;
    while (i < N) {
      if (FRun > 0) {
        const int32_t k = std::min(FRun, N - i);
        std::memset(Out + i, FValue, size_t(k));
        i += k;
        FRun -= k;
        continue;
      }
      // Literal bytes up to the next run, without a call per byte.
      const int c = FLeft > 0 ? FR.Get() : -1;
      if (c < 0) return false;
      --FLeft;
      if (c < 0xC0) {
        Out[i++] = uint8_t(c);
        continue;
      }
      const int v = FLeft > 0 ? FR.Get() : -1;
      if (v < 0) return false;
      --FLeft;
      FRun = c & 0x3F;
      FValue = uint8_t(v);
    }
    return true;
  }

 private:
  TStreamReader& FR;
  int64_t FLeft;
  bool FRle;
  int32_t FRun = 0;
  uint8_t FValue = 0;
};

// One bitmap row from the decoded plane lines.
void ComposeRow(TPcxLayout L, const uint8_t* Lines, int32_t Bpl, int32_t Width, const TBGRPixel* Palette,
                const TBGRPixel* Map, bool Complement, uint8_t* Row) {
  switch (L) {
    case plIndex8:
      for (int32_t x = 0; x < Width; ++x, Row += 3) std::memcpy(Row, &Palette[Lines[x]], 3);
      break;
    case plIndex4:
      for (int32_t x = 0; x < Width; ++x, Row += 3)
        std::memcpy(Row, &Map[(Lines[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F], 3);
      break;
    case plBits: {
      const int32_t n = (Width + 7) / 8;
      for (int32_t i = 0; i < n; ++i) Row[i] = Complement ? uint8_t(~Lines[i]) : Lines[i];
      break;
    }
    case plRgb:
      for (int32_t x = 0; x < Width; ++x, Row += 3) {
        Row[2] = Lines[x];
        Row[1] = Lines[Bpl + x];
        Row[0] = Lines[2 * Bpl + x];
      }
      break;
    case plPlanes4:
      for (int32_t x = 0; x < Width; ++x, Row += 3) {
        const int32_t byte = x >> 3;
        const uint8_t bit = kBitMask[x & 7];
        int32_t index = 0;
        for (int32_t k = 0; k < 4; ++k)
          if (Lines[k * Bpl + byte] & bit) index |= 1 << k;
        std::memcpy(Row, &Map[index], 3);
      }
      break;
    case plNone:
      break;
  }
}

void StorePalette(const TPcxHeader& H, TPcxLayout L, const TBGRPixel* Palette256, TIOParamsVals& Params) {
  if (H.Bits == 8 && H.Planes == 1) Params.SetColorMap(Palette256, 256);
  else if (L == plPlanes4) Params.SetColorMap(H.Map, 16);
  else if (H.Bits < 8) Params.SetColorMap(H.Map, std::min(1 << H.Bits, 16));
  else Params.FreeColorMap();
}

}  // namespace

void ReadPcxStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   int64_t Size) {
  try {
    const int64_t start = S.Position();
    Size = std::min(Size, S.Size() - start);
    uint8_t raw[kHeaderBytes];
    if (Size < kHeaderBytes || S.Read(raw, kHeaderBytes) != kHeaderBytes) {
      Progress.Fail();
      return;
    }
    TPcxHeader h;
    ParseHeader(raw, h);
    if (h.Manufacturer != 10 || h.Bits > 8 || h.Encoding > 1) {
      Progress.Fail();
      return;
    }
    const int64_t width = int64_t(h.XMax) - h.XMin + 1, height = int64_t(h.YMax) - h.YMin + 1;
    const TPcxLayout layout = LayoutOf(h);
    // A palette at the end needs room after the header; without it the file is cut short.
    const bool palette256 = h.Planes == 1 && h.Bits > 4;
    if (!CheckImageSize(width, height) || (palette256 && Size < kHeaderBytes + kPaletteBytes)) {
      Progress.Fail();
      return;
    }
    TBGRPixel pal[256];
    if (palette256) {
      uint8_t rgb[kPaletteBytes];
      S.SetPosition(start + Size - kPaletteBytes);
      if (S.Read(rgb, kPaletteBytes) != kPaletteBytes) {
        Progress.Fail();
        return;
      }
      for (int i = 0; i < 256; ++i) pal[i] = TBGRPixel{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i]};
      S.SetPosition(start + kHeaderBytes);
    }

    Params.Width = int32_t(width);
    Params.Height = int32_t(height);
    if (h.HDpi == 0 || h.VDpi == 0) Params.DpiX = Params.DpiY = IODefaultDpi();
    else Params.DpiX = h.HDpi, Params.DpiY = h.VDpi;
    Params.PcxVersion = h.Version;
    if (layout == plPlanes4) Params.BitsPerSample = 4, Params.SamplesPerPixel = 1;
    else Params.BitsPerSample = h.Bits, Params.SamplesPerPixel = h.Planes;
    StorePalette(h, layout, pal, Params);

    const int32_t bpl = h.BytesPerLine;
    // Layouts without a decoding, and lines too short for the row, give no picture.
    if (layout == plNone || bpl < LineBytesNeeded(layout, width)) {
      Progress.Fail();
      return;
    }
    if (ParamsOnly) return;

    // The pixel data, less the final palette; it cannot expand more than 63 times.
    const int64_t dataSize = Size - kHeaderBytes - (palette256 ? kPaletteBytes : 0);
    const int64_t decoded = int64_t(bpl) * h.Planes * height;
    if (dataSize < (h.Encoding ? (decoded + 62) / 63 : decoded)) {
      Progress.Fail();
      return;
    }

    const bool bits = layout == plBits;
    Bitmap.AllocateForOverwrite(int32_t(width), int32_t(height), bits ? pf1bit : pf24bit);
    if (bits) {
      static const TPaletteEntry kBlackWhite[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
      Bitmap.SetPaletteEntries(0, 2, kBlackWhite);
    }
    // A set bit is white here: a file whose colour 0 is the lighter is complemented.
    const bool complement = bits && GrayLevel(h.Map[0]) > GrayLevel(h.Map[1]);
    std::vector<uint8_t> lines(size_t(bpl) * h.Planes);
    TStreamReader reader(S, 65536);
    TLineDecoder decoder(reader, dataSize, h.Encoding == 1);
    Progress.StartCodec(int32_t(height));
    for (int32_t y = 0; y < int32_t(height); ++y) {
      if (Progress.Failed()) break;
      auto* row = static_cast<uint8_t*>(Bitmap.ScanLine(y));
      bool ok = true;
      for (int32_t k = 0; k < h.Planes && ok; ++k) ok = decoder.Line(lines.data() + size_t(k) * size_t(bpl), bpl);
      if (!ok) {
        // Short data: the rest of the picture stays black.
        for (int32_t r = y; r < int32_t(height); ++r)
          std::memset(Bitmap.ScanLine(r), 0, size_t(Bitmap.RowBytes()));
        Progress.Fail();
        break;
      }
      ComposeRow(layout, lines.data(), bpl, int32_t(width), pal, h.Map, complement, row);
      Progress.CodecRow();
    }
    Bitmap.SetModified(true);
  } catch (...) {
    Progress.Fail();
  }
}

void ReadPcxStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask*) {
  int64_t size = 0;
  try {
    size = S.Size() - S.Position();
  } catch (...) {
    Progress.Fail();
    return;
  }
  ReadPcxStream(S, Bitmap, Params, Progress, ParamsOnly, size);
}

void ReadPcxFile(const std::string& FileName, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  ReadPcxStream(f, Bitmap, Params, Progress, false, f.Size());
}

}  // namespace kv
