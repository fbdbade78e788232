// TIFF pages: reading one page (image file directory) into a bitmap and the
// parameter record, counting pages, and writing one page as a new file or
// into an existing Intel-order file.
#pragma once
#include <cstdint>
#include <memory>

#include "imaging/formats/codec.h"

namespace kv {

// The codec contract: reads page Params.TiffImageIndex with offsets counted
// from the stream's position.
void ReadTiffStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                    TIMMask* Mask);

// The whole read. PageCount receives the number of directories (also in
// Params.TiffImageCount). Thumbnail mode gives no transparency mask. With
// BaseAtPosition offsets count from the stream's position, else from 0 (a
// stream that carries the 12-byte stream header).
void ReadTiffPage(TBitmap& Bitmap, TStream& S, int32_t& PageCount, bool Thumbnail, bool BaseAtPosition,
                  TIMMask* Mask, bool ParamsOnly, TProgressRec& Progress, TIOParamsVals& Params);

// Reads the pages of one TIFF, walking its directory chain once: a loader of
// every page takes this instead of ReadTiffPage per index, which walks the
// chain from the first directory each time.
class TTiffPageReader {
 public:
  // Offsets count from the stream's position; the stream must outlive this object.
  explicit TTiffPageReader(TStream& S);
  ~TTiffPageReader();
  TTiffPageReader(const TTiffPageReader&) = delete;
  TTiffPageReader& operator=(const TTiffPageReader&) = delete;
  // Pages in the file; 0 when it is no TIFF.
  int32_t PageCount() const;
  // Reads page Index as ReadTiffStream reads page Params.TiffImageIndex
  // (Params.TiffImageCount = PageCount()); false, with Progress.Fail(), when it cannot.
  bool ReadPage(int32_t Index, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, TIMMask* Mask);

 private:
  struct TState;
  std::unique_ptr<TState> F;
};

// Directories in the TIFF that starts at the stream's position; 0 when it is none.
int32_t GetTiffPageCountStream(TStream& S);

// The codec contract: a new one-page file at the stream's position.
void WriteTiffStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

// Writes one page. Without Insert a new file starts at the stream's position;
// with Insert the stream must hold an Intel-order TIFF from position 0 and the
// page goes in before page Params.TiffImageIndex (appended when the chain is
// shorter). Returns the number of pages now in the file (1 for a new file),
// 0 on failure.
int32_t WriteTiffPage(TStream& S, bool Insert, const TBitmap& Bitmap, TProgressRec& Progress,
                      TIOParamsVals& Params);

}  // namespace kv
