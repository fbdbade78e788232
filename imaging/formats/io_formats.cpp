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
    // Id, name, reader, writer, content test, stream tag, page count.
    {ioTIFF, "TIFF", ReadTiff, WriteTiff, nullptr, "TIFF", CountTiffPages},
    {ioGIF, "GIF", ReadGif, WriteGif, nullptr, nullptr, GetGifImageCount},
    {ioJPEG, "JPEG", ReadJpeg, WriteJpeg, nullptr, "JFIF", nullptr},
    {ioPCX, "PCX", ReadPcx, WritePcx, nullptr, "PCX2", nullptr},
    {ioBMP, "BMP", ReadBmp, WriteBmp, nullptr, nullptr, nullptr},
    {ioICO, "ICO", ReadIco, nullptr, IsIcoStream, nullptr, nullptr},
    {ioCUR, "CUR", ReadCur, nullptr, IsCurStream, nullptr, nullptr},
    {ioPNG, "PNG", ReadPng, WritePng, nullptr, nullptr, nullptr},
    {ioTGA, "TGA", ReadTga, WriteTga, IsTgaStream, nullptr, nullptr},
    {ioPXM, "PNM", ReadPnm, WritePnm, IsPnmStream, nullptr, nullptr},
};

}  // namespace

const TIOFormat* FindIOFormat(int32_t Id) {
  for (const TIOFormat& f : kFormats)
    if (f.Id == Id) return &f;
  return nullptr;
}

}  // namespace kv
