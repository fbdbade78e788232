#include "imaging/processing/rotate.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "imaging/processing/bitmap_utils.h"
#include "imaging/model/im_utils.h"
#include "imaging/model/parallel_rows.h"
#include "imaging/model/pixel.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

constexpr int32_t kOne = 4096;  // 12-bit fixed-point weights
// A quarter turn goes through tiles of kTileRows target rows by kTileCols
// target columns (12 KB of each picture), so that the source lines a target
// row reads are still in the cache for the next target rows of the tile.
constexpr int32_t kTileRows = 128;
constexpr int32_t kTileCols = 32;
constexpr bool kLittleEndian = std::endian::native == std::endian::little;

inline uint32_t Load32(const uint8_t* P) {
  uint32_t v;
  std::memcpy(&v, P, 4);
  return v;
}
inline void Store32(uint8_t* P, uint32_t V) { std::memcpy(P, &V, 4); }

// The weighted mix of the previous pixel P (weight G) and the current C
// (weight 4096 - G), rounded to nearest. G is negative when the rounded shift
// lies past the exact one, which extrapolates and needs the clamp.
inline uint8_t Mix(int32_t P, int32_t C, int32_t G, int32_t K) {
  return ClampByte(int32_t(Sar(int64_t(P) * G + int64_t(C) * K + kOne / 2, 12)));
}

// Places a row of SrcW pixels at Offset in a row of DstW pixels, the rest
// background. With Antialias pixel Offset + i mixes source pixels i - 1 and i
// (the background before the first) and, with Extra, pixel Offset + SrcW mixes
// the last one with the background.
void ShearRow(uint8_t* Dst, int64_t DstW, const uint8_t* Src, int64_t SrcW, int64_t Offset, bool Antialias,
              int32_t G, bool Extra, const uint8_t* BgRow) {
  const int32_t K = kOne - G;
  const int64_t from = std::clamp<int64_t>(Offset, 0, DstW);        // first column of the row
  const int64_t to = std::clamp<int64_t>(Offset + SrcW, 0, DstW);   // one past its last column
  std::memcpy(Dst, BgRow, size_t(from) * 3);
  if (!Antialias || G == 0) {
    // A row wholly outside the target has nothing to place (and no source address to form).
    if (to > from) std::memcpy(Dst + from * 3, Src + (from - Offset) * 3, size_t(to - from) * 3);
  } else {
    const uint8_t* bg = BgRow;
    for (int64_t x = from; x < to; ++x) {
      const int64_t i = x - Offset;
      const uint8_t* c = Src + i * 3;
      const uint8_t* p = i > 0 ? c - 3 : bg;
      uint8_t* d = Dst + x * 3;
      d[0] = Mix(p[0], c[0], G, K);
      d[1] = Mix(p[1], c[1], G, K);
      d[2] = Mix(p[2], c[2], G, K);
    }
  }
  int64_t rest = to;
  if (Antialias && Extra && Offset + SrcW >= 0 && Offset + SrcW < DstW) {
    const uint8_t* p = Src + (SrcW - 1) * 3;
    uint8_t* d = Dst + (Offset + SrcW) * 3;
    for (int ch = 0; ch < 3; ++ch) d[ch] = Mix(p[ch], BgRow[ch], G, K);
    rest = Offset + SrcW + 1;
  }
  rest = std::max(rest, from);
  std::memcpy(Dst + rest * 3, BgRow, size_t(DstW - rest) * 3);
}

// Progress of the shear rotation: trunc(steps * 100 / (total + 0.5)).
struct TShearProgress {
  TObject* Sender;
  const TIMProgressEvent& OnProgress;
  double Total;
  void Step(int64_t Count) const {
    if (OnProgress) OnProgress(Sender, Trunc32(double(Count) * 100 / (Total + 0.5)));
  }
};

// Rows of a picture through one base pointer and a fixed stride.
struct TRows {
  uint8_t* Base;
  int64_t Stride;
  uint8_t* operator[](int64_t Y) const { return Base + Y * Stride; }
};

