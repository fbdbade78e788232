// Filter Factory formulas, third stage: constant folding. What is fixed for a
// run (numbers, the picture size, the controls) is worked out once, before any
// pixel. Calls that read pixels, memory or the random generator are never folded.
#pragma once
#include <cstdint>

#include "imaging/processing/ff_parser.h"

namespace kv {

// What a run fixes before the first pixel.
struct TFFConstants {
  int32_t Ctl[8] = {};
  int32_t X = 0;         // width
  int32_t Y = 0;         // height
  int32_t Channel = -1;  // the channel of the formula (0 red, 1 green, 2 blue); -1 leaves z open
};

// M: half the rounded diagonal.
int32_t FFDiagonalHalf(int32_t X, int32_t Y);
// The value of an operand that does not change from pixel to pixel; false for the others.
bool FFConstantOperand(const TFFNode& Node, const TFFConstants& C, int32_t& Value);
// Value of a call of a pure function (not get, put, rnd, src or cnv) on known arguments.
int32_t FFApplyFunction(uint8_t Function, const int32_t* Args, const TFFConstants& C);
// True for the calls whose value depends on more than their arguments.
bool FFNeverFolded(uint8_t Function);
// Replaces every constant subtree of the tree by its value, bottom up.
void FFFold(TFFTree& Tree, const TFFConstants& C);

}  // namespace kv
