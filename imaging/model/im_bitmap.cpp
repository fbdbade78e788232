#include "imaging/model/im_bitmap.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "imaging/model/mask.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sys_error.h"

namespace kv {

namespace {

// Largest image one TIMBitmap may hold; a larger request is an error, not a crash.
constexpr int64_t kMaxImageBytes = int64_t(1) << 36;

const char* const kTempPrefix = "imager";

// Rows of temporary-file storage are mapped this many bytes at a time (at
// least one row): mapping a single row per call made a full pass over a big
// picture spend its time in mmap and munmap.
constexpr int64_t kRowWindowBytes = int64_t(16) << 20;

// Rows that need converting pass through a buffer of about this size on
// their way to and from the temporary file.
constexpr int64_t kStageBytes = int64_t(4) << 20;

TPixelFormat FormatOfKind(TIMPixelKind Kind) {
  switch (Kind) {
    case pk1Bit: return pf1bit;
    case pk8Indexed:
    case pk8Gray:
    case pk16Gray: return pf8bit;
    case pk24BGR: return pf24bit;
    default: return pfDevice;
  }
}

// The high byte of every 16-bit gray value of a row.
void HighBytes(const uint8_t* Src, uint8_t* Dst, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x) {
    uint16_t v;
    std::memcpy(&v, Src + 2 * x, 2);
    Dst[x] = static_cast<uint8_t>(v >> 8);
  }
}

}  // namespace

int32_t PixelKindBits(TIMPixelKind Kind) {
  switch (Kind) {
    case pk1Bit: return 1;
    case pk8Indexed:
    case pk8Gray: return 8;
    case pk16Gray: return 16;
    case pk24BGR: return 24;
    default: return 0;
  }
}

TIMBitmap::~TIMBitmap() { FreeImage(); }

std::unique_ptr<TIMBitmap> TIMBitmap::CreateCompanion(int32_t AWidth, int32_t AHeight,
                                                      TIMStorageKind AStorageKind) {
  auto plane = std::make_unique<TIMBitmap>();
  plane->IsCompanion = true;
  plane->StorageKind = AStorageKind;
  plane->Allocate(AWidth, AHeight, pk8Gray);
  return plane;
}

void TIMBitmap::FreeImage() {
  FCompanionPlane.reset();
  Palette.reset();
  MappedRow.Unmap();
  FViewOffset = 0;
  FSourceFormat = pfDevice;
  MappingHandle.Close();
  FileHandle.Close();  // deletes the file
  TempFileName.clear();
  HeapBits.reset();
  HiddenBitmap.reset();
  Width = Height = BitsPerPixel = RowBytes = PaletteCount = 0;
  Full = false;
}

void TIMBitmap::Allocate(int32_t AWidth, int32_t AHeight, TIMPixelKind Kind) {
  FreeImage();
  PixelKind = Kind;
  if (AWidth <= 0 || AHeight <= 0 || Kind == pkNone) return;  // left empty

  const int32_t bits = PixelKindBits(Kind);
  const int64_t rowBytes = BytesPerScanLine(AWidth, bits);
  // Checked before multiplying: the product of two large sides overflows 64 bits.
  if (rowBytes > MaxInt || rowBytes > kMaxImageBytes / AHeight) throw EOutOfMemory();
  const int64_t size = rowBytes * AHeight;

  if (Kind == pk8Indexed) {
    Palette.reset(new TBGRPixel[256]);
    PaletteCount = 256;
  }
  Width = AWidth;
  Height = AHeight;
  BitsPerPixel = bits;
  RowBytes = static_cast<int32_t>(rowBytes);

  if (StorageKind == skTempFile && !AllocateTempFile(size)) StorageKind = skHeap;  // for good
  if (StorageKind == skHeap) AllocateHeap(size);
  else if (StorageKind == skBitmap) AllocateHiddenBitmap();
  Full = false;
}

