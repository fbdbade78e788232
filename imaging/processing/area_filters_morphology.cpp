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
#include <memory>
#include <mutex>
#include <vector>

#include "imaging/model/pixel.h"
#include "imaging/processing/area_filters.h"
#include "imaging/processing/row_strips.h"

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
// rows of the rectangle (X1, Y1) of RW x RH pixels, a run of consecutive
// strips at a time, with RowDone(y) after each row.
//
// Rows go through the row pass as they enter the column queues, so only the
// rows of one window are held at a time: the work memory grows with the
// window, not with the picture. A row is read before any output row at or
// below it is written.
//
// A run starts its queues afresh from the first row of its first window: the
// queue of a window holds the rows that no later row of the window beats,
// whatever came before, so every run finds the winners a single pass would.
// Rows that another run may still read (those nearer to the run's ends than
// the window reaches) go to Held instead of the picture until that is over.
class TMorphPass {
 public:
  TMorphPass(TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t RW, int32_t RH, int32_t Radius, int32_t Start)
      : FBitmap(Bitmap), FX1(X1), FY1(Y1), FW(RW), FH(RH),
        FRX(std::min(Radius, RW - 1)), FRY(std::min(Radius, RH - 1)),
        FStart(Start), FOut(Start), FNext(std::max(0, Start - FRY)),
        // The rows of one window; the one entering takes the slot of the one
        // that has just left.
        FSlots(std::min(2 * FRY + 1, FH)),
        // A row entering a column's queue may meet the one that left the
        // window just before it: room for both.
        FCap(std::min(2 * FRY + 2, FH)),
        FRowColour(new TBGRPixel[size_t(RW) * size_t(FSlots)]), FRowKey(new uint8_t[size_t(RW) * size_t(FSlots)]),
        FRingRow(new int32_t[size_t(RW) * size_t(FCap)]), FRingKey(new uint8_t[size_t(RW) * size_t(FCap)]),
        FHead(new int32_t[size_t(RW)]()), FCount(new int32_t[size_t(RW)]()), FKey(new uint8_t[size_t(RW)]),
        FQueue(new int32_t[size_t(RW)]), FWin(new int32_t[size_t(RW)]), FSlotOf(new int32_t[size_t(RH)]) {
    for (int32_t y = 0; y < RH; ++y) FSlotOf[size_t(y)] = y % FSlots;
  }

  struct TDeferredRow {
    int32_t Y;
    std::vector<TBGRPixel> Pixels;
  };

  // The row after the last one worked; a run goes on from there.
  int32_t Next() const { return FOut; }

  // Works rows Next() .. To - 1 (the run's next strip).
  template <typename TRowDone> void Run(bool Invert, int32_t To, std::vector<TDeferredRow>& Held, TRowDone&& RowDone) {
    const size_t w = size_t(FW), cap = size_t(FCap);
    // Rows other runs may read: within the window's reach of a run end that is not the rectangle's.
    const int32_t keepAbove = FStart > 0 ? FStart + FRY : FStart;
    const int32_t keepBelow = To < FH ? To - FRY : To;
    int32_t& next = FNext;  // next row to enter every column's queue
    for (int32_t y = FOut; y < To; ++y, FOut = y) {
      for (const int32_t last = std::min(FH - 1, y + FRY); next <= last; ++next) {
        const uint8_t* keys = RowPass(next, Invert);
        for (size_t x = 0; x < w; ++x) {
          int32_t* rr = &FRingRow[x * cap];
          uint8_t* rk = &FRingKey[x * cap];
          int32_t n = FCount[x];
          const int32_t h0 = FHead[x];
          // A later row beats an earlier one only with a strictly larger key.
          while (n > 0 && rk[Wrap(h0 + n - 1, FCap)] < keys[x]) --n;
          const int32_t at = Wrap(h0 + n, FCap);
          rr[at] = next;
          rk[at] = keys[x];
          FCount[x] = n + 1;
        }
      }
      TBGRPixel* out = Row(y);
      if (y < keepAbove || y >= keepBelow) {
        Held.push_back({y, std::vector<TBGRPixel>(out, out + w)});
        out = Held.back().Pixels.data();
      }
      for (size_t x = 0; x < w; ++x) {
        const int32_t* rr = &FRingRow[x * cap];
        int32_t h0 = FHead[x], n = FCount[x];
        while (rr[h0] < y - FRY) {
          h0 = Wrap(h0 + 1, FCap);
          --n;
        }
        FHead[x] = h0;
        FCount[x] = n;
        // A window whose every pixel sits at the start value keeps its centre.
        if (FRingKey[x * cap + size_t(h0)] != 0) out[x] = FRowColour[size_t(FSlotOf[size_t(rr[h0])]) * w + x];
      }
      RowDone(y);
    }
  }

 private:
  // The row pass of row Y: for each pixel, the winning colour and key of its
  // window row, kept in the row's slot; returns the keys. The key is the gray
  // level, inverted for a minimum, so both passes look for the largest key;
  // key 0 is the start value no pixel beats.
  const uint8_t* RowPass(int32_t Y, bool Invert) {
    const size_t w = size_t(FW);
    const TBGRPixel* src = Row(Y);
    uint8_t* key = FKey.get();
    for (size_t x = 0; x < w; ++x) {
      const uint8_t g = GrayLevel(src[x]);
      key[x] = Invert ? uint8_t(255 - g) : g;
    }
    SlideLine(key, FW, FRX, FQueue.get(), FWin.get());
    const size_t slot = size_t(FSlotOf[size_t(Y)]);
    TBGRPixel* colourOut = &FRowColour[slot * w];
    uint8_t* keyOut = &FRowKey[slot * w];
    for (size_t x = 0; x < w; ++x) {
      colourOut[x] = src[FWin[x]];
      keyOut[x] = key[size_t(FWin[x])];
    }
    return keyOut;
  }

