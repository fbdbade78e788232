// The multi-image view over a folder of 2,000 JPEG photos (1600 x 1200):
// the time to the first full screen of thumbnails in a 1000 x 700 view, and
// a scroll by a page. The entries name their files; only the cells that come
// into view are loaded (at the reduced JPEG scale that still covers a cell),
// so both times depend on the screen, not on the number of entries.
//   cmake -DKV_BENCH=ON ... && ninja mview_bench && QT_QPA_PLATFORM=offscreen ./bench/mview_bench
#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_photo.h"
#include "imaging/formats/imager_io.h"
#include "imaging/views/imager_mview.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"

namespace {

using namespace kv;

constexpr int32_t kEntries = 2000;

// The folder of photos, written once per run (distinct files: nothing is cached by name).
const std::string& PhotoFolder() {
  static const std::string folder = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kv_mview_benchXXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    TBitmap photo(1600, 1200, pf24bit);
    bench::FillPhoto(photo);
    TImagerIO io(nullptr);
    io.AttachBitmap(&photo);
    for (int32_t i = 0; i < kEntries; ++i) {
      // A stripe per file so that no two files are alike.
      auto* row = static_cast<uint8_t*>(photo.ScanLine(i % 1200));
      row[0] = uint8_t(i);
      io.SaveToFileByExtension(tmpl + "/p" + std::to_string(i) + ".jpg");
    }
    std::atexit([] { std::filesystem::remove_all(PhotoFolder()); });
    return tmpl;
  }();
  return folder;
}

struct TRig {
  std::unique_ptr<TForm> Form;
  TImagerMView* View = nullptr;
  TBitmap Screen{1000, 700, pf24bit};
  // The entries are made before the view has a parent: nothing is laid out or loaded yet.
  TRig() {
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 1040, 740);
    View = new TImagerMView(Form.get());
    View->SetBorderStyle(bsNone);
    View->SetBounds(0, 0, 1000, 700);
    View->SetStoreType(imtThumb);
    View->SetGridWidth(-1);
    if (const char* c = std::getenv("KV_MVIEW_CACHE")) View->SetImageCacheSize(std::atoi(c));
    for (int32_t i = 0; i < kEntries; ++i) {
      View->InsertImageNoSelect(i);
      View->SetImageFileName(i, PhotoFolder() + "/p" + std::to_string(i) + ".jpg");
    }
  }
  // Shown: laid out, the visible cells loaded and prepared.
  void Show() {
    View->SetParent(Form.get());
    Form->Show();
    View->Update();
  }
  void Paint() { View->PaintTo(Screen.Canvas()); }
};

void BM_FirstScreen(benchmark::State& State) {
  PhotoFolder();
  for (auto _ : State) {
    State.PauseTiming();
    TRig rig;
    State.ResumeTiming();
    rig.Show();  // lays out 2,000 entries and loads the visible cells
    rig.Paint();
    benchmark::DoNotOptimize(rig.Screen.ScanLine(0));
    State.PauseTiming();
    rig.Form.reset();
    State.ResumeTiming();
  }
}
BENCHMARK(BM_FirstScreen)->Unit(benchmark::kMillisecond);

void BM_ScrollPage(benchmark::State& State) {
  PhotoFolder();
  TRig rig;
  rig.Show();
  int32_t y = 0;
  for (auto _ : State) {
    y += rig.View->ClientHeight();
    if (y > rig.View->TotalHeight() - rig.View->ClientHeight()) {
      // Back to the top without timing it; the next pages load anew only once.
      State.PauseTiming();
      y = 0;
      rig.View->SetViewY(0);
      State.ResumeTiming();
    }
    rig.View->SetViewY(y);
    rig.Paint();
    benchmark::DoNotOptimize(rig.Screen.ScanLine(0));
  }
  State.counters["cells"] = double(rig.View->Columns() * (rig.View->ClientHeight() / 104 + 1));
}
BENCHMARK(BM_ScrollPage)->Unit(benchmark::kMillisecond);

// A page scrolled back to: its thumbnails are in the store, so only the paint remains.
void BM_ScrollPageLoaded(benchmark::State& State) {
  PhotoFolder();
  TRig rig;
  rig.Show();
  rig.View->SetViewY(rig.View->ClientHeight());
  bool down = false;
  for (auto _ : State) {
    rig.View->SetViewY(down ? rig.View->ClientHeight() : 0);
    down = !down;
    rig.Paint();
    benchmark::DoNotOptimize(rig.Screen.ScanLine(0));
  }
}
BENCHMARK(BM_ScrollPageLoaded)->Unit(benchmark::kMillisecond);

// Side by side: TurboJPEG alone reading and decoding the 63 files of a page at
// 1/8 scale, which is the bulk of what a scroll to a new page has to do.
void BM_TurboJpegPage(benchmark::State& State) {
  PhotoFolder();
  tjhandle tj = tjInitDecompress();
  std::vector<uint8_t> out;
  int32_t first = 0;
  for (auto _ : State) {
    for (int32_t i = first; i < first + 63; ++i) {
      std::ifstream f(PhotoFolder() + "/p" + std::to_string(i % kEntries) + ".jpg", std::ios::binary);
      const std::vector<uint8_t> data((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
      int w = 0, h = 0, sub = 0, cs = 0;
      tjDecompressHeader3(tj, data.data(), data.size(), &w, &h, &sub, &cs);
      const int sw = TJSCALED(w, (tjscalingfactor{1, 8})), sh = TJSCALED(h, (tjscalingfactor{1, 8}));
      out.resize(size_t(sw) * sh * 3);
      tjDecompress2(tj, data.data(), data.size(), out.data(), sw, 0, sh, TJPF_BGR, 0);
    }
    first = (first + 63) % kEntries;
    benchmark::DoNotOptimize(out.data());
  }
  tjDestroy(tj);
}
BENCHMARK(BM_TurboJpegPage)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
