#include "imaging/processing/ff_code.h"

#include <unordered_map>

namespace kv {

namespace {

class TGenerator {
 public:
  TGenerator(TFFCode& Code, const TFFConstants& C) : FCode(Code), FC(C) {}

  bool Channel(const TFFTree& Tree, int Channel) {
    FTree = &Tree;
    FChannel = Channel;
    FC.Channel = Channel;
    FImpure.assign(Tree.Nodes.size(), -1);
    FOut = &FCode.Channel[Channel];
    FCode.Result[Channel] = Gen(Tree.Root);
    // The result is read before the next channel runs, so every temporary is free again.
    FFree.clear();
    for (uint16_t r = 0; r < FIsTemp.size(); ++r)
      if (FIsTemp[r]) FFree.push_back(r);
    return !FOverflow;
  }

  void Prologue(int32_t X, int32_t Y) {
    const uint16_t rgb[3] = {frR, frG, frB};
    const TFFOpcode ops[3] = {fcOpI, fcOpU, fcOpV};
    for (int k = 0; k < 3; ++k)
      if (FUsed[frI + k]) Emit(FCode.Prologue, ops[k], uint16_t(frI + k), rgb, 3);
    const uint16_t xy[2] = {frX, frY};
    if (FUsed[frD]) Emit(FCode.Prologue, fcOpD, frD, xy, 2, X / 2, Y / 2);
    if (FUsed[frM]) Emit(FCode.Prologue, fcOpM, frM, xy, 2, X / 2, Y / 2);
  }

 private:
  static void Emit(std::vector<TFFInstr>& Out, TFFOpcode Op, uint16_t Dst, const uint16_t* Args, int N,
                   int32_t Imm = 0, int32_t Imm2 = 0) {
    TFFInstr in;
    in.Op = Op;
    in.Dst = Dst;
    for (int k = 0; k < N; ++k) in.A[k] = Args[k];
    in.Imm = Imm;
    in.Imm2 = Imm2;
    Out.push_back(in);
  }

  uint16_t NewRegister(bool Temp) {
    if (FCode.RegisterCount >= 0xFFFF) {
      FOverflow = true;
      return 0;
    }
    FIsTemp.resize(size_t(FCode.RegisterCount) + 1, false);
    FIsTemp[size_t(FCode.RegisterCount)] = Temp;
    FIsConst.resize(size_t(FCode.RegisterCount) + 1, false);
    FConstValue.resize(size_t(FCode.RegisterCount) + 1, 0);
    return uint16_t(FCode.RegisterCount++);
  }
  uint16_t Temp() {
    if (!FFree.empty()) {
      const uint16_t r = FFree.back();
      FFree.pop_back();
      return r;
    }
    return NewRegister(true);
  }
  void Release(uint16_t R) {
    if (R < FIsTemp.size() && FIsTemp[R]) FFree.push_back(R);
  }
  uint16_t Constant(int32_t V) {
    auto it = FConstants.find(V);
    if (it != FConstants.end()) return it->second;
    const uint16_t r = NewRegister(false);
    if (FOverflow) return 0;
    FIsConst[r] = true;
    FConstValue[r] = V;
    FConstants.emplace(V, r);
    FCode.Constants.emplace_back(r, V);
    return r;
  }

  // True when the subtree stores to memory or draws random numbers, so it must run even if its value is unused.
  bool Impure(int32_t N) {
    int8_t& m = FImpure[size_t(N)];
    if (m >= 0) return m;
    const TFFNode& n = (*FTree)[N];
    bool v = n.Class == ftcFunction && (n.Index == ffnPut || n.Index == ffnRnd);
    for (int k = 0; k < n.ArgCount; ++k) v = Impure(n.Args[k]) || v;
    m = v;
    return v;
  }

