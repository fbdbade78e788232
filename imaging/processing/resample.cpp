#include "imaging/processing/resample.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "imaging/model/mask.h"
#include "imaging/model/parallel_rows.h"
#include "imaging/model/pixel.h"
#include "imaging/processing/resample_rows.h"
#include "imaging/model/work_bitmap.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

using resample_rows::TVertTaps;

// Rows of a source plane, top row first, read as C bytes a pixel or, for a
// 1-bit plane, as one byte 0 or 255 a pixel.
struct TSource {
  std::vector<const uint8_t*> Rows;
  int32_t Width = 0;
  int32_t Height = 0;
  bool OneBit = false;
};

// Rows of a destination plane, top row first. GrayTo24 writes the one
// computed channel to blue, green and red.
struct TTarget {
  std::vector<uint8_t*> Rows;
  int32_t Width = 0;
  int32_t Height = 0;
  bool GrayTo24 = false;
};

struct TProgress {
  TObject* Sender = nullptr;
  const TIMProgressEvent* Event = nullptr;
  bool Active() const { return Event != nullptr && static_cast<bool>(*Event); }
  void operator()(int64_t Percent) const { (*Event)(Sender, static_cast<int32_t>(Percent)); }
};

// Beyond this a reduced picture is a corrupt size, not something to show.
constexpr int64_t kMaxReducedBytes = int64_t(1) << 33;

bool TooSmall(int32_t Width, int32_t Height) { return Width <= 0 || Height <= 0 || (Width < 2 && Height < 2); }

TSource BitmapSource(const TBitmap& Bmp, bool OneBit) {
  TSource s;
  s.Width = Bmp.Width();
  s.Height = Bmp.Height();
  s.OneBit = OneBit;
  s.Rows.resize(size_t(s.Height));
  for (int32_t y = 0; y < s.Height; ++y) s.Rows[size_t(y)] = static_cast<const uint8_t*>(Bmp.ScanLine(y));
  return s;
}

TTarget BitmapTarget(TBitmap& Bmp, bool GrayTo24) {
  TTarget t;
  t.Width = Bmp.Width();
  t.Height = Bmp.Height();
  t.GrayTo24 = GrayTo24;
  t.Rows.resize(size_t(t.Height));
  for (int32_t y = 0; y < t.Height; ++y) t.Rows[size_t(y)] = static_cast<uint8_t*>(Bmp.ScanLine(y));
  return t;
}

void UnpackBits(const uint8_t* Row, int32_t Width, uint8_t* Out) {
  for (int32_t x = 0; x < Width; ++x) Out[x] = GetBit(Row, x) ? 255 : 0;
}

void GrayToBGR(const uint8_t* Gray, int32_t Width, uint8_t* Out) {
  for (int32_t x = 0; x < Width; ++x) Out[3 * x] = Out[3 * x + 1] = Out[3 * x + 2] = Gray[x];
}

// Source row y as C bytes a pixel: the row itself, or its bits unpacked into Buf.
template <int C>
const uint8_t* SourceLine(const TSource& S, int32_t Y, uint8_t* Buf) {
  if (!S.OneBit) return S.Rows[size_t(Y)];
  UnpackBits(S.Rows[size_t(Y)], S.Width, Buf);
  return Buf;
}

// Writes C-byte pixels Line[0..Count) to destination row Y from column X0.
template <int C>
void PutLine(const TTarget& T, int32_t Y, int32_t X0, const uint8_t* Line, int32_t Count) {
  if (T.GrayTo24) GrayToBGR(Line, Count, T.Rows[size_t(Y)] + size_t(X0) * 3);
  else std::memcpy(T.Rows[size_t(Y)] + size_t(X0) * C, Line, size_t(Count) * C);
}

// The filters' weights are 8-bit: reducing by more than this they lose their
// precision, and beyond about 512 every tap rounds to 0 (one source pixel
// would then stand for hundreds). Such reductions first average exact blocks
// of pixels down to about kPreReduceTo times the destination size.
constexpr int64_t kPreReduceAbove = 64;
constexpr int64_t kPreReduceTo = 8;

