// Inner loops of the two-pass resampler: one destination line of the
// horizontal pass and one strip of a destination row of the vertical pass,
// over tap tables prepared once per call. Integer arithmetic throughout; the
// vector versions give exactly the results of the plain ones.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/processing/resample_filters.h"

namespace kv::resample_rows {

// Bytes a padded source line must have beyond its last tap: the vector loop
// reads whole blocks and a list of odd length one tap further.
inline constexpr size_t kLineSlack = 32;

// Horizontal lists with weights as 16-bit pairs (odd lists end in a zero weight).
struct THorzTaps {
  explicit THorzTaps(const TContributions& X);
  int32_t DstLen = 0;
  std::vector<int32_t> First;
  std::vector<int32_t> Pairs;
  std::vector<int32_t> Offset;  // in weights, always even
  std::vector<int32_t> Total;
  std::vector<int16_t> Weights;
  bool Vector = true;  // every list fits the vector loop's arithmetic
};

// Vertical lists: source rows (mirrored) with their non-zero weights.
struct TVertTaps {
  explicit TVertTaps(const TContributions& Y);
  std::vector<int32_t> Count;
  std::vector<int32_t> Offset;
  std::vector<int32_t> Total;
  std::vector<int32_t> Row;
  std::vector<int16_t> Weight;
  bool Vector = true;
};

// Line points at tap 0 of a mirror-padded line of C-byte pixels, with
// kLineSlack bytes after its last tap; writes DstLen pixels to Out.
template <int C> void HorzLine(const uint8_t* Line, uint8_t* Out, const THorzTaps& Taps);
// Destination row R, bytes From .. From + Bytes of the rows Rows[]; Acc holds
// Bytes values. Rows may be read, and Out written, up to 15 bytes beyond Bytes.
void VertLine(const uint8_t* const* Rows, size_t From, int32_t Bytes, const TVertTaps& Taps, int32_t R,
              int32_t* Acc, uint8_t* Out);

// The plain loops, kept to check the vector ones against.
template <int C> void HorzLinePlain(const uint8_t* Line, uint8_t* Out, const THorzTaps& Taps);
void VertLinePlain(const uint8_t* const* Rows, size_t From, int32_t Bytes, const TVertTaps& Taps, int32_t R,
                   int32_t* Acc, uint8_t* Out);

}  // namespace kv::resample_rows
