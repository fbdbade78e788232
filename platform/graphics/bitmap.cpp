#include "platform/graphics/bitmap.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/graphics/canvas.h"
#include "platform/rtl/exceptions.h"

namespace kv {

namespace {

// Largest pixel block one bitmap may hold; a larger request is an error, not a crash.
constexpr int64_t kMaxBitmapBytes = int64_t(1) << 33;

struct Rgb {
  uint8_t r, g, b;
};

const TPaletteEntry kVga16[16] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},   {0, 128, 0, 0},   {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},   {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0}};

Rgb ReadPixel(const uint8_t* row, int32_t x, TPixelFormat f, const std::vector<TPaletteEntry>& pal) {
  auto fromPal = [&](int32_t i) {
    if (i < 0 || i >= static_cast<int32_t>(pal.size())) return Rgb{0, 0, 0};
    return Rgb{pal[size_t(i)].peRed, pal[size_t(i)].peGreen, pal[size_t(i)].peBlue};
  };
  switch (f) {
    case pf1bit: return fromPal((row[x >> 3] >> (7 - (x & 7))) & 1);
    case pf4bit: return fromPal((x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4));
    case pf8bit: return fromPal(row[x]);
    case pf15bit: {
      const uint16_t v = uint16_t(row[2 * x] | (row[2 * x + 1] << 8));
      return Rgb{uint8_t(((v >> 10) & 31) << 3), uint8_t(((v >> 5) & 31) << 3), uint8_t((v & 31) << 3)};
    }
    case pf16bit: {
      const uint16_t v = uint16_t(row[2 * x] | (row[2 * x + 1] << 8));
      return Rgb{uint8_t((v >> 11) << 3), uint8_t(((v >> 5) & 63) << 2), uint8_t((v & 31) << 3)};
    }
    case pf24bit: return Rgb{row[3 * x + 2], row[3 * x + 1], row[3 * x]};
    case pf32bit: return Rgb{row[4 * x + 2], row[4 * x + 1], row[4 * x]};
    default: return Rgb{0, 0, 0};
  }
}

int32_t Nearest(const std::vector<TPaletteEntry>& pal, Rgb c) {
  int32_t best = 0;
  int64_t bestD = std::numeric_limits<int64_t>::max();
  for (size_t i = 0; i < pal.size(); ++i) {
    const int64_t dr = int64_t(pal[i].peRed) - c.r, dg = int64_t(pal[i].peGreen) - c.g,
                  db = int64_t(pal[i].peBlue) - c.b;
    const int64_t d = dr * dr + dg * dg + db * db;
    if (d < bestD) {
      bestD = d;
      best = static_cast<int32_t>(i);
      if (d == 0) break;
    }
  }
  return best;
}

void WritePixel(uint8_t* row, int32_t x, TPixelFormat f, const std::vector<TPaletteEntry>& pal, Rgb c) {
  switch (f) {
    case pf1bit: {
      const uint8_t m = uint8_t(0x80 >> (x & 7));
      if (Nearest(pal, c)) row[x >> 3] |= m; else row[x >> 3] &= uint8_t(~m);
      break;
    }
    case pf4bit: {
      const uint8_t i = uint8_t(Nearest(pal, c) & 15);
      uint8_t& b = row[x >> 1];
      b = (x & 1) ? uint8_t((b & 0xF0) | i) : uint8_t((b & 0x0F) | (i << 4));
      break;
    }
    case pf8bit: row[x] = uint8_t(Nearest(pal, c)); break;
    case pf15bit: {
      const uint16_t v = uint16_t(((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3));
      row[2 * x] = uint8_t(v & 0xFF);
      row[2 * x + 1] = uint8_t(v >> 8);
      break;
    }
    case pf16bit: {
      const uint16_t v = uint16_t(((c.r >> 3) << 11) | ((c.g >> 2) << 5) | (c.b >> 3));
      row[2 * x] = uint8_t(v & 0xFF);
      row[2 * x + 1] = uint8_t(v >> 8);
      break;
    }
    case pf24bit: row[3 * x] = c.b; row[3 * x + 1] = c.g; row[3 * x + 2] = c.r; break;
    case pf32bit: row[4 * x] = c.b; row[4 * x + 1] = c.g; row[4 * x + 2] = c.r; row[4 * x + 3] = 0; break;
    default: break;
  }
}

}  // namespace