int32_t PreReduceFactor(int32_t Src, int32_t Dst) {
  if (int64_t(Src) <= int64_t(Dst) * kPreReduceAbove) return 1;
  return static_cast<int32_t>(Src / (int64_t(Dst) * kPreReduceTo));
}

// Block averages (rounded) of Fx x Fy pixels of S into Store, C bytes a pixel;
// the blocks at the right and bottom edges average what they hold.
template <int C>
TSource PreReduce(const TSource& S, int32_t Fx, int32_t Fy, std::vector<uint8_t>& Store) {
  TSource r;
  r.Width = static_cast<int32_t>((int64_t(S.Width) + Fx - 1) / Fx);
  r.Height = static_cast<int32_t>((int64_t(S.Height) + Fy - 1) / Fy);
  const size_t row = size_t(r.Width) * C;
  Store.assign(row * size_t(r.Height), 0);
  r.Rows.resize(size_t(r.Height));
  ParallelRows(
      r.Height,
      [&](int64_t First, int64_t Last) {
        std::vector<uint64_t> acc(row);
        std::vector<uint8_t> bits(S.OneBit ? size_t(S.Width) : 0);
        for (int32_t oy = int32_t(First); oy < Last; ++oy) {
          const int32_t y0 = static_cast<int32_t>(int64_t(oy) * Fy);
          const int32_t rows = static_cast<int32_t>(std::min<int64_t>(Fy, S.Height - y0));
          std::fill(acc.begin(), acc.end(), 0);
          for (int32_t y = y0; y < y0 + rows; ++y) {
            const uint8_t* src = SourceLine<C>(S, y, bits.data());
            uint64_t* a = acc.data();
            for (int32_t x = 0, k = 0; x < S.Width; ++x, src += C) {
              for (int c = 0; c < C; ++c) a[c] += src[c];
              if (++k == Fx) {
                k = 0;
                a += C;
              }
            }
          }
          uint8_t* out = Store.data() + size_t(oy) * row;
          for (int32_t ox = 0; ox < r.Width; ++ox) {
            const int64_t cols = std::min<int64_t>(Fx, S.Width - int64_t(ox) * Fx);
            const uint64_t n = uint64_t(cols) * uint64_t(rows);
            for (int c = 0; c < C; ++c) out[ox * C + c] = uint8_t((acc[size_t(ox) * C + c] + n / 2) / n);
          }
          r.Rows[size_t(oy)] = out;
        }
      },
      int64_t(Fy) * S.Width * C);
  return r;
}

// Intermediate rows a band of destination rows may hold at most, for each
// thread: the horizontal pass fills them just before the vertical pass reads
// them, so that no picture-sized intermediate image exists, and a band gives
// every thread rows of both passes to share.
constexpr size_t kBandBytesPerThread = size_t(1) << 20;

// Destination rows R0 .. R1 - 1 of the vertical pass and the intermediate
// rows Lo .. Hi they read.
struct TBand {
  int32_t R0 = 0, R1 = 0;
  int32_t Lo = 0, Hi = -1;
};

// Cuts the destination rows into bands whose intermediate rows fit
// BandBytes (a band has one row at least); Span becomes the most rows a
// band reads.
std::vector<TBand> VerticalBands(const TVertTaps& Taps, int32_t Rows, size_t RowBytes, size_t BandBytes,
                                 int32_t& Span) {
  std::vector<TBand> bands;
  Span = 1;
  TBand b;
  for (int32_t r = 0; r < Rows; ++r) {
    int32_t lo = INT32_MAX, hi = -1;
    for (int32_t k = 0; k < Taps.Count[size_t(r)]; ++k) {
      const int32_t row = Taps.Row[size_t(Taps.Offset[size_t(r)] + k)];
      lo = std::min(lo, row);
      hi = std::max(hi, row);
    }
    const int32_t nlo = b.Hi < 0 ? lo : hi < 0 ? b.Lo : std::min(b.Lo, lo);
    const int32_t nhi = std::max(b.Hi, hi);
    if (b.R1 > b.R0 && nhi >= 0 && size_t(nhi - nlo + 1) * RowBytes > BandBytes) {
      bands.push_back(b);
      b = TBand{r, r, lo, hi};
    } else if (nhi >= 0) {
      b.Lo = nlo;
      b.Hi = nhi;
    }
    b.R1 = r + 1;
  }
  if (b.R1 > b.R0) bands.push_back(b);
  for (const TBand& x : bands)
    if (x.Hi >= x.Lo) Span = std::max(Span, x.Hi - x.Lo + 1);
  return bands;
}

