// Device-independent bitmap: pixel memory in one of the window system's
// formats, rows top-down and padded to 4 bytes, with an optional palette and
// a canvas that paints straight into that memory.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/color.h"
#include "platform/graphics/pixel_block.h"
#include "platform/rtl/component.h"
#include "platform/rtl/object.h"

namespace kv {

class TCanvas;
class TStream;

enum TPixelFormat : uint8_t { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TTransparentMode : uint8_t { tmAuto, tmFixed };
// Every bitmap here is device-independent; bmDDB is accepted and kept as bmDIB.
enum TBitmapHandleType : uint8_t { bmDIB, bmDDB };

// One palette entry as the window system's palettes keep it.
struct TPaletteEntry {
  uint8_t peRed = 0;
  uint8_t peGreen = 0;
  uint8_t peBlue = 0;
  uint8_t peFlags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// The palette a new bitmap of an indexed format starts with: black and white
// for 1 bit, the 16 standard colours for 4 bits, and for 8 bits those 16, a
// 6x6x6 colour cube and a 24-step gray ramp. Empty for the other formats.
std::vector<TPaletteEntry> DefaultPalette(TPixelFormat Format);

// Bits per pixel of a format: 1, 4, 8, 16, 16, 24, 32; 0 for pfDevice and pfCustom.
int32_t PixelFormatBits(TPixelFormat Format);
// ((Width * Bits + 31) div 32) * 4, in 64 bits.
int64_t BytesPerScanLine(int64_t Width, int32_t Bits);

class TGraphic : public TPersistent {
 public:
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual bool Empty() const = 0;
  // Drawn with a transparent colour (what that colour is depends on the graphic).
  virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool Value);
  // Reads from the stream's position; graphics without a stored form raise EInvalidGraphicOperation.
  virtual void LoadFromStream(TStream& Stream);
  virtual void SaveToStream(TStream& Stream);
  void LoadFromFile(const std::string& FileName);
  void SaveToFile(const std::string& FileName);
  // Set by every change; setting it to true also raises OnChange, so that whoever shows
  // the graphic repaints after its pixels were written directly.
  bool Modified() const { return FModified; }
  void SetModified(bool Value) {
    if (Value) Changed();
    else FModified = false;
  }
  TNotifyEvent OnChange;

 protected:
  void Changed() {
    FModified = true;
    if (OnChange) OnChange(this);
  }
  bool FTransparent = false;
  bool FModified = false;
};

class TBitmap : public TGraphic {
 public:
  TBitmap();
  TBitmap(int32_t Width, int32_t Height, TPixelFormat Format = pf24bit);
  ~TBitmap() override;

  int32_t Width() const override { return FWidth; }
  int32_t Height() const override { return FHeight; }
  bool Empty() const override { return FWidth == 0 || FHeight == 0; }
  // Resizing keeps the top-left corner; new pixels take the canvas brush colour.
  void SetWidth(int32_t Value);
  void SetHeight(int32_t Value);
  void SetSize(int32_t NewWidth, int32_t NewHeight);
  // Makes the bitmap Width x Height in Format for a caller that writes every
  // pixel next: the old picture is dropped and the pixels are left unfilled
  // (only each row's padding is cleared), which saves a pass over a large picture.
  void AllocateForOverwrite(int32_t NewWidth, int32_t NewHeight, TPixelFormat Format);

  TPixelFormat PixelFormat() const { return FPixelFormat; }
  // Converts the pixels: indexed targets take the nearest palette entry.
  void SetPixelFormat(TPixelFormat Value);
  // A 1-bit bitmap whose palette is black and white.
  bool Monochrome() const;
  void SetMonochrome(bool Value);

  // Row 0 is the top row. Raises EInvalidGraphicOperation for a row outside the bitmap.
  void* ScanLine(int32_t Row);
  const void* ScanLine(int32_t Row) const;
  int32_t RowBytes() const { return FRowBytes; }
  // First byte of the top row; rows follow at RowBytes() steps. Null when empty.
  uint8_t* Bits() { return FBits.get(); }
  const uint8_t* Bits() const { return FBits.get(); }

