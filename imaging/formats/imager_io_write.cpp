// Writes of the I/O component: one format by id or by extension, to a
// stream or, atomically, to a file.
#include <cstring>

#include "imaging/formats/codec_failure.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/io_formats.h"
#include "imaging/formats/jpeg.h"
#include "platform/rtl/atomic_file_stream.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

struct TExtensionRow {
  const char* Ext;
  int32_t Id;
};
// The load list without the metafiles, cursors and icons.
constexpr TExtensionRow kSaveExtensions[] = {
    {".jpg", ioJPEG}, {".jpeg", ioJPEG}, {".jpe", ioJPEG}, {".png", ioPNG},  {".tif", ioTIFF},
    {".tiff", ioTIFF}, {".fax", ioTIFF}, {".pcx", ioPCX},  {".gif", ioGIF},  {".bmp", ioBMP},
    {".dib", ioBMP},  {".rle", ioBMP},  {".tga", ioTGA},  {".targa", ioTGA}, {".vda", ioTGA},
    {".icb", ioTGA},  {".vst", ioTGA},  {".win", ioTGA},  {".pxm", ioPXM},  {".ppm", ioPXM},
    {".pgm", ioPXM},  {".pbm", ioPXM},
};

bool Writable(int32_t Id) {
  const TIOFormat* f = FindIOFormat(Id);
  return f && Id != ioICO && Id != ioCUR;
}

void PutLE32(uint8_t* P, uint32_t V) {
  for (int i = 0; i < 4; ++i) P[i] = uint8_t(V >> (8 * i));
}

}  // namespace

// True when the codec ran and reported success.
bool TImagerIO::WriteFormat(int32_t Id, TStream& S, bool Headers) {
  TBitmap* bmp = Bitmap();
  if (!bmp || bmp->Empty()) {
    Fail("Es ist kein Bild zum Speichern da");
    return false;
  }
  const TIOFormat* f = FindIOFormat(Id);
  if (!f || !f->Write) {
    Fail(f ? std::string(f->Name) + "-Dateien können nicht geschrieben werden"
           : std::string("Dateityp wird nicht unterstützt"));
    return false;
  }
  if (Id == ioJPEG && !PackJpegIptc(*FParams)) {
    Fail("Die IPTC-Daten passen nicht in einen JPEG-Marker");
    return false;
  }
  // Writers take 1 or 24 bits; others are converted on a copy, so that a
  // save leaves the picture as it was.
  const TBitmap* source = bmp;
  TBitmap converted;
  if (bmp->PixelFormat() != pf1bit && bmp->PixelFormat() != pf24bit) {
    converted.Assign(bmp);
    converted.SetPixelFormat(pf24bit);
    source = &converted;
  }
  const bool framed = Headers && f->StreamTag;
  const int64_t headerAt = S.Position();
  if (framed) {
    const uint8_t reserve[12] = {};
    S.WriteBuffer(reserve, 12);
  }
  TProgressRec progress = MakeProgress(true);
  ClearCodecFailure();
  try {
    f->Write(TIOWriteCall{S, *source, *FParams, progress, FAttachedImager ? ViewAlpha() : nullptr, framed});
  } catch (...) {
    FAborted = true;  // codecs catch their own; none may leave a save half-reported
  }
  if (FAborted && FAbortReason.empty()) FAbortReason = TakeCodecFailure();
  if (FAborted && FAbortReason.empty()) FAbortReason = std::string(f->Name) + "-Datei konnte nicht geschrieben werden";
  // A failed PCX leaves its header unfilled; the others fill it whatever happened.
  if (framed && !(FAborted && Id == ioPCX)) {
    const int64_t end = S.Position();
    uint8_t h[12] = {};
    std::memcpy(h, f->StreamTag, 4);
    PutLE32(h + 8, uint32_t(end - headerAt - 12));
    S.SetPosition(headerAt);
    S.WriteBuffer(h, 12);
    S.SetPosition(end);
  }
  return !FAborted;
}

void TImagerIO::WriteFormatStream(int32_t Id, TStream& S) {
  FAborted = false;
  FAbortReason.clear();
  WriteFormat(Id, S, FStreamHeaders);
}

// The new file is written under a temporary name beside the old one and
// renamed over it only when the writer succeeded: a failed or interrupted
// save leaves the old file as it was.
void TImagerIO::WriteFormatFile(int32_t Id, const std::string& FileName) {
  FAborted = false;
  FAbortReason.clear();
  const TIOFormat* f = FindIOFormat(Id);
  TBitmap* bmp = Bitmap();
  if (!f || !f->Write || !bmp || bmp->Empty()) {
    TMemoryStream none;
    WriteFormat(Id, none, false);  // fails with its reason; no file is touched
    return;
  }
  FParams->FileName = FileName;
  TAtomicFileStream file(FileName);
  const bool ok = WriteFormat(Id, file, false);  // files carry no stream header
  // A short write is the disk's failure, not the picture's: it is raised.
  if (ok || file.WriteErrno()) file.Commit();
  else file.Discard();
}

void TImagerIO::SaveToStreamByType(TStream& S, int32_t TypeId) {
  FAborted = false;
  FAbortReason.clear();
  if (!Writable(TypeId)) {
    Fail("Dateityp " + IntToStr(TypeId) + " kann nicht geschrieben werden");
    return;
  }
  WriteFormat(TypeId, S, FStreamHeaders);
}

void TImagerIO::SaveToFileByExtension(const std::string& FileName) {
  const std::string ext = LowerCase(ExtractFileExt(FileName));
  for (const TExtensionRow& row : kSaveExtensions)
    if (ext == row.Ext) {
      WriteFormatFile(row.Id, FileName);
      return;
    }
  FAborted = false;
  Fail("Dateiendung \"" + ext + "\" kann nicht geschrieben werden");
}

}  // namespace kv