// Filters 1-8: a horizontal pass to destination width and source height,
// then a vertical pass into the destination. The passes go band by band: a
// ring of intermediate rows holds what the band's destination rows read.
// Within a band the threads share first the intermediate rows it newly
// needs, then its destination rows.
template <int C>
void TwoPass(const TSource& Src, const TTarget& T, TResampleFilter Filter, const TProgress& Progress) {
  std::vector<uint8_t> reduced;
  const int32_t fx = PreReduceFactor(Src.Width, T.Width), fy = PreReduceFactor(Src.Height, T.Height);
  const bool pre = fx > 1 || fy > 1;
  const TSource preSource = pre ? PreReduce<C>(Src, fx, fy, reduced) : TSource{};
  const TSource& S = pre ? preSource : Src;
  const int32_t sw = S.Width, sh = S.Height, dw = T.Width, dh = T.Height;
  const double denom = double(dw) + sh + 0.5;
  const bool report = Progress.Active();
  // Progress counts every intermediate row and every destination column
  // once: trunc(steps * 100 / (rows + columns + 0.5)).
  int64_t steps = 0;
  auto step = [&] {
    ++steps;
    if (report) Progress(Trunc(steps * 100 / denom));
  };

  // Each source row is copied into a line padded with its mirror image, so
  // the contribution runs need no edge tests.
  const TContributions X = BuildContributions(sw, dw, Filter);
  const resample_rows::THorzTaps htaps(X);
  const int64_t padL = std::max<int64_t>(0, -X.MinTap);
  const int64_t padR = std::max<int64_t>(0, X.MaxTap - (sw - 1));
  const size_t interRow = size_t(dw) * C;

  const TContributions Yc = BuildContributions(sh, dh, Filter);
  const TVertTaps vtaps(Yc);
  int32_t span = 1;
  const size_t bandBytes = kBandBytesPerThread * size_t(std::max(1, KernelThreads()));
  const std::vector<TBand> bands = VerticalBands(vtaps, dh, interRow, bandBytes, span);
  // The vertical loop reads whole 16-byte blocks, past the end of the last row.
  std::vector<uint8_t> ring(interRow * size_t(span) + resample_rows::kLineSlack);
  std::vector<int32_t> slotRow(size_t(span), -1);
  std::vector<bool> made(size_t(sh), false);
  std::vector<const uint8_t*> interRows(static_cast<size_t>(sh), nullptr);
  // A band's rows Lo .. Hi lie in distinct slots; those not in the ring yet
  // are made, the first time of each counting a step.
  std::vector<int32_t> todo;
  std::vector<bool> first;
  const int64_t horzCost = (int64_t(X.Weights.size()) + sw) * C;

  // Within a band the vertical pass goes over strips of columns so that the
  // rows of a strip stay in cache while every destination row of it is made;
  // blocks of a strip's rows are what the threads share out.
  constexpr int32_t kStrip = 2048 / C;
  constexpr int32_t kBlockRows = 64;
  const int64_t strips = (int64_t(dw) + kStrip - 1) / kStrip;
  const int64_t blockCost = int64_t(kBlockRows) * kStrip * C * (1 + int64_t(Yc.Weights.size()) / dh);
  int64_t columnsDone = 0;
  for (const TBand& b : bands) {
    todo.clear();
    first.clear();
    for (int32_t y = b.Lo; y <= b.Hi; ++y) {
      const size_t slot = size_t(y) % size_t(span);
      interRows[size_t(y)] = ring.data() + slot * interRow;
      if (slotRow[slot] == y) continue;
      slotRow[slot] = y;
      todo.push_back(y);
      first.push_back(!made[size_t(y)]);
      made[size_t(y)] = true;
    }
    ParallelRowsWithProgress(
        int64_t(todo.size()),
        [&](int64_t First, int64_t Last) {
          std::vector<uint8_t> line(size_t(padL + sw + padR) * C + resample_rows::kLineSlack);
          uint8_t* tap0 = line.data() + padL * C;
          std::vector<uint8_t> bits(S.OneBit ? size_t(sw) : 0);
          for (int64_t i = First; i < Last; ++i) {
            const int32_t y = todo[size_t(i)];
            std::memcpy(tap0, SourceLine<C>(S, y, bits.data()), size_t(sw) * C);
            for (int64_t k = -padL; k < 0; ++k) std::memcpy(tap0 + k * C, tap0 + int64_t(MirrorIndex(k, sw)) * C, C);
            for (int64_t k = sw; k < sw + padR; ++k)
              std::memcpy(tap0 + k * C, tap0 + int64_t(MirrorIndex(k, sw)) * C, C);
            resample_rows::HorzLine<C>(tap0, ring.data() + size_t(y) % size_t(span) * interRow, htaps);
          }
        },
        report ? TRowDone([&](int64_t i) {
          if (first[size_t(i)]) step();
        })
               : TRowDone(),
        {}, horzCost);

    const int32_t rows = b.R1 - b.R0;
    const int64_t blocks = (int64_t(rows) + kBlockRows - 1) / kBlockRows;
    ParallelRows(
        strips * blocks,
        [&](int64_t First, int64_t Last) {
          std::vector<int32_t> acc(size_t(kStrip) * C);
          std::vector<uint8_t> out(size_t(kStrip) * C + 16);
          for (int64_t u = First; u < Last; ++u) {
            const int32_t x0 = int32_t(u / blocks) * kStrip, n = std::min(kStrip, dw - x0);
            const int32_t r0 = b.R0 + int32_t(u % blocks) * kBlockRows, r1 = std::min(r0 + kBlockRows, b.R1);
            for (int32_t r = r0; r < r1; ++r) {
              resample_rows::VertLine(interRows.data(), size_t(x0) * C, n * C, vtaps, r, acc.data(), out.data());
              PutLine<C>(T, r, x0, out.data(), n);
            }
          }
        },
        blockCost);
    for (const int64_t upTo = int64_t(b.R1) * dw / dh; columnsDone < upTo; ++columnsDone) step();
  }
  // Rows no destination row reads still count, as a full pass would make them.
  for (int32_t y = 0; y < sh; ++y)
    if (!made[size_t(y)]) step();
}