bool TIMBitmap::AllocateTempFile(int64_t Size) {
  // On any failure the locals close and delete what was made.
  TTempFile file;
  if (!file.Create(GetTempPath(), kTempPrefix)) return false;
  // Nameless from here on: even a killed program leaves no picture behind.
  file.Unlink();
  if (!file.SetSize(Size) || file.GetSize() != Size) return false;
  // The mapping works over the file's own descriptor: one per bitmap, so that
  // many snapshots do not use up the process's descriptors.
  TFileMapping mapping;
  if (!mapping.CreateShared(file.Handle())) return false;
  TempFileName = file.FileName();
  if (IsCompanion) {
    // The plane beside a snapshot is mapped whole and its descriptor closed
    // (the mapping keeps the nameless file): a snapshot with its alpha plane
    // holds one descriptor, not two.
    TMappedView whole = mapping.MapViewOfFile(0, size_t(Size));
    if (!whole) return false;
    MappedRow = std::move(whole);
    FViewOffset = 0;
    return true;  // the locals close the mapping object and the descriptor
  }
  FileHandle = std::move(file);
  MappingHandle = std::move(mapping);
  return true;
}

void TIMBitmap::AllocateHeap(int64_t Size) {
  HeapBits.reset(new (std::nothrow) uint8_t[size_t(Size)]);
  if (!HeapBits) {
    FreeImage();
    throw EOutOfMemory();
  }
}

void TIMBitmap::AllocateHiddenBitmap() {
  if (PixelKind == pk16Gray) {
    // A TBitmap has no 16-bit gray format.
    PixelKind = pk8Gray;
    BitsPerPixel = 8;
    RowBytes = static_cast<int32_t>(RowBytesForBits(Width, 8));  // no longer than the 16-bit row it replaces
  }
  auto bmp = std::make_unique<TBitmap>();
  try {
    bmp->SetSize(1, 1);
    bmp->SetPixelFormat(FormatOfKind(PixelKind));
    bmp->SetSize(Width, Height);
  } catch (...) {
    FreeImage();
    throw;
  }
  HiddenBitmap = std::move(bmp);
}

uint8_t* TIMBitmap::ScanLine(int32_t Row) {
  if (Row < 0 || Row >= Height) throw EInvalidGraphicOperation("Scan line index out of range");
  switch (StorageKind) {
    case skHeap:
      if (!HeapBits) break;
      return HeapBits.get() + int64_t(RowBytes) * (Height - Row - 1);
    case skTempFile: {
      const int64_t offset = int64_t(Row) * RowBytes;
      if (!MappedRow || offset < FViewOffset || offset + RowBytes > FViewOffset + int64_t(MappedRow.Length()))
        MapRowWindow(Row, offset);
      return MappedRow.Base() + (offset - FViewOffset);
    }
    case skBitmap:
      if (!HiddenBitmap) break;
      return static_cast<uint8_t*>(HiddenBitmap->ScanLine(Row));
  }
  throw EInvalidGraphicOperation("Image has no pixel storage");
}

void TIMBitmap::MapRowWindow(int32_t Row, int64_t Offset) {
  MappedRow.Unmap();  // one view per bitmap
  const int64_t base = Offset & ~(kMapGranularity - 1);
  const int64_t end = int64_t(RowBytes) * Height;
  const int64_t length = std::min(end - base, std::max(kRowWindowBytes, Offset - base + RowBytes));
  MappedRow = MappingHandle.MapViewOfFile(base, size_t(length));
  // A row pointer must never be computed from a failed mapping.
  if (!MappedRow)
    throw EOutOfResources("Zeile " + std::to_string(Row) + " der temporären Bilddatei \"" +
                          TempFileName + "\" kann nicht eingeblendet werden");
  FViewOffset = base;
}

