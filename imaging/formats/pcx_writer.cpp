// PCX writer: 1, 4, 8 or 24 bits, plain or run-length lines.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/formats/pcx.h"
#include "imaging/formats/write_helpers.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/quantizer.h"

namespace kv {

namespace {

inline void PutWord(uint8_t* P, int64_t V) {
  const uint32_t v = uint32_t(std::clamp<int64_t>(V, 0, 65535));
  P[0] = uint8_t(v), P[1] = uint8_t(v >> 8);
}

inline void PutRgb(uint8_t* P, const TBGRPixel& C) { P[0] = C.r, P[1] = C.g, P[2] = C.b; }

}  // namespace

int32_t EncodePcxRle(const uint8_t* Line, int32_t Count, int32_t Stride, uint8_t* Out) {
  int32_t o = 0;
  for (int32_t i = 0; i < Count;) {
    const uint8_t v = Line[int64_t(i) * Stride];
    int32_t run = 1;
    while (run < 63 && i + run < Count && Line[int64_t(i + run) * Stride] == v) ++run;
    if (run > 1 || v >= 0xC0) Out[o++] = uint8_t(0xC0 + run);
    Out[o++] = v;
    i += run;
  }
  if (Count & 1) Out[o++] = 0;
  return o;
}

void WritePcxStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  try {
    // Sides beyond 65536 do not fit the header's bounds.
    if (Bitmap.Empty() || Bitmap.Width() > 65536 || Bitmap.Height() > 65536) {
      Progress.Fail();
      return;
    }
    int32_t bits = Params.BitsPerSample == 1 ? 1 : Params.BitsPerSample * Params.SamplesPerPixel;
    if (bits != 1 && bits != 4 && bits != 8) bits = 24;  // no layout of its own: true colour

    std::unique_ptr<TBitmap> holder;
    TBGRPixel c0{0, 0, 0}, c1{255, 255, 255};
    const TBitmap& src = bits == 1 ? OneBitPicture(Bitmap, holder, c0, c1) : TrueColourPicture(Bitmap, holder);
    const int32_t w = src.Width(), h = src.Height();

    TBGRPixel pal[256] = {};
    std::unique_ptr<TIMQuantizer> quantizer;
    if (bits == 4 || bits == 8) {
      const int32_t colours = bits == 4 ? 16 : 256;
      quantizer = std::make_unique<TIMQuantizer>(src, 0, -1, colours, 0, pal);
      Params.SetColorMap(pal, colours);
    }

    const int32_t packed = bits == 1 ? (w + 7) / 8 : bits == 4 ? (w + 1) / 2 : w;
    const int32_t bpl = packed + (packed & 1);
    const int32_t planes = bits == 24 ? 3 : 1;
    const bool rle = Params.PcxCompressed;

    uint8_t head[128] = {};
    head[0] = 10;
    head[1] = uint8_t(Params.PcxVersion);
    head[2] = rle ? 1 : 0;
    head[3] = uint8_t(bits == 24 ? 8 : bits);
    PutWord(head + 8, w - 1);
    PutWord(head + 10, h - 1);
    PutWord(head + 12, Params.DpiX);
    PutWord(head + 14, Params.DpiY);
    if (bits == 1) {
      PutRgb(head + 16, c0);
      PutRgb(head + 19, c1);
    } else if (bits == 4) {
      for (int i = 0; i < 16; ++i) PutRgb(head + 16 + 3 * i, pal[i]);
    }
    head[65] = uint8_t(planes);
    PutWord(head + 66, bpl);
    PutWord(head + 68, bits == 24 ? 0 : 1);
    if (!CheckedWrite(S, head, sizeof head, Progress)) return;

    std::vector<uint8_t> line(size_t(bpl) + 1);
    std::vector<uint8_t> out(size_t(bpl) * 2 + 2);
    // One plane line: Count bytes Stride apart, padded to bpl.
    auto putLine = [&](const uint8_t* P, int32_t Count, int32_t Stride) {
      if (rle) return CheckedWrite(S, out.data(), size_t(EncodePcxRle(P, Count, Stride, out.data())), Progress);
      if (Stride != 1) {
        for (int32_t i = 0; i < Count; ++i) line[size_t(i)] = P[int64_t(i) * Stride];
        P = line.data();
      }
      std::memcpy(out.data(), P, size_t(Count));
      std::memset(out.data() + Count, 0, size_t(bpl - Count));
      return CheckedWrite(S, out.data(), size_t(bpl), Progress);
    };

    Progress.StartCodec(h);
    for (int32_t y = 0; y < h; ++y) {
      if (Progress.Failed()) return;
      const auto* s = static_cast<const uint8_t*>(src.ScanLine(y));
      bool ok;
      if (bits == 24) {
        ok = putLine(s + 2, w, 3) && putLine(s + 1, w, 3) && putLine(s, w, 3);
      } else if (bits == 1) {
        ok = putLine(s, packed, 1);
      } else {
        std::memset(line.data(), 0, line.size());
        QuantizeRow(s, line.data(), 24, quantizer.get(), bits == 4 ? 16 : 256, pal, w, bits);
        ok = putLine(line.data(), packed, 1);
      }
      if (!ok) return;
      Progress.CodecRow();
    }
    if (bits == 8 && !Progress.Failed()) {
      uint8_t tail[1 + 768];
      tail[0] = 12;
      for (int i = 0; i < 256; ++i) PutRgb(tail + 1 + 3 * i, pal[i]);
      CheckedWrite(S, tail, sizeof tail, Progress);
    }
  } catch (...) {
    Progress.Fail();
  }
}

}  // namespace kv
