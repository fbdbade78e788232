#include "imaging/processing/edge_detect.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/model/pixel.h"
#include "imaging/processing/row_strips.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

// Windows up to this half size fit in the embedding border and are summed
// pixel by pixel; larger ones are clipped to the raster and summed from
// running column sums, so that a huge window neither leaves the raster nor
// costs its whole area at every pixel.
constexpr int32_t kDirectWindowHalf = kShenCastanOutline;

float* FloatRow(const TIMWorkBitmap& B, int32_t Row) { return reinterpret_cast<float*>(B.ScanLine(Row)); }

bool Interior(int32_t i, int32_t Size) { return i >= kShenCastanOutline && i < Size - kShenCastanOutline; }

void Progress(const TShenCastanParams& P, int32_t Step) {
  if (P.OnProgress) P.OnProgress(P.Sender, Trunc32(P.ProgressStep * Step));
}

// Body(From, To) over strips of First..Last-1 (rows, or columns), each of about
// Cost byte operations; the steps report no progress of their own.
template <typename TBody>
void Strips(int32_t First, int32_t Last, int64_t Cost, TBody&& Body) {
  RunRowStrips(First, Last, Cost, Body);
}

// Gray levels of the source, embedded with wrap-around into the float raster G.
void EmbedGray(const TBitmap& Source, const TShenCastanParams& P, const TIMWorkBitmap& G) {
  const int32_t W = P.Width, H = P.Height;
  TIMWorkBitmap gray(W, H, 8);
  Strips(0, H, int64_t(W) * 4, [&](int32_t From, int32_t To) {
    for (int32_t y = From; y < To; ++y) {
      const TBGRPixel* s = static_cast<const TBGRPixel*>(Source.ScanLine(y));
      uint8_t* d = gray.ScanLine(y);
      for (int32_t x = 0; x < W; ++x) d[x] = GrayLevel(s[x]);
    }
  });
  std::vector<int32_t> srcColumn(static_cast<size_t>(P.Columns));
  for (int32_t j = 0; j < P.Columns; ++j)
    srcColumn[j] = static_cast<int32_t>(((static_cast<int64_t>(j) - kShenCastanEmbed) % W + W) % W);
  Strips(0, P.Rows, int64_t(P.Columns) * 5, [&](int32_t From, int32_t To) {
    for (int32_t i = From; i < To; ++i) {
      const int32_t si = static_cast<int32_t>(((static_cast<int64_t>(i) - kShenCastanEmbed) % H + H) % H);
      const uint8_t* s = gray.ScanLine(si);
      float* d = FloatRow(G, i);
      for (int32_t j = 0; j < P.Columns; ++j) d[j] = s[srcColumn[j]];
    }
  });
}

// Infinite symmetric exponential filter: down the columns of X into S, then
// along the rows of S in place. Causal r and anticausal a are kept as floats
// like the rasters; y[k] = r[k] + a[k+1], y[n-1] = r[n-1].
void Isef(const TIMWorkBitmap& X, const TIMWorkBitmap& S, const TShenCastanParams& P) {
  const double b = P.Smoothing;
  const double b1 = (1 - b) / (1 + b);
  const double b2 = b * b1;
  const int32_t rows = P.Rows, cols = P.Columns;

  // Columns: the anticausal part goes into S bottom-up; the causal part then
  // runs top-down, and row k of S still holds a[k] when y[k-1] needs it. The
  // recursions run down the columns, so the strips here are bands of columns.
  Strips(0, cols, int64_t(rows) * 24, [&](int32_t J1, int32_t J2) {
    const float* x = FloatRow(X, rows - 1);
    float* a = FloatRow(S, rows - 1);
    for (int32_t j = J1; j < J2; ++j) a[j] = static_cast<float>(b2 * x[j]);
    for (int32_t k = rows - 2; k >= 0; --k) {
      const float* xk = FloatRow(X, k);
      const float* below = FloatRow(S, k + 1);
      float* ak = FloatRow(S, k);
      for (int32_t j = J1; j < J2; ++j) ak[j] = static_cast<float>(b2 * xk[j] + b * below[j]);
    }
    std::vector<float> r(static_cast<size_t>(cols));
    for (int32_t k = 0; k < rows; ++k) {
      const float* xk = FloatRow(X, k);
      float* yk = FloatRow(S, k);
      const float* below = k + 1 < rows ? FloatRow(S, k + 1) : nullptr;
      for (int32_t j = J1; j < J2; ++j) {
        r[j] = static_cast<float>(k == 0 ? b1 * xk[j] : b1 * xk[j] + b * r[j]);
        yk[j] = below ? r[j] + below[j] : r[j];
      }
    }
  });
  // Rows, in place.
  Strips(0, rows, int64_t(cols) * 24, [&](int32_t From, int32_t To) {
    std::vector<float> a(static_cast<size_t>(cols));
    for (int32_t i = From; i < To; ++i) {
      float* line = FloatRow(S, i);
      a[cols - 1] = static_cast<float>(b2 * line[cols - 1]);
      for (int32_t k = cols - 2; k >= 0; --k) a[k] = static_cast<float>(b2 * line[k] + b * a[k + 1]);
      float r = 0;
      for (int32_t k = 0; k < cols; ++k) {
        r = static_cast<float>(k == 0 ? b1 * line[k] : b1 * line[k] + b * r);
        line[k] = k + 1 < cols ? r + a[k + 1] : r;
      }
    }
  });
}