void TIMBitmap::TransferRows(int32_t Y0, int32_t Count, uint8_t* const* Rows, size_t Length, bool Write) {
  const bool whole = Length == size_t(RowBytes);
  std::vector<iovec> parts(whole ? size_t(Count) : 1);
  bool ok = true;
  if (whole) {
    // The rows lie one after the other in the file: one call for them all.
    for (int32_t i = 0; i < Count; ++i) parts[size_t(i)] = iovec{Rows[i], Length};
    ok = Write ? FileHandle.WriteAt(int64_t(Y0) * RowBytes, parts.data(), Count)
               : FileHandle.ReadAt(int64_t(Y0) * RowBytes, parts.data(), Count);
  } else {
    for (int32_t i = 0; i < Count && ok; ++i) {
      parts[0] = iovec{Rows[i], Length};
      const int64_t at = int64_t(Y0 + i) * RowBytes;
      ok = Write ? FileHandle.WriteAt(at, parts.data(), 1) : FileHandle.ReadAt(at, parts.data(), 1);
    }
  }
  if (ok) return;
  const std::string reason = SysErrorMessage(errno);
  if (Write)
    throw EWriteError("Die temporäre Bilddatei \"" + TempFileName + "\" kann nicht geschrieben werden: " + reason);
  throw EReadError("Die temporäre Bilddatei \"" + TempFileName + "\" kann nicht gelesen werden: " + reason);
}

template <class F>
void TIMBitmap::EachRow(F&& Fn) {
  if (!HasFileRows()) {
    for (int32_t y = 0; y < Height; ++y) Fn(y, static_cast<const uint8_t*>(ScanLine(y)));
    return;
  }
  const int32_t chunk = int32_t(std::clamp<int64_t>(kStageBytes / RowBytes, 1, Height));
  std::unique_ptr<uint8_t[]> stage(new uint8_t[size_t(chunk) * size_t(RowBytes)]);
  std::vector<uint8_t*> rows(size_t(chunk), nullptr);
  for (int32_t i = 0; i < chunk; ++i) rows[size_t(i)] = stage.get() + size_t(i) * size_t(RowBytes);
  for (int32_t y0 = 0; y0 < Height; y0 += chunk) {
    const int32_t n = std::min(chunk, Height - y0);
    TransferRows(y0, n, rows.data(), size_t(RowBytes), false);
    for (int32_t i = 0; i < n; ++i) Fn(y0 + i, static_cast<const uint8_t*>(rows[size_t(i)]));
  }
}

template <class F>
void TIMBitmap::FillEachRow(F&& Fn) {
  if (!HasFileRows()) {
    for (int32_t y = 0; y < Height; ++y) Fn(y, ScanLine(y));
    return;
  }
  const int32_t chunk = int32_t(std::clamp<int64_t>(kStageBytes / RowBytes, 1, Height));
  // Zeroed once: the bytes a conversion leaves alone (row ends) stay zero, as in a fresh file.
  std::vector<uint8_t> stage(size_t(chunk) * size_t(RowBytes), 0);
  std::vector<uint8_t*> rows(size_t(chunk), nullptr);
  for (int32_t i = 0; i < chunk; ++i) rows[size_t(i)] = stage.data() + size_t(i) * size_t(RowBytes);
  for (int32_t y0 = 0; y0 < Height; y0 += chunk) {
    const int32_t n = std::min(chunk, Height - y0);
    for (int32_t i = 0; i < n; ++i) Fn(y0 + i, rows[size_t(i)]);
    TransferRows(y0, n, rows.data(), size_t(RowBytes), true);
  }
}

void TIMBitmap::TakeFromTBitmap(TBitmap& Bitmap) {
  if (StorageKind != skBitmap || Bitmap.PixelFormat() != pf24bit || Bitmap.Empty()) {
    CopyFromTBitmap(Bitmap);
    return;
  }
  FreeImage();
  auto bmp = std::make_unique<TBitmap>();
  bmp->TakeOver(Bitmap);
  PixelKind = pk24BGR;
  Width = bmp->Width();
  Height = bmp->Height();
  BitsPerPixel = 24;
  RowBytes = bmp->RowBytes();
  HiddenBitmap = std::move(bmp);
  FSourceFormat = pf24bit;
}

