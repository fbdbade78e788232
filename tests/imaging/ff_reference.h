// A plain tree-walking evaluator of Filter Factory formulas, written from the
// language's description independently of the row evaluator: 64-bit
// arithmetic cut to 32 bits, one pixel and one channel at a time. The tests
// hold the fast evaluator to it bit for bit.
#pragma once
#include <array>
#include <cmath>
#include <cstdint>
#include <string>

#include "imaging/processing/ff_parser.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/random.h"

namespace kv::test {

struct TFFRefRun {
  const TBitmap* Source = nullptr;
  bool Scaled = false;
  double Scale = 1;
  int32_t Ctl[8] = {};
  int32_t X = 0, Y = 0;                    // width and height as the formulas see them
  int32_t x = 0, y = 0, r = 0, g = 0, b = 0;  // the pixel
  int32_t z = 0;                           // channel
  std::array<int32_t, 256>* Memory = nullptr;
};

inline int32_t RefWrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v))); }
inline int64_t RefAbs(int64_t v) { return v < 0 ? -v : v; }
inline int32_t RefRound(double v) {
  const double r = std::nearbyint(v);
  return r > 2147483647.0 ? INT32_MAX : (r < -2147483648.0 ? INT32_MIN : static_cast<int32_t>(r));
}
inline int32_t RefT(int64_t i) { return RefRound(std::cos(double(i) * M_PI / 512) * 512); }
inline int32_t RefCos(int32_t a) { return RefT(RefAbs(a) % 1024); }
inline int32_t RefSin(int32_t a) { return RefT(RefAbs(RefWrap(int64_t(a) - 256)) % 1024); }
inline int32_t RefDiv(int32_t a, int32_t b) { return b == 0 ? 0 : RefWrap(int64_t(a) / b); }
inline int32_t RefMod(int32_t a, int32_t b) { return b == 0 ? 0 : RefWrap(int64_t(a) % b); }
inline int32_t RefCtl(const TFFRefRun& R, int64_t i) { return i >= 0 && i <= 7 ? R.Ctl[i] : 0; }
inline int32_t RefC2d(int32_t a, int32_t b) { return RefRound(std::atan2(double(a), double(b)) * 512 / M_PI); }
inline int32_t RefC2m(int32_t a, int32_t b) { return RefRound(std::sqrt(double(a) * a + double(b) * b)); }

inline int32_t RefSrc(const TFFRefRun& R, int32_t x, int32_t y, int32_t z) {
  if (R.Scaled) {
    x = RefRound(x * R.Scale);
    y = RefRound(y * R.Scale);
  }
  if (x < 0 || y < 0 || x >= R.Source->Width() || y >= R.Source->Height()) return 0;
  if (z == 3) return 255;
  if (z < 0 || z > 2) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(R.Source->ScanLine(y)) + 3 * x;
  return z == 0 ? p[2] : (z == 1 ? p[1] : p[0]);
}

