#include "imaging/processing/resample_filters.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

namespace {

double Sinc(double X) {
  if (X == 0.0) return 1.0;
  const double a = X * std::numbers::pi;
  return std::sin(a) / a;
}

}  // namespace

double ResampleKernel(TResampleFilter Filter, double X) {
  const double t = std::fabs(X);
  switch (Filter) {
    case rfTriangle:
      return t < 1.0 ? 1.0 - t : 0.0;
    case rfHermite:
      return t < 1.0 ? (2.0 * t - 3.0) * t * t + 1.0 : 0.0;
    case rfBell:
      if (t < 0.5) return 0.75 - t * t;
      if (t < 1.5) return 0.5 * (t - 1.5) * (t - 1.5);
      return 0.0;
    case rfBSpline:
      if (t < 1.0) return 0.5 * t * t * t - t * t + 2.0 / 3.0;
      if (t < 2.0) return (2.0 - t) * (2.0 - t) * (2.0 - t) / 6.0;
      return 0.0;
    case rfLanczos3:
      return t < 3.0 ? Sinc(X) * Sinc(X / 3.0) : 0.0;
    case rfMitchell:
      if (t < 1.0) return (7.0 * t * t * t - 12.0 * t * t + 16.0 / 3.0) / 6.0;
      if (t < 2.0) return (-7.0 / 3.0 * t * t * t + 12.0 * t * t - 20.0 * t + 32.0 / 3.0) / 6.0;
      return 0.0;
    case rfNearest:
      return (X > -0.5 && X <= 0.5) ? 1.0 : 0.0;
    case rfLinear:
      return (X >= -1.0 && X < 1.0) ? 1.0 - t : 0.0;
    case rfNone:
    case rfFastLinear:
      break;
  }
  return 0.0;
}

double ResampleSupport(TResampleFilter Filter) {
  switch (Filter) {
    case rfTriangle:
    case rfHermite:
    case rfNearest:
    case rfLinear:
      return 1.0;
    case rfBell:
      return 1.5;
    case rfBSpline:
    case rfMitchell:
      return 2.0;
    case rfLanczos3:
      return 3.0;
    case rfNone:
    case rfFastLinear:
      break;
  }
  return 0.0;
}

int32_t MirrorIndex(int64_t J, int32_t N) {
  if (J < 0) J = -J;
  else if (J >= N) J = 2 * int64_t(N) - 1 - J;
  return static_cast<int32_t>(std::clamp<int64_t>(J, 0, N - 1));
}

TContributions BuildContributions(int32_t SrcLen, int32_t DstLen, TResampleFilter Filter) {
  TContributions c;
  c.SrcLen = SrcLen;
  c.DstLen = DstLen;
  if (SrcLen <= 0 || DstLen <= 0) return c;
  const double scale = double(DstLen) / double(SrcLen);
  const bool enlarging = scale >= 1.0;
  const double s = ResampleSupport(Filter);
  const double w = enlarging ? s : s / scale;

  c.First.resize(size_t(DstLen));
  c.Count.resize(size_t(DstLen));
  c.Offset.resize(size_t(DstLen));
  c.Total.resize(size_t(DstLen));
  c.MinTap = INT64_MAX;
  c.MaxTap = INT64_MIN;
  std::vector<int32_t> taps;
  for (int32_t i = 0; i < DstLen; ++i) {
    const double center = i / scale;
    const int64_t lo = int64_t(std::floor(center - w));
    const int64_t hi = int64_t(std::ceil(center + w));
    taps.clear();
    int64_t first = lo;
    int32_t total = 0;
    for (int64_t j = lo; j <= hi; ++j) {
      const double f = enlarging ? ResampleKernel(Filter, center - double(j)) * 256.0
                                 : ResampleKernel(Filter, (center - double(j)) * scale) * 256.0 * scale;
      const int32_t weight = Round32(f);
      if (taps.empty() && weight == 0) {
        first = j + 1;
        continue;
      }
      taps.push_back(weight);
      total += weight;
    }
    while (!taps.empty() && taps.back() == 0) taps.pop_back();
    if (total == 0) {
      // Dividing by a zero total would give black or white specks: take the
      // nearest source pixel instead.
      taps.assign(1, 256);
      total = 256;
      first = std::clamp<int64_t>(Trunc(center + 0.5), 0, SrcLen - 1);
    }
    // Offsets are 32-bit: a table beyond that is a size no picture can have.
    if (c.Weights.size() + taps.size() > size_t(INT32_MAX)) throw EOutOfMemory();
    c.First[size_t(i)] = static_cast<int32_t>(first);
    c.Count[size_t(i)] = static_cast<int32_t>(taps.size());
    c.Offset[size_t(i)] = static_cast<int32_t>(c.Weights.size());
    c.Total[size_t(i)] = total;
    c.Weights.insert(c.Weights.end(), taps.begin(), taps.end());
    c.MinTap = std::min(c.MinTap, first);
    c.MaxTap = std::max(c.MaxTap, first + int64_t(taps.size()) - 1);
  }
  return c;
}

}  // namespace kv
