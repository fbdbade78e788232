// Binary PPM (P6, maxval 255) straight to and from a 24-bit TBitmap for the
// bench tools, so that the side-by-side scripts time the work and not our
// file handling: the file is mapped and each row is swapped from RGB to BGR
// into its scan line in one pass; writing swaps rows into a buffer that
// stays in the cache and hands it to the kernel one large block at a time.
#pragma once
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KV_BENCH_SSSE3 1
#include <immintrin.h>
#endif

namespace kv::bench {

#ifdef KV_BENCH_SSSE3
// Four pixels per 16-byte step; the 4 bytes past them are rewritten by the
// next step, and the loop stops while a whole 16 bytes still lie in the row.
__attribute__((target("ssse3"))) inline void SwapRedBlueSsse3(uint8_t* __restrict Dst, const uint8_t* __restrict Src,
                                                              int64_t Pixels) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
  int64_t x = 0;
  for (; x + 6 <= Pixels; x += 4, Src += 12, Dst += 12)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Dst),
                     _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Src)), order));
  for (; x < Pixels; ++x, Src += 3, Dst += 3) Dst[0] = Src[2], Dst[1] = Src[1], Dst[2] = Src[0];
}
#endif

// RGB <-> BGR for Pixels pixels; the same swap serves both ways. Without a
// byte shuffle the compiler's vectorised loop is about half as fast.
inline void SwapRedBlue(uint8_t* __restrict Dst, const uint8_t* __restrict Src, int64_t Pixels) {
#ifdef KV_BENCH_SSSE3
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) return SwapRedBlueSsse3(Dst, Src, Pixels);
#endif
  for (int64_t i = 0; i < Pixels * 3; i += 3) {
    Dst[i] = Src[i + 2];
    Dst[i + 1] = Src[i + 1];
    Dst[i + 2] = Src[i];
  }
}

namespace ppm_detail {

class TFd {
 public:
  explicit TFd(int Fd) : FFd(Fd) {}
  ~TFd() {
    if (FFd >= 0) ::close(FFd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return FFd; }
  // Closes now and reports whether that went well (a late write error shows here).
  bool Close() {
    const int fd = FFd;
    FFd = -1;
    return ::close(fd) == 0;
  }

 private:
  int FFd;
};

class TMapping {
 public:
  TMapping(void* Addr, size_t Size) : FAddr(Addr), FSize(Size) {}
  ~TMapping() {
    if (FAddr != MAP_FAILED) ::munmap(FAddr, FSize);
  }
  TMapping(const TMapping&) = delete;
  TMapping& operator=(const TMapping&) = delete;
  const uint8_t* Data() const { return FAddr == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(FAddr); }

 private:
  void* FAddr;
  size_t FSize;
};

// One header number at Pos, after white space and comments; -1 when there is none or it is too large.
inline int64_t Token(const uint8_t* Data, size_t Size, size_t& Pos) {
  auto space = [](uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
  while (Pos < Size && (space(Data[Pos]) || Data[Pos] == '#')) {
    if (Data[Pos] == '#')
      while (Pos < Size && Data[Pos] != '\n') ++Pos;
    else ++Pos;
  }
  int64_t v = -1;
  while (Pos < Size && Data[Pos] >= '0' && Data[Pos] <= '9' && v < 1000000) v = (v < 0 ? 0 : v * 10) + (Data[Pos++] - '0');
  return v > 1000000 ? -1 : v;
}

}  // namespace ppm_detail

// Fills Out (made 24-bit) from the file; false for a file that cannot be
// read, is not a binary PPM of maxval 255, or is shorter than its header says.
inline bool ReadPpm(const char* Path, TBitmap& Out) {
  using namespace ppm_detail;
  TFd fd(::open(Path, O_RDONLY | O_CLOEXEC));
  struct stat st;
  if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || st.st_size < 2) return false;
  const size_t size = size_t(st.st_size);
  // Populating the whole mapping at once is far cheaper than a fault per page.
  const TMapping map(::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.Get(), 0), size);
  const uint8_t* data = map.Data();
  if (!data || data[0] != 'P' || data[1] != '6') return false;
  size_t pos = 2;
  const int64_t w = Token(data, size, pos), h = Token(data, size, pos), maxval = Token(data, size, pos);
  ++pos;  // the single white-space byte before the raster
  if (w <= 0 || h <= 0 || maxval != 255) return false;
  const int64_t rowLen = w * 3;
  if (pos > size || int64_t(size - pos) / rowLen < h) return false;  // truncated
  try {
    Out.SetSize(0, 0);
    Out.SetPixelFormat(pf24bit);
    Out.SetSize(int32_t(w), int32_t(h));
  } catch (...) {
    return false;  // larger than a bitmap may be
  }
  uint8_t* bits = Out.Bits();
  const int64_t stride = Out.RowBytes();
  for (int64_t y = 0; y < h; ++y) SwapRedBlue(bits + y * stride, data + pos + y * rowLen, w);
  return true;
}

// Writes a 24-bit bitmap; false when the file cannot be written in full.
inline bool WritePpm(const char* Path, const TBitmap& Bmp) {
  using namespace ppm_detail;
  if (Bmp.PixelFormat() != pf24bit) return false;
  TFd fd(::open(Path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (fd.Get() < 0) return false;
  const int64_t w = Bmp.Width(), h = Bmp.Height(), rowLen = w * 3;
  const std::string header = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
  // About 1 MiB, so that the rows swapped into it are still in the cache when the kernel copies them out.
  const int64_t rowsPerBlock = std::max<int64_t>(1, (int64_t(1) << 20) / std::max<int64_t>(rowLen, 1));
  std::vector<uint8_t> block(header.size() + size_t(std::min(h, rowsPerBlock) * rowLen));
  auto writeAll = [&](const uint8_t* P, size_t N) {
    while (N > 0) {
      const ssize_t n = ::write(fd.Get(), P, N);
      if (n <= 0) return false;
      P += n, N -= size_t(n);
    }
    return true;
  };
  std::copy(header.begin(), header.end(), block.begin());
  size_t used = header.size();
  for (int64_t y = 0; y < h;) {
    const int64_t n = std::min(rowsPerBlock, h - y);
    for (int64_t i = 0; i < n; ++i, ++y)
      SwapRedBlue(block.data() + used + size_t(i * rowLen), Bmp.Bits() + y * Bmp.RowBytes(), w);
    if (!writeAll(block.data(), used + size_t(n * rowLen))) return false;
    used = 0;
  }
  if (h == 0 && !writeAll(block.data(), used)) return false;
  return fd.Close();
}

}  // namespace kv::bench
