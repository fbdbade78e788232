#include "imaging/processing/geometry_ops.h"

#include <algorithm>

#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/convert_bits.h"
#include "imaging/model/mask.h"
#include "imaging/model/parallel_rows.h"
#include "imaging/processing/resample.h"
#include "platform/graphics/canvas.h"

namespace kv {

namespace {

// The resampler needs two pixels in one direction at least.
bool ResamplerTakes(int32_t Width, int32_t Height) { return Width > 0 && Height > 0 && (Width >= 2 || Height >= 2); }

// Nearest-pixel stretch of an 8-bit plane, for planes too small to resample.
void StretchMask(const TIMMask& Src, TIMMask& Dst) {
  ParallelRows(
      Dst.Height,
      [&](int64_t First, int64_t Last) {
        for (int32_t y = int32_t(First); y < Last; ++y) {
          const uint8_t* s = Src.ScanLine(int32_t(int64_t(y) * Src.Height / Dst.Height));
          uint8_t* d = Dst.ScanLine(y);
          for (int32_t x = 0; x < Dst.Width; ++x) d[x] = s[int64_t(x) * Src.Width / Dst.Width];
        }
      },
      int64_t(Dst.Width) * 4);
}

// Target takes Result's pixels without a second copy. Its own transparency
// settings stay as they were, as when the rows were copied over. Replaced,
// when given, keeps the old picture.
void HandOver(TBitmap& Result, TBitmap& Target, TBitmap* Replaced = nullptr) {
  Result.SetTransparent(Target.Transparent());
  if (Target.TransparentMode() == tmFixed) Result.SetTransparentColor(Target.TransparentColor());
  if (Replaced) Replaced->TakeOver(Target);
  Target.TakeOver(Result);
}

}  // namespace

bool ResizeCanvas(TBitmap& Bitmap, int32_t Width, int32_t Height, TColor Background) {
  if (Width <= 0 || Height <= 0) return false;
  TBrush& brush = Bitmap.Canvas().Brush();
  brush.SetStyle(bsSolid);
  brush.SetColor(Background);
  Bitmap.SetSize(Width, Height);
  return true;
}

bool ResampleSize(const TBitmap& Bitmap, int32_t& Width, int32_t& Height) {
  if (Bitmap.Empty() || (Width < 0 && Height < 0)) return false;
  const int64_t w = Bitmap.Width(), h = Bitmap.Height();
  int64_t nw = Width, nh = Height;
  if (nw < 0) nw = w * nh / h;
  else if (nh < 0) nh = h * nw / w;
  if (nw <= 0 || nh <= 0 || nw > INT32_MAX || nh > INT32_MAX) return false;
  Width = int32_t(nw);
  Height = int32_t(nh);
  return true;
}

bool ResampleImage(TBitmap& Bitmap, int32_t Width, int32_t Height, TResampleFilter Filter, TIMMask* Alpha,
                   TObject* Sender, const TIMProgressEvent& OnProgress, TBitmap* Replaced) {
  if (!ResampleSize(Bitmap, Width, Height)) return false;
  const TPixelFormat pf = Bitmap.PixelFormat();
  const bool resampler = Filter != rfNone && (pf == pf24bit || pf == pf1bit);
  TBitmap result;
  if (resampler && ResamplerTakes(Bitmap.Width(), Bitmap.Height()))
    result.AllocateForOverwrite(Width, Height, pf24bit);  // the resampler writes every pixel
  else {
    result.SetPixelFormat(pf);
    result.SetSize(Width, Height);
  }
  if (!resampler) {
    // The plain stretch, also for formats the resampler does not read.
    ConvertBitmapDrawDib(Bitmap, result);
  } else if (!ResamplerTakes(Bitmap.Width(), Bitmap.Height())) {
    // A single pixel has nothing to filter: it is stretched, and a 1-bit
    // picture still comes out as 24 bits as the filtered path gives it.
    ConvertBitmapDrawDib(Bitmap, result);
    if (pf == pf1bit) {
      TBitmap expanded;
      TProgressRec silent;
      ConvertTo24BitRows(result, expanded, silent);
      result.TakeOver(expanded);
    }
  } else if (pf == pf1bit) {
    ResampleBitmap(Bitmap, result, Filter);
  } else {
    ResampleBitmapProgress(Bitmap, result, Filter, Sender, OnProgress);
  }
  HandOver(result, Bitmap, Replaced);

  if (Alpha) {
    if (Alpha->Full) {
      Alpha->AllocateBits(Width, Height, 8);
      Alpha->Fill(255);
    } else {
      TIMMask resized;
      resized.AllocateBits(Width, Height, 8);
      if (Alpha->BitsPerPixel == 8 && Alpha->Bits) {
        if (ResamplerTakes(Alpha->Width, Alpha->Height))
          ResampleMask(*Alpha, resized, Filter == rfNone ? rfFastLinear : Filter);
        else StretchMask(*Alpha, resized);
      }
      Alpha->Assign(&resized);
    }
  }
  return true;
}

void ClearBitmap(TBitmap& Bitmap, TColor Background) {
  if (Bitmap.Empty()) return;
  TCanvas& canvas = Bitmap.Canvas();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(Background);
  canvas.FillRect(Rect(0, 0, Bitmap.Width(), Bitmap.Height()));
}

bool CropToMask(TBitmap& Bitmap, const TIMMask* Mask) {
  const TPixelFormat pf = Bitmap.PixelFormat();
  if (!Mask || Mask->IsEmpty() || Bitmap.Empty() || (pf != pf24bit && pf != pf1bit)) return false;
  // The box is inclusive; only the part of it over the picture is kept.
  const int32_t x1 = std::max(Mask->X1, 0), y1 = std::max(Mask->Y1, 0);
  const int32_t x2 = std::min(Mask->X2, Bitmap.Width() - 1), y2 = std::min(Mask->Y2, Bitmap.Height() - 1);
  if (x1 > x2 || y1 > y2 || x1 != Mask->X1 || y1 != Mask->Y1) return false;
  TBitmap box;  // white until the mask brings pixels in
  box.SetPixelFormat(pf);
  if (pf == pf1bit) box.SetPaletteEntries(0, Bitmap.PaletteCount(), Bitmap.Palette().data());
  box.SetSize(x2 - x1 + 1, y2 - y1 + 1);
  const_cast<TIMMask*>(Mask)->CopyThroughMask(box, Bitmap, false, true);
  HandOver(box, Bitmap);
  return true;
}

void ConvertToColors(TBitmap& Bitmap, int32_t Colours, std::vector<TBGRPixel>* Palette, TObject* Sender,
                     const TIMProgressEvent& OnProgress) {
  if (Bitmap.PixelFormat() != pf24bit || Bitmap.Empty()) return;
  if (Colours > 2) {
    std::vector<TBGRPixel> pal(size_t(std::min(Colours, 256)));
    ReduceColors(Bitmap, Colours, pal.data(), Sender, OnProgress);
    if (Palette) *Palette = std::move(pal);
    return;
  }
  TProgressRec progress{OnProgress, Sender};
  ConvertTo1BitDither(Bitmap, progress);
  if (Palette) *Palette = {TBGRPixel{0, 0, 0}, TBGRPixel{255, 255, 255}};
}

void ConvertBitmapTo24Bit(TBitmap& Bitmap, TObject* Sender, const TIMProgressEvent& OnProgress) {
  if (Bitmap.PixelFormat() != pf1bit || Bitmap.Empty()) return;
  TBitmap expanded;
  TProgressRec progress{OnProgress, Sender};
  ConvertTo24BitRows(Bitmap, expanded, progress);
  Bitmap.TakeOver(expanded);
}

}  // namespace kv
