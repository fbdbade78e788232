#include "imaging/processing/resample_rows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/pascal_math.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KV_RESAMPLE_X86 1
#endif

namespace kv::resample_rows {

namespace {

// The vector loops divide in single precision: for |sum| < 2^24 and
// 0 < |total| < 65536 the truncated float quotient equals the integer one
// wherever the result is not clamped (the nearest integer above a true
// quotient below 256 is at least 1/65536 away, more than half a float step).
constexpr int64_t kVectorWeightLimit = 65535;

int64_t SumAbs(const TContributions& C, size_t I) {
  int64_t s = 0;
  for (int32_t k = 0; k < C.Count[I]; ++k) s += std::abs(C.Weights[size_t(C.Offset[I] + k)]);
  return s;
}

inline uint8_t DivClamp(int32_t Sum, int32_t Total) { return ClampByte(Sum / Total); }

#ifdef KV_RESAMPLE_X86
bool HasSsse3() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// Lanes 0..3 of Acc divided by Total, truncated, saturated to 0..255; the
// four bytes come back in the low 32 bits.
inline __m128i DivPack(__m128i Acc, __m128 Total) {
  const __m128i q = _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(Acc), Total));
  const __m128i w = _mm_packs_epi32(q, q);
  return _mm_packus_epi16(w, w);
}

__attribute__((target("ssse3"))) void HorzLine3Ssse3(const uint8_t* Line, uint8_t* Out, const THorzTaps& T) {
  // Pixels 0..3 of a group (12 bytes) as 16-bit pairs (b0 b1 g0 g1 r0 r1 0 0) and (b2 b3 g2 g3 r2 r3 0 0).
  const __m128i m01 = _mm_setr_epi8(0, -1, 3, -1, 1, -1, 4, -1, 2, -1, 5, -1, -1, -1, -1, -1);
  const __m128i m23 = _mm_setr_epi8(6, -1, 9, -1, 7, -1, 10, -1, 8, -1, 11, -1, -1, -1, -1, -1);
  const int16_t* weights = T.Weights.data();
  for (int32_t i = 0; i < T.DstLen; ++i) {
    const uint8_t* p = Line + ptrdiff_t(T.First[size_t(i)]) * 3;
    const int16_t* w = weights + T.Offset[size_t(i)];
    __m128i acc = _mm_setzero_si128();
    for (int32_t g = T.Pairs[size_t(i)] / 2; g > 0; --g, p += 12, w += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i wv = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w));
      acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_shuffle_epi8(v, m01), _mm_shuffle_epi32(wv, 0x00)));
      acc = _mm_add_epi32(acc, _mm_madd_epi16(_mm_shuffle_epi8(v, m23), _mm_shuffle_epi32(wv, 0x55)));
    }
    const int32_t bgr = _mm_cvtsi128_si32(DivPack(acc, _mm_set1_ps(float(T.Total[size_t(i)]))));
    Out[3 * i] = uint8_t(bgr);
    Out[3 * i + 1] = uint8_t(bgr >> 8);
    Out[3 * i + 2] = uint8_t(bgr >> 16);
  }
}

void HorzLine1Sse2(const uint8_t* Line, uint8_t* Out, const THorzTaps& T) {
  const __m128i zero = _mm_setzero_si128();
  const int16_t* weights = T.Weights.data();
  for (int32_t i = 0; i < T.DstLen; ++i) {
    const uint8_t* p = Line + T.First[size_t(i)];
    const int16_t* w = weights + T.Offset[size_t(i)];
    __m128i acc = _mm_setzero_si128();
    for (int32_t g = T.Pairs[size_t(i)] / 2; g > 0; --g, p += 4, w += 4) {
      int32_t four;
      std::memcpy(&four, p, 4);
      const __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(four), zero);
      acc = _mm_add_epi32(acc, _mm_madd_epi16(v, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w))));
    }
    acc = _mm_add_epi32(acc, _mm_shuffle_epi32(acc, 0x01));
    Out[i] = uint8_t(_mm_cvtsi128_si32(DivPack(acc, _mm_set1_ps(float(T.Total[size_t(i)])))));
  }
}

void VertLineSse2(const uint8_t* const* Rows, size_t From, int32_t Bytes, const TVertTaps& T, int32_t R,
                  uint8_t* Out) {
  const __m128i zero = _mm_setzero_si128();
  const int32_t n = T.Count[size_t(R)];
  const int32_t* rows = T.Row.data() + T.Offset[size_t(R)];
  const int16_t* ws = T.Weight.data() + T.Offset[size_t(R)];
  const __m128 total = _mm_set1_ps(float(T.Total[size_t(R)]));
  for (int32_t x = 0; x < Bytes; x += 16) {
    __m128i a0 = zero, a1 = zero, a2 = zero, a3 = zero;
    for (int32_t k = 0; k < n; k += 2) {
      // Two rows interleaved byte by byte, then widened: (a0 b0 a1 b1 ...) against (wa wb wa wb ...).
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[rows[k]] + From + x));
      const bool pair = k + 1 < n;
      const __m128i b =
          pair ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(Rows[rows[k + 1]] + From + x)) : zero;
      const int32_t wpair = int32_t(uint16_t(ws[k])) | int32_t(uint32_t(uint16_t(pair ? ws[k + 1] : 0)) << 16);
      const __m128i wv = _mm_set1_epi32(wpair);
      const __m128i lo = _mm_unpacklo_epi8(a, b);
      const __m128i hi = _mm_unpackhi_epi8(a, b);
      a0 = _mm_add_epi32(a0, _mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), wv));
      a1 = _mm_add_epi32(a1, _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), wv));
      a2 = _mm_add_epi32(a2, _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), wv));
      a3 = _mm_add_epi32(a3, _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), wv));
    }
    auto div = [&](__m128i v) { return _mm_cvttps_epi32(_mm_div_ps(_mm_cvtepi32_ps(v), total)); };
    const __m128i w01 = _mm_packs_epi32(div(a0), div(a1));
    const __m128i w23 = _mm_packs_epi32(div(a2), div(a3));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + x), _mm_packus_epi16(w01, w23));
  }
}
#endif

}  // namespace

