// The run-length and mode codes of two-level fax coding, built once into the
// lookup tables the decoder reads and the code lists the encoder writes.
#pragma once
#include <cstdint>

namespace kv::ccitt {

// Codes are right-aligned in Bits, Len bits long.
struct TCode {
  uint16_t Bits = 0;
  uint8_t Len = 0;
};

// One slot of a run lookup on the next kRunBits bits; Len 0: no run code starts there.
struct TRunSlot {
  int16_t Run = 0;  // 0..63 terminating, 64..2560 makeup, kEolRun for the end-of-line code
  uint8_t Len = 0;
};

enum TMode : uint8_t { mdInvalid, mdPass, mdHorizontal, mdVertical, mdExtension, mdZeros };

// One slot of the mode lookup on the next 7 bits.
struct TModeSlot {
  TMode Mode = mdInvalid;
  uint8_t Len = 0;
  int8_t Delta = 0;  // a1 - b1 of the vertical modes
};

constexpr int32_t kRunBits = 13;
constexpr int16_t kEolRun = -2;
constexpr uint16_t kEolBits = 1;  // eleven zeros and a one
constexpr uint8_t kEolLen = 12;

struct TTables {
  TRunSlot Runs[2][1 << kRunBits];  // [0] white, [1] black
  TModeSlot Modes[1 << 7];
  TCode Term[2][64];
  TCode Makeup[2][41];  // index run / 64, 1..40 (64 to 2560)
  TCode Pass, Horizontal, Vertical[7];  // Vertical[delta + 3]
};

const TTables& Tables();

}  // namespace kv::ccitt
