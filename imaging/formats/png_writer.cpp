// PNG writer over libpng; the same setjmp discipline as the reader: libpng
// is called only from functions that did the setjmp and own nothing.
#include <png.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/formats/png.h"
#include "imaging/processing/convert_bits.h"
#include "imaging/processing/quantizer.h"

namespace kv {

namespace {

struct TPngEncoder {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  TStream* Stream = nullptr;
  bool WriteFailed = false;
  ~TPngEncoder() {
    if (Png) png_destroy_write_struct(&Png, Info ? &Info : nullptr);
  }
};

enum TPngKind : uint8_t { pkGray1, pkPalette1, pkPalette8, pkRgb, pkRgba };

struct TPlan {
  TPngKind Kind = pkRgb;
  const TBitmap* Source = nullptr;  // 1-bit for the two 1-bit kinds, else 24-bit
  const TIMMask* Alpha = nullptr;   // a mask that is not full, else null
  png_color Palette[256]{};
  int PaletteCount = 0;
  TBGRPixel Background{};
  bool Interlaced = false;
  int Filter = PNG_FILTER_NONE;
  int Level = 5;
  png_uint_32 PpmX = 0, PpmY = 0;
  const TIMQuantizer* Quantizer = nullptr;
  uint8_t* Work = nullptr;  // one output row
  TProgressRec* Progress = nullptr;
};

void ErrorFn(png_structp Png, png_const_charp) { png_longjmp(Png, 1); }
void WarningFn(png_structp, png_const_charp) {}

void WriteFn(png_structp Png, png_bytep Data, size_t Length) {
  auto* e = static_cast<TPngEncoder*>(png_get_io_ptr(Png));
  bool ok = false;
  try {
    ok = Length <= size_t(INT32_MAX) && e->Stream->Write(Data, int32_t(Length)) == int32_t(Length);
  } catch (...) {
    ok = false;
  }
  if (!ok) {
    e->WriteFailed = true;
    png_error(Png, "Write error");
  }
}
void FlushFn(png_structp) {}

// Palette pixels: the quantized index + 1, or 0 (the background, transparent
// with a mask) where the mask is not opaque.
void PaletteRow(const TPlan& P, int32_t Y, uint8_t* Out) {
  const auto* s = static_cast<const uint8_t*>(P.Source->ScanLine(Y));
  const uint8_t* a = P.Alpha ? P.Alpha->ScanLine(Y) : nullptr;
  for (int32_t x = 0; x < P.Source->Width(); ++x, s += 3)
    Out[x] = (a && a[x] != 255) ? 0
                                : uint8_t(P.Quantizer->RGBIndex(uint32_t(s[2]) << 16 | uint32_t(s[1]) << 8 | s[0]) + 1);
}

void RgbaRow(const TPlan& P, int32_t Y, uint8_t* Out) {
  const auto* s = static_cast<const uint8_t*>(P.Source->ScanLine(Y));
  const uint8_t* a = P.Alpha->ScanLine(Y);
  for (int32_t x = 0; x < P.Source->Width(); ++x, s += 3, Out += 4)
    Out[0] = s[0], Out[1] = s[1], Out[2] = s[2], Out[3] = a[x];
}

bool EncodeC(TPngEncoder* E, TPlan* P) {
  if (setjmp(png_jmpbuf(E->Png))) return false;
  png_structp p = E->Png;
  png_infop info = E->Info;
  png_set_write_fn(p, E, WriteFn, FlushFn);
  const TBitmap& src = *P->Source;
  int colorType = PNG_COLOR_TYPE_RGB, depth = 8;
  switch (P->Kind) {
    case pkGray1: colorType = PNG_COLOR_TYPE_GRAY, depth = 1; break;
    case pkPalette1: colorType = PNG_COLOR_TYPE_PALETTE, depth = 1; break;
    case pkPalette8: colorType = PNG_COLOR_TYPE_PALETTE; break;
    case pkRgba: colorType = PNG_COLOR_TYPE_RGB_ALPHA; break;
    case pkRgb: break;
  }
  png_set_IHDR(p, info, png_uint_32(src.Width()), png_uint_32(src.Height()), depth, colorType,
               P->Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_color_16 bkgd{};
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    png_set_PLTE(p, info, P->Palette, P->PaletteCount);
    if (P->Alpha) {
      png_byte trans[1] = {0};
      png_set_tRNS(p, info, trans, 1, nullptr);
    }
    bkgd.index = 0;  // entry 0 holds the background colour
  } else if (colorType == PNG_COLOR_TYPE_GRAY) {
    bkgd.gray = GrayLevel(P->Background) >= 128 ? 1 : 0;
  } else {
    bkgd.red = P->Background.r;
    bkgd.green = P->Background.g;
    bkgd.blue = P->Background.b;
  }
  png_set_pHYs(p, info, P->PpmX, P->PpmY, PNG_RESOLUTION_METER);
  png_set_filter(p, PNG_FILTER_TYPE_BASE, P->Filter);
  png_set_bKGD(p, info, &bkgd);
  png_set_compression_level(p, P->Level);
  if (colorType == PNG_COLOR_TYPE_RGB || colorType == PNG_COLOR_TYPE_RGB_ALPHA) png_set_bgr(p);
  png_write_info(p, info);
  const int passes = png_set_interlace_handling(p);
  P->Progress->StartCodec(src.Height() * passes);
  for (int pass = 0; pass < passes; ++pass)
    for (int32_t y = 0; y < src.Height(); ++y) {
      if (P->Progress->Failed()) return true;
      const uint8_t* row = static_cast<const uint8_t*>(src.ScanLine(y));
      if (P->Kind == pkPalette8) {
        PaletteRow(*P, y, P->Work);
        row = P->Work;
      } else if (P->Kind == pkRgba) {
        RgbaRow(*P, y, P->Work);
        row = P->Work;
      }
      png_write_row(p, row);
      P->Progress->CodecRow();
    }
  png_write_end(p, nullptr);
  return true;
}

png_uint_32 PixelsPerMetre(int32_t Dpi) {
  if (Dpi <= 0) Dpi = IODefaultDpi();
  return png_uint_32(std::clamp<int64_t>(Round(Dpi * 100 / 2.54), 0, INT32_MAX));
}

}  // namespace

void WritePngStream(TStream& S, const TBitmap& Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    const TIMMask* Mask) {
  if (Bitmap.Empty() || (Bitmap.PixelFormat() != pf24bit && Bitmap.PixelFormat() != pf1bit) ||
      Bitmap.Width() > PNG_USER_WIDTH_MAX || Bitmap.Height() > PNG_USER_HEIGHT_MAX) {
    Progress.Fail();
    return;
  }
  TPlan plan;
  plan.Progress = &Progress;
  plan.Background = Params.PngBackground;
  plan.Interlaced = Params.PngInterlaced;
  plan.Filter = Params.PngFilter == 1 ? PNG_FILTER_SUB : Params.PngFilter == 2 ? PNG_FILTER_PAETH : PNG_FILTER_NONE;
  plan.Level = std::clamp(Params.PngCompression, 0, 9);
  plan.PpmX = PixelsPerMetre(Params.DpiX);
  plan.PpmY = PixelsPerMetre(Params.DpiY);
  if (Mask && !Mask->Full && Mask->BitsPerPixel == 8 && Mask->Width == Bitmap.Width() &&
      Mask->Height == Bitmap.Height() && Mask->Bits)
    plan.Alpha = Mask;

  std::unique_ptr<TBitmap> converted;
  std::unique_ptr<TIMQuantizer> quantizer;
  std::unique_ptr<uint8_t[]> work;
  bool failed = false;
  try {
    const bool bits = Params.BitsPerSample == 1;
    if (!bits && Bitmap.PixelFormat() == pf1bit) {
      converted = std::make_unique<TBitmap>();
      TProgressRec quiet;
      ConvertTo24BitRows(Bitmap, *converted, quiet);
      plan.Source = converted.get();
    } else if (bits && Bitmap.PixelFormat() == pf24bit) {
      TBGRPixel c0, c1;
      converted = ConvertTo1BitIfTwoColors(Bitmap, c0, c1);
      const bool blackWhite = c0 == TBGRPixel{0, 0, 0} && c1 == TBGRPixel{255, 255, 255};
      if (converted && !blackWhite) {
        // Two colours that are not black and white keep their colours in a 1-bit palette.
        plan.Kind = pkPalette1;
        plan.Palette[0] = {c0.r, c0.g, c0.b};
        plan.Palette[1] = {c1.r, c1.g, c1.b};
        plan.PaletteCount = 2;
      }
      if (!converted) {
        converted = std::make_unique<TBitmap>();
        converted->Assign(&Bitmap);
        TProgressRec quiet;
        ConvertTo1BitDither(*converted, quiet);
      }
      plan.Source = converted.get();
    } else {
      plan.Source = &Bitmap;
    }
    if (plan.Kind != pkPalette1) {
      if (plan.Source->PixelFormat() == pf1bit) plan.Kind = pkGray1;
      else if (Params.SamplesPerPixel != 1) plan.Kind = plan.Alpha ? pkRgba : pkRgb;
      else plan.Kind = pkPalette8;
    }
    if (plan.Kind != pkRgba && plan.Kind != pkPalette8) plan.Alpha = nullptr;
    if (plan.Kind == pkPalette8) {
      const int32_t colours = std::min<int64_t>(int64_t(1) << std::clamp(Params.BitsPerSample, 1, 16), 255);
      TBGRPixel pal[256];
      quantizer = std::make_unique<TIMQuantizer>(*plan.Source, 0, -1, colours, 0, pal);
      plan.Palette[0] = {plan.Background.r, plan.Background.g, plan.Background.b};
      for (int32_t i = 0; i < colours; ++i) plan.Palette[i + 1] = {pal[i].r, pal[i].g, pal[i].b};
      plan.PaletteCount = colours + 1;
      plan.Quantizer = quantizer.get();
    }
    work.reset(new uint8_t[size_t(plan.Source->Width()) * 4]);
    plan.Work = work.get();

    TPngEncoder e;
    e.Stream = &S;
    e.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ErrorFn, WarningFn);
    if (e.Png) e.Info = png_create_info_struct(e.Png);
    failed = !e.Png || !e.Info || !EncodeC(&e, &plan);
    if (failed && e.WriteFailed) {
      Progress.Fail();
      return;
    }
  } catch (...) {
    failed = true;
  }
  if (failed) {
    Progress.Fail();
    throw EInvalidGraphic("Error on creating PNG");
  }
}

}  // namespace kv
