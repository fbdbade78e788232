// YUV video frames: packed layouts decoded a group of pixels at a time, the
// last group of a row cut at the row's end; planar layouts with one chroma
// sample per 2 x 2 or 4 x 4 block. The frame's size is checked against the
// bytes before anything is allocated.
#include "imaging/processing/dib_yuv.h"

#include <algorithm>
#include <cstring>

#include "imaging/processing/dib.h"
#include "imaging/processing/row_strips.h"

namespace kv {

namespace {

constexpr uint32_t FourCC(const char (&C)[5]) {
  return uint32_t(uint8_t(C[0])) | uint32_t(uint8_t(C[1])) << 8 | uint32_t(uint8_t(C[2])) << 16 |
         uint32_t(uint8_t(C[3])) << 24;
}

enum TYuvLayout : uint8_t { ylNone, ylUYVY, ylYUY2, ylYVYU, ylIYU1, ylIYU2, ylY211, ylY41P, ylCLJR, ylI420, ylYV12, ylYVU9 };

TYuvLayout LayoutOf(uint32_t C) {
  if (C == FourCC("UYVY") || C == FourCC("UYNV") || C == FourCC("cyuv")) return ylUYVY;
  if (C == FourCC("YUY2") || C == FourCC("YUNV")) return ylYUY2;
  if (C == FourCC("YVYU")) return ylYVYU;
  if (C == FourCC("IYU1")) return ylIYU1;
  if (C == FourCC("IYU2")) return ylIYU2;
  if (C == FourCC("Y211")) return ylY211;
  if (C == FourCC("Y41P")) return ylY41P;
  if (C == FourCC("CLJR")) return ylCLJR;
  if (C == FourCC("I420") || C == FourCC("IYUV")) return ylI420;
  if (C == FourCC("YV12")) return ylYV12;
  if (C == FourCC("YVU9")) return ylYVU9;
  return ylNone;
}

// Pixels and bytes of one group of a packed layout.
struct TGroup {
  int32_t Pixels, Bytes;
};

constexpr TGroup GroupOf(TYuvLayout L) {
  switch (L) {
    case ylUYVY: case ylYUY2: case ylYVYU: return {2, 4};
    case ylIYU1: return {4, 6};
    case ylIYU2: return {1, 3};
    case ylY211: case ylCLJR: return {4, 4};
    case ylY41P: return {8, 12};
    default: return {0, 0};
  }
}

void Put(uint8_t* Dst, int32_t Y, int32_t U, int32_t V) {
  TBGRPixel p;
  YUVToBGR(Y, U, V, p);
  Dst[0] = p.b;
  Dst[1] = p.g;
  Dst[2] = p.r;
}

// One group of G.Pixels pixels from S into Out (3 bytes a pixel).
template <TYuvLayout L>
void DecodeGroup(const uint8_t* S, uint8_t* Out) {
  if constexpr (L == ylUYVY) {
    Put(Out, S[1], S[0], S[2]);
    Put(Out + 3, S[3], S[0], S[2]);
  } else if constexpr (L == ylYUY2) {
    Put(Out, S[0], S[1], S[3]);
    Put(Out + 3, S[2], S[1], S[3]);
  } else if constexpr (L == ylYVYU) {
    Put(Out, S[0], S[3], S[1]);
    Put(Out + 3, S[2], S[3], S[1]);
  } else if constexpr (L == ylIYU1) {
    const uint8_t y[4] = {S[1], S[2], S[4], S[5]};
    for (int i = 0; i < 4; ++i) Put(Out + 3 * i, y[i], S[0], S[3]);
  } else if constexpr (L == ylIYU2) {
    Put(Out, S[1], S[0], S[2]);
  } else if constexpr (L == ylY211) {
    for (int i = 0; i < 4; ++i) Put(Out + 3 * i, i < 2 ? S[0] : S[2], S[1], S[3]);
  } else if constexpr (L == ylY41P) {
    const uint8_t y[8] = {S[1], S[3], S[5], S[7], S[8], S[9], S[10], S[11]};
    for (int i = 0; i < 8; ++i) Put(Out + 3 * i, y[i], i < 4 ? S[0] : S[4], i < 4 ? S[2] : S[6]);
  } else if constexpr (L == ylCLJR) {
    const uint32_t w = uint32_t(S[0]) | uint32_t(S[1]) << 8 | uint32_t(S[2]) << 16 | uint32_t(S[3]) << 24;
    // 5-bit luma and 6-bit chroma widened to 8 bits, so full scale stays full scale.
    const int32_t v = int32_t(w & 63), u = int32_t((w >> 6) & 63);
    const int32_t v8 = (v << 2) | (v >> 4), u8 = (u << 2) | (u >> 4);
    for (int i = 0; i < 4; ++i) {
      const int32_t y = int32_t((w >> (12 + 5 * i)) & 31);
      Put(Out + 3 * i, (y << 3) | (y >> 2), u8, v8);
    }
  }
}

template <TYuvLayout L>
void DecodePacked(const uint8_t* Src, int64_t Stride, int32_t Width, int32_t Height, bool TopFirst, TBitmap& T) {
  constexpr TGroup g = GroupOf(L);
  RunRowStrips(0, Height, int64_t(Width) * 12, [&](int32_t From, int32_t To) {
    uint8_t group[8 * 3];
    for (int32_t r = From; r < To; ++r) {
      const uint8_t* s = Src + r * Stride;
      auto* d = static_cast<uint8_t*>(T.ScanLine(TopFirst ? r : Height - 1 - r));
      for (int32_t x = 0; x < Width; x += g.Pixels, s += g.Bytes) {
        const int32_t n = std::min(g.Pixels, Width - x);  // the last group may reach past the row
        if (n == g.Pixels) {
          DecodeGroup<L>(s, d + 3 * int64_t(x));
        } else {
          DecodeGroup<L>(s, group);
          std::memcpy(d + 3 * int64_t(x), group, size_t(n) * 3);
        }
      }
    }
  });
}

// Planar frames: a luma plane, then two chroma planes of (Width / Div) x
// (Height / Div) samples; pixels past the last whole block take its chroma.
void DecodePlanar(const uint8_t* Src, int32_t Width, int32_t Height, int32_t Div, bool UFirst, bool TopFirst,
                  TBitmap& T) {
  const int64_t cw = Width / Div, ch = Height / Div;
  const uint8_t* yp = Src;
  const uint8_t* first = Src + int64_t(Width) * Height;
  const uint8_t* second = first + cw * ch;
  const uint8_t* up = UFirst ? first : second;
  const uint8_t* vp = UFirst ? second : first;
  RunRowStrips(0, Height, int64_t(Width) * 12, [&](int32_t From, int32_t To) {
    for (int32_t r = From; r < To; ++r) {
      auto* d = static_cast<uint8_t*>(T.ScanLine(TopFirst ? r : Height - 1 - r));
      const uint8_t* ys = yp + int64_t(r) * Width;
      const int64_t cr = std::min<int64_t>(r / Div, ch - 1);
      for (int32_t x = 0; x < Width; ++x, d += 3) {
        int32_t u = 128, v = 128;  // a frame too small for one block has no colour
        if (cw > 0 && ch > 0) {
          const int64_t at = cr * cw + std::min<int64_t>(x / Div, cw - 1);
          u = up[at];
          v = vp[at];
        }
        Put(d, ys[x], u, v);
      }
    }
  });
}

}  // namespace

bool IsYuvFourCC(uint32_t Compression) { return LayoutOf(Compression) != ylNone; }

bool DecodeYuvDib(uint32_t Code, int32_t Width, int32_t Height, bool PositiveHeight, const uint8_t* Pixels,
                  size_t Size, TBitmap& Target) {
  const TYuvLayout l = LayoutOf(Code);
  if (l == ylNone || !Pixels || Width <= 0 || Height <= 0) return false;
  // Y41P and cyuv store their rows the other way round.
  const bool topFirst = (Code == FourCC("Y41P") || Code == FourCC("cyuv")) ? !PositiveHeight : PositiveHeight;
  const int64_t w = Width, h = Height;
  int64_t need = 0, stride = 0;
  if (l == ylI420 || l == ylYV12) {
    need = w * h + 2 * (w / 2) * (h / 2);
  } else if (l == ylYVU9) {
    need = w * h + 2 * (w / 4) * (h / 4);
  } else {
    const TGroup g = GroupOf(l);
    stride = (w + g.Pixels - 1) / g.Pixels * g.Bytes;
    need = stride * h;
  }
  if (need > int64_t(Size)) return false;

  TBitmap t;
  t.AllocateForOverwrite(Width, Height, pf24bit);
  switch (l) {
    case ylUYVY: DecodePacked<ylUYVY>(Pixels, stride, Width, Height, topFirst, t); break;
    case ylYUY2: DecodePacked<ylYUY2>(Pixels, stride, Width, Height, topFirst, t); break;
    case ylYVYU: DecodePacked<ylYVYU>(Pixels, stride, Width, Height, topFirst, t); break;
    case ylIYU1: DecodePacked<ylIYU1>(Pixels, stride, Width, Height, topFirst, t); break;
    case ylIYU2: DecodePacked<ylIYU2>(Pixels, stride, Width, Height, topFirst, t); break;
    case ylY211: DecodePacked<ylY211>(Pixels, stride, Width, Height, topFirst, t); break;
    case ylY41P: DecodePacked<ylY41P>(Pixels, stride, Width, Height, topFirst, t); break;
    case ylCLJR: DecodePacked<ylCLJR>(Pixels, stride, Width, Height, topFirst, t); break;
    case ylI420: DecodePlanar(Pixels, Width, Height, 2, true, topFirst, t); break;
    case ylYV12: DecodePlanar(Pixels, Width, Height, 2, false, topFirst, t); break;
    case ylYVU9: DecodePlanar(Pixels, Width, Height, 4, false, topFirst, t); break;
    case ylNone: return false;
  }
  Target.TakeOver(t);
  return true;
}

}  // namespace kv
