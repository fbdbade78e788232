// TFileChangeThread: the worker that watches one folder for changes and,
// when one comes, runs its end handler on the GUI thread. A watcher asked to
// stop never runs it. Each watcher frees itself when its thread ends; its
// owner keeps only a handle to ask it to stop.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/rtl/set.h"

namespace kv {

enum TFileChangeNotify : uint8_t { fnFileName, fnDirName, fnAttributes, fnSize, fnLastWrite, fnSecurity };
using TFileChangeFilter = TSet<TFileChangeNotify, 8>;

class TFileChangeThread {
 public:
  // Path, filter and subtree flag are fixed before the thread starts.
  // OnEnd runs on the GUI thread once, when a change came (or the wait
  // failed) and no stop was asked.
  static std::shared_ptr<TFileChangeThread> Start(const std::string& Path, TFileChangeFilter Filter,
                                                  bool WatchSubtree, std::function<void()> OnEnd);
  ~TFileChangeThread();
  TFileChangeThread(const TFileChangeThread&) = delete;
  TFileChangeThread& operator=(const TFileChangeThread&) = delete;

  // Asks the thread to stop; returns at once (the thread ends within 10 ms).
  void Terminate() { FStop = true; }
  bool Terminated() const { return FStop; }
  const std::string& Path() const { return FPath; }
  TFileChangeFilter Filter() const { return FFilter; }
  bool WatchSubtree() const { return FSubtree; }
  // Set when the thread ended without reporting (no notification, or stopped).
  bool NoNotify() const { return FNoNotify; }

  // Watcher threads running now, for tests.
  static int32_t RunningCount();
  // The platform's bits of a filter.
  static uint32_t PlatformFilter(TFileChangeFilter Filter);

  TFileChangeThread(const std::string& Path, TFileChangeFilter Filter, bool WatchSubtree);

 private:
  void Execute(std::shared_ptr<TFileChangeThread> Self);

  const std::string FPath;
  const TFileChangeFilter FFilter;
  const bool FSubtree;
  std::atomic<bool> FStop{false};
  std::atomic<bool> FNoNotify{false};
  int32_t FHandle = -1;
  std::function<void()> FOnEnd;
};

}  // namespace kv
