// The resampling, rotation and geometry kernels on several threads: the same
// bytes and the same progress, value for value, as on one thread.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "imaging/model/mask.h"
#include "imaging/model/parallel_rows.h"
#include "imaging/model/pixel.h"
#include "imaging/processing/geometry_ops.h"
#include "imaging/processing/resample.h"
#include "imaging/processing/rotate.h"
#include "imaging/processing/skew.h"
#include "platform/rtl/exceptions.h"

namespace kv {
namespace {

// Pixels that differ from their neighbours in every channel, so a row or a
// column computed from the wrong place shows.
uint8_t Noise(int32_t X, int32_t Y, int32_t C) {
  uint32_t v = uint32_t(X) * 73856093u ^ uint32_t(Y) * 19349663u ^ uint32_t(C) * 83492791u;
  v ^= v >> 13;
  v *= 0x5bd1e995u;
  return uint8_t(v >> 24);
}

std::unique_ptr<TBitmap> Picture(int32_t W, int32_t H, TPixelFormat Format) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(Format);
  b->SetSize(W, H);
  const int32_t bits = PixelFormatBits(Format);
  for (int32_t y = 0; y < H; ++y) {
    auto* row = static_cast<uint8_t*>(b->ScanLine(y));
    for (int32_t i = 0; i < (int64_t(W) * bits + 7) / 8; ++i) row[i] = Noise(i, y, 0);
  }
  return b;
}

// Slanted dark strokes on white, for the skew search.
std::unique_ptr<TBitmap> Strokes(int32_t W, int32_t H) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf1bit);
  b->SetSize(W, H);
  for (int32_t y = 0; y < H; ++y) {
    auto* row = static_cast<uint8_t*>(b->ScanLine(y));
    for (int32_t x = 0; x < W; ++x) SetBit(row, x, (y + x / 23) % 17 != 0 && Noise(x, y, 1) > 3);
  }
  return b;
}

// What one run leaves: the picture's size, format and used bytes, the
// progress values, and whether any of them came from another thread.
struct TOutcome {
  int32_t Width = 0, Height = 0;
  TPixelFormat Format = pfDevice;
  std::vector<uint8_t> Bytes;
  std::vector<int32_t> Progress;
  bool ForeignProgress = false;
  double Value = 0;
};

void Capture(const TBitmap& B, TOutcome& Out) {
  Out.Width = B.Width();
  Out.Height = B.Height();
  Out.Format = B.PixelFormat();
  if (B.Empty()) return;
  const size_t used = size_t((int64_t(B.Width()) * PixelFormatBits(B.PixelFormat()) + 7) / 8);
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(B.ScanLine(y));
    Out.Bytes.insert(Out.Bytes.end(), row, row + used);
  }
}

// A kernel applied to a fresh picture of the case's size; returns a number
// when the kernel's result is one.
using TKernel = std::function<double(TBitmap& Picture, const TIMProgressEvent& OnProgress)>;

struct TKernelCase {
  const char* Name;
  TPixelFormat Format;
  TKernel Run;
};

std::unique_ptr<TBitmap> Resampled(TBitmap& P, int32_t W, int32_t H, TResampleFilter F,
                                   const TIMProgressEvent& OnProgress) {
  auto dst = std::make_unique<TBitmap>(std::max(W, 1), std::max(H, 1), pf24bit);
  ResampleBitmapProgress(P, *dst, F, nullptr, OnProgress);
  return dst;
}

