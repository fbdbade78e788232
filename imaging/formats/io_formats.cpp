#include "imaging/formats/io_formats.h"

#include "imaging/formats/bmp.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/jpeg.h"
#include "imaging/formats/png.h"
#include "imaging/formats/tiff.h"

namespace kv {

namespace {

// Framed or not, TIFF offsets count from where the TIFF data begins, so that
// framed images follow one another anywhere in a stream.
void ReadTiff(const TIOReadCall& C) { ReadTiffStream(C.S, C.Bitmap, C.Params, C.Progress, C.ParamsOnly, C.Mask); }
void WriteTiff(const TIOWriteCall& C) { WriteTiffStream(C.S, C.Bitmap, C.Params, C.Progress); }

void ReadJpeg(const TIOReadCall& C) { ReadJpegStream(C.S, C.Bitmap, C.Params, C.Progress, C.ParamsOnly, C.Mask); }
void WriteJpeg(const TIOWriteCall& C) { WriteJpegStream(C.S, C.Bitmap, C.Params, C.Progress); }

void ReadBmp(const TIOReadCall& C) { ReadBmpStream(C.S, C.Bitmap, C.Params, C.Progress, C.ParamsOnly, C.Size); }
void WriteBmp(const TIOWriteCall& C) { WriteBmpStream(C.S, C.Bitmap, C.Params, C.Progress); }

void ReadPng(const TIOReadCall& C) { ReadPngStream(C.S, C.Bitmap, C.Params, C.Progress, C.ParamsOnly, C.Mask); }
void WritePng(const TIOWriteCall& C) { WritePngStream(C.S, C.Bitmap, C.Params, C.Progress, C.Alpha); }

int32_t CountTiffPages(TStream& S) { return GetTiffPageCountStream(S); }

// Ids in table order, 1 to 12; the metafiles are imported, not read by a codec.
// A codec that joins fills its row.
const TIOFormat kFormats[] = {
    {.Id = ioTIFF, .Name = "TIFF", .Read = ReadTiff, .Write = WriteTiff, .StreamTag = "TIFF",
     .CountImages = CountTiffPages},
    {.Id = ioGIF, .Name = "GIF"},
    {.Id = ioJPEG, .Name = "JPEG", .Read = ReadJpeg, .Write = WriteJpeg, .StreamTag = "JFIF"},
    {.Id = ioPCX, .Name = "PCX", .StreamTag = "PCX2"},
    {.Id = ioBMP, .Name = "BMP", .Read = ReadBmp, .Write = WriteBmp},
    {.Id = ioICO, .Name = "ICO"},
    {.Id = ioCUR, .Name = "CUR"},
    {.Id = ioPNG, .Name = "PNG", .Read = ReadPng, .Write = WritePng},
    {.Id = ioTGA, .Name = "TGA"},
    {.Id = ioPXM, .Name = "PNM"},
};

}  // namespace

const TIOFormat* FindIOFormat(int32_t Id) {
  for (const TIOFormat& f : kFormats)
    if (f.Id == Id) return &f;
  return nullptr;
}

}  // namespace kv
