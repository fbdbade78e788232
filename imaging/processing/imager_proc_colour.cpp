// The colour and tone methods of the processing component.
#include "imaging/processing/imager_proc.h"

#include "platform/rtl/strings.h"

namespace kv {

void TImagerProc::ConvertToGray() {
  if (!Is24Bit()) return;
  if (FAutoUndo) SaveUndoCaptioned("ConvertToGray");
  RunOnSelection([this](TBitmap& B, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    GrayScale(B, X1, Y1, X2, Y2, this, OnProgress);
  });
}

void TImagerProc::IntensityRGBAll(int32_t Red, int32_t Green, int32_t Blue) {
  if (!Is24Bit()) return;
  if (FAutoUndo)
    SaveUndoCaptioned("IntensityRGBall " + IntToStr(Red) + "," + IntToStr(Green) + "," + IntToStr(Blue));
  RunOnSelection([&](TBitmap& B, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
    AddRGBOffsets(B, Red, Green, Blue, X1, Y1, X2, Y2, this, OnProgress);
  });
}

void TImagerProc::GetHistogram(TIMHistogram& Histogram) {
  if (!Is24Bit()) return;
  int32_t x1, y1, x2, y2, count;
  TIMMask* mask;
  const TPoint* points = nullptr;
  GetSelectionInfo(x1, y1, x2, y2, mask, count, points);
  CountHistogram(*Bitmap(), Histogram, x1, y1, x2, y2);
}

int32_t TImagerProc::CalcNumColors() {
  if (!Bitmap()) return 0;
  if (Bitmap()->PixelFormat() == pf1bit) return 2;
  if (Bitmap()->PixelFormat() != pf24bit) return 0;
  int32_t x1, y1, x2, y2, count;
  TIMMask* mask;
  const TPoint* points = nullptr;
  GetSelectionInfo(x1, y1, x2, y2, mask, count, points);
  return CountColors(*Bitmap(), x1, y1, x2, y2);
}

}  // namespace kv