// rfFastLinear: 17-bit fixed-point interpolation when enlarging, box
// averages when reducing (AlwaysInterpolate: interpolation both ways).
template <int C>
void FastLinear(const TSource& S, const TTarget& T, bool AlwaysInterpolate, const TProgress& Progress) {
  const int32_t sw = S.Width, sh = S.Height, dw = T.Width, dh = T.Height;
  const double a = double(dw) / sw;
  const double b = double(dh) / sh;
  if (a == 1.0 && b == 1.0) {
    if (!S.OneBit && !T.GrayTo24 && S.Rows[0] == T.Rows[0]) return;  // resampled onto itself
    ParallelRows(
        sh,
        [&](int64_t First, int64_t Last) {
          std::vector<uint8_t> bits(S.OneBit ? size_t(sw) : 0);
          for (int32_t y = int32_t(First); y < Last; ++y) PutLine<C>(T, y, 0, SourceLine<C>(S, y, bits.data()), sw);
        },
        int64_t(sw) * C * 2);
    return;
  }
  const bool report = Progress.Active();
  const double denom = double(sh) + dh + 0.5;

  // Column tables.
  std::vector<int32_t> start(static_cast<size_t>(dw)), next(static_cast<size_t>(dw)), frac(static_cast<size_t>(dw)), stop(static_cast<size_t>(dw));
  for (int32_t i = 0; i < dw; ++i) {
    const double c = i / a;
    const int32_t st = static_cast<int32_t>(std::clamp<int64_t>(Trunc(c), 0, sw - 1));
    start[size_t(i)] = st;
    next[size_t(i)] = std::min(st + 1, sw - 1);
    frac[size_t(i)] = static_cast<int32_t>(Trunc((c - st) * 131072));
    stop[size_t(i)] =
        static_cast<int32_t>(std::clamp<int64_t>(Trunc(std::min(i + 1, dw - 1) / a + 1e-10), st, sw - 1));
  }

  const size_t interRow = size_t(dw) * C;
  const TIMWorkBitmap inter(dw, sh, 8 * C);
  const bool interpH = AlwaysInterpolate || a > 1;
  ParallelRowsWithProgress(
      sh,
      [&](int64_t First, int64_t Last) {
        std::vector<uint8_t> bits(S.OneBit ? size_t(sw) : 0);
        for (int32_t y = int32_t(First); y < Last; ++y) {
          const uint8_t* src = SourceLine<C>(S, y, bits.data());
          uint8_t* out = inter.ScanLine(y);
          if (interpH) {
            for (int32_t i = 0; i < dw; ++i) {
              const uint8_t* p0 = src + size_t(start[size_t(i)]) * C;
              const uint8_t* p1 = src + size_t(next[size_t(i)]) * C;
              const int32_t f = frac[size_t(i)];
              for (int c = 0; c < C; ++c)
                out[i * C + c] = static_cast<uint8_t>(p0[c] + Sar32((p1[c] - p0[c]) * f, 17));
            }
          } else {
            for (int32_t i = 0; i < dw; ++i) {
              const int32_t st = start[size_t(i)], en = stop[size_t(i)];
              int64_t sum[C] = {};  // a run may be millions of pixels long
              for (const uint8_t* p = src + size_t(st) * C; p <= src + size_t(en) * C; p += C)
                for (int c = 0; c < C; ++c) sum[c] += p[c];
              for (int c = 0; c < C; ++c) out[i * C + c] = static_cast<uint8_t>(sum[c] / (en - st + 1));
            }
          }
        }
      },
      report ? TRowDone([&](int64_t y) { Progress(Trunc(y * 100 / denom)); }) : TRowDone(), {},
      (int64_t(std::max(sw, dw)) + dw) * C);

  const bool interpV = AlwaysInterpolate || b > 1;
  const int64_t rowsPerLine = interpV ? 2 : 1 + sh / dh;
  ParallelRowsWithProgress(
      dh,
      [&](int64_t First, int64_t Last) {
        std::vector<uint8_t> line(interRow);
        std::vector<int64_t> acc(interpV ? 0 : interRow);
        for (int32_t j = int32_t(First); j < Last; ++j) {
          if (interpV) {
            const double r = j / b;
            const int32_t r0 = static_cast<int32_t>(std::clamp<int64_t>(Trunc(r), 0, sh - 1));
            const int32_t f = static_cast<int32_t>(Trunc((r - r0) * 131072));
            const uint8_t* q0 = inter.ScanLine(r0);
            const uint8_t* q1 = inter.ScanLine(r0 + 1 < sh ? r0 + 1 : r0);
            for (size_t k = 0; k < interRow; ++k)
              line[k] = static_cast<uint8_t>(q0[k] + Sar32((q1[k] - q0[k]) * f, 17));
          } else {
            const int32_t ra = static_cast<int32_t>(std::clamp<int64_t>(Trunc(j / b), 0, sh - 1));
            const int32_t rb =
                static_cast<int32_t>(std::clamp<int64_t>(Trunc(std::min(j + 1, dh - 1) / b), ra, sh - 1));
            std::fill(acc.begin(), acc.end(), 0);
            for (int32_t y = ra; y <= rb; ++y) {
              const uint8_t* q = inter.ScanLine(y);
              for (size_t k = 0; k < interRow; ++k) acc[k] += q[k];
            }
            const int64_t count = rb - ra + 1;
            for (size_t k = 0; k < interRow; ++k) line[k] = static_cast<uint8_t>(acc[k] / count);
          }
          PutLine<C>(T, j, 0, line.data(), dw);
        }
      },
      report ? TRowDone([&](int64_t j) { Progress(Trunc((sh + j) * 100 / denom)); }) : TRowDone(), {},
      int64_t(interRow) * (rowsPerLine + 1));
}

