// Small shared routines: version tests, bits and bytes for the codecs, powers,
// processor features, checked stream writes, file sizes and owner windows.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "platform/rtl/types.h"

namespace kv {

class TComponent;
class TStream;

// The 148-byte version record of the window system's GetVersionEx.
struct TOSVersionInfo {
  uint32_t dwOSVersionInfoSize = 148;
  uint32_t dwMajorVersion = 0;
  uint32_t dwMinorVersion = 0;
  uint32_t dwBuildNumber = 0;
  uint32_t dwPlatformId = 0;
  char szCSDVersion[128] = {};
};
static_assert(sizeof(TOSVersionInfo) == 148);

constexpr uint32_t VER_PLATFORM_WIN32s = 0;
constexpr uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr uint32_t VER_PLATFORM_WIN32_NT = 2;

// The version the program reports about its system: platform NT 10.0, so
// the version rules take the modern paths. Returns false when no version is known.
bool GetVersionEx(TOSVersionInfo& Info);
// Replaces the version source (tests); an empty function restores the default.
using TGetVersionExFunc = std::function<bool(TOSVersionInfo& Info)>;
void SetGetVersionExFunc(TGetVersionExFunc Func);

bool IsWin2000OrLater();
bool IsWinXP();

// Number of consecutive set bits from the lowest set bit.
int32_t MaskBitWidth(uint32_t Mask);
// -1 for 0; the index of the only set bit; else one above the highest set bit.
int32_t MaskTopBit(uint32_t Mask);
void ReverseBits32(uint32_t& Value);
void ReverseByteBits(uint8_t& Value);
inline uint16_t Swap16(uint16_t Value) { return static_cast<uint16_t>((Value >> 8) | (Value << 8)); }
inline uint32_t Swap32(uint32_t Value) {
  return (Value >> 24) | ((Value >> 8) & 0x0000FF00u) | ((Value << 8) & 0x00FF0000u) | (Value << 24);
}

// x^n by repeated squaring; 1 for n = 0, 1 / x^-n for negative n.
double IntPowerOf(double X, int32_t N);
// Base^Exponent (note the argument order).
double PowerOf(double Exponent, double Base);

bool CPUHasMMX();

// Writes Count bytes; sets Error (never clears it) when the stream takes fewer.
void SafeStreamWrite(TStream& Stream, bool& Error, const void* Buffer, int32_t Count);

// Size in bytes of a readable file; -1 when it cannot be opened (or is a folder).
int64_t FileSizeByName(const std::string& FileName);

// The window of the first TWinControl met from Component (itself included)
// up its owner chain, when that control has one already; else 0. No window
// is made here.
HWND OwnerWindowHandle(TComponent* Component);

}  // namespace kv
