// The slide show's heavy steps for compare_slides.sh:
//   slides_cli photos DIR N W H            N photo-like JPEGs of W x H in DIR
//   slides_cli html DIR OUT                the HTML gallery of DIR (thumbnails, pages
//                                          converted to a 1024 x 768 canvas) into OUT/web
//   slides_cli next DIR VW VH              per picture of DIR: read, convert and fit to
//                                          a VW x VH canvas, as the player does ahead
// Each prints "step_ms <milliseconds>" (for "next": the slowest picture).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/tools/tool_files.h"
#include "app/workflows/slide_frames.h"
#include "app/workflows/slide_html.h"
#include "app/catalog/image_source.h"
#include "app/workflows/slide_sources.h"
#include "bench/bench_photo.h"
#include "imaging/processing/resample.h"
#include "platform/graphics/bitmap.h"

using namespace kv;
using TClock = std::chrono::steady_clock;

namespace {

double Ms(TClock::time_point T0) { return std::chrono::duration<double, std::milli>(TClock::now() - T0).count(); }

int Photos(const std::string& Dir, int N, int W, int H) {
  std::filesystem::create_directories(Dir);
  TBitmap b(W, H, pf24bit);
  bench::FillPhoto(b);
  const std::string first = Dir + "/p000.jpg";
  SaveToolPicture(first, b);
  for (int i = 1; i < N; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/p%03d.jpg", i);
    std::filesystem::copy_file(first, Dir + name, std::filesystem::copy_options::overwrite_existing);
  }
  return 0;
}

std::string Show(const std::string& Dir) {
  return "SlideShow Interval=2.00000000 Info=1 Canvasmode=2 Canvasmode2width=1024 Canvasmode2height=768 SourceMode=1 "
         "Dir=\"" + Dir + "\" Subdirs=0";
}

int Html(const std::string& Dir, const std::string& Out) {
  THtmlExportJob job;
  job.Show = Show(Dir);
  job.Settings.MD = Out;
  job.Settings.SD = "web";
  const auto t0 = TClock::now();
  const THtmlExportResult r = WriteHtmlGallery(job);
  std::printf("step_ms %.1f\n", Ms(t0));
  return r.Failed.empty() ? 0 : 1;
}

int Next(const std::string& Dir, int VW, int VH) {
  double slowest = 0;
  for (const std::string& f : ListImageSource(Show(Dir))) {
    const auto t0 = TClock::now();
    TBitmap pic;
    LoadToolPicture(f, pic);
    int32_t w = 0, h = 0;
    FitShownSize(1, VW, VH, pic.Width(), pic.Height(), w, h);
    TBitmap shown(w, h, pf24bit);
    ResampleBitmapProgress(pic, shown, rfTriangle, nullptr, {});
    slowest = std::max(slowest, Ms(t0));
  }
  std::printf("step_ms %.1f\n", slowest);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "photos" && argc == 6) return Photos(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
  if (cmd == "html" && argc == 4) return Html(argv[2], argv[3]);
  if (cmd == "next" && argc == 5) return Next(argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
  std::fprintf(stderr, "usage: slides_cli photos DIR N W H | html DIR OUT | next DIR VW VH\n");
  return 2;
}