const std::vector<TKernelCase>& Kernels() {
  static const std::vector<TKernelCase> cases = {
      {"lanczos3 150%", pf24bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         P.TakeOver(*Resampled(P, P.Width() * 3 / 2, P.Height() * 3 / 2, rfLanczos3, E));
         return 0.0;
       }},
      {"mitchell 40% x 130%", pf24bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         P.TakeOver(*Resampled(P, P.Width() * 2 / 5, P.Height() * 13 / 10, rfMitchell, E));
         return 0.0;
       }},
      {"triangle through block averages", pf24bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         P.TakeOver(*Resampled(P, P.Width() / 100, P.Height() / 90, rfTriangle, E));
         return 0.0;
       }},
      {"fast linear larger", pf24bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         P.TakeOver(*Resampled(P, P.Width() * 7 / 4, P.Height() * 5 / 4, rfFastLinear, E));
         return 0.0;
       }},
      {"fast linear smaller", pf24bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         P.TakeOver(*Resampled(P, P.Width() / 3, P.Height() * 2 / 7, rfFastLinear, E));
         return 0.0;
       }},
      {"fast linear same size", pf24bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         P.TakeOver(*Resampled(P, P.Width(), P.Height(), rfFastLinear, E));
         return 0.0;
       }},
      {"1-bit to gray", pf1bit,
       [](TBitmap& P, const TIMProgressEvent&) {
         TBitmap dst(std::max(1, P.Width() * 4 / 5), std::max(1, P.Height() * 6 / 5), pf24bit);
         ResampleBitmap(P, dst, rfBSpline);
         P.TakeOver(dst);
         return 0.0;
       }},
      {"1-bit area reduction", pf1bit,
       [](TBitmap& P, const TIMProgressEvent&) {
         TBitmap dst(std::max(1, P.Width() / 7), std::max(1, P.Height() / 5), pf24bit);
         ReduceRect24(P, 1, 2, P.Width() - 3, P.Height() - 1, dst);
         P.TakeOver(dst);
         return 0.0;
       }},
      {"mask", pf8bit,
       [](TBitmap& P, const TIMProgressEvent&) {
         TIMMask src, dst;
         src.AllocateBits(P.Width(), P.Height(), 8);
         for (int32_t y = 0; y < P.Height(); ++y)
           std::memcpy(src.ScanLine(y), P.ScanLine(y), size_t(P.Width()));
         dst.AllocateBits(std::max(1, P.Width() * 5 / 4), std::max(1, P.Height() * 3 / 4), 8);
         ResampleMask(src, dst, rfHermite);
         P.SetSize(dst.Width, dst.Height);
         for (int32_t y = 0; y < dst.Height; ++y) std::memcpy(P.ScanLine(y), dst.ScanLine(y), size_t(dst.Width));
         return 0.0;
       }},
      {"rotate 7.5 antialiased", pf24bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         RotateBitmap24(P, 7.5, true, clRed, nullptr, E);
         return 0.0;
       }},
      {"rotate -131 plain", pf24bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         RotateBitmap24(P, -131, false, clBlue, nullptr, E);
         return 0.0;
       }},
      {"quarter turns", pf24bit,
       [](TBitmap& P, const TIMProgressEvent&) {
         TBitmap a, b, c, d;
         QuarterTurn24(P, a, 1);
         QuarterTurn24(a, b, 2);
         QuarterTurn24(b, c, 3);
         QuarterTurn24(c, d, 0);
         P.TakeOver(d);
         return 0.0;
       }},
      {"rotate 1-bit", pf1bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         RotateBitmap1(P, 7.5, clWhite, nullptr, E);
         return 0.0;
       }},
      {"flip 24-bit", pf24bit,
       [](TBitmap& P, const TIMProgressEvent&) {
         FlipBitmap(P, 0);
         FlipBitmap(P, 1);
         return 0.0;
       }},
      {"flip 1-bit", pf1bit,
       [](TBitmap& P, const TIMProgressEvent&) {
         FlipBitmap(P, 0);
         FlipBitmap(P, 1);
         return 0.0;
       }},
      {"flip 4-bit", pf4bit,
       [](TBitmap& P, const TIMProgressEvent&) {
         FlipBitmap(P, 0);
         return 0.0;
       }},
      {"resample image with alpha", pf24bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         TIMMask alpha;
         alpha.AllocateBits(1, 1, 8);
         alpha.Fill(77);
         alpha.Full = false;
         ResampleImage(P, P.Width() + 5, -1, rfBell, &alpha, nullptr, E);
         double sum = 0;
         for (int32_t y = 0; y < alpha.Height; ++y)
           for (int32_t x = 0; x < alpha.Width; ++x) sum += alpha.ScanLine(y)[x] * (1 + (x ^ y) % 7);
         return sum;
       }},
      {"skew search", pf1bit,
       [](TBitmap& P, const TIMProgressEvent& E) {
         const auto strokes = Strokes(P.Width(), P.Height());
         return SkewAngleSearch(*strokes, E, nullptr, 30, 0.1);
       }},
  };
  return cases;
}

