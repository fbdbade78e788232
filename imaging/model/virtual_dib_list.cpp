#include "imaging/model/virtual_dib_list.h"

#include <algorithm>
#include <cstring>

#include "platform/graphics/bitmap.h"

namespace kv {

namespace {

const char* const kTempPrefix = "imager";
constexpr int64_t kHeaderBytes = int64_t(sizeof(TIMDibHeader));
// Blocks stay below 2 GiB so that sizes and growth steps fit 32 bits.
constexpr int64_t kMaxBlockBytes = (int64_t(1) << 31) - kMapGranularity;

bool ValidBits(int32_t Bits) {
  return Bits == 1 || Bits == 4 || Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32;
}

TPixelFormat FormatOfBits(int32_t Bits) {
  switch (Bits) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return pf16bit;
    case 32: return pf32bit;
    default: return pf24bit;
  }
}

TIMDibHeader MakeHeader(int32_t Width, int32_t Height, int32_t Bits) {
  TIMDibHeader h;
  h.biWidth = Width;
  h.biHeight = Height;
  h.biBitCount = static_cast<uint16_t>(Bits);
  return h;
}

}  // namespace

TIMVirtualDIBList::TIMVirtualDIBList(const std::string& ATempFolder) : TempFolder(ATempFolder) {
  Remap(FileSize);  // a failure shows later, as blocks that cannot be mapped
}

TIMVirtualDIBList::~TIMVirtualDIBList() { Clear(); }

int64_t TIMVirtualDIBList::BlockSizeFor(int32_t Width, int32_t Height, int32_t Bits) {
  if (Width <= 0 || Height <= 0 || !ValidBits(Bits)) return 0;
  const int64_t rowBytes = BytesPerScanLine(Width, Bits);
  if (rowBytes > (kMaxBlockBytes - kHeaderBytes) / Height) return 0;
  const int64_t data = kHeaderBytes + rowBytes * Height;
  return (data + kMapGranularity - 1) & ~(kMapGranularity - 1);
}

TIMVirtualImageHandle TIMVirtualDIBList::Image(int32_t Index) const {
  if (Index < 0 || Index >= Count()) return nullptr;
  return Images[size_t(Index)].get();
}

void TIMVirtualDIBList::SetMaxMapped(int32_t Value) {
  MaxMapped = std::max(Value, 1);
  while (MappedCount > MaxMapped && !MappedImages.empty()) Unmap(*MappedImages.front());
}

bool TIMVirtualDIBList::Remap(int64_t NewSize) {
  for (TIMVirtualImage* img : MappedImages) img->View.Unmap();
  MappedImages.clear();
  MappedCount = 0;
  MappingHandle.Close();
  if (!FileHandle.IsOpen()) {
    if (!FileHandle.Create(TempFolder, kTempPrefix)) return false;
    // Nameless from the start: the file cannot outlive the program, however it ends.
    FileHandle.Unlink();
    TempFileName = FileHandle.FileName();
  }
  const int64_t oldSize = FileHandle.GetSize();
  bool ok = FileHandle.SetSize(NewSize);
  if (ok) {
    FileSize = NewSize;
  } else if (oldSize > 0) {
    NewSize = oldSize;  // keep what was there usable
  }
  if (NewSize <= 0 || !MappingHandle.CreateShared(FileHandle.Handle())) return false;
  return ok;
}

void TIMVirtualDIBList::Unmap(TIMVirtualImage& Image) {
  if (!Image.View) return;
  Image.View.Unmap();
  const auto it = std::find(MappedImages.begin(), MappedImages.end(), &Image);
  if (it != MappedImages.end()) MappedImages.erase(it);
  --MappedCount;
}

bool TIMVirtualDIBList::Touch(TIMVirtualImage& Image) {
  if (Image.View) {
    const auto it = std::find(MappedImages.begin(), MappedImages.end(), &Image);
    if (it != MappedImages.end()) std::rotate(it, it + 1, MappedImages.end());
    return true;
  }
  while (MappedCount + 1 > MaxMapped && !MappedImages.empty()) Unmap(*MappedImages.front());
  Image.View = MappingHandle.MapViewOfFile(Image.Offset, size_t(Image.BlockSize));
  if (!Image.View) return false;
  ++MappedCount;
  MappedImages.push_back(&Image);
  return true;
}

