// The image browser on a folder of 10,000 JPEG files: the time from choosing
// the folder to the first full screen of the grid (listing, filtering and
// sorting the folder, laying out the grid, drawing the visible cells) with
// the thumbnails already in the cache, beside a bare listing of the same
// folder as the floor.
//   cmake -DKV_BENCH=ON ... && ninja browser_grid_timing && QT_QPA_PLATFORM=offscreen ./bench/browser_grid_timing
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/catalog/catalog_frame.h"
#include "app/catalog/image_browser.h"
#include "imaging/formats/imager_io.h"
#include "platform/graphics/bitmap.h"
#include "platform/system/paths.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/application.h"
#include "platform/ui/qt_app.h"

namespace {

using namespace kv;

constexpr int32_t kFiles = 10000;

// A scratch folder with the pictures and an empty one, written once per run.
// The name outlives static destruction, so that the exit handler that removes
// the folder still has it.
const std::string& Scratch() {
  static const std::string& folder = *new std::string([] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kv_browser_benchXXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    std::filesystem::create_directories(tmpl + "/pics");
    std::filesystem::create_directories(tmpl + "/empty");
    TBitmap photo(96, 72, pf24bit);
    TImagerIO io(nullptr);
    io.AttachBitmap(&photo);
    for (int32_t i = 0; i < kFiles; ++i) {
      for (int32_t y = 0; y < photo.Height(); ++y) {
        auto* row = static_cast<uint8_t*>(photo.ScanLine(y));
        for (int32_t x = 0; x < photo.Width() * 3; ++x) row[x] = uint8_t(x * 3 + y * 5 + i);
      }
      io.SaveToFileByExtension(tmpl + "/pics/p" + std::to_string(i) + ".jpg");
    }
    std::atexit([] { std::filesystem::remove_all(Scratch()); });
    return tmpl;
  }());
  return folder;
}

struct TRig {
  std::unique_ptr<Tbrowserform> Form;
  TBrowserFrame* Frame = nullptr;
  TRig() {
    EnsureQtApplication();
    SetRegistryFolder(Scratch() + "/reg");
    SetUserDataFolder(Scratch() + "/");
    Form = std::make_unique<Tbrowserform>(nullptr);
    Form->SetBounds(0, 0, 1240, 760);
    Form->Show();
    Frame = Form->BrowserFrame1;
  }
  // The folder chosen and the grid drawn as the screen shows it.
  void ShowFolder(const std::string& Folder) {
    Frame->SetDirectory(Folder);
    TKvDrawGrid& g = Frame->catalogframe1->DrawGrid1();
    g.Invalidate();
    g.PreparePaint();
    benchmark::DoNotOptimize(g.BackBuffer().ScanLine(0));
  }
};

void BM_BrowserFirstScreenWarm(benchmark::State& State) {
  TRig rig;
  rig.ShowFolder(Scratch() + "/pics");  // fills the thumbnail cache for the first screen
  for (auto _ : State) {
    State.PauseTiming();
    rig.ShowFolder(Scratch() + "/empty");
    State.ResumeTiming();
    rig.ShowFolder(Scratch() + "/pics");
  }
  State.counters["files"] = double(rig.Frame->catalogframe1->Files().Count());
}
BENCHMARK(BM_BrowserFirstScreenWarm)->Unit(benchmark::kMillisecond);

// The floor: reading the folder's names with readdir and nothing else.
void BM_ReaddirFloor(benchmark::State& State) {
  const std::string folder = Scratch() + "/pics";
  for (auto _ : State) {
    int64_t n = 0;
    DIR* d = ::opendir(folder.c_str());
    while (const dirent* e = ::readdir(d)) n += e->d_name[0] != '.';
    ::closedir(d);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_ReaddirFloor)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
