#include "imaging/model/im_utils.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

#include "imaging/model/pixel.h"
#include "platform/rtl/pascal_math.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/window_owner.h"

namespace kv {
namespace {

bool DefaultVersion(TOSVersionInfo& Info) {
  if (Info.dwOSVersionInfoSize != sizeof(TOSVersionInfo)) return false;
  Info.dwMajorVersion = 10;
  Info.dwMinorVersion = 0;
  Info.dwBuildNumber = 0;
  Info.dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(Info.szCSDVersion, 0, sizeof Info.szCSDVersion);
  return true;
}

TGetVersionExFunc& VersionFunc() {
  static TGetVersionExFunc f;
  return f;
}

// Bit x of a 1-bit row (kBitMask[x]) moves to bit value 1 << x: the byte read backwards.
constexpr std::array<uint8_t, 256> MakeReversedBytes() {
  std::array<uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    int r = 0;
    for (int x = 0; x < 8; ++x)
      if (v & kBitMask[x]) r |= 1 << x;
    t[v] = static_cast<uint8_t>(r);
  }
  return t;
}
constexpr std::array<uint8_t, 256> kReversedBytes = MakeReversedBytes();

}  // namespace

bool GetVersionEx(TOSVersionInfo& Info) {
  const TGetVersionExFunc& f = VersionFunc();
  return f ? f(Info) : DefaultVersion(Info);
}

void SetGetVersionExFunc(TGetVersionExFunc Func) { VersionFunc() = std::move(Func); }

bool IsWin2000OrLater() {
  TOSVersionInfo v;
  if (!GetVersionEx(v)) return false;
  if (v.dwPlatformId == VER_PLATFORM_WIN32_NT) return v.dwMajorVersion > 4;
  if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return v.dwMajorVersion > 3 && v.dwMinorVersion >= 90;
  return false;
}

bool IsWinXP() {
  TOSVersionInfo v;
  if (!GetVersionEx(v)) return false;
  return v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion == 5 && v.dwMinorVersion == 1;
}

int32_t MaskBitWidth(uint32_t Mask) {
  int i = 0;
  while (i < 31 && (Mask & (1u << i)) == 0) ++i;
  int32_t n = 0;
  while (i < 32 && (Mask & (1u << i)) != 0) {
    ++n;
    ++i;
  }
  return n;
}

int32_t MaskTopBit(uint32_t Mask) {
  int32_t result = -1;
  for (int i = 0; i < 32; ++i) {
    if ((Mask & (1u << i)) == 0) continue;
    result = result < 0 ? i : i + 1;
  }
  return result;
}

void ReverseBits32(uint32_t& Value) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i) r = (r << 8) | kReversedBytes[(Value >> (8 * i)) & 0xFF];
  Value = r;
}

void ReverseByteBits(uint8_t& Value) { Value = kReversedBytes[Value]; }

double IntPowerOf(double X, int32_t N) {
  // In 64 bits so that -N of the smallest int32 does not overflow.
  uint64_t e = N < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(N)) : static_cast<uint64_t>(N);
  double result = 1.0, base = X;
  while (e != 0) {
    if (e & 1) result *= base;
    base *= base;
    e >>= 1;
  }
  if (N >= 0) return result;
  if (result == 0.0) return std::numeric_limits<double>::infinity();
  return 1.0 / result;
}

double PowerOf(double Exponent, double Base) {
  if (Exponent == 0.0) return 1.0;
  if (Base == 0.0 && Exponent > 0.0) return 0.0;
  if (Frac(Exponent) == 0.0 && Exponent >= -2147483648.0 && Exponent <= 2147483647.0)
    return IntPowerOf(Base, static_cast<int32_t>(Exponent));
  return std::exp2(Exponent * std::log2(Base));
}

bool CPUHasMMX() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  // __get_cpuid checks that CPUID exists (the ID flag test) before using it.
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (edx & (1u << 23)) != 0;
#else
  return false;
#endif
}

void SafeStreamWrite(TStream& Stream, bool& Error, const void* Buffer, int32_t Count) {
  if (Stream.Write(Buffer, Count) < Count) Error = true;
}

int64_t FileSizeByName(const std::string& FileName) {
  // Non-blocking, so that a named pipe does not hang the caller.
  const int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  const bool ok = ::fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode);
  ::close(fd);
  return ok ? static_cast<int64_t>(st.st_size) : -1;
}

HWND OwnerWindowHandle(TComponent* Component) {
  TComponent* c = Component;
  while (c && !dynamic_cast<TWindowOwner*>(c)) c = c->Owner();
  auto* w = dynamic_cast<TWindowOwner*>(c);
  return w ? w->ExistingWindow() : 0;
}

}  // namespace kv
