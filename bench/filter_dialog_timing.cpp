// The filter dialog on a 6000 x 4000 picture: from a parameter change to the
// updated preview, the opening (reducing the picture once), and the preview
// grid of whole categories.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/filters/filter_catalogue.h"
#include "app/filters/filter_dialog.h"
#include "app/filters/filter_preview_grid.h"
#include "app/layer/imager_layer.h"
#include "bench/bench_photo.h"
#include "components/controls/kv_spin.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"

namespace {

using namespace kv;

struct TRig {
  std::unique_ptr<TForm> Form;
  timagerlayer* Image = nullptr;
  std::string Registry;
  TRig() {
    EnsureQtApplication();
    char folder[] = "/tmp/kv_filter_dialog_benchXXXXXX";
    Registry = mkdtemp(folder);
    SetRegistryFolder(Registry);  // the stored filter values go here, not to the user's settings
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 400, 400);
    Image = new timagerlayer(Form.get());
    Image->SetParent(Form.get());
    Image->SetBounds(0, 0, 400, 400);
    Image->SetAutoUndo(false);
    Image->Bitmap().Assign(&bench::Photo());
  }
  ~TRig() {
    Form.reset();
    SetRegistryFolder("");
    std::system(("rm -rf '" + Registry + "'").c_str());
  }
  std::unique_ptr<Tfilterform> Open(tfilterclass& Catalogue, const char* Keyword) {
    auto dlg = std::make_unique<Tfilterform>(nullptr);
    dlg->SourceCatalogue = &Catalogue;
    dlg->StartItem = Catalogue.FindKeyword(Keyword);
    dlg->Image = Image;
    dlg->FormShow();
    return dlg;
  }
};

TRig& Rig() {
  static TRig rig;
  return rig;
}

// A parameter typed into the spin edit: the value is stored and the preview filtered again.
void BM_ParameterChangeToPreview(benchmark::State& State, const char* Keyword) {
  auto dlg = Rig().Open(ColorCatalogue(), Keyword);
  TKvSpinEdit* spin = dlg->RowOf(0)->Spin;
  int32_t v = 0;
  for (auto _ : State) {
    spin->SetValue(++v % 2 ? 20 : 30);
    benchmark::DoNotOptimize(dlg->afterImager->Bitmap().ScanLine(0));
  }
  dlg->FormClose();
}
BENCHMARK_CAPTURE(BM_ParameterChangeToPreview, BrightnessContrast, "BrightnessContrast")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ParameterChangeToPreview, HueSaturation, "HueSaturation")->Unit(benchmark::kMillisecond);

void BM_ParameterChangeToPreviewFilterCatalogue(benchmark::State& State) {
  auto dlg = Rig().Open(FilterCatalogue(), "Wave");
  TKvSpinEdit* spin = dlg->RowOf(0)->Spin;
  int32_t v = 0;
  for (auto _ : State) {
    spin->SetValue(++v % 2 ? 12 : 20);
    benchmark::DoNotOptimize(dlg->afterImager->Bitmap().ScanLine(0));
  }
  dlg->FormClose();
}
BENCHMARK(BM_ParameterChangeToPreviewFilterCatalogue)->Unit(benchmark::kMillisecond);

// Opening: the picture reduced once, the panel built, the first preview.
void BM_OpenDialog(benchmark::State& State) {
  for (auto _ : State) {
    auto dlg = Rig().Open(ColorCatalogue(), "BrightnessContrast");
    dlg->FormClose();
  }
}
BENCHMARK(BM_OpenDialog)->Unit(benchmark::kMillisecond);

// The grid of every filter of one category.
void BM_PreviewGrid(benchmark::State& State, const char* Category, bool Colours) {
  TFilterRefs refs;
  for (const TFilterRef& r : CatalogueRefs(Colours ? ColorCatalogue() : FilterCatalogue()))
    if (r.Item->Category == Category) refs.push_back(r);
  for (auto _ : State) {
    Tmultiform grid(nullptr);
    grid.Source = Rig().Image;
    grid.Catalogue = refs;
    grid.BuildThumbnails();
  }
  State.counters["filters"] = double(refs.size());
}
BENCHMARK_CAPTURE(BM_PreviewGrid, Farbkanaele, "Farbkanäle", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreviewGrid, Farbanzahl, "Farbanzahl reduzieren", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreviewGrid, Div, "Div", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PreviewGrid, Morphing, "Morphing", false)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
