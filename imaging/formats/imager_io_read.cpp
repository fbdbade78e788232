// Reads of the I/O component: one format by id, by extension, by content,
// and the params-only reads.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/formats/codec_failure.h"
#include "imaging/formats/file_types.h"
#include "imaging/formats/imager_io.h"
#include "imaging/formats/io_detect.h"
#include "imaging/formats/io_formats.h"
#include "imaging/formats/jpeg.h"
#include "imaging/processing/geometry_ops.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {

// The component's own extension list (not the file-type table: ".pix" is
// not here, ".win" is). 0 for an extension it does not load.
struct TExtensionRow {
  const char* Ext;
  int32_t Id;
};
constexpr TExtensionRow kLoadExtensions[] = {
    {".jpg", ioJPEG}, {".jpeg", ioJPEG}, {".jpe", ioJPEG}, {".png", ioPNG},   {".tif", ioTIFF},
    {".tiff", ioTIFF}, {".fax", ioTIFF}, {".pcx", ioPCX},  {".gif", ioGIF},   {".wmf", ioWMF},
    {".emf", ioEMF},  {".bmp", ioBMP},  {".dib", ioBMP},  {".rle", ioBMP},   {".cur", ioCUR},
    {".ico", ioICO},  {".tga", ioTGA},  {".targa", ioTGA}, {".vda", ioTGA},  {".icb", ioTGA},
    {".vst", ioTGA},  {".win", ioTGA},  {".pxm", ioPXM},  {".ppm", ioPXM},   {".pgm", ioPXM},
    {".pbm", ioPXM},
};

uint32_t LE32(const uint8_t* P) {
  return uint32_t(P[0]) | uint32_t(P[1]) << 8 | uint32_t(P[2]) << 16 | uint32_t(P[3]) << 24;
}

// The 4-character tag of a stream header as text up to its first zero byte.
bool TagIs(const uint8_t* Header, const char* Tag) {
  return std::string_view(reinterpret_cast<const char*>(Header), strnlen(reinterpret_cast<const char*>(Header), 4)) ==
         Tag;
}

// Where the image data stands and how long it is, after the stream header.
struct TFrame {
  bool Ok = true;
  bool Framed = false;
  int64_t Size = 0;        // bytes of the image from the data's start
  int64_t PayloadEnd = -1; // where the stream goes after the read, -1: left where the reader left it
};

TFrame ReadStreamHeader(TStream& S, const TIOFormat& F, bool Headers) {
  TFrame fr;
  const int64_t pos = S.Position();
  fr.Size = S.Size() - pos;
  // JPEG finds its own header whatever the setting (the reader skips it).
  if (!Headers || !F.StreamTag || F.Id == ioJPEG) return fr;
  uint8_t h[12] = {};
  const int32_t got = S.Read(h, 12);
  if (F.Id == ioPCX && got >= 4 && std::memcmp(h, "PCX\0", 4) == 0) {
    // The older 4-byte header: the data runs to the end of the stream.
    S.SetPosition(pos + 4);
    fr.Size = S.Size() - pos - 4;
    fr.Framed = true;
    return fr;
  }
  if (got != 12 || !TagIs(h, F.StreamTag)) {
    fr.Ok = false;
    return fr;
  }
  fr.Framed = true;
  // A length past the stream's end is cut to it: the read stays inside the
  // stream and so does the position it leaves.
  fr.Size = std::min<int64_t>(LE32(h + 8), S.Size() - pos - 12);
  fr.PayloadEnd = pos + 12 + fr.Size;
  return fr;
}

}  // namespace

