#include "imaging/model/parallel_rows.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>

#include <oneapi/tbb/info.h>
#include <oneapi/tbb/task_arena.h>
#include <oneapi/tbb/task_group.h>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KV_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define KV_THREAD_SANITIZER 1
#endif
#ifdef KV_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace kv {

namespace {

// The task library hands a task to a worker inside its own code, which the
// race detector cannot see into: the calling thread publishes the shared
// state to the detector before the tasks start, and each worker takes it over
// before its first look at it. Nothing outside a race-detector build.
inline void PublishToWorkers([[maybe_unused]] void* State) {
#ifdef KV_THREAD_SANITIZER
  __tsan_release(State);
#endif
}
inline void TakeFromCaller([[maybe_unused]] void* State) {
#ifdef KV_THREAD_SANITIZER
  __tsan_acquire(State);
#endif
}

// More threads than this are a typing error, not a machine.
constexpr int32_t kMaxThreads = 1024;
// Strips per thread: enough that threads finishing early find more work and
// that the calling thread reports progress several times along the way.
constexpr int64_t kStripsPerThread = 8;
// A strip does at least this much work, so that claiming it costs little beside it.
constexpr int64_t kMinStripWork = int64_t(1) << 15;

std::atomic<int32_t> gSetting{0};
std::atomic<int64_t> gSerialWorkLimit{int64_t(1) << 17};

int32_t Cores() {
  // Counts the cores this process may run on (taskset, cgroups), not the machine's.
  static const int32_t cores = std::max(1, tbb::info::default_concurrency());
  return cores;
}

int32_t EnvironmentCap() {
  static const int32_t cap = ThreadCap(std::getenv("KV_THREADS"), 0, kMaxThreads);
  return cap;
}

// One arena of the current thread count, made anew when the count changes.
// A call keeps the arena it started with, whatever happens to the setting.
std::shared_ptr<tbb::task_arena> ArenaOf(int32_t Threads) {
  static std::mutex lock;
  static std::shared_ptr<tbb::task_arena> arena;
  static int32_t size = 0;
  std::lock_guard<std::mutex> hold(lock);
  if (!arena || size != Threads) {
    arena = std::make_shared<tbb::task_arena>(Threads);
    size = Threads;
  }
  return arena;
}

// The state the strips of one call share; workers reach it through one pointer.
struct TStripRun {
  const TRowStrip* Body = nullptr;
  int64_t Rows = 0;
  int64_t StripRows = 0;
  int64_t Strips = 0;
  std::atomic<int64_t> Next;      // the next strip to claim
  std::atomic<int64_t> RowsDone;  // rows of finished strips
  std::atomic<int64_t> Settled;   // strips finished or failed; waited on
  std::atomic<bool> Stop;         // no more strips are to be claimed
  std::mutex ErrorLock;
  std::exception_ptr Error;       // the first exception of a strip
};

// Claims and computes one strip; false when none was left to claim.
bool RunOneStrip(TStripRun& R) {
  const int64_t i = R.Next.fetch_add(1, std::memory_order_acq_rel);
  if (i >= R.Strips || R.Stop.load(std::memory_order_acquire)) return false;
  const int64_t first = i * R.StripRows, last = std::min(first + R.StripRows, R.Rows);
  try {
    (*R.Body)(first, last);
    R.RowsDone.fetch_add(last - first, std::memory_order_release);
  } catch (...) {
    {
      std::lock_guard<std::mutex> hold(R.ErrorLock);
      if (!R.Error) R.Error = std::current_exception();
    }
    R.Stop.store(true, std::memory_order_release);
  }
  R.Settled.fetch_add(1, std::memory_order_release);
  R.Settled.notify_all();
  return true;
}

void RunStrips(TStripRun& R) {
  while (RunOneStrip(R)) {
  }
}

bool SerialRows(int64_t Rows, const TRowStrip& Body, const TRowDone& RowDone, const TRowsAborted& Aborted) {
  if (!RowDone && !Aborted) {
    Body(0, Rows);
    return true;
  }
  for (int64_t r = 0; r < Rows; ++r) {
    Body(r, r + 1);
    if (RowDone) RowDone(r);
    if (Aborted && Aborted()) return false;
  }
  return true;
}

bool RunRows(int64_t Rows, const TRowStrip& Body, const TRowDone& RowDone, const TRowsAborted& Aborted,
             int64_t RowCost) {
  if (Rows <= 0) return true;
  const int32_t threads = KernelThreads();
  RowCost = std::max<int64_t>(RowCost, 1);
  // Rows x RowCost, held below overflow.
  const int64_t work = RowCost > INT64_MAX / Rows ? INT64_MAX : Rows * RowCost;
  if (threads <= 1 || Rows < 2 || work < gSerialWorkLimit.load(std::memory_order_relaxed))
    return SerialRows(Rows, Body, RowDone, Aborted);

  const int64_t wanted = std::min<int64_t>(Rows, int64_t(threads) * kStripsPerThread);
  const int64_t minRows = (kMinStripWork + RowCost - 1) / RowCost;
  const int64_t stripRows = std::max((Rows + wanted - 1) / wanted, std::min(minRows, Rows));
  const int64_t strips = (Rows + stripRows - 1) / stripRows;
  if (strips < 2) return SerialRows(Rows, Body, RowDone, Aborted);

  TStripRun run;
  run.Body = &Body;
  run.Rows = Rows;
  run.StripRows = stripRows;
  run.Strips = strips;
  run.RowsDone.store(0, std::memory_order_relaxed);
  run.Settled.store(0, std::memory_order_relaxed);
  run.Stop.store(false, std::memory_order_relaxed);
  run.Next.store(0, std::memory_order_release);

  const std::shared_ptr<tbb::task_arena> arena = ArenaOf(threads);
  tbb::task_group group;
  const int64_t helpers = std::min<int64_t>(threads - 1, strips - 1);
  TStripRun* shared = &run;
  PublishToWorkers(shared);
  arena->execute([&] {
    for (int64_t k = 0; k < helpers; ++k)
      group.run([shared] {
        TakeFromCaller(shared);
        RunStrips(*shared);
      });
  });

  // The calling thread computes strips too, and between them, and while it
  // waits for the last ones, raises the progress of the rows finished so far.
  bool aborted = false;
  std::exception_ptr raised;
  try {
    int64_t reported = 0;
    for (;;) {
      const int64_t settled = run.Settled.load(std::memory_order_acquire);
      const bool ran = RunOneStrip(run);
      if (run.Stop.load(std::memory_order_acquire)) break;
      const int64_t done = run.RowsDone.load(std::memory_order_acquire);
      for (; reported < done; ++reported) {
        if (RowDone) RowDone(reported);
        if (Aborted && Aborted()) {
          aborted = true;
          break;
        }
      }
      if (aborted || reported == Rows) break;
      // Nothing left to claim: sleep until another strip settles.
      if (!ran && run.RowsDone.load(std::memory_order_acquire) == done) run.Settled.wait(settled);
    }
  } catch (...) {
    raised = std::current_exception();
  }
  run.Stop.store(true, std::memory_order_release);
  arena->execute([&] { group.wait(); });
  // Pairs with each strip's release: whatever a strip wrote is visible here.
  (void)run.Settled.load(std::memory_order_acquire);
  if (raised) std::rethrow_exception(raised);
  if (run.Error) std::rethrow_exception(run.Error);
  return !aborted;
}

}  // namespace

