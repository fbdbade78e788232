// Per-format pixel access shared by the bitmap conversions and the canvas.
// Each format is a small traits type; code that loops over pixels is a
// template over it and picks the format once per call (DispatchFormat), so
// no inner loop switches on the format.
//
// A "native" value is what one pixel holds: the palette index for 1/4/8 bits,
// the packed 555/565 word for 15/16 bits, 0x00RRGGBB for 24/32 bits.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "platform/graphics/bitmap.h"

namespace kv::gfx {

struct TRgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const TRgb&, const TRgb&) = default;
};

inline TRgb RgbOf(TColorRef c) { return TRgb{GetRValue(c), GetGValue(c), GetBValue(c)}; }
inline TColorRef ColorRefOf(TRgb c) { return RGB(c.r, c.g, c.b); }

// 5- and 6-bit channels widen by repeating their top bits, so full scale stays full scale.
inline uint8_t Widen5(uint32_t v) { return uint8_t((v << 3) | (v >> 2)); }
inline uint8_t Widen6(uint32_t v) { return uint8_t((v << 2) | (v >> 4)); }

struct TFmt1 {
  static constexpr bool Indexed = true;
  static constexpr uint32_t Mask = 0x1;
  static uint32_t Get(const uint8_t* Row, int32_t X) { return (Row[X >> 3] >> (7 - (X & 7))) & 1u; }
  static void Set(uint8_t* Row, int32_t X, uint32_t V) {
    const uint8_t m = uint8_t(0x80u >> (X & 7));
    if (V & 1) Row[X >> 3] |= m;
    else Row[X >> 3] &= uint8_t(~m);
  }
};

struct TFmt4 {
  static constexpr bool Indexed = true;
  static constexpr uint32_t Mask = 0xF;
  static uint32_t Get(const uint8_t* Row, int32_t X) {
    return (X & 1) ? (Row[X >> 1] & 0x0Fu) : uint32_t(Row[X >> 1] >> 4);
  }
  static void Set(uint8_t* Row, int32_t X, uint32_t V) {
    uint8_t& b = Row[X >> 1];
    b = (X & 1) ? uint8_t((b & 0xF0) | (V & 0x0F)) : uint8_t((b & 0x0F) | ((V & 0x0F) << 4));
  }
};

struct TFmt8 {
  static constexpr bool Indexed = true;
  static constexpr uint32_t Mask = 0xFF;
  static uint32_t Get(const uint8_t* Row, int32_t X) { return Row[X]; }
  static void Set(uint8_t* Row, int32_t X, uint32_t V) { Row[X] = uint8_t(V); }
};

struct TFmt16Base {
  static constexpr bool Indexed = false;
  static uint32_t Get(const uint8_t* Row, int32_t X) { return uint32_t(Row[2 * X]) | (uint32_t(Row[2 * X + 1]) << 8); }
  static void Set(uint8_t* Row, int32_t X, uint32_t V) {
    Row[2 * X] = uint8_t(V & 0xFF);
    Row[2 * X + 1] = uint8_t((V >> 8) & 0xFF);
  }
};

struct TFmt15 : TFmt16Base {
  static constexpr uint32_t Mask = 0x7FFF;
  static TRgb Unpack(uint32_t V) { return TRgb{Widen5((V >> 10) & 31), Widen5((V >> 5) & 31), Widen5(V & 31)}; }
  static uint32_t Pack(TRgb C) { return (uint32_t(C.r >> 3) << 10) | (uint32_t(C.g >> 3) << 5) | uint32_t(C.b >> 3); }
};

struct TFmt16 : TFmt16Base {
  static constexpr uint32_t Mask = 0xFFFF;
  static TRgb Unpack(uint32_t V) { return TRgb{Widen5((V >> 11) & 31), Widen6((V >> 5) & 63), Widen5(V & 31)}; }
  static uint32_t Pack(TRgb C) { return (uint32_t(C.r >> 3) << 11) | (uint32_t(C.g >> 2) << 5) | uint32_t(C.b >> 3); }
};

struct TFmt24 {
  static constexpr bool Indexed = false;
  static constexpr uint32_t Mask = 0xFFFFFF;
  static uint32_t Get(const uint8_t* Row, int32_t X) {
    const uint8_t* p = Row + 3 * X;
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
  }
  static void Set(uint8_t* Row, int32_t X, uint32_t V) {
    uint8_t* p = Row + 3 * X;
    p[0] = uint8_t(V);
    p[1] = uint8_t(V >> 8);
    p[2] = uint8_t(V >> 16);
  }
  static TRgb Unpack(uint32_t V) { return TRgb{uint8_t(V >> 16), uint8_t(V >> 8), uint8_t(V)}; }
  static uint32_t Pack(TRgb C) { return uint32_t(C.b) | (uint32_t(C.g) << 8) | (uint32_t(C.r) << 16); }
};

