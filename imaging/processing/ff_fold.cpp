#include "imaging/processing/ff_fold.h"

#include "imaging/processing/ff_ops.h"

namespace kv {

int32_t FFDiagonalHalf(int32_t X, int32_t Y) { return Round32(std::sqrt(double(X) * X + double(Y) * Y)) / 2; }

bool FFConstantOperand(const TFFNode& Node, const TFFConstants& C, int32_t& Value) {
  if (Node.Class != ftcOperand) return false;
  switch (Node.Index) {
    case fodConst: Value = Node.Value; return true;
    case fodDmin:
    case fodMmin: Value = 0; return true;
    case fodXX: Value = C.X; return true;
    case fodYY: Value = C.Y; return true;
    case fodZZ: Value = 3; return true;
    case fodDD: Value = 1024; return true;
    case fodMM: Value = FFDiagonalHalf(C.X, C.Y); return true;
    case fodZ:
      if (C.Channel < 0) return false;
      Value = C.Channel;
      return true;
    default: return false;
  }
}

bool FFNeverFolded(uint8_t Function) {
  return Function == ffnGet || Function == ffnPut || Function == ffnRnd || Function == ffnSrc || Function == ffnCnv;
}

int32_t FFApplyFunction(uint8_t Function, const int32_t* a, const TFFConstants& C) {
  using namespace ff;
  switch (Function) {
    case ffnAbs: return Abs(a[0]);
    case ffnAdd: return Add3(a[0], a[1], a[2]);
    case ffnCtl: return Ctl(C.Ctl, a[0]);
    case ffnDif: return Dif(a[0], a[1]);
    case ffnMap: return Map(C.Ctl, a[0], a[1]);
    case ffnRst: return 0;
    case ffnMax: return std::max(a[0], a[1]);
    case ffnMin: return std::min(a[0], a[1]);
    case ffnMix: return Mix(a[0], a[1], a[2], a[3]);
    case ffnScl: return Scl(a[0], a[1], a[2], a[3], a[4]);
    case ffnSqr: return Sqr(a[0]);
    case ffnSub: return Sub3(a[0], a[1], a[2]);
    case ffnVal: return Val(C.Ctl, a[0], a[1], a[2]);
    case ffnC2d: return C2d(a[0], a[1]);
    case ffnC2m: return C2m(a[0], a[1]);
    case ffnCos: return Cos(a[0]);
    case ffnSin: return Sin(a[0]);
    case ffnTan: return Tan(a[0]);
    case ffnR2x: return R2x(a[0], a[1], C.X / 2);
    case ffnR2y: return R2y(a[0], a[1], C.Y / 2);
    case ffnRad: return 1;
    default: return 0;
  }
}

namespace {

bool FoldNode(TFFTree& T, int32_t Index, const TFFConstants& C, int32_t& Value) {
  TFFNode& n = T[Index];
  if (n.Class == ftcOperand) return FFConstantOperand(n, C, Value);
  int32_t v[10];
  bool all = true;
  for (int k = 0; k < n.ArgCount; ++k) all &= FoldNode(T, n.Args[k], C, v[k]);
  if (!all) return false;
  // Re-read the node: nothing above reallocates, but keep the reference honest.
  TFFNode& m = T[Index];
  if (m.Class == ftcFunction) {
    if (FFNeverFolded(m.Index)) return false;
    Value = FFApplyFunction(m.Index, v, C);
  } else if (m.Index == fopComma) {
    Value = v[1];
  } else if (m.Index == fopQuest) {
    Value = v[0] > 0 ? v[1] : v[2];
  } else if (m.Index == fopNot) {
    Value = ff::Truth(v[0] == 0);
  } else if (m.Index == fopBitNot) {
    Value = ~v[0];
  } else {
    Value = ff::ApplyBinary(m.Index, v[0], v[1]);
  }
  m.Class = ftcOperand;
  m.Index = fodConst;
  m.Value = Value;
  m.ArgCount = 0;
  return true;
}

}  // namespace

void FFFold(TFFTree& Tree, const TFFConstants& C) {
  if (Tree.Root < 0) return;
  int32_t v;
  FoldNode(Tree, Tree.Root, C, v);
}

}  // namespace kv
