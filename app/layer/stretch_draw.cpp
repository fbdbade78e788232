// Scaled drawing of a picture part onto a canvas or into a 24-bit bitmap.
#include "app/layer/stretch_draw.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/resample.h"
#include "platform/rtl/pascal_math.h"
#include "platform/ui/dialogs.h"

namespace kv {

namespace {

TRect ClipToBitmap(const TRect& R, const TBitmap& B) {
  return Rect(std::max(R.Left, 0), std::max(R.Top, 0), std::min(R.Right, B.Width()), std::min(R.Bottom, B.Height()));
}

// Area averaging when the picture shrinks (the resampler's triangle widens
// with the reduction), plain pixel repetition when it grows.
bool DrawOnCanvas(const TBitmap& Source, TCanvas& Canvas, const TRect& SourceRect, const TRect& TargetRect) {
  const TRect src = ClipToBitmap(SourceRect, Source);
  if (src.Width() <= 0 || src.Height() <= 0) return false;
  if (TargetRect.Width() == 0 || TargetRect.Height() == 0) return true;
  TBitmap part(0, 0, pf24bit);
  if (Source.PixelFormat() == pf24bit) {
    if (!CopyBitmapRect(Source, part, src.Left, src.Top, src.Right, src.Bottom)) return false;
  } else {
    TBitmap whole(0, 0, pf24bit);
    whole.Assign(&Source);
    whole.SetPixelFormat(pf24bit);
    if (!CopyBitmapRect(whole, part, src.Left, src.Top, src.Right, src.Bottom)) return false;
  }
  const int32_t tw = TargetRect.Width(), th = TargetRect.Height();
  const bool shrinks = tw > 0 && th > 0 && (tw < part.Width() || th < part.Height());
  if (shrinks && (part.Width() >= 2 || part.Height() >= 2)) {
    TBitmap scaled(tw, th, pf24bit);
    ResampleBitmapProgress(part, scaled, rfTriangle, nullptr, {});
    Canvas.Draw(TargetRect.Left, TargetRect.Top, scaled);
  } else {
    Canvas.StretchDraw(TargetRect, part);
  }
  return true;
}

// Nearest neighbour in 16.16 fixed point, row by row, clipped to the target.
void DrawIntoBitmap(const TBitmap& Source, const TRect& SourceRect, TBitmap& Target, const TRect& TargetRect) {
  if (Source.PixelFormat() != pf24bit || Target.PixelFormat() != pf24bit) return;
  const int32_t sw = SourceRect.Width(), sh = SourceRect.Height();
  const int32_t tw = TargetRect.Width(), th = TargetRect.Height();
  if (sw <= 0 || sh <= 0 || tw <= 0 || th <= 0 || Source.Empty()) return;
  const TRect clip = ClipToBitmap(TargetRect, Target);
  if (clip.Width() <= 0 || clip.Height() <= 0) return;
  const int64_t xStep = (int64_t(sw) << 16) / tw;
  const int64_t yStep = (int64_t(sh) << 16) / th;
  // Source byte offsets of the clipped columns, once; a source rectangle
  // reaching outside the source reads its edge pixels.
  std::vector<size_t> columns(size_t(clip.Width()));
  for (int32_t x = clip.Left; x < clip.Right; ++x) {
    const int64_t sx = SourceRect.Left + ((int64_t(x - TargetRect.Left) * xStep) >> 16);
    columns[size_t(x - clip.Left)] = size_t(std::clamp<int64_t>(sx, 0, Source.Width() - 1)) * 3;
  }
  for (int32_t y = clip.Top; y < clip.Bottom; ++y) {
    const int64_t sy = SourceRect.Top + ((int64_t(y - TargetRect.Top) * yStep) >> 16);
    const auto* s = static_cast<const uint8_t*>(Source.ScanLine(int32_t(std::clamp<int64_t>(sy, 0, Source.Height() - 1))));
    auto* t = static_cast<uint8_t*>(Target.ScanLine(y)) + size_t(clip.Left) * 3;
    for (size_t off : columns) {
      std::memcpy(t, s + off, 3);
      t += 3;
    }
  }
}

}  // namespace

void StretchDrawPart(const TBitmap& Source, TCanvas* Canvas, const TRect& SourceRect, TBitmap* Target,
                     const TRect& TargetRect) {
  if (Target) {
    DrawIntoBitmap(Source, SourceRect, *Target, TargetRect);
    return;
  }
  if (!Canvas || !DrawOnCanvas(Source, *Canvas, SourceRect, TargetRect)) ShowMessage("error");
}

void StretchDrawClipped(const TBitmap& Source, TCanvas* Canvas, const TRect& SourceRect, TBitmap* Target,
                        int32_t TargetWidth, int32_t TargetHeight, const TRect& TargetRect) {
  const int32_t tw = TargetRect.Width(), th = TargetRect.Height();
  if (tw == 0 || th == 0) return;
  const TRect clip = Rect(std::max(TargetRect.Left, 0), std::max(TargetRect.Top, 0),
                          std::min(TargetRect.Right, TargetWidth), std::min(TargetRect.Bottom, TargetHeight));
  if (clip.Width() <= 0 || clip.Height() <= 0) return;
  const double fx = double(SourceRect.Width()) / tw, fy = double(SourceRect.Height()) / th;
  const TRect src = Rect(SourceRect.Left + Round32((clip.Left - TargetRect.Left) * fx),
                         SourceRect.Top + Round32((clip.Top - TargetRect.Top) * fy),
                         SourceRect.Right - Round32((TargetRect.Right - clip.Right) * fx),
                         SourceRect.Bottom - Round32((TargetRect.Bottom - clip.Bottom) * fy));
  StretchDrawPart(Source, Canvas, src, Target, clip);
}

void StretchDrawWhole(const TBitmap& Source, TCanvas* Canvas, TBitmap* Target, int32_t TargetWidth,
                      int32_t TargetHeight, const TRect& TargetRect) {
  StretchDrawClipped(Source, Canvas, Rect(0, 0, Source.Width(), Source.Height()), Target, TargetWidth,
                     TargetHeight, TargetRect);
}

void StretchDrawToSize(const TBitmap& Source, TCanvas* Canvas, TBitmap* Target, int32_t Width, int32_t Height) {
  StretchDrawWhole(Source, Canvas, Target, Width, Height, Rect(0, 0, Width, Height));
}

}  // namespace kv
