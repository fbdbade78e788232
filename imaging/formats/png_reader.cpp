// PNG reader over libpng.
//
// libpng reports a fatal error by longjmp to png_jmpbuf. Every libpng call
// is made inside a small function that did the setjmp itself and holds no
// object with a destructor; the structures are owned by the caller's frame
// and destroyed whatever happened.
#include <png.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/formats/codec_failure.h"
#include "imaging/formats/png.h"

namespace kv {

namespace {

struct TPngDecoder {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  TStream* Stream = nullptr;
  ~TPngDecoder() {
    if (Png) png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr);
  }
};

struct THeader {
  png_uint_32 Width = 0, Height = 0;
  int BitDepth = 0, ColorType = 0, Interlace = 0;
  bool HasTrns = false;
  bool HasBkgd = false;
  png_color_16 Bkgd{};
  png_colorp Palette = nullptr;
  int PaletteCount = 0;
  png_uint_32 PpmX = 0, PpmY = 0;
};

// What the read delivers, decided from the header.
struct TLayout {
  bool Packed = false;        // 1-bit rows straight into a 1-bit bitmap
  bool Expand = false;        // palette or low-depth gray to 8 bits
  bool TrnsToAlpha = false;
  bool GrayToRgb = false;
  bool Strip16 = false;
  bool Composite = false;     // alpha over a background, no mask
  bool FileBackground = false;
  png_color_16 Background{};  // when compositing over the record's colour (8-bit output values)
  int Passes = 1;
  int Channels = 0;
  size_t RowBytes = 0;
};

struct TRowJob {
  TBitmap* Bitmap = nullptr;
  TIMMask* Mask = nullptr;      // receives alpha when the rows have 4 channels
  uint8_t* Work = nullptr;      // one BGRA row
  bool Interlaced = false;
  TProgressRec* Progress = nullptr;
  int64_t RowsRead = 0;
};

void ErrorFn(png_structp Png, png_const_charp) { png_longjmp(Png, 1); }
void WarningFn(png_structp, png_const_charp) {}

// A short read is a libpng error: it ends the read through png_error.
void ReadFn(png_structp Png, png_bytep Data, size_t Length) {
  auto* s = static_cast<TStream*>(png_get_io_ptr(Png));
  bool ok = false;
  try {
    ok = Length <= size_t(INT32_MAX) && s->Read(Data, int32_t(Length)) == int32_t(Length);
  } catch (...) {
    ok = false;
  }
  if (!ok) png_error(Png, "Read error");
}

bool ReadInfoC(TPngDecoder* D, THeader* H) {
  if (setjmp(png_jmpbuf(D->Png))) return false;
  png_set_read_fn(D->Png, D->Stream, ReadFn);
  png_read_info(D->Png, D->Info);
  png_get_IHDR(D->Png, D->Info, &H->Width, &H->Height, &H->BitDepth, &H->ColorType, &H->Interlace, nullptr, nullptr);
  H->HasTrns = png_get_valid(D->Png, D->Info, PNG_INFO_tRNS) != 0;
  png_color_16p bkgd = nullptr;
  if (png_get_bKGD(D->Png, D->Info, &bkgd) && bkgd) {
    H->HasBkgd = true;
    H->Bkgd = *bkgd;
  }
  if (H->ColorType == PNG_COLOR_TYPE_PALETTE) png_get_PLTE(D->Png, D->Info, &H->Palette, &H->PaletteCount);
  H->PpmX = png_get_x_pixels_per_meter(D->Png, D->Info);
  H->PpmY = png_get_y_pixels_per_meter(D->Png, D->Info);
  return true;
}

bool SetTransformsC(TPngDecoder* D, TLayout* L) {
  if (setjmp(png_jmpbuf(D->Png))) return false;
  png_structp p = D->Png;
  if (L->Expand) png_set_expand(p);
  if (L->TrnsToAlpha) png_set_tRNS_to_alpha(p);
  if (L->Strip16) png_set_strip_16(p);
  if (L->GrayToRgb) png_set_gray_to_rgb(p);
  if (L->Composite) {
    // Blend the stored values as they are (as other viewers do), not in
    // linear light: file and screen gamma are taken as equal.
    png_set_gamma(p, 1.0, 1.0);
    if (L->FileBackground) {
      png_color_16p bkgd = nullptr;
      png_get_bKGD(p, D->Info, &bkgd);
      png_set_background(p, bkgd, PNG_BACKGROUND_GAMMA_FILE, 1, 1.0);
    } else {
      png_set_background(p, &L->Background, PNG_BACKGROUND_GAMMA_FILE, 0, 1.0);
    }
  }
  if (!L->Packed) png_set_bgr(p);
  L->Passes = png_set_interlace_handling(p);
  png_read_update_info(p, D->Info);
  L->Channels = png_get_channels(p, D->Info);
  L->RowBytes = png_get_rowbytes(p, D->Info);
  return true;
}

// Interlaced passes after the first merge into the row they are given, so a
// BGRA work row is first rebuilt from what earlier passes left in the
// bitmap and the mask.
void RebuildWorkRow(const uint8_t* Bgr, const uint8_t* Alpha, uint8_t* Work, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x, Bgr += 3, Work += 4)
    Work[0] = Bgr[0], Work[1] = Bgr[1], Work[2] = Bgr[2], Work[3] = Alpha[x];
}

