#include "imaging/processing/ff_lexer.h"

#include <cstring>

namespace kv {

const char* const kFFOperatorNames[fopCount] = {",",  "?",  ":",  "||", "&&", "|", "^", "&",
                                                "==", "!=", ">",  "<",  ">=", "<=", "<<", ">>",
                                                "+",  "-",  "/",  "%",  "*",  "!",  "~"};
const char* const kFFFunctionNames[ffnCount] = {
    "abs(", "add(", "cnv(", "ctl(", "dif(", "get(", "put(", "map(", "rst(", "max(",
    "min(", "mix(", "rnd(", "scl(", "sqr(", "src(", "sub(", "val(", "c2d(", "c2m(",
    "cos(", "sin(", "tan(", "r2x(", "r2y(", "rad(", "(",    ")"};
const char* const kFFOperandNames[fodCount] = {"CONST", "dmin", "mmin", "r", "g", "b", "c", "x", "y", "X",
                                               "Y",     "i",    "u",    "v", "z", "Z", "d", "D", "m", "M"};
const uint8_t kFFFunctionArgs[ffnCount] = {1, 3, 10, 1, 2, 1, 2, 2, 1, 2, 2, 4, 2, 5,
                                           1, 3, 3,  3, 2, 2, 1, 1, 1, 2, 2, 3, 1, 0};

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlnum(char c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A number runs over letters and digits; "0x" (any first digit, "x" second)
// makes it hexadecimal. Hexadecimal numbers take 32 bits, so 0xFFFFFFFF is -1;
// a decimal number must fit a signed 32-bit integer.
bool ConvertNumber(std::string_view Text, int32_t& Value) {
  uint64_t v = 0;
  if (Text.size() >= 2 && (Text[1] == 'x' || Text[1] == 'X')) {
    if (Text.size() == 2) return false;
    for (size_t k = 2; k < Text.size(); ++k) {
      const int h = HexDigit(Text[k]);
      if (h < 0) return false;
      v = v * 16 + uint64_t(h);
      if (v > 0xFFFFFFFFu) return false;
    }
    Value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
  }
  for (char c : Text) {
    if (!IsDigit(c)) return false;
    v = v * 10 + uint64_t(c - '0');
    if (v > 0x7FFFFFFFu) return false;
  }
  Value = static_cast<int32_t>(v);
  return true;
}

bool StartsWith(std::string_view Text, size_t At, const char* Name) {
  const size_t n = std::strlen(Name);
  return Text.size() - At >= n && Text.compare(At, n, Name) == 0;
}

}  // namespace

int32_t FFTokenize(std::string_view Formula, std::vector<TFFToken>& Tokens) {
  Tokens.clear();
  size_t at = 0;
  int32_t pos = 1;  // in characters: UTF-8 continuation bytes do not count
  auto advance = [&](size_t n) {
    for (size_t k = 0; k < n && at < Formula.size(); ++k, ++at)
      if ((static_cast<uint8_t>(Formula[at]) & 0xC0) != 0x80) ++pos;
  };
  while (at < Formula.size()) {
    const char ch = Formula[at];
    if (StartsWith(Formula, at, "//")) {
      size_t end = at;
      while (end < Formula.size() && Formula[end] != '\n' && Formula[end] != '\r') ++end;
      advance(end - at);
      continue;
    }
    if (ch == ' ') {
      advance(1);
      continue;
    }
    TFFToken t;
    t.Pos = pos;
    if (IsDigit(ch)) {
      size_t end = at;
      while (end < Formula.size() && IsAlnum(Formula[end])) ++end;
      if (!ConvertNumber(Formula.substr(at, end - at), t.Value)) return pos;
      t.Class = ftcOperand;
      t.Index = fodConst;
      Tokens.push_back(t);
      advance(end - at);
      continue;
    }
    size_t len = 0;
    for (int k = 0; k < ffnCount && !len; ++k)
      if (StartsWith(Formula, at, kFFFunctionNames[k])) {
        t.Class = ftcFunction;
        t.Index = uint8_t(k);
        len = std::strlen(kFFFunctionNames[k]);
      }
    for (int k = 0; k < fodCount && !len; ++k)
      if (StartsWith(Formula, at, kFFOperandNames[k])) {
        t.Class = ftcOperand;
        t.Index = uint8_t(k);
        len = std::strlen(kFFOperandNames[k]);
      }
    // Two-character operators before the one-character ones.
    for (int width = 2; width >= 1 && !len; --width)
      for (int k = 0; k < fopCount && !len; ++k)
        if (std::strlen(kFFOperatorNames[k]) == size_t(width) && StartsWith(Formula, at, kFFOperatorNames[k])) {
          t.Class = ftcOperator;
          t.Index = uint8_t(k);
          len = size_t(width);
        }
    if (!len) return pos;
    Tokens.push_back(t);
    advance(len);
  }
  return 0;
}

}  // namespace kv
