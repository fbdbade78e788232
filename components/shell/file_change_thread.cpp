#include "components/shell/file_change_thread.h"

#include <thread>

#include "platform/system/change_notify.h"
#include "platform/ui/message_window.h"

namespace kv {

namespace {

std::atomic<int32_t> gRunning{0};
constexpr UINT WM_CHANGE_ENDED = WM_USER + 0x4C1;

// The ends of watchers are handed to the GUI thread through one message window.
struct TEndPost {
  std::shared_ptr<TFileChangeThread> Thread;
  std::function<void()> OnEnd;
};

HWND EndWindow() {
  static HWND wnd = AllocateHWnd([](TMessage& Msg) {
    if (Msg.Msg != WM_CHANGE_ENDED) return;
    std::unique_ptr<TEndPost> post(reinterpret_cast<TEndPost*>(Msg.LParam));
    // A stop asked after the change came still wins: only the current watcher reports.
    if (post->Thread->Terminated() || !post->OnEnd) return;
    post->OnEnd();
  });
  return wnd;
}

}  // namespace

TFileChangeThread::TFileChangeThread(const std::string& Path, TFileChangeFilter Filter, bool WatchSubtree)
    : FPath(Path), FFilter(Filter), FSubtree(WatchSubtree) {}

TFileChangeThread::~TFileChangeThread() = default;

uint32_t TFileChangeThread::PlatformFilter(TFileChangeFilter Filter) {
  static constexpr uint32_t bits[] = {FILE_NOTIFY_CHANGE_FILE_NAME, FILE_NOTIFY_CHANGE_DIR_NAME,
                                      FILE_NOTIFY_CHANGE_ATTRIBUTES, FILE_NOTIFY_CHANGE_SIZE,
                                      FILE_NOTIFY_CHANGE_LAST_WRITE, FILE_NOTIFY_CHANGE_SECURITY};
  uint32_t f = 0;
  for (uint8_t i = 0; i <= fnSecurity; ++i)
    if (Filter.Contains(static_cast<TFileChangeNotify>(i))) f |= bits[i];
  return f;
}

std::shared_ptr<TFileChangeThread> TFileChangeThread::Start(const std::string& Path, TFileChangeFilter Filter,
                                                            bool WatchSubtree, std::function<void()> OnEnd) {
  EnsureMessageLoop();
  EndWindow();  // made on the GUI thread, before any thread posts to it
  auto t = std::make_shared<TFileChangeThread>(Path, Filter, WatchSubtree);
  t->FOnEnd = std::move(OnEnd);
  // Opened here, not on the thread: a change made right after Start is seen.
  t->FHandle = OpenChangeNotification(Path, WatchSubtree, PlatformFilter(Filter));
  ++gRunning;
  std::thread([t] { t->Execute(t); }).detach();
  return t;
}

void TFileChangeThread::Execute(std::shared_ptr<TFileChangeThread> Self) {
  if (FHandle < 0) {
    FNoNotify = true;
  } else {
    for (;;) {
      const TChangeWait w = WaitChangeNotification(FHandle, 10);
      if (FStop) {
        FNoNotify = true;
        break;
      }
      if (w != cwTimeout) break;
    }
    CloseChangeNotification(FHandle);
    FHandle = -1;
  }
  if (!FNoNotify) {
    auto* post = new TEndPost{Self, FOnEnd};
    if (!PostMessage(EndWindow(), WM_CHANGE_ENDED, 0, reinterpret_cast<LPARAM>(post))) delete post;
  }
  --gRunning;
}

int32_t TFileChangeThread::RunningCount() { return gRunning.load(); }

}  // namespace kv