void SplitWorkRow(const uint8_t* Work, uint8_t* Bgr, uint8_t* Alpha, int32_t Width) {
  for (int32_t x = 0; x < Width; ++x, Bgr += 3, Work += 4)
    Bgr[0] = Work[0], Bgr[1] = Work[1], Bgr[2] = Work[2], Alpha[x] = Work[3];
}

bool ReadRowsC(TPngDecoder* D, const TLayout* L, TRowJob* J) {
  if (setjmp(png_jmpbuf(D->Png))) return false;
  TBitmap& b = *J->Bitmap;
  const int32_t w = b.Width(), h = b.Height();
  for (int pass = 0; pass < L->Passes; ++pass) {
    for (int32_t y = 0; y < h; ++y) {
      if (J->Progress->Failed()) return true;
      auto* row = static_cast<uint8_t*>(b.ScanLine(y));
      if (J->Work) {
        uint8_t* alpha = J->Mask->ScanLine(y);
        if (J->Interlaced && pass > 0) RebuildWorkRow(row, alpha, J->Work, w);
        png_read_row(D->Png, J->Work, nullptr);
        SplitWorkRow(J->Work, row, alpha, w);
      } else {
        png_read_row(D->Png, row, nullptr);
      }
      ++J->RowsRead;
      J->Progress->CodecRow();
    }
  }
  return true;
}

bool ReadEndC(TPngDecoder* D) {
  if (setjmp(png_jmpbuf(D->Png))) return false;
  png_read_end(D->Png, nullptr);
  return true;
}

// bKGD values are at the image's bit depth; the record keeps 8 bits.
uint8_t To8Bit(png_uint_16 V, int BitDepth) {
  if (BitDepth == 16) return uint8_t(V >> 8);
  if (BitDepth >= 8) return uint8_t(std::min<png_uint_16>(V, 255));
  const int maxv = (1 << BitDepth) - 1;
  return uint8_t(std::min<int>(V, maxv) * 255 / maxv);
}

TBGRPixel BackgroundOf(const THeader& H) {
  const png_color_16& c = H.Bkgd;
  if (H.ColorType == PNG_COLOR_TYPE_PALETTE) {
    if (c.index < H.PaletteCount) return {H.Palette[c.index].blue, H.Palette[c.index].green, H.Palette[c.index].red};
    return {};
  }
  if (!(H.ColorType & PNG_COLOR_MASK_COLOR)) {
    const uint8_t g = To8Bit(c.gray, H.BitDepth);
    return {g, g, g};
  }
  return {To8Bit(c.blue, H.BitDepth), To8Bit(c.green, H.BitDepth), To8Bit(c.red, H.BitDepth)};
}

