// TGA writer: top-left origin, depth 1, 4, 8 or 24, run-length rows at 8
// and 24 bits, then the extension area and the version 2 footer.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/formats/tga.h"
#include "imaging/formats/tga_format.h"
#include "imaging/formats/write_helpers.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/quantizer.h"

namespace kv {

namespace {

// Run-length packets of one row of N pixels of Bpp bytes: runs of 2 to 128
// equal pixels, the rest in raw packets of up to 128 that end where two
// equal neighbours begin.
size_t EncodeRow(const uint8_t* P, int32_t N, int32_t Bpp, uint8_t* Out) {
  auto same = [&](int32_t a, int32_t b) { return std::memcmp(P + size_t(a) * Bpp, P + size_t(b) * Bpp, size_t(Bpp)) == 0; };
  uint8_t* o = Out;
  for (int32_t i = 0; i < N;) {
    int32_t run = 1;
    while (run < 128 && i + run < N && same(i, i + run)) ++run;
    if (run >= 2) {
      *o++ = uint8_t(0x80 | (run - 1));
      std::memcpy(o, P + size_t(i) * Bpp, size_t(Bpp));
      o += Bpp;
      i += run;
      continue;
    }
    const int32_t first = i;
    int32_t count = 1;
    for (++i; i < N && count < 128 && !(i + 1 < N && same(i, i + 1)); ++i) ++count;
    *o++ = uint8_t(count - 1);
    std::memcpy(o, P + size_t(first) * Bpp, size_t(count) * Bpp);
    o += size_t(count) * Bpp;
  }
  return size_t(o - Out);
}

// Value as numerator and denominator: trunc(value x 10000) over 10000, a
// smaller denominator when the numerator would not fit 16 bits.
void PutRatio(uint8_t* P, double Value) {
  uint32_t num = 0, den = 10000;
  if (std::isfinite(Value) && Value > 0) {
    while (den > 1 && Value * den > 65535) den /= 10;
    num = uint32_t(std::min(Value * den, 65535.0));
  }
  PutTgaWord(P, num);
  PutTgaWord(P + 2, den);
}

void PutText(uint8_t* P, const std::string& S) { std::memcpy(P, S.data(), std::min<size_t>(S.size(), 40)); }

void Extension(const TIOParamsVals& Params, uint8_t* E) {
  std::memset(E, 0, kTgaExtensionBytes);
  PutTgaWord(E, kTgaExtensionBytes);
  PutText(E + 2, Params.TgaAuthor);
  uint16_t year, month, day, hour, minute, second, msec;
  DecodeDate(Params.TgaDate, year, month, day);
  DecodeTime(Params.TgaDate, hour, minute, second, msec);
  const uint16_t stamp[6] = {month, day, year, hour, minute, second};
  for (int i = 0; i < 6; ++i) PutTgaWord(E + 367 + 2 * i, stamp[i]);
  PutText(E + 379, Params.TgaImageName);
  E[471] = Params.TgaBackground.r;
  E[472] = Params.TgaBackground.g;
  E[473] = Params.TgaBackground.b;
  PutRatio(E + 474, Params.TgaAspectRatio);
  PutRatio(E + 478, Params.TgaGamma);
}

}  // namespace

void WriteTgaStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  try {
    if (Bitmap.Empty() || Bitmap.Width() > 65535 || Bitmap.Height() > 65535) {
      Progress.Fail();
      return;
    }
    const int64_t start = S.Position();
    int32_t depth = 24;
    if (Params.SamplesPerPixel == 1 && (Params.BitsPerSample == 1 || Params.BitsPerSample == 4 || Params.BitsPerSample == 8))
      depth = Params.BitsPerSample;
    if (depth == 1 || depth == 4) Params.TgaCompressed = false;
    // Gray levels only at 8 bits: a 4-bit file keeps its colour map.
    const bool gray = depth == 8 && Params.TgaGrayLevel;
    const bool mapped = depth == 4 || (depth == 8 && !gray);
    const bool rle = Params.TgaCompressed && (depth == 8 || depth == 24);

    std::unique_ptr<TBitmap> holder;
    TBGRPixel c0, c1;
    const TBitmap& src = depth == 1 ? OneBitPicture(Bitmap, holder, c0, c1) : TrueColourPicture(Bitmap, holder);
    const int32_t w = src.Width(), h = src.Height();
    TBGRPixel pal[256] = {};
    std::unique_ptr<TIMQuantizer> quantizer;
    const int32_t colours = depth == 4 ? 16 : 256;
    if (depth == 4 || depth == 8) {
      quantizer = std::make_unique<TIMQuantizer>(src, 0, -1, colours, 0, pal);
      Params.SetColorMap(pal, colours);
    }

    const std::string desc = Params.TgaDescription.substr(0, 254);
    std::vector<uint8_t> head(size_t(kTgaHeaderBytes) + desc.size() + 1 + (mapped ? size_t(colours) * 3 : 0));
    uint8_t* b = head.data();
    b[0] = uint8_t(desc.size() + 1);
    b[1] = mapped ? 1 : 0;
    b[2] = depth == 1 ? 3 : mapped ? (rle ? 9 : 1) : gray ? (rle ? 11 : 3) : (rle ? 10 : 2);
    if (mapped) {
      PutTgaWord(b + 5, uint32_t(colours));
      b[7] = 24;
    }
    PutTgaWord(b + 8, uint32_t(std::clamp(Params.TgaXPos, 0, 65535)));
    PutTgaWord(b + 10, uint32_t(std::clamp(Params.TgaYPos, 0, 65535)));
    PutTgaWord(b + 12, uint32_t(w));
    PutTgaWord(b + 14, uint32_t(h));
    b[16] = uint8_t(depth);
    b[17] = 0x20;
    std::memcpy(b + kTgaHeaderBytes, desc.data(), desc.size());
    if (mapped)
      for (int32_t i = 0; i < colours; ++i) std::memcpy(b + kTgaHeaderBytes + desc.size() + 1 + 3 * i, &pal[i], 3);
    if (!CheckedWrite(S, head.data(), head.size(), Progress)) return;

    const int32_t bpp = depth == 24 ? 3 : 1;
    const size_t rowBytes = depth == 1 ? (size_t(w) + 7) / 8 : depth == 4 ? (size_t(w) + 1) / 2 : size_t(w) * bpp;
    std::vector<uint8_t> row(rowBytes + 1), packed(rowBytes + rowBytes / 128 + 2 + size_t(w));
    uint8_t gray8[256];
    for (int i = 0; i < 256; ++i) gray8[i] = GrayLevel(pal[i]);
    Progress.StartCodec(h);
    for (int32_t y = 0; y < h; ++y) {
      if (Progress.Failed()) return;
      const auto* s = static_cast<const uint8_t*>(src.ScanLine(y));
      if (depth == 1 || depth == 24) {
        std::memcpy(row.data(), s, rowBytes);
      } else {
        std::memset(row.data(), 0, row.size());
        QuantizeRow(s, row.data(), 24, quantizer.get(), colours, pal, w, depth);
        if (gray)
          for (int32_t x = 0; x < w; ++x) row[size_t(x)] = gray8[row[size_t(x)]];
      }
      const bool ok = rle ? CheckedWrite(S, packed.data(), EncodeRow(row.data(), w, bpp, packed.data()), Progress)
                          : CheckedWrite(S, row.data(), rowBytes, Progress);
      if (!ok) return;
      Progress.CodecRow();
    }

    uint8_t tail[kTgaExtensionBytes + kTgaFooterBytes];
    Extension(Params, tail);
    uint8_t* f = tail + kTgaExtensionBytes;
    PutTgaLong(f, uint32_t(S.Position() - start));
    PutTgaLong(f + 4, 0);
    std::memcpy(f + 8, kTgaSignature, 18);
    CheckedWrite(S, tail, sizeof tail, Progress);
  } catch (...) {
    Progress.Fail();
  }
}

}  // namespace kv
