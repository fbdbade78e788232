// JPEG reading and writing over libjpeg, and the lossless transforms of a
// JPEG on its DCT coefficients.
#pragma once
#include <cstdint>

#include "imaging/formats/codec.h"
#include "platform/rtl/exceptions.h"

namespace kv {

// Raised inside the codec when libjpeg gives up; it never leaves the codec.
KV_DECLARE_EXCEPTION(EIMJpegException, Exception)

// Position of the first FF D8 FF that starts at one of the 100 bytes from
// the stream's position, or -1. The position is restored.
int64_t FindJpegStart(TStream& S);

// Codec contract of codec.h. A stream that starts with the 12-byte "JFIF"
// stream header is read after it and left after its payload, whether the
// caller asked for stream headers or not. The reader keeps COM and APPn
// markers in Params.JpegMarkers; a file that ends early fails, with the rows
// decoded so far in the bitmap. Mask is not used (JPEG has no transparency).
void ReadJpegStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                    TIMMask* Mask);
// Writes Params.JpegMarkers after the tables, except JFIF and Adobe markers:
// libjpeg writes fresh ones that fit the colour space and resolution of
// this write. A marker longer than one segment can hold fails the write
// before anything is written.
void WriteJpegStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress);

// What the I/O component does around a JPEG read: the first APP13 marker
// becomes the IPTC list, the first APP1 that holds an EXIF block fills the
// EXIF fields, and an aspect-only density of 1 x 1 takes the EXIF resolution.
void ParseJpegMetadata(TIOParamsVals& Params);
// Before a JPEG write: an IPTC list the user edited replaces the first APP13
// marker (or is added). False when the block is too long for one marker.
bool PackJpegIptc(TIOParamsVals& Params);

// Transform codes of TransformJpegLossless.
enum TJpegTransform : uint8_t {
  jtNone = 0,            // only crop (or copy)
  jtMirrorLeftRight = 2,
  jtMirrorTopBottom = 5,
  jtRotate90 = 6,        // clockwise
  jtRotate180 = 7,
  jtRotate270 = 8,       // 90 degrees anticlockwise
};
// Which markers of the input the transformed file keeps.
enum TJpegCopyMarkers : uint8_t { jcCopyNone, jcCopyComments, jcCopyAll };

// Reads the JPEG at the input's position and writes the transformed file at
// the output's. A crop rectangle of all zeros keeps the whole picture; else
// the picture is cut to (Left, Top) .. (Right, Bottom) inclusive, after the
// transform, with Left and Top on the file's block grid. Trim drops the
// partial blocks at the edges that a flip or rotation cannot move. Failures
// (not a JPEG, a crop off the grid or outside the picture, an unknown code)
// set the aborted flag and write nothing.
void TransformJpegLossless(TStream& Input, TStream& Output, TProgressRec& Progress, int32_t CropLeft,
                           int32_t CropTop, int32_t CropRight, int32_t CropBottom, TJpegCopyMarkers CopyMarkers,
                           bool Trim, uint8_t Transform);

// What a lossless transform of a whole picture would do to it.
enum TJpegTransformFit : uint8_t {
  jfPerfect,     // every block moves; nothing is lost
  jfDropsEdges,  // the partial blocks at the right or bottom edge cannot move and would be cut off
  jfNotJpeg,     // the stream holds no JPEG header that can be read
  jfBadCode,     // not one of the transform codes above
};
// Reads the header at the stream's position (the position is restored).
TJpegTransformFit CheckJpegTransform(TStream& Input, uint8_t Transform);

}  // namespace kv