void FillParams(const THeader& H, TIOParamsVals& P) {
  P.Width = int32_t(H.Width);
  P.Height = int32_t(H.Height);
  P.BitsPerSample = H.BitDepth;
  switch (H.ColorType) {
    case PNG_COLOR_TYPE_RGB: P.SamplesPerPixel = 3; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: P.SamplesPerPixel = 2; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: P.SamplesPerPixel = 4; break;
    default: P.SamplesPerPixel = 1; break;
  }
  P.DpiX = H.PpmX ? Round32(H.PpmX / 100.0 * 2.54) : 0;
  P.DpiY = H.PpmY ? Round32(H.PpmY / 100.0 * 2.54) : 0;
  if (P.DpiX <= 0) P.DpiX = IODefaultDpi();
  if (P.DpiY <= 0) P.DpiY = IODefaultDpi();
  P.FreeColorMap();
  if (H.ColorType == PNG_COLOR_TYPE_PALETTE && H.PaletteCount > 0) {
    P.SetColorMap(nullptr, H.PaletteCount);
    for (int i = 0; i < H.PaletteCount; ++i)
      P.ColorMap[i] = TBGRPixel{H.Palette[i].blue, H.Palette[i].green, H.Palette[i].red};
  }
  P.PngInterlaced = H.Interlace != PNG_INTERLACE_NONE;
}

// A 1-bit bitmap only for a true two-level picture: 1-bit gray, or a 1-bit
// palette of black then white (other palettes would lose their colours).
bool StaysPacked(const THeader& H) {
  if (H.BitDepth != 1) return false;
  if (H.ColorType == PNG_COLOR_TYPE_GRAY) return !H.HasTrns;
  if (H.ColorType != PNG_COLOR_TYPE_PALETTE || H.PaletteCount != 2 || H.HasTrns) return false;
  const png_color& b = H.Palette[0];
  const png_color& w = H.Palette[1];
  return b.red == 0 && b.green == 0 && b.blue == 0 && w.red == 255 && w.green == 255 && w.blue == 255;
}

TLayout LayoutOf(const THeader& H, const TIOParamsVals& P, bool WantMask) {
  TLayout l;
  l.Packed = StaysPacked(H);
  if (l.Packed) return l;
  const bool gray = !(H.ColorType & PNG_COLOR_MASK_COLOR);
  l.Expand = H.ColorType == PNG_COLOR_TYPE_PALETTE || (gray && H.BitDepth < 8);
  l.TrnsToAlpha = H.HasTrns;
  l.Strip16 = H.BitDepth == 16;
  l.GrayToRgb = gray;
  const bool alpha = (H.ColorType & PNG_COLOR_MASK_ALPHA) || H.HasTrns;
  if (alpha && !WantMask) {
    l.Composite = true;
    l.FileBackground = H.HasBkgd;
    const TBGRPixel c = P.PngBackground;
    l.Background.red = c.r;
    l.Background.green = c.g;
    l.Background.blue = c.b;
    l.Background.gray = GrayLevel(c);
  }
  return l;
}

// Side limits within the pixel model's own (libpng's default of a million
// stays the tighter one), and bounds on what ancillary chunks may allocate:
// a text or profile chunk inflates at most to kMaxChunkBytes.
void SetLimits(png_structp Png) {
  constexpr png_uint_32 kMaxSide = png_uint_32(std::min<int64_t>(kMaxImagePixels, 1000000));
  constexpr png_alloc_size_t kMaxChunkBytes = 16u << 20;
  png_set_user_limits(Png, kMaxSide, kMaxSide);
  png_set_chunk_malloc_max(Png, kMaxChunkBytes);
  png_set_chunk_cache_max(Png, 1000);
}

// Deflate turns one byte into at most 1032; a stream whose remaining bytes
// cannot inflate to the rows' filter bytes and samples cannot hold the picture.
bool DataCanFillRows(TStream& S, const THeader& H) {
  constexpr int64_t kMaxInflateRatio = 1032;
  int channels = 1;
  switch (H.ColorType) {
    case PNG_COLOR_TYPE_RGB: channels = 3; break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: channels = 2; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: channels = 4; break;
    default: break;
  }
  const int64_t bits = int64_t(H.Width) * H.Height * channels * H.BitDepth;
  // An interlaced picture has at least as many rows per pass as the first pass's.
  const int64_t filterBytes = H.Interlace != PNG_INTERLACE_NONE ? (int64_t(H.Height) + 7) / 8 : H.Height;
  const int64_t needed = bits / 8 + filterBytes;
  const int64_t left = std::max<int64_t>(0, S.Size() - S.Position());
  return left * kMaxInflateRatio >= needed;
}

