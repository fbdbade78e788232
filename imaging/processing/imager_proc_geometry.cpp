// The size, orientation and format methods of the processing component: a
// snapshot, one of the free routines of geometry_ops.h / rotate.h, a refresh.
#include "imaging/processing/imager_proc.h"

#include <memory>

#include "imaging/model/mask.h"
#include "imaging/processing/geometry_ops.h"
#include "imaging/processing/rotate.h"
#include "platform/rtl/strings.h"

namespace kv {

namespace {
bool Is24Or1(const TBitmap* B) { return B && (B->PixelFormat() == pf24bit || B->PixelFormat() == pf1bit); }
}  // namespace

void TImagerProc::ImageResize(int32_t Width, int32_t Height) {
  // A size of 0 asks for nothing; a negative one cannot be made.
  if (!Bitmap() || Width <= 0 || Height <= 0) return;
  if (FAutoUndo) SaveUndoCaptioned("ImageResize " + IntToStr(Width) + "," + IntToStr(Height));
  ResizeCanvas(*Bitmap(), Width, Height, Background());
  RefreshTarget();
}

void TImagerProc::Resample(int32_t Width, int32_t Height, TResampleFilter Filter) {
  if (!Bitmap()) return;
  int32_t w = Width, h = Height;
  if (!ResampleSize(*Bitmap(), w, h)) return;
  if (!FAutoUndo) {
    ResampleImage(*Bitmap(), Width, Height, Filter, GetAlphaMask(), this, OnProgress);
    RefreshTarget();
    return;
  }
  // The snapshot is the picture the result replaces, with the alpha channel
  // as it was: no copy of the picture is taken beforehand.
  std::unique_ptr<TIMMask> alpha;
  if (const TIMMask* a = GetAlphaMask()) {
    alpha = std::make_unique<TIMMask>();
    alpha->Assign(a);
  }
  TBitmap old;
  ResampleImage(*Bitmap(), Width, Height, Filter, GetAlphaMask(), this, OnProgress, &old);
  // The caption keeps the requested values, before the aspect correction.
  SaveUndoReplaced(old, alpha.get(), "Resample " + IntToStr(Width) + "," + IntToStr(Height));
  RefreshTarget();
}

void TImagerProc::Flip(int32_t Direction) {
  if (!Is24Or1(Bitmap())) return;
  if (FAutoUndo) SaveUndoCaptioned("Flip");
  FlipBitmap(*Bitmap(), Direction);
  RefreshTarget();
}

void TImagerProc::Rotate(bool Antialias, double Angle, TBitmap* Replaced) {
  if (!Is24Or1(Bitmap()) || Angle == 0) return;
  // With AutoUndo the snapshot is the picture the rotation replaces, not a copy.
  TBitmap own;
  TBitmap* old = FAutoUndo ? &own : Replaced;
  RotateBitmap(*Bitmap(), Angle, Antialias, Background(), this, OnProgress, old);
  if (FAutoUndo) SaveUndoReplaced(*old, GetAlphaMask(), "Rotate " + FloatToStr(Angle));
  RefreshTarget();
}

void TImagerProc::Clear() {
  if (!Bitmap()) return;
  if (FAutoUndo) SaveUndoCaptioned("Clear");
  ClearBitmap(*Bitmap(), Background());
  RefreshTarget();
}

void TImagerProc::CropSel() {
  if (!Is24Or1(Bitmap())) return;
  if (FAutoUndo) SaveUndoCaptioned("CropSel");
  int32_t x1, y1, x2, y2, count;
  TIMMask* mask;
  const TPoint* points = nullptr;
  // Without a selection the picture stays as it is (the snapshot is still taken).
  if (GetSelectionInfo(x1, y1, x2, y2, mask, count, points)) CropToMask(*Bitmap(), mask);
  RefreshTarget();
}

void TImagerProc::ConvertTo(int32_t Colours) {
  if (!Is24Bit()) return;
  if (FAutoUndo) SaveUndoCaptioned("ConvertTo " + IntToStr(Colours));
  ConvertToColors(*Bitmap(), Colours, nullptr, this, OnProgress);
  RefreshTarget();
}

void TImagerProc::ConvertToPalette(int32_t Colours, std::vector<TBGRPixel>& Palette) {
  if (!Is24Bit()) return;
  if (FAutoUndo) SaveUndoCaptioned("ConvertToPalette");
  ConvertToColors(*Bitmap(), Colours, &Palette, this, OnProgress);
  RefreshTarget();
}

void TImagerProc::ConvertTo24Bit() {
  if (!Bitmap() || Bitmap()->PixelFormat() != pf1bit) return;
  if (FAutoUndo) SaveUndoCaptioned("ConvertTo24Bit");
  ConvertBitmapTo24Bit(*Bitmap(), this, OnProgress);
  RefreshTarget();
}

}  // namespace kv
