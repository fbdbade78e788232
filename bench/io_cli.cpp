// Bench-only tool: a conversion through the I/O component, so that the
// comparison script times it beside ImageMagick and beside our codecs alone.
//   io_cli convert IN OUT      load by extension, save by extension
//   io_cli load IN             load by extension only
// Prints the time of each step as "load_ms <ms>" and "save_ms <ms>".
#include <chrono>
#include <cstdio>
#include <string>

#include "imaging/formats/imager_io.h"

namespace {

using namespace kv;
using TClock = std::chrono::steady_clock;

double Ms(TClock::time_point T0) { return std::chrono::duration<double, std::milli>(TClock::now() - T0).count(); }

int Usage() {
  std::fprintf(stderr, "usage: io_cli convert IN OUT | load IN\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string cmd = argv[1];
  if (!((cmd == "convert" && argc == 4) || (cmd == "load" && argc == 3))) return Usage();
  TBitmap b;
  TImagerIO io(nullptr);
  io.SetAutoAdjustDPI(false);
  io.AttachBitmap(&b);
  auto t0 = TClock::now();
  io.LoadFromFileByExtension(argv[2]);
  std::fprintf(stderr, "load_ms %.2f\n", Ms(t0));
  if (io.Aborted()) {
    std::fprintf(stderr, "load failed: %s\n", io.AbortReason().c_str());
    return 1;
  }
  if (cmd == "load") return 0;
  io.Params().JpegQuality = 90;
  t0 = TClock::now();
  io.SaveToFileByExtension(argv[3]);
  std::fprintf(stderr, "save_ms %.2f\n", Ms(t0));
  if (io.Aborted()) {
    std::fprintf(stderr, "save failed: %s\n", io.AbortReason().c_str());
    return 1;
  }
  return 0;
}
