// The vector view with 10,000 objects of every kind over a 6000 x 4000 photo
// in a 1600 x 1000 view: a full repaint of the window (cached picture plus
// every object on it) at 100 % and at fit, the object pass alone, and the hit
// test of one click.
#include <benchmark/benchmark.h>

#include <memory>
#include <numbers>
#include <random>

#include "bench/bench_photo.h"
#include "imaging/views/imager_vect.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"

namespace {

using namespace kv;

struct TVectRig {
  std::unique_ptr<TForm> Form;
  TImagerVect* View = nullptr;
  TVectRig() {
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 1640, 1040);
    View = new TImagerVect(Form.get());
    View->SetBorderStyle(bsNone);
    View->SetParent(Form.get());
    View->SetBounds(0, 0, 1600, 1000);
    View->Bitmap().Assign(&bench::Photo());
    View->ImageChange();
    TBitmap stamp(32, 32, pf24bit);
    bench::FillPhoto(stamp);
    std::mt19937 rnd(7);
    auto uni = [&](int32_t A, int32_t B) { return std::uniform_int_distribution<int32_t>(A, B)(rnd); };
    for (int32_t i = 0; i < 10000; ++i) {
      TIMVObject o;
      o.Kind = TIMVKind(1 + i % 8);
      o.x1 = uni(0, 5900);
      o.y1 = uni(0, 3900);
      o.x2 = o.x1 + uni(-150, 300);
      o.y2 = o.y1 + uni(-150, 300);
      o.PenColor = TColor(uni(0, 0xFFFFFF));
      o.PenWidth = uni(1, 4);
      o.BrushStyle = i % 3 == 0 ? bsSolid : bsClear;
      o.BrushColor = TColor(uni(0, 0xFFFFFF));
      o.StartShape = uint8_t(i % 3);
      o.EndShape = 1;
      o.ArcEnd = std::numbers::pi;
      o.Text = "Label " + std::to_string(i);
      o.RulerType = uint8_t(i % 4);
      const int32_t h = View->AddNewObject(o);
      if (o.Kind == imvkBitmap) View->SetObjBitmap(h, &stamp);
      if (o.Kind == imvkPolyline)
        View->SetObjPoints(h, {{o.x1, o.y1}, {o.x1 + 80, o.y1 + 20}, {o.x1 + 40, o.y1 + 90}, {o.x1 + 150, o.y1 + 60}});
    }
    Form->Show();
    Application->ProcessMessages();
  }
};

std::unique_ptr<TVectRig> gRig;

TVectRig& Rig() {
  if (!gRig) gRig = std::make_unique<TVectRig>();
  return *gRig;
}

void SetView(TImagerVect& V, bool Fit) {
  if (Fit) {
    V.Fit();
  } else {
    V.SetZoom(100);
    V.SetViewXY(2000, 1500);
  }
  V.RenderNow();
}

// Arg: 0 at 100 %, 1 at fit. The window painted again, objects included.
void BM_FullRepaint(benchmark::State& State) {
  TImagerVect& v = *Rig().View;
  SetView(v, State.range(0) != 0);
  for (auto _ : State) {
    v.Invalidate();
    v.TControl::Update();  // paints now
  }
  State.SetLabel(State.range(0) ? "fit" : "100%");
}

// The object pass alone, onto a bitmap the size of the window.
void BM_ObjectPass(benchmark::State& State) {
  TImagerVect& v = *Rig().View;
  SetView(v, State.range(0) != 0);
  TBitmap target(1600, 1000, pf32bit);
  for (auto _ : State) v.DrawObjects(target.Canvas(), Rect(0, 0, 1600, 1000), true);
  State.SetLabel(State.range(0) ? "fit" : "100%");
}

// Args: kind (1 line .. 8 polyline), fit: the pass with only that kind shown.
void BM_ObjectPassKind(benchmark::State& State) {
  TImagerVect& v = *Rig().View;
  SetView(v, State.range(1) != 0);
  for (int32_t h = 0; h < v.ObjectsCount(); ++h)
    v.SetObjFlags(h, v.ObjKind(h) == State.range(0) ? 15 : 0);
  TBitmap target(1600, 1000, pf32bit);
  for (auto _ : State) v.DrawObjects(target.Canvas(), Rect(0, 0, 1600, 1000), true);
  for (int32_t h = 0; h < v.ObjectsCount(); ++h) v.SetObjFlags(h, 15);
  static const char* const names[] = {"", "line", "box", "ellipse", "arc", "bitmap", "text", "ruler", "polyline"};
  State.SetLabel(std::string(names[State.range(0)]) + (State.range(1) ? " fit" : " 100%"));
}

void BM_HitTest(benchmark::State& State) {
  TImagerVect& v = *Rig().View;
  SetView(v, State.range(0) != 0);
  std::mt19937 rnd(3);
  for (auto _ : State) {
    const int32_t x = std::uniform_int_distribution<int32_t>(0, 5999)(rnd);
    const int32_t y = std::uniform_int_distribution<int32_t>(0, 3999)(rnd);
    benchmark::DoNotOptimize(v.FindObjectAt(x, y));
  }
  State.SetLabel(State.range(0) ? "fit" : "100%");
}

BENCHMARK(BM_FullRepaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjectPass)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjectPassKind)->ArgsProduct({{1, 2, 3, 4, 5, 6, 7, 8}, {1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HitTest)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  gRig.reset();  // the views go before the Qt application
  benchmark::Shutdown();
  return 0;
}
