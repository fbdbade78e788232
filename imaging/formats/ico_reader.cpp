// Icon and cursor readers: the directory, then one entry's bitmap (info
// header, colour table, colour rows, AND rows, both bottom-up) or its PNG.
#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "imaging/formats/bmp.h"
#include "imaging/formats/ico.h"
#include "imaging/formats/png.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

constexpr int32_t kDirHeader = 6;
constexpr int32_t kDirEntry = 16;
constexpr int32_t kInfoHeader = 40;

uint16_t Get16(const uint8_t* P) { return uint16_t(P[0] | P[1] << 8); }
uint32_t Get32(const uint8_t* P) { return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24; }

struct TIconEntry {
  uint8_t Width = 0, Height = 0, Colors = 0, Reserved = 0;
  uint16_t Field1 = 0, Field2 = 0;  // planes and bit count, or the cursor's hot spot
  uint32_t Size = 0, Offset = 0;
};

TIconEntry ParseEntry(const uint8_t* P) {
  return {P[0], P[1], P[2], P[3], Get16(P + 4), Get16(P + 6), Get32(P + 8), Get32(P + 12)};
}

bool IsIconDirectory(TStream& S, uint16_t Type) {
  const int64_t start = S.Position();
  bool ok = false;
  try {
    uint8_t h[kDirHeader];
    if (S.Size() - start > 22 && S.Read(h, kDirHeader) == kDirHeader && Get16(h) == 0 && Get16(h + 2) == Type &&
        Get16(h + 4) > 0) {
      ok = true;
      for (uint32_t i = 0; ok && i < Get16(h + 4); ++i) {
        uint8_t e[kDirEntry];
        const TIconEntry E = S.Read(e, kDirEntry) == kDirEntry ? ParseEntry(e) : TIconEntry{0, 0, 0, 1};
        ok = E.Reserved == 0 && E.Size != 0 && E.Offset >= uint32_t(kDirHeader + kDirEntry * (i + 1));
      }
    }
  } catch (...) {
    ok = false;
  }
  S.SetPosition(start);
  return ok;
}

int32_t DpiOf(int32_t PixelsPerMetre) {
  const int64_t dpi = Round(PixelsPerMetre / 100.0 * 2.54);
  return dpi < 1 ? IODefaultDpi() : int32_t(std::min<int64_t>(dpi, 1 << 20));
}

// Bits per pixel from a colour count: a power of two gives its exponent, any
// other count one more than the index of its highest set bit.
int32_t BitsOfColorCount(uint32_t Count) {
  int32_t high = 31;
  while (!(Count >> high)) --high;
  return (Count & (Count - 1)) == 0 ? high : high + 1;
}

inline bool AndBit(const uint8_t* Row, int32_t X) { return (Row[X >> 3] >> (7 - (X & 7))) & 1; }

template <int32_t Bits>
inline uint8_t IndexAt(const uint8_t* Row, int32_t X) {
  if constexpr (Bits == 8) return Row[X];
  else if constexpr (Bits == 4) return (X & 1) ? Row[X >> 1] & 15 : Row[X >> 1] >> 4;
  else return (Row[X >> 3] >> (7 - (X & 7))) & 1;
}

// What the pixel loops share: the colour and AND planes (bottom row first),
// the output and the colour under transparent pixels.
struct TIconPlanes {
  int32_t Width = 0, Height = 0, Bits = 0;
  const uint8_t* Xor = nullptr;
  int64_t XorRow = 0;
  const uint8_t* And = nullptr;
  int64_t AndRow = 0;
  TBGRPixel Background;
  const uint8_t* XorLine(int32_t Y) const { return Xor + (Height - 1 - Y) * XorRow; }
  const uint8_t* AndLine(int32_t Y) const { return And + (Height - 1 - Y) * AndRow; }
};

// Colour C with opacity Alpha over Background.
TBGRPixel Blend(const TBGRPixel& C, const TBGRPixel& Background, uint8_t Alpha) {
  const auto mix = [Alpha](uint8_t f, uint8_t b) { return uint8_t((f * Alpha + b * (255 - Alpha) + 127) / 255); };
  return TBGRPixel{mix(C.b, Background.b), mix(C.g, Background.g), mix(C.r, Background.r)};
}

void PutPixel(uint8_t* D, const TBGRPixel& C) {
  D[0] = C.b;
  D[1] = C.g;
  D[2] = C.r;
}

