// Filter Factory filters on a 4000 x 3000 photo, one core: a few typical
// formulas in megapixels per second, and the same filter written by hand in
// C++ beside it.
//
// Besides the benchmarks, the same binary is the command-line tool that
// bench/compare_ff.sh times beside ImageMagick's -fx:
//   ff_bench run IN.ppm OUT.ppm      the filter below through the formula engine
//   ff_bench hand IN.ppm OUT.ppm     the same filter written by hand
// Each prints the time of the filter alone as "filter_ms <ms>" and writes the result.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_photo.h"
#include "bench/ppm_io.h"
#include "imaging/processing/ff_eval.h"
#include "imaging/processing/ff_ops.h"

namespace {

using namespace kv;

// About ten operations per channel.
const std::array<std::string, 3> kFilter = {"(r*ctl(0) + g*ctl(1))/255 + sin(x)/8",
                                            "(g*ctl(0) + b*ctl(1))/255 + sin(y)/8",
                                            "(b*ctl(0) + r*ctl(1))/255 + cos(x)/8"};
const int32_t kControls[8] = {200, 55, 0, 0, 0, 0, 0, 0};

const TBitmap& Picture() {
  static const std::unique_ptr<TBitmap> pic = [] {
    auto b = std::make_unique<TBitmap>(4000, 3000);
    bench::FillPhoto(*b);
    return b;
  }();
  return *pic;
}

void RunFilter(const std::array<std::string, 3>& F, const TBitmap& Src, TBitmap& Dst) {
  TProgressRec progress;
  FFRunFilter(F, kControls, Src, Dst, progress, {0, 0, Src.Width(), Src.Height()});
}

// kFilter by hand, with the same integer arithmetic.
void HandFilter(const TBitmap& Src, TBitmap& Dst) {
  const int32_t c0 = kControls[0], c1 = kControls[1];
  for (int32_t y = 0; y < Src.Height(); ++y) {
    const uint8_t* s = static_cast<const uint8_t*>(Src.ScanLine(y));
    uint8_t* d = static_cast<uint8_t*>(Dst.ScanLine(y));
    const int32_t sy = ff::Sin(y) / 8;
    for (int32_t x = 0; x < Src.Width(); ++x, s += 3, d += 3) {
      const int32_t r = s[2], g = s[1], b = s[0];
      d[2] = ClampByte((r * c0 + g * c1) / 255 + ff::Sin(x) / 8);
      d[1] = ClampByte((g * c0 + b * c1) / 255 + sy);
      d[0] = ClampByte((b * c0 + r * c1) / 255 + ff::Cos(x) / 8);
    }
  }
}

void BM_Formula(benchmark::State& State, std::array<std::string, 3> F) {
  const TBitmap& src = Picture();
  TBitmap dst(src.Width(), src.Height());
  for (auto _ : State) {
    RunFilter(F, src, dst);
    benchmark::DoNotOptimize(dst.Bits());
  }
  State.counters["MP/s"] = benchmark::Counter(double(src.Width()) * src.Height() / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Hand(benchmark::State& State) {
  const TBitmap& src = Picture();
  TBitmap dst(src.Width(), src.Height());
  for (auto _ : State) {
    HandFilter(src, dst);
    benchmark::DoNotOptimize(dst.Bits());
  }
  State.counters["MP/s"] = benchmark::Counter(double(src.Width()) * src.Height() / 1e6,
                                              benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(BM_Formula, ten_ops, kFilter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Hand)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Formula, invert, std::array<std::string, 3>{"255 - c", "255 - c", "255 - c"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Formula, half_white, std::array<std::string, 3>{"x > X/2 ? 255 : 0", "g", "b"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Formula, brightness_ops,
                  std::array<std::string, 3>{"scl(i, 0, 255, ctl(2), 255)", "mix(g, i, ctl(0), 255)", "u + v + 128"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Formula, polar, std::array<std::string, 3>{"src(r2x(d + m, m), r2y(d + m, m), 0)", "g", "b"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Formula, blur_cnv,
                  std::array<std::string, 3>{"cnv(1,2,1,2,4,2,1,2,1,16)", "cnv(1,2,1,2,4,2,1,2,1,16)",
                                             "cnv(1,2,1,2,4,2,1,2,1,16)"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Formula, memory_rnd, std::array<std::string, 3>{"put(r + rnd(0, 8), 0)", "get(0)", "b"})
    ->Unit(benchmark::kMillisecond);

int Tool(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: ff_bench run|hand IN.ppm OUT.ppm\n");
    return 2;
  }
  TBitmap src;
  if (!bench::ReadPpm(argv[2], src)) return 1;
  TBitmap dst(src.Width(), src.Height());
  const auto t0 = std::chrono::steady_clock::now();
  if (std::strcmp(argv[1], "hand") == 0) HandFilter(src, dst);
  else RunFilter(kFilter, src, dst);
  const auto t1 = std::chrono::steady_clock::now();
  std::printf("filter_ms %.3f\n", std::chrono::duration<double, std::milli>(t1 - t0).count());
  return bench::WritePpm(argv[3], dst) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "run") == 0 || std::strcmp(argv[1], "hand") == 0)) return Tool(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