// 1 where the smoothed picture lies above the gray one, 0 elsewhere and in the border.
void LaplacianSign(const TIMWorkBitmap& G, const TIMWorkBitmap& S, const TIMWorkBitmap& L,
                   const TShenCastanParams& P) {
  Strips(0, P.Rows, int64_t(P.Columns) * 9, [&](int32_t From, int32_t To) {
    for (int32_t i = From; i < To; ++i) {
      const float* g = FloatRow(G, i);
      const float* s = FloatRow(S, i);
      uint8_t* l = L.ScanLine(i);
      std::memset(l, 0, static_cast<size_t>(P.Columns));
      if (!Interior(i, P.Rows)) continue;
      for (int32_t j = kShenCastanOutline; j < P.Columns - kShenCastanOutline; ++j) l[j] = s[j] - g[j] > 0 ? 1 : 0;
    }
  });
}

// Sums of S over a window, split by the Laplacian sign.
struct TWindowSums {
  double On = 0;   // where L is 1
  double Off = 0;  // where L is 0
  int64_t NumOn = 0;
  int64_t NumOff = 0;

  float Gradient() const {
    const double avgOff = Off != 0 ? Off / static_cast<double>(NumOff) : 0;
    const double avgOn = On != 0 ? On / static_cast<double>(NumOn) : 0;
    return static_cast<float>(avgOff - avgOn);
  }
};

// Running sums over the rows of a tall window, per column, with prefix sums
// along the current row: the sums of any window in O(1).
class TColumnSums {
 public:
  TColumnSums(const TIMWorkBitmap& S, const TIMWorkBitmap& L, int32_t Rows, int32_t Columns, int32_t Half)
      : FS(S), FL(L), FRows(Rows), FColumns(Columns), FHalf(Half), FOn(Columns), FOff(Columns), FNumOn(Columns),
        FPreOn(Columns + 1), FPreOff(Columns + 1), FPreNumOn(Columns + 1) {}

  // Moves the window to be centred on row I (rows must come in increasing order).
  void CentreOn(int32_t I) {
    const int32_t top = std::max(0, I - FHalf), bottom = std::min(FRows - 1, I + FHalf);
    if (FTop < 0) {
      for (int32_t r = top; r <= bottom; ++r) AddRow(r, 1);
    } else {
      for (int32_t r = FTop; r < top; ++r) AddRow(r, -1);
      for (int32_t r = FBottom + 1; r <= bottom; ++r) AddRow(r, 1);
    }
    FTop = top;
    FBottom = bottom;
    for (int32_t j = 0; j < FColumns; ++j) {
      FPreOn[j + 1] = FPreOn[j] + FOn[j];
      FPreOff[j + 1] = FPreOff[j] + FOff[j];
      FPreNumOn[j + 1] = FPreNumOn[j] + FNumOn[j];
    }
  }
  TWindowSums At(int32_t J) const {
    const int32_t left = std::max(0, J - FHalf), right = std::min(FColumns - 1, J + FHalf);
    TWindowSums w;
    w.On = FPreOn[right + 1] - FPreOn[left];
    w.Off = FPreOff[right + 1] - FPreOff[left];
    w.NumOn = FPreNumOn[right + 1] - FPreNumOn[left];
    w.NumOff = static_cast<int64_t>(FBottom - FTop + 1) * (right - left + 1) - w.NumOn;
    return w;
  }

