// Bench-only tool: decodes a TIFF page with our reader so that the
// comparison script can time us beside libtiff's tools on the same files.
//   tiff_cli decode IN.tif OUT.pnm
// Prints the time of the decoding alone as "decode_ms <ms>".
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "imaging/formats/io_params.h"
#include "imaging/formats/tiff.h"
#include "imaging/formats/tiff_lzw.h"
#include "platform/graphics/bitmap.h"
#include "platform/rtl/streams.h"

namespace {

using namespace kv;

// P4 for a two-level picture, P6 for the rest (set bits are white in memory, black in PBM).
void WritePnm(const TBitmap& B, const std::string& Path) {
  FILE* f = std::fopen(Path.c_str(), "wb");
  if (!f) return;
  const bool bw = B.PixelFormat() == pf1bit;
  std::fprintf(f, "%s\n%d %d\n%s", bw ? "P4" : "P6", B.Width(), B.Height(), bw ? "" : "255\n");
  const size_t bytes = bw ? size_t(B.Width() + 7) / 8 : size_t(B.Width()) * 3;
  std::string row(bytes, '\0');
  for (int32_t y = 0; y < B.Height(); ++y) {
    const auto* s = static_cast<const uint8_t*>(B.ScanLine(y));
    if (bw) {
      for (size_t i = 0; i < bytes; ++i) row[i] = char(~s[i]);
    } else {
      for (size_t i = 0; i < bytes; i += 3) {
        row[i] = char(s[i + 2]);
        row[i + 1] = char(s[i + 1]);
        row[i + 2] = char(s[i]);
      }
    }
    std::fwrite(row.data(), 1, bytes, f);
  }
  std::fclose(f);
}

// User and system time of this process: on a busy machine the wall clock
// mostly measures the other processes.
double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::string(argv[1]) != "decode") {
    std::fprintf(stderr, "usage: tiff_cli decode IN.tif OUT.pnm\n");
    return 2;
  }
  TiffLzwDecoderHook = TiffLzwDecode;
  TFileStream in(argv[2], fmOpenRead);
  TBitmap bitmap;
  TIOParamsVals params(nullptr);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborted = &aborted;
  const auto t0 = std::chrono::steady_clock::now();
  const double c0 = CpuSeconds();
  ReadTiffStream(in, bitmap, params, progress, false, nullptr);
  const double c1 = CpuSeconds();
  const auto t1 = std::chrono::steady_clock::now();
  if (aborted) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  std::printf("decode_ms %.3f\ndecode_cpu_ms %.3f\n", std::chrono::duration<double, std::milli>(t1 - t0).count(),
              (c1 - c0) * 1000);
  WritePnm(bitmap, argv[3]);
  return 0;
}
