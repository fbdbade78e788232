// Bench-only tool: our PNM, PCX and TGA codecs on files, so that
// compare_simple_formats.sh times them beside netpbm's converters.
//   simple_formats_bench read pnm|pcx|tga IN OUT.ppm
//   simple_formats_bench write pnm|pcx|tga IN.ppm OUT [plain]
// Writing is 24-bit (P6, three run-length planes, run-length true colour;
// "plain" leaves out the run-length coding). Prints "step_ms <ms>" for the
// codec step with its own file: reading the file and decoding it, or encoding
// and writing the file, as netpbm's converters do (our PPM side is left out).
#include <chrono>
#include <cstdio>
#include <string>

#include "bench/ppm_io.h"
#include "imaging/formats/pcx.h"
#include "imaging/formats/pnm.h"
#include "imaging/formats/tga.h"

namespace {

using namespace kv;
using TClock = std::chrono::steady_clock;

int Usage() {
  std::fprintf(stderr, "usage: simple_formats_bench read|write pnm|pcx|tga IN OUT [plain]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) return Usage();
  const std::string cmd = argv[1], fmt = argv[2];
  const TIOReadProc read = fmt == "pnm" ? ReadPnmStream : fmt == "pcx" ? TIOReadProc(ReadPcxStream) : ReadTgaStream;
  const TIOWriteProc write = fmt == "pnm" ? WritePnmStream : fmt == "pcx" ? WritePcxStream : WriteTgaStream;
  if (fmt != "pnm" && fmt != "pcx" && fmt != "tga") return Usage();
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  TIOParamsVals params(nullptr);
  TBitmap b;
  if (cmd == "read") {
    const auto t0 = TClock::now();
    TMemoryStream in;
    in.LoadFromFile(argv[3]);
    read(in, b, params, progress, false, nullptr);
    std::fprintf(stderr, "step_ms %.2f\n", std::chrono::duration<double, std::milli>(TClock::now() - t0).count());
    return !aborted && bench::WritePpm(argv[4], b) ? 0 : 1;
  }
  if (cmd == "write") {
    if (!bench::ReadPpm(argv[3], b)) return 1;
    params.PcxCompressed = params.TgaCompressed = !(argc > 5 && std::string(argv[5]) == "plain");
    TMemoryStream out;
    const auto t0 = TClock::now();
    write(out, b, params, progress);
    out.SaveToFile(argv[4]);
    std::fprintf(stderr, "step_ms %.2f\n", std::chrono::duration<double, std::milli>(TClock::now() - t0).count());
    return aborted ? 1 : 0;
  }
  return Usage();
}