bool TIMVirtualDIBList::TakeBlock(TIMVirtualImage& Image, int32_t Width, int32_t Height, int32_t Bits,
                                  std::vector<iovec>* Rows) {
  const int64_t blockSize = BlockSizeFor(Width, Height, Bits);
  if (blockSize == 0) return false;
  if (!MappingHandle.IsOpen() && !Remap(std::max(FileSize, GrowthStep))) return false;

  int64_t offset = -1, newTop = FileTop;
  const auto fit = std::find_if(FreeBlocks.begin(), FreeBlocks.end(),
                                [&](const TIMFreeBlock& F) { return F.BlockSize >= blockSize; });
  if (fit != FreeBlocks.end()) {
    offset = fit->Offset;  // the rest of a larger free block waits until the store is emptied
  } else {
    if (GrowthStep < blockSize) GrowthStep = LastBlockSize + blockSize;
    LastBlockSize = blockSize;
    if (FileTop > INT64_MAX - blockSize) return false;
    newTop = FileTop + blockSize;
    if (newTop > FileSize) {
      if (FileSize > INT64_MAX - GrowthStep || !Remap(FileSize + GrowthStep)) return false;
    }
    offset = FileTop;
  }

  const TIMVirtualImage old{Image.Offset, Image.DataSize, Image.BlockSize, TMappedView(), Image.Lent};
  Unmap(Image);
  Image.Offset = offset;
  Image.BlockSize = blockSize;
  Image.DataSize = kHeaderBytes + BytesPerScanLine(Width, Bits) * Height;
  const TIMDibHeader header = MakeHeader(Width, Height, Bits);
  // With rows to store the block is written, header and rows in one go, and
  // not mapped: a picture passing through (frames of a film) costs no mapping.
  if (Rows ? Rows->empty() || !WriteBlock(Image, header, *Rows) : !Touch(Image)) {
    Image.Offset = old.Offset;
    Image.BlockSize = old.BlockSize;
    Image.DataSize = old.DataSize;
    return false;
  }
  if (fit != FreeBlocks.end()) FreeBlocks.erase(fit);
  else FileTop = newTop;
  if (!Rows) std::memcpy(Image.View.Base(), &header, sizeof header);
  return true;
}

bool TIMVirtualDIBList::WriteBlock(const TIMVirtualImage& Image, const TIMDibHeader& Header,
                                   std::vector<iovec>& Rows) {
  TIMDibHeader copy = Header;
  Rows.insert(Rows.begin(), iovec{&copy, sizeof copy});
  const bool ok = FileHandle.WriteAt(Image.Offset, Rows.data(), int32_t(Rows.size()));
  Rows.clear();  // the parts point at the copy, and the write may have moved them
  return ok;
}

std::vector<iovec> TIMVirtualDIBList::RowsOf(const TBitmap& Bitmap, const TIMDibHeader& Header) {
  const int32_t h = Header.biHeight;
  const size_t rowBytes = size_t(BytesPerScanLine(Header.biWidth, Header.biBitCount));
  std::vector<iovec> parts;
  if (size_t(Bitmap.RowBytes()) < rowBytes || Bitmap.Height() != h) return parts;
  parts.resize(size_t(h));
  // Bottom row first, as a device-independent bitmap has them.
  for (int32_t i = 0; i < h; ++i) parts[size_t(i)] = iovec{const_cast<void*>(Bitmap.ScanLine(h - 1 - i)), rowBytes};
  return parts;
}

TIMVirtualImageHandle TIMVirtualDIBList::AddImage(int32_t Width, int32_t Height, int32_t Bits) {
  auto image = std::make_unique<TIMVirtualImage>();
  if (!TakeBlock(*image, Width, Height, Bits, nullptr)) return nullptr;
  Images.push_back(std::move(image));
  return Images.back().get();
}

TIMVirtualImageHandle TIMVirtualDIBList::AddBitmap(const TBitmap& Bitmap) {
  const int32_t w = Bitmap.Width(), h = Bitmap.Height(), bits = PixelFormatBits(Bitmap.PixelFormat());
  if (BlockSizeFor(w, h, bits) == 0) return nullptr;
  std::vector<iovec> rows = RowsOf(Bitmap, MakeHeader(w, h, bits));
  auto image = std::make_unique<TIMVirtualImage>();
  if (!TakeBlock(*image, w, h, bits, &rows)) return nullptr;
  Images.push_back(std::move(image));
  return Images.back().get();
}