int32_t PixelFormatBits(TPixelFormat Format) {
  switch (Format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit: return 32;
    default: return 0;
  }
}

int64_t BytesPerScanLine(int64_t Width, int32_t Bits) { return ((Width * Bits + 31) / 32) * 4; }

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int32_t Width, int32_t Height, TPixelFormat Format) {
  SetPixelFormat(Format);
  SetSize(Width, Height);
}

TBitmap::~TBitmap() = default;

void TBitmap::DefaultPalette(TPixelFormat Format) {
  FPalette.clear();
  switch (Format) {
    case pf1bit:
      FPalette = {TPaletteEntry{0, 0, 0, 0}, TPaletteEntry{255, 255, 255, 0}};
      break;
    case pf4bit:
      FPalette.assign(kVga16, kVga16 + 16);
      break;
    case pf8bit: {
      // The 16 standard colours, a 6x6x6 colour cube, then a gray ramp.
      FPalette.assign(kVga16, kVga16 + 16);
      for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
          for (int b = 0; b < 6; ++b)
            FPalette.push_back(TPaletteEntry{uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51), 0});
      while (FPalette.size() < 256) {
        const uint8_t v = uint8_t((FPalette.size() - 232) * 255 / 23);
        FPalette.push_back(TPaletteEntry{v, v, v, 0});
      }
      break;
    }
    default: break;
  }
}

void TBitmap::Reallocate(int32_t NewWidth, int32_t NewHeight, TPixelFormat NewFormat, bool KeepPixels) {
  if (NewWidth < 0 || NewHeight < 0) throw EInvalidGraphicOperation("Invalid bitmap size");
  const int32_t bits = PixelFormatBits(NewFormat);
  const int64_t rowBytes = bits ? BytesPerScanLine(NewWidth, bits) : 0;
  const int64_t total = rowBytes * NewHeight;
  if (total > kMaxBitmapBytes || rowBytes > INT32_MAX) throw EOutOfResources("Not enough storage is available to process this command");

  std::unique_ptr<uint8_t[]> bits2;
  if (total > 0) {
    bits2.reset(new (std::nothrow) uint8_t[size_t(total)]);
    if (!bits2) throw EOutOfMemory("Out of memory");
  }
  std::vector<TPaletteEntry> newPal = FPalette;
  if (NewFormat != FPixelFormat) {
    const TPixelFormat keep = FPixelFormat;
    const std::vector<TPaletteEntry> oldPal = FPalette;
    DefaultPalette(NewFormat);
    newPal = FPalette;
    FPalette = oldPal;
    FPixelFormat = keep;
  }
  if (total > 0) {
    // Fill with the brush colour, then copy what survives of the old picture at the top-left.
    const TColorRef fill = ColorToRGB(FCanvas ? FCanvas->Brush().Color() : clWhite);
    const Rgb fc{GetRValue(fill), GetGValue(fill), GetBValue(fill)};
    uint8_t* base = bits2.get();
    std::memset(base, 0, size_t(total));
    if (bits > 0) {
      // Build one filled row, then replicate it.
      for (int32_t x = 0; x < NewWidth; ++x) WritePixel(base, x, NewFormat, newPal, fc);
      for (int32_t y = 1; y < NewHeight; ++y) std::memcpy(base + y * rowBytes, base, size_t(rowBytes));
    }
    if (KeepPixels && FBits) {
      const int32_t w = std::min(FWidth, NewWidth), h = std::min(FHeight, NewHeight);
      for (int32_t y = 0; y < h; ++y) {
        const uint8_t* src = FBits.get() + int64_t(y) * FRowBytes;
        uint8_t* dst = base + y * rowBytes;
        if (NewFormat == FPixelFormat && bits >= 8) {
          std::memcpy(dst, src, size_t(int64_t(w) * bits / 8));
        } else {
          for (int32_t x = 0; x < w; ++x) WritePixel(dst, x, NewFormat, newPal, ReadPixel(src, x, FPixelFormat, FPalette));
        }
      }
    }
  }
  FBits = std::move(bits2);
  FWidth = NewWidth;
  FHeight = NewHeight;
  FRowBytes = static_cast<int32_t>(rowBytes);
  FPixelFormat = NewFormat;
  FPalette = std::move(newPal);
  Changed();
}

void TBitmap::SetWidth(int32_t Value) { SetSize(Value, FHeight); }
void TBitmap::SetHeight(int32_t Value) { SetSize(FWidth, Value); }