// Area averages of a 1-bit rectangle (already clipped to the source) into
// gray 24-bit rows.
void ReduceRows(const std::vector<const uint8_t*>& SrcRows, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                const std::vector<uint8_t*>& DstRows, int32_t DstWidth, int32_t DstHeight) {
  const int32_t w = X2 - X1 + 1, h = Y2 - Y1 + 1;
  const double fx = double(w) / DstWidth, fy = double(h) / DstHeight;
  const int64_t kx = Trunc(fx), ky = Trunc(fy);
  auto span = [](double f, int64_t k, int64_t i, int32_t lo, int32_t hi, int32_t& a, int32_t& b) {
    const int64_t first = Trunc(f * i);
    const int64_t last = std::max(Trunc(f * i + k - 1), first);
    a = static_cast<int32_t>(std::clamp<int64_t>(lo + first, lo, hi));
    b = static_cast<int32_t>(std::clamp<int64_t>(lo + last, a, hi));
  };
  std::vector<int32_t> xa(static_cast<size_t>(DstWidth)), xb(static_cast<size_t>(DstWidth));
  for (int32_t k = 0; k < DstWidth; ++k) span(fx, kx, k, X1, X2, xa[size_t(k)], xb[size_t(k)]);
  // A block may hold billions of pixels: counts and products in 64 bits.
  ParallelRows(
      DstHeight,
      [&](int64_t First, int64_t Last) {
        std::vector<int64_t> set(static_cast<size_t>(DstWidth));
        for (int32_t l = int32_t(First); l < Last; ++l) {
          int32_t ya, yb;
          span(fy, ky, l, Y1, Y2, ya, yb);
          std::fill(set.begin(), set.end(), 0);
          for (int32_t y = ya; y <= yb; ++y) {
            const uint8_t* row = SrcRows[size_t(y)];
            for (int32_t k = 0; k < DstWidth; ++k) {
              int64_t n = 0;
              for (int32_t x = xa[size_t(k)]; x <= xb[size_t(k)]; ++x) n += GetBit(row, x);
              set[size_t(k)] += n;
            }
          }
          uint8_t* out = DstRows[size_t(l)];
          const int64_t rows = yb - ya + 1;
          for (int32_t k = 0; k < DstWidth; ++k) {
            const int64_t pixels = rows * (xb[size_t(k)] - xa[size_t(k)] + 1);
            out[3 * k] = out[3 * k + 1] = out[3 * k + 2] = static_cast<uint8_t>(255 * set[size_t(k)] / pixels);
          }
        }
      },
      (1 + int64_t(ky)) * (int64_t(X2) - X1 + 1 + 3 * int64_t(DstWidth)));
}