void TIMBitmap::CopyFromTBitmap(const TBitmap& Bitmap) {
  const TPixelFormat pf = Bitmap.PixelFormat();
  TIMPixelKind kind;
  int32_t paletteEntries = 0;
  switch (pf) {
    case pf1bit:
      kind = Bitmap.Monochrome() ? pk1Bit : pk8Indexed;
      paletteEntries = kind == pk8Indexed ? 2 : 0;
      break;
    case pf4bit: kind = pk8Indexed; paletteEntries = 16; break;
    case pf8bit: kind = pk8Indexed; paletteEntries = 256; break;
    case pf15bit:
    case pf16bit:
    case pf24bit:
    case pf32bit: kind = pk24BGR; break;
    default:
      Full = false;
      return;
  }
  Allocate(Bitmap.Width(), Bitmap.Height(), kind);
  FSourceFormat = pf;

  if (Palette) {
    TPaletteEntry entries[256];
    const int32_t n = Bitmap.GetPaletteEntries(0, paletteEntries, entries);
    for (int32_t i = 0; i < n; ++i) Palette[i] = TBGRPixel{entries[i].peBlue, entries[i].peGreen, entries[i].peRed};
  }

  const int32_t w = Width;
  const size_t copyBytes = size_t(std::min(RowBytes, Bitmap.RowBytes()));
  const bool straight = pf == pf8bit || pf == pf24bit || (pf == pf1bit && kind == pk1Bit);
  if (straight && HasFileRows()) {
    // Written straight from the picture's rows.
    std::vector<uint8_t*> rows(static_cast<size_t>(Height));
    for (int32_t y = 0; y < Height; ++y)
      rows[size_t(y)] = const_cast<uint8_t*>(static_cast<const uint8_t*>(Bitmap.ScanLine(y)));
    TransferRows(0, Height, rows.data(), copyBytes, true);
    Full = false;
    return;
  }
  FillEachRow([&](int32_t y, uint8_t* dst) {
    const auto* src = static_cast<const uint8_t*>(Bitmap.ScanLine(y));
    switch (pf) {
      case pf1bit:
        if (kind == pk1Bit) std::memcpy(dst, src, copyBytes);
        else
          for (int32_t x = 0; x < w; ++x) dst[x] = GetBit(src, x) ? 1 : 0;
        break;
      case pf4bit:
        for (int32_t x = 0; x < w; ++x) dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
        break;
      case pf8bit:
      case pf24bit: std::memcpy(dst, src, copyBytes); break;
      case pf15bit:
        for (int32_t x = 0; x < w; ++x, dst += 3) {
          const unsigned v = src[2 * x] | (unsigned(src[2 * x + 1]) << 8);
          dst[0] = uint8_t((v & 31) << 3);
          dst[1] = uint8_t(((v >> 5) & 31) << 3);
          dst[2] = uint8_t(((v >> 10) & 31) << 3);
        }
        break;
      case pf16bit:
        for (int32_t x = 0; x < w; ++x, dst += 3) {
          const unsigned v = src[2 * x] | (unsigned(src[2 * x + 1]) << 8);
          dst[0] = uint8_t((v & 31) << 3);
          dst[1] = uint8_t(((v >> 5) & 63) << 2);
          dst[2] = uint8_t((v >> 11) << 3);
        }
        break;
      case pf32bit:
        for (int32_t x = 0; x < w; ++x, dst += 3, src += 4) {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
        }
        break;
      default: break;
    }
  });
  Full = false;
}

void TIMBitmap::CopyToTBitmap(TBitmap& Bitmap) {
  const TPixelFormat pf = FormatOfKind(PixelKind);
  if (pf == pfDevice) return;
  Bitmap.SetSize(1, 1);
  Bitmap.SetPixelFormat(pf);
  TPaletteEntry entries[256];
  switch (PixelKind) {
    case pk1Bit:
      Bitmap.SetMonochrome(true);
      entries[0] = TPaletteEntry{0, 0, 0, 0};
      entries[1] = TPaletteEntry{255, 255, 255, 0};
      Bitmap.SetPaletteEntries(0, 2, entries);
      break;
    case pk8Indexed:
      for (int32_t i = 0; i < 256; ++i)
        entries[i] = Palette && i < PaletteCount ? TPaletteEntry{Palette[i].r, Palette[i].g, Palette[i].b, 0}
                                                 : TPaletteEntry{};
      Bitmap.SetPaletteEntries(0, 256, entries);
      break;
    case pk8Gray:
    case pk16Gray:
      for (int32_t i = 0; i < 256; ++i) entries[i] = TPaletteEntry{uint8_t(i), uint8_t(i), uint8_t(i), 0};
      Bitmap.SetPaletteEntries(0, 256, entries);
      break;
    default: break;
  }
  Bitmap.SetSize(Width, Height);

  const size_t copyBytes = size_t(std::min(RowBytes, Bitmap.RowBytes()));
  if (PixelKind != pk16Gray && HasFileRows()) {
    // Read straight into the picture's rows.
    std::vector<uint8_t*> rows(static_cast<size_t>(Height));
    for (int32_t y = 0; y < Height; ++y) rows[size_t(y)] = static_cast<uint8_t*>(Bitmap.ScanLine(y));
    TransferRows(0, Height, rows.data(), copyBytes, false);
    return;
  }
  EachRow([&](int32_t y, const uint8_t* src) {
    auto* dst = static_cast<uint8_t*>(Bitmap.ScanLine(y));
    if (PixelKind == pk16Gray) HighBytes(src, dst, Width);
    else std::memcpy(dst, src, copyBytes);
  });
}

