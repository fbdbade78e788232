// The folder tree on a folder of 10,000 files: listing and drawing the first
// screen when the folder expands, beside GIO's own tool listing the same
// folder with icons and display names; and the time from a folder made in a
// watched folder to the tree showing it.
//   QT_QPA_PLATFORM=offscreen build-bench/bench/shell_tree_bench
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "components/shell/file_change_thread.h"
#include "components/shell/system_tree_view.h"
#include "platform/ui/forms.h"
#include "platform/ui/message_window.h"
#include "platform/ui/qt_app.h"

namespace {

namespace fs = std::filesystem;

struct TFolder {
  std::string Home, Dir;
  TFolder() {
    char tmpl[] = "/tmp/kvshellbenchXXXXXX";
    Home = ::mkdtemp(tmpl);
    ::setenv("HOME", Home.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (Home + "/.local/share").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (Home + "/.config").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (Home + "/.cache").c_str(), 1);
    Dir = Home + "/fotos";
    fs::create_directories(Dir);
    for (int i = 0; i < 10000; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "/bild%05d.jpg", i);
      std::ofstream(Dir + name) << 'x';
    }
  }
  ~TFolder() {
    std::error_code ec;
    fs::remove_all(Home, ec);
  }
};

TFolder& Folder() {
  static TFolder f;
  return f;
}

kv::TdfsSystemTreeView* MakeTree(kv::TForm& Form, bool Files) {
  auto* t = new kv::TdfsSystemTreeView(&Form);
  t->SetParent(&Form);
  t->SetBounds(0, 0, 300, 700);
  t->SetExpandRoot(false);
  t->SetShowFiles(Files);
  t->SetReadDelay(0);
  t->SetRootFolder(kv::rfCustom);
  t->SetCustomDir(Folder().Home);
  t->HandleNeeded();
  return t;
}

void BM_ExpandTenThousandFiles(benchmark::State& State) {
  kv::EnsureQtApplication();
  Folder();
  for (auto _ : State) {
    State.PauseTiming();
    kv::TForm form(nullptr);
    form.SetBounds(0, 0, 320, 720);
    kv::TdfsSystemTreeView* t = MakeTree(form, true);
    kv::TTreeNode* fotos = nullptr;
    t->Root(0)->Expand();
    fotos = t->Root(0)->Item(0);
    State.ResumeTiming();
    fotos->Expand();
    t->Repaint();  // the first full screen
    benchmark::DoNotOptimize(fotos->Count());
    State.PauseTiming();
    if (fotos->Count() != 10000) State.SkipWithError("not every file listed");
    State.ResumeTiming();
  }
}
BENCHMARK(BM_ExpandTenThousandFiles)->Unit(benchmark::kMillisecond)->Iterations(5);

// GIO's command-line tool asked for the same folder's names, types and icons.
void BM_GioListSameFolder(benchmark::State& State) {
  Folder();
  const std::string cmd =
      "gio list -a standard::display-name,standard::icon,standard::content-type '" + Folder().Dir + "' >/dev/null";
  for (auto _ : State)
    if (std::system(cmd.c_str()) != 0) State.SkipWithError("gio list failed");
}
BENCHMARK(BM_GioListSameFolder)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_WatchLatency(benchmark::State& State) {
  kv::EnsureQtApplication();
  Folder();
  kv::TForm form(nullptr);
  kv::TdfsSystemTreeView* t = MakeTree(form, false);
  t->Root(0)->Expand();
  kv::TTreeNode* root = t->Root(0);
  t->SetSelected(root);
  auto has = [root](const std::string& Name) {
    for (int32_t i = 0; i < root->Count(); ++i)
      if (root->Item(i)->Text() == Name) return true;
    return false;
  };
  int n = 0;
  for (auto _ : State) {
    const std::string name = "neu" + std::to_string(n++);
    const auto start = std::chrono::steady_clock::now();
    fs::create_directory(Folder().Home + "/" + name);
    const uint64_t deadline = kv::TickCount64() + 5000;
    while (!has(name) && kv::TickCount64() < deadline) kv::WaitForMessages(1);
    const auto end = std::chrono::steady_clock::now();
    State.SetIterationTime(std::chrono::duration<double>(end - start).count());
    if (!has(name)) State.SkipWithError("the tree did not follow");
  }
}
BENCHMARK(BM_WatchLatency)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
