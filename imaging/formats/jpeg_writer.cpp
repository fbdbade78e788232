// JPEG writer: libjpeg's compressor over a stream, with the record's markers
// written back after the tables.
#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/formats/jpeg.h"
#include "imaging/formats/jpeg_glue.h"

namespace kv {

namespace {

struct TJpegEncoder {
  jpeg_compress_struct Info{};
  TJpegErrorMgr Err;
  TJpegDestMgr Dst;
  std::unique_ptr<uint8_t[]> Buffer{new uint8_t[kJpegBufferSize]};
  TStream* Stream = nullptr;
  ~TJpegEncoder() { jpeg_destroy_compress(&Info); }
};

struct TWriteSettings {
  J_COLOR_SPACE InSpace = JCS_EXT_BGR;
  int InComponents = 3;
  J_COLOR_SPACE Space = JCS_YCbCr;
  J_DCT_METHOD Dct = JDCT_ISLOW;
  bool Optimize = false;
  int Smoothing = 0;
  int Quality = 50;
  bool Progressive = false;
  uint16_t DpiX = 96;
  uint16_t DpiY = 96;
};

struct TWriteJob {
  const TBitmap* Bitmap = nullptr;
  uint8_t* Work = nullptr;  // one row in the input format, when the bitmap's rows cannot be used as they are
  const TIMMarkerList* Markers = nullptr;
  TProgressRec* Progress = nullptr;
};

// libjpeg writes its own JFIF and Adobe markers for the colour space of this
// write; the stored ones would be duplicates, or carry a stale density.
bool WrittenByLibrary(const TIMMarkerList& M, int32_t I) {
  const uint8_t* d = M.MarkerData(I);
  const int32_t n = M.MarkerLength(I);
  if (M.MarkerType(I) == JPEG_APP0) return n >= 5 && std::memcmp(d, "JFIF", 5) == 0;
  if (M.MarkerType(I) == JPEG_APP0 + 14) return n >= 5 && std::memcmp(d, "Adobe", 5) == 0;
  return false;
}

// Inverted CMYK: K = max(R, G, B) (1 when 0), C = R x 255 / K, ..., and K stored as it is.
void BgrRowToCmyk(const uint8_t* Src, uint8_t* Dst, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x, Src += 3, Dst += 4) {
    const uint32_t b = Src[0], g = Src[1], r = Src[2];
    uint32_t k = std::max({r, g, b});
    if (k == 0) k = 1;
    Dst[0] = uint8_t(r * 255 / k);
    Dst[1] = uint8_t(g * 255 / k);
    Dst[2] = uint8_t(b * 255 / k);
    Dst[3] = uint8_t(k);
  }
}

// A set bit is white.
void BitRowToBgr(const uint8_t* Src, uint8_t* Dst, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x, Dst += 3) Dst[0] = Dst[1] = Dst[2] = (Src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
}

// libjpeg calls only; a libjpeg error longjmps back here.
bool CompressC(TJpegEncoder* E, const TWriteSettings* W, TWriteJob* J) {
  E->Info.err = InitJpegErrorMgr(E->Err);
  if (setjmp(E->Err.Jump)) return false;
  jpeg_compress_struct& I = E->Info;
  jpeg_create_compress(&I);
  AttachJpegDest(&I, E->Dst, *E->Stream, E->Buffer.get());
  const TBitmap& B = *J->Bitmap;
  I.image_width = JDIMENSION(B.Width());
  I.image_height = JDIMENSION(B.Height());
  I.input_components = W->InComponents;
  I.in_color_space = W->InSpace;
  jpeg_set_defaults(&I);
  jpeg_set_colorspace(&I, W->Space);
  I.density_unit = 1;
  I.X_density = W->DpiX;
  I.Y_density = W->DpiY;
  I.dct_method = W->Dct;
  I.optimize_coding = W->Optimize;
  I.smoothing_factor = W->Smoothing;
  jpeg_set_quality(&I, W->Quality, TRUE);
  if (W->Progressive) jpeg_simple_progression(&I);
  jpeg_start_compress(&I, TRUE);
  const TIMMarkerList& M = *J->Markers;
  for (int32_t i = 0; i < M.Count(); ++i)
    if (!WrittenByLibrary(M, i))
      jpeg_write_marker(&I, M.MarkerType(i), M.MarkerData(i), unsigned(M.MarkerLength(i)));
  const bool bits = B.PixelFormat() == pf1bit;
  const bool cmyk = W->InSpace == JCS_CMYK;
  for (int32_t y = 0; y < B.Height() && !J->Progress->Failed(); ++y) {
    auto* row = const_cast<uint8_t*>(static_cast<const uint8_t*>(B.ScanLine(y)));
    if (bits) {
      BitRowToBgr(row, J->Work + (cmyk ? size_t(B.Width()) * 4 : 0), B.Width());
      row = J->Work + (cmyk ? size_t(B.Width()) * 4 : 0);
    }
    if (cmyk) {
      BgrRowToCmyk(row, J->Work, B.Width());
      row = J->Work;
    }
    JSAMPROW rows[1] = {row};
    jpeg_write_scanlines(&I, rows, 1);
    J->Progress->CodecRow();
  }
  if (!J->Progress->Failed()) jpeg_finish_compress(&I);
  return true;
}

TWriteSettings SettingsOf(const TIOParamsVals& P) {
  TWriteSettings w;
  switch (P.JpegColorSpace) {
    case 1: w.Space = JCS_GRAYSCALE; break;
    case 2: w.Space = JCS_YCbCr; break;
    case 3: w.Space = JCS_CMYK, w.InSpace = JCS_CMYK, w.InComponents = 4; break;
    case 4: w.Space = JCS_YCCK, w.InSpace = JCS_CMYK, w.InComponents = 4; break;
    default: w.Space = JCS_RGB; break;
  }
  switch (P.JpegDctMethod) {
    case 1: w.Dct = JDCT_IFAST; break;
    case 2: w.Dct = JDCT_FLOAT; break;
    default: w.Dct = JDCT_ISLOW; break;
  }
  w.Optimize = P.JpegOptimalHuffman;
  w.Smoothing = std::clamp(P.JpegSmoothing, 0, 100);
  w.Quality = std::clamp(P.JpegQuality, 1, 100);
  w.Progressive = P.JpegProgressive;
  // The JFIF density field is 16 bits.
  w.DpiX = uint16_t(std::clamp(P.DpiX > 0 ? P.DpiX : IODefaultDpi(), 1, 65535));
  w.DpiY = uint16_t(std::clamp(P.DpiY > 0 ? P.DpiY : IODefaultDpi(), 1, 65535));
  return w;
}

}  // namespace

void WriteJpegStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  try {
    if (Bitmap.Empty() || (Bitmap.PixelFormat() != pf24bit && Bitmap.PixelFormat() != pf1bit) ||
        Bitmap.Width() > JPEG_MAX_DIMENSION || Bitmap.Height() > JPEG_MAX_DIMENSION) {
      Progress.Fail();
      return;
    }
    for (int32_t i = 0; i < Params.JpegMarkers.Count(); ++i)
      if (Params.JpegMarkers.MarkerLength(i) > TIMMarkerList::MaxMarkerLength) {
        Progress.Fail();
        return;
      }
    const TWriteSettings w = SettingsOf(Params);
    std::unique_ptr<uint8_t[]> work;
    if (w.InSpace == JCS_CMYK || Bitmap.PixelFormat() == pf1bit)
      work.reset(new uint8_t[size_t(Bitmap.Width()) * 7]);
    TJpegEncoder e;
    e.Stream = &S;
    TWriteJob job;
    job.Bitmap = &Bitmap;
    job.Work = work.get();
    job.Markers = &Params.JpegMarkers;
    job.Progress = &Progress;
    Progress.StartCodec(Bitmap.Height());
    if (!CompressC(&e, &w, &job)) throw EIMJpegException("JPeg corrupted file");
  } catch (...) {
    Progress.Fail();
  }
}

}  // namespace kv
