// A store of many device-independent bitmaps in one growing temporary file.
// Each image lives in a block of 64 KiB multiples that starts with its DIB
// header; only a few blocks are mapped at a time (least recently used out
// first). An image can be lent out as a TBitmap and written back on return.
#pragma once
#include <sys/uio.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/file_mapping.h"
#include "platform/system/temp_file.h"

namespace kv {

class TBitmap;

// BITMAPINFOHEADER and two RGBQUADs (black, white) as a block starts with them.
struct TIMDibHeader {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;  // positive: rows bottom-up
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;  // BI_RGB
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
  uint8_t Colors[2][4] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
};
static_assert(sizeof(TIMDibHeader) == 48, "a block's header is 48 bytes");

// One stored image; its address is the image's handle.
struct TIMVirtualImage {
  int64_t Offset = 0;     // of its block in the file
  int64_t DataSize = 0;   // 48 + the rows
  int64_t BlockSize = 0;  // a multiple of 65536
  TMappedView View;       // the mapped block, empty when not mapped
  bool Lent = false;
};
using TIMVirtualImageHandle = TIMVirtualImage*;

struct TIMFreeBlock {
  int64_t Offset = 0;
  int64_t BlockSize = 0;
};

struct TIMLentBitmap {
  TIMVirtualImageHandle Image = nullptr;
  std::unique_ptr<TBitmap> Bitmap;
  int32_t RefCount = 0;
};

class TIMVirtualDIBList {
 public:
  // Folder for the temporary file; empty: the system's temporary folder.
  explicit TIMVirtualDIBList(const std::string& ATempFolder = std::string());
  ~TIMVirtualDIBList();
  TIMVirtualDIBList(const TIMVirtualDIBList&) = delete;
  TIMVirtualDIBList& operator=(const TIMVirtualDIBList&) = delete;

  // A new image of uninitialised rows; nil when no block can be had (bits
  // other than 1, 4, 8, 16, 24, 32, sizes of 0 or less, too large, no space).
  TIMVirtualImageHandle AddImage(int32_t Width, int32_t Height, int32_t Bits);
  // A copy of Bitmap's size, pixel format and rows; nil as AddImage.
  TIMVirtualImageHandle AddBitmap(const TBitmap& Bitmap);
  // An image of the rows of a device-independent bitmap as they lie in
  // memory (bottom row first, each padded to 4 bytes); nil as AddImage.
  TIMVirtualImageHandle AddRows(int32_t Width, int32_t Height, int32_t Bits, const uint8_t* Rows);
  // Grows the file once by Count blocks of such an image.
  void PrepareSpace(int32_t Width, int32_t Height, int32_t Count, int32_t Bits);

  // Lends the image out as a TBitmap (the same one while lent, counted); nil
  // when its block cannot be mapped. Give it back with ReleaseBitmap.
  TBitmap* GetBitmap(TIMVirtualImageHandle Image);
  // One count less for a lent bitmap; WriteBack copies it into the image
  // first. At count 0 the bitmap is freed. Unknown bitmaps are ignored.
  void ReleaseBitmap(TBitmap* Bitmap, bool WriteBack);
  void ReleaseBitmapOf(TIMVirtualImageHandle Image, bool WriteBack);

  // From the lent bitmap while lent, else from the block; 0 when unmappable.
  int32_t ImageWidth(TIMVirtualImageHandle Image);
  int32_t ImageHeight(TIMVirtualImageHandle Image);
  int32_t ImageBitCount(TIMVirtualImageHandle Image);
  // The rows, bottom row first. While lent they are the bitmap's own, whose
  // memory runs top-down: ImageRowStride tells the step from one row to the
  // next upward (negative then). Nil when unmappable.
  uint8_t* ImageBits(TIMVirtualImageHandle Image);
  int64_t ImageRowStride(TIMVirtualImageHandle Image);
  // The image's header: while lent one built from the bitmap (in a scratch
  // record the next call overwrites), else the block's own; nil when unmappable.
  const TIMDibHeader* ImageHeader(TIMVirtualImageHandle Image);

  // Gives the image's block back for reuse and forgets the image.
  void Delete(TIMVirtualImageHandle Image);
  // Forgets every image and deletes the file.
  void Clear();

  int32_t Count() const { return static_cast<int32_t>(Images.size()); }
  TIMVirtualImageHandle Image(int32_t Index) const;
  const std::vector<TIMFreeBlock>& FreeBlockList() const { return FreeBlocks; }
  int64_t GetFileSize() const { return FileSize; }
  int64_t GetFileTop() const { return FileTop; }
  int64_t GetGrowthStep() const { return GrowthStep; }
  int32_t GetMappedCount() const { return MappedCount; }
  int32_t GetMaxMapped() const { return MaxMapped; }
  // The cache size: most blocks mapped at once (at least 1); extra ones are unmapped now.
  void SetMaxMapped(int32_t Value);
  bool IsMapped(TIMVirtualImageHandle Image) const { return Image && Image->View; }
  const std::string& GetTempFileName() const { return TempFileName; }

  // Block size of an image: its data rounded up to 65536; 0 when impossible.
  static int64_t BlockSizeFor(int32_t Width, int32_t Height, int32_t Bits);

 private:
  // Maps the image's block (unmapping the least recently used ones) and
  // makes it the most recently used; false when it cannot be mapped.
  bool Touch(TIMVirtualImage& Image);
  void Unmap(TIMVirtualImage& Image);
  // Steps of adding: a block of Size from the free list or the file's end,
  // with its header written; mapped, or with Rows' rows written after the
  // header when Rows is given. False leaves nothing taken.
  bool TakeBlock(TIMVirtualImage& Image, int32_t Width, int32_t Height, int32_t Bits, std::vector<iovec>* Rows);
  // Header and the Rows parts (the rows, bottom row first) into the image's
  // block with one write; false when the file fails.
  bool WriteBlock(const TIMVirtualImage& Image, const TIMDibHeader& Header, std::vector<iovec>& Rows);
  // Parts for Bitmap's rows, bottom row first; empty when its rows are
  // shorter than Header's.
  static std::vector<iovec> RowsOf(const TBitmap& Bitmap, const TIMDibHeader& Header);
  // Closes the mapping (unmapping every block), makes the file when there is
  // none, sets its end at NewSize and maps it again. On failure the file and
  // mapping stay as they were.
  bool Remap(int64_t NewSize);
  TIMLentBitmap* FindLent(TIMVirtualImageHandle Image);
  void FreeLent(TIMVirtualImageHandle Image);
  void WriteBack(TIMVirtualImage& Image, const TBitmap& Bitmap);

  TTempFile FileHandle;
  std::string TempFileName;
  TFileMapping MappingHandle;
  std::string TempFolder;
  int64_t FileSize = 65536;
  std::vector<std::unique_ptr<TIMVirtualImage>> Images;
  std::vector<TIMVirtualImage*> MappedImages;  // least recently used first
  std::vector<TIMFreeBlock> FreeBlocks;        // in order of release
  int64_t FileTop = 0;
  int64_t GrowthStep = 65536;
  int32_t MaxMapped = 10;
  int32_t MappedCount = 0;
  std::vector<TIMLentBitmap> LentBitmaps;
  int64_t LastBlockSize = 0;
  TIMDibHeader HeaderScratch;
};

}  // namespace kv