void TImagerIO::ReadFormat(int32_t Id, TStream& S, const std::string& FileName, bool Headers) {
  FAborted = false;
  FAbortReason.clear();
  TBitmap* bmp = Bitmap();
  if (!bmp) {
    // Nothing was loaded: saying so keeps callers from taking the old picture for the file.
    Fail("Es ist kein Bild zum Laden da");
    return;
  }
  ClearMetadata();
  const TIOFormat* f = FindIOFormat(Id);
  if (!f || !f->Read) {
    Fail(f ? std::string(f->Name) + "-Dateien können nicht gelesen werden"
           : std::string("Dateityp wird nicht unterstützt"));
    return;
  }
  const TFrame frame = ReadStreamHeader(S, *f, Headers);
  if (!frame.Ok) {
    Fail(std::string("Der Datenstrom hat keinen ") + f->StreamTag + "-Kopf");
    return;
  }
  TIMIOViewLink* view = IOView();
  if (view) view->DeSelect();
  auto mask = std::make_unique<TIMMask>();
  TProgressRec progress = MakeProgress(true);
  ClearCodecFailure();
  try {
    f->Read(TIOReadCall{S, *bmp, *FParams, progress, false, mask.get(), frame.Size, frame.Framed});
  } catch (...) {
    FAborted = true;  // codecs catch their own; this keeps any that slipped through from escaping
  }
  if (Id == ioJPEG) ParseJpegMetadata(*FParams);
  if (Id == ioGIF) {
    const TBGRPixel c = FParams->GifTransparent ? FParams->GifTransparentColor : FParams->GifBackground;
    SetBackground(TColor(uint32_t(c.r) | uint32_t(c.g) << 8 | uint32_t(c.b) << 16));
  }
  if (!FAborted && bmp->Empty()) Fail(std::string(f->Name) + "-Datei enthält keine Bildpunkte");
  // A codec that gave up without saying why found data it could not use.
  if (FAborted && FAbortReason.empty()) FAbortReason = TakeCodecFailure();
  if (FAborted && FAbortReason.empty()) FAbortReason = std::string(f->Name) + "-Datei ist beschädigt oder unvollständig";

  // Transparency the reader found goes to the view, or stays with the component.
  const bool filled = !mask->IsEmpty();
  if (FAttachedImager && view) {
    if (filled) view->SetAlphaChannel(std::move(mask));
    else if (FAttachedImager->HasAlphaChannel()) view->RemoveAlphaChannel();  // the old picture's
  } else if (!FAttachedImager) {
    FOwnMask = filled ? std::move(mask) : nullptr;
  }
  if (FAutoAdjustDPI && !FAborted) AdjustDpi();
  if (frame.PayloadEnd >= 0) {
    try {
      S.SetPosition(frame.PayloadEnd);
    } catch (...) {
      FAborted = true;
    }
  }
  if (view) view->SetDpi(FParams->DpiX, FParams->DpiY);
  FParams->FileName = FileName;
  FParams->FileType = Id;
  RefreshTarget();
}

void TImagerIO::ReadFormatStream(int32_t Id, TStream& S) { ReadFormat(Id, S, std::string(), FStreamHeaders); }

void TImagerIO::ReadFormatFile(int32_t Id, const std::string& FileName) {
  const TIOFormat* f = FindIOFormat(Id);
  if (!f || !f->Read) {
    // No file is opened for a type that cannot be read.
    TMemoryStream none;
    ReadFormat(Id, none, FileName, false);
    return;
  }
  // Files never carry the stream header: it frames images inside other streams.
  TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
  ReadFormat(Id, file, FileName, false);
}

// The bitmap is resampled so that both axes share one resolution: the
// shorter side is stretched. Real pixels are at most a few times wider than
// high (fax pages: about 2); a file whose resolutions differ more than
// kMaxDpiRatio times states nonsense, and following it would let a file of a
// few bytes ask for a picture of hundreds of megabytes, or for none at all.
// Such a picture keeps its size and resolution as read, as does one that the
// stretch would take past the pixel limit.
void TImagerIO::AdjustDpi() {
  constexpr int64_t kMaxDpiRatio = 16;
  TIOParamsVals& p = *FParams;
  TBitmap* bmp = Bitmap();
  if (!bmp || bmp->Empty() || p.DpiX <= 0 || p.DpiY <= 0 || p.DpiX == p.DpiY) return;
  if (int64_t(p.DpiX) > kMaxDpiRatio * p.DpiY || int64_t(p.DpiY) > kMaxDpiRatio * p.DpiX) return;
  const bool wide = bmp->Height() < bmp->Width();
  double w = bmp->Width(), h = bmp->Height();
  if (wide) h = std::trunc(h / p.DpiY * p.DpiX);
  else w = std::trunc(w / p.DpiX * p.DpiY);
  if (w > double(kMaxImagePixels) || h > double(kMaxImagePixels) || !CheckImageSize(int64_t(w), int64_t(h))) return;
  if (!ResampleImage(*bmp, int32_t(w), int32_t(h), rfFastLinear, FAttachedImager ? ViewAlpha() : FOwnMask.get(),
                     this, OnProgress))
    return;
  if (wide) p.DpiY = p.DpiX;
  else p.DpiX = p.DpiY;
  p.Width = bmp->Width();
  p.Height = bmp->Height();
}