TIMVirtualImageHandle TIMVirtualDIBList::AddRows(int32_t Width, int32_t Height, int32_t Bits, const uint8_t* Rows) {
  if (!Rows || BlockSizeFor(Width, Height, Bits) == 0) return nullptr;
  std::vector<iovec> rows{iovec{const_cast<uint8_t*>(Rows), size_t(BytesPerScanLine(Width, Bits) * Height)}};
  auto image = std::make_unique<TIMVirtualImage>();
  if (!TakeBlock(*image, Width, Height, Bits, &rows)) return nullptr;
  Images.push_back(std::move(image));
  return Images.back().get();
}

void TIMVirtualDIBList::PrepareSpace(int32_t Width, int32_t Height, int32_t Count, int32_t Bits) {
  const int64_t blockSize = BlockSizeFor(Width, Height, Bits);
  if (blockSize == 0 || Count <= 0 || Count > (INT64_MAX - FileSize) / blockSize) return;
  Remap(FileSize + blockSize * Count);
}

TIMLentBitmap* TIMVirtualDIBList::FindLent(TIMVirtualImageHandle Image) {
  for (TIMLentBitmap& l : LentBitmaps)
    if (l.Image == Image) return &l;
  return nullptr;
}

void TIMVirtualDIBList::FreeLent(TIMVirtualImageHandle Image) {
  const auto it = std::find_if(LentBitmaps.begin(), LentBitmaps.end(),
                               [&](const TIMLentBitmap& L) { return L.Image == Image; });
  if (it == LentBitmaps.end()) return;
  Image->Lent = false;
  LentBitmaps.erase(it);
}

TBitmap* TIMVirtualDIBList::GetBitmap(TIMVirtualImageHandle Image) {
  if (!Image) return nullptr;
  if (TIMLentBitmap* lent = FindLent(Image)) {
    ++lent->RefCount;
    return lent->Bitmap.get();
  }
  // Read, not mapped: the rows go straight into the bitmap lent out.
  TIMDibHeader h;
  iovec head{&h, sizeof h};
  if (!FileHandle.ReadAt(Image->Offset, &head, 1)) return nullptr;
  const int64_t rowBytes = ValidBits(h.biBitCount) ? BytesPerScanLine(h.biWidth, h.biBitCount) : 0;
  // The block is ours, but a header that does not fit its block is never followed.
  if (h.biWidth <= 0 || h.biHeight <= 0 || rowBytes <= 0 || kHeaderBytes + rowBytes * h.biHeight > Image->BlockSize)
    return nullptr;
  auto bmp = std::make_unique<TBitmap>();
  bmp->AllocateForOverwrite(h.biWidth, h.biHeight, FormatOfBits(h.biBitCount));
  if (bmp->RowBytes() < rowBytes) return nullptr;
  std::vector<iovec> parts(size_t(h.biHeight));
  for (int32_t i = 0; i < h.biHeight; ++i) parts[size_t(i)] = iovec{bmp->ScanLine(h.biHeight - 1 - i), size_t(rowBytes)};
  if (!FileHandle.ReadAt(Image->Offset + kHeaderBytes, parts.data(), h.biHeight)) return nullptr;
  LentBitmaps.push_back(TIMLentBitmap{Image, std::move(bmp), 1});
  Image->Lent = true;
  return LentBitmaps.back().Bitmap.get();
}

void TIMVirtualDIBList::WriteBack(TIMVirtualImage& Image, const TBitmap& Bitmap) {
  const int32_t w = Bitmap.Width(), h = Bitmap.Height(), bits = PixelFormatBits(Bitmap.PixelFormat());
  if (BlockSizeFor(w, h, bits) == 0) return;
  std::vector<iovec> rows = RowsOf(Bitmap, MakeHeader(w, h, bits));
  if (rows.empty()) return;
  if (BlockSizeFor(w, h, bits) <= Image.BlockSize) {
    // The new size (or the same) fits the block it has: no move, no space lost.
    if (WriteBlock(Image, MakeHeader(w, h, bits), rows)) Image.DataSize = kHeaderBytes + BytesPerScanLine(w, bits) * h;
    return;
  }
  const TIMFreeBlock old{Image.Offset, Image.BlockSize};
  if (!TakeBlock(Image, w, h, bits, &rows)) return;  // the image keeps its old block and rows
  FreeBlocks.push_back(old);                           // given back, or the file would only grow
}

