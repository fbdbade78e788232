// JPEG reader: libjpeg's decompressor over a stream, scaled decoding, and
// the file's markers kept for writing back.
#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/formats/codec_failure.h"
#include "imaging/formats/jpeg.h"
#include "imaging/formats/jpeg_glue.h"
#include "platform/graphics/pixel_prefault.h"

namespace kv {

namespace {

// The 12-byte stream header: "JFIF", a 32-bit zero, the payload length
// (little-endian). With it the stream is left after the payload, and the
// JPEG is read within it; returns where the payload ends, or -1 without a
// header (the position is then unchanged).
int64_t SkipStreamHeader(TStream& S) {
  const int64_t pos = S.Position();
  uint8_t h[12];
  if (S.Read(h, 12) == 12 && std::memcmp(h, "JFIF", 5) == 0)
    return pos + 12 + (int64_t(h[8]) | int64_t(h[9]) << 8 | int64_t(h[10]) << 16 | int64_t(h[11]) << 24);
  S.SetPosition(pos);
  return -1;
}

// Owns one decompressor; destroyed whatever happened to it.
struct TJpegDecoder {
  jpeg_decompress_struct Info{};
  TJpegErrorMgr Err;
  TJpegSourceMgr Src;
  jpeg_progress_mgr Monitor{};
  std::unique_ptr<uint8_t[]> Buffer{new uint8_t[kJpegBufferSize]};
  TStream* Stream = nullptr;
  ~TJpegDecoder() { jpeg_destroy_decompress(&Info); }
};

// Where decoded rows go.
struct TRowJob {
  uint8_t* Base = nullptr;  // top row of the bitmap
  ptrdiff_t Stride = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  uint8_t* Cmyk = nullptr;  // work rows of a CMYK image, else null
  TProgressRec* Progress = nullptr;
  int32_t Done = 0;
};

void LimitScans(j_common_ptr Info) {
  if (Info->is_decompressor && reinterpret_cast<j_decompress_ptr>(Info)->input_scan_number > kJpegMaxScans)
    ERREXIT(Info, JERR_BAD_PROGRESSION);
}

// The functions below call libjpeg and nothing else that could need
// unwinding: a libjpeg error longjmps back to their setjmp.

bool ReadHeaderC(TJpegDecoder* D) {
  D->Info.err = InitJpegErrorMgr(D->Err);
  if (setjmp(D->Err.Jump)) return false;
  jpeg_create_decompress(&D->Info);
  D->Info.mem->max_memory_to_use = long(JpegMemoryLimit);
  D->Monitor.progress_monitor = LimitScans;
  D->Info.progress = &D->Monitor;
  AttachJpegSource(&D->Info, D->Src, *D->Stream, D->Buffer.get());
  jpeg_save_markers(&D->Info, JPEG_COM, 0xFFFF);
  for (int m = 0; m < 16; ++m) jpeg_save_markers(&D->Info, JPEG_APP0 + m, 0xFFFF);
  jpeg_read_header(&D->Info, TRUE);
  return true;
}

bool CalcOutputC(TJpegDecoder* D) {
  if (setjmp(D->Err.Jump)) return false;
  jpeg_calc_output_dimensions(&D->Info);
  return true;
}

bool StartC(TJpegDecoder* D) {
  if (setjmp(D->Err.Jump)) return false;
  jpeg_start_decompress(&D->Info);
  return true;
}

// Inverted CMYK as Adobe stores it (and our writer too): R = C x K / 255.
void CmykRowToBgr(const uint8_t* Src, uint8_t* Dst, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x, Src += 4, Dst += 3) {
    const uint32_t k = Src[3];
    Dst[0] = uint8_t(Src[2] * k / 255);
    Dst[1] = uint8_t(Src[1] * k / 255);
    Dst[2] = uint8_t(Src[0] * k / 255);
  }
}

bool ReadRowsC(TJpegDecoder* D, TRowJob* J) {
  if (setjmp(D->Err.Jump)) return false;
  const int32_t batch = std::clamp(D->Info.rec_outbuf_height, 1, 4);
  JSAMPROW rows[4];
  while (J->Done < J->Height && !J->Progress->Failed()) {
    const int32_t n = std::min(batch, J->Height - J->Done);
    for (int32_t i = 0; i < n; ++i)
      rows[i] = J->Cmyk ? J->Cmyk + size_t(i) * J->Width * 4 : J->Base + (J->Done + i) * J->Stride;
    const int32_t got = int32_t(jpeg_read_scanlines(&D->Info, rows, JDIMENSION(n)));
    if (got <= 0) break;
    for (int32_t i = 0; i < got; ++i) {
      if (J->Cmyk) CmykRowToBgr(rows[i], J->Base + (J->Done + i) * J->Stride, J->Width);
      ++J->Done;
      J->Progress->CodecRow();
    }
  }
  return true;
}

bool FinishC(TJpegDecoder* D) {
  if (setjmp(D->Err.Jump)) return false;
  jpeg_finish_decompress(&D->Info);
  return true;
}

// JpegScale 1..4 is 1/1..1/8; 0 picks the largest reduction that still
// covers the requested Width x Height.
int32_t ScaleDenominator(const TIOParamsVals& P, JDIMENSION W, JDIMENSION H) {
  switch (P.JpegScale) {
    case 0:
      if (P.Width > 0 && P.Height > 0)
        for (int32_t d : {8, 4, 2})
          if (int64_t(W) / d >= P.Width && int64_t(H) / d >= P.Height) return d;
      return 1;
    case 2: return 2;
    case 3: return 4;
    case 4: return 8;
    default: return 1;
  }
}

// Fills the record from the header; false for a colour space we cannot show.
bool TakeHeader(jpeg_decompress_struct& I, TIOParamsVals& P) {
  P.BitsPerSample = 8;
  switch (I.jpeg_color_space) {
    case JCS_GRAYSCALE: P.JpegColorSpace = 1, P.SamplesPerPixel = 1, I.out_color_space = JCS_EXT_BGR; break;
    case JCS_RGB: P.JpegColorSpace = 0, P.SamplesPerPixel = 3, I.out_color_space = JCS_EXT_BGR; break;
    case JCS_YCbCr: P.JpegColorSpace = 2, P.SamplesPerPixel = 3, I.out_color_space = JCS_EXT_BGR; break;
    case JCS_CMYK: P.JpegColorSpace = 3, P.SamplesPerPixel = 4, I.out_color_space = JCS_CMYK; break;
    case JCS_YCCK: P.JpegColorSpace = 4, P.SamplesPerPixel = 4, I.out_color_space = JCS_CMYK; break;
    default: return false;
  }
  switch (P.JpegDctMethod) {
    case 1: I.dct_method = JDCT_IFAST; break;
    case 2: I.dct_method = JDCT_FLOAT; break;
    default: I.dct_method = JDCT_ISLOW; break;
  }
  if (I.density_unit <= 1) {
    P.DpiX = I.X_density;
    P.DpiY = I.Y_density;
  } else if (I.density_unit == 2) {
    P.DpiX = Trunc32(I.X_density * 2.54);
    P.DpiY = Trunc32(I.Y_density * 2.54);
  }
  if (P.DpiX == 0) P.DpiX = IODefaultDpi();
  if (P.DpiY == 0) P.DpiY = IODefaultDpi();
  P.FreeColorMap();
  P.JpegProgressive = I.progressive_mode != 0;
  P.JpegOriginalWidth = int32_t(I.image_width);
  P.JpegOriginalHeight = int32_t(I.image_height);
  const int32_t d = ScaleDenominator(P, I.image_width, I.image_height);
  P.JpegScaleUsed = d;
  I.scale_num = 1;
  I.scale_denom = unsigned(d);
  return true;
}

void TakeMarkers(const jpeg_decompress_struct& I, TIOParamsVals& P) {
  for (jpeg_saved_marker_ptr m = I.marker_list; m; m = m->next)
    P.JpegMarkers.AddMarker(m->marker, m->data, int32_t(m->data_length));
}

// Rows the decoder never reached are cleared rather than left unset.
void ClearRowsFrom(TBitmap& B, int32_t Row) {
  for (int32_t y = std::max(Row, 0); y < B.Height(); ++y) std::memset(B.ScanLine(y), 0, size_t(B.RowBytes()));
}

// Huffman coding spends at least one bit on every block of a scan, and each
// MCU holds a block of the first scan's components: a file with fewer bits
// than MCUs cannot describe the picture, whatever its frame header says.
// Arithmetic coding can spend less, so it is not checked.
bool DataCanFillRows(const jpeg_decompress_struct& I, TStream& S, int64_t Start, int64_t Limit) {
  if (I.arith_code || I.max_h_samp_factor <= 0 || I.max_v_samp_factor <= 0) return true;
  const int64_t mcuW = int64_t(I.max_h_samp_factor) * DCTSIZE, mcuH = int64_t(I.max_v_samp_factor) * DCTSIZE;
  const int64_t mcus = (int64_t(I.image_width) + mcuW - 1) / mcuW * ((int64_t(I.image_height) + mcuH - 1) / mcuH);
  const int64_t end = Limit >= 0 ? std::min(Limit, S.Size()) : S.Size();
  return (end - Start) * 8 >= mcus;
}

void Decode(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
            int64_t Limit) {
  const int64_t start = FindJpegStart(S);
  if (start < 0 || (Limit >= 0 && start >= Limit)) {
    Progress.Fail();
    return;
  }
  S.SetPosition(start);
  TJpegDecoder d;
  d.Stream = &S;
  d.Src.Limit = Limit;
  const bool header = ReadHeaderC(&d);
  Params.JpegWarningCount = d.Err.Warnings;
  Params.JpegWarningCode = d.Err.LastWarning;
  if (!header || !d.Src.AnyRead) throw EIMJpegException("JPeg corrupted file");
  if (!TakeHeader(d.Info, Params) || !CalcOutputC(&d)) throw EIMJpegException("JPeg corrupted file");
  Params.Width = int32_t(d.Info.output_width);
  Params.Height = int32_t(d.Info.output_height);
  if (ParamsOnly) {
    TakeMarkers(d.Info, Params);
    return;
  }
  if (!CheckImageSize(Params.Width, Params.Height)) throw EIMJpegException("JPeg corrupted file");
  if (!DataCanFillRows(d.Info, S, start, Limit)) {
    FailCodec(Progress, "Unerwartetes Dateiende: zu wenig JPEG-Daten für die Bildgröße");
    return;
  }
  Bitmap.AllocateForOverwrite(Params.Width, Params.Height, pf24bit);
  const TPixelBlockPrefault prefault(Bitmap.Bits(), size_t(Bitmap.RowBytes()) * size_t(Params.Height));
  std::unique_ptr<uint8_t[]> cmyk;
  if (d.Info.out_color_space == JCS_CMYK) cmyk.reset(new uint8_t[size_t(Params.Width) * 4 * 4]);
  TRowJob job;
  job.Base = static_cast<uint8_t*>(Bitmap.ScanLine(0));
  job.Stride = Bitmap.RowBytes();
  job.Width = Params.Width;
  job.Height = Params.Height;
  job.Cmyk = cmyk.get();
  job.Progress = &Progress;
  Progress.StartCodec(Params.Height);
  const bool ok = StartC(&d) && ReadRowsC(&d, &job);
  const bool complete = ok && job.Done == job.Height;
  if (complete) TakeMarkers(d.Info, Params);
  // A made-up end of image before the last row means the file was cut short.
  const bool truncated = d.Src.FakeEoi;
  if (job.Done < job.Height) ClearRowsFrom(Bitmap, job.Done);
  if (!complete || truncated || !FinishC(&d)) Progress.Fail();
  Params.JpegWarningCount = d.Err.Warnings;
  Params.JpegWarningCode = d.Err.LastWarning;
  Bitmap.SetModified(true);
}

}  // namespace

int64_t FindJpegStart(TStream& S) {
  const int64_t pos = S.Position();
  uint8_t buf[102];
  const int32_t n = S.Read(buf, sizeof buf);
  S.SetPosition(pos);
  for (int32_t i = 0; i + 2 < n; ++i)
    if (buf[i] == 0xFF && buf[i + 1] == 0xD8 && buf[i + 2] == 0xFF) return pos + i;
  return -1;
}

void ReadJpegStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                    TIMMask*) {
  Params.JpegWarningCount = 0;
  Params.JpegWarningCode = 0;
  int64_t payloadEnd = -1;
  try {
    payloadEnd = SkipStreamHeader(S);
    Decode(S, Bitmap, Params, Progress, ParamsOnly, payloadEnd);
  } catch (...) {
    Progress.Fail();
  }
  if (payloadEnd >= 0) {
    try {
      S.SetPosition(std::min(payloadEnd, S.Size()));
    } catch (...) {
      Progress.Fail();
    }
  }
}

}  // namespace kv
