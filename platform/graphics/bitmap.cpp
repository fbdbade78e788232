#include "platform/graphics/bitmap.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/graphics/canvas.h"
#include "platform/graphics/pixel_access.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace kv {

namespace gfx {

uint32_t NearestIndex(const std::vector<TPaletteEntry>& Palette, TRgb C) {
  uint32_t best = 0;
  int32_t bestD = std::numeric_limits<int32_t>::max();
  for (size_t i = 0; i < Palette.size(); ++i) {
    const int32_t dr = int32_t(Palette[i].peRed) - C.r, dg = int32_t(Palette[i].peGreen) - C.g,
                  db = int32_t(Palette[i].peBlue) - C.b;
    const int32_t d = dr * dr + dg * dg + db * db;
    if (d < bestD) {
      bestD = d;
      best = static_cast<uint32_t>(i);
      if (d == 0) break;
    }
  }
  return best;
}

uint32_t ColorToNative(TPixelFormat Format, const std::vector<TPaletteEntry>& Palette, TColorRef Rgb) {
  return DispatchFormat(Format, [&](auto f) { return RgbToNative<decltype(f)>(RgbOf(Rgb), Palette); });
}

TColorRef NativeToColor(TPixelFormat Format, const std::vector<TPaletteEntry>& Palette, uint32_t V) {
  return DispatchFormat(Format, [&](auto f) { return ColorRefOf(NativeToRgb<decltype(f)>(V, Palette)); });
}

uint32_t NativeMask(TPixelFormat Format) {
  return DispatchFormat(Format, [](auto f) { return decltype(f)::Mask; });
}

}  // namespace gfx

namespace {

// Largest pixel block one bitmap may hold; a larger request is an error, not a crash.
constexpr int64_t kMaxBitmapBytes = int64_t(1) << 33;

const TPaletteEntry kVga16[16] = {
    {0, 0, 0, 0},       {128, 0, 0, 0},   {0, 128, 0, 0},   {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},   {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0}};

const std::vector<TPaletteEntry> kBlackWhite = {TPaletteEntry{0, 0, 0, 0}, TPaletteEntry{255, 255, 255, 0}};

// Fills Width pixels of every row with one native value: the first row pixel
// by pixel, the others copied from it.
template <typename F>
void FillRows(uint8_t* Base, int64_t RowBytes, int32_t Width, int32_t Height, uint32_t Value) {
  for (int32_t x = 0; x < Width; ++x) F::Set(Base, x, Value);
  for (int32_t y = 1; y < Height; ++y) std::memcpy(Base + y * RowBytes, Base, size_t(RowBytes));
}

// Copies the top-left W x H pixels between two layouts, converting through RGB.
template <typename S, typename D>
void ConvertBlock(const uint8_t* Src, int64_t SrcRowBytes, const std::vector<TPaletteEntry>& SrcPal, uint8_t* Dst,
                  int64_t DstRowBytes, const std::vector<TPaletteEntry>& DstPal, int32_t W, int32_t H) {
  gfx::TPixelMap<S, D> map(SrcPal, DstPal);
  for (int32_t y = 0; y < H; ++y) {
    const uint8_t* s = Src + y * SrcRowBytes;
    uint8_t* d = Dst + y * DstRowBytes;
    for (int32_t x = 0; x < W; ++x) D::Set(d, x, map(S::Get(s, x)));
  }
}

}  // namespace

std::vector<TPaletteEntry> DefaultPalette(TPixelFormat Format) {
  std::vector<TPaletteEntry> pal;
  switch (Format) {
    case pf1bit: pal = kBlackWhite; break;
    case pf4bit: pal.assign(kVga16, kVga16 + 16); break;
    case pf8bit:
      pal.assign(kVga16, kVga16 + 16);
      for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
          for (int b = 0; b < 6; ++b) pal.push_back(TPaletteEntry{uint8_t(r * 51), uint8_t(g * 51), uint8_t(b * 51), 0});
      while (pal.size() < 256) {
        const uint8_t v = uint8_t((pal.size() - 232) * 255 / 23);
        pal.push_back(TPaletteEntry{v, v, v, 0});
      }
      break;
    default: break;
  }
  return pal;
}

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

void TGraphic::SetTransparent(bool Value) {
  if (Value == FTransparent) return;
  FTransparent = Value;
  Changed();
}

void TGraphic::LoadFromStream(TStream&) { throw EInvalidGraphicOperation("Operation not supported on this graphic"); }
void TGraphic::SaveToStream(TStream&) { throw EInvalidGraphicOperation("Operation not supported on this graphic"); }

void TGraphic::LoadFromFile(const std::string& FileName) {
  TFileStream s(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(s);
}

void TGraphic::SaveToFile(const std::string& FileName) {
  TFileStream s(FileName, fmCreate);
  SaveToStream(s);
}

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int32_t Width, int32_t Height, TPixelFormat Format) {
  SetPixelFormat(Format);
  SetSize(Width, Height);
}

