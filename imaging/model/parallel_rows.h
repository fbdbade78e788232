// Rows of a kernel split into strips that run on every core. Each row is
// computed exactly as on one thread, so the result is the same whatever the
// thread count; the calling thread alone raises progress and asks whether to
// stop, in the order and at the steps of a serial loop.
#pragma once
#include <cstdint>
#include <functional>

namespace kv {

// The most threads a kernel runs on: the setting (0 or less: every core),
// capped by a positive whole number in the environment variable KV_THREADS.
// 1 runs every kernel serially on the calling thread.
int32_t KernelThreads();
// The stored setting; the program sets it from its options, tests directly.
int32_t KernelThreadsSetting();
void SetKernelThreadsSetting(int32_t Count);
// The rule of KernelThreads on given values: Env is the variable's text (null
// when unset; anything but a positive whole number caps nothing).
int32_t ThreadCap(const char* Env, int32_t Setting, int32_t Cores);

// Sets the thread setting for its lifetime (a test, a benchmark run).
class TKernelThreadsScope {
 public:
  explicit TKernelThreadsScope(int32_t Count) : FSaved(KernelThreadsSetting()) { SetKernelThreadsSetting(Count); }
  ~TKernelThreadsScope() { SetKernelThreadsSetting(FSaved); }
  TKernelThreadsScope(const TKernelThreadsScope&) = delete;
  TKernelThreadsScope& operator=(const TKernelThreadsScope&) = delete;

 private:
  int32_t FSaved;
};

// Computes rows First .. Last - 1. Strips of one call run at the same time:
// a body writes only its own rows and keeps its working state to itself.
using TRowStrip = std::function<void(int64_t First, int64_t Last)>;
// What the serial loop did after row Row (raise progress); calling thread only.
using TRowDone = std::function<void(int64_t Row)>;
// Asked after each RowDone: true stops the work.
using TRowsAborted = std::function<bool()>;

// RowCost is the rough work of one row in byte operations (the bytes it reads
// and writes, times the taps per byte). Work below a few hundred thousand runs
// on the calling thread as one strip, so tiny pictures never pay for tasks.
inline constexpr int64_t kDefaultRowCost = 4096;

// Runs Body over rows 0 .. Rows - 1. An exception from a strip stops the
// strips not begun, waits for those running and is rethrown.
void ParallelRows(int64_t Rows, const TRowStrip& Body, int64_t RowCost = kDefaultRowCost);

// As above, and RowDone(0), RowDone(1) ... RowDone(Rows - 1) are called in
// this order on the calling thread, RowDone(R) once R + 1 rows are finished.
// On one thread this is exactly the loop "row R; RowDone(R); stop when
// Aborted()". When Aborted answers true, or RowDone throws, no further
// RowDone is called, strips not begun are dropped and those running are
// waited for; then the call returns false, or rethrows. True when every row
// was done.
bool ParallelRowsWithProgress(int64_t Rows, const TRowStrip& Body, const TRowDone& RowDone,
                              const TRowsAborted& Aborted = {}, int64_t RowCost = kDefaultRowCost);

// Below this much work (Rows x RowCost) the rows run serially; tests lower it
// to put tiny pictures through the strips as well. Returns the old value.
int64_t SetSerialWorkLimit(int64_t Work);

}  // namespace kv
