// Bench-only tool: our GIF codec on files, so that compare_gif.sh times it
// beside giflib's gif2rgb on the same picture.
//   gif_cli picture OUT.ppm WIDTH HEIGHT   a photo-like picture of 256 colours (3-3-2 bits)
//   gif_cli write IN.ppm OUT.gif           8 bits per pixel
//   gif_cli read IN.gif OUT.ppm
// write and read print the time of the codec step alone as "step_ms <ms>".
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/ppm_io.h"
#include "imaging/formats/gif.h"
#include "imaging/formats/gif_lzw.h"

namespace {

using namespace kv;
using TClock = std::chrono::steady_clock;

void Report(TClock::time_point T0) {
  std::fprintf(stderr, "step_ms %.2f\n", std::chrono::duration<double, std::milli>(TClock::now() - T0).count());
}

void Picture(TBitmap& B, int32_t W, int32_t H) {
  B.AllocateForOverwrite(W, H, pf24bit);
  for (int32_t y = 0; y < H; ++y) {
    uint8_t* row = static_cast<uint8_t*>(B.ScanLine(y));
    for (int32_t x = 0; x < W; ++x) {
      const uint32_t n = uint32_t(x * 7919 + y * 104729) * 2654435761u >> 29;
      const uint8_t r = uint8_t((x * 255 / W + n) & 0xE0);
      const uint8_t g = uint8_t((128 + 120 * std::sin(x * 0.01) * std::cos(y * 0.013)) + n) & 0xE0;
      const uint8_t b = uint8_t((y * 255 / H) & 0xC0);
      row[3 * x] = b, row[3 * x + 1] = g, row[3 * x + 2] = r;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  InstallGifLzwHooks();
  const std::string cmd = argc > 1 ? argv[1] : "";
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  TIOParamsVals params(nullptr);
  TBitmap b;
  if (cmd == "picture" && argc == 5) {
    Picture(b, std::atoi(argv[3]), std::atoi(argv[4]));
    return bench::WritePpm(argv[2], b) ? 0 : 1;
  }
  if (cmd == "write" && argc == 4) {
    if (!bench::ReadPpm(argv[2], b)) return 1;
    params.BitsPerSample = 8;
    TMemoryStream out;
    const auto t0 = TClock::now();
    WriteGifStream(out, b, params, progress);
    Report(t0);
    out.SaveToFile(argv[3]);
    return aborted ? 1 : 0;
  }
  if (cmd == "read" && argc == 4) {
    TFileStream in(argv[2], fmOpenRead);
    const auto t0 = TClock::now();
    ReadGifStream(in, b, params, progress, false, nullptr);
    Report(t0);
    return !aborted && bench::WritePpm(argv[3], b) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: gif_cli picture OUT.ppm W H | write IN.ppm OUT.gif | read IN.gif OUT.ppm\n");
  return 2;
}
