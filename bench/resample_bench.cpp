// Resampling a 6000 x 4000 photo to 25% and to 150% with each filter.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_photo.h"
#include "imaging/processing/resample.h"

namespace {

using namespace kv;

using bench::Photo;

void BM_Resample(benchmark::State& State) {
  const auto filter = static_cast<TResampleFilter>(State.range(0));
  const double factor = State.range(1) / 100.0;
  const TBitmap& src = Photo();
  TBitmap dst(int32_t(src.Width() * factor), int32_t(src.Height() * factor), pf24bit);
  for (auto _ : State) {
    ResampleBitmapProgress(src, dst, filter, nullptr, nullptr);
    benchmark::DoNotOptimize(dst.Bits());
  }
  State.SetLabel(std::to_string(dst.Width()) + "x" + std::to_string(dst.Height()));
}

void Args(benchmark::internal::Benchmark* B) {
  for (int f = rfTriangle; f <= rfFastLinear; ++f)
    for (int percent : {25, 150}) B->Args({f, percent});
}

BENCHMARK(BM_Resample)->Apply(Args)->ArgNames({"filter", "percent"})->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
