// Filter Factory formulas: any text either fails with a position inside it or
// compiles, and a compiled filter gives on a small picture exactly what the
// plain tree walker of the tests gives, memory cells and random draws included.
// Input: one byte of settings, then the red, green and blue formulas separated by 0x01.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "imaging/processing/ff_eval.h"
#include "platform/rtl/random.h"
#include "tests/imaging/ff_reference.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

int32_t Characters(const std::string& S) {
  int32_t n = 0;
  for (unsigned char c : S) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1 || Size > 4096) return 0;
  const uint8_t settings = Data[0];
  std::array<std::string, 3> f = {"r", "g", "b"};
  size_t k = 0;
  std::string cur;
  for (size_t i = 1; i < Size; ++i) {
    if (Data[i] == 0x01 && k < 2) {
      f[k++] = cur;
      cur.clear();
    } else {
      cur += char(Data[i]);
    }
  }
  f[k] = cur;

  kv::TFFTree trees[3];
  for (int c = 0; c < 3; ++c) {
    const int32_t err = kv::FFParseFormula(f[size_t(c)], trees[c]);
    // A stray byte of a broken UTF-8 sequence is no character: its error may sit just past the text.
    Check(err >= 0 && err <= Characters(f[size_t(c)]) + 1);
    if (err) return 0;
  }
  kv::FFControlUsed(f, settings & 7);

  const int32_t w = 1 + (settings & 3), h = 1 + ((settings >> 2) & 3);
  kv::TBitmap src(w, h);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = static_cast<uint8_t*>(src.ScanLine(y));
    for (int32_t x = 0; x < w * 3; ++x) row[x] = uint8_t(x * 37 + y * 101 + settings);
  }
  int32_t controls[8];
  for (int c = 0; c < 8; ++c) controls[c] = (c * 53 + settings) & 255;
  const double scale = (settings & 0x10) ? 1.5 : 1.0;

  std::array<int32_t, 256> memory{};
  kv::FFMemory() = memory;
  kv::RandSeed = 12345;
  kv::TBitmap want;
  kv::test::RefRunFilter(trees, controls, src, want, scale, memory);
  const int32_t seedAfter = kv::RandSeed;

  kv::RandSeed = 12345;
  kv::TBitmap got(w, h);
  kv::TProgressRec progress;
  Check(kv::FFRunFilter(f, controls, src, got, progress, {0, 0, w, h}, scale) == 0);
  for (int32_t y = 0; y < h; ++y) Check(std::memcmp(want.ScanLine(y), got.ScanLine(y), size_t(w) * 3) == 0);
  Check(kv::FFMemory() == memory);
  Check(kv::RandSeed == seedAfter);
  return 0;
}