 private:
  void AddRow(int32_t R, int Sign) {
    const float* s = FloatRow(FS, R);
    const uint8_t* l = FL.ScanLine(R);
    for (int32_t j = 0; j < FColumns; ++j) {
      if (l[j]) {
        FOn[j] += Sign * static_cast<double>(s[j]);
        FNumOn[j] += Sign;
      } else {
        FOff[j] += Sign * static_cast<double>(s[j]);
      }
    }
  }

  const TIMWorkBitmap& FS;
  const TIMWorkBitmap& FL;
  int32_t FRows, FColumns, FHalf;
  int32_t FTop = -1, FBottom = -1;
  std::vector<double> FOn, FOff;
  std::vector<int64_t> FNumOn;
  std::vector<double> FPreOn, FPreOff;
  std::vector<int64_t> FPreNumOn;
};

// Zero crossings of the Laplacian sign image get the adaptive gradient, every
// other pixel 0; the result overwrites G.
void ZeroCrossings(const TIMWorkBitmap& G, const TIMWorkBitmap& S, const TIMWorkBitmap& L,
                   const TShenCastanParams& P) {
  const int32_t rows = P.Rows, cols = P.Columns;
  const int32_t half = P.WindowSize / 2;
  const bool direct = half <= kDirectWindowHalf;
  std::unique_ptr<TColumnSums> wide;
  if (!direct) wide = std::make_unique<TColumnSums>(S, L, rows, cols, half);

  // Rows of the direct sums stand alone. The running sums of a wide window
  // are rounded as they go, so they are only the same when every row of the
  // picture passes through them in order: those run on this thread.
  const auto strip = [&](int32_t From, int32_t To) {
    for (int32_t i = From; i < To; ++i) {
      float* g = FloatRow(G, i);
      if (!Interior(i, rows)) {
        std::memset(g, 0, sizeof(float) * static_cast<size_t>(cols));
        continue;
      }
      if (wide) wide->CentreOn(i);
      const float* sUp = FloatRow(S, i - 1);
      const float* s = FloatRow(S, i);
      const float* sDown = FloatRow(S, i + 1);
      const uint8_t* lUp = L.ScanLine(i - 1);
      const uint8_t* l = L.ScanLine(i);
      const uint8_t* lDown = L.ScanLine(i + 1);
      for (int32_t j = 0; j < cols; ++j) {
        bool candidate = false;
        if (Interior(j, cols) && l[j] == 1) {
          if (lDown[j] == 0)
            candidate = sDown[j] - sUp[j] > 0;
          else if (l[j + 1] == 0)
            candidate = s[j + 1] - s[j - 1] > 0;
          else if (lUp[j] == 0)
            candidate = sDown[j] - sUp[j] < 0;
          else if (l[j - 1] == 0)
            candidate = s[j + 1] - s[j - 1] < 0;
        }
        if (!candidate) {
          g[j] = 0;
          continue;
        }
        if (wide) {
          g[j] = wide->At(j).Gradient();
          continue;
        }
        // A negative half leaves the window empty and the gradient 0.
        TWindowSums w;
        for (int32_t di = -half; di <= half; ++di) {
          const float* sr = FloatRow(S, i + di);
          const uint8_t* lr = L.ScanLine(i + di);
          for (int32_t dj = -half; dj <= half; ++dj) {
            if (lr[j + dj]) {
              w.On += sr[j + dj];
              ++w.NumOn;
            } else {
              w.Off += sr[j + dj];
              ++w.NumOff;
            }
          }
        }
        g[j] = w.Gradient();
      }
    }
  };
  if (wide)
    strip(0, rows);
  else
    Strips(0, rows, int64_t(cols) * 16 * (half + 1), strip);
}