void TIMBitmap::RestoreToTBitmap(TBitmap& Bitmap) {
  const TPixelFormat to = FSourceFormat;
  const bool fromBGR = PixelKind == pk24BGR && (to == pf15bit || to == pf16bit || to == pf32bit);
  const bool fromIndexed = PixelKind == pk8Indexed && (to == pf4bit || to == pf1bit);
  if (!fromBGR && !fromIndexed) {
    CopyToTBitmap(Bitmap);
    return;
  }
  Bitmap.SetSize(1, 1);
  Bitmap.SetPixelFormat(to);
  if (fromIndexed) {
    const int32_t n = to == pf4bit ? 16 : 2;
    TPaletteEntry entries[16];
    for (int32_t i = 0; i < n; ++i) entries[i] = TPaletteEntry{Palette[i].r, Palette[i].g, Palette[i].b, 0};
    Bitmap.SetPaletteEntries(0, n, entries);
  }
  Bitmap.SetSize(Width, Height);
  const int32_t w = Width;
  EachRow([&](int32_t y, const uint8_t* src) {
    auto* dst = static_cast<uint8_t*>(Bitmap.ScanLine(y));
    switch (to) {
      case pf15bit:
      case pf16bit:
        for (int32_t x = 0; x < w; ++x, src += 3) {
          const unsigned v = to == pf15bit ? (src[0] >> 3) | (unsigned(src[1] >> 3) << 5) | (unsigned(src[2] >> 3) << 10)
                                           : (src[0] >> 3) | (unsigned(src[1] >> 2) << 5) | (unsigned(src[2] >> 3) << 11);
          dst[2 * x] = uint8_t(v);
          dst[2 * x + 1] = uint8_t(v >> 8);
        }
        break;
      case pf32bit:
        for (int32_t x = 0; x < w; ++x, src += 3, dst += 4) {
          dst[0] = src[0];
          dst[1] = src[1];
          dst[2] = src[2];
          dst[3] = 0;
        }
        break;
      case pf4bit:
        std::memset(dst, 0, size_t(Bitmap.RowBytes()));
        for (int32_t x = 0; x < w; ++x) dst[x >> 1] |= (x & 1) ? (src[x] & 0x0F) : uint8_t((src[x] & 0x0F) << 4);
        break;
      case pf1bit:
        std::memset(dst, 0, size_t(Bitmap.RowBytes()));
        for (int32_t x = 0; x < w; ++x)
          if (src[x] & 1) dst[x >> 3] |= uint8_t(0x80 >> (x & 7));
        break;
      default: break;
    }
  });
}

void TIMBitmap::CopyFromTIMMask(const TIMMask& Mask) {
  TIMPixelKind kind;
  if (Mask.BitsPerPixel == 1) kind = pk1Bit;
  else if (Mask.BitsPerPixel == 8) kind = pk8Gray;
  else return;
  Allocate(Mask.Width, Mask.Height, kind);
  if (Mask.Bits) {
    const size_t n = size_t(std::min(Mask.RowBytes, RowBytes));
    for (int32_t y = 0; y < Height; ++y) std::memcpy(ScanLine(y), Mask.ScanLine(y), n);
  }
  Full = Mask.Full;
}

