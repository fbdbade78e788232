// Colour operations, the 5 x 5 user filter, the edge detector, the formula
// filter and the palette mapping on the 6000 x 4000 photo. Run it once with
// KV_THREADS=1 and once without to see what the strips of rows gain.
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "bench/bench_photo.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/colour_kernels.h"
#include "imaging/processing/convert_bits.h"
#include "imaging/processing/edge_detect.h"
#include "imaging/processing/ff_eval.h"
#include "imaging/processing/user_filter.h"

namespace {

using namespace kv;

using bench::Photo;

// Times Body on a fresh copy of the photo each iteration.
template <typename TBody>
void OnCopy(benchmark::State& State, TBody Body) {
  TBitmap work;
  for (auto _ : State) {
    State.PauseTiming();
    IMCloneBitmapRows(Photo(), work);
    State.ResumeTiming();
    Body(work);
    benchmark::DoNotOptimize(work.Bits());
  }
  State.SetItemsProcessed(State.iterations() * int64_t(Photo().Width()) * Photo().Height());
}

void BM_GrayScale(benchmark::State& State) {
  OnCopy(State, [](TBitmap& B) { GrayScale(B, 0, 0, B.Width(), B.Height(), nullptr, TIMProgressEvent()); });
}
BENCHMARK(BM_GrayScale)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AdjustHSV(benchmark::State& State) {
  OnCopy(State, [](TBitmap& B) { AdjustHSV(B, 40, 10, -5, 0, 0, B.Width(), B.Height(), nullptr, TIMProgressEvent()); });
}
BENCHMARK(BM_AdjustHSV)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Equalize(benchmark::State& State) {
  OnCopy(State, [](TBitmap& B) { Equalize(B, 0, 0, B.Width(), B.Height(), nullptr, TIMProgressEvent()); });
}
BENCHMARK(BM_Equalize)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UserFilter(benchmark::State& State) {
  TUserFilterRecord sharpen;
  const int16_t k[25] = {0, 0, -1, 0, 0, 0, -1, -2, -1, 0, -1, -2, 17, -2, -1, 0, -1, -2, -1, 0, 0, 0, -1, 0, 0};
  std::copy(k, k + 25, sharpen.Values);
  sharpen.Values[25] = 1;
  OnCopy(State, [&](TBitmap& B) {
    TProgressRec progress;
    ApplyUserFilter(B, sharpen, 0, 0, B.Width(), B.Height(), progress);
  });
}
BENCHMARK(BM_UserFilter)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EdgeDetect(benchmark::State& State) {
  OnCopy(State, [](TBitmap& B) { ShenCastan(B, B, 7, TIMProgressEvent(), nullptr, true, 0, 0.9, 0.99); });
}
BENCHMARK(BM_EdgeDetect)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Formula(benchmark::State& State) {
  const std::array<std::string, 3> filter = {"(r*ctl(0) + g*ctl(1))/255 + sin(x)/8",
                                             "(g*ctl(0) + b*ctl(1))/255 + sin(y)/8",
                                             "(b*ctl(0) + r*ctl(1))/255 + cos(x)/8"};
  const int32_t controls[8] = {200, 55, 0, 0, 0, 0, 0, 0};
  OnCopy(State, [&](TBitmap& B) {
    TProgressRec progress;
    FFRunFilter(filter, controls, Photo(), B, progress, {0, 0, B.Width(), B.Height()});
  });
}
BENCHMARK(BM_Formula)->Unit(benchmark::kMillisecond)->UseRealTime();

// Palette choice (one thread) and the mapping of every pixel to it.
void BM_ReduceColors(benchmark::State& State) {
  const int32_t colours = int32_t(State.range(0));
  OnCopy(State, [&](TBitmap& B) { ReduceColors(B, colours, nullptr, nullptr, TIMProgressEvent()); });
}
BENCHMARK(BM_ReduceColors)->Arg(64)->Arg(256)->ArgName("colours")->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