void TBitmap::SetSize(int32_t NewWidth, int32_t NewHeight) {
  if (NewWidth == FWidth && NewHeight == FHeight) return;
  Reallocate(NewWidth, NewHeight, FPixelFormat, true);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == FPixelFormat) return;
  if (Value == pfDevice || Value == pfCustom) Value = pf24bit;  // memory bitmaps have a concrete layout
  Reallocate(FWidth, FHeight, Value, true);
}

bool TBitmap::Monochrome() const {
  return FPixelFormat == pf1bit && FPalette.size() == 2 && FPalette[0] == TPaletteEntry{0, 0, 0, 0} &&
         FPalette[1] == TPaletteEntry{255, 255, 255, 0};
}

void TBitmap::SetMonochrome(bool Value) {
  if (Value == Monochrome()) return;
  if (Value) {
    SetPixelFormat(pf1bit);
    FPalette = {TPaletteEntry{0, 0, 0, 0}, TPaletteEntry{255, 255, 255, 0}};
  } else {
    SetPixelFormat(pf24bit);
  }
  Changed();
}

void* TBitmap::ScanLine(int32_t Row) {
  if (Row < 0 || Row >= FHeight || !FBits) throw EInvalidGraphicOperation("Scan line index out of range");
  return FBits.get() + int64_t(Row) * FRowBytes;
}

const void* TBitmap::ScanLine(int32_t Row) const { return const_cast<TBitmap*>(this)->ScanLine(Row); }

int32_t TBitmap::GetPaletteEntries(int32_t Start, int32_t Count, TPaletteEntry* Entries) const {
  int32_t n = 0;
  for (int32_t i = Start; i < Start + Count && i >= 0 && i < PaletteCount(); ++i) Entries[n++] = FPalette[size_t(i)];
  return n;
}

int32_t TBitmap::SetPaletteEntries(int32_t Start, int32_t Count, const TPaletteEntry* Entries) {
  const int32_t bits = PixelFormatBits(FPixelFormat);
  if (bits == 0 || bits > 8 || Start < 0) return 0;
  const int32_t maxEntries = 1 << bits;
  int32_t n = 0;
  for (int32_t i = Start; i < Start + Count && i < maxEntries; ++i, ++n) {
    if (i >= PaletteCount()) FPalette.resize(size_t(i) + 1);
    FPalette[size_t(i)] = Entries[n];
  }
  if (n) Changed();
  return n;
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>(*this);
  return *FCanvas;
}

void TBitmap::Assign(const TBitmap* Source) {
  if (Source == this) return;
  if (!Source) {
    FreeImage();
    return;
  }
  const int64_t total = int64_t(Source->FRowBytes) * Source->FHeight;
  std::unique_ptr<uint8_t[]> copy;
  if (total > 0) {
    copy.reset(new (std::nothrow) uint8_t[size_t(total)]);
    if (!copy) throw EOutOfMemory("Out of memory");
    std::memcpy(copy.get(), Source->FBits.get(), size_t(total));
  }
  FBits = std::move(copy);
  FWidth = Source->FWidth;
  FHeight = Source->FHeight;
  FRowBytes = Source->FRowBytes;
  FPixelFormat = Source->FPixelFormat;
  FPalette = Source->FPalette;
  Changed();
}

void TBitmap::FreeImage() {
  FBits.reset();
  FWidth = FHeight = FRowBytes = 0;
  Changed();
}

TColor TBitmap::GetPixelColor(int32_t X, int32_t Y) const {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return -1;  // CLR_INVALID
  const Rgb c = ReadPixel(FBits.get() + int64_t(Y) * FRowBytes, X, FPixelFormat, FPalette);
  return static_cast<TColor>(RGB(c.r, c.g, c.b));
}

void TBitmap::SetPixelColor(int32_t X, int32_t Y, TColor Color) {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return;
  const TColorRef v = ColorToRGB(Color);
  WritePixel(FBits.get() + int64_t(Y) * FRowBytes, X, FPixelFormat, FPalette, Rgb{GetRValue(v), GetGValue(v), GetBValue(v)});
}

int32_t TBitmap::NearestPaletteIndex(TColorRef RgbValue) const {
  if (FPalette.empty()) return 0;
  return Nearest(FPalette, Rgb{GetRValue(RgbValue), GetGValue(RgbValue), GetBValue(RgbValue)});
}

}  // namespace kv
