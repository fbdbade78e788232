// GIF files: reading one image of a file (chosen by Params.GifImageIndex),
// writing a one-image file, counting images and dropping one. The pixel data
// goes through the GIF LZW hooks of the parameter record (or, when those are
// empty, the process-wide ones); without a hook nothing is read or written.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/formats/codec.h"

namespace kv {

// Codec contract of codec.h. Reads image Params.GifImageIndex and walks on to
// the end of the file to count the images (Params.GifImageCount). A two-entry
// black, white palette gives a 1-bit bitmap, anything else a 24-bit one;
// indices past the colour table take the table's first colour. With a Mask
// the transparent index becomes 0 and everything else 255. Fails for a file
// that is no GIF, a missing or failing decoder, an image of no size or past
// the pixel limit, and (unless ParamsOnly) an index past the last image.
void ReadGifStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask);
// The same on a file; false when it cannot be opened or the read fails.
bool ReadGifFile(const std::string& FileName, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                 TIMMask* Mask);

// Reads the images of one GIF in file order, walking its blocks once: a
// loader of every frame takes this instead of ReadGifStream per index, which
// walks the file from its start each time and makes the whole load quadratic.
class TGifFrameReader {
 public:
  // Counts the images (one pass that skips the pixel data) and reads the
  // header at the stream's position. The stream must outlive this object.
  explicit TGifFrameReader(TStream& S);
  ~TGifFrameReader();
  TGifFrameReader(const TGifFrameReader&) = delete;
  TGifFrameReader& operator=(const TGifFrameReader&) = delete;
  // Images in the file; 0 when it is no GIF.
  int32_t ImageCount() const;
  // Reads the next image as ReadGifStream reads image Params.GifImageIndex
  // (Params.GifImageCount = ImageCount()). False, with Progress.Fail(), when
  // there is none left or it cannot be read; nothing more is read after that.
  bool ReadNext(TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, TIMMask* Mask);

 private:
  struct TState;
  std::unique_ptr<TState> F;
};

// Writes a 1-bit or 24-bit bitmap as a one-image GIF of Params.BitsPerSample
// bits (1 to 8; larger values write 8). Fails (no trailer) without an encoder
// hook, and on any short write.
void WriteGifStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress);
// The same into a file, replaced only when the whole file has been written.
bool WriteGifFile(const std::string& FileName, const TBitmap& Bitmap, TIOParamsVals& Params,
                  TProgressRec& Progress);

// Copies the file without image FrameIndex and the graphic control extension
// just before it, as GIF89a; with Save the copy replaces the file (atomically).
// Returns the images copied; 0 for a file that is no GIF or cannot be read.
int32_t DeleteGifFrame(const std::string& FileName, int32_t FrameIndex, bool Save);
// The images of a GIF file; 0 on any error.
int32_t GetGifImageCount(const std::string& FileName);
// The same for the GIF that starts at the stream's position (which moves).
int32_t GetGifImageCountStream(TStream& S);

}  // namespace kv
