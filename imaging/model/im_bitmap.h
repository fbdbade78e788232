// The library's own pixel buffer: undo and redo snapshots of a TBitmap (with
// an optional companion plane for the alpha channel), kept on the heap, in a
// temporary file, or in a hidden TBitmap.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/model/pixel.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/object.h"
#include "platform/system/file_mapping.h"
#include "platform/system/temp_file.h"

namespace kv {

class TIMMask;

enum TIMPixelKind : uint8_t { pkNone, pk1Bit, pk8Indexed, pk8Gray, pk16Gray, pk24BGR };
enum TIMStorageKind : uint8_t { skHeap, skTempFile, skBitmap };

// Bits per pixel of a kind: 0, 1, 8, 8, 16, 24.
int32_t PixelKindBits(TIMPixelKind Kind);

class TIMBitmap : public TObject {
 public:
  // Empty: no pixels, pkNone, skTempFile.
  TIMBitmap() = default;
  ~TIMBitmap() override;
  // A companion plane: pk8Gray of the given size, allocated at once.
  static std::unique_ptr<TIMBitmap> CreateCompanion(int32_t AWidth, int32_t AHeight, TIMStorageKind AStorageKind);

  // Frees the present image, then allocates AWidth x AHeight of Kind (nothing
  // for a size <= 0 or pkNone). Temporary-file storage that cannot be set up
  // falls back to the heap for good.
  void Allocate(int32_t AWidth, int32_t AHeight, TIMPixelKind Kind);
  // Frees the pixels, palette, companion plane, view, mapping and file (deleted).
  // PixelKind, StorageKind and IsCompanion stay.
  void FreeImage();

  // Row Row (0 = top). With temporary-file storage the pointer stays valid
  // only until the next ScanLine call on this bitmap (a window of rows stays
  // mapped, and a row outside it moves the window). Raises
  // EInvalidGraphicOperation for a row outside the image and EOutOfResources
  // when the row of the file cannot be mapped.
  uint8_t* ScanLine(int32_t Row);

  void CopyFromTBitmap(const TBitmap& Bitmap);
  // CopyFromTBitmap for a picture its owner gives up: a pf24bit picture in
  // bitmap storage moves in without a copy (Bitmap is left empty); anything
  // else is copied.
  void TakeFromTBitmap(TBitmap& Bitmap);
  void CopyToTBitmap(TBitmap& Bitmap);
  // The pixel format of the TBitmap CopyFromTBitmap took the pixels from;
  // pfDevice when they came from elsewhere.
  TPixelFormat SourceFormat() const { return FSourceFormat; }
  // CopyToTBitmap, then back to SourceFormat with its palette where the
  // snapshot's pixels hold it exactly: 15 and 16 bits (their top bits were
  // kept), 4 bits and coloured 1 bit (their indexes were kept). 32 bits come
  // back as 32 bits with the fourth byte 0, which the snapshot does not keep.
  void RestoreToTBitmap(TBitmap& Bitmap);
  void CopyFromTIMMask(const TIMMask& Mask);
  void CopyToTIMMask(TIMMask& Mask);

  // Moves the pixels (and the companion plane's) to another storage kind.
  void SetStorageKind(TIMStorageKind Kind);
  // Hands everything to Target (after Target.FreeImage); this object is left
  // empty, keeping its StorageKind.
  void MoveTo(TIMBitmap& Target);

  // The companion plane, made on first use; null for a companion itself.
  TIMBitmap* CompanionPlane();
  bool HasCompanion() const { return FCompanionPlane != nullptr; }

  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitsPerPixel = 0;
  // The one file view mapped now (temporary-file storage): a window of rows; empty if none.
  TMappedView MappedRow;
  // File-mapping object of temporary-file storage, over FileHandle's descriptor; closed if none.
  TFileMapping MappingHandle;
  // The temporary file; not open (handle -1) if none. Its name is removed
  // as soon as it is made, so that no picture outlives the program.
  TTempFile FileHandle;
  std::string TempFileName;
  int32_t RowBytes = 0;
  TIMPixelKind PixelKind = pkNone;
  // 256 entries, only for pk8Indexed.
  std::unique_ptr<TBGRPixel[]> Palette;
  int32_t PaletteCount = 0;
  bool IsCompanion = false;
  // Heap storage: RowBytes * Height bytes, rows bottom-up.
  std::unique_ptr<uint8_t[]> HeapBits;
  // Bitmap storage.
  std::unique_ptr<TBitmap> HiddenBitmap;
  TIMStorageKind StorageKind = skTempFile;
  // Carried to and from a TIMMask's full flag; false after every allocation.
  bool Full = false;

 private:
  bool AllocateTempFile(int64_t Size);
  void AllocateHeap(int64_t Size);
  void AllocateHiddenBitmap();

  void MapRowWindow(int32_t Row, int64_t Offset);
  // Temporary-file storage with its descriptor (not a companion plane, which
  // is mapped whole): rows go in and out with single reads and writes
  // straight from and to the caller's rows, not through a mapping.
  bool HasFileRows() const { return StorageKind == skTempFile && FileHandle.IsOpen(); }
  // Rows Y0 .. Y0 + Count - 1 of the file from or into Rows[0 .. Count - 1],
  // Length bytes of each (at most RowBytes). Raises EWriteError or EReadError
  // with the system's reason when the file fails.
  void TransferRows(int32_t Y0, int32_t Count, uint8_t* const* Rows, size_t Length, bool Write);
  // Fn(y, row) for every row, top first, whatever the storage; file rows are
  // read a few megabytes at a time into a buffer the row points into.
  template <class F>
  void EachRow(F&& Fn);
  // Fn(y, row) fills every row, whatever the storage; file rows are filled in
  // a zeroed buffer and written a few megabytes at a time.
  template <class F>
  void FillEachRow(F&& Fn);

  std::unique_ptr<TIMBitmap> FCompanionPlane;
  TPixelFormat FSourceFormat = pfDevice;
  // File offset of MappedRow's first byte.
  int64_t FViewOffset = 0;
};

}  // namespace kv
