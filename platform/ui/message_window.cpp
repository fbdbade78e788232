// Hidden message windows over one process-wide queue. A single Qt event wakes
// the loop whenever the queue turns non-empty; the queue itself keeps the
// posting order across all windows, as a thread's message queue does.
#include "platform/ui/message_window.h"

#include <QtCore/QAbstractEventDispatcher>
#include <QtCore/QCoreApplication>
#include <QtCore/QEvent>
#include <QtCore/QObject>
#include <QtCore/QTimer>
#include <QtWidgets/QApplication>

#include <algorithm>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/ui/application.h"
#include "platform/ui/controls.h"
#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {

namespace {

struct TQueued {
  HWND Wnd;
  TMessage Msg;
};

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class TMessagePump : public QObject {
 public:
  bool event(QEvent* E) override {
    if (E->type() != kWakeEvent) return QObject::event(E);
    Drain();
    return true;
  }
  void Drain();
};

// Message windows start far above the controls' handles.
constexpr HWND kFirstMessageWindow = HWND(1) << 40;
HWND GNextWnd = kFirstMessageWindow;
std::unordered_map<HWND, std::shared_ptr<TWndMethod>>& Windows() {
  static auto* m = new std::unordered_map<HWND, std::shared_ptr<TWndMethod>>;
  return *m;
}

std::mutex GQueueLock;
std::deque<TQueued> GQueue;
std::unordered_set<HWND> GLiveWindows;  // under GQueueLock: posting threads check it
bool GWakePosted = false;
bool GHoldWake = false;  // PostAndDeliver delivers right after posting
TMessagePump* GPump = nullptr;

// Window timers; a tick is queued like any other message, at most one
// waiting per timer so a slow handler does not pile them up.
struct TWindowTimer {
  std::unique_ptr<QTimer> Timer;
};
std::map<std::pair<HWND, uintptr_t>, TWindowTimer>& Timers() {
  static auto* m = new std::map<std::pair<HWND, uintptr_t>, TWindowTimer>;
  return *m;
}

void Wake() {  // with GQueueLock held
  if (GWakePosted || GHoldWake || !GPump) return;
  GWakePosted = true;
  QCoreApplication::postEvent(GPump, new QEvent(kWakeEvent));
}

void Dispatch(const TQueued& Q) {
  TMessage m = Q.Msg;
  auto it = Windows().find(Q.Wnd);
  if (it != Windows().end()) {
    std::shared_ptr<TWndMethod> proc = it->second;  // survives DeallocateHWnd inside the call
    Guarded(nullptr, [&] { (*proc)(m); });
    return;
  }
  if (TWinControl* c = FindControl(Q.Wnd)) Guarded(c, [&] { c->Perform(m.Msg, m.WParam, m.LParam); });
}

// Handles what was queued when the drain began; later messages get the next
// turn, so a window that keeps posting to itself cannot starve the loop.
void TMessagePump::Drain() {
  size_t n;
  {
    std::lock_guard<std::mutex> g(GQueueLock);
    GWakePosted = false;
    n = GQueue.size();
  }
  while (n-- > 0) {
    TQueued q;
    {
      std::lock_guard<std::mutex> g(GQueueLock);
      if (GQueue.empty()) break;
      q = GQueue.front();
      GQueue.pop_front();
    }
    Dispatch(q);
  }
  std::lock_guard<std::mutex> g(GQueueLock);
  if (!GQueue.empty()) Wake();
}

}  // namespace

void EnsureMessageLoop() {
  if (!QCoreApplication::instance()) EnsureQtApplication();
  if (!GPump) {
    GPump = new TMessagePump;  // lives as long as the process
    std::lock_guard<std::mutex> g(GQueueLock);
    if (!GQueue.empty()) Wake();
  }
}

HWND AllocateHWnd(TWndMethod Proc) {
  EnsureMessageLoop();
  const HWND h = GNextWnd++;
  Windows()[h] = std::make_shared<TWndMethod>(std::move(Proc));
  std::lock_guard<std::mutex> g(GQueueLock);
  GLiveWindows.insert(h);
  return h;
}

