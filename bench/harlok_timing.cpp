// A 4000 x 3000 run through harlok.so with the inverting test plug-in, beside the
// same inversion written directly: the difference is the host's own work (byte
// order, row order, output buffer, copy back).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "pluginhost/harlok_client.h"

namespace {

constexpr int32_t kW = 4000, kH = 3000, kRow = (kW * 3 + 3) & ~3;

std::vector<uint8_t>& Pixels() {
  static std::vector<uint8_t> p = [] {
    std::vector<uint8_t> v(size_t(kRow) * kH);
    for (size_t i = 0; i < v.size(); ++i) v[i] = uint8_t(i * 131 + (i >> 9));
    return v;
  }();
  return p;
}

void HostRun(benchmark::State& State) {
  kv::THarlokLibrary lib;
  if (!lib.Load(KV_HARLOK_DIR)) {
    State.SkipWithError(lib.LastError().c_str());
    return;
  }
  kv::THarlokBitmap bmp{kW, kH, kRow, 24, Pixels().data()};
  kv::FilterCallBlock b;
  b.Bitmap = &bmp;
  b.HorzResolution = b.VertResolution = 300;
  b.FilterBottom = kH;
  b.FilterRight = kW;
  const int32_t action = int32_t(State.range(0));
  if (action == kv::haRepeat) lib.Run8BFPlugIn()(KV_INVERT_PLUGIN, kv::haRun, &b);
  for (auto _ : State) {
    lib.Run8BFPlugIn()(KV_INVERT_PLUGIN, action, &b);
    if (b.Result != 0) State.SkipWithError("plug-in failed");
  }
}
// Arg: 1 loads the plug-in for every run, 2 repeats the held one.
BENCHMARK(HostRun)->Arg(kv::haRun)->Arg(kv::haRepeat)->Unit(benchmark::kMillisecond);

void DirectInvert(benchmark::State& State) {
  auto& p = Pixels();
  for (auto _ : State) {
    for (int32_t y = 0; y < kH; ++y) {
      uint8_t* row = p.data() + size_t(y) * kRow;
      for (int32_t i = 0; i < kW * 3; ++i) row[i] = uint8_t(255 - row[i]);
    }
    benchmark::DoNotOptimize(p.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(DirectInvert)->Unit(benchmark::kMillisecond);

// One plain copy of the picture: the floor for any host that keeps a separate output.
void PlainCopy(benchmark::State& State) {
  auto& p = Pixels();
  std::vector<uint8_t> out(p.size());
  for (auto _ : State) {
    std::memcpy(out.data(), p.data(), p.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(PlainCopy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