  uint16_t Operand(const TFFNode& n) {
    int32_t v;
    if (FFConstantOperand(n, FC, v)) return Constant(v);
    uint16_t r;
    switch (n.Index) {
      case fodR: return frR;
      case fodG: return frG;
      case fodB: return frB;
      case fodC: return uint16_t(frR + FChannel);
      case fodX: return frX;
      case fodY: return frY;
      case fodI: r = frI; break;
      case fodU: r = frU; break;
      case fodV: r = frV; break;
      case fodD: r = frD; break;
      default: r = frM; break;
    }
    FUsed[r] = true;
    return r;
  }

  uint16_t Op(TFFOpcode Code, const uint16_t* Args, int N, int32_t Imm = 0, int32_t Imm2 = 0) {
    const uint16_t d = Temp();  // taken before the arguments are freed: no instruction writes over its input
    Emit(*FOut, Code, d, Args, N, Imm, Imm2);
    for (int k = 0; k < N; ++k) Release(Args[k]);
    return d;
  }

  bool ConstantRegister(uint16_t R, int32_t& V) const {
    if (R >= FIsConst.size() || !FIsConst[R]) return false;
    V = FConstValue[R];
    return true;
  }

  uint16_t Binary(uint8_t O, uint16_t a, uint16_t b) {
    static const TFFOpcode kOps[] = {fcLOr, fcLAnd, fcOr, fcXor, fcAnd, fcEq, fcNe, fcGt, fcLt,
                                     fcGe,  fcLe,   fcShl, fcShr, fcAdd, fcSub, fcDiv, fcMod, fcMul};
    int32_t v;
    const bool commutes = O == fopAdd || O == fopMul || O == fopAnd;
    if (commutes && ConstantRegister(a, v) && !ConstantRegister(b, v)) std::swap(a, b);
    if (!ConstantRegister(a, v) && ConstantRegister(b, v)) {
      const uint16_t args[1] = {a};
      switch (O) {
        case fopAdd: return Op(fcAddI, args, 1, v);
        case fopSub: return Op(fcAddI, args, 1, int32_t(0u - uint32_t(v)));
        case fopMul: return Op(fcMulI, args, 1, v);
        case fopDiv:
          if (v != 0 && v != -1) return Op(fcDivI, args, 1, v);
          break;
        case fopShl: return Op(fcShlI, args, 1, v);
        case fopShr: return Op(fcShrI, args, 1, v);
        case fopAnd: return Op(fcAndI, args, 1, v);
        default: break;
      }
    }
    const uint16_t args[2] = {a, b};
    return Op(kOps[O - fopLOr], args, 2);
  }
  uint16_t Gen(int32_t N) {
    const TFFNode n = (*FTree)[N];
    if (FOverflow) return 0;
    if (n.Class == ftcOperand) return Operand(n);
    if (n.Class == ftcOperator) {
      switch (n.Index) {
        case fopComma:
          if (Impure(n.Args[0])) Release(Gen(n.Args[0]));
          return Gen(n.Args[1]);
        case fopQuest: {
          if (FCode.Sequential && (Impure(n.Args[1]) || Impure(n.Args[2]))) {
            // Only the chosen branch may store or draw: real jumps (the block is one pixel).
            const uint16_t c = Gen(n.Args[0]);
            const uint16_t d = Temp();
            const size_t jElse = FOut->size();
            Emit(*FOut, fcJumpLE0, 0, &c, 1);
            Release(c);
            uint16_t t = Gen(n.Args[1]);
            Emit(*FOut, fcMov, d, &t, 1);
            Release(t);
            const size_t jEnd = FOut->size();
            Emit(*FOut, fcJump, 0, nullptr, 0);
            (*FOut)[jElse].Imm = int32_t(FOut->size());
            t = Gen(n.Args[2]);
            Emit(*FOut, fcMov, d, &t, 1);
            Release(t);
            (*FOut)[jEnd].Imm = int32_t(FOut->size());
            return d;
          }
          uint16_t a[3];
          for (int k = 0; k < 3; ++k) a[k] = Gen(n.Args[k]);
          return Op(fcSelect, a, 3);
        }
        case fopNot:
        case fopBitNot: {
          const uint16_t a = Gen(n.Args[0]);
          return Op(n.Index == fopNot ? fcNot : fcBitNot, &a, 1);
        }
        default: {
          const uint16_t a = Gen(n.Args[0]);
          const uint16_t b = Gen(n.Args[1]);
          return Binary(n.Index, a, b);
        }
      }
    }
    if (n.Index == ffnRst || n.Index == ffnRad) {
      for (int k = 0; k < n.ArgCount; ++k)
        if (Impure(n.Args[k])) Release(Gen(n.Args[k]));
      return Constant(n.Index == ffnRst ? 0 : 1);
    }
    uint16_t a[10];
    for (int k = 0; k < n.ArgCount; ++k) a[k] = Gen(n.Args[k]);
    switch (n.Index) {
      case ffnAbs: return Op(fcAbs, a, 1);
      case ffnAdd: return Op(fcAdd3, a, 3);
      case ffnCnv: return Op(fcCnv, a, 10, FChannel);
      case ffnCtl: return Op(fcCtl, a, 1);
      case ffnDif: return Op(fcDif, a, 2);
      case ffnGet: return Op(fcGet, a, 1);
      case ffnPut: return Op(fcPut, a, 2);
      case ffnMap: return Op(fcMap, a, 2);
      case ffnMax: return Op(fcMax, a, 2);
      case ffnMin: return Op(fcMin, a, 2);
      case ffnMix: return Op(fcMix, a, 4);
      case ffnRnd: return Op(fcRnd, a, 2);
      case ffnScl: return Op(fcScl, a, 5);
      case ffnSqr: return Op(fcSqr, a, 1);
      case ffnSrc: return Op(fcSrc, a, 3);
      case ffnSub: return Op(fcSub3, a, 3);
      case ffnVal: return Op(fcVal, a, 3);
      case ffnC2d: return Op(fcC2d, a, 2);
      case ffnC2m: return Op(fcC2m, a, 2);
      case ffnCos: return Op(fcCos, a, 1);
      case ffnSin: return Op(fcSin, a, 1);
      case ffnTan: return Op(fcTan, a, 1);
      case ffnR2x: return Op(fcR2x, a, 2, FC.X / 2);
      default: return Op(fcR2y, a, 2, FC.Y / 2);
    }
  }