THorzTaps::THorzTaps(const TContributions& X) : DstLen(X.DstLen) {
  const size_t n = size_t(X.DstLen);
  First.resize(n);
  Pairs.resize(n);
  Offset.resize(n);
  Total.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const int32_t count = X.Count[i];
    const int32_t padded = (count + 3) & ~3;  // whole groups of four taps
    if (Weights.size() + size_t(padded) > size_t(INT32_MAX)) throw EOutOfMemory();  // 32-bit offsets
    First[i] = X.First[i];
    Pairs[i] = padded / 2;
    Offset[i] = static_cast<int32_t>(Weights.size());
    Total[i] = X.Total[i];
    for (int32_t k = 0; k < count; ++k) Weights.push_back(static_cast<int16_t>(X.Weights[size_t(X.Offset[i] + k)]));
    Weights.resize(Weights.size() + size_t(padded - count), 0);
    if (SumAbs(X, i) > kVectorWeightLimit) Vector = false;
  }
}

TVertTaps::TVertTaps(const TContributions& Y) {
  const size_t n = size_t(Y.DstLen);
  Count.resize(n);
  Offset.resize(n);
  Total.resize(n);
  for (size_t r = 0; r < n; ++r) {
    Offset[r] = static_cast<int32_t>(Row.size());
    Total[r] = Y.Total[r];
    for (int32_t k = 0; k < Y.Count[r]; ++k) {
      const int32_t w = Y.Weights[size_t(Y.Offset[r] + k)];
      if (w == 0) continue;
      Row.push_back(MirrorIndex(int64_t(Y.First[r]) + k, Y.SrcLen));
      Weight.push_back(static_cast<int16_t>(w));
    }
    Count[r] = static_cast<int32_t>(Row.size()) - Offset[r];
    if (SumAbs(Y, r) > kVectorWeightLimit) Vector = false;
  }
}

template <int C>
void HorzLinePlain(const uint8_t* Line, uint8_t* Out, const THorzTaps& T) {
  for (int32_t i = 0; i < T.DstLen; ++i) {
    const uint8_t* p = Line + ptrdiff_t(T.First[size_t(i)]) * C;
    const int16_t* w = T.Weights.data() + T.Offset[size_t(i)];
    int32_t acc[C] = {};
    for (int32_t k = 0, n = 2 * T.Pairs[size_t(i)]; k < n; ++k)
      for (int c = 0; c < C; ++c) acc[c] += w[k] * p[k * C + c];
    for (int c = 0; c < C; ++c) Out[i * C + c] = DivClamp(acc[c], T.Total[size_t(i)]);
  }
}

void VertLinePlain(const uint8_t* const* Rows, size_t From, int32_t Bytes, const TVertTaps& T, int32_t R,
                   int32_t* Acc, uint8_t* Out) {
  const int32_t n = T.Count[size_t(R)];
  const int32_t* rows = T.Row.data() + T.Offset[size_t(R)];
  const int16_t* ws = T.Weight.data() + T.Offset[size_t(R)];
  std::fill(Acc, Acc + Bytes, 0);
  for (int32_t k = 0; k < n; ++k) {
    const uint8_t* row = Rows[rows[k]] + From;
    const int32_t w = ws[k];
    for (int32_t x = 0; x < Bytes; ++x) Acc[x] += w * row[x];
  }
  const int32_t total = T.Total[size_t(R)];
  for (int32_t x = 0; x < Bytes; ++x) Out[x] = DivClamp(Acc[x], total);
}

template <int C>
void HorzLine(const uint8_t* Line, uint8_t* Out, const THorzTaps& T) {
#ifdef KV_RESAMPLE_X86
  if (T.Vector) {
    if constexpr (C == 1) return HorzLine1Sse2(Line, Out, T);
    if (HasSsse3()) return HorzLine3Ssse3(Line, Out, T);
  }
#endif
  HorzLinePlain<C>(Line, Out, T);
}

void VertLine(const uint8_t* const* Rows, size_t From, int32_t Bytes, const TVertTaps& T, int32_t R, int32_t* Acc,
              uint8_t* Out) {
#ifdef KV_RESAMPLE_X86
  if (T.Vector) return VertLineSse2(Rows, From, Bytes, T, R, Out);
#endif
  VertLinePlain(Rows, From, Bytes, T, R, Acc, Out);
}

template void HorzLine<1>(const uint8_t*, uint8_t*, const THorzTaps&);
template void HorzLine<3>(const uint8_t*, uint8_t*, const THorzTaps&);
template void HorzLinePlain<1>(const uint8_t*, uint8_t*, const THorzTaps&);
template void HorzLinePlain<3>(const uint8_t*, uint8_t*, const THorzTaps&);

}  // namespace kv::resample_rows
