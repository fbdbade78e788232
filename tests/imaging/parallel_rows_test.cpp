#include "imaging/model/parallel_rows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kv {
namespace {

// Every strip runs through the tasks, however small the work.
class TAlwaysStrips {
 public:
  TAlwaysStrips() : FSaved(SetSerialWorkLimit(0)) {}
  ~TAlwaysStrips() { SetSerialWorkLimit(FSaved); }

 private:
  int64_t FSaved;
};

TEST(ParallelRowsThreads, CapFollowsSettingAndEnvironment) {
  struct TCase {
    const char* Env;
    int32_t Setting, Cores, Expected;
  } cases[] = {
      {nullptr, 0, 8, 8},  {nullptr, -3, 8, 8}, {nullptr, 3, 8, 3}, {nullptr, 12, 8, 12}, {"", 0, 4, 4},
      {"1", 0, 8, 1},      {"2", 6, 8, 2},      {"6", 2, 8, 2},     {"16", 0, 8, 8},      {"0", 0, 8, 8},
      {"-2", 0, 8, 8},     {"two", 0, 8, 8},    {"3x", 0, 8, 8},    {nullptr, 0, 0, 1},   {"99999999999", 0, 8, 8},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(ThreadCap(c.Env, c.Setting, c.Cores), c.Expected)
        << (c.Env ? c.Env : "unset") << ' ' << c.Setting << ' ' << c.Cores;
  TKernelThreadsScope one(1);
  EXPECT_EQ(KernelThreads(), 1);
}

// Every row is computed once, by exactly one strip, for sizes that do not
// divide evenly and for any number of threads.
TEST(ParallelRows, EveryRowOnceWhateverTheThreads) {
  TAlwaysStrips strips;
  for (int32_t threads : {1, 2, 3, 7})
    for (int64_t rows : {0, 1, 2, 3, 17, 667, 1001}) {
      TKernelThreadsScope scope(threads);
      std::vector<std::atomic<int32_t>> seen(static_cast<size_t>(rows));
      for (auto& s : seen) s.store(0);
      ParallelRows(rows, [&](int64_t First, int64_t Last) {
        ASSERT_LE(0, First);
        ASSERT_LT(First, Last);
        ASSERT_LE(Last, rows);
        for (int64_t r = First; r < Last; ++r) seen[size_t(r)].fetch_add(1);
      });
      for (int64_t r = 0; r < rows; ++r) ASSERT_EQ(seen[size_t(r)].load(), 1) << threads << ' ' << rows << ' ' << r;
    }
}

// RowDone is raised for 0, 1, ... in order on the calling thread, each once
// as many rows are finished; with one thread it follows its row at once.
TEST(ParallelRows, ProgressInOrderOnTheCallingThread) {
  TAlwaysStrips strips;
  const std::thread::id caller = std::this_thread::get_id();
  for (int32_t threads : {1, 2, 4})
    for (int64_t rows : {1, 3, 667}) {
      TKernelThreadsScope scope(threads);
      std::atomic<int64_t> finished{0};
      std::vector<int64_t> reported;
      bool wrongThread = false, early = false;
      const bool all = ParallelRowsWithProgress(
          rows,
          [&](int64_t First, int64_t Last) {
            for (int64_t r = First; r < Last; ++r) finished.fetch_add(1);
          },
          [&](int64_t Row) {
            wrongThread |= std::this_thread::get_id() != caller;
            early |= finished.load() < Row + 1;
            if (threads == 1) early |= finished.load() != Row + 1;
            reported.push_back(Row);
          });
      EXPECT_TRUE(all);
      EXPECT_FALSE(wrongThread);
      EXPECT_FALSE(early) << threads << ' ' << rows;
      ASSERT_EQ(int64_t(reported.size()), rows) << threads;
      for (int64_t r = 0; r < rows; ++r) ASSERT_EQ(reported[size_t(r)], r);
    }
}

// Little work stays on the calling thread, in one strip.
TEST(ParallelRows, SmallWorkRunsSeriallyOnTheCaller) {
  TKernelThreadsScope scope(4);
  const std::thread::id caller = std::this_thread::get_id();
  std::vector<std::pair<int64_t, int64_t>> calls;
  bool wrongThread = false;
  ParallelRows(
      3,
      [&](int64_t First, int64_t Last) {
        wrongThread |= std::this_thread::get_id() != caller;
        calls.emplace_back(First, Last);
      },
      3 * 3);
  EXPECT_FALSE(wrongThread);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], std::make_pair(int64_t(0), int64_t(3)));
}

// A stop asked for after row K: no RowDone after K, no strip still running
// when the call returns, and the same with a handler that throws.
TEST(ParallelRows, AbortAndThrowStopTheRestAndWait) {
  TAlwaysStrips strips;
  for (int32_t threads : {1, 2, 4})
    for (bool Throw : {false, true}) {
      TKernelThreadsScope scope(threads);
      constexpr int64_t kRows = 500, kStopAfter = 123;
      std::atomic<int32_t> running{0};
      std::atomic<int64_t> rowsRun{0};
      int64_t lastReported = -1;
      bool result = true, caught = false;
      auto body = [&](int64_t First, int64_t Last) {
        running.fetch_add(1);
        rowsRun.fetch_add(Last - First);
        running.fetch_sub(1);
      };
      auto done = [&](int64_t Row) {
        lastReported = Row;
        if (Throw && Row == kStopAfter) throw std::runtime_error("stop");
      };
      try {
        result = ParallelRowsWithProgress(kRows, body, done, [&] { return lastReported == kStopAfter; });
      } catch (const std::runtime_error&) {
        caught = true;
      }
      EXPECT_EQ(lastReported, kStopAfter) << threads << ' ' << Throw;
      EXPECT_EQ(running.load(), 0);
      EXPECT_EQ(caught, Throw);
      if (!Throw) {
        EXPECT_FALSE(result);
      }
      EXPECT_GT(rowsRun.load(), kStopAfter);
    }
}

TEST(ParallelRows, StripExceptionReachesTheCaller) {
  TAlwaysStrips strips;
  for (int32_t threads : {1, 3}) {
    TKernelThreadsScope scope(threads);
    std::atomic<int32_t> running{0};
    auto body = [&](int64_t First, int64_t Last) {
      running.fetch_add(1);
      const bool fail = First <= 400 && 400 < Last;
      running.fetch_sub(1);
      if (fail) throw std::runtime_error("row 400");
    };
    EXPECT_THROW(ParallelRows(1000, body), std::runtime_error) << threads;
    EXPECT_THROW(ParallelRowsWithProgress(1000, body, [](int64_t) {}), std::runtime_error) << threads;
    EXPECT_EQ(running.load(), 0);
  }
}

}  // namespace
}  // namespace kv