  TFFCode& FCode;
  TFFConstants FC;
  const TFFTree* FTree = nullptr;
  int FChannel = 0;
  std::vector<TFFInstr>* FOut = nullptr;
  std::vector<int8_t> FImpure;
  std::vector<bool> FIsTemp;
  std::vector<bool> FIsConst;
  std::vector<int32_t> FConstValue;
  std::vector<uint16_t> FFree;
  std::unordered_map<int32_t, uint16_t> FConstants;
  bool FUsed[frFixedCount] = {};
  bool FOverflow = false;
};

bool Reads(const TFFTree& T, int32_t N, bool (*Pred)(const TFFNode&)) {
  const TFFNode& n = T[N];
  if (Pred(n)) return true;
  for (int k = 0; k < n.ArgCount; ++k)
    if (Reads(T, n.Args[k], Pred)) return true;
  return false;
}

}  // namespace

bool FFGenerate(const TFFTree* Trees, const TFFConstants& C, TFFCode& Code) {
  Code = TFFCode();
  for (int k = 0; k < 3; ++k)
    if (Trees[k].Root >= 0 && Reads(Trees[k], Trees[k].Root, [](const TFFNode& n) {
          return n.Class == ftcFunction && (n.Index == ffnGet || n.Index == ffnPut || n.Index == ffnRnd);
        }))
      Code.Sequential = true;
  TGenerator g(Code, C);
  for (int k = 0; k < 3; ++k)
    if (Trees[k].Root < 0 || !g.Channel(Trees[k], k)) return false;
  g.Prologue(C.X, C.Y);
  return true;
}

}  // namespace kv