TBitmap::~TBitmap() = default;

void TBitmap::Reallocate(int32_t NewWidth, int32_t NewHeight, TPixelFormat NewFormat, bool KeepPixels,
                         const std::vector<TPaletteEntry>* NewPalette, bool Fill) {
  if (NewWidth < 0 || NewHeight < 0) throw EInvalidGraphicOperation("Invalid bitmap size");
  const int32_t bits = PixelFormatBits(NewFormat);
  const int64_t rowBytes = bits ? BytesPerScanLine(NewWidth, bits) : 0;
  if (rowBytes > INT32_MAX || (NewHeight > 0 && rowBytes > kMaxBitmapBytes / NewHeight))
    throw EOutOfResources("Not enough storage is available to process this command");
  const int64_t total = rowBytes * NewHeight;

  TPixelBlock block;
  if (total > 0) {
    block = AllocatePixelBlock(size_t(total));
    if (!block) throw EOutOfMemory();
    if (Fill) {
      // Only the first row needs clearing (its padding bytes): FillRows copies it to the others.
      std::memset(block.get(), 0, size_t(rowBytes));
    } else {
      // The caller writes every pixel; the padding must still be defined (whole rows are compared
      // and saved), including the unused bits of a partly used last byte.
      const int64_t used = int64_t(NewWidth) * bits / 8;
      for (int32_t y = 0; y < NewHeight; ++y) std::memset(block.get() + y * rowBytes + used, 0, size_t(rowBytes - used));
    }
  }
  std::vector<TPaletteEntry> newPal =
      NewPalette ? *NewPalette : (NewFormat == FPixelFormat ? FPalette : DefaultPalette(NewFormat));

  if (total > 0 && Fill) {
    // New pixels take the brush colour; what survives of the old picture stays at the top-left.
    const TColorRef fill = ColorToRGB(FCanvas ? FCanvas->Brush().Color() : clWhite);
    const uint32_t fillValue = gfx::ColorToNative(NewFormat, newPal, fill);
    gfx::DispatchFormat(NewFormat, [&](auto d) { FillRows<decltype(d)>(block.get(), rowBytes, NewWidth, NewHeight, fillValue); });
    if (KeepPixels && FBits) {
      const int32_t w = std::min(FWidth, NewWidth), h = std::min(FHeight, NewHeight);
      if (NewFormat == FPixelFormat && bits >= 8 && newPal == FPalette) {
        for (int32_t y = 0; y < h; ++y)
          std::memcpy(block.get() + y * rowBytes, FBits.get() + int64_t(y) * FRowBytes, size_t(int64_t(w) * bits / 8));
      } else {
        gfx::DispatchFormat(FPixelFormat, [&](auto s) {
          gfx::DispatchFormat(NewFormat, [&](auto d) {
            ConvertBlock<decltype(s), decltype(d)>(FBits.get(), FRowBytes, FPalette, block.get(), rowBytes, newPal, w, h);
          });
        });
      }
    }
  }
  FBits = std::move(block);
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

void TBitmap::AllocateForOverwrite(int32_t NewWidth, int32_t NewHeight, TPixelFormat Format) {
  if (Format == pfDevice || Format == pfCustom) Format = pf24bit;
  Reallocate(NewWidth, NewHeight, Format, false, nullptr, false);
}

void TBitmap::SetPixelFormat(TPixelFormat Value) {
  if (Value == pfDevice || Value == pfCustom) Value = pf24bit;  // memory bitmaps have a concrete layout
  if (Value == FPixelFormat) return;
  Reallocate(FWidth, FHeight, Value, true);
}

bool TBitmap::Monochrome() const { return FPixelFormat == pf1bit && FPalette == kBlackWhite; }

void TBitmap::SetMonochrome(bool Value) {
  if (Value == Monochrome()) return;
  if (Value) Reallocate(FWidth, FHeight, pf1bit, true, &kBlackWhite);
  else Reallocate(FWidth, FHeight, pf24bit, true);
}

void* TBitmap::ScanLine(int32_t Row) {
  if (Row < 0 || Row >= FHeight || !FBits) throw EInvalidGraphicOperation("Scan line index out of range");
  return FBits.get() + int64_t(Row) * FRowBytes;
}

const void* TBitmap::ScanLine(int32_t Row) const { return const_cast<TBitmap*>(this)->ScanLine(Row); }

int32_t TBitmap::GetPaletteEntries(int32_t Start, int32_t Count, TPaletteEntry* Entries) const {
  if (!Entries || Start < 0 || Count <= 0) return 0;
  int32_t n = 0;
  for (int64_t i = Start; i < int64_t(Start) + Count && i < PaletteCount(); ++i) Entries[n++] = FPalette[size_t(i)];
  return n;
}

int32_t TBitmap::SetPaletteEntries(int32_t Start, int32_t Count, const TPaletteEntry* Entries) {
  const int32_t bits = PixelFormatBits(FPixelFormat);
  if (!Entries || bits == 0 || bits > 8 || Start < 0 || Count <= 0) return 0;
  const int64_t maxEntries = int64_t(1) << bits;
  int32_t n = 0;
  for (int64_t i = Start; i < int64_t(Start) + Count && i < maxEntries; ++i, ++n) {
    if (i >= PaletteCount()) FPalette.resize(size_t(i) + 1);
    FPalette[size_t(i)] = Entries[n];
  }
  if (n) Changed();
  return n;
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) {
    FCanvas = std::make_unique<TCanvas>(*this);
    // Drawing changes the bitmap: whoever shows it hears of it through OnChange.
    FCanvas->OnChange = [this](TObject*) { Changed(); };
  }
  return *FCanvas;
}

