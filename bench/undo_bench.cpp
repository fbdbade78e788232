// Undo snapshots of an 8000 x 8000 24-bit picture, kept on the heap and in a
// temporary file: SaveUndo (the copy in) and Undo (the copy back). The two
// storages should cost about the same; the file keeps the pixels out of the
// process's memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

#include "imaging/processing/imager_proc.h"

namespace {

using namespace kv;

TBitmap& Picture() {
  static TBitmap* b = [] {
    auto* p = new TBitmap(8000, 8000, pf24bit);
    for (int32_t y = 0; y < p->Height(); ++y) {
      auto* row = static_cast<uint8_t*>(p->ScanLine(y));
      for (int32_t i = 0; i < p->Width() * 3; ++i) row[i] = uint8_t(i * 7 + y);
    }
    return p;
  }();
  return *b;
}

// Argument: the storage kind (0 heap, 1 temporary file).
void BM_SaveUndo(benchmark::State& State) {
  TImagerProc proc(nullptr);
  proc.SetUndoStorage(static_cast<TIMStorageKind>(State.range(0)));
  proc.SetAttachedBitmap(&Picture());
  for (auto _ : State) {
    proc.SaveUndo();
    benchmark::DoNotOptimize(proc.UndoList().back().get());
  }
}
BENCHMARK(BM_SaveUndo)->Arg(skHeap)->Arg(skTempFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Undo(benchmark::State& State) {
  TImagerProc proc(nullptr);
  proc.SetUndoStorage(static_cast<TIMStorageKind>(State.range(0)));
  proc.SetAttachedBitmap(&Picture());
  proc.SaveUndo();
  for (auto _ : State) {
    proc.Undo();
    benchmark::DoNotOptimize(Picture().ScanLine(0));
  }
}
BENCHMARK(BM_Undo)->Arg(skHeap)->Arg(skTempFile)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
