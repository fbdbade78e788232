#include "imaging/formats/io_formats.h"

#include "imaging/formats/bmp.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/gif.h"
#include "imaging/formats/ico.h"
#include "imaging/formats/jpeg.h"
#include "imaging/formats/pcx.h"
#include "imaging/formats/pnm.h"
#include "imaging/formats/png.h"
#include "imaging/formats/tga.h"
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

void ReadGif(const TIOReadCall& C) { ReadGifStream(C.S, C.Bitmap, C.Params, C.Progress, C.ParamsOnly, C.Mask); }
void WriteGif(const TIOWriteCall& C) { WriteGifStream(C.S, C.Bitmap, C.Params, C.Progress); }

// The PCX data may end before the stream does (a framed stream): the reader takes its size.
void ReadPcx(const TIOReadCall& C) { ReadPcxStream(C.S, C.Bitmap, C.Params, C.Progress, C.ParamsOnly, C.Size); }
void WritePcx(const TIOWriteCall& C) { WritePcxStream(C.S, C.Bitmap, C.Params, C.Progress); }

void ReadIco(const TIOReadCall& C) { ReadIcoStream(C.S, C.Bitmap, C.Params, C.Progress, C.ParamsOnly, C.Mask); }
void ReadCur(const TIOReadCall& C) { ReadCurStream(C.S, C.Bitmap, C.Params, C.Progress, C.ParamsOnly, C.Mask); }

void ReadTga(const TIOReadCall& C) { ReadTgaStream(C.S, C.Bitmap, C.Params, C.Progress, C.ParamsOnly, C.Mask); }
void WriteTga(const TIOWriteCall& C) { WriteTgaStream(C.S, C.Bitmap, C.Params, C.Progress); }

void ReadPnm(const TIOReadCall& C) { ReadPnmStream(C.S, C.Bitmap, C.Params, C.Progress, C.ParamsOnly, C.Mask); }
void WritePnm(const TIOWriteCall& C) { WritePnmStream(C.S, C.Bitmap, C.Params, C.Progress); }

int32_t CountTiffPages(const std::string& FileName) {
  try {
    TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
    return GetTiffPageCountStream(f);
  } catch (...) {
    return 0;
  }
}

// Ids in table order, 1 to 12; the metafiles are imported, not read by a codec.
// A codec that joins fills its row.
const TIOFormat kFormats[] = {
    {.Id = ioTIFF, .Name = "TIFF", .Read = ReadTiff, .Write = WriteTiff, .StreamTag = "TIFF",
     .CountImages = CountTiffPages},
    {.Id = ioGIF, .Name = "GIF", .Read = ReadGif, .Write = WriteGif, .CountImages = GetGifImageCount},
    {.Id = ioJPEG, .Name = "JPEG", .Read = ReadJpeg, .Write = WriteJpeg, .StreamTag = "JFIF"},
    {.Id = ioPCX, .Name = "PCX", .Read = ReadPcx, .Write = WritePcx, .StreamTag = "PCX2"},
    {.Id = ioBMP, .Name = "BMP", .Read = ReadBmp, .Write = WriteBmp},
    {.Id = ioICO, .Name = "ICO", .Read = ReadIco, .IsFormat = IsIcoStream},
    {.Id = ioCUR, .Name = "CUR", .Read = ReadCur, .IsFormat = IsCurStream},
    {.Id = ioPNG, .Name = "PNG", .Read = ReadPng, .Write = WritePng},
    {.Id = ioTGA, .Name = "TGA", .Read = ReadTga, .Write = WriteTga, .IsFormat = IsTgaStream},
    {.Id = ioPXM, .Name = "PNM", .Read = ReadPnm, .Write = WritePnm, .IsFormat = IsPnmStream},
};

}  // namespace

const TIOFormat* FindIOFormat(int32_t Id) {
  for (const TIOFormat& f : kFormats)
    if (f.Id == Id) return &f;
  return nullptr;
}

}  // namespace kv