void TBitmap::Clear() {
  FBits.reset();
  FWidth = FHeight = FRowBytes = 0;
  Changed();
}

void TBitmap::Assign(const TPersistent* Source) {
  if (!Source) Assign(static_cast<const TBitmap*>(nullptr));
  else if (const auto* b = dynamic_cast<const TBitmap*>(Source)) Assign(b);
  else TPersistent::Assign(Source);
}

void TBitmap::Assign(const TBitmap* Source) {
  if (Source == this) return;
  if (!Source) {
    Clear();
    return;
  }
  const int64_t total = int64_t(Source->FRowBytes) * Source->FHeight;
  TPixelBlock copy;
  if (total > 0) {
    copy = AllocatePixelBlock(size_t(total));
    if (!copy) throw EOutOfMemory();
    std::memcpy(copy.get(), Source->FBits.get(), size_t(total));
  }
  FBits = std::move(copy);
  FWidth = Source->FWidth;
  FHeight = Source->FHeight;
  FRowBytes = Source->FRowBytes;
  FPixelFormat = Source->FPixelFormat;
  FPalette = Source->FPalette;
  FTransparent = Source->FTransparent;
  FTransparentColor = Source->FTransparentColor;
  FTransparentMode = Source->FTransparentMode;
  Changed();
}

void TBitmap::TakeOver(TBitmap& Source) {
  if (&Source == this) return;
  std::vector<TPaletteEntry> palette = Source.FPalette;  // the only step that can throw: before anything moves
  FBits = std::move(Source.FBits);
  FWidth = Source.FWidth;
  FHeight = Source.FHeight;
  FRowBytes = Source.FRowBytes;
  FPixelFormat = Source.FPixelFormat;
  FPalette = std::move(palette);
  FTransparent = Source.FTransparent;
  FTransparentColor = Source.FTransparentColor;
  FTransparentMode = Source.FTransparentMode;
  Source.Clear();
  Changed();
}

TColor TBitmap::TransparentColor() const {
  if (FTransparentColor != clDefault) return static_cast<TColor>(ColorToRGB(FTransparentColor));
  if (Monochrome()) return clWhite;
  if (Empty()) return clNone;
  return GetPixelColor(0, FHeight - 1);
}

void TBitmap::SetTransparentColor(TColor Value) {
  if (Value == FTransparentColor) return;
  FTransparentColor = Value;
  FTransparentMode = Value == clDefault ? tmAuto : tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode Value) {
  if (Value == FTransparentMode) return;
  if (Value == tmFixed) SetTransparentColor(TransparentColor());
  else SetTransparentColor(clDefault);
}

TColor TBitmap::GetPixelColor(int32_t X, int32_t Y) const {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight || !FBits) return -1;  // CLR_INVALID
  const uint8_t* row = FBits.get() + int64_t(Y) * FRowBytes;
  return gfx::DispatchFormat(FPixelFormat, [&](auto f) {
    using F = decltype(f);
    return static_cast<TColor>(gfx::ColorRefOf(gfx::NativeToRgb<F>(F::Get(row, X), FPalette)));
  });
}

void TBitmap::SetPixelColor(int32_t X, int32_t Y, TColor Color) {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight || !FBits) return;
  uint8_t* row = FBits.get() + int64_t(Y) * FRowBytes;
  const gfx::TRgb c = gfx::RgbOf(ColorToRGB(Color));
  gfx::DispatchFormat(FPixelFormat, [&](auto f) {
    using F = decltype(f);
    F::Set(row, X, gfx::RgbToNative<F>(c, FPalette));
  });
}

int32_t TBitmap::NearestPaletteIndex(TColorRef RgbValue) const {
  return static_cast<int32_t>(gfx::NearestIndex(FPalette, gfx::RgbOf(RgbValue)));
}

}  // namespace kv
