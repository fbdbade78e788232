// Reconstruction filters of the resampler and the per-axis contribution
// tables built from them: integer weights in 1/256, source taps mirrored at
// the edges.
#pragma once
#include <cstdint>
#include <vector>

namespace kv {

enum TResampleFilter : uint8_t {
  rfNone,
  rfTriangle,
  rfHermite,
  rfBell,
  rfBSpline,
  rfLanczos3,
  rfMitchell,
  rfNearest,
  rfLinear,
  rfFastLinear
};

// Kernel value f(x), evaluated in double precision; 0 for rfNone and rfFastLinear.
double ResampleKernel(TResampleFilter Filter, double X);
// Support s of the kernel; 0 for rfNone and rfFastLinear, which have no kernel.
double ResampleSupport(TResampleFilter Filter);

// Source index of tap j of a line of N pixels: -j left of the line, 2N - 1 - j
// right of it, then clamped into 0..N-1 so that a line shorter than the
// kernel still never reads outside itself.
int32_t MirrorIndex(int64_t J, int32_t N);

// Contribution lists of one axis (SrcLen source pixels to DstLen destination
// pixels). List i covers the unmirrored taps First[i] .. First[i] + Count[i] - 1
// with the weights Weights[Offset[i] ..]; leading and trailing zero weights are
// trimmed, inner zeros stay (they add nothing to a sum or a total). Total[i]
// is the sum of the list's weights and is never 0: a list whose weights add up
// to 0 becomes the single nearest source pixel with weight 256.
struct TContributions {
  int32_t SrcLen = 0;
  int32_t DstLen = 0;
  std::vector<int32_t> First;
  std::vector<int32_t> Count;
  std::vector<int32_t> Offset;
  std::vector<int32_t> Total;
  std::vector<int32_t> Weights;
  int64_t MinTap = 0;  // least First[i]
  int64_t MaxTap = 0;  // greatest last tap
};

// Filters rfTriangle..rfLinear only.
TContributions BuildContributions(int32_t SrcLen, int32_t DstLen, TResampleFilter Filter);

}  // namespace kv