// Clips the inclusive rectangle to a Width x Height plane; false when nothing is left.
bool ClipRect(int32_t Width, int32_t Height, int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2) {
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Width - 1);
  Y2 = std::min(Y2, Height - 1);
  return X1 <= X2 && Y1 <= Y2;
}

}  // namespace

void ResampleBitmapProgress(const TBitmap& Src, TBitmap& Dst, TResampleFilter Filter, TObject* Sender,
                            const TIMProgressEvent& OnProgress) {
  if (Src.PixelFormat() != pf24bit || TooSmall(Src.Width(), Src.Height())) return;
  if (Dst.Width() <= 0 || Dst.Height() <= 0) return;
  if (Dst.PixelFormat() != pf24bit) Dst.SetPixelFormat(pf24bit);
  const TSource s = BitmapSource(Src, false);
  const TTarget t = BitmapTarget(Dst, false);
  const TProgress progress{Sender, &OnProgress};
  if (Filter == rfFastLinear) FastLinear<3>(s, t, false, progress);
  else TwoPass<3>(s, t, Filter, progress);
}

void ResampleBitmap(const TBitmap& Src, TBitmap& Dst, TResampleFilter Filter) {
  if (Src.PixelFormat() != pf1bit || TooSmall(Src.Width(), Src.Height())) return;
  if (Dst.Width() <= 0 || Dst.Height() <= 0) return;
  if (Dst.PixelFormat() != pf24bit) Dst.SetPixelFormat(pf24bit);
  if (Filter == rfFastLinear && Dst.Width() < Src.Width() && Dst.Height() < Src.Height()) {
    ReduceRect24(Src, 0, 0, Src.Width() - 1, Src.Height() - 1, Dst);
    return;
  }
  const TSource s = BitmapSource(Src, true);
  const TTarget t = BitmapTarget(Dst, true);
  if (Filter == rfFastLinear) FastLinear<1>(s, t, true, TProgress{});
  else TwoPass<1>(s, t, Filter, TProgress{});
}