template <int32_t Bits>
void DecodeIndexed(const TIconPlanes& P, const TBGRPixel* Lut, TBitmap& B, TIMMask* Mask) {
  for (int32_t y = 0; y < P.Height; ++y) {
    const uint8_t* src = P.XorLine(y);
    const uint8_t* andRow = P.AndLine(y);
    uint8_t* d = static_cast<uint8_t*>(B.ScanLine(y));
    uint8_t* m = Mask ? Mask->ScanLine(y) : nullptr;
    for (int32_t x = 0; x < P.Width; ++x, d += 3) {
      const bool clear = AndBit(andRow, x);
      PutPixel(d, clear ? P.Background : Lut[IndexAt<Bits>(src, x)]);
      if (clear && m) m[x] = 0;
    }
  }
}

// 16 (5-5-5), 24 and 32 bits. A 32-bit plane whose alpha is 0 everywhere is
// an old icon that keeps its transparency in the AND plane only.
void DecodeDirect(const TIconPlanes& P, TBitmap& B, TIMMask* Mask) {
  bool useAlpha = false;
  if (P.Bits == 32)
    for (int32_t y = 0; y < P.Height && !useAlpha; ++y)
      for (int32_t x = 0; x < P.Width; ++x)
        if (P.XorLine(y)[4 * x + 3]) {
          useAlpha = true;
          break;
        }
  const TBGRPixel bg = P.Background;
  for (int32_t y = 0; y < P.Height; ++y) {
    const uint8_t* s = P.XorLine(y);
    const uint8_t* andRow = P.AndLine(y);
    uint8_t* d = static_cast<uint8_t*>(B.ScanLine(y));
    uint8_t* m = Mask ? Mask->ScanLine(y) : nullptr;
    for (int32_t x = 0; x < P.Width; ++x, d += 3) {
      TBGRPixel c;
      uint8_t alpha = 255;
      if (P.Bits == 16) {
        const uint32_t v = uint32_t(s[2 * x]) | uint32_t(s[2 * x + 1]) << 8;
        const auto five = [](uint32_t f) { return uint8_t((f << 3) | (f >> 2)); };
        c = TBGRPixel{five(v & 31), five((v >> 5) & 31), five((v >> 10) & 31)};
      } else {
        const int32_t step = P.Bits / 8;
        c = TBGRPixel{s[step * x], s[step * x + 1], s[step * x + 2]};
        if (useAlpha) alpha = s[4 * x + 3];
      }
      if (!useAlpha && AndBit(andRow, x)) alpha = 0;
      if (alpha != 255) c = Blend(c, bg, alpha);
      PutPixel(d, c);
      if (m) m[x] = alpha;
    }
  }
}

// 1 bit into a 1-bit bitmap: the colour bits as they are; a transparent
// pixel's bit is XORed with 1 over a white background, so transparent pixels
// show the background and inverting ones its opposite.
void DecodeMono(const TIconPlanes& P, bool WhiteBackground, TBitmap& B, TIMMask* Mask) {
  const int64_t n = (int64_t(P.Width) + 7) / 8;
  for (int32_t y = 0; y < P.Height; ++y) {
    uint8_t* d = static_cast<uint8_t*>(B.ScanLine(y));
    const uint8_t* andRow = P.AndLine(y);
    std::memcpy(d, P.XorLine(y), size_t(n));
    uint8_t* m = Mask ? Mask->ScanLine(y) : nullptr;
    for (int32_t x = 0; x < P.Width; ++x) {
      if (!AndBit(andRow, x)) continue;
      if (WhiteBackground) d[x >> 3] ^= uint8_t(0x80 >> (x & 7));
      if (m) m[x] = 0;
    }
  }
}

class TIconReader {
 public:
  TIconReader(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
              TIMMask* Mask, bool Cursor)
      : FS(S), FBitmap(Bitmap), FParams(Params), FProgress(Progress), FParamsOnly(ParamsOnly), FMask(Mask),
        FCursor(Cursor) {}