// High threshold from the gradient histogram of the inner pixels; low is half of it.
void EstimateThresholds(TShenCastanParams& P) {
  const TIMWorkBitmap& G = *P.Gradient;
  const int32_t rows = P.Rows, cols = P.Columns;
  // Minimum, maximum and counts come out the same whatever order the strips merge in.
  std::mutex merge;
  const float start = std::abs(G.FloatAt(20, 20));
  float vmin = start;
  float vmax = start;
  Strips(kShenCastanOutline, rows - kShenCastanOutline, int64_t(cols) * 4, [&](int32_t From, int32_t To) {
    float lo = start, hi = start;
    for (int32_t i = From; i < To; ++i) {
      const float* g = FloatRow(G, i);
      for (int32_t j = kShenCastanOutline; j < cols - kShenCastanOutline; ++j) {
        lo = std::min(lo, g[j]);
        hi = std::max(hi, g[j]);
      }
    }
    const std::lock_guard lock(merge);
    vmin = std::min(vmin, lo);
    vmax = std::max(vmax, hi);
  });
  const double range = static_cast<double>(vmax) - vmin + 1;
  int64_t hist[256] = {};
  Strips(kShenCastanOutline, rows - kShenCastanOutline, int64_t(cols) * 4, [&](int32_t From, int32_t To) {
    int64_t own[256] = {};
    for (int32_t i = From; i < To; ++i) {
      const float* g = FloatRow(G, i);
      for (int32_t j = kShenCastanOutline; j < cols - kShenCastanOutline; ++j) {
        const int64_t bin = Trunc((static_cast<double>(g[j]) - vmin) * 256 / range);
        ++own[std::clamp<int64_t>(bin, 0, 255)];
      }
    }
    const std::lock_guard lock(merge);
    for (int k = 0; k < 256; ++k) hist[k] += own[k];
  });
  const int64_t target = Trunc(static_cast<double>(rows) * P.Ratio * cols);
  int32_t k = 255;
  int64_t count = hist[255];
  while (count < target) {
    --k;
    if (k < 0) break;
    count += hist[k];
  }
  P.HighThreshold = k * range / 256 + vmin;
  P.LowThreshold = P.Hysteresis ? P.HighThreshold / 2 : P.HighThreshold;
}

// Marks Edges with 0 -> 255 (background) and anything else -> 0 (edge).
void InvertEdges(const TShenCastanParams& P) {
  Strips(0, P.Rows, int64_t(P.Columns) * 2, [&](int32_t From, int32_t To) {
    for (int32_t i = From; i < To; ++i) {
      uint8_t* e = P.Edges->ScanLine(i);
      for (int32_t j = 0; j < P.Columns; ++j) e[j] = e[j] == 0 ? 255 : 0;
    }
  });
}

void WriteEdgeMap(const TShenCastanParams& P, TBitmap& Dest) {
  const int32_t W = P.Width, H = P.Height;
  Dest.SetSize(1, 1);
  Dest.SetPixelFormat(pf1bit);
  Dest.SetMonochrome(true);
  Dest.SetSize(W, H);
  for (int32_t y = 0; y + 1 < H; ++y) {
    const uint8_t* e = P.Edges->ScanLine(kShenCastanEmbed + y) + kShenCastanEmbed;
    uint8_t* d = static_cast<uint8_t*>(Dest.ScanLine(y));
    SetBit(d, 0, true);
    for (int32_t x = 1; x < W; ++x) SetBit(d, x, e[x] != 0);
  }
  FillBitRun(static_cast<uint8_t*>(Dest.ScanLine(H - 1)), 0, W - 1, true);
}

}  // namespace