void ResampleMask(const TIMMask& Src, TIMMask& Dst, TResampleFilter Filter) {
  if (Src.BitsPerPixel != 8 || !Src.Bits || TooSmall(Src.Width, Src.Height)) return;
  if (Dst.BitsPerPixel != 8 || !Dst.Bits || Dst.Width <= 0 || Dst.Height <= 0) return;
  TSource s;
  s.Width = Src.Width;
  s.Height = Src.Height;
  s.Rows.resize(size_t(s.Height));
  for (int32_t y = 0; y < s.Height; ++y) s.Rows[size_t(y)] = Src.ScanLine(y);
  TTarget t;
  t.Width = Dst.Width;
  t.Height = Dst.Height;
  t.Rows.resize(size_t(t.Height));
  for (int32_t y = 0; y < t.Height; ++y) t.Rows[size_t(y)] = Dst.ScanLine(y);
  if (Filter == rfFastLinear) FastLinear<1>(s, t, false, TProgress{});
  else TwoPass<1>(s, t, Filter, TProgress{});
}

void ReduceRect24(const TBitmap& Src, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TBitmap& Dst) {
  if (Src.PixelFormat() != pf1bit || TooSmall(Src.Width(), Src.Height())) return;
  if (Dst.Width() <= 0 || Dst.Height() <= 0) return;
  if (!ClipRect(Src.Width(), Src.Height(), X1, Y1, X2, Y2)) return;
  if (Dst.PixelFormat() != pf24bit) Dst.SetPixelFormat(pf24bit);
  const TSource s = BitmapSource(Src, true);
  const TTarget t = BitmapTarget(Dst, true);
  ReduceRows(s.Rows, X1, Y1, X2, Y2, t.Rows, t.Width, t.Height);
}

std::unique_ptr<uint8_t[]> Reduce1BitRectTo24(const uint8_t* Bits, int32_t Width, int32_t Height,
                                              int32_t DstWidth, int32_t DstHeight, int32_t X1, int32_t Y1,
                                              int32_t X2, int32_t Y2) {
  if (!Bits || TooSmall(Width, Height) || DstWidth <= 0 || DstHeight <= 0) return nullptr;
  if (!ClipRect(Width, Height, X1, Y1, X2, Y2)) return nullptr;
  const size_t srcRow = size_t(RowBytesForBits(Width, 1));
  // Sized in 64 bits: a wide destination's row length does not fit 32 bits.
  const int64_t dstRowBytes = (int64_t(DstWidth) * 24 + 31) / 32 * 4;
  if (dstRowBytes > INT32_MAX || dstRowBytes > kMaxReducedBytes / DstHeight) throw EOutOfMemory();
  const size_t dstRow = size_t(dstRowBytes);
  std::unique_ptr<uint8_t[]> out(new (std::nothrow) uint8_t[dstRow * size_t(DstHeight)]);
  if (!out) throw EOutOfMemory();
  std::memset(out.get(), 0, dstRow * size_t(DstHeight));  // row padding included
  std::vector<const uint8_t*> srcRows(static_cast<size_t>(Height));
  for (int32_t y = 0; y < Height; ++y) srcRows[size_t(y)] = Bits + size_t(Height - 1 - y) * srcRow;
  std::vector<uint8_t*> dstRows(static_cast<size_t>(DstHeight));
  for (int32_t y = 0; y < DstHeight; ++y) dstRows[size_t(y)] = out.get() + size_t(DstHeight - 1 - y) * dstRow;
  ReduceRows(srcRows, X1, Y1, X2, Y2, dstRows, DstWidth, DstHeight);
  return out;
}

}  // namespace kv
