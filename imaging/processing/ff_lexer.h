// Filter Factory formulas, first stage: the vocabulary and the tokenizer.
// A formula is plain text; names are case-sensitive and a function name
// includes its opening parenthesis ("abs(").
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv {

enum TFFTokenClass : uint8_t { ftcOperator, ftcFunction, ftcOperand };

// From the loosest to the tightest binding; the last two are unary.
enum TFFOperator : uint8_t {
  fopComma, fopQuest, fopColon, fopLOr, fopLAnd, fopOr, fopXor, fopAnd, fopEq, fopNe, fopGt, fopLt,
  fopGe, fopLe, fopShl, fopShr, fopAdd, fopSub, fopDiv, fopMod, fopMul, fopNot, fopBitNot,
  fopCount
};

// In the order the tokenizer tries them; "(" groups and ")" closes any call.
enum TFFFunction : uint8_t {
  ffnAbs, ffnAdd, ffnCnv, ffnCtl, ffnDif, ffnGet, ffnPut, ffnMap, ffnRst, ffnMax, ffnMin, ffnMix,
  ffnRnd, ffnScl, ffnSqr, ffnSrc, ffnSub, ffnVal, ffnC2d, ffnC2m, ffnCos, ffnSin, ffnTan, ffnR2x,
  ffnR2y, ffnRad, ffnParen, ffnClose,
  ffnCount
};

// fodConst is a number (the name "CONST" itself reads as 0); fodXX is "X", fodYY "Y" and so on.
enum TFFOperand : uint8_t {
  fodConst, fodDmin, fodMmin, fodR, fodG, fodB, fodC, fodX, fodY, fodXX, fodYY, fodI, fodU, fodV,
  fodZ, fodZZ, fodD, fodDD, fodM, fodMM,
  fodCount
};

struct TFFToken {
  TFFTokenClass Class = ftcOperand;
  uint8_t Index = 0;  // a TFFOperator, TFFFunction or TFFOperand after Class
  int32_t Value = 0;  // of a number
  int32_t Pos = 0;    // 1-based character position in the formula
};

// Spelling of each name, as the formula writes it.
extern const char* const kFFOperatorNames[fopCount];
extern const char* const kFFFunctionNames[ffnCount];
extern const char* const kFFOperandNames[fodCount];
// Arguments of each function; "(" takes one, ")" none.
extern const uint8_t kFFFunctionArgs[ffnCount];

// Splits a formula into tokens. 0 on success, else the 1-based position of the
// character (or of the malformed number) where tokenizing stopped.
int32_t FFTokenize(std::string_view Formula, std::vector<TFFToken>& Tokens);

}  // namespace kv