int32_t ThreadCap(const char* Env, int32_t Setting, int32_t Cores) {
  int32_t threads = Setting > 0 ? Setting : Cores;
  if (Env && *Env) {
    char* end = nullptr;
    errno = 0;
    const long cap = std::strtol(Env, &end, 10);
    if (errno == 0 && end != Env && *end == '\0' && cap > 0) threads = int32_t(std::min<long>(threads, cap));
  }
  return std::clamp(threads, 1, kMaxThreads);
}

int32_t KernelThreads() {
  return std::min(ThreadCap(nullptr, gSetting.load(std::memory_order_relaxed), Cores()), EnvironmentCap());
}

int32_t KernelThreadsSetting() { return gSetting.load(std::memory_order_relaxed); }

void SetKernelThreadsSetting(int32_t Count) { gSetting.store(Count, std::memory_order_relaxed); }

int64_t SetSerialWorkLimit(int64_t Work) { return gSerialWorkLimit.exchange(Work, std::memory_order_relaxed); }

void ParallelRows(int64_t Rows, const TRowStrip& Body, int64_t RowCost) {
  RunRows(Rows, Body, TRowDone(), TRowsAborted(), RowCost);
}

bool ParallelRowsWithProgress(int64_t Rows, const TRowStrip& Body, const TRowDone& RowDone,
                              const TRowsAborted& Aborted, int64_t RowCost) {
  return RunRows(Rows, Body, RowDone, Aborted, RowCost);
}

}  // namespace kv
