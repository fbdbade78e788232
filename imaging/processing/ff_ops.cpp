#include "imaging/processing/ff_ops.h"

#include "imaging/processing/ff_lexer.h"

namespace kv::ff {

namespace {
std::array<int32_t, 1024> MakeCosTable() {
  std::array<int32_t, 1024> t{};
  for (int i = 0; i < 1024; ++i) t[size_t(i)] = Round32(std::cos(i * 3.14159265358979323846 / 512.0) * 512.0);
  return t;
}
}  // namespace

const std::array<int32_t, 1024> kCosTable = MakeCosTable();

int32_t ApplyBinary(uint8_t Op, int32_t a, int32_t b) {
  switch (Op) {
    case fopLOr: return Truth(a > 0 || b > 0);
    case fopLAnd: return Truth(a > 0 && b > 0);
    case fopOr: return a | b;
    case fopXor: return a ^ b;
    case fopAnd: return a & b;
    case fopEq: return Truth(a == b);
    case fopNe: return Truth(a != b);
    case fopGt: return Truth(a > b);
    case fopLt: return Truth(a < b);
    case fopGe: return Truth(a >= b);
    case fopLe: return Truth(a <= b);
    case fopShl: return Shl(a, b);
    case fopShr: return Shr(a, b);
    case fopAdd: return Add(a, b);
    case fopSub: return Sub(a, b);
    case fopDiv: return Div(a, b);
    case fopMod: return Mod(a, b);
    case fopMul: return Mul(a, b);
    default: return 0;
  }
}

}  // namespace kv::ff