void Decode(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
            TIMMask* Mask) {
  TPngDecoder d;
  d.Stream = &S;
  // The installed library's own version: a structure made for another would be refused.
  d.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, ErrorFn, WarningFn);
  if (d.Png) d.Info = png_create_info_struct(d.Png);
  if (!d.Png || !d.Info) return Progress.Fail();
  SetLimits(d.Png);
  THeader h;
  if (!ReadInfoC(&d, &h)) return FailCodec(Progress, "PNG-Kopf ist beschädigt oder nennt eine zu große Bildgröße");
  FillParams(h, Params);
  if (h.HasBkgd && !Mask) Params.PngBackground = BackgroundOf(h);
  if (ParamsOnly) return;
  if (!CheckImageSize(h.Width, h.Height)) return FailCodec(Progress, "PNG-Bild ist größer als erlaubt");
  // The rows are checked against what the rest of the file could hold before
  // the picture is allocated: a few bytes stating a huge size are refused
  // here, not after gigabytes were set aside for them.
  if (!DataCanFillRows(S, h)) return FailCodec(Progress, "Unerwartetes Dateiende: zu wenig PNG-Daten für die Bildgröße");

  TLayout l = LayoutOf(h, Params, Mask != nullptr);
  if (!SetTransformsC(&d, &l)) return Progress.Fail();
  const bool alpha = !l.Packed && l.Channels == 4;
  if (!l.Packed && l.Channels != 3 && !alpha) return Progress.Fail();
  Bitmap.AllocateForOverwrite(int32_t(h.Width), int32_t(h.Height), l.Packed ? pf1bit : pf24bit);
  // Interlaced passes write only their own pixels; the others must not be left unset.
  if (l.Passes > 1) std::memset(Bitmap.Bits(), 0, size_t(Bitmap.RowBytes()) * h.Height);
  if (l.RowBytes > size_t(alpha ? int64_t(h.Width) * 4 : Bitmap.RowBytes())) return Progress.Fail();
  std::unique_ptr<uint8_t[]> work;
  if (alpha) {
    work.reset(new uint8_t[size_t(h.Width) * 4]);
    Mask->AllocateBits(int32_t(h.Width), int32_t(h.Height), 8);
  }
  TRowJob job;
  job.Bitmap = &Bitmap;
  job.Mask = alpha ? Mask : nullptr;
  job.Work = work.get();
  job.Interlaced = l.Passes > 1;
  job.Progress = &Progress;
  Progress.StartCodec(int32_t(h.Height) * l.Passes);
  const bool rows = ReadRowsC(&d, &l, &job);
  if (alpha) {
    MarkMaskFilled(*Mask);
    Mask->Full = false;
  }
  // Rows the read never reached are cleared rather than left unset.
  for (int64_t y = job.RowsRead; y < int64_t(h.Height); ++y)
    std::memset(Bitmap.ScanLine(int32_t(y)), 0, size_t(Bitmap.RowBytes()));
  Bitmap.SetModified(true);
  if (!rows || Progress.Failed() || !ReadEndC(&d)) Progress.Fail();
}

}  // namespace

bool IsPngStream(TStream& S) {
  uint8_t sig[8];
  const int32_t n = S.Read(sig, 8);
  S.Seek(-int64_t(std::max(n, 0)), soCurrent);
  return n == 8 && png_sig_cmp(sig, 0, 8) == 0;
}

void ReadPngStream(TStream& S, TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool ParamsOnly,
                   TIMMask* Mask) {
  try {
    Decode(S, Bitmap, Params, Progress, ParamsOnly, Mask);
  } catch (...) {
    Progress.Fail();
  }
}

}  // namespace kv