// ---- by type, extension and content ----

void TImagerIO::LoadFromFileByType(const std::string& FileName, int32_t TypeId) {
  if (TypeId == ioWMF || TypeId == ioEMF) {
    ImportMetafile(FileName, -1, -1);
    return;
  }
  if (!FindIOFormat(TypeId)) {
    FAborted = false;
    FailUnknownType("Unbekannter Dateityp " + IntToStr(TypeId));
    return;
  }
  ReadFormatFile(TypeId, FileName);
}

void TImagerIO::LoadFromStreamByType(TStream& S, int32_t TypeId) {
  if (!FindIOFormat(TypeId)) {
    // Metafiles are imported from files only.
    FailUnknownType("Dateityp " + IntToStr(TypeId) + " kann nicht aus einem Datenstrom gelesen werden");
    return;
  }
  ReadFormatStream(TypeId, S);
}

void TImagerIO::LoadFromStream(TStream& S) {
  const int32_t id = DetectStreamType(S);
  if (id == 0) {
    FailUnknownType("Der Datenstrom enthält kein Bild eines bekannten Typs");
    return;
  }
  LoadFromStreamByType(S, id);
}

void TImagerIO::LoadFromFileByExtension(const std::string& FileName) {
  const std::string ext = LowerCase(ExtractFileExt(FileName));
  for (const TExtensionRow& row : kLoadExtensions)
    if (ext == row.Ext) {
      LoadFromFileByType(FileName, row.Id);
      return;
    }
  FAborted = false;
  Fail("Dateiendung \"" + ext + "\" kann nicht gelesen werden");
}

// ---- params-only ----

void TImagerIO::ReadParams(int32_t Id, TStream& S, bool Headers) {
  FParams->FileType = Id;
  ClearMetadata();
  FAborted = false;
  FAbortReason.clear();
  const TIOFormat* f = FindIOFormat(Id);
  if (!f) return;  // 0, the metafiles and unknown ids read nothing
  const int64_t start = S.Position();
  try {
    if (!f->Read) {
      Fail(std::string(f->Name) + "-Dateien können nicht gelesen werden");
    } else {
      const TFrame frame = ReadStreamHeader(S, *f, Headers);
      if (!frame.Ok) {
        Fail(std::string("Der Datenstrom hat keinen ") + f->StreamTag + "-Kopf");
      } else {
        TBitmap unused;
        TIMMask mask;
        TProgressRec progress = MakeProgress(false);
        TBitmap* bmp = Bitmap();
        f->Read(TIOReadCall{S, bmp ? *bmp : unused, *FParams, progress, true, &mask, frame.Size, frame.Framed});
        if (Id == ioJPEG) ParseJpegMetadata(*FParams);
      }
    }
  } catch (...) {
    FAborted = true;
  }
  if (FAborted) FParams->FileType = 0;
  // A peek: the stream is left where it was for the load that may follow.
  try {
    S.SetPosition(start);
  } catch (...) {
  }
}

void TImagerIO::ReadParamsFromStreamByType(TStream& S, int32_t TypeId) { ReadParams(TypeId, S, FStreamHeaders); }

void TImagerIO::ReadParamsFromStream(TStream& S) { ReadParams(DetectStreamType(S), S, FStreamHeaders); }

void TImagerIO::ReadParamsFromFileByType(const std::string& FileName, int32_t TypeId) {
  try {
    TFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    ReadParams(TypeId, file, false);
  } catch (...) {
    FParams->FileType = 0;
    Fail("Datei \"" + FileName + "\" kann nicht gelesen werden");
  }
  FParams->FileName = FileName;
}

void TImagerIO::ReadParamsFromFile(const std::string& FileName) {
  ReadParamsFromFileByType(FileName, DetectFileType(FileName, true));
}

}  // namespace kv
