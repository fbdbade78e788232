// Bench-only tool for the image tools, timed by compare_image_tools.sh:
//   image_tools_cli photo OUT.jpg W H            a photo-like JPEG to transform
//   image_tools_cli jpgtrafo IN.jpg OUT.jpg CODE  the lossless transform, file to file
//   image_tools_cli straighten W H               a scan turned by 7 degrees, straightened
//   image_tools_cli mosaic W H TILES             a mosaic of 50 x 50 cells from TILES tiles
// Each prints the time of its step as "step_ms <ms>" on standard error.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "imaging/formats/jpeg.h"
#include "imaging/formats/io_params.h"
#include "imaging/processing/mosaic.h"
#include "imaging/processing/scan_straighten.h"
#include "platform/rtl/streams.h"

namespace {

using namespace kv;
using TClock = std::chrono::steady_clock;

void Report(TClock::time_point T0) {
  std::fprintf(stderr, "step_ms %.2f\n", std::chrono::duration<double, std::milli>(TClock::now() - T0).count());
}

int Usage() {
  std::fprintf(stderr, "usage: image_tools_cli photo OUT W H | jpgtrafo IN OUT CODE | straighten W H | mosaic W H TILES\n");
  return 2;
}

int Photo(const char* Out, int32_t W, int32_t H) {
  TBitmap b(W, H, pf24bit);
  bench::FillPhoto(b);
  TIOParamsVals params(nullptr);
  params.JpegQuality = 90;
  TProgressRec progress;
  bool aborted = false;
  progress.Aborted = &aborted;
  TFileStream s(Out, fmCreate);
  WriteJpegStream(s, b, params, progress);
  return aborted ? 1 : 0;
}

int Trafo(const char* In, const char* Out, int32_t Code) {
  const auto t0 = TClock::now();
  std::ifstream f(In, std::ios::binary | std::ios::ate);
  std::vector<uint8_t> bytes(static_cast<size_t>(f.tellg()));
  f.seekg(0);
  f.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
  TReadOnlyMemoryStream input(bytes.data(), int64_t(bytes.size()));
  TMemoryStream output;
  TProgressRec progress;
  bool aborted = false;
  progress.Aborted = &aborted;
  TransformJpegLossless(input, output, progress, 0, 0, 0, 0, jcCopyAll, false, uint8_t(Code));
  if (aborted) return 1;
  output.SaveToFile(Out);
  Report(t0);
  return 0;
}

int Straighten(int32_t W, int32_t H) {
  TBitmap b(W, H, pf24bit);
  bench::FillPhoto(b);
  // White outside a turned rectangle of 80 % of the sheet.
  const double a = 7 * M_PI / 180, ca = std::cos(a), sa = std::sin(a);
  for (int32_t y = 0; y < H; ++y) {
    auto* row = static_cast<uint8_t*>(b.ScanLine(y));
    for (int32_t x = 0; x < W; ++x) {
      const double dx = x - W / 2.0, dy = y - H / 2.0;
      const double u = dx * ca - dy * sa, v = dx * sa + dy * ca;
      if (std::fabs(u) > W * 0.4 || std::fabs(v) > H * 0.35) std::memset(row + size_t(x) * 3, 255, 3);
    }
  }
  TScanSetup s;
  s.X2 = W;
  s.Y2 = H;
  s.RunLength = 30;
  TProgressRec progress;
  const auto t0 = TClock::now();
  const bool turned = StraightenImage(b, s, progress);
  Report(t0);
  return turned ? 0 : 1;
}

int Mosaic(int32_t W, int32_t H, int32_t Tiles) {
  TBitmap src(W, H, pf24bit);
  bench::FillPhoto(src);
  TMosaicLayout layout;
  std::vector<TBitmap> tiles(static_cast<size_t>(Tiles));
  std::vector<TScoreGrid> grids(static_cast<size_t>(Tiles));
  uint32_t seed = 7;
  for (int32_t i = 0; i < Tiles; ++i) {
    tiles[size_t(i)].SetPixelFormat(pf24bit);
    tiles[size_t(i)].SetSize(layout.CellWidth, layout.CellHeight);
    for (int32_t y = 0; y < layout.CellHeight; ++y) {
      auto* row = static_cast<uint8_t*>(tiles[size_t(i)].ScanLine(y));
      for (int32_t x = 0; x < layout.CellWidth * 3; ++x) {
        seed = seed * 1664525 + 1013904223;
        row[x] = uint8_t((seed >> 24) / 2 + (i * 37 + x) % 128);
      }
    }
    grids[size_t(i)] = ScoreGrid(tiles[size_t(i)], layout.ScoreSize, 0, 0, layout.CellWidth, layout.CellHeight);
  }
  const auto t0 = TClock::now();
  const std::vector<int32_t> placement = PlaceMosaicTiles(src, layout, grids, nullptr, nullptr);
  TBitmap out(layout.CellWidth * layout.Columns, layout.CellHeight * layout.Rows, pf24bit);
  TBitmap tile;
  for (int32_t r = 0; r < layout.Rows; ++r)
    for (int32_t c = 0; c < layout.Columns; ++c) {
      tile.Assign(&tiles[size_t(placement[size_t(r * layout.Columns + c)])]);
      int32_t l, t, rr, bb;
      MosaicCellRect(layout, W, H, c, r, l, t, rr, bb);
      AdjustTileColour(tile, AverageColor(src, l, t, rr, bb), 50);
      for (int32_t y = 0; y < layout.CellHeight; ++y)
        std::memcpy(static_cast<uint8_t*>(out.ScanLine(r * layout.CellHeight + y)) + size_t(c) * layout.CellWidth * 3,
                    tile.ScanLine(y), size_t(layout.CellWidth) * 3);
    }
  Report(t0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string cmd = argv[1];
  if (cmd == "photo" && argc == 5) return Photo(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  if (cmd == "jpgtrafo" && argc == 5) return Trafo(argv[2], argv[3], std::atoi(argv[4]));
  if (cmd == "straighten" && argc == 4) return Straighten(std::atoi(argv[2]), std::atoi(argv[3]));
  if (cmd == "mosaic" && argc == 5) return Mosaic(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
  return Usage();
}