void DeallocateHWnd(HWND Wnd) {
  if (!Wnd) return;
  Windows().erase(Wnd);
  std::erase_if(Timers(), [Wnd](const auto& t) { return t.first.first == Wnd; });
  std::lock_guard<std::mutex> g(GQueueLock);
  GLiveWindows.erase(Wnd);
  std::erase_if(GQueue, [Wnd](const TQueued& q) { return q.Wnd == Wnd; });
}

bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  if (!Wnd) return false;
  if (Wnd < kFirstMessageWindow) EnsureMessageLoop();  // controls post on the UI thread only
  std::lock_guard<std::mutex> g(GQueueLock);
  // A message window that is gone refuses the message; a control's handle
  // is taken as it is (controls are looked up on the UI thread when it is delivered).
  if (Wnd >= kFirstMessageWindow && !GLiveWindows.count(Wnd)) return false;
  GQueue.push_back(TQueued{Wnd, TMessage{Msg, WParam, LParam, 0}});
  Wake();
  return true;
}

void PostAndDeliver(const std::function<void()>& Post) {
  EnsureMessageLoop();
  {
    std::lock_guard<std::mutex> g(GQueueLock);
    GHoldWake = true;
  }
  try {
    Post();
  } catch (...) {
    std::lock_guard<std::mutex> g(GQueueLock);
    GHoldWake = false;
    if (!GQueue.empty()) Wake();
    throw;
  }
  {
    std::lock_guard<std::mutex> g(GQueueLock);
    GHoldWake = false;
  }
  GPump->Drain();  // wakes the loop for whatever it leaves
}

bool RemovePendingMessage(HWND Wnd, UINT Msg, TMessage* Removed) {
  std::lock_guard<std::mutex> g(GQueueLock);
  for (auto it = GQueue.begin(); it != GQueue.end(); ++it) {
    if (it->Msg.Msg != Msg || (Wnd != 0 && it->Wnd != Wnd)) continue;
    if (Removed) *Removed = it->Msg;
    GQueue.erase(it);
    return true;
  }
  return false;
}

int32_t PendingMessageCount() {
  std::lock_guard<std::mutex> g(GQueueLock);
  return static_cast<int32_t>(GQueue.size());
}

LRESULT SendMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  auto it = Windows().find(Wnd);
  if (it == Windows().end()) return 0;
  std::shared_ptr<TWndMethod> proc = it->second;
  TMessage m{Msg, WParam, LParam, 0};
  (*proc)(m);
  return m.Result;
}

bool SetTimer(HWND Wnd, uintptr_t IDEvent, uint32_t Elapse) {
  if (Elapse == 0 || Windows().find(Wnd) == Windows().end()) return false;
  TWindowTimer& t = Timers()[{Wnd, IDEvent}];
  if (!t.Timer) {
    t.Timer = std::make_unique<QTimer>();
    t.Timer->setTimerType(Qt::CoarseTimer);
    QObject::connect(t.Timer.get(), &QTimer::timeout, [Wnd, IDEvent] {
      bool queued;
      {
        std::lock_guard<std::mutex> g(GQueueLock);
        queued = std::any_of(GQueue.begin(), GQueue.end(), [&](const TQueued& q) {
          return q.Wnd == Wnd && q.Msg.Msg == WM_TIMER && q.Msg.WParam == IDEvent;
        });
      }
      if (!queued) PostMessage(Wnd, WM_TIMER, IDEvent, 0);
    });
  }
  t.Timer->start(static_cast<int>(std::min<uint32_t>(Elapse, 0x7FFFFFFF)));
  return true;
}

bool KillTimer(HWND Wnd, uintptr_t IDEvent) { return Timers().erase({Wnd, IDEvent}) > 0; }

void ProcessPendingMessages() {
  EnsureMessageLoop();
  if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
    Application->ProcessMessages();
    return;
  }
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void WaitForMessages(uint32_t MaxWaitMs) {
  EnsureMessageLoop();
  QAbstractEventDispatcher* d = QAbstractEventDispatcher::instance();
  if (!d) return;
  // The timer only ends the sleep; its own event needs no handler.
  QTimer wake;
  if (MaxWaitMs > 0) {
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(std::min<uint32_t>(MaxWaitMs, 0x7FFFFFFF)));
  }
  d->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool MessageLoopEnding() {
  return (Application && Application->Terminated()) || QCoreApplication::closingDown();
}

uint64_t TickCount64() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

}  // namespace kv