// The chain step as a recursion (label, try the 8 neighbours, stop at the
// first that succeeds) never branches: a neighbour succeeds as soon as it
// passes the checks, so each step has at most one child and the recursion is
// a walk. The walk below labels the same pixels in the same order and thins
// a pixel as soon as it is known to have a child, with the depth it would have
// had, so a chain as long as the picture needs no stack.
void ShenCastanHysteresis(const TShenCastanParams& P) {
  const TIMWorkBitmap& G = *P.Gradient;
  const TIMWorkBitmap& E = *P.Edges;
  const int32_t rows = P.Rows, cols = P.Columns;
  const double low = P.LowThreshold;
  const int32_t thin = P.ThinFactor;
  for (int32_t i = 0; i < rows; ++i) std::memset(E.ScanLine(i), 0, static_cast<size_t>(cols));

  // Neighbours in the order the chain tries them, with their offsets in both rasters.
  static constexpr int32_t kDi[8] = {0, 0, 1, 1, 1, -1, -1, -1};
  static constexpr int32_t kDj[8] = {1, -1, 1, 0, -1, -1, 0, 1};
  const ptrdiff_t eStride = rows > 1 ? E.ScanLine(1) - E.ScanLine(0) : 0;
  const ptrdiff_t gStride = rows > 1 ? FloatRow(G, 1) - FloatRow(G, 0) : 0;
  ptrdiff_t eOffset[8], gOffset[8];
  for (int n = 0; n < 8; ++n) {
    eOffset[n] = kDi[n] * eStride + kDj[n];
    gOffset[n] = kDi[n] * gStride + kDj[n];
  }

  for (int32_t i0 = kShenCastanOutline; i0 < rows - kShenCastanOutline; ++i0) {
    const float* gRow = FloatRow(G, i0);
    uint8_t* eRow = E.ScanLine(i0);
    for (int32_t j0 = kShenCastanOutline; j0 < cols - kShenCastanOutline; ++j0) {
      if (!(gRow[j0] > P.HighThreshold) || eRow[j0] != 0 || gRow[j0] == 0) continue;
      int32_t i = i0, j = j0;
      uint8_t* e = eRow + j0;
      const float* g = gRow + j0;
      int64_t depth = 0;
      *e = *g > low ? 1 : 255;
      for (;;) {
        int n = 0;
        for (; n < 8; ++n) {
          const int32_t ni = i + kDi[n], nj = j + kDj[n];
          if (ni >= 0 && ni < rows && nj >= 0 && nj < cols && e[eOffset[n]] == 0 && g[gOffset[n]] != 0) break;
        }
        if (n == 8) break;
        if (depth > 0 && thin > 0 && depth % thin != 0) *e = 255;
        i += kDi[n];
        j += kDj[n];
        e += eOffset[n];
        g += gOffset[n];
        ++depth;
        *e = *g > low ? 1 : 255;
      }
    }
  }
  for (int32_t i = 0; i < rows; ++i) {
    uint8_t* e = E.ScanLine(i);
    for (int32_t j = 0; j < cols; ++j)
      if (e[j] == 255) e[j] = 0;
  }
}

void ShenCastan(const TBitmap& Source, TBitmap& Dest, int32_t WindowSize, const TIMProgressEvent& OnProgress,
                TObject* Sender, bool Hysteresis, int32_t ThinFactor, double Smoothing, double Ratio) {
  if (Source.PixelFormat() != pf24bit || Source.Empty()) return;
  TShenCastanParams P;
  P.Width = Source.Width();
  P.Height = Source.Height();
  P.Smoothing = Smoothing;
  P.Ratio = Ratio;
  P.WindowSize = WindowSize;
  P.Hysteresis = Hysteresis;
  P.ThinFactor = ThinFactor;
  P.OnProgress = OnProgress;
  P.Sender = Sender;
  P.Rows = P.Height + 2 * kShenCastanEmbed;
  P.Columns = P.Width + 2 * kShenCastanEmbed;

  TIMWorkBitmap gradient(P.Columns, P.Rows, 32);  // the gray values first, the gradient later
  P.Gradient = &gradient;
  EmbedGray(Source, P, gradient);
  Progress(P, 1);

  TIMWorkBitmap smoothed(P.Columns, P.Rows, 32);
  Isef(gradient, smoothed, P);
  Progress(P, 2);

  TIMWorkBitmap laplacian(P.Columns, P.Rows, 8);
  LaplacianSign(gradient, smoothed, laplacian, P);
  Progress(P, 3);

  ZeroCrossings(gradient, smoothed, laplacian, P);
  Progress(P, 4);
  smoothed.FreeBits();
  laplacian.FreeBits();

  EstimateThresholds(P);
  TIMWorkBitmap edges(P.Columns, P.Rows, 8);
  P.Edges = &edges;
  ShenCastanHysteresis(P);
  Progress(P, 5);

  InvertEdges(P);
  Progress(P, 6);
  WriteEdgeMap(P, Dest);
}

}  // namespace kv
