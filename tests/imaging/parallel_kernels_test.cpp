// The kernels that split their rows into strips for several threads give the
// very bytes and the very progress sequence of a run on one thread.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "imaging/model/parallel_rows.h"
#include "imaging/processing/area_filters.h"
#include "imaging/processing/colour_convert.h"
#include "imaging/processing/colour_kernels.h"
#include "imaging/processing/convert_bits.h"
#include "imaging/processing/dib_yuv.h"
#include "imaging/processing/edge_detect.h"
#include "imaging/processing/ff_eval.h"
#include "imaging/processing/user_filter.h"
#include "platform/rtl/random.h"
#include "support/bitmap_patterns.h"

namespace kv {
namespace {

// What one run leaves: the bitmap's format, size and row bytes, whatever the
// kernel answers besides, and the values its progress handler saw.
struct TOutcome {
  TPixelFormat Format = pfDevice;
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Bytes;
  std::vector<int64_t> Extra;
  std::vector<int32_t> Progress;
};

void Capture(const TBitmap& B, TOutcome& O) {
  O.Format = B.PixelFormat();
  O.Width = B.Width();
  O.Height = B.Height();
  if (B.Empty()) return;
  const int32_t bits = B.PixelFormat() == pf1bit ? 1 : 24;
  const size_t used = (size_t(B.Width()) * size_t(bits) + 7) / 8;
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* r = static_cast<const uint8_t*>(B.ScanLine(y));
    O.Bytes.insert(O.Bytes.end(), r, r + used);
  }
}

// A photo-like picture: smooth gradients, a few hard edges, some noise and
// runs of equal colours, so that ties, edges and runs all occur.
std::unique_ptr<TBitmap> Picture(int32_t W, int32_t H, uint32_t Seed) {
  std::mt19937 rng(Seed);
  return test::Make24(W, H, [&](int32_t x, int32_t y) {
    const uint32_t n = rng();
    if ((x / 37 + y / 23) % 5 == 0) return TBGRPixel{40, 200, 90};  // flat patches
    const int32_t edge = (x * 3 + y * 5) % 211 < 100 ? 60 : 0;
    return TBGRPixel{uint8_t((x * 255 / (W + 1) + edge + (n & 7)) & 0xFF),
                     uint8_t((y * 255 / (H + 1) + ((n >> 3) & 15)) & 0xFF),
                     uint8_t(((x + y) * 2 + edge + ((n >> 7) & 3)) & 0xFF)};
  });
}

std::unique_ptr<TBitmap> Picture1(int32_t W, int32_t H, uint32_t Seed) {
  auto b = std::make_unique<TBitmap>(W, H, pf1bit);
  std::mt19937 rng(Seed);
  for (int32_t y = 0; y < H; ++y) {
    auto* r = static_cast<uint8_t*>(b->ScanLine(y));
    for (int32_t x = 0; x < W; ++x) SetBit(r, x, (rng() & 3) != 0);
  }
  return b;
}

TIMProgressEvent Recorder(TOutcome& O) {
  return [&O](TObject*, int32_t Per) { O.Progress.push_back(Per); };
}

TProgressRec RecorderRec(TOutcome& O) {
  TProgressRec p;
  p.OnProgress = Recorder(O);
  return p;
}

TUserFilterRecord Sharpen() {
  TUserFilterRecord r;
  const int16_t k[25] = {0, -1, -1, -1, 0, -1, 2, -4, 2, -1, -1, -4, 40, -4, -1, -1, 2, -4, 2, -1, 0, -1, -1, -1, 0};
  std::copy(k, k + 25, r.Values);
  r.Values[25] = 12;
  r.Offset = 3;
  return r;
}

// A formula run's answer, which must be success.
int32_t RunChecked(int32_t Error) {
  EXPECT_EQ(Error, 0);
  return Error;
}

// One kernel on a fresh copy of Source; the outcome of everything it did.
using TKernel = std::function<void(TBitmap& B, TOutcome& O)>;

struct TCase {
  std::string Name;
  bool OneBit;  // the kernel runs on a pf1bit picture
  TKernel Run;
};

const std::array<std::string, 3> kFormulas = {"r * ctl(0) / 255 + sin(x * 4 + y) / 16 + src(x + 3, y - 2, 1) / 4",
                                              "cnv(1, 2, 1, 2, 4, 2, 1, 2, 1, 16) ^ (d & 15)",
                                              "y & 1 ? scl(b, 0, 255, ctl(1), 255) : c2m(x - X / 2, y - Y / 2) & 255"};
// get, put and rnd make the filter run pixel by pixel in order.
const std::array<std::string, 3> kSequential = {"put(get(0) + r, 0) & 255", "rnd(0, g)", "b"};

std::vector<TCase> Cases() {
  const int32_t ctl[8] = {200, 30, 0, 0, 0, 0, 0, 0};
  std::vector<TCase> c = {
      {"GrayScale", false,
       [](TBitmap& B, TOutcome& O) { GrayScale(B, 0, 0, B.Width(), B.Height(), nullptr, Recorder(O)); }},
      {"GrayScaleRect", false,
       [](TBitmap& B, TOutcome& O) { GrayScale(B, 1, 1, B.Width() - 1, B.Height() - 3, nullptr, Recorder(O)); }},
      {"Negative", false,
       [](TBitmap& B, TOutcome& O) { Negative(B, 0, 0, B.Width(), B.Height(), nullptr, Recorder(O)); }},
      {"Negative1", true,
       [](TBitmap& B, TOutcome& O) { Negative(B, 3, 1, B.Width() - 2, B.Height(), nullptr, Recorder(O)); }},
      {"AddRGBOffsets", false,
       [](TBitmap& B, TOutcome& O) {
         AddRGBOffsets(B, 40, -30, 7, 0, 0, B.Width(), B.Height(), nullptr, Recorder(O));
       }},
      {"AdjustContrast", false,
       [](TBitmap& B, TOutcome& O) {
         int32_t r = 0, g = 0, b = 0;
         GetAverageRGB(B, r, g, b);
         O.Extra = {r, g, b};
         AdjustContrast(B, -4.5, r, g, b, 0, 0, B.Width(), B.Height(), nullptr, Recorder(O));
       }},
      {"AdjustHSV", false,
       [](TBitmap& B, TOutcome& O) { AdjustHSV(B, 100, -20, 15, 0, 0, B.Width(), B.Height(), nullptr, Recorder(O)); }},
      {"Equalize", false,
       [](TBitmap& B, TOutcome& O) { Equalize(B, 0, 0, B.Width(), B.Height(), nullptr, Recorder(O)); }},
      {"Histogram", false,
       [](TBitmap& B, TOutcome& O) {
         TIMHistogram h;
         CountHistogram(B, h, 0, 1, B.Width(), B.Height());
         for (const auto& i : h) O.Extra.insert(O.Extra.end(), {i.Red, i.Green, i.Blue, i.Gray});
         O.Extra.push_back(CountColors(B, 0, 0, B.Width(), B.Height()));
       }},
      {"Threshold", false,
       [](TBitmap& B, TOutcome& O) {
         TProgressRec p = RecorderRec(O);
         ConvertTo1BitThreshold(B, -1, p);
       }},
      {"OrderedDither", false,
       [](TBitmap& B, TOutcome& O) {
         TProgressRec p = RecorderRec(O);
         ConvertTo1BitDither(B, p);
       }},
      {"UserFilter", false,
       [](TBitmap& B, TOutcome& O) {
         TProgressRec p = RecorderRec(O);
         p.per1 = 100.0 / B.Height();
         ApplyUserFilter(B, Sharpen(), 0, 0, B.Width(), B.Height(), p);
       }},
      {"EdgeDetect", false,
       [](TBitmap& B, TOutcome& O) { ShenCastan(B, B, 7, Recorder(O), nullptr, true, 2, 0.9, 0.99); }},
      {"EdgeDetectWide", false,
       [](TBitmap& B, TOutcome& O) { ShenCastan(B, B, 61, Recorder(O), nullptr, false, 0, 0.8, 0.95); }},
      {"Wave", false,
       [](TBitmap& B, TOutcome& O) {
         TProgressRec p = RecorderRec(O);
         Wave(B, 9, 17, p, false, 30);
       }},
      {"Lens", false,
       [](TBitmap& B, TOutcome& O) {
         TProgressRec p = RecorderRec(O);
         Lens(B, B.Width() / 2, B.Height() / 3, p, 1.7, B.Height(), B.Width() * 2 / 3);
       }},
      {"BumpMap", false,
       [](TBitmap& B, TOutcome& O) {
         TProgressRec p = RecorderRec(O);
         BumpMap(B, B.Width() / 3, B.Height() / 2, p, 0, 0, B.Width(), B.Height(), 0xFFE0C0, 30, 200, 300);
       }},
      {"Formula", false,
       [ctl](TBitmap& B, TOutcome& O) {
         TProgressRec p = RecorderRec(O);
         TBitmap src;
         src.Assign(&B);
         O.Extra = {RunChecked(FFRunFilter(kFormulas, ctl, src, B, p, TRect{0, 0, B.Width(), B.Height()}))};
       }},
      {"FormulaInPlaceRect", false,
       [ctl](TBitmap& B, TOutcome& O) {
         TProgressRec p = RecorderRec(O);
         O.Extra = {RunChecked(FFRunFilter(kFormulas, ctl, B, B, p, TRect{1, 1, B.Width(), B.Height() - 1}))};
       }},
      {"FormulaPreview", false,
       [ctl](TBitmap& B, TOutcome& O) {
         TProgressRec p = RecorderRec(O);
         TBitmap src;
         src.Assign(&B);
         O.Extra = {RunChecked(FFRunFilter(kFormulas, ctl, src, B, p, TRect{0, 0, B.Width(), B.Height()}, 0.5))};
       }},
      {"FormulaSequential", false,
       [ctl](TBitmap& B, TOutcome& O) {
         TProgressRec p = RecorderRec(O);
         FFMemory().fill(0);
         RandSeed = 77;
         TBitmap src;
         src.Assign(&B);
         O.Extra = {RunChecked(FFRunFilter(kSequential, ctl, src, B, p, TRect{0, 0, B.Width(), B.Height()}))};
       }},
      {"ReduceBox", false,
       [](TBitmap& B, TOutcome& O) {
         TBGRPixel pal[40];
         ReduceColors(B, 40, pal, nullptr, Recorder(O));
         for (const auto& p : pal) O.Extra.push_back(PackedColour(p));
       }},
      {"ReduceNeural", false,
       [](TBitmap& B, TOutcome& O) {
         TBGRPixel pal[200];
         ReduceColors(B, 200, pal, nullptr, Recorder(O));
         for (const auto& p : pal) O.Extra.push_back(PackedColour(p));
       }},
  };
  // Windows from one pixel to taller than a strip, each mode, and a rectangle inside the picture.
  for (const int32_t radius : {1, 6, 45, 400})
    for (const int32_t mode : {int32_t(mmMaximum), int32_t(mmMinimum), int32_t(mmOpening), int32_t(mmClosing)}) {
      if (radius != 6 && mode != mmClosing && mode != mmMaximum) continue;
      c.push_back({"Morphology_r" + std::to_string(radius) + "_m" + std::to_string(mode), false,
                   [radius, mode](TBitmap& B, TOutcome& O) {
                     Morphology(B, radius, mode, nullptr, Recorder(O), 0, 0, B.Width(), B.Height());
                   }});
    }
  c.push_back({"MorphologyRect", false, [](TBitmap& B, TOutcome& O) {
                 Morphology(B, 5, mmOpening, nullptr, Recorder(O), 2, 1, B.Width() - 1, B.Height() - 2);
               }});
  return c;
}

// Puts even the smallest pictures through the strips.
class TAlwaysStrips {
 public:
  TAlwaysStrips() : FSaved(SetSerialWorkLimit(0)) {}
  ~TAlwaysStrips() { SetSerialWorkLimit(FSaved); }