// Past this the buffers could not be addressed by a bitmap anyway.
void CheckPixels(int64_t Width, int64_t Height) {
  if (Width <= 0 || Height <= 0 || Width > INT32_MAX / 3 || Height > INT32_MAX ||
      Width * Height > (int64_t(1) << 33) / 3)
    throw EOutOfMemory();
}

// Bitmap takes Result's pixels; Replaced, when given, keeps the old picture.
void Replace(TBitmap& Bitmap, TBitmap& Result, TBitmap* Replaced) {
  if (Replaced) Replaced->TakeOver(Bitmap);
  Bitmap.TakeOver(Result);
}

// Left unset: every row is written before it is read. Clearing it first would
// be a serial pass over the whole buffer, and its pages would all be faulted
// in by the calling thread instead of by the threads that fill them.
std::unique_ptr<uint8_t[]> AllocatePixels(int64_t Width, int64_t Height) {
  CheckPixels(Width, Height);
  return std::make_unique_for_overwrite<uint8_t[]>(size_t(Width * Height * 3));
}

}  // namespace

void QuarterTurn24(const TBitmap& Source, TBitmap& Target, int32_t Quarters) {
  if (Source.PixelFormat() != pf24bit || &Source == &Target) return;
  Quarters = ((Quarters % 4) + 4) % 4;
  const int32_t w = Source.Width(), h = Source.Height();
  const bool swap = Quarters == 1 || Quarters == 3;
  Target.AllocateForOverwrite(swap ? h : w, swap ? w : h, pf24bit);  // every pixel is written below
  if (Target.Empty()) return;
  const TRows src{const_cast<uint8_t*>(Source.Bits()), Source.RowBytes()};
  const TRows dst{Target.Bits(), Target.RowBytes()};
  if (Quarters == 0) {
    ParallelRows(
        h,
        [&](int64_t First, int64_t Last) {
          std::memcpy(dst[First], src[First], size_t(int64_t(Source.RowBytes()) * (Last - First)));
        },
        int64_t(Source.RowBytes()) / 4);
    return;
  }
  if (Quarters == 2) {
    ParallelRows(
        h,
        [&](int64_t First, int64_t Last) {
          for (int64_t y = First; y < Last; ++y) {
            const uint8_t* s = src[h - 1 - y] + int64_t(w - 1) * 3;
            uint8_t* d = dst[y];
            for (int32_t x = 0; x < w; ++x, d += 3, s -= 3) d[0] = s[0], d[1] = s[1], d[2] = s[2];
          }
        },
        int64_t(w) * 6);
    return;
  }
  // Target pixel (X, Y) is source pixel (w - 1 - Y, X) for a counter-clockwise
  // turn and (Y, h - 1 - X) for a clockwise one: target row Y is one source
  // column, read down (ccw) or up (cw) the source rows.
  const int32_t tw = h, th = w;
  const bool ccw = Quarters == 1;
  const int64_t sstep = ccw ? src.Stride : -src.Stride;
  // A 4-byte load at a pixel reads one byte past it: safe everywhere but at
  // the last pixel of the block when the rows have no padding.
  const bool lastColumnPadded = Source.RowBytes() > int64_t(w) * 3;
  // Bands of kTileRows target rows are independent: the threads share them out.
  ParallelRows(
      (int64_t(th) + kTileRows - 1) / kTileRows,
      [&](int64_t FirstBand, int64_t LastBand) {
        for (int32_t y0 = int32_t(FirstBand) * kTileRows; y0 < std::min<int64_t>(LastBand * kTileRows, th);
             y0 += kTileRows) {
          const int32_t y1 = std::min(y0 + kTileRows, th);
          for (int32_t x0 = 0; x0 < tw; x0 += kTileCols) {
            const int32_t x1 = std::min(x0 + kTileCols, tw);
            for (int32_t y = y0; y < y1; ++y) {
              const int32_t col = ccw ? w - 1 - y : y;
              const uint8_t* s = src[ccw ? x0 : h - 1 - x0] + int64_t(col) * 3;
              uint8_t* d = dst[y] + int64_t(x0) * 3;
              int32_t x = x0;
              if (kLittleEndian && (col < w - 1 || lastColumnPadded)) {
                // Four pixels in three 32-bit stores.
                for (; x + 4 <= x1; x += 4, s += 4 * sstep, d += 12) {
                  const uint32_t a = Load32(s), b = Load32(s + sstep), c = Load32(s + 2 * sstep),
                                 e = Load32(s + 3 * sstep);
                  Store32(d, (a & 0xFFFFFFu) | (b << 24));
                  Store32(d + 4, ((b >> 8) & 0xFFFFu) | (c << 16));
                  Store32(d + 8, ((c >> 16) & 0xFFu) | (e << 8));
                }
              }
              for (; x < x1; ++x, s += sstep, d += 3) d[0] = s[0], d[1] = s[1], d[2] = s[2];
            }
          }
        }
      },
      int64_t(kTileRows) * tw * 6);
}

