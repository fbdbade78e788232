// Binary PPM (P6, 24-bit) and PBM (P4, 1-bit) files of a TBitmap, the form
// the outside tools read and write.
#pragma once
#include <cctype>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/graphics/bitmap.h"
#include "support/temp_files.h"

namespace kv::test {

// Bytes of a PBM row: a set bit is black, the opposite of ours; the bits past
// the last pixel are left clear.
inline void ComplementBits(const uint8_t* Src, uint8_t* Dst, int32_t Width) {
  const int32_t n = (Width + 7) / 8;
  for (int32_t i = 0; i < n; ++i) Dst[i] = uint8_t(~Src[i]);
  if (Width % 8) Dst[n - 1] &= uint8_t(0xFF << (8 - Width % 8));
}

// RGB from BGR and back: the same swap either way.
inline void SwapRedBlue(const uint8_t* Src, uint8_t* Dst, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x) {
    const uint8_t* p = Src + 3 * x;
    uint8_t* q = Dst + 3 * x;
    q[0] = p[2], q[1] = p[1], q[2] = p[0];
  }
}

// P4 for a pf1bit bitmap, P6 (RGB, maxval 255) for a pf24bit one.
inline void WritePnm(const std::string& Path, const TBitmap& B) {
  std::ofstream f(Path, std::ios::binary);
  const bool bw = B.PixelFormat() == pf1bit;
  f << (bw ? "P4\n" : "P6\n") << B.Width() << ' ' << B.Height() << '\n' << (bw ? "" : "255\n");
  std::string row(bw ? size_t((B.Width() + 7) / 8) : size_t(B.Width()) * 3, '\0');
  auto* out = reinterpret_cast<uint8_t*>(row.data());
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* r = static_cast<const uint8_t*>(B.ScanLine(y));
    if (bw) ComplementBits(r, out, B.Width());
    else SwapRedBlue(r, out, B.Width());
    f << row;
  }
}

struct TPnmHeader {
  std::string Magic;   // "P4" or "P6"
  int32_t Width = 0, Height = 0;
  size_t Raster = 0;   // offset of the first pixel byte
};

// The header of a binary PBM or of a PPM of maxval 255, comments allowed;
// false for anything else or a header that runs past the data.
inline bool ParsePnmHeader(std::string_view D, TPnmHeader& H) {
  if (D.size() < 2 || D[0] != 'P' || (D[1] != '4' && D[1] != '6')) return false;
  H.Magic = std::string(D.substr(0, 2));
  size_t pos = 2;
  auto token = [&]() -> long {
    while (pos < D.size() && (std::isspace(uint8_t(D[pos])) || D[pos] == '#')) {
      if (D[pos] == '#')
        while (pos < D.size() && D[pos] != '\n') ++pos;
      else ++pos;
    }
    long v = 0;
    bool any = false;
    while (pos < D.size() && std::isdigit(uint8_t(D[pos])) && v < 100000)
      v = v * 10 + (D[pos++] - '0'), any = true;
    return any ? v : -1;
  };
  const long w = token(), h = token();
  if (H.Magic == "P6" && token() != 255) return false;
  ++pos;  // the single white-space byte before the raster
  if (w <= 0 || h <= 0 || pos > D.size()) return false;
  H.Width = int32_t(w), H.Height = int32_t(h), H.Raster = pos;
  return true;
}

// Reads a file as WritePnm writes it into a pf1bit or pf24bit B.
inline bool ReadPnm(const std::string& Path, TBitmap& B) {
  const std::string d = ReadText(Path);
  TPnmHeader h;
  if (!ParsePnmHeader(d, h)) return false;
  const bool bw = h.Magic == "P4";
  const size_t rowLen = bw ? size_t((h.Width + 7) / 8) : size_t(h.Width) * 3;
  if (d.size() < h.Raster + rowLen * size_t(h.Height)) return false;
  B.SetSize(0, 0);
  B.SetPixelFormat(bw ? pf1bit : pf24bit);
  B.SetSize(h.Width, h.Height);
  for (int32_t y = 0; y < h.Height; ++y) {
    auto* r = static_cast<uint8_t*>(B.ScanLine(y));
    std::memset(r, 0, size_t(B.RowBytes()));
    const auto* s = reinterpret_cast<const uint8_t*>(d.data()) + h.Raster + rowLen * size_t(y);
    if (bw) ComplementBits(s, r, h.Width);
    else SwapRedBlue(s, r, h.Width);
  }
  return true;
}

}  // namespace kv::test
