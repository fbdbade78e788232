#include "imaging/processing/colour_kernels.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "imaging/processing/colour_convert.h"
#include "imaging/model/hash_set.h"
#include "imaging/processing/row_strips.h"

namespace kv {

namespace {

TBGRPixel* Row24(TBitmap& Bitmap, int32_t Y) { return static_cast<TBGRPixel*>(Bitmap.ScanLine(Y)); }
const TBGRPixel* Row24(const TBitmap& Bitmap, int32_t Y) { return static_cast<const TBGRPixel*>(Bitmap.ScanLine(Y)); }

// Runs Op on every pixel of the clipped rectangle of a pf24bit bitmap, one
// row pointer per row and progress after each row. PixelCost: Op's rough
// byte operations, which decide how finely the rows are shared out.
template <typename TOp>
void ForEachPixel(TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender,
                  const TIMProgressEvent& OnProgress, int64_t PixelCost, TOp Op) {
  const TRowProgress progress(Sender, OnProgress, Y1, Y2 - 1);
  const int32_t n = X2 - X1;
  RunRowStrips(
      Y1, Y2, n * PixelCost,
      [&](int32_t From, int32_t To) {
        for (int32_t y = From; y < To; ++y) {
          TBGRPixel* row = Row24(Bitmap, y) + X1;
          for (int32_t x = 0; x < n; ++x) Op(row[x]);
        }
      },
      [&](int32_t y) { progress.Row(y); });
}

// One lookup table per channel, for the operations that map each value on its own.
struct TChannelTables {
  uint8_t Red[256];
  uint8_t Green[256];
  uint8_t Blue[256];
};

void ApplyTables(TBitmap& Bitmap, const TChannelTables& T, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2,
                 TObject* Sender, const TIMProgressEvent& OnProgress) {
  ForEachPixel(Bitmap, X1, Y1, X2, Y2, Sender, OnProgress, 6, [&T](TBGRPixel& p) {
    p.r = T.Red[p.r];
    p.g = T.Green[p.g];
    p.b = T.Blue[p.b];
  });
}

bool Usable24(const TBitmap& Bitmap, int32_t& X1, int32_t& Y1, int32_t& X2, int32_t& Y2) {
  return Bitmap.PixelFormat() == pf24bit && ClipKernelRect(Bitmap, X1, Y1, X2, Y2);
}

// Complements bits X1..X2-1 of a 1-bit row, whole bytes where it can.
void InvertBitRun(uint8_t* Row, int32_t X1, int32_t X2) {
  const int32_t last = X2 - 1;
  const int32_t b1 = X1 >> 3, b2 = last >> 3;
  const uint8_t head = static_cast<uint8_t>(0xFFu >> (X1 & 7));
  const uint8_t tail = static_cast<uint8_t>(0xFFu << (7 - (last & 7)));
  if (b1 == b2) {
    Row[b1] ^= static_cast<uint8_t>(head & tail);
    return;
  }
  Row[b1] ^= head;
  for (int32_t i = b1 + 1; i < b2; ++i) Row[i] = static_cast<uint8_t>(~Row[i]);
  Row[b2] ^= tail;
}

}  // namespace

void GrayScale(TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender,
               const TIMProgressEvent& OnProgress) {
  if (!Usable24(Bitmap, X1, Y1, X2, Y2)) return;
  ForEachPixel(Bitmap, X1, Y1, X2, Y2, Sender, OnProgress, 8, [](TBGRPixel& p) { p.r = p.g = p.b = GrayLevel(p); });
}

void Negative(TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender,
              const TIMProgressEvent& OnProgress) {
  if (Bitmap.PixelFormat() == pf24bit) {
    if (!ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
    const TRowProgress progress(Sender, OnProgress, Y1, Y2 - 1);
    const int32_t n = (X2 - X1) * 3;
    RunRowStrips(
        Y1, Y2, int64_t(n) * 2,
        [&](int32_t From, int32_t To) {
          for (int32_t y = From; y < To; ++y) {
            uint8_t* row = static_cast<uint8_t*>(Bitmap.ScanLine(y)) + X1 * 3;
            for (int32_t i = 0; i < n; ++i) row[i] = static_cast<uint8_t>(255 - row[i]);
          }
        },
        [&](int32_t y) { progress.Row(y); });
  } else if (Bitmap.PixelFormat() == pf1bit) {
    if (!ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
    const TRowProgress progress(Sender, OnProgress, Y1, Y2 - 1);
    RunRowStrips(
        Y1, Y2, (int64_t(X2) - X1) / 4 + 2,
        [&](int32_t From, int32_t To) {
          for (int32_t y = From; y < To; ++y) InvertBitRun(static_cast<uint8_t*>(Bitmap.ScanLine(y)), X1, X2);
        },
        [&](int32_t y) { progress.Row(y); });
  }
}

void AddRGBOffsets(TBitmap& Bitmap, int32_t Red, int32_t Green, int32_t Blue, int32_t X1, int32_t Y1, int32_t X2,
                   int32_t Y2, TObject* Sender, const TIMProgressEvent& OnProgress) {
  if (!Usable24(Bitmap, X1, Y1, X2, Y2)) return;
  TChannelTables t;
  for (int32_t v = 0; v < 256; ++v) {
    t.Red[v] = static_cast<uint8_t>(Clamp255(int64_t(v) + Red));
    t.Green[v] = static_cast<uint8_t>(Clamp255(int64_t(v) + Green));
    t.Blue[v] = static_cast<uint8_t>(Clamp255(int64_t(v) + Blue));
  }
  ApplyTables(Bitmap, t, X1, Y1, X2, Y2, Sender, OnProgress);
}

void AdjustContrast(TBitmap& Bitmap, double Contrast, int32_t MeanRed, int32_t MeanGreen, int32_t MeanBlue,
                    int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender,
                    const TIMProgressEvent& OnProgress) {
  if (!Usable24(Bitmap, X1, Y1, X2, Y2)) return;
  const double f = Contrast >= 0 ? 1 + Contrast / 10 : 1 - std::sqrt(-Contrast) / 10;
  // Bounded so that absurd factors or means cannot overflow the sum.
  const auto map = [f](int32_t v, int32_t m) {
    const int64_t d = std::clamp<int64_t>(Trunc((int64_t(v) - m) * f), -(int64_t(1) << 40), int64_t(1) << 40);
    return static_cast<uint8_t>(Clamp255(m + d));
  };
  TChannelTables t;
  for (int32_t v = 0; v < 256; ++v) {
    t.Red[v] = map(v, MeanRed);
    t.Green[v] = map(v, MeanGreen);
    t.Blue[v] = map(v, MeanBlue);
  }
  ApplyTables(Bitmap, t, X1, Y1, X2, Y2, Sender, OnProgress);
}

void AdjustHSV(TBitmap& Bitmap, int32_t HueOffset, int32_t SaturationOffset, int32_t ValueOffset, int32_t X1,
               int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender, const TIMProgressEvent& OnProgress) {
  if (!Usable24(Bitmap, X1, Y1, X2, Y2)) return;
  // Hue is an angle: a shift goes round the circle rather than piling up at 359.
  const int32_t dh = static_cast<int32_t>(((int64_t(HueOffset) % 360) + 360) % 360);
  // The integer HSV round trip is lossy, so a shift that moves nothing must not run it.
  if (dh == 0 && SaturationOffset == 0 && ValueOffset == 0) return;
  const auto clamp = [](int64_t v) { return static_cast<int32_t>(v < -1000 ? -1000 : (v > 1000 ? 1000 : v)); };
  ForEachPixel(Bitmap, X1, Y1, X2, Y2, Sender, OnProgress, 48, [&](TBGRPixel& p) {
    int32_t h, s, v;
    RGBToHSV(PackedColour(p), h, s, v);
    HSVToRGB(p, (h + dh) % 360, clamp(int64_t(s) + SaturationOffset), clamp(int64_t(v) + ValueOffset));
  });
}

void Equalize(TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TObject* Sender,
              const TIMProgressEvent& OnProgress) {
  if (!Usable24(Bitmap, X1, Y1, X2, Y2)) return;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  TIMHistogram hist;
  CountHistogram(Bitmap, hist, 0, 0, w, h);
  // Pictures of fewer than 256 pixels would give a quota of 0 and a table loop without end.
  const int64_t quota = std::max<int64_t>(int64_t(w) * h / 256, 1);

  uint8_t left[256], right[256];
  int64_t level = 0, sum = 0;
  for (int32_t k = 0; k < 256; ++k) {
    left[k] = static_cast<uint8_t>(Clamp255(level));
    sum += hist[k].Gray;
    while (sum > quota) {
      sum -= quota;
      ++level;
    }
    right[k] = static_cast<uint8_t>(Clamp255(level));
  }

  // Results go to a buffer so that every neighbourhood reads unchanged pixels.
  const int32_t rw = X2 - X1;
  std::vector<TBGRPixel> out(size_t(rw) * size_t(Y2 - Y1));
  const TRowProgress progress(Sender, OnProgress, Y1, Y2 - 1);
  const auto strip = [&](int32_t From, int32_t To) {
    for (int32_t y = From; y < To; ++y) {
      const TBGRPixel* rows[3] = {Row24(Bitmap, y > 0 ? y - 1 : 0), Row24(Bitmap, y),
                                  Row24(Bitmap, y + 1 < h ? y + 1 : h - 1)};
      TBGRPixel* dst = out.data() + size_t(y - Y1) * size_t(rw);
      for (int32_t x = X1; x < X2; ++x) {
        const int32_t cols[3] = {x > 0 ? x - 1 : 0, x, x + 1 < w ? x + 1 : w - 1};
        int32_t sr = 0, sg = 0, sb = 0;
        for (const TBGRPixel* row : rows)
          for (int32_t c : cols) {
            sr += row[c].r;
            sg += row[c].g;
            sb += row[c].b;
          }
        const TBGRPixel mean =
            CreateRGB(static_cast<uint8_t>(sr / 9), static_cast<uint8_t>(sg / 9), static_cast<uint8_t>(sb / 9));
        const TBGRPixel& p = rows[1][x];
        const uint8_t g = GrayLevel(p);
        const uint8_t G = GrayLevel(mean);
        TBGRPixel& q = dst[x - X1];
        if (left[g] == right[g] || G < left[g])
          q = CreateRGB(left[p.r], left[p.g], left[p.b]);
        else if (G > right[g])
          q = CreateRGB(right[p.r], right[p.g], right[p.b]);
        else
          q = mean;
      }
    }
  };
  RunRowStrips(Y1, Y2, int64_t(rw) * 3 * 12, strip, [&](int32_t y) { progress.Row(y); });
  for (int32_t y = Y1; y < Y2; ++y)
    std::memcpy(Row24(Bitmap, y) + X1, out.data() + size_t(y - Y1) * size_t(rw), size_t(rw) * sizeof(TBGRPixel));
}

void GetAverageRGB(const TBitmap& Bitmap, int32_t& Red, int32_t& Green, int32_t& Blue) {
  if (Bitmap.PixelFormat() != pf24bit) return;
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  if (w <= 0 || h <= 0) {
    Red = Green = Blue = 128;
    return;
  }
  // Integer sums: the strips' partial sums add up to the very same totals.
  uint64_t sr = 0, sg = 0, sb = 0;
  std::mutex merge;
  RunRowStrips(0, h, int64_t(w) * 3, [&](int32_t From, int32_t To) {
    uint64_t r = 0, g = 0, b = 0;
    for (int32_t y = From; y < To; ++y) {
      const TBGRPixel* row = Row24(Bitmap, y);
      for (int32_t x = 0; x < w; ++x) {
        r += row[x].r;
        g += row[x].g;
        b += row[x].b;
      }
    }
    const std::lock_guard lock(merge);
    sr += r;
    sg += g;
    sb += b;
  });
  const uint64_t n = uint64_t(w) * uint64_t(h);
  Red = static_cast<int32_t>(sr / n);
  Green = static_cast<int32_t>(sg / n);
  Blue = static_cast<int32_t>(sb / n);
}

void ConvertTo1BitThreshold(TBitmap& Bitmap, int32_t Threshold, TProgressRec& Progress) {
  if (Bitmap.PixelFormat() != pf24bit || Bitmap.Empty()) return;
  if (Threshold == -1) {
    int32_t r = 128, g = 128, b = 128;
    GetAverageRGB(Bitmap, r, g, b);
    Threshold = GrayLevel(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
  }
  const int32_t w = Bitmap.Width(), h = Bitmap.Height();
  TBitmap bw(w, h, pf1bit);
  Progress.Start(h);
  RunRowStrips(
      0, h, int64_t(w) * 4,
      [&](int32_t From, int32_t To) {
        for (int32_t y = From; y < To; ++y) {
          const TBGRPixel* src = Row24(Bitmap, y);
          uint8_t* dst = static_cast<uint8_t*>(bw.ScanLine(y));
          std::memset(dst, 0, size_t(bw.RowBytes()));  // pad bits stay clear
          for (int32_t x = 0; x < w; ++x)
            if (GrayLevel(src[x]) >= Threshold) dst[x >> 3] |= kBitMask[x & 7];
        }
      },
      [&](int32_t) {
        // This conversion divides last, (row + 1) * 100 / (height + 0.5): a
        // precomputed step gives one less on some rows (row 76 of 192: 39, not 40).
        ++Progress.val;
        if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, Trunc32(Progress.val * 100.0 / (h + 0.5)));
      });
  Bitmap.TakeOver(bw);
}

void CountHistogram(const TBitmap& Bitmap, TIMHistogram& Histogram, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (Bitmap.PixelFormat() != pf24bit) return;
  Histogram = TIMHistogram{};
  if (!ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return;
  // Each strip counts into its own histogram; counts add up in any order.
  std::mutex merge;
  RunRowStrips(Y1, Y2, (int64_t(X2) - X1) * 6, [&](int32_t From, int32_t To) {
    TIMHistogram own{};
    for (int32_t y = From; y < To; ++y) {
      const TBGRPixel* row = Row24(Bitmap, y);
      for (int32_t x = X1; x < X2; ++x) {
        const TBGRPixel& p = row[x];
        ++own[p.r].Red;
        ++own[p.g].Green;
        ++own[p.b].Blue;
        ++own[GrayLevel(p)].Gray;
      }
    }
    const std::lock_guard lock(merge);
    for (size_t i = 0; i < own.size(); ++i) {
      Histogram[i].Red += own[i].Red;
      Histogram[i].Green += own[i].Green;
      Histogram[i].Blue += own[i].Blue;
      Histogram[i].Gray += own[i].Gray;
    }
  });
}

int32_t CountColors(const TBitmap& Bitmap, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  if (Bitmap.PixelFormat() != pf24bit || !ClipKernelRect(Bitmap, X1, Y1, X2, Y2)) return 0;
  THash1 set(13);
  for (int32_t y = Y1; y < Y2; ++y) {
    const TBGRPixel* row = Row24(Bitmap, y);
    for (int32_t x = X1; x < X2; ++x) set.Insert(PackedColour(row[x]));
  }
  return set.Count();
}

}  // namespace kv
