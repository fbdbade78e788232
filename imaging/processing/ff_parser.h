// Filter Factory formulas, second stage: the expression tree and the parser.
// Calls are parsed first, innermost first; then each operator level from the
// loosest splits what is left, so operators of one level group from the left
// and each binary operator is a level of its own (a / b * c is a / (b * c)).
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "imaging/processing/ff_lexer.h"

namespace kv {

// Deeper trees are refused as a syntax error; no formula a person writes comes
// near, and it bounds the recursion of everything that walks a tree.
constexpr int32_t kFFMaxDepth = 500;

struct TFFNode {
  TFFTokenClass Class = ftcOperand;
  uint8_t Index = 0;      // operator, function or operand after Class
  uint8_t ArgCount = 0;   // operands of an operator, arguments of a call
  int32_t Value = 0;      // of a number
  int32_t Pos = 0;        // 1-based position of the token the node came from
  int32_t Depth = 1;
  // Nodes of the same tree: binary left, right; "?:" condition, then, else; unary the operand.
  int32_t Args[10] = {};
};

struct TFFTree {
  std::vector<TFFNode> Nodes;
  int32_t Root = -1;
  const TFFNode& operator[](int32_t Index) const { return Nodes[size_t(Index)]; }
  TFFNode& operator[](int32_t Index) { return Nodes[size_t(Index)]; }
};

// Parses a token list. 0 on success, else the 1-based error position; no tokens is error 1.
int32_t FFParse(const std::vector<TFFToken>& Tokens, TFFTree& Tree);
// Tokenizes and parses one formula: 0 or the error position.
int32_t FFParseFormula(std::string_view Formula, TFFTree& Tree);

}  // namespace kv
