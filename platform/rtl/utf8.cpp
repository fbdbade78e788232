#include "platform/rtl/utf8.h"

namespace kv::utf8 {

namespace {
constexpr char32_t kRawByteBase = 0xDC00;  // lone surrogates never come out of valid UTF-8

bool IsCont(unsigned char b) { return (b & 0xC0) == 0x80; }
}  // namespace

char32_t Next(std::string_view S, size_t& i) {
  const unsigned char b0 = static_cast<unsigned char>(S[i]);
  if (b0 < 0x80) { ++i; return b0; }
  const size_t left = S.size() - i;
  auto byte = [&](size_t k) { return static_cast<unsigned char>(S[i + k]); };
  if (b0 >= 0xC2 && b0 <= 0xDF && left >= 2 && IsCont(byte(1))) {
    const char32_t c = (char32_t(b0 & 0x1F) << 6) | (byte(1) & 0x3F);
    i += 2;
    return c;
  }
  if (b0 >= 0xE0 && b0 <= 0xEF && left >= 3 && IsCont(byte(1)) && IsCont(byte(2))) {
    const char32_t c = (char32_t(b0 & 0x0F) << 12) | (char32_t(byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    if (c >= 0x800 && (c < 0xD800 || c > 0xDFFF)) { i += 3; return c; }
  }
  if (b0 >= 0xF0 && b0 <= 0xF4 && left >= 4 && IsCont(byte(1)) && IsCont(byte(2)) && IsCont(byte(3))) {
    const char32_t c = (char32_t(b0 & 0x07) << 18) | (char32_t(byte(1) & 0x3F) << 12) |
                       (char32_t(byte(2) & 0x3F) << 6) | (byte(3) & 0x3F);
    if (c >= 0x10000 && c <= 0x10FFFF) { i += 4; return c; }
  }
  ++i;
  return kRawByteBase + b0;
}

void Append(std::string& Out, char32_t C) {
  if (C >= kRawByteBase + 0x80 && C <= kRawByteBase + 0xFF) {
    Out += static_cast<char>(C - kRawByteBase);
  } else if (C < 0x80) {
    Out += static_cast<char>(C);
  } else if (C < 0x800) {
    Out += static_cast<char>(0xC0 | (C >> 6));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    Out += static_cast<char>(0xE0 | (C >> 12));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (C >> 18));
    Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  }
}

namespace {
// Ranges where a capital is followed by its small letter; OddUpper says the capitals are odd.
struct TPairRange {
  char32_t First, Last;
  bool OddUpper;
};
constexpr TPairRange kPairs[] = {
    {0x0100, 0x012F, false}, {0x0132, 0x0137, false}, {0x0139, 0x0148, true}, {0x014A, 0x0177, false},
    {0x0179, 0x017E, true},  {0x0460, 0x0481, false}, {0x048A, 0x04BF, false},
};

const TPairRange* FindPair(char32_t C) {
  for (const TPairRange& r : kPairs)
    if (C >= r.First && C <= r.Last) return &r;
  return nullptr;
}

bool IsPairUpper(const TPairRange& R, char32_t C) { return ((C & 1) != 0) == R.OddUpper; }
}  // namespace

char32_t ToUpper(char32_t C) {
  if (C < 0x80) return (C >= 'a' && C <= 'z') ? C - 32 : C;
  if (C >= 0xE0 && C <= 0xFE && C != 0xF7) return C - 0x20;
  if (C == 0xFF) return 0x178;
  if (const TPairRange* r = FindPair(C)) return IsPairUpper(*r, C) ? C : C - 1;
  if (C >= 0x3B1 && C <= 0x3CB && C != 0x3C2) return C - 0x20;
  if (C == 0x3C2) return 0x3A3;  // final sigma
  if (C == 0x3AC) return 0x386;
  if (C >= 0x3AD && C <= 0x3AF) return C - 0x25;
  if (C == 0x3CC) return 0x38C;
  if (C == 0x3CD || C == 0x3CE) return C - 0x3F;
  if (C >= 0x430 && C <= 0x44F) return C - 0x20;
  if (C >= 0x450 && C <= 0x45F) return C - 0x50;
  return C;
}

char32_t ToLower(char32_t C) {
  if (C < 0x80) return (C >= 'A' && C <= 'Z') ? C + 32 : C;
  if (C >= 0xC0 && C <= 0xDE && C != 0xD7) return C + 0x20;
  if (C == 0x178) return 0xFF;
  if (const TPairRange* r = FindPair(C)) return IsPairUpper(*r, C) ? C + 1 : C;
  if (C >= 0x391 && C <= 0x3AB && C != 0x3A2) return C + 0x20;
  if (C == 0x386) return 0x3AC;
  if (C >= 0x388 && C <= 0x38A) return C + 0x25;
  if (C == 0x38C) return 0x3CC;
  if (C == 0x38E || C == 0x38F) return C + 0x3F;
  if (C >= 0x410 && C <= 0x42F) return C + 0x20;
  if (C >= 0x400 && C <= 0x40F) return C + 0x50;
  return C;
}

}  // namespace kv::utf8
