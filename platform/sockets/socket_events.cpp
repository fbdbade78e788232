// The epoll set behind the socket notifications. Every descriptor stays in the
// set while watched, armed one-shot: readiness disarms it, a notification is
// posted, and it is armed again when the window is done with it.
#include "platform/sockets/socket_events.h"

#include <QtCore/QObject>
#include <QtCore/QSocketNotifier>
#include <sys/epoll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/sockets/winsock_errors.h"
#include "platform/ui/message_window.h"

namespace kv {

namespace {

struct TWatch {
  bool Used = false;
  uint32_t Generation = 0;
  HWND Wnd = 0;
  UINT Msg = 0;
  uint16_t Events = 0;
  bool Connecting = false;
  bool WantWrite = false;
  bool AwaitingRead = false;  // read/accept was reported; no read since
  bool CloseReported = false;
};

class TSocketEvents {
 public:
  TSocketEvents() {
    FEpoll = ::epoll_create1(EPOLL_CLOEXEC);
    if (FEpoll < 0) return;
    EnsureMessageLoop();
    FNotifier = new QSocketNotifier(FEpoll, QSocketNotifier::Read);
    QObject::connect(FNotifier, &QSocketNotifier::activated, [this] { Collect(); });
  }

  TWatch* Find(TSocket S) {
    if (S < 0 || static_cast<size_t>(S) >= FWatches.size() || !FWatches[S].Used) return nullptr;
    return &FWatches[S];
  }

  TSocketToken Select(TSocket S, HWND Wnd, UINT Msg, uint16_t Events) {
    if (FEpoll < 0 || S < 0) return 0;
    if (static_cast<size_t>(S) >= FWatches.size()) FWatches.resize(static_cast<size_t>(S) + 64);
    TWatch& w = FWatches[S];
    const bool fresh = !w.Used;
    if (fresh) {
      w = TWatch{};
      w.Used = true;
      w.Generation = ++FGeneration == 0 ? ++FGeneration : FGeneration;
    }
    w.Wnd = Wnd;
    w.Msg = Msg;
    w.Events = Events;
    epoll_event ev{};
    ev.events = EPOLLONESHOT;
    ev.data.u64 = Token(S, w);
    if (fresh && ::epoll_ctl(FEpoll, EPOLL_CTL_ADD, S, &ev) != 0) {
      w.Used = false;
      WSASetLastError(WinsockErrorFromErrno(errno));
      return 0;
    }
    Arm(S, w);
    return Token(S, w);
  }

  void Forget(TSocket S) {
    TWatch* w = Find(S);
    if (!w) return;
    ::epoll_ctl(FEpoll, EPOLL_CTL_DEL, S, nullptr);
    w->Used = false;
  }

  void Arm(TSocket S, TWatch& W) {
    uint32_t want = 0;
    if ((W.Events & (FD_READ | FD_ACCEPT | FD_CLOSE)) && !W.AwaitingRead && !W.CloseReported)
      want |= EPOLLIN | EPOLLRDHUP;
    if (W.Connecting || (W.WantWrite && (W.Events & FD_WRITE))) want |= EPOLLOUT;
    epoll_event ev{};
    // With nothing wanted only errors and hang-ups are watched, one-shot.
    ev.events = want | EPOLLONESHOT;
    ev.data.u64 = Token(S, W);
    ::epoll_ctl(FEpoll, EPOLL_CTL_MOD, S, &ev);
  }

  static TSocketToken Token(TSocket S, const TWatch& W) {
    return (TSocketToken(W.Generation) << 32) | static_cast<uint32_t>(S);
  }

 private:
  static int32_t PendingError(TSocket S) {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(S, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    return WinsockErrorFromErrno(err);
  }

  void Collect() {
    // The notices go out as soon as all are queued, still in queue order.
    PostAndDeliver([this] {
      epoll_event evs[256];
      const int n = ::epoll_wait(FEpoll, evs, 256, 0);
      for (int i = 0; i < n; ++i) {
        const TSocket s = SocketOfToken(evs[i].data.u64);
        TWatch* w = Find(s);
        if (!w || Token(s, *w) != evs[i].data.u64) continue;  // closed and maybe reused since
        Report(s, *w, evs[i].events);
      }
    });
  }

  void Report(TSocket S, TWatch& W, uint32_t Ready) {
    uint16_t bits = 0;
    int32_t error = 0;
    if (W.Connecting) {
      if (Ready & (EPOLLOUT | EPOLLERR | EPOLLHUP)) {
        W.Connecting = false;
        bits |= FD_CONNECT;
        error = PendingError(S);
        if (error == 0 && (Ready & (EPOLLERR | EPOLLHUP))) error = WSAECONNREFUSED;
      }
    } else {
      if ((Ready & EPOLLOUT) && W.WantWrite) {
        W.WantWrite = false;
        bits |= FD_WRITE;
      }
      if (W.Events & FD_ACCEPT) {
        if (Ready & EPOLLIN) bits |= FD_ACCEPT;
      } else if (Ready & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) {
        // Readable without a hang-up means bytes wait; only a hang-up needs
        // the count, to tell the last bytes from the bare end.
        int waiting = 1;
        if ((Ready & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) && ::ioctl(S, FIONREAD, &waiting) != 0) waiting = 0;
        if (waiting > 0) bits |= FD_READ;
        if (!W.CloseReported &&
            ((Ready & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) || (waiting == 0 && (Ready & EPOLLIN)))) {
          bits |= FD_CLOSE;
          error = PendingError(S);
        }
      }
    }
    bits &= static_cast<uint16_t>(W.Events | FD_CONNECT);
    if (bits & (FD_READ | FD_ACCEPT)) W.AwaitingRead = true;
    if (bits & FD_CLOSE) W.CloseReported = true;
    // Nothing the owner asked for (a hang-up already reported, say): stay
    // disarmed until the owner wants something again, rather than spin.
    if (!bits) return;
    PostMessage(W.Wnd, W.Msg, Token(S, W), LPARAM(bits) | (LPARAM(static_cast<uint16_t>(error)) << 16));
    Arm(S, W);
  }

  int FEpoll = -1;
  QSocketNotifier* FNotifier = nullptr;  // lives as long as the process
  uint32_t FGeneration = 0;
  std::vector<TWatch> FWatches;
};

TSocketEvents& Events() {
  static auto* e = new TSocketEvents;  // notifications may arrive until the process ends
  return *e;
}

}  // namespace

TSocketToken WSAAsyncSelect(TSocket S, HWND Wnd, UINT Msg, uint16_t Events) {
  return kv::Events().Select(S, Wnd, Msg, Events);
}

TSocketToken SocketToken(TSocket S) {
  TWatch* w = Events().Find(S);
  return w ? TSocketEvents::Token(S, *w) : 0;
}

void SocketEventsForget(TSocket S) { Events().Forget(S); }

void SocketEventsConnecting(TSocket S) {
  if (TWatch* w = Events().Find(S)) {
    w->Connecting = true;
    Events().Arm(S, *w);
  }
}

void SocketEventsWantWrite(TSocket S) {
  if (TWatch* w = Events().Find(S)) {
    if (w->WantWrite) return;
    w->WantWrite = true;
    Events().Arm(S, *w);
  }
}

void SocketEventsReadDone(TSocket S) {
  if (TWatch* w = Events().Find(S)) {
    if (!w->AwaitingRead) return;
    w->AwaitingRead = false;
    Events().Arm(S, *w);
  }
}

}  // namespace kv
