// Loading a 6000 x 4000 BMP through the image control, which keeps the
// previous picture until the load has succeeded, beside the same load by a
// bare I/O component on a view; and a load that fails half way, after which
// the control puts the previous picture back.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "bench/bench_photo.h"
#include "imaging/formats/imager_io.h"
#include "imaging/views/image_control.h"
#include "platform/ui/application.h"
#include "platform/ui/forms.h"
#include "platform/ui/qt_app.h"

namespace {

using namespace kv;

struct TRig {
  std::unique_ptr<TForm> Form;
  TImager* Control = nullptr;
  TImagerView* Plain = nullptr;
  std::unique_ptr<TImagerIO> PlainIO;
  std::string Good = "/tmp/kv_image_control_bench.bmp";
  std::string Cut = "/tmp/kv_image_control_bench_cut.bmp";
  TRig() {
    EnsureQtApplication();
    Form = std::make_unique<TForm>(nullptr);
    Form->SetBounds(0, 0, 1640, 1040);
    Control = new TImager(Form.get());
    Control->SetParent(Form.get());
    Control->SetBounds(0, 0, 800, 1000);
    Plain = new TImagerView(Form.get());
    Plain->SetParent(Form.get());
    Plain->SetBounds(800, 0, 800, 1000);
    PlainIO = std::make_unique<TImagerIO>(nullptr);
    PlainIO->SetAttachedImager(Plain);
    TImagerIO writer(nullptr);
    TBitmap photo;
    photo.Assign(&bench::Photo());
    writer.AttachBitmap(&photo);
    writer.WriteBmpFile(Good);
    // The same file cut in half: the reader fails on its last rows.
    std::ifstream in(Good, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::ofstream(Cut, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size() / 2));
    Form->Show();
    Application->ProcessMessages();
  }
  ~TRig() {
    std::remove(Good.c_str());
    std::remove(Cut.c_str());
  }
};

std::unique_ptr<TRig> gRig;
TRig& Rig() {
  if (!gRig) gRig = std::make_unique<TRig>();
  return *gRig;
}

void BM_LoadThroughControl(benchmark::State& State) {
  TRig& r = Rig();
  for (auto _ : State) r.Control->LoadFromFileByExtension(r.Good);
}
BENCHMARK(BM_LoadThroughControl)->Unit(benchmark::kMillisecond);

void BM_LoadThroughBareComponent(benchmark::State& State) {
  TRig& r = Rig();
  for (auto _ : State) r.PlainIO->LoadFromFileByExtension(r.Good);
}
BENCHMARK(BM_LoadThroughBareComponent)->Unit(benchmark::kMillisecond);

void BM_FailedLoadKeepsPicture(benchmark::State& State) {
  TRig& r = Rig();
  r.Control->LoadFromFileByExtension(r.Good);
  for (auto _ : State) r.Control->LoadFromFileByExtension(r.Cut);
}
BENCHMARK(BM_FailedLoadKeepsPicture)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  gRig.reset();  // the views go before the Qt application
  benchmark::Shutdown();
  return 0;
}
