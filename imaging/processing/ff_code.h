// Filter Factory formulas, fourth stage: a flat register code. Every register
// holds one value per pixel of a block; each instruction runs over the whole
// block before the next starts, so the cost of decoding an instruction is
// shared by all pixels of the block.
#pragma once
#include <cstdint>
#include <vector>

#include "imaging/processing/ff_fold.h"

namespace kv {

enum TFFOpcode : uint8_t {
  // lane-wise on A[0], A[1]
  fcAdd, fcSub, fcMul, fcDiv, fcMod, fcShl, fcShr, fcAnd, fcOr, fcXor, fcEq, fcNe, fcGt, fcLt, fcGe,
  fcLe, fcLAnd, fcLOr,
  // lane-wise on A[0] and the immediate: the common "value op constant"
  fcAddI, fcMulI, fcDivI, fcShlI, fcShrI, fcAndI,
  fcNot, fcBitNot, fcSelect,  // Select: A[0] > 0 ? A[1] : A[2]
  // calls
  fcAbs, fcAdd3, fcSub3, fcDif, fcMax, fcMin, fcMix, fcScl, fcSqr, fcCtl, fcVal, fcMap, fcGet, fcPut,
  fcRnd, fcSrc, fcCnv, fcC2d, fcC2m, fcCos, fcSin, fcTan, fcR2x, fcR2y,
  // operands worked out from the pixel and its place
  fcOpI, fcOpU, fcOpV, fcOpD, fcOpM,
  // control flow, only in one-pixel blocks (formulas with get, put or rnd)
  fcMov, fcJump, fcJumpLE0,
  fcOpcodeCount
};

struct TFFInstr {
  TFFOpcode Op = fcAdd;
  uint16_t Dst = 0;
  uint16_t A[10] = {};
  int32_t Imm = 0;   // constant operand; jump target; channel of cnv; X/2 of r2x and d
  int32_t Imm2 = 0;  // Y/2 of r2y and d
};

// Fixed registers, filled per block before the code runs.
enum TFFRegister : uint16_t { frR, frG, frB, frX, frY, frI, frU, frV, frD, frM, frFixedCount };

struct TFFCode {
  std::vector<TFFInstr> Prologue;    // the pixel operands the formulas use (i, u, v, d, m)
  std::vector<TFFInstr> Channel[3];  // red, green, blue
  uint16_t Result[3] = {};
  std::vector<std::pair<uint16_t, int32_t>> Constants;  // registers filled once per run
  int32_t RegisterCount = frFixedCount;
  // get, put or rnd occur: pixels must then run one at a time, red, green and
  // blue in turn, so memory and the random sequence see the order of a tree walk.
  bool Sequential = false;
};

// Generates the code of three folded trees (red, green, blue) of a run.
// False when the formulas need more registers than the code can address.
bool FFGenerate(const TFFTree* Trees, const TFFConstants& C, TFFCode& Code);

}  // namespace kv