// The fourth byte is not colour: drawing leaves it as it is.
struct TFmt32 {
  static constexpr bool Indexed = false;
  static constexpr uint32_t Mask = 0xFFFFFF;
  static uint32_t Get(const uint8_t* Row, int32_t X) {
    const uint8_t* p = Row + 4 * X;
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16);
  }
  static void Set(uint8_t* Row, int32_t X, uint32_t V) {
    uint8_t* p = Row + 4 * X;
    p[0] = uint8_t(V);
    p[1] = uint8_t(V >> 8);
    p[2] = uint8_t(V >> 16);
  }
  static TRgb Unpack(uint32_t V) { return TFmt24::Unpack(V); }
  static uint32_t Pack(TRgb C) { return TFmt24::Pack(C); }
};

// Calls Fn with the traits object of Format (24 bits for the formats without a layout).
template <typename Fn> decltype(auto) DispatchFormat(TPixelFormat Format, Fn&& F) {
  switch (Format) {
    case pf1bit: return F(TFmt1{});
    case pf4bit: return F(TFmt4{});
    case pf8bit: return F(TFmt8{});
    case pf15bit: return F(TFmt15{});
    case pf16bit: return F(TFmt16{});
    case pf32bit: return F(TFmt32{});
    default: return F(TFmt24{});
  }
}

// Index of the palette entry nearest to C (squared RGB distance, first of equals); 0 without a palette.
uint32_t NearestIndex(const std::vector<TPaletteEntry>& Palette, TRgb C);

// NearestIndex with a small direct-mapped cache, for loops that map many pixels.
class TNearestCache {
 public:
  explicit TNearestCache(const std::vector<TPaletteEntry>& Palette) : FPalette(Palette) { FKeys.fill(0); }
  uint32_t Index(TRgb C) {
    const uint32_t rgb = uint32_t(C.r) | (uint32_t(C.g) << 8) | (uint32_t(C.b) << 16);
    const uint32_t slot = ((rgb * 2654435761u) >> 20) & (kSlots - 1);
    if (FKeys[slot] == (rgb | kValid)) return FValues[slot];
    const uint32_t i = NearestIndex(FPalette, C);
    FKeys[slot] = rgb | kValid;
    FValues[slot] = uint8_t(i);
    return i;
  }

 private:
  static constexpr uint32_t kSlots = 4096;
  static constexpr uint32_t kValid = 0x1000000;
  const std::vector<TPaletteEntry>& FPalette;
  std::array<uint32_t, kSlots> FKeys;
  std::array<uint8_t, kSlots> FValues{};
};

inline TRgb PaletteRgb(const std::vector<TPaletteEntry>& Palette, uint32_t Index) {
  if (Index >= Palette.size()) return TRgb{};
  const TPaletteEntry& e = Palette[Index];
  return TRgb{e.peRed, e.peGreen, e.peBlue};
}

// RGB of a native value of format F.
template <typename F> TRgb NativeToRgb(uint32_t V, const std::vector<TPaletteEntry>& Palette) {
  if constexpr (F::Indexed) return PaletteRgb(Palette, V);
  else return F::Unpack(V);
}

// Native value of format F nearest to C.
template <typename F> uint32_t RgbToNative(TRgb C, const std::vector<TPaletteEntry>& Palette) {
  if constexpr (F::Indexed) return NearestIndex(Palette, C) & F::Mask;
  else return F::Pack(C);
}

// Maps native values of format S (palette SPal) to native values of format D (palette DPal).
// Indexed sources go through a table built once; colour sources through the nearest cache.
template <typename S, typename D> class TPixelMap {
 public:
  TPixelMap(const std::vector<TPaletteEntry>& SPal, const std::vector<TPaletteEntry>& DPal) : FCache(DPal) {
    if constexpr (S::Indexed) {
      for (uint32_t i = 0; i <= S::Mask; ++i) FTable[i] = Map(PaletteRgb(SPal, i));
    }
  }
  uint32_t operator()(uint32_t V) {
    if constexpr (S::Indexed) return FTable[V & S::Mask];
    else return Map(S::Unpack(V));
  }

 private:
  uint32_t Map(TRgb C) {
    if constexpr (D::Indexed) return FCache.Index(C) & D::Mask;
    else return D::Pack(C);
  }
  TNearestCache FCache;
  std::array<uint32_t, 256> FTable{};
};

// Native value of a colour in a bitmap of the given format and palette.
uint32_t ColorToNative(TPixelFormat Format, const std::vector<TPaletteEntry>& Palette, TColorRef Rgb);
// RGB of a native value in a bitmap of the given format and palette.
TColorRef NativeToColor(TPixelFormat Format, const std::vector<TPaletteEntry>& Palette, uint32_t V);
// Mask of the bits a native value of Format may have.
uint32_t NativeMask(TPixelFormat Format);

}  // namespace kv::gfx