void RotateBitmap24(TBitmap& Bitmap, double Angle, bool Antialias, TColor Background, TObject* Sender,
                    const TIMProgressEvent& OnProgress, TBitmap* Replaced) {
  if (Bitmap.PixelFormat() != pf24bit || Bitmap.Empty()) return;
  // Thousandths of a degree, modulo a whole turn (sign of the angle).
  double f = double(Trunc(Angle * 1000) % 360000) / 1000;
  int32_t quarters = 0;
  while (f > 45) f -= 90, ++quarters;
  while (f < -45) f += 90, --quarters;
  quarters = ((quarters % 4) + 4) % 4;

  std::unique_ptr<TBitmap> turned;
  if (quarters != 0) {
    turned = std::make_unique<TBitmap>();
    QuarterTurn24(Bitmap, *turned, quarters);
  }
  if (f == 0) {
    if (turned) Replace(Bitmap, *turned, Replaced);
    return;
  }
  const TBitmap& work = turned ? *turned : Bitmap;

  const TColorRef rgb = ColorToRGB(Background);
  const uint8_t bgPixel[3] = {GetBValue(rgb), GetGValue(rgb), GetRValue(rgb)};

  const double r = f * std::numbers::pi / 180;
  const double T = std::fabs(std::tan(r / 2)), S = std::fabs(std::sin(r));
  const int64_t w = work.Width(), h = work.Height();
  const int64_t W1 = Round(double(h) * T + double(w) + 1);
  const int64_t L = Round(double(W1 - w) * S);
  const int64_t H2 = Round(S * double(W1) + double(h) + 1);
  const int64_t D3 = Round(T * double(H2 - h - L));
  const int64_t H = H2 - 2 * L;
  const int64_t W = Round(T * double(H) + double(W1) + 1 - 2 * double(D3));
  const TShearProgress progress{Sender, OnProgress, double(h + W1 + H)};
  // Every buffer and the result are sized before anything is allocated.
  CheckPixels(W1, h);
  CheckPixels(W1, H);
  CheckPixels(W, H);

  std::vector<uint8_t> bgRow(size_t(std::max(W1, W) + 1) * 3);
  for (size_t i = 0; i < bgRow.size(); i += 3) std::memcpy(&bgRow[i], bgPixel, 3);

  // Column offsets and weights of the vertical shear (pass 2): source column
  // x of target row Y comes from sheared row Y - offset[x] (and the row before).
  std::vector<int64_t> offset(static_cast<size_t>(W1));
  std::vector<int32_t> weight(static_cast<size_t>(W1));
  int64_t minOffset = INT64_MAX, maxOffset = INT64_MIN;
  for (int64_t x = 0; x < W1; ++x) {
    const double shift = double(r > 0 ? W1 - x : x) * S;
    const int64_t n = Round(shift);
    offset[size_t(x)] = n - L;
    weight[size_t(x)] = int32_t(Round((shift - double(n)) * kOne));
    minOffset = std::min(minOffset, n - L);
    maxOffset = std::max(maxOffset, n - L);
  }

  // The three passes run band by band of target rows: a target row needs one
  // row of the vertical shear, which needs the rows of the first shear within
  // the offsets' reach. Those stay in a ring; nothing picture-sized is made
  // besides the result. The threads share first the band's new first-shear
  // rows, then its target rows, and wait for each other after each. One
  // thread takes short bands, whose rows stay in its cache from pass to pass;
  // several take bands at least as long as the offsets' reach and an eighth
  // of the height, so that they wait a dozen times rather than hundreds. The
  // ring holds a band more than the reach, never more than the picture's rows.
  const int64_t rowBytes1 = W1 * 3;
  const int64_t threads = std::max(1, KernelThreads());
  const int64_t band = std::clamp<int64_t>(
      threads == 1 ? 32 : std::max({threads * 32, maxOffset - minOffset + 1, (H + 7) / 8}), 1, H);
  // Band [Y0, Y0 + band) reads sheared rows Y0 - maxOffset - 1 .. Y0 + band - 1 - minOffset.
  const int64_t ringRows = std::min<int64_t>(h, band + maxOffset - minOffset + 1);
  const std::unique_ptr<uint8_t[]> ring = AllocatePixels(W1, ringRows);
  const TRows ringAt{ring.get(), rowBytes1};
  // Row i + 1 of this table is sheared row i while it is in the ring; the
  // background row stands before the first and after the last.
  std::vector<const uint8_t*> ext(size_t(h) + 2, bgRow.data());
  const bool report = static_cast<bool>(OnProgress);
  int64_t steps = 0;  // rows of pass 1, columns of pass 2 and rows of pass 3, as the passes would count them
  int64_t made = 0;   // rows of pass 1 in the ring so far

  TBitmap result;
  result.AllocateForOverwrite(int32_t(W), int32_t(H), pf24bit);  // pass 3 writes every pixel
  const TRows target{result.Bits(), result.RowBytes()};
  const int64_t last = Antialias ? h : h - 1;  // the extra mixed pixel sits at offset + h
  int64_t columnsDone = 0;
  for (int64_t Y0 = 0; Y0 < H; Y0 += band) {
    const int64_t Y1 = std::min(H, Y0 + band);
    // Pass 1 for the rows the band reads that are not made yet; their slots
    // belong to rows no later band reads.
    const int64_t first = made, need = std::min(h - 1, Y1 - 1 - minOffset);
    for (int64_t y = first; y <= need; ++y) {
      if (y >= ringRows) ext[size_t(y - ringRows) + 1] = bgRow.data();
      ext[size_t(y) + 1] = ringAt[y % ringRows];
    }
    if (need >= first) {
      ParallelRowsWithProgress(
          need - first + 1,
          [&](int64_t First, int64_t Last) {
            for (int64_t y = first + First; y < first + Last; ++y) {
              const double shift = double(r > 0 ? y : h - y) * T;
              const int64_t n = Round(shift);
              const int32_t G = Trunc32((shift - double(n)) * kOne);
              ShearRow(ringAt[y % ringRows], W1, static_cast<const uint8_t*>(work.ScanLine(int32_t(y))), w, n,
                       Antialias, G, G > 0, bgRow.data());
            }
          },
          report ? TRowDone([&](int64_t) { progress.Step(++steps); }) : TRowDone(), {}, W1 * 6);
      made = need + 1;
      if (made == h) turned.reset();  // the quarter-turned copy has given all its rows
    }

    // Passes 2 and 3 for each target row of the band.
    ParallelRowsWithProgress(
        Y1 - Y0,
        [&](int64_t First, int64_t Last) {
          std::vector<uint8_t> line2(size_t(W1) * 3);
          for (int64_t Y = Y0 + First; Y < Y0 + Last; ++Y) {
            uint8_t* d = line2.data();
            for (int64_t x = 0; x < W1; ++x, d += 3) {
              const int64_t i = Y - offset[size_t(x)];
              if (i < 0 || i > last) {
                d[0] = bgPixel[0], d[1] = bgPixel[1], d[2] = bgPixel[2];
                continue;
              }
              const uint8_t* c = ext[size_t(i) + 1] + x * 3;
              const int32_t G = weight[size_t(x)];
              if (!Antialias || G == 0) {
                d[0] = c[0], d[1] = c[1], d[2] = c[2];
                continue;
              }
              const uint8_t* p = ext[size_t(i)] + x * 3;
              const int32_t K = kOne - G;
              d[0] = Mix(p[0], c[0], G, K);
              d[1] = Mix(p[1], c[1], G, K);
              d[2] = Mix(p[2], c[2], G, K);
            }
            // Pass 3: horizontal shear of the row into the result.
            const double shift = double(r > 0 ? Y : H - Y) * T;
            const int64_t n = Round(shift);
            const int32_t G = int32_t(Round((shift - double(n)) * kOne));
            ShearRow(target[Y], W, line2.data(), W1, n - D3, Antialias, G, true, bgRow.data());
          }
        },
        // Pass 2 counts one step per column, as a walk by columns would
        // report them: as many as the rows done so far stand for.
        report ? TRowDone([&](int64_t Row) {
          const int64_t Y = Y0 + Row;
          for (const int64_t upTo = (Y + 1) * W1 / H; columnsDone < upTo; ++columnsDone) progress.Step(++steps);
          progress.Step(++steps);
        })
               : TRowDone(),
        {}, W1 * 12 + W * 6);
  }
  // Rows of pass 1 no target row reached still count.
  if (report)
    for (; made < h; ++made) progress.Step(++steps);
  turned.reset();
  // The picture keeps its own transparency settings, as when it was resized in place.
  result.SetTransparent(Bitmap.Transparent());
  if (Bitmap.TransparentMode() == tmFixed) result.SetTransparentColor(Bitmap.TransparentColor());
  Replace(Bitmap, result, Replaced);
}

