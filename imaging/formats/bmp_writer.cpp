// BMP writer: 1, 4, 8 or 24 bits in the core, 40- or 64-byte header, with
// run-length rows for 4 and 8 bits when asked. The headers are written as
// placeholders first and completed once the size of the pixels is known.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/formats/bmp.h"
#include "imaging/processing/convert_bits.h"
#include "imaging/processing/quantizer.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Every write is checked: a stream that takes less than given fails the save.
struct TCheckedWriter {
  TStream& S;
  TProgressRec& Progress;
  bool Write(const void* Data, int64_t Count) {
    if (Progress.Failed()) return false;
    if (Count > 0 && S.Write(Data, int32_t(Count)) != Count) {
      Progress.Fail();
      return false;
    }
    return true;
  }
  bool Write(const std::vector<uint8_t>& V) { return Write(V.data(), int64_t(V.size())); }
};

void FlushLiteral8(const uint8_t* P, int32_t N, std::vector<uint8_t>& Out) {
  if (N == 1) {
    Out.insert(Out.end(), {1, P[0]});
  } else if (N == 2) {
    Out.insert(Out.end(), {1, P[0], 1, P[1]});
  } else if (N >= 3) {
    Out.push_back(0);
    Out.push_back(uint8_t(N));
    Out.insert(Out.end(), P, P + N);
    if (N & 1) Out.push_back(0);
  }
}

void FlushLiteral4(const uint8_t* P, int32_t N, std::vector<uint8_t>& Out) {
  if (N == 1) {
    Out.insert(Out.end(), {1, uint8_t(P[0] << 4)});
  } else if (N == 2) {
    Out.insert(Out.end(), {2, uint8_t((P[0] << 4) | (P[1] & 0x0F))});
  } else if (N >= 3) {
    Out.push_back(0);
    Out.push_back(uint8_t(N));
    const int32_t bytes = (N + 1) / 2;
    for (int32_t i = 0; i < bytes; ++i) {
      const uint8_t hi = uint8_t(P[2 * i] << 4);
      const uint8_t lo = 2 * i + 1 < N ? (P[2 * i + 1] & 0x0F) : 0;
      Out.push_back(hi | lo);
    }
    if (bytes & 1) Out.push_back(0);
  }
}

template <bool Rle4>
void EncodeRow(const uint8_t* Idx, int32_t Width, std::vector<uint8_t>& Out) {
  auto flush = [&](const uint8_t* P, int32_t N) { Rle4 ? FlushLiteral4(P, N, Out) : FlushLiteral8(P, N, Out); };
  int32_t lit = 0;  // first pending literal pixel
  int32_t i = 0;
  while (i < Width) {
    if (i + 1 < Width && Idx[i] == Idx[i + 1]) {
      flush(Idx + lit, i - lit);
      int32_t n = 2;
      while (i + n < Width && n < 255 && Idx[i + n] == Idx[i]) ++n;
      Out.push_back(uint8_t(n));
      Out.push_back(Rle4 ? uint8_t((Idx[i] << 4) | (Idx[i] & 0x0F)) : Idx[i]);
      i += n;
      lit = i;
    } else {
      ++i;
      if (i - lit >= 256) {
        flush(Idx + lit, 255);
        lit += 255;
      }
    }
  }
  flush(Idx + lit, i - lit);
  Out.insert(Out.end(), {0, 0});
}

uint32_t Packed(const uint8_t* Bgr) { return (uint32_t(Bgr[2]) << 16) | (uint32_t(Bgr[1]) << 8) | Bgr[0]; }

// A 24-bit copy of a 1-bit picture in its own two colours.
void ExpandTo24(const TBitmap& Src, TBitmap& Dst) {
  std::vector<TPaletteEntry> pal = Src.Palette();
  if (pal.size() < 2) pal = DefaultPalette(pf1bit);
  Dst.AllocateForOverwrite(Src.Width(), Src.Height(), pf24bit);
  for (int32_t y = 0; y < Src.Height(); ++y) {
    const uint8_t* s = static_cast<const uint8_t*>(Src.ScanLine(y));
    uint8_t* d = static_cast<uint8_t*>(Dst.ScanLine(y));
    for (int32_t x = 0; x < Src.Width(); ++x, d += 3) {
      const TPaletteEntry& e = pal[(s[x >> 3] >> (7 - (x & 7))) & 1];
      d[0] = e.peBlue;
      d[1] = e.peGreen;
      d[2] = e.peRed;
    }
  }
}

}  // namespace

void EncodeBmpRle8Row(const uint8_t* Indices, int32_t Width, std::vector<uint8_t>& Out) {
  EncodeRow<false>(Indices, Width, Out);
}
void EncodeBmpRle4Row(const uint8_t* Indices, int32_t Width, std::vector<uint8_t>& Out) {
  EncodeRow<true>(Indices, Width, Out);
}

void WriteBmpStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  try {
    const int32_t width = Bitmap.Width(), height = Bitmap.Height();
    const bool src1 = Bitmap.PixelFormat() == pf1bit;
    if (width <= 0 || height <= 0 || (!src1 && Bitmap.PixelFormat() != pf24bit)) {
      Progress.Fail();
      return;
    }
    const int32_t bits = (Params.BitsPerSample == 1 || Params.BitsPerSample == 4) ? Params.BitsPerSample
                         : Params.SamplesPerPixel == 1                            ? 8
                                                                                  : 24;
    const bool core = Params.BmpVersion == 2;
    if (core && (width > 0xFFFF || height > 0xFFFF)) {
      Progress.Fail();  // the core header holds 16-bit sizes
      return;
    }
    const bool rle = !core && Params.BmpCompression == 1 && (bits == 4 || bits == 8);
    const int32_t infoSize = core ? 12 : Params.BmpVersion == 3 ? 64 : 40;

    // The picture in the written bit count, and its palette.
    TBitmap converted;
    const TBitmap* src = &Bitmap;
    std::vector<TBGRPixel> palette;
    std::vector<uint8_t> indexPlane;  // 4 and 8 bits: one index a byte, row by row
    if (bits == 4 || bits == 8) {
      if (src1) {
        ExpandTo24(Bitmap, converted);
        src = &converted;
      }
      palette.resize(size_t(1) << bits);
      TIMQuantizer q(*src, 0, -1, 1 << bits, 0, palette.data());
      indexPlane.resize(size_t(width) * size_t(height));
      for (int32_t y = 0; y < height; ++y) {
        const uint8_t* p = static_cast<const uint8_t*>(src->ScanLine(y));
        uint8_t* idx = indexPlane.data() + size_t(y) * size_t(width);
        for (int32_t x = 0; x < width; ++x, p += 3) idx[x] = uint8_t(q.RGBIndex(Packed(p)));
      }
    } else if (bits == 1) {
      palette = {TBGRPixel{0, 0, 0}, TBGRPixel{255, 255, 255}};
      if (src1) {
        // A 1-bit picture keeps its own two colours.
        const auto& pal = Bitmap.Palette();
        for (size_t i = 0; i < 2 && i < pal.size(); ++i) palette[i] = {pal[i].peBlue, pal[i].peGreen, pal[i].peRed};
      } else {
        TBGRPixel c0, c1;
        if (auto two = ConvertTo1BitIfTwoColors(Bitmap, c0, c1)) {
          palette = {c0, c1};
          converted.TakeOver(*two);
        } else {
          converted.Assign(&Bitmap);
          TProgressRec quiet;
          ConvertTo1BitDither(converted, quiet);
        }
        src = &converted;
      }
    } else if (src1) {
      ExpandTo24(Bitmap, converted);
      src = &converted;
    }
    if (!palette.empty()) Params.SetColorMap(palette.data(), int32_t(palette.size()));

    // Headers with what is known now; sizes and the bit count are completed at the end.
    const int64_t start = S.Position();
    const int32_t entry = core ? 3 : 4;
    std::vector<uint8_t> head(size_t(14 + infoSize + int64_t(palette.size()) * entry), 0);
    head[0] = 'B';
    head[1] = 'M';
    uint8_t* ih = head.data() + 14;
    Put32(ih, uint32_t(infoSize));
    if (core) {
      Put16(ih + 4, uint32_t(width));
      Put16(ih + 6, uint32_t(height));
      Put16(ih + 8, 1);
    } else {
      Put32(ih + 4, uint32_t(width));
      Put32(ih + 8, uint32_t(height));
      Put16(ih + 12, 1);
      Put32(ih + 16, rle ? (bits == 4 ? BI_RLE4 : BI_RLE8) : BI_RGB);
      Put32(ih + 24, uint32_t(Round32(Params.DpiX / 2.54 * 100)));
      Put32(ih + 28, uint32_t(Round32(Params.DpiY / 2.54 * 100)));
      Put32(ih + 32, bits <= 8 ? 1u << bits : 0u);
      Put32(ih + 36, bits == 24 ? 16777216u : 1u << bits);
    }
    uint8_t* t = ih + infoSize;
    for (const TBGRPixel& c : palette) {
      t[0] = c.b;
      t[1] = c.g;
      t[2] = c.r;
      t += entry;
    }
    TCheckedWriter w{S, Progress};
    if (!w.Write(head)) return;
    const int64_t pixelStart = S.Position();

    Progress.StartCodec(height);
    const int64_t rowBytes = BytesPerScanLine(width, bits);
    std::vector<uint8_t> out;
    out.reserve(size_t(rowBytes) + 512);
    for (int32_t y = height - 1; y >= 0; --y) {
      out.clear();
      if (bits == 4 || bits == 8) {
        const uint8_t* idx = indexPlane.data() + size_t(y) * size_t(width);
        if (rle) {
          bits == 4 ? EncodeBmpRle4Row(idx, width, out) : EncodeBmpRle8Row(idx, width, out);
        } else {
          out.assign(size_t(rowBytes), 0);
          if (bits == 8) {
            std::memcpy(out.data(), idx, size_t(width));
          } else {
            for (int32_t x = 0; x < width; ++x) out[size_t(x / 2)] |= uint8_t((x & 1) ? idx[x] : idx[x] << 4);
          }
        }
        if (!w.Write(out)) return;
      } else {
        if (!w.Write(src->ScanLine(y), rowBytes)) return;
      }
      Progress.CodecRow();
    }
    if (rle && !w.Write(std::vector<uint8_t>{0, 1})) return;
    if (Progress.Failed()) return;

    // Complete the headers and return to the end.
    const int64_t end = S.Position();
    const int64_t fileSize = end - start, imageSize = end - pixelStart;
    if (fileSize > int64_t(UINT32_MAX)) {
      Progress.Fail();
      return;
    }
    Put32(head.data() + 2, uint32_t(fileSize));
    Put32(head.data() + 10, uint32_t(pixelStart - start));
    if (core) {
      Put16(ih + 10, uint32_t(bits));
    } else {
      Put16(ih + 14, uint32_t(bits));
      Put32(ih + 20, uint32_t(imageSize));
    }
    if (S.Seek(start, soBeginning) != start || !w.Write(head.data(), 14 + infoSize) || S.Seek(end, soBeginning) != end)
      Progress.Fail();
  } catch (...) {
    Progress.Fail();
  }
}

}  // namespace kv
