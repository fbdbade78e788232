// Cursor ids: the window system's standard cursors (negative ids) and the
// program's own cursors registered under positive ids.
#pragma once
#include <cstdint>

namespace kv {

class TBitmap;

using TCursor = int16_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
constexpr TCursor crSize = -22;

// A registered cursor's picture: 32 x 32 pixels from an AND mask and an XOR
// mask of 128 bytes each (rows of 4 bytes, top row first, most significant
// bit leftmost). AND 1 / XOR 0 is transparent, 0/0 black, 0/1 white, 1/1
// inverts the screen (drawn black where inversion is not available).
struct TCursorMasks {
  uint8_t AndMask[128] = {};
  uint8_t XorMask[128] = {};
};

// Registers (or replaces) the cursor of a positive id. A bitmap cursor takes
// its pixels and the bitmap's transparent colour as the see-through colour.
// Ids 0 and below are the standard cursors and are not replaced: returns false.
bool RegisterCursor(TCursor Id, const TCursorMasks& Masks, int32_t HotX, int32_t HotY);
bool RegisterCursor(TCursor Id, const TBitmap& Image, int32_t HotX, int32_t HotY);
void UnregisterCursor(TCursor Id);
// True for the standard ids and for registered ones.
bool CursorExists(TCursor Id);
// The hot spot of a registered cursor ((0, 0) for standard ones).
bool CursorHotSpot(TCursor Id, int32_t& HotX, int32_t& HotY);

}  // namespace kv
