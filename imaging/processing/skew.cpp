#include "imaging/processing/skew.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <vector>

#include "imaging/model/parallel_rows.h"
#include "imaging/processing/edge_detect.h"
#include "imaging/processing/resample.h"
#include "imaging/model/work_bitmap.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

constexpr int32_t kTableSize = 1800;           // 180 degrees at the finest precision
constexpr double kDegToRad = 0.017453292519444445;
constexpr double kFixedOne = 268435456;  // 2^28

}  // namespace

double SkewAngleSearch(const TBitmap& Bitmap, const TIMProgressEvent& OnProgress, TObject* Sender, int32_t MaxAngle,
                       double Precision) {
  const double c = Trunc(Precision * 10) / 10.0;
  if (Bitmap.PixelFormat() != pf1bit || !(c >= 0.1 && c <= 1) || MaxAngle < 0 || MaxAngle > 180) return 0;
  const int32_t W = Bitmap.Width(), H = Bitmap.Height();
  const int32_t f = Round32(1 / c);
  const int32_t d = Trunc32(std::sqrt(static_cast<double>(Sqr<int64_t>(W) + Sqr<int64_t>(H))) / 2);
  const int32_t h = MaxAngle * f / 2;
  const int32_t firstRow = 90 * f - h;
  const int32_t lastSearched = 90 * f + h - 1;
  const int32_t lastVoted = 90 * f + h - 2;

  // One guard column on the left: a corner pixel's distance rounds down to
  // -d - 1 when the half diagonal is not a whole number.
  // Half the diagonal of a huge bitmap leaves 2d + 2 beyond 32 bits.
  if (d > INT32_MAX / 2 - 1) throw EOutOfMemory();
  const int32_t origin = d + 1;
  const int32_t columns = 2 * d + 2;
  TIMWorkBitmap accumulator(columns, 180 * f, 32);
  std::vector<int32_t*> acc(static_cast<size_t>(180 * f), nullptr);
  for (int32_t k = firstRow; k <= lastSearched; ++k) {
    acc[k] = reinterpret_cast<int32_t*>(accumulator.ScanLine(k));
    std::fill(acc[k], acc[k] + columns, 0);
  }

  std::vector<int64_t> S(kTableSize), C(kTableSize);
  for (int32_t k = 0; k < kTableSize; ++k) {
    const double angle = k / static_cast<double>(f) * kDegToRad;
    S[k] = Trunc(std::sin(angle) * kFixedOne);
    C[k] = Trunc(std::cos(angle) * kFixedOne);
  }

  // The votes for an angle all land in that angle's row of the accumulator:
  // the threads share out the angles, each walking a band of the bitmap's rows,
  // and progress follows each band. On one thread a band is one row.
  std::atomic<bool> voted{false};
  std::vector<int64_t> rowTerm(static_cast<size_t>(kTableSize));  // (y - H div 2) * S[k], the same along a row
  const int32_t angles = std::max(0, lastVoted - firstRow + 1);
  const int32_t band = KernelThreads() > 1 ? std::max(1, H / 64) : 1;
  for (int32_t y0 = 0; y0 < H; y0 += band) {
    const int32_t y1 = std::min(y0 + band, H);
    ParallelRows(
        angles,
        [&](int64_t First, int64_t Last) {
          const int32_t k0 = firstRow + int32_t(First), k1 = firstRow + int32_t(Last);
          bool any = false;
          for (int32_t y = y0; y < y1; ++y) {
            const uint8_t* row = static_cast<const uint8_t*>(Bitmap.ScanLine(y));
            const int64_t dy = y - H / 2;
            for (int32_t k = k0; k < k1; ++k) rowTerm[k] = dy * S[k];
            for (int32_t x = 0; x < W; ++x) {
              if ((x & 7) == 0 && row[x >> 3] == 0xFF) {  // eight white pixels
                x += 7;
                continue;
              }
              if (row[x >> 3] & (0x80 >> (x & 7))) continue;
              const int64_t dx = x - W / 2;
              for (int32_t k = k0; k < k1; ++k) {
                const int64_t distance = Sar(rowTerm[k] + dx * C[k], 28);  // rounds down
                ++acc[k][origin + distance];
              }
              any = true;
            }
          }
          if (any) voted.store(true, std::memory_order_relaxed);
        },
        int64_t(y1 - y0) * (W / 8 + W / 4));
    if (OnProgress)
      for (int32_t y = y0; y < y1; ++y) OnProgress(Sender, static_cast<int32_t>(int64_t(y) * 100 / H));
  }
  if (!voted.load(std::memory_order_relaxed)) return 0;

  int32_t best = 0, bestRow = 0;
  for (int32_t k = firstRow; k <= lastSearched; ++k) {
    const int32_t* a = acc[k];
    for (int32_t col = 0; col < columns; ++col)
      if (a[col] > best) {
        best = a[col];
        bestRow = k;
      }
  }
  return bestRow / static_cast<double>(f) - 90;
}

double EstimateSkewAngleOfBitmap(const TBitmap* Bitmap, int32_t TargetWidth, int32_t MaxAngle, double Precision,
                                 TObject* Sender, const TIMProgressEvent& OnProgress) {
  if (Bitmap == nullptr || Bitmap->Empty()) return 0;
  const TBitmap* work = Bitmap;
  TBitmap copy;
  if (TargetWidth >= 1) {
    const int64_t height = int64_t(TargetWidth) * Bitmap->Height() / Bitmap->Width();
    if (height < 1 || height > INT32_MAX) return 0;
    copy.SetPixelFormat(pf24bit);
    copy.SetSize(TargetWidth, static_cast<int32_t>(height));
    if (Bitmap->PixelFormat() == pf1bit) {
      ResampleBitmap(*Bitmap, copy, rfFastLinear);
    } else if (Bitmap->PixelFormat() == pf24bit) {
      ResampleBitmapProgress(*Bitmap, copy, rfFastLinear, nullptr, TIMProgressEvent());
    } else {
      TBitmap wide;
      wide.Assign(Bitmap);
      wide.SetPixelFormat(pf24bit);
      ResampleBitmapProgress(wide, copy, rfFastLinear, nullptr, TIMProgressEvent());
    }
    work = &copy;
  } else if (Bitmap->PixelFormat() != pf24bit) {
    copy.Assign(Bitmap);
    copy.SetPixelFormat(pf24bit);
    work = &copy;
  }
  TBitmap edges;
  ShenCastan(*work, edges, 7, TIMProgressEvent(), nullptr, true, 0, 0.9, 0.99);
  return SkewAngleSearch(edges, OnProgress, Sender, MaxAngle, Precision);
}

}  // namespace kv
