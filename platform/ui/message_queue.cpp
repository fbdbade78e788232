// The posted-message queue, delivered through Qt's event loop.
#include "platform/ui/message_queue.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QMetaObject>
#include <deque>
#include <map>

#include "platform/ui/peer.h"
#include "platform/ui/qt_app.h"

namespace kv {

namespace {

struct TPosted {
  HWND Wnd;
  TMessage Message;
};

struct TQueue {
  std::deque<TPosted> Messages;
  std::map<HWND, TWndMethod> Windows;
  // Message windows get ids far above those of controls, so the two never meet.
  HWND NextWindow = 0x40000000;
  bool Scheduled = false;
};

// Never freed: hidden windows of other process-wide objects may outlive any order of static destruction.
TQueue& Queue() {
  static TQueue* q = new TQueue;
  return *q;
}

void Deliver() {
  TQueue& q = Queue();
  q.Scheduled = false;
  // Only what was queued before this round: a handler that posts again
  // must not keep the loop here forever.
  size_t n = q.Messages.size();
  while (n-- > 0 && !q.Messages.empty()) {
    TPosted p = q.Messages.front();
    q.Messages.pop_front();
    if (auto it = q.Windows.find(p.Wnd); it != q.Windows.end()) {
      TWndMethod method = it->second;  // a handler may deallocate its own window
      Guarded(nullptr, [&] { method(p.Message); });
    } else if (TWinControl* c = FindControl(p.Wnd)) {
      Guarded(c, [&] { c->WindowProc(p.Message); });
    }
  }
}

void Schedule() {
  TQueue& q = Queue();
  if (q.Scheduled) return;
  q.Scheduled = true;
  QMetaObject::invokeMethod(QCoreApplication::instance(), [] { Deliver(); }, Qt::QueuedConnection);
}

}  // namespace

HWND AllocateHWnd(TWndMethod Method) {
  TQueue& q = Queue();
  const HWND h = q.NextWindow++;
  q.Windows[h] = std::move(Method);
  return h;
}

void DeallocateHWnd(HWND Wnd) {
  TQueue& q = Queue();
  if (q.Windows.erase(Wnd) == 0) return;
  std::erase_if(q.Messages, [Wnd](const TPosted& p) { return p.Wnd == Wnd; });
}

bool PostMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam) {
  TQueue& q = Queue();
  if (!q.Windows.count(Wnd) && !FindControl(Wnd)) return false;
  EnsureQtApplication();
  q.Messages.push_back(TPosted{Wnd, TMessage{Msg, WParam, LParam, 0}});
  Schedule();
  return true;
}

bool RemovePendingMessage(HWND Wnd, UINT Msg, TMessage* Removed) {
  auto& m = Queue().Messages;
  for (auto it = m.begin(); it != m.end(); ++it) {
    if (it->Message.Msg != Msg || (Wnd != 0 && it->Wnd != Wnd)) continue;
    if (Removed) *Removed = it->Message;
    m.erase(it);
    return true;
  }
  return false;
}

int32_t PendingMessageCount() { return static_cast<int32_t>(Queue().Messages.size()); }

}  // namespace kv
