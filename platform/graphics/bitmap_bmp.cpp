// TBitmap in the BMP file layout: BITMAPFILEHEADER, BITMAPINFOHEADER, colour
// table, rows bottom-up. Every size in the headers is checked against the
// bytes the stream holds, in 64 bits, before anything is allocated.
#include <cstring>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace kv {

namespace {

constexpr char kInvalidBitmap[] = "Bitmap image is not valid";
constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;
constexpr int32_t kFileHeaderSize = 14;
constexpr int32_t kInfoHeaderSize = 40;

[[noreturn]] void Invalid() { throw EInvalidGraphic(kInvalidBitmap); }

uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }
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

}  // namespace

void TBitmap::LoadFromStream(TStream& Stream) {
  const int64_t start = Stream.Position();
  const int64_t avail = Stream.Size() - start;
  if (avail <= 0) {
    Assign(nullptr);
    return;
  }
  uint8_t fh[kFileHeaderSize];
  ReadExact(Stream, fh, sizeof fh);
  if (fh[0] != 'B' || fh[1] != 'M') Invalid();
  const uint32_t offBits = U32(fh + 10);

  // The 40-byte header and its later extensions (V2, V3, V4, V5) share their first 40 bytes.
  uint8_t ih[124] = {};
  ReadExact(Stream, ih, 4);
  const uint32_t infoSize = U32(ih);
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124) Invalid();
  ReadExact(Stream, ih + 4, int64_t(infoSize) - 4);
  const int32_t width = I32(ih + 4);
  const int32_t rawHeight = I32(ih + 8);
  const uint16_t planes = U16(ih + 12);
  const uint16_t bitCount = U16(ih + 14);
  const uint32_t compression = U32(ih + 16);
  const uint32_t clrUsed = U32(ih + 32);
  if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN || planes != 1) Invalid();
  const bool topDown = rawHeight < 0;
  const int32_t height = topDown ? -rawHeight : rawHeight;

  int64_t headerEnd = kFileHeaderSize + int64_t(infoSize);
  TPixelFormat format;
  switch (bitCount) {
    case 1: format = pf1bit; break;
    case 4: format = pf4bit; break;
    case 8: format = pf8bit; break;
    case 16: format = pf15bit; break;
    case 24: format = pf24bit; break;
    case 32: format = pf32bit; break;
    default: Invalid();
  }
  if (compression == BI_BITFIELDS && (bitCount == 16 || bitCount == 32)) {
    uint8_t masks[12];
    if (infoSize >= 52) {
      std::memcpy(masks, ih + 40, sizeof masks);
    } else {
      ReadExact(Stream, masks, sizeof masks);  // the three masks follow a 40-byte header
      headerEnd += 12;
    }
    const uint32_t r = U32(masks), g = U32(masks + 4), b = U32(masks + 8);
    if (bitCount == 16 && r == 0x7C00 && g == 0x03E0 && b == 0x001F) format = pf15bit;
    else if (bitCount == 16 && r == 0xF800 && g == 0x07E0 && b == 0x001F) format = pf16bit;
    else if (bitCount == 32 && r == 0xFF0000 && g == 0xFF00 && b == 0xFF) format = pf32bit;
    else Invalid();
  } else if (compression != BI_RGB) {
    Invalid();
  }

  std::vector<TPaletteEntry> palette;
  if (bitCount <= 8) {
    const uint32_t maxColors = 1u << bitCount;
    const uint32_t count = clrUsed == 0 ? maxColors : clrUsed;
    if (count > 256) Invalid();
    std::vector<uint8_t> table(size_t(count) * 4);
    ReadExact(Stream, table.data(), int64_t(table.size()));
    headerEnd += int64_t(table.size());
    for (uint32_t i = 0; i < count && i < maxColors; ++i)
      palette.push_back(TPaletteEntry{table[4 * i + 2], table[4 * i + 1], table[4 * i], 0});
  } else {
    headerEnd += int64_t(clrUsed) * 4;  // a colour table beside true colours is only a hint; skipped
  }

  // The pixels may not overlap the headers and must all be present.
  const int64_t pixelOffset = offBits == 0 ? headerEnd : int64_t(offBits);
  if (pixelOffset < kFileHeaderSize + int64_t(infoSize)) Invalid();
  const int64_t rowBytes = BytesPerScanLine(width, bitCount);
  if (rowBytes > INT32_MAX || rowBytes * height > avail - pixelOffset) Invalid();

  TBitmap tmp;
  tmp.Reallocate(width, height, format, false, &palette);
  if (Stream.Seek(start + pixelOffset, soBeginning) != start + pixelOffset) Invalid();
  for (int32_t i = 0; i < height; ++i) {
    const int32_t y = topDown ? i : height - 1 - i;
    ReadExact(Stream, tmp.FBits.get() + int64_t(y) * tmp.FRowBytes, rowBytes);
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