 private:
  int64_t FSaved;
};

// Runs every case with a thread cap of 1 and with the default cap on the same
// picture and compares everything.
void CompareAll(int32_t W, int32_t H) {
  const TAlwaysStrips strips;
  const auto source24 = Picture(W, H, uint32_t(W * 7919 + H));
  const auto source1 = Picture1(W, H, uint32_t(W + H));
  for (const TCase& k : Cases()) {
    SCOPED_TRACE(k.Name + " " + std::to_string(W) + "x" + std::to_string(H));
    TOutcome outcome[2];
    for (int pass = 0; pass < 2; ++pass) {
      const TKernelThreadsScope threads(pass == 0 ? 1 : 0);
      TBitmap work;
      work.Assign(k.OneBit ? source1.get() : source24.get());
      k.Run(work, outcome[pass]);
      Capture(work, outcome[pass]);
    }
    EXPECT_EQ(outcome[0].Format, outcome[1].Format);
    EXPECT_EQ(outcome[0].Width, outcome[1].Width);
    EXPECT_EQ(outcome[0].Height, outcome[1].Height);
    EXPECT_TRUE(outcome[0].Bytes == outcome[1].Bytes);
    EXPECT_EQ(outcome[0].Extra, outcome[1].Extra);
    EXPECT_EQ(outcome[0].Progress, outcome[1].Progress);
  }
}

TEST(ParallelKernels, SameBytesAndProgressAsOneThread) {
  for (const auto& [w, h] : std::vector<std::pair<int32_t, int32_t>>{{1001, 667}, {1, 1}, {3, 2}, {2, 301}})
    CompareAll(w, h);
}

// The YUV decoders: every layout, rows stored either way, a width that cuts
// the last group.
TEST(ParallelKernels, YuvDecodeSameAsOneThread) {
  const char* codes[] = {"UYVY", "YUY2", "YVYU", "IYU1", "IYU2", "Y211", "Y41P", "CLJR", "I420", "YV12", "YVU9"};
  const TAlwaysStrips strips;
  std::mt19937 rng(5);
  std::vector<uint8_t> frame(size_t(1001) * 667 * 3);
  for (auto& v : frame) v = uint8_t(rng());
  for (const char* c : codes) {
    const uint32_t code = uint32_t(uint8_t(c[0])) | uint32_t(uint8_t(c[1])) << 8 | uint32_t(uint8_t(c[2])) << 16 |
                          uint32_t(uint8_t(c[3])) << 24;
    for (const bool positive : {false, true}) {
      SCOPED_TRACE(std::string(c) + (positive ? " bottom-up" : " top-down"));
      TOutcome outcome[2];
      for (int pass = 0; pass < 2; ++pass) {
        const TKernelThreadsScope threads(pass == 0 ? 1 : 0);
        TBitmap t;
        ASSERT_TRUE(DecodeYuvDib(code, 1001, 667, positive, frame.data(), frame.size(), t));
        Capture(t, outcome[pass]);
      }
      EXPECT_TRUE(outcome[0].Bytes == outcome[1].Bytes);
    }
  }
}

}  // namespace
}  // namespace kv
