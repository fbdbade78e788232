// TBitmap in the BMP file layout. Loading takes every header the format has
// (core, 40-byte and its extensions), run-length and bit-field pixels; saving
// writes the 40-byte header, colour table and bottom-up rows. Every size in
// the headers is checked against the bytes the stream holds, in 64 bits,
// before anything is allocated.
#include <algorithm>
#include <cstring>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/bmp_format.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace kv {

namespace {

constexpr char kInvalidBitmap[] = "Bitmap ist ungültig";
constexpr int32_t kFileHeaderSize = 14;
constexpr int32_t kInfoHeaderSize = 40;

[[noreturn]] void Invalid() { throw EInvalidGraphic(kInvalidBitmap); }

void Put16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

void ReadExact(TStream& S, void* Buffer, int64_t Count) {
  if (Count < 0 || Count > INT32_MAX || S.Read(Buffer, int32_t(Count)) != Count) Invalid();
}

// How the file's pixels become this bitmap's: copied row by row in the
// file's own layout, converted through bit-field masks, or run-length decoded.
enum TLoadKind { lkRaw, lkMasked, lkRle };

}  // namespace

void TBitmap::LoadFromStream(TStream& Stream) {
  const int64_t start = Stream.Position();
  const int64_t avail = Stream.Size() - start;
  if (avail <= 0) {
    Assign(nullptr);
    return;
  }
  TBmpHeader h;
  if (ReadBmpHeader(Stream, h) != bhsOk || h.Planes != 1) Invalid();
  const int32_t width = h.Width, height = h.Height;

  TPixelFormat format = pf24bit;
  TLoadKind kind = lkRaw;
  TBmpMasks masks;
  switch (h.BitCount) {
    case 1:
    case 4:
    case 8:
      format = h.BitCount == 1 ? pf1bit : h.BitCount == 4 ? pf4bit : pf8bit;
      if ((h.BitCount == 8 && h.Compression == BI_RLE8) || (h.BitCount == 4 && h.Compression == BI_RLE4))
        kind = lkRle;
      else if (h.Compression != BI_RGB)
        Invalid();
      break;
    case 16:
    case 32:
      if (h.Compression != BI_RGB && !h.HasMasks) Invalid();
      if (!MakeBmpMasks(h, masks)) Invalid();
      // The layouts this bitmap keeps as they are; any other masks are converted to 32 bits.
      if (h.BitCount == 16 && masks.R.Mask == 0x7C00 && masks.G.Mask == 0x03E0 && masks.B.Mask == 0x001F) {
        format = pf15bit;
      } else if (h.BitCount == 16 && masks.R.Mask == 0xF800 && masks.G.Mask == 0x07E0 && masks.B.Mask == 0x001F) {
        format = pf16bit;
      } else if (h.BitCount == 32 && masks.R.Mask == 0xFF0000 && masks.G.Mask == 0xFF00 && masks.B.Mask == 0xFF &&
                 (masks.A.Mask == 0 || masks.A.Mask == 0xFF000000u)) {
        format = pf32bit;
      } else {
        format = pf32bit;
        kind = lkMasked;
      }
      break;
    case 24:
      if (h.Compression != BI_RGB) Invalid();
      format = pf24bit;
      break;
    default:
      Invalid();
  }
  if (int64_t(width) * height > kMaxBitmapPixels) Invalid();

  std::vector<TPaletteEntry> palette;
  if (!h.IsCore() && h.ClrUsed > 256) Invalid();
  const int32_t count = BmpColourCount(h);
  std::vector<TPaletteEntry> table;
  if (!ReadBmpColourTable(Stream, h, count, table)) Invalid();
  if (h.BitCount <= 8) {
    const size_t maxColors = size_t(1) << h.BitCount;
    palette.assign(table.begin(), table.begin() + std::min(table.size(), maxColors));
    if (palette.empty()) Invalid();  // the pixel offset leaves no room for a single colour
  }  // a colour table beside true colours is only a hint

  // The pixels may not overlap the headers and must all be present.
  const int64_t pixelOffset = h.PixelOffset == 0 ? Stream.Position() - start : int64_t(h.PixelOffset);
  if (pixelOffset < kFileHeaderSize + int64_t(h.InfoSize) || pixelOffset > avail) Invalid();
  const int64_t fileRowBytes = BytesPerScanLine(width, h.BitCount);
  if (fileRowBytes > INT32_MAX) Invalid();
  std::vector<uint8_t> rle;
  if (kind == lkRle) {
    int64_t length = avail - pixelOffset;
    if (h.ImageSize > 0) length = std::min<int64_t>(length, h.ImageSize);
    if (!BmpRleSizePlausible(width, height, length)) Invalid();
    rle.resize(size_t(length));
  } else if (fileRowBytes * height > avail - pixelOffset) {
    Invalid();
  }

  TBitmap tmp;
  tmp.Reallocate(width, height, format, false, &palette);
  if (Stream.Seek(start + pixelOffset, soBeginning) != start + pixelOffset) Invalid();
  if (kind == lkRle) {
    ReadExact(Stream, rle.data(), int64_t(rle.size()));
    std::vector<uint8_t> indices(size_t(width) * size_t(height), 0);
    if (DecodeBmpRle(rle.data(), int64_t(rle.size()), h.BitCount == 4, width, height, h.TopDown, indices.data(),
                     nullptr) != rleComplete)
      Invalid();  // the codes end before the picture does
    for (int32_t y = 0; y < height; ++y) {
      const uint8_t* src = indices.data() + size_t(y) * size_t(width);
      uint8_t* dst = tmp.FBits.get() + int64_t(y) * tmp.FRowBytes;
      if (format == pf8bit) {
        std::memcpy(dst, src, size_t(width));
      } else {
        for (int32_t x = 0; x < width; x += 2)
          dst[x / 2] = uint8_t((src[x] << 4) | (x + 1 < width ? src[x + 1] & 0x0F : 0));
      }
    }
  } else {
    std::vector<uint8_t> row(kind == lkMasked ? size_t(fileRowBytes) : 0);
    for (int32_t i = 0; i < height; ++i) {
      const int32_t y = h.TopDown ? i : height - 1 - i;
      uint8_t* dst = tmp.FBits.get() + int64_t(y) * tmp.FRowBytes;
      if (kind == lkRaw) {
        ReadExact(Stream, dst, fileRowBytes);
      } else {
        ReadExact(Stream, row.data(), fileRowBytes);
        BmpMaskedRow(row.data(), width, h.BitCount, masks, dst, 4);
      }
    }
  }
  FBits = std::move(tmp.FBits);
  FWidth = width;
  FHeight = height;
  FRowBytes = tmp.FRowBytes;
  FPixelFormat = format;
  FPalette = std::move(palette);
  Changed();
}