TOutcome RunKernel(const TKernelCase& K, int32_t W, int32_t H, int32_t Threads) {
  TKernelThreadsScope threads(Threads);
  TOutcome out;
  const auto picture = Picture(W, H, K.Format);
  const std::thread::id caller = std::this_thread::get_id();
  const TIMProgressEvent progress = [&](TObject*, int32_t Per) {
    out.Progress.push_back(Per);
    out.ForeignProgress |= std::this_thread::get_id() != caller;
  };
  out.Value = K.Run(*picture, progress);
  Capture(*picture, out);
  return out;
}

// Tiny pictures go through the strips as well, not only the large one.
class ParallelGeometry : public ::testing::Test {
 protected:
  void SetUp() override { FSaved = SetSerialWorkLimit(0); }
  void TearDown() override { SetSerialWorkLimit(FSaved); }

 private:
  int64_t FSaved = 0;
};

TEST_F(ParallelGeometry, SameBytesAndProgressOnOneAndManyThreads) {
  struct TSize {
    int32_t W, H;
    std::vector<int32_t> Threads;
  } sizes[] = {{1001, 667, {3}}, {1, 1, {2, 7}}, {3, 2, {2, 3, 7}}, {2, 9, {4}}};
  for (const TKernelCase& k : Kernels())
    for (const TSize& s : sizes) {
      const TOutcome one = RunKernel(k, s.W, s.H, 1);
      for (int32_t threads : s.Threads) {
        const TOutcome many = RunKernel(k, s.W, s.H, threads);
        const std::string what = std::string(k.Name) + " " + std::to_string(s.W) + "x" + std::to_string(s.H) +
                                 " on " + std::to_string(threads) + " threads";
        EXPECT_EQ(many.Width, one.Width) << what;
        EXPECT_EQ(many.Height, one.Height) << what;
        EXPECT_EQ(many.Format, one.Format) << what;
        EXPECT_TRUE(many.Bytes == one.Bytes) << what;
        EXPECT_EQ(many.Value, one.Value) << what;
        EXPECT_EQ(many.Progress, one.Progress) << what;
        EXPECT_FALSE(many.ForeignProgress) << what;
      }
    }
}

// A handler that aborts ends the kernel as on one thread: the exception
// leaves it after the same progress values, and nothing runs on afterwards.
TEST_F(ParallelGeometry, AbortFromProgressStopsAfterTheSameValues) {
  for (const char* name : {"lanczos3 150%", "rotate 7.5 antialiased", "rotate 1-bit"}) {
    const TKernelCase* k = nullptr;
    for (const TKernelCase& c : Kernels())
      if (std::string(c.Name) == name) k = &c;
    ASSERT_NE(k, nullptr);
    std::vector<int32_t> seen[2];
    for (int32_t threads : {1, 4}) {
      TKernelThreadsScope scope(threads);
      std::vector<int32_t>& values = seen[threads == 1 ? 0 : 1];
      const auto picture = Picture(641, 403, k->Format);
      const TIMProgressEvent stopAtHalf = [&](TObject*, int32_t Per) {
        values.push_back(Per);
        if (Per >= 50) Abort();
      };
      EXPECT_THROW(k->Run(*picture, stopAtHalf), EAbort) << name << ' ' << threads;
    }
    EXPECT_EQ(seen[0], seen[1]) << name;
    ASSERT_FALSE(seen[0].empty());
    EXPECT_GE(seen[0].back(), 50) << name;
  }
}

}  // namespace
}  // namespace kv