  void Run() {
    FStart = FS.Position();
    FAvail = FS.Size() - FStart;
    uint8_t h[kDirHeader];
    if (FS.Read(h, kDirHeader) != kDirHeader) return FProgress.Fail();
    if (!FCursor && h[0] == 'B' && h[1] == 'M') {  // a BMP under an icon name
      FS.SetPosition(FStart);
      return ReadBmpStream(FS, FBitmap, FParams, FProgress, FParamsOnly, FAvail);
    }
    const int32_t index = FCursor ? FParams.CurImageIndex : FParams.IcoImageIndex;
    if (index < 0 || index >= Get16(h + 4)) return FProgress.Fail();
    // Every place is checked against the stream before the stream goes
    // there: a failed read leaves the stream inside it.
    uint8_t e[kDirEntry];
    const int64_t entryAt = kDirHeader + int64_t(kDirEntry) * index;
    if (entryAt + kDirEntry > FAvail) return FProgress.Fail();
    FS.SetPosition(FStart + entryAt);
    if (FS.Read(e, kDirEntry) != kDirEntry) return FProgress.Fail();
    FEntry = ParseEntry(e);
    if (FEntry.Offset > FAvail || FAvail - FEntry.Offset < 8) return FProgress.Fail();
    if (FCursor) {
      FParams.CurHotSpotX = FEntry.Field1;
      FParams.CurHotSpotY = FEntry.Field2;
    }
    FS.SetPosition(FStart + FEntry.Offset);
    uint8_t sig[8];
    if (FS.Read(sig, 8) != 8) return FProgress.Fail();
    FS.SetPosition(FStart + FEntry.Offset);
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(sig, kPng, 8) == 0) return ReadPngEntry();
    ReadBitmapEntry();
  }

 private:
  TBGRPixel Background() const { return FCursor ? FParams.CurBackground : FParams.IcoBackground; }

  void ReadPngEntry() {
    const int64_t len = std::min<int64_t>({int64_t(FEntry.Size), FAvail - FEntry.Offset, int64_t(INT32_MAX)});
    std::vector<uint8_t> png(static_cast<size_t>(len));
    if (FS.Read(png.data(), int32_t(len)) != int32_t(len)) return FProgress.Fail();
    TReadOnlyMemoryStream sub(png.data(), len);
    // The alpha always comes out as a plane, so that transparent parts show
    // the icon's background as in the other entries (not the PNG's own).
    TIMMask local;
    TIMMask* alpha = FMask ? FMask : &local;
    ReadPngStream(sub, FBitmap, FParams, FProgress, FParamsOnly, alpha);
    if (FParamsOnly || FProgress.Failed() || FBitmap.PixelFormat() != pf24bit || alpha->BitsPerPixel != 8 ||
        alpha->Width != FBitmap.Width() || alpha->Height != FBitmap.Height())
      return;
    const TBGRPixel bg = Background();
    for (int32_t y = 0; y < FBitmap.Height(); ++y) {
      uint8_t* d = static_cast<uint8_t*>(FBitmap.ScanLine(y));
      const uint8_t* a = alpha->ScanLine(y);
      for (int32_t x = 0; x < FBitmap.Width(); ++x, d += 3)
        if (a[x] != 255) PutPixel(d, Blend(TBGRPixel{d[0], d[1], d[2]}, bg, a[x]));
    }
  }

  void ReadBitmapEntry() {
    uint8_t ih[kInfoHeader];
    if (FS.Read(ih, kInfoHeader) != kInfoHeader) return FProgress.Fail();
    const uint32_t headerSize = Get32(ih);
    const int32_t hdrWidth = int32_t(Get32(ih + 4)), hdrHeight = int32_t(Get32(ih + 8));
    const uint16_t hdrBits = Get16(ih + 14);

    FParams.DpiX = DpiOf(int32_t(Get32(ih + 24)));
    FParams.DpiY = DpiOf(int32_t(Get32(ih + 28)));

    int32_t bits = FCursor ? 0 : FEntry.Field2;
    if (hdrBits != 0) bits = hdrBits;
    if (bits == 0) {
      if (FEntry.Colors == 0) return FProgress.Fail();
      bits = BitsOfColorCount(FEntry.Colors);
    }
    const int32_t colors = FEntry.Colors == 255 ? 256 : FEntry.Colors != 0 ? FEntry.Colors : bits <= 8 ? 1 << bits : 0;

    int64_t w = FEntry.Width != 0 ? FEntry.Width : hdrWidth;
    int64_t h = FEntry.Height != 0 ? FEntry.Height : hdrHeight / 2;
    if (!FCursor && FEntry.Width != 0 && FEntry.Width != hdrWidth && hdrWidth != 0 && hdrWidth < 2048 &&
        hdrHeight < 2048) {
      w = hdrWidth;
      h = hdrHeight / 2;
    }
    if (!CheckImageSize(w, h)) return FProgress.Fail();
    const bool indexed = bits <= 8;
    FParams.Width = int32_t(w);
    FParams.Height = int32_t(h);
    FParams.BitsPerSample = !FCursor && !indexed ? 8 : bits;
    FParams.SamplesPerPixel = !FCursor && !indexed ? 3 : 1;

    // A longer info header (the later versions) still puts the table after it.
    const int64_t tableAt = FEntry.Offset + (headerSize >= uint32_t(kInfoHeader) && headerSize <= 124 ? headerSize : kInfoHeader);
    const int32_t tableEntries = indexed ? std::min(colors, 256) : 0;
    std::vector<TBGRPixel> table(static_cast<size_t>(tableEntries));
    if (tableEntries > 0) {
      std::vector<uint8_t> raw(size_t(tableEntries) * 4);
      if (tableAt + int64_t(raw.size()) > FAvail) return FProgress.Fail();
      FS.SetPosition(FStart + tableAt);
      if (FS.Read(raw.data(), int32_t(raw.size())) != int32_t(raw.size())) return FProgress.Fail();
      for (int32_t i = 0; i < tableEntries; ++i) table[size_t(i)] = TBGRPixel{raw[4 * i], raw[4 * i + 1], raw[4 * i + 2]};
      FParams.SetColorMap(table.data(), tableEntries);
    } else {
      FParams.FreeColorMap();
    }
    if (FParamsOnly) return;

    const bool supported = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!supported) return FProgress.Fail();  // a depth that gives no pixels
    TIconPlanes p;
    p.Width = int32_t(w);
    p.Height = int32_t(h);
    p.Bits = bits;
    p.XorRow = (w * bits + 31) / 32 * 4;
    p.AndRow = (w + 31) / 32 * 4;
    p.Background = Background();
    const int64_t xorAt = tableAt + int64_t(tableEntries) * 4;
    const int64_t xorBytes = p.XorRow * h;
    if (xorAt + xorBytes > FAvail || xorBytes > INT32_MAX) return FProgress.Fail();
    std::vector<uint8_t> xorPlane(static_cast<size_t>(xorBytes));
    FS.SetPosition(FStart + xorAt);
    if (FS.Read(xorPlane.data(), int32_t(xorBytes)) != int32_t(xorBytes)) return FProgress.Fail();
    // A short or missing AND plane leaves the rest opaque.
    std::vector<uint8_t> andPlane(size_t(p.AndRow * h), 0);
    const int64_t andBytes = std::min<int64_t>(p.AndRow * h, FAvail - (xorAt + xorBytes));
    if (andBytes > 0) FS.Read(andPlane.data(), int32_t(andBytes));
    p.Xor = xorPlane.data();
    p.And = andPlane.data();

    if (FMask) {
      FMask->AllocateBits(p.Width, p.Height, 8);
      FMask->Fill(255);
    }
    if (bits == 1 && colors == 2) {
      FBitmap.AllocateForOverwrite(p.Width, p.Height, pf1bit);
      TPaletteEntry pal[2];
      for (int32_t i = 0; i < 2; ++i) pal[i] = {table[size_t(i)].r, table[size_t(i)].g, table[size_t(i)].b, 0};
      FBitmap.SetPaletteEntries(0, 2, pal);
      DecodeMono(p, p.Background == TBGRPixel{255, 255, 255}, FBitmap, FMask);
    } else {
      FBitmap.AllocateForOverwrite(p.Width, p.Height, pf24bit);
      TBGRPixel lut[256] = {};
      std::copy(table.begin(), table.end(), lut);
      switch (bits) {
        case 1: DecodeIndexed<1>(p, lut, FBitmap, FMask); break;
        case 4: DecodeIndexed<4>(p, lut, FBitmap, FMask); break;
        case 8: DecodeIndexed<8>(p, lut, FBitmap, FMask); break;
        default: DecodeDirect(p, FBitmap, FMask); break;
      }
    }
    if (FMask) MarkMaskFilled(*FMask);
  }

  TStream& FS;
  TBitmap& FBitmap;
  TIOParamsVals& FParams;
  TProgressRec& FProgress;
  bool FParamsOnly;
  TIMMask* FMask;
  bool FCursor;
  int64_t FStart = 0;
  int64_t FAvail = 0;
  TIconEntry FEntry;
};

void ReadIcon(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
              TIMMask* Mask, bool Cursor) {
  try {
    TIconReader(S, Bitmap, Params, Progress, ParamsOnly, Mask, Cursor).Run();
  } catch (...) {
    Progress.Fail();  // a codec never lets an exception reach its caller
  }
}

}  // namespace

bool IsIcoStream(TStream& S) { return IsIconDirectory(S, 1); }
bool IsCurStream(TStream& S) { return IsIconDirectory(S, 2); }

void ReadIcoStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask) {
  ReadIcon(S, Bitmap, Params, Progress, ParamsOnly, Mask, false);
}

void ReadCurStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask) {
  ReadIcon(S, Bitmap, Params, Progress, ParamsOnly, Mask, true);
}

}  // namespace kv
