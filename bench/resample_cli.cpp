// Bench-only tool: resamples a binary PPM with a named filter so that the
// comparison script can time us and the outside tools on the same files.
//   resample_cli photo OUT.ppm WIDTH HEIGHT
//   resample_cli copy IN.ppm OUT.ppm
//   resample_cli resample IN.ppm OUT.ppm FILTER SCALE
// "resample" prints the time of the resampling alone as "resample_ms <ms>".
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "imaging/model/resample.h"

namespace {

using namespace kv;

// Reads the header with stdio, then the rows straight into the bitmap.
bool ReadPpm(const char* Path, std::unique_ptr<TBitmap>& Out) {
  std::FILE* f = std::fopen(Path, "rb");
  if (!f) return false;
  auto token = [&]() -> long {
    int ch = std::fgetc(f);
    while (ch == '#' || std::isspace(ch)) {
      if (ch == '#')
        while (ch != '\n' && ch != EOF) ch = std::fgetc(f);
      ch = std::fgetc(f);
    }
    long v = -1;
    while (ch != EOF && std::isdigit(ch) && v < 1000000) v = (v < 0 ? 0 : v * 10) + (ch - '0'), ch = std::fgetc(f);
    return v;  // the single white-space byte after the number is consumed
  };
  const bool p6 = std::fgetc(f) == 'P' && std::fgetc(f) == '6';
  const long w = p6 ? token() : -1, h = p6 ? token() : -1, maxval = p6 ? token() : -1;
  bool ok = w > 0 && h > 0 && maxval == 255;
  if (ok) {
    Out = std::make_unique<TBitmap>(int32_t(w), int32_t(h), pf24bit);
    for (int32_t y = 0; ok && y < h; ++y) {
      auto* row = static_cast<uint8_t*>(Out->ScanLine(y));
      ok = std::fread(row, 3, size_t(w), f) == size_t(w);
      for (int32_t x = 0; x < w; ++x) std::swap(row[3 * x], row[3 * x + 2]);
    }
  }
  std::fclose(f);
  return ok;
}

bool WritePpm(const char* Path, const TBitmap& Bmp) {
  std::FILE* f = std::fopen(Path, "wb");
  if (!f) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", Bmp.Width(), Bmp.Height());
  std::vector<uint8_t> line(size_t(Bmp.Width()) * 3);
  for (int32_t y = 0; y < Bmp.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(Bmp.ScanLine(y));
    for (int32_t x = 0; x < Bmp.Width(); ++x)
      line[3 * x] = row[3 * x + 2], line[3 * x + 1] = row[3 * x + 1], line[3 * x + 2] = row[3 * x];
    std::fwrite(line.data(), 1, line.size(), f);
  }
  return std::fclose(f) == 0;
}

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
    return WritePpm(argv[2], b) ? 0 : 1;
  }
  std::unique_ptr<TBitmap> src;
  if (argc < 4) return Usage();
  if (!ReadPpm(argv[2], src)) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 1;
  }
  if (cmd == "copy" && argc == 4) return WritePpm(argv[3], *src) ? 0 : 1;
  TResampleFilter filter;
  if (cmd != "resample" || argc != 6 || !FilterByName(argv[4], filter)) return Usage();
  const double scale = std::atof(argv[5]);
  const auto dw = int32_t(std::lround(src->Width() * scale)), dh = int32_t(std::lround(src->Height() * scale));
  if (dw <= 0 || dh <= 0) return Usage();
  TBitmap dst(dw, dh, pf24bit);
  const auto t0 = std::chrono::steady_clock::now();
  ResampleBitmapProgress(*src, dst, filter, nullptr, nullptr);
  const auto t1 = std::chrono::steady_clock::now();
  std::fprintf(stderr, "resample_ms %.2f\n", std::chrono::duration<double, std::milli>(t1 - t0).count());
  return WritePpm(argv[3], dst) ? 0 : 1;
}