  // Palette of the indexed formats (1, 4, 8 bits); empty for the others.
  int32_t PaletteCount() const { return static_cast<int32_t>(FPalette.size()); }
  int32_t GetPaletteEntries(int32_t Start, int32_t Count, TPaletteEntry* Entries) const;
  // Sets entries Start.. (growing the palette up to the format's maximum); returns how many were set.
  int32_t SetPaletteEntries(int32_t Start, int32_t Count, const TPaletteEntry* Entries);
  const std::vector<TPaletteEntry>& Palette() const { return FPalette; }

  TCanvas& Canvas();
  bool HasCanvas() const { return FCanvas != nullptr; }

  // Copies size, format, palette, pixels and the transparency settings; nullptr empties this bitmap.
  void Assign(const TBitmap* Source);
  void Assign(const TPersistent* Source) override;
  void Assign(std::nullptr_t) { Assign(static_cast<const TBitmap*>(nullptr)); }
  // What Assign(&Source) does, but the pixel block moves instead of being
  // copied: Source is left empty (its format and palette stay) and both
  // bitmaps raise OnChange. Lets a routine build its result in a fresh
  // bitmap and hand it over without a second picture-sized block.
  void TakeOver(TBitmap& Source);
  // The pixel memory is the only copy of the picture, so there is no cached
  // image or handle to let go of: these keep the picture as it is.
  void FreeImage() {}
  void Dormant() {}
  void ReleaseHandle() {}
  TBitmapHandleType HandleType() const { return bmDIB; }
  void SetHandleType(TBitmapHandleType) {}
  // Stored only: memory bitmaps never realise a palette.
  bool IgnorePalette() const { return FIgnorePalette; }
  void SetIgnorePalette(bool Value) { FIgnorePalette = Value; }

  // BMP file layout: file header, 40-byte info header, colour table, bottom-up rows.
  // Reads 1/4/8/16/24/32-bit files with the core, 40-byte or any longer header,
  // bottom-up or top-down, RLE8 and RLE4 (as 8 and 4 bits) and bit fields (555
  // and 565 kept as 15 and 16 bits, other masks converted to 32 bits);
  // anything else raises EInvalidGraphic and leaves this bitmap as it was.
  // A stream with nothing left to read gives an empty bitmap; an empty bitmap writes nothing.
  void LoadFromStream(TStream& Stream) override;
  void SaveToStream(TStream& Stream) override;
  using TGraphic::LoadFromFile;
  using TGraphic::SaveToFile;

  // The colour drawn as transparent: in tmAuto white for a monochrome bitmap,
  // else the bottom-left pixel (clNone when empty); in tmFixed the stored colour.
  TColor TransparentColor() const;
  // Stores the colour; clDefault returns to tmAuto, anything else sets tmFixed.
  void SetTransparentColor(TColor Value);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  // tmFixed keeps the colour in use now; tmAuto forgets the stored colour.
  void SetTransparentMode(TTransparentMode Value);

  // Color of one pixel as an RGB TColor, and its setter (nearest entry for indexed formats).
  TColor GetPixelColor(int32_t X, int32_t Y) const;
  void SetPixelColor(int32_t X, int32_t Y, TColor Color);
  // Index of the palette entry nearest to an RGB value (0 with no palette).
  int32_t NearestPaletteIndex(TColorRef Rgb) const;

  // Raised after the size, format or palette changed (the canvas follows).
  void NotifyChanged() { Changed(); }

 private:
  // Fill false leaves the pixels for the caller to write (only the row padding is cleared).
  void Reallocate(int32_t NewWidth, int32_t NewHeight, TPixelFormat NewFormat, bool KeepPixels,
                  const std::vector<TPaletteEntry>* NewPalette = nullptr, bool Fill = true);
  void Clear();

  int32_t FWidth = 0;
  int32_t FHeight = 0;
  int32_t FRowBytes = 0;
  TPixelFormat FPixelFormat = pf24bit;
  TPixelBlock FBits;
  std::vector<TPaletteEntry> FPalette;
  std::unique_ptr<TCanvas> FCanvas;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  bool FIgnorePalette = false;
  friend class TCanvas;
};

}  // namespace kv