void TIMVirtualDIBList::ReleaseBitmap(TBitmap* Bitmap, bool WriteBackRows) {
  if (!Bitmap) return;
  const auto it = std::find_if(LentBitmaps.begin(), LentBitmaps.end(),
                               [&](const TIMLentBitmap& L) { return L.Bitmap.get() == Bitmap; });
  if (it == LentBitmaps.end()) return;
  --it->RefCount;
  if (WriteBackRows) WriteBack(*it->Image, *Bitmap);
  if (it->RefCount <= 0) FreeLent(it->Image);
}

void TIMVirtualDIBList::ReleaseBitmapOf(TIMVirtualImageHandle Image, bool WriteBackRows) {
  if (TIMLentBitmap* lent = FindLent(Image)) ReleaseBitmap(lent->Bitmap.get(), WriteBackRows);
}

const TIMDibHeader* TIMVirtualDIBList::ImageHeader(TIMVirtualImageHandle Image) {
  if (!Image) return nullptr;
  if (TIMLentBitmap* lent = FindLent(Image)) {
    const TBitmap& b = *lent->Bitmap;
    HeaderScratch = MakeHeader(b.Width(), b.Height(), PixelFormatBits(b.PixelFormat()));
    return &HeaderScratch;
  }
  if (!Touch(*Image)) return nullptr;
  return reinterpret_cast<const TIMDibHeader*>(Image->View.Base());
}

int32_t TIMVirtualDIBList::ImageWidth(TIMVirtualImageHandle Image) {
  const TIMDibHeader* h = ImageHeader(Image);
  return h ? h->biWidth : 0;
}

int32_t TIMVirtualDIBList::ImageHeight(TIMVirtualImageHandle Image) {
  const TIMDibHeader* h = ImageHeader(Image);
  return h ? h->biHeight : 0;
}

int32_t TIMVirtualDIBList::ImageBitCount(TIMVirtualImageHandle Image) {
  const TIMDibHeader* h = ImageHeader(Image);
  return h ? h->biBitCount : 0;
}

uint8_t* TIMVirtualDIBList::ImageBits(TIMVirtualImageHandle Image) {
  if (!Image) return nullptr;
  if (TIMLentBitmap* lent = FindLent(Image)) {
    TBitmap& b = *lent->Bitmap;
    return b.Empty() ? nullptr : static_cast<uint8_t*>(b.ScanLine(b.Height() - 1));
  }
  if (!Touch(*Image)) return nullptr;
  return Image->View.Base() + kHeaderBytes;
}

int64_t TIMVirtualDIBList::ImageRowStride(TIMVirtualImageHandle Image) {
  if (!Image) return 0;
  if (TIMLentBitmap* lent = FindLent(Image)) return -int64_t(lent->Bitmap->RowBytes());
  const TIMDibHeader* h = ImageHeader(Image);
  return h ? BytesPerScanLine(h->biWidth, h->biBitCount) : 0;
}

void TIMVirtualDIBList::Delete(TIMVirtualImageHandle Image) {
  const auto it = std::find_if(Images.begin(), Images.end(),
                               [&](const std::unique_ptr<TIMVirtualImage>& I) { return I.get() == Image; });
  if (!Image || it == Images.end()) return;
  FreeBlocks.push_back(TIMFreeBlock{Image->Offset, Image->BlockSize});
  FreeLent(Image);
  Unmap(*Image);
  Images.erase(it);
  if (Images.empty()) {
    // Every block is free again: the file shrinks and starts over.
    FreeBlocks.clear();
    FileTop = 0;
    Remap(GrowthStep);
  }
}

void TIMVirtualDIBList::Clear() {
  LentBitmaps.clear();
  for (TIMVirtualImage* img : MappedImages) img->View.Unmap();
  MappedImages.clear();
  MappedCount = 0;
  Images.clear();
  FreeBlocks.clear();
  MappingHandle.Close();
  FileHandle.Close();  // deletes the file
  TempFileName.clear();
  FileTop = 0;
  FileSize = GrowthStep;
}

}  // namespace kv
