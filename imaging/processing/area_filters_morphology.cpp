// Gray morphology: maximum and minimum filters over a square window, keyed by
// the gray level and copying whole colours.
//
// The window's winner is its pixel with the extreme gray level, the first in
// scan order (rows top down, then columns left to right) among equals. That
// order is a total order on (gray, row, column), so the square window splits
// into a row pass and a column pass. Each pass is a sliding window kept as a
// monotonic queue of candidates: every pixel enters and leaves it once, so a
// pixel costs the same for a window of 3 or of 301.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/model/pixel.h"
#include "imaging/processing/area_filters.h"

namespace kv {

namespace {

// Sliding-window argmax over one line of keys: Out[i] = the index of the
// largest key in [i - R, i + R] clipped to the line, the smallest index among
// equal keys. Queue must hold at least min(2 R + 1, N) entries.
void SlideLine(const uint8_t* Key, int32_t N, int32_t R, int32_t* Queue, int32_t* Out) {
  int32_t head = 0, tail = 0;  // live entries Queue[head..tail), indices rising, keys falling
  int32_t next = 0;            // next index to enter
  for (int32_t i = 0; i < N; ++i) {
    const int32_t last = std::min(N - 1, i + R);
    for (; next <= last; ++next) {
      // A later pixel beats an earlier one only with a strictly larger key.
      while (tail > head && Key[Queue[tail - 1]] < Key[next]) --tail;
      Queue[tail++] = next;
    }
    while (Queue[head] < i - R) ++head;
    Out[i] = Queue[head];
  }
}

// One maximum pass (Invert false) or minimum pass (Invert true) over the
// rectangle (X1, Y1) of RW x RH pixels, with progress after each row.
class TMorphPass {
 public:
  TMorphPass(TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t RW, int32_t RH, int32_t Radius)
      : FBitmap(Bitmap), FX1(X1), FY1(Y1), FW(RW), FH(RH),
        FRX(std::min(Radius, RW - 1)), FRY(std::min(Radius, RH - 1)) {}

  template <typename TRowDone> void Run(bool Invert, TRowDone RowDone) {
    const size_t w = size_t(FW), h = size_t(FH);
    // Row pass: for each pixel, the winning colour and key of its window row.
    // The key is the gray level, inverted for a minimum, so both passes look
    // for the largest key; key 0 is the start value no pixel beats.
    std::vector<TBGRPixel> rowColour(w * h);
    std::vector<uint8_t> rowKey(w * h);
    {
      std::vector<uint8_t> key(w);
      std::vector<int32_t> queue(w), win(w);
      for (int32_t y = 0; y < FH; ++y) {
        const TBGRPixel* src = Row(y);
        for (size_t x = 0; x < w; ++x) {
          const uint8_t g = GrayLevel(src[x]);
          key[x] = Invert ? uint8_t(255 - g) : g;
        }
        SlideLine(key.data(), FW, FRX, queue.data(), win.data());
        TBGRPixel* colourOut = &rowColour[size_t(y) * w];
        uint8_t* keyOut = &rowKey[size_t(y) * w];
        for (size_t x = 0; x < w; ++x) {
          colourOut[x] = src[win[x]];
          keyOut[x] = key[size_t(win[x])];
        }
      }
    }

    // Column pass, row by row: one queue of window rows per column, each a
    // ring of the rows (and their keys) still able to win. A row entering
    // may meet the one that left the window just before it: room for both.
    const int32_t cap = std::min(2 * FRY + 2, FH);
    std::vector<int32_t> ringRow(w * size_t(cap));
    std::vector<uint8_t> ringKey(w * size_t(cap));
    std::vector<int32_t> head(w, 0), count(w, 0);
    int32_t next = 0;  // next row to enter every column's queue
    for (int32_t y = 0; y < FH; ++y) {
      const int32_t last = std::min(FH - 1, y + FRY);
      for (; next <= last; ++next) {
        const uint8_t* keys = &rowKey[size_t(next) * w];
        for (size_t x = 0; x < w; ++x) {
          int32_t* rr = &ringRow[x * size_t(cap)];
          uint8_t* rk = &ringKey[x * size_t(cap)];
          int32_t n = count[x];
          const int32_t h0 = head[x];
          while (n > 0 && rk[Wrap(h0 + n - 1, cap)] < keys[x]) --n;
          const int32_t at = Wrap(h0 + n, cap);
          rr[at] = next;
          rk[at] = keys[x];
          count[x] = n + 1;
        }
      }
      TBGRPixel* out = Row(y);
      for (size_t x = 0; x < w; ++x) {
        const int32_t* rr = &ringRow[x * size_t(cap)];
        int32_t h0 = head[x], n = count[x];
        while (rr[h0] < y - FRY) {
          h0 = Wrap(h0 + 1, cap);
          --n;
        }
        head[x] = h0;
        count[x] = n;
        // A window whose every pixel sits at the start value keeps its centre.
        if (ringKey[x * size_t(cap) + size_t(h0)] != 0) out[x] = rowColour[size_t(rr[h0]) * w + x];
      }
      RowDone();
    }
  }

 private:
  TBGRPixel* Row(int32_t Y) { return static_cast<TBGRPixel*>(FBitmap.ScanLine(FY1 + Y)) + FX1; }
  static int32_t Wrap(int32_t I, int32_t Cap) { return I >= Cap ? I - Cap : I; }

  TBitmap& FBitmap;
  int32_t FX1, FY1, FW, FH, FRX, FRY;
};

}  // namespace

void Morphology(TBitmap& Bitmap, int32_t Radius, int32_t Mode, TObject* Sender, const TIMProgressEvent& OnProgress,
                int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (Bitmap.PixelFormat() != pf24bit || Mode < mmMaximum || Mode > mmClosing) return;
  if (!ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
  const int32_t rows = Y2 - Y1;
  // A window never reaches beyond the rectangle, so a larger radius changes nothing.
  TMorphPass pass(Bitmap, X1, Y1, X2 - X1, rows, std::max(Radius, 0));

  const bool twoPasses = Mode >= mmOpening;
  const double step = (twoPasses ? 50.0 : 100.0) / (rows - 0.5);
  int32_t done = 0;
  auto rowDone = [&] {
    ++done;
    if (OnProgress) OnProgress(Sender, std::min(Trunc32(done * step), 100));
  };
  switch (Mode) {
    case mmMaximum: pass.Run(false, rowDone); break;
    case mmMinimum: pass.Run(true, rowDone); break;
    case mmOpening:
      pass.Run(true, rowDone);
      pass.Run(false, rowDone);
      break;
    case mmClosing:
      pass.Run(false, rowDone);
      pass.Run(true, rowDone);
      break;
    default: break;
  }
}

}  // namespace kv
