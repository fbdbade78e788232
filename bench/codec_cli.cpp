// Bench-only tool: our JPEG and PNG codecs on files, so that the comparison
// script times them beside djpeg, pnmtopng and pngtopnm on the same files.
//   codec_cli jpeg IN.jpg OUT.ppm DENOMINATOR      (1, 2, 4 or 8)
//   codec_cli png-write IN.ppm OUT.png LEVEL FILTER (filter 0 none, 1 sub, 2 Paeth)
//   codec_cli png-read IN.png OUT.ppm
// Each prints the time of the codec step alone as "step_ms <ms>".
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/ppm_io.h"
#include "imaging/formats/jpeg.h"
#include "imaging/formats/png.h"

namespace {

using namespace kv;
using TClock = std::chrono::steady_clock;

void Report(TClock::time_point T0) {
  std::fprintf(stderr, "step_ms %.2f\n", std::chrono::duration<double, std::milli>(TClock::now() - T0).count());
}

int Usage() {
  std::fprintf(stderr,
               "usage: codec_cli jpeg IN.jpg OUT.ppm DENOM | png-write IN.ppm OUT.png LEVEL FILTER | "
               "png-read IN.png OUT.ppm\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  const std::string cmd = argv[1];
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  TIOParamsVals params(nullptr);
  TBitmap b;
  if ((cmd == "jpeg" && argc == 5) || (cmd == "png-read" && argc == 4)) {
    TFileStream in(argv[2], fmOpenRead);
    if (cmd == "jpeg") {
      const int d = std::atoi(argv[4]);
      params.JpegScale = uint8_t(d == 2 ? 2 : d == 4 ? 3 : d == 8 ? 4 : 1);
    }
    const auto t0 = TClock::now();
    if (cmd == "jpeg") ReadJpegStream(in, b, params, progress, false, nullptr);
    else ReadPngStream(in, b, params, progress, false, nullptr);
    Report(t0);
    return !aborted && bench::WritePpm(argv[3], b) ? 0 : 1;
  }
  if (cmd == "png-write" && argc == 6) {
    if (!bench::ReadPpm(argv[2], b)) return 1;
    params.PngCompression = std::atoi(argv[4]);
    params.PngFilter = uint8_t(std::atoi(argv[5]));
    TFileStream out(argv[3], fmCreate);
    const auto t0 = TClock::now();
    WritePngStream(out, b, params, progress);
    Report(t0);
    return aborted ? 1 : 0;
  }
  return Usage();
}