  TBGRPixel* Row(int32_t Y) { return static_cast<TBGRPixel*>(FBitmap.ScanLine(FY1 + Y)) + FX1; }
  static int32_t Wrap(int32_t I, int32_t Cap) { return I >= Cap ? I - Cap : I; }

  TBitmap& FBitmap;
  int32_t FX1, FY1, FW, FH, FRX, FRY;
  int32_t FStart;  // first output row of the run
  int32_t FOut;    // next output row
  int32_t FNext;   // next row to enter the queues
  int32_t FSlots, FCap;
  std::unique_ptr<TBGRPixel[]> FRowColour;  // FSlots rows of the row pass
  std::unique_ptr<uint8_t[]> FRowKey;
  std::unique_ptr<int32_t[]> FRingRow;  // per column, FCap entries
  std::unique_ptr<uint8_t[]> FRingKey;
  std::unique_ptr<int32_t[]> FHead, FCount;
  std::unique_ptr<uint8_t[]> FKey;
  std::unique_ptr<int32_t[]> FQueue, FWin;
  std::unique_ptr<int32_t[]> FSlotOf;  // row -> its slot, without a division a pixel
};

}  // namespace

void Morphology(TBitmap& Bitmap, int32_t Radius, int32_t Mode, TObject* Sender, const TIMProgressEvent& OnProgress,
                int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (Bitmap.PixelFormat() != pf24bit || Mode < mmMaximum || Mode > mmClosing) return;
  if (!ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
  const int32_t rows = Y2 - Y1, cols = X2 - X1;
  // A window never reaches beyond the rectangle, so a larger radius changes nothing.
  const int32_t radius = std::max(Radius, 0);

  const bool twoPasses = Mode >= mmOpening;
  const double step = (twoPasses ? 50.0 : 100.0) / (rows - 0.5);
  int32_t done = 0;
  auto rowDone = [&](int32_t) {
    ++done;
    if (OnProgress) OnProgress(Sender, std::min(Trunc32(done * step), 100));
  };
  // A strip reads the rows of its first and last windows besides its own: a
  // low cost per row asks for strips some windows tall, so that this stays a
  // small part of each strip.
  const int64_t reach = 2 * int64_t(std::min(radius, rows - 1)) + 1;
  const int64_t rowCost = std::min<int64_t>(int64_t(cols) * 24, std::max<int64_t>((int64_t(1) << 14) / reach, 1));
  auto pass = [&](bool Invert) {
    if (KernelThreads() <= 1) {
      // One run of every row, with progress as it goes: nothing is held back.
      std::vector<TMorphPass::TDeferredRow> none;
      TMorphPass(Bitmap, X1, Y1, cols, rows, radius, 0).Run(Invert, rows, none, rowDone);
      return;
    }
    // A strip that starts where the last finished run stopped carries that
    // run on, so strips of one row each (few rows, or one thread) do not each
    // read a whole window afresh.
    struct TOpenRun {
      std::unique_ptr<TMorphPass> Pass;
      std::vector<TMorphPass::TDeferredRow> Held;
      int32_t Start = 0;
    };
    std::mutex lock;
    TOpenRun idle;
    std::vector<TMorphPass::TDeferredRow> held;
    auto retire = [&](TOpenRun& R) {
      for (auto& d : R.Held) held.push_back(std::move(d));
      R = TOpenRun{};
    };
    auto write = [&](const TMorphPass::TDeferredRow& D) {
      std::copy(D.Pixels.begin(), D.Pixels.end(), static_cast<TBGRPixel*>(Bitmap.ScanLine(Y1 + D.Y)) + X1);
    };
    RunRowStrips(
        0, rows, rowCost,
        [&](int32_t From, int32_t To) {
          TOpenRun run;
          {
            const std::lock_guard hold(lock);
            if (idle.Pass && idle.Pass->Next() == From) std::swap(run, idle);
          }
          if (!run.Pass) {
            run.Pass = std::make_unique<TMorphPass>(Bitmap, X1, Y1, cols, rows, radius, From);
            run.Start = From;
          }
          run.Pass->Run(Invert, To, run.Held, [](int32_t) {});
          // Held rows no other run reads any more: those the run has gone past
          // by a window, away from its start.
          const int32_t safeFrom = run.Start > 0 ? run.Start + std::min(radius, rows - 1) : 0;
          const int32_t safeTo = To - std::min(radius, rows - 1);
          std::erase_if(run.Held, [&](const TMorphPass::TDeferredRow& d) {
            if (d.Y < safeFrom || d.Y >= safeTo) return false;
            write(d);
            return true;
          });
          const std::lock_guard hold(lock);
          if (To == rows) {
            retire(run);
            return;
          }
          if (idle.Pass) retire(idle);
          std::swap(idle, run);
        },
        rowDone);
    retire(idle);
    for (const auto& d : held) write(d);
  };
  switch (Mode) {
    case mmMaximum: pass(false); break;
    case mmMinimum: pass(true); break;
    case mmOpening:
      pass(true);
      pass(false);
      break;
    case mmClosing:
      pass(false);
      pass(true);
      break;
    default: break;
  }
}

}  // namespace kv
