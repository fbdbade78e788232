// Shen-Castan edge detection: exponential (ISEF) smoothing, a two-valued
// Laplacian sign image, an adaptive gradient at its zero crossings,
// thresholds from a gradient histogram, hysteresis and optional thinning.
// The result is a black-on-white 1-bit edge map.
#pragma once
#include <cstdint>

#include "imaging/model/kernel_types.h"
#include "imaging/model/work_bitmap.h"
#include "platform/graphics/bitmap.h"

namespace kv {

// The picture is embedded with this many pixels on each side (a 25-pixel
// border that never holds edges, plus 2), wrapping around.
inline constexpr int32_t kShenCastanEmbed = 27;
// Pixels closer than this to any side of the embedded raster are never edges.
inline constexpr int32_t kShenCastanOutline = 25;

struct TShenCastanParams {
  int32_t Width = 0;             // of the source
  int32_t Height = 0;
  double Smoothing = 0;          // b of the ISEF, 0 < b < 1
  double HighThreshold = 22.0;
  double LowThreshold = 20.0;
  double Ratio = 0;              // share of the pixels at or above the high threshold's bin
  int32_t WindowSize = 0;        // of the adaptive gradient
  bool Hysteresis = false;
  TIMWorkBitmap* Gradient = nullptr;  // float raster of the embedded picture
  int32_t Rows = 0;                   // of Gradient (and Edges)
  int32_t Columns = 0;
  TIMWorkBitmap* Edges = nullptr;     // 8-bit
  int32_t ThinFactor = 0;
  TIMProgressEvent OnProgress;
  TObject* Sender = nullptr;
  double ProgressStep = 100.0 / 6;
};

// Source must be pf24bit (anything else, or an empty source, leaves Dest
// alone). Dest becomes a pf1bit bitmap of the source's size, edges black
// (bit 0) on white (bit 1). Source and Dest may be the same bitmap.
void ShenCastan(const TBitmap& Source, TBitmap& Dest, int32_t WindowSize, const TIMProgressEvent& OnProgress,
                TObject* Sender, bool Hysteresis, int32_t ThinFactor, double Smoothing, double Ratio);

// The hysteresis step alone, on P.Gradient (float) into P.Edges (8-bit), both
// P.Rows x P.Columns: Edges is cleared, every pixel more than 24 from the
// sides whose gradient exceeds P.HighThreshold starts a chain, and at the end
// Edges holds 1 on edges and 0 elsewhere.
void ShenCastanHysteresis(const TShenCastanParams& P);

}  // namespace kv
