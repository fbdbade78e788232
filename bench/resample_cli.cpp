// Bench-only tool: resamples a binary PPM with a named filter so that the
// comparison script can time us and the outside tools on the same files.
//   resample_cli photo OUT.ppm WIDTH HEIGHT
//   resample_cli copy IN.ppm OUT.ppm
//   resample_cli resample IN.ppm OUT.ppm FILTER SCALE
// "resample" prints the time of the resampling alone as "resample_ms <ms>".
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_photo.h"
#include "bench/ppm_io.h"
#include "imaging/processing/resample.h"

namespace {

using namespace kv;

bool FilterByName(const std::string& Name, TResampleFilter& F) {
  static const char* const names[] = {"none",     "triangle", "hermite", "bell",   "bspline",
                                      "lanczos3", "mitchell", "nearest", "linear", "fastlinear"};
  for (int i = 1; i <= rfFastLinear; ++i)
    if (Name == names[i]) return F = TResampleFilter(i), true;
  return false;
}

int Usage() {
  std::fprintf(stderr,
               "usage: resample_cli photo OUT.ppm W H | copy IN.ppm OUT.ppm | resample IN.ppm OUT.ppm FILTER SCALE\n"
               "filters: triangle hermite bell bspline lanczos3 mitchell nearest linear fastlinear\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  if (cmd == "photo" && argc == 5) {
    TBitmap b(std::atoi(argv[3]), std::atoi(argv[4]), pf24bit);
    bench::FillPhoto(b);
    return bench::WritePpm(argv[2], b) ? 0 : 1;
  }
  TBitmap src;
  if (argc < 4) return Usage();
  if (!bench::ReadPpm(argv[2], src)) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  if (cmd == "copy" && argc == 4) return bench::WritePpm(argv[3], src) ? 0 : 1;
  TResampleFilter filter;
  if (cmd != "resample" || argc != 6 || !FilterByName(argv[4], filter)) return Usage();
  const double scale = std::atof(argv[5]);
  const auto dw = int32_t(std::lround(src.Width() * scale)), dh = int32_t(std::lround(src.Height() * scale));
  if (dw <= 0 || dh <= 0) return Usage();
  TBitmap dst(dw, dh, pf24bit);
  const auto t0 = std::chrono::steady_clock::now();
  ResampleBitmapProgress(src, dst, filter, nullptr, nullptr);
  const auto t1 = std::chrono::steady_clock::now();
  std::fprintf(stderr, "resample_ms %.2f\n", std::chrono::duration<double, std::milli>(t1 - t0).count());
  return bench::WritePpm(argv[3], dst) ? 0 : 1;
}
