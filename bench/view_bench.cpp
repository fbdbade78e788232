// Painting the single-image view: a 6000 x 4000 photo (and a 40000 x 20000
// picture) in a 1600 x 1000 view, a full re-render at several zooms, nearest
// and filtered, and a scroll step of 100 pixels (less where the picture is
// narrower). The times should not grow with the picture's size: only the
// source pixels on screen are read.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "bench/bench_photo.h"
#include "imaging/views/imager_view.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"

namespace {

using namespace kv;

struct TViewRig {
  std::unique_ptr<TForm> Form;
  TImagerView* View = nullptr;
  explicit TViewRig(bool Huge) {
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 1640, 1040);
    View = new TImagerView(Form.get());
    View->SetBorderStyle(bsNone);
    View->SetParent(Form.get());
    View->SetBounds(0, 0, 1600, 1000);
    View->SetDelayZoomFilter(false);
    TBitmap& b = View->Bitmap();
    if (Huge) {
      // 2.4 GB: rows of the photo repeated, cheap to make.
      b.AllocateForOverwrite(40000, 20000, pf24bit);
      const TBitmap& p = bench::Photo();
      for (int32_t y = 0; y < b.Height(); ++y) {
        auto* d = static_cast<uint8_t*>(b.ScanLine(y));
        const auto* s = static_cast<const uint8_t*>(p.ScanLine(y % p.Height()));
        for (int32_t x = 0; x < b.Width(); x += p.Width())
          std::memcpy(d + size_t(x) * 3, s, size_t(std::min(p.Width(), b.Width() - x)) * 3);
      }
    } else {
      b.Assign(&bench::Photo());
    }
    View->ImageChange();
    View->Update();
    Form->Show();
    Application->ProcessMessages();
  }
};

// Freed before main returns: the views must go before the Qt application.
std::unique_ptr<TViewRig> gRigs[2];

TViewRig& Rig(bool Huge) {
  if (!gRigs[Huge]) {
    gRigs[!Huge].reset();  // one picture in memory at a time
    gRigs[Huge] = std::make_unique<TViewRig>(Huge);
  }
  return *gRigs[Huge];
}

// Args: huge (0/1), zoom percent, filter (0 nearest, 1 triangle).
void BM_FullRender(benchmark::State& State) {
  TImagerView& v = *Rig(State.range(0) != 0).View;
  v.SetZoomFilter(State.range(2) ? rfTriangle : rfNone);
  v.SetZoom(double(State.range(1)));
  v.SetViewXY(v.ZoomedWidth() / 3, v.ZoomedHeight() / 3);
  for (auto _ : State) {
    v.ImageChange();  // the picture changed: everything on screen is rendered again
    v.RenderNow();
    benchmark::DoNotOptimize(v.Rendering().Bits());
  }
  State.SetLabel(std::to_string(v.Bitmap().Width()) + "x" + std::to_string(v.Bitmap().Height()));
}

// Args: huge, zoom percent. Alternates a step right and back: 100 screen
// pixels, less where the picture is narrower, and at least one source pixel
// at deep zooms, so that every step shows another part of the picture. A step
// that moves nothing or renders nothing ends the case with an error rather
// than timing an idle loop.
void BM_ScrollStep(benchmark::State& State) {
  TImagerView& v = *Rig(State.range(0) != 0).View;
  v.SetZoomFilter(rfNone);
  v.SetZoom(double(State.range(1)));
  int32_t mx, my;
  v.GetMaxViewXY(mx, my);
  const int32_t oneSource = int32_t(std::ceil(double(State.range(1)) / 100.0));
  int32_t step = std::max(std::min(100, mx / 2), oneSource);
  if (mx < 2 * step) {
    State.SkipWithError("the picture fits the view at this zoom: nothing to scroll");
    return;
  }
  v.SetViewXY(mx / 2, my / 2);
  v.RenderNow();
  int64_t pixels = 0;
  for (auto _ : State) {
    const int32_t left = v.VisiblePart().SrcLeft;
    v.SetViewX(v.ViewX() + step);
    step = -step;
    v.RenderNow();
    if (v.VisiblePart().SrcLeft == left || v.RenderedPixels() == 0) {
      State.SkipWithError("the scroll did not change the picture on screen");
      break;
    }
    pixels += v.RenderedPixels();
    benchmark::DoNotOptimize(v.Rendering().Bits());
  }
  State.counters["rendered_px"] = benchmark::Counter(double(pixels) / double(std::max<int64_t>(State.iterations(), 1)));
}

// The whole paint: rendering, the copy to the window and the window system's blit.
void BM_FullPaint(benchmark::State& State) {
  TImagerView& v = *Rig(State.range(0) != 0).View;
  v.SetZoomFilter(rfNone);
  v.SetZoom(double(State.range(1)));
  for (auto _ : State) {
    v.ImageChange();
    v.Invalidate();
    Application->ProcessMessages();  // the paint event
  }
}

void ZoomArgs(benchmark::internal::Benchmark* B) {
  for (int huge : {0, 1})
    for (int filter : {0, 1})
      for (int zoom : {7, 33, 100, 250, 800}) B->Args({huge, zoom, filter});
}
// At 7 % the photo (420 x 280) fits the view whole and cannot scroll: that
// zoom scrolls the large picture only.
void ScrollArgs(benchmark::internal::Benchmark* B) {
  for (int huge : {0, 1})
    for (int zoom : {7, 33, 100, 250, 800})
      if (huge || zoom > 7) B->Args({huge, zoom});
}

BENCHMARK(BM_FullRender)->Apply(ZoomArgs)->ArgNames({"huge", "zoom", "filter"})->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ScrollStep)->Apply(ScrollArgs)->ArgNames({"huge", "zoom"})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullPaint)->Args({0, 100})->Args({1, 100})->ArgNames({"huge", "zoom"})->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gRigs[0].reset();
  gRigs[1].reset();
  return 0;
}