void RotateBitmap1(TBitmap& Bitmap, double Angle, TColor Background, TObject* Sender,
                   const TIMProgressEvent& OnProgress, TBitmap* Replaced) {
  if (Bitmap.PixelFormat() != pf1bit || Bitmap.Empty()) return;
  const double a = -Angle * std::numbers::pi / 180;
  const double c = double(Trunc(std::cos(a) * 10000)) / 10000, s = double(Trunc(std::sin(a) * 10000)) / 10000;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  // Sine and cosine cut to four decimals can make the sizes fall just short
  // of a pixel for tiny angles; a picture never shrinks to nothing.
  const int32_t W = std::max(1, Trunc32(std::fabs(w * c) + std::fabs(h * s)));
  const int32_t H = std::max(1, Trunc32(std::fabs(w * s) + std::fabs(h * c)));
  TBitmap out;
  out.SetPixelFormat(pf1bit);
  out.SetPaletteEntries(0, Bitmap.PaletteCount(), Bitmap.Palette().data());
  out.SetSize(W, H);
  const bool bg = Background != 0;
  const double cx = w / 2.0 - 0.5, cy = h / 2.0 - 0.5, ox = W / 2.0 - 0.5, oy = H / 2.0 - 0.5;
  const uint8_t* const base = Bitmap.Bits();
  const int64_t stride = Bitmap.RowBytes();
  const TRows target{out.Bits(), out.RowBytes()};
  ParallelRowsWithProgress(
      H,
      [&](int64_t First, int64_t Last) {
        for (int32_t y = int32_t(First); y < Last; ++y) {
          uint8_t* d = target[y];
          std::memset(d, 0, size_t(target.Stride));
          const double v = y - oy;
          for (int32_t x = 0; x < W; ++x) {
            const double u = x - ox;
            const int64_t sx = Trunc(cx + c * u + s * v), sy = Trunc(cy - s * u + c * v);
            const bool bit = (sx >= 0 && sx < w && sy >= 0 && sy < h) ? GetBit(base + sy * stride, int32_t(sx)) : bg;
            if (bit) d[x >> 3] |= kBitMask[x & 7];
          }
        }
      },
      OnProgress ? TRowDone([&](int64_t y) { OnProgress(Sender, Trunc32(double(y) * 100 / H)); }) : TRowDone(), {},
      int64_t(W) * 16);
  Replace(Bitmap, out, Replaced);
}

