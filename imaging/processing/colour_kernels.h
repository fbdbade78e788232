// Colour and tone kernels: gray, negative, channel offsets, contrast, HSV
// shifts, histogram equalisation, the black-and-white threshold, and the
// histogram and colour-count queries.
//
// Every kernel takes the bitmap, its own arguments, then the rectangle X1, Y1,
// X2, Y2 (right and bottom exclusive, clipped to the bitmap), then the Sender
// and the handler of its per-row progress (see TRowProgress). A bitmap of a
// format the kernel does not handle, or an empty rectangle, is left alone.
#pragma once
#include <array>
#include <cstdint>

#include "imaging/model/kernel_types.h"
#include "imaging/model/pixel.h"

namespace kv {

// Counts of one level: pixels whose red, green, blue, gray level is that level.
struct TIMHistogramItem {
  int32_t Red = 0;
  int32_t Green = 0;
  int32_t Blue = 0;
  int32_t Gray = 0;
};
// Indexed by level 0..255; 4096 bytes.
using TIMHistogram = std::array<TIMHistogramItem, 256>;
static_assert(sizeof(TIMHistogram) == 4096);

// pf24bit: red = green = blue = the gray level (21 R + 71 G + 7 B) div 100.
void GrayScale(TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender,
               const TIMProgressEvent& OnProgress);
// pf24bit: every byte becomes 255 - byte. pf1bit: every bit of the columns is complemented.
void Negative(TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender,
              const TIMProgressEvent& OnProgress);
// pf24bit: each channel becomes Clamp255(channel + its offset).
void AddRGBOffsets(TBitmap& Bitmap, int32_t Red, int32_t Green, int32_t Blue, int32_t X1, int32_t Y1, int32_t X2,
                   int32_t Y2, TObject* Sender, const TIMProgressEvent& OnProgress);
// pf24bit: each channel v with mean m becomes Clamp255(m + trunc((v - m) * f)),
// f = 1 + c / 10 for c >= 0 and 1 - sqrt(-c) / 10 below. The means normally come from GetAverageRGB.
void AdjustContrast(TBitmap& Bitmap, double Contrast, int32_t MeanRed, int32_t MeanGreen, int32_t MeanBlue,
                    int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender,
                    const TIMProgressEvent& OnProgress);
// pf24bit: each pixel through RGBToHSV, the offsets added, back through HSVToRGB.
// The hue wraps around 360; saturation and value are clamped. Offsets that
// change nothing leave the picture exactly as it was.
void AdjustHSV(TBitmap& Bitmap, int32_t HueOffset, int32_t SaturationOffset, int32_t ValueOffset, int32_t X1,
               int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender, const TIMProgressEvent& OnProgress);
// pf24bit: histogram equalisation of the rectangle against the gray histogram
// of the whole bitmap, with a 3 x 3 neighbourhood deciding between the two
// levels a crowded gray level is spread over.
void Equalize(TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender,
              const TIMProgressEvent& OnProgress);

// pf24bit: means of red, green and blue over the whole bitmap (truncated);
// 128 each for an empty bitmap. Other formats leave the outputs as they were.
void GetAverageRGB(const TBitmap& Bitmap, int32_t& Red, int32_t& Green, int32_t& Blue);
// pf24bit: replaces the bitmap by a pf1bit one, white where the gray level is
// at least Threshold and black below. Threshold -1 takes the gray of the mean colour.
void ConvertTo1BitThreshold(TBitmap& Bitmap, int32_t Threshold, TProgressRec& Progress);

// pf24bit: clears the histogram, then counts every pixel of the rectangle.
void CountHistogram(const TBitmap& Bitmap, TIMHistogram& Histogram, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);
// pf24bit: the number of distinct colours in the rectangle; 0 for other formats.
int32_t CountColors(const TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2);

}  // namespace kv
