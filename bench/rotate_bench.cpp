// Rotating a 6000 x 4000 photo by quarter turns and by 7.5 degrees.
//
// Besides the benchmarks, the same binary is the command-line tool that
// bench/compare_rotate.sh times beside the outside tools:
//   rotate_bench rotate IN.ppm OUT.ppm ANGLE [plain]
// reads a binary PPM, rotates it (antialiased unless "plain") with a white
// background, prints the time of the rotation alone as "rotate_ms <ms>" and
// writes the result.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "bench/bench_photo.h"
#include "bench/ppm_io.h"
#include "imaging/processing/bitmap_utils.h"
#include "imaging/processing/rotate.h"

namespace {

using namespace kv;

using bench::Photo;

// Angle in tenths of a degree, antialias flag.
void BM_Rotate(benchmark::State& State) {
  const double angle = State.range(0) / 10.0;
  const bool antialias = State.range(1) != 0;
  TBitmap work;
  for (auto _ : State) {
    State.PauseTiming();
    IMCloneBitmapRows(Photo(), work);
    State.ResumeTiming();
    RotateBitmap(work, angle, antialias, clWhite, nullptr, nullptr);
    benchmark::DoNotOptimize(work.Bits());
  }
  State.SetLabel(std::to_string(work.Width()) + "x" + std::to_string(work.Height()));
}
BENCHMARK(BM_Rotate)
    ->Args({900, 1})
    ->Args({1800, 1})
    ->Args({-900, 1})
    ->Args({75, 1})
    ->Args({75, 0})
    ->ArgNames({"decidegrees", "antialias"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The quarter turn alone, without the copy back into the picture.
void BM_QuarterTurn(benchmark::State& State) {
  TBitmap out;
  for (auto _ : State) {
    QuarterTurn24(Photo(), out, int32_t(State.range(0)));
    benchmark::DoNotOptimize(out.Bits());
  }
}
BENCHMARK(BM_QuarterTurn)->Arg(1)->Arg(3)->Unit(benchmark::kMillisecond)->UseRealTime();

int RotateTool(int argc, char** argv) {
  if (argc < 5 || argc > 6) {
    std::fprintf(stderr, "usage: rotate_bench rotate IN.ppm OUT.ppm ANGLE [plain]\n");
    return 2;
  }
  TBitmap pic;
  if (!bench::ReadPpm(argv[2], pic)) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  const bool antialias = !(argc == 6 && std::strcmp(argv[5], "plain") == 0);
  const auto t0 = std::chrono::steady_clock::now();
  RotateBitmap(pic, std::atof(argv[4]), antialias, clWhite, nullptr, nullptr);
  const auto t1 = std::chrono::steady_clock::now();
  std::fprintf(stderr, "rotate_ms %.2f\n", std::chrono::duration<double, std::milli>(t1 - t0).count());
  return bench::WritePpm(argv[3], pic) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "rotate") == 0) return RotateTool(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