void TIMBitmap::CopyToTIMMask(TIMMask& Mask) {
  if (PixelKind == pk1Bit) Mask.AllocateBits(Width, Height, 1);
  else if (PixelKind == pk8Gray) Mask.AllocateBits(Width, Height, 8);
  else return;
  if (Mask.Bits) {
    const size_t n = size_t(std::min(Mask.RowBytes, RowBytes));
    for (int32_t y = 0; y < Height; ++y) std::memcpy(Mask.ScanLine(y), ScanLine(y), n);
  }
  Mask.Full = Full;
}

void TIMBitmap::SetStorageKind(TIMStorageKind Kind) {
  if (Kind == StorageKind) return;
  TIMBitmap old;
  MoveTo(old);
  try {
    StorageKind = Kind;
    IsCompanion = old.IsCompanion;  // a companion stays one
    Allocate(old.Width, old.Height, old.PixelKind);
    for (int32_t y = 0; y < Height; ++y) {
      const uint8_t* src = old.ScanLine(y);
      uint8_t* dst = ScanLine(y);
      // Bitmap storage keeps 16-bit gray as 8-bit: take the high bytes, not the first half of the row.
      if (old.PixelKind == pk16Gray && PixelKind == pk8Gray) HighBytes(src, dst, Width);
      else std::memcpy(dst, src, size_t(std::min(RowBytes, old.RowBytes)));
    }
    const int32_t n = std::min(old.PaletteCount, PaletteCount);
    if (n > 0) std::memcpy(Palette.get(), old.Palette.get(), size_t(n) * sizeof(TBGRPixel));
    if (StorageKind == skBitmap && HiddenBitmap && n > 0) {
      TPaletteEntry entries[256];
      for (int32_t i = 0; i < n; ++i) entries[i] = TPaletteEntry{Palette[i].r, Palette[i].g, Palette[i].b, 0};
      HiddenBitmap->SetPaletteEntries(0, n, entries);
    }
    // The companion plane (the snapshot's alpha channel) moves along.
    if (old.FCompanionPlane) {
      old.FCompanionPlane->SetStorageKind(Kind);
      FCompanionPlane = std::move(old.FCompanionPlane);
    }
    Full = old.Full;  // the pixels are the same
    FSourceFormat = old.FSourceFormat;
  } catch (...) {
    old.MoveTo(*this);  // keep the image where it was
    throw;
  }
}

void TIMBitmap::MoveTo(TIMBitmap& Target) {
  if (&Target == this) return;
  Target.FreeImage();
  Target.Width = std::exchange(Width, 0);
  Target.Height = std::exchange(Height, 0);
  Target.BitsPerPixel = std::exchange(BitsPerPixel, 0);
  Target.MappedRow = std::move(MappedRow);
  Target.FViewOffset = std::exchange(FViewOffset, 0);
  Target.FSourceFormat = std::exchange(FSourceFormat, pfDevice);
  Target.MappingHandle = std::move(MappingHandle);
  Target.FileHandle = std::move(FileHandle);
  Target.TempFileName = std::exchange(TempFileName, std::string());
  Target.RowBytes = std::exchange(RowBytes, 0);
  Target.PixelKind = std::exchange(PixelKind, pkNone);
  Target.Palette = std::move(Palette);
  Target.PaletteCount = std::exchange(PaletteCount, 0);
  Target.FCompanionPlane = std::move(FCompanionPlane);
  Target.IsCompanion = std::exchange(IsCompanion, false);
  Target.HeapBits = std::move(HeapBits);
  Target.HiddenBitmap = std::move(HiddenBitmap);
  Target.StorageKind = StorageKind;
  Target.Full = std::exchange(Full, false);
}

TIMBitmap* TIMBitmap::CompanionPlane() {
  if (IsCompanion) return nullptr;
  if (!FCompanionPlane) FCompanionPlane = CreateCompanion(Width, Height, StorageKind);
  return FCompanionPlane.get();
}

}  // namespace kv