void RotateBitmap(TBitmap& Bitmap, double Angle, bool Antialias, TColor Background, TObject* Sender,
                  const TIMProgressEvent& OnProgress, TBitmap* Replaced) {
  if (Angle == 0) return;
  if (Bitmap.PixelFormat() == pf24bit)
    RotateBitmap24(Bitmap, Angle, Antialias, Background, Sender, OnProgress, Replaced);
  else if (Bitmap.PixelFormat() == pf1bit) RotateBitmap1(Bitmap, Angle, Background, Sender, OnProgress, Replaced);
}

void FlipBitmap(TBitmap& Bitmap, int32_t Direction) {
  if (Bitmap.Empty() || (Direction != 0 && Direction != 1)) return;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height(), bits = PixelFormatBits(Bitmap.PixelFormat());
  const TRows rows{Bitmap.Bits(), Bitmap.RowBytes()};
  // Every row (or pair of rows, top and bottom) is turned on its own.
  if (Direction == 1) {
    ParallelRows(
        h / 2,
        [&](int64_t First, int64_t Last) {
          std::vector<uint8_t> tmp(size_t(Bitmap.RowBytes()));
          for (int64_t y = First; y < Last; ++y) {
            std::memcpy(tmp.data(), rows[y], tmp.size());
            std::memcpy(rows[y], rows[h - 1 - y], tmp.size());
            std::memcpy(rows[h - 1 - y], tmp.data(), tmp.size());
          }
        },
        int64_t(Bitmap.RowBytes()) * 6);
  } else if (bits == 1) {
    // Reversing the used bytes and their bits puts pixel x at bit
    // 8 * bytes - 1 - x; the copy back starts past the unused low bits so
    // that it lands at w - 1 - x.
    const int32_t nb = (w + 7) / 8, pad = nb * 8 - w;
    ParallelRows(
        h,
        [&](int64_t First, int64_t Last) {
          std::vector<uint8_t> tmp(static_cast<size_t>(nb));
          for (int64_t y = First; y < Last; ++y) {
            uint8_t* row = rows[y];
            for (int32_t i = 0; i < nb; ++i) {
              tmp[size_t(i)] = row[nb - 1 - i];
              ReverseByteBits(tmp[size_t(i)]);
            }
            CopyBits(row, tmp.data(), 0, w, pad);
          }
        },
        int64_t(nb) * 16);
  } else if (bits == 4) {
    ParallelRows(
        h,
        [&](int64_t First, int64_t Last) {
          for (int64_t y = First; y < Last; ++y) {
            uint8_t* row = rows[y];
            auto get = [row](int32_t x) { return uint8_t((row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F); };
            auto put = [row](int32_t x, uint8_t v) {
              uint8_t& b = row[x >> 1];
              b = (x & 1) ? uint8_t((b & 0xF0) | v) : uint8_t((b & 0x0F) | (v << 4));
            };
            for (int32_t x = 0; x < w / 2; ++x) {
              const uint8_t a = get(x), b = get(w - 1 - x);
              put(x, b);
              put(w - 1 - x, a);
            }
          }
        },
        int64_t(w) * 4);
  } else {
    const int32_t bpp = bits / 8;
    ParallelRows(
        h,
        [&](int64_t First, int64_t Last) {
          for (int64_t y = First; y < Last; ++y) {
            uint8_t* l = rows[y];
            uint8_t* r = rows[y] + int64_t(w - 1) * bpp;
            for (; l < r; l += bpp, r -= bpp) std::swap_ranges(l, l + bpp, r);
          }
        },
        int64_t(w) * bpp * 2);
  }
  Bitmap.NotifyChanged();
}

}  // namespace kv