inline int32_t RefEval(const TFFTree& T, int32_t N, TFFRefRun& R) {
  const TFFNode& n = T[N];
  auto E = [&](int k) { return RefEval(T, n.Args[k], R); };
  if (n.Class == ftcOperand) {
    switch (n.Index) {
      case fodConst: return n.Value;
      case fodR: return R.r;
      case fodG: return R.g;
      case fodB: return R.b;
      case fodC: return R.z == 0 ? R.r : (R.z == 1 ? R.g : R.b);
      case fodX: return R.x;
      case fodY: return R.y;
      case fodXX: return R.X;
      case fodYY: return R.Y;
      case fodI: return int32_t(std::floor((76.0 * R.r + 150.0 * R.g + 29.0 * R.b) / 256));
      case fodU: return int32_t(std::floor((56.0 * R.b - 19.0 * R.r - 37.0 * R.g) / 256));
      case fodV: return int32_t(std::floor((78.0 * R.r - 65.0 * R.g - 13.0 * R.b) / 256));
      case fodZ: return R.z;
      case fodZZ: return 3;
      case fodD: return RefC2d(R.x - R.X / 2, R.y - R.Y / 2);
      case fodDD: return 1024;
      case fodM: return RefC2m(R.x - R.X / 2, R.y - R.Y / 2);
      case fodMM: return RefRound(std::sqrt(double(R.X) * R.X + double(R.Y) * R.Y)) / 2;
      default: return 0;  // dmin, mmin
    }
  }
  if (n.Class == ftcOperator) {
    if (n.Index == fopQuest) {
      const int32_t c = E(0);
      return c > 0 ? E(1) : E(2);
    }
    if (n.Index == fopNot) return E(0) == 0;
    if (n.Index == fopBitNot) return ~E(0);
    const int64_t a = E(0);
    const int64_t b = E(1);
    switch (n.Index) {
      case fopComma: return int32_t(b);
      case fopLOr: return a > 0 || b > 0;
      case fopLAnd: return a > 0 && b > 0;
      case fopOr: return int32_t(a | b);
      case fopXor: return int32_t(a ^ b);
      case fopAnd: return int32_t(a & b);
      case fopEq: return a == b;
      case fopNe: return a != b;
      case fopGt: return a > b;
      case fopLt: return a < b;
      case fopGe: return a >= b;
      case fopLe: return a <= b;
      case fopShl: return RefWrap(int64_t(uint64_t(uint32_t(a)) << (((b % 32) + 32) % 32)));
      case fopShr: return RefWrap(uint32_t(a) >> (((b % 32) + 32) % 32));
      case fopAdd: return RefWrap(a + b);
      case fopSub: return RefWrap(a - b);
      case fopMul: return RefWrap(a * b);
      case fopDiv: return RefDiv(int32_t(a), int32_t(b));
      case fopMod: return RefMod(int32_t(a), int32_t(b));
      default: return 0;
    }
  }
  int32_t v[10];
  for (int k = 0; k < n.ArgCount; ++k) v[k] = E(k);
  switch (n.Index) {
    case ffnAbs: return RefWrap(RefAbs(v[0]));
    case ffnAdd: return std::min(RefWrap(int64_t(v[0]) + v[1]), v[2]);
    case ffnCnv: {
      if (v[9] == 0) return 0;
      int64_t sum = 0;
      for (int j = -1; j <= 1; ++j)
        for (int i = -1; i <= 1; ++i) sum += int64_t(RefSrc(R, R.x + i, R.y + j, R.z)) * v[(j + 1) * 3 + i + 1];
      return RefDiv(RefWrap(sum), v[9]);
    }
    case ffnCtl: return RefCtl(R, v[0]);
    case ffnDif: return RefWrap(RefAbs(RefWrap(int64_t(v[0]) - v[1])));
    case ffnGet: return v[0] >= 0 && v[0] <= 255 ? (*R.Memory)[size_t(v[0])] : 0;
    case ffnPut:
      if (v[1] >= 0 && v[1] <= 255) (*R.Memory)[size_t(v[1])] = v[0];
      return v[0];
    case ffnMap: {
      const int32_t lo = RefCtl(R, int64_t(v[0]) * 2), hi = RefCtl(R, int64_t(v[0]) * 2 + 1);
      if (v[1] <= lo) return 0;
      if (v[1] >= hi) return 255;
      return int32_t((int64_t(v[1]) - lo) * 255 / (hi - lo));
    }
    case ffnRst: return 0;
    case ffnMax: return std::max(v[0], v[1]);
    case ffnMin: return std::min(v[0], v[1]);
    case ffnMix:
      if (v[3] == 0) return 0;
      return RefWrap(int64_t(RefDiv(RefWrap(int64_t(v[0]) * v[2]), v[3])) +
                     RefDiv(RefWrap((int64_t(v[3]) - v[2]) * v[1]), v[3]));
    case ffnRnd: return RefWrap(int64_t(v[0]) + Random(RefWrap(RefAbs(RefWrap(int64_t(v[1]) - v[0] + 1)))));
    case ffnScl:
      if (v[1] == v[2]) return 0;
      return RefWrap(int64_t(v[3]) + RefDiv(RefWrap((int64_t(v[4]) - v[3]) * (int64_t(v[0]) - v[1])),
                                            RefWrap(int64_t(v[2]) - v[1])));
    case ffnSqr: return v[0] < 0 ? 0 : RefRound(std::sqrt(double(v[0])));
    case ffnSrc: return RefSrc(R, v[0], v[1], v[2]);
    case ffnSub: return std::max(RefWrap(RefAbs(RefWrap(int64_t(v[0]) - v[1]))), v[2]);
    case ffnVal:
      if (v[0] > 7) return 0;
      return RefWrap(int64_t(v[1]) + RefDiv(RefWrap((int64_t(v[2]) - v[1]) * RefCtl(R, v[0])), 255));
    case ffnC2d: return RefC2d(v[0], v[1]);
    case ffnC2m: return RefC2m(v[0], v[1]);
    case ffnCos: return RefCos(v[0]);
    case ffnSin: return RefSin(v[0]);
    case ffnTan: return RefCos(v[0]) == 0 ? 0 : RefDiv(RefSin(v[0]) * 512, RefCos(v[0]));
    case ffnR2x: return RefWrap(int64_t(RefDiv(RefWrap(int64_t(RefCos(v[0])) * v[1]), 512)) + R.X / 2);
    case ffnR2y: return RefWrap(int64_t(RefDiv(RefWrap(int64_t(RefSin(v[0])) * v[1]), 512)) + R.Y / 2);
    case ffnRad: return 1;
    default: return 0;
  }
}

// The whole filter the slow way: every pixel of the source, red, green and
// blue in turn, into a new bitmap of the source's size.
inline void RefRunFilter(const TFFTree* Trees, const int32_t* Ctl, const TBitmap& Source, TBitmap& Target,
                         double Scale, std::array<int32_t, 256>& Memory) {
  TFFRefRun R;
  R.Source = &Source;
  R.Scaled = Scale != 1.0;
  R.Scale = Scale;
  for (int k = 0; k < 8; ++k) R.Ctl[k] = Ctl[k];
  R.X = R.Scaled ? RefRound(Source.Width() / Scale) : Source.Width();
  R.Y = R.Scaled ? RefRound(Source.Height() / Scale) : Source.Height();
  R.Memory = &Memory;
  Target.SetSize(Source.Width(), Source.Height());
  for (int32_t row = 0; row < Source.Height(); ++row) {
    const uint8_t* s = static_cast<const uint8_t*>(Source.ScanLine(row));
    uint8_t* t = static_cast<uint8_t*>(Target.ScanLine(row));
    for (int32_t col = 0; col < Source.Width(); ++col) {
      R.x = R.Scaled ? RefRound(col / Scale) : col;
      R.y = R.Scaled ? RefRound(row / Scale) : row;
      R.r = s[3 * col + 2];
      R.g = s[3 * col + 1];
      R.b = s[3 * col];
      for (int ch = 0; ch < 3; ++ch) {
        R.z = ch;
        const int32_t v = RefEval(Trees[ch], Trees[ch].Root, R);
        t[3 * col + 2 - ch] = uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
}

}  // namespace kv::test
