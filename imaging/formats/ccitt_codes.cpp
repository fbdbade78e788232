#include "imaging/formats/ccitt_codes.h"

#include <cstring>

namespace kv::ccitt {

namespace {

constexpr const char* const kWhiteTerm[64] = {
    "00110101", "000111", "0111", "1000", "1011", "1100", "1110", "1111", "10011", "10100", "00111", "01000",
    "001000", "000011", "110100", "110101", "101010", "101011", "0100111", "0001100", "0001000", "0010111",
    "0000011", "0000100", "0101000", "0101011", "0010011", "0100100", "0011000", "00000010", "00000011",
    "00011010", "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111",
    "00101000", "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101",
    "00001010", "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101",
    "01011000", "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011",
    "00110100",
};
constexpr const char* const kWhiteMakeup[27] = {
    "11011", "10010", "010111", "0110111", "00110110", "00110111", "01100100", "01100101", "01101000",
    "01100111", "011001100", "011001101", "011010010", "011010011", "011010100", "011010101", "011010110",
    "011010111", "011011000", "011011001", "011011010", "011011011", "010011000", "010011001", "010011010",
    "011000", "010011011",
};
constexpr const char* const kBlackTerm[64] = {
    "0000110111", "010", "11", "10", "011", "0011", "0010", "00011", "000101", "000100", "0000100", "0000101",
    "0000111", "00000100", "00000111", "000011000", "0000010111", "0000011000", "0000001000", "00001100111",
    "00001101000", "00001101100", "00000110111", "00000101000", "00000010111", "00000011000", "000011001010",
    "000011001011", "000011001100", "000011001101", "000001101000", "000001101001", "000001101010",
    "000001101011", "000011010010", "000011010011", "000011010100", "000011010101", "000011010110",
    "000011010111", "000001101100", "000001101101", "000011011010", "000011011011", "000001010100",
    "000001010101", "000001010110", "000001010111", "000001100100", "000001100101", "000001010010",
    "000001010011", "000000100100", "000000110111", "000000111000", "000000100111", "000000101000",
    "000001011000", "000001011001", "000000101011", "000000101100", "000001011010", "000001100110",
    "000001100111",
};
constexpr const char* const kBlackMakeup[27] = {
    "0000001111", "000011001000", "000011001001", "000001011011", "000000110011", "000000110100",
    "000000110101", "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101",
};
constexpr const char* const kExtMakeup[13] = {
    "00000001000", "00000001100", "00000001101", "000000010010", "000000010011", "000000010100",
    "000000010101", "000000010110", "000000010111", "000000011100", "000000011101", "000000011110",
    "000000011111",
};

TCode Parse(const char* Text) {
  TCode c;
  c.Len = uint8_t(std::strlen(Text));
  for (const char* p = Text; *p; ++p) c.Bits = uint16_t((c.Bits << 1) | (*p == '1'));
  return c;
}

void AddRun(TRunSlot* Table, TCode Code, int16_t Run) {
  const int32_t spare = kRunBits - Code.Len;
  const int32_t first = Code.Bits << spare;
  for (int32_t i = 0; i < (1 << spare); ++i) Table[first + i] = {Run, Code.Len};
}

void AddMode(TModeSlot* Table, const char* Text, TMode Mode, int8_t Delta = 0) {
  const TCode c = Parse(Text);
  const int32_t spare = 7 - c.Len;
  for (int32_t i = 0; i < (1 << spare); ++i) Table[(c.Bits << spare) + i] = {Mode, c.Len, Delta};
}

TTables Build() {
  TTables t;
  for (int32_t colour = 0; colour < 2; ++colour) {
    const char* const* term = colour == 0 ? kWhiteTerm : kBlackTerm;
    const char* const* makeup = colour == 0 ? kWhiteMakeup : kBlackMakeup;
    for (int32_t r = 0; r < 64; ++r) {
      t.Term[colour][r] = Parse(term[r]);
      AddRun(t.Runs[colour], t.Term[colour][r], int16_t(r));
    }
    for (int32_t m = 1; m <= 27; ++m) t.Makeup[colour][m] = Parse(makeup[m - 1]);
    for (int32_t m = 28; m <= 40; ++m) t.Makeup[colour][m] = Parse(kExtMakeup[m - 28]);
    for (int32_t m = 1; m <= 40; ++m) AddRun(t.Runs[colour], t.Makeup[colour][m], int16_t(m * 64));
    AddRun(t.Runs[colour], TCode{kEolBits, kEolLen}, kEolRun);
  }
  AddMode(t.Modes, "1", mdVertical, 0);
  AddMode(t.Modes, "011", mdVertical, 1);
  AddMode(t.Modes, "000011", mdVertical, 2);
  AddMode(t.Modes, "0000011", mdVertical, 3);
  AddMode(t.Modes, "010", mdVertical, -1);
  AddMode(t.Modes, "000010", mdVertical, -2);
  AddMode(t.Modes, "0000010", mdVertical, -3);
  AddMode(t.Modes, "001", mdHorizontal);
  AddMode(t.Modes, "0001", mdPass);
  AddMode(t.Modes, "0000001", mdExtension);  // three more bits follow
  AddMode(t.Modes, "0000000", mdZeros);      // an end of line, or nothing valid
  t.Pass = Parse("0001");
  t.Horizontal = Parse("001");
  const char* vertical[7] = {"0000010", "000010", "010", "1", "011", "000011", "0000011"};
  for (int32_t i = 0; i < 7; ++i) t.Vertical[i] = Parse(vertical[i]);
  return t;
}

}  // namespace

const TTables& Tables() {
  static const TTables tables = Build();
  return tables;
}

}  // namespace kv::ccitt
