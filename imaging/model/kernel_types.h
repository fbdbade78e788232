// What the pixel kernels share: the progress event, the progress record of
// whole-bitmap conversions and codecs, the per-row progress values and the
// clipping of a kernel's rectangle.
#pragma once
#include <algorithm>
#include <cstdint>
#include <functional>

#include "platform/graphics/bitmap.h"
#include "platform/rtl/object.h"
#include "platform/rtl/pascal_math.h"

namespace kv {

using TIMProgressEvent = std::function<void(TObject* Sender, int32_t per)>;

// What a component is busy with, reported with a percentage through OnJob.
enum TIMJob : uint8_t {
  imjNothing = 0,            // idle again (a capture device is connected)
  imjGeneralProcessing = 1,
  imjVideoCapConnecting = 2  // a capture device is being connected
};
using TIMJobEvent = std::function<void(TObject* Sender, TIMJob job, int32_t per)>;

// Progress of a whole-bitmap conversion or a codec: the handler, the sender,
// and the working values that the routine fills.
struct TProgressRec {
  TIMProgressEvent OnProgress;  // called only when assigned
  TObject* Sender = nullptr;
  double per1 = 0;              // percent per row (or block), set by the routine
  int32_t val = 0;              // rows (or blocks) done
  bool* Aborted = nullptr;      // the I/O component's aborted flag while a codec runs; null elsewhere

  // Whole-bitmap step: 100 / (Rows + 0.5), so the last row stays below 100.
  void Start(int32_t Rows) {
    per1 = 100.0 / (Rows + 0.5);
    val = 0;
  }
  // After one more row: trunc(rows done * per1) to the handler, never above 100.
  void Row() {
    ++val;
    if (OnProgress) OnProgress(Sender, std::min(Trunc32(val * per1), 100));
  }

  // Codec step: per1 = 100 / Rows, where Rows counts the rows (or blocks) of the image.
  void StartCodec(int32_t Rows) {
    per1 = Rows > 0 ? 100.0 / Rows : 0;
    val = 0;
    rows = Rows;
  }
  // After one more row of a codec: trunc(rows done * 100 / rows), in integers
  // so that the last row gives exactly 100.
  void CodecRow() {
    ++val;
    if (OnProgress && rows > 0) OnProgress(Sender, int32_t(std::min<int64_t>(int64_t(val) * 100 / rows, 100)));
  }
  // A codec's failure: the aborted flag is set (when there is one) and stays set.
  void Fail() {
    if (Aborted) *Aborted = true;
  }
  bool Failed() const { return Aborted && *Aborted; }

  int32_t rows = 0;  // rows (or blocks) of a codec's image, set by StartCodec
};

// Value passed after row Y of a kernel whose rows run from Y1 to YLast
// (inclusive): trunc((Y - Y1 + 1) * (100 / (YLast - Y1 + 0.5))), held at 100.
// The step is a little more than 100 / rows, so the last rows would otherwise
// pass up to 105 (after the last of 10) to handlers that expect percentages.
inline int32_t RectProgressValue(int32_t Y, int32_t Y1, int32_t YLast) {
  return std::min(
      Trunc32((static_cast<double>(Y) - Y1 + 1) * (100.0 / (static_cast<double>(YLast) - Y1 + 0.5))), 100);
}

// Per-row progress of a kernel over rows Y1..YLast; silent without a handler.
class TRowProgress {
 public:
  TRowProgress(TObject* Sender, const TIMProgressEvent& OnProgress, int32_t Y1, int32_t YLast)
      : FSender(Sender), FOnProgress(OnProgress), FY1(Y1), FYLast(YLast) {}
  void Row(int32_t Y) const {
    if (FOnProgress) FOnProgress(FSender, RectProgressValue(Y, FY1, FYLast));
  }

 private:
  TObject* FSender;
  const TIMProgressEvent& FOnProgress;
  int32_t FY1;
  int32_t FYLast;
};

// Clips a kernel's rectangle (right and bottom exclusive) to the bitmap.
// Left and top are raised to 0 as well, so no row or column outside the
// bitmap is ever touched. False when nothing is left to do.
inline bool ClipKernelRect(const TBitmap& Bitmap, int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2) {
  X1 = std::max(X1, 0);
  Y1 = std::max(Y1, 0);
  X2 = std::min(X2, Bitmap.Width());
  Y2 = std::min(Y2, Bitmap.Height());
  return X1 < X2 && Y1 < Y2;
}

}  // namespace kv