void TBitmap::SaveToStream(TStream& Stream) {
  if (Empty() || !FBits) return;
  const int32_t bits = PixelFormatBits(FPixelFormat);
  std::vector<TPaletteEntry> palette;
  if (bits <= 8) {
    palette = FPalette.empty() ? DefaultPalette(FPixelFormat) : FPalette;
    if (palette.size() > (size_t(1) << bits)) palette.resize(size_t(1) << bits);
  }
  const bool masks = FPixelFormat == pf16bit;
  const int64_t offBits = kFileHeaderSize + kInfoHeaderSize + (masks ? 12 : 0) + int64_t(palette.size()) * 4;
  const int64_t imageSize = int64_t(FRowBytes) * FHeight;
  if (offBits + imageSize > int64_t(UINT32_MAX)) throw EInvalidGraphicOperation("Bitmap too large to save");

  std::vector<uint8_t> head(size_t(offBits), 0);
  uint8_t* p = head.data();
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, uint32_t(offBits + imageSize));
  Put32(p + 10, uint32_t(offBits));
  uint8_t* ih = p + kFileHeaderSize;
  Put32(ih, kInfoHeaderSize);
  Put32(ih + 4, uint32_t(FWidth));
  Put32(ih + 8, uint32_t(FHeight));
  Put16(ih + 12, 1);
  Put16(ih + 14, uint32_t(bits));
  Put32(ih + 16, masks ? BI_BITFIELDS : BI_RGB);
  Put32(ih + 20, uint32_t(imageSize));
  Put32(ih + 32, uint32_t(palette.size()));
  uint8_t* tail = ih + kInfoHeaderSize;
  if (masks) {
    Put32(tail, 0xF800);
    Put32(tail + 4, 0x07E0);
    Put32(tail + 8, 0x001F);
    tail += 12;
  }
  for (const TPaletteEntry& e : palette) {
    tail[0] = e.peBlue;
    tail[1] = e.peGreen;
    tail[2] = e.peRed;
    tail += 4;
  }
  Stream.WriteBuffer(head.data(), int32_t(head.size()));
  for (int32_t y = FHeight - 1; y >= 0; --y) Stream.WriteBuffer(FBits.get() + int64_t(y) * FRowBytes, FRowBytes);
}

}  // namespace kv
