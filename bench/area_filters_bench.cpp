// The area filters on the 6000 x 4000 photo: gray morphology for windows of
// 3, 15 and 63 pixels (the time a pixel should not depend on the window), the
// wave, the lens and the bump map, and the magic wand over a large region.
//
// Besides the benchmarks, the same binary times ImageMagick's dilation on the
// same picture for comparison:
//   area_filters_bench dilate IN.ppm OUT.ppm RADIUS
// reads a binary PPM, runs a maximum pass, prints "dilate_ms <ms>" and writes
// the result (see bench/compare_morphology.sh).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_photo.h"
#include "bench/ppm_io.h"
#include "imaging/model/mask.h"
#include "imaging/processing/area_filters.h"
#include "imaging/processing/bitmap_utils.h"

namespace {

using namespace kv;

using bench::Photo;

// Window size 2 r + 1, mode (0 maximum ... 3 closing).
void BM_Morphology(benchmark::State& State) {
  const int32_t window = int32_t(State.range(0));
  const int32_t mode = int32_t(State.range(1));
  TBitmap work;
  for (auto _ : State) {
    State.PauseTiming();
    IMCloneBitmapRows(Photo(), work);
    State.ResumeTiming();
    Morphology(work, window / 2, mode, nullptr, TIMProgressEvent(), 0, 0, work.Width(), work.Height());
    benchmark::DoNotOptimize(work.Bits());
  }
  State.SetItemsProcessed(State.iterations() * int64_t(work.Width()) * work.Height());
}
BENCHMARK(BM_Morphology)
    ->Args({3, 0})
    ->Args({15, 0})
    ->Args({63, 0})
    ->Args({15, 2})
    ->ArgNames({"window", "mode"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_Wave(benchmark::State& State) {
  TBitmap work;
  for (auto _ : State) {
    State.PauseTiming();
    IMCloneBitmapRows(Photo(), work);
    State.ResumeTiming();
    TProgressRec progress;
    Wave(work, 10, 20, progress, State.range(0) != 0, 0);
    benchmark::DoNotOptimize(work.Bits());
  }
}
BENCHMARK(BM_Wave)->Arg(0)->Arg(1)->ArgName("reflective")->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Lens(benchmark::State& State) {
  TBitmap work;
  for (auto _ : State) {
    State.PauseTiming();
    IMCloneBitmapRows(Photo(), work);
    State.ResumeTiming();
    TProgressRec progress;
    Lens(work, work.Width() / 2, work.Height() / 2, progress, 2.0, work.Height(), work.Width());
    benchmark::DoNotOptimize(work.Bits());
  }
}
BENCHMARK(BM_Lens)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BumpMap(benchmark::State& State) {
  TBitmap work;
  for (auto _ : State) {
    State.PauseTiming();
    IMCloneBitmapRows(Photo(), work);
    State.ResumeTiming();
    TProgressRec progress;
    BumpMap(work, work.Width() / 2, work.Height() / 2, progress, 0, 0, work.Width(), work.Height(), 0xFFFFFF, 30,
            work.Height() / 2, work.Width() / 2);
    benchmark::DoNotOptimize(work.Bits());
  }
}
BENCHMARK(BM_BumpMap)->Unit(benchmark::kMillisecond)->UseRealTime();

// Tolerance 255 selects the whole picture: every pixel is filled once.
void BM_MagicWand(benchmark::State& State) {
  const bool trace = State.range(0) != 0;
  for (auto _ : State) {
    if (trace) {
      int32_t count = 0;
      benchmark::DoNotOptimize(TraceContour(Photo(), 10, 10, count, 255, false));
    } else {
      TIMMask mask;
      mask.AllocateBits(Photo().Width(), Photo().Height(), 1);
      MagicWandFill(Photo(), 10, 10, mask, 255, false);
      benchmark::DoNotOptimize(mask.Bits.get());
    }
  }
}
BENCHMARK(BM_MagicWand)->Arg(0)->Arg(1)->ArgName("trace")->Unit(benchmark::kMillisecond)->UseRealTime();

int Dilate(const char* In, const char* Out, int32_t Radius) {
  TBitmap b;
  if (!bench::ReadPpm(In, b)) {
    std::fprintf(stderr, "cannot read %s\n", In);
    return 1;
  }
  const auto t0 = std::chrono::steady_clock::now();
  Morphology(b, Radius, 0, nullptr, TIMProgressEvent(), 0, 0, b.Width(), b.Height());
  const auto t1 = std::chrono::steady_clock::now();
  std::printf("dilate_ms %.1f\n", std::chrono::duration<double, std::milli>(t1 - t0).count());
  return bench::WritePpm(Out, b) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "dilate") == 0) return Dilate(argv[2], argv[3], std::atoi(argv[4]));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
