// The epoll set behind the socket notifications. Every descriptor is added
// once, edge-triggered for reading, writing and hang-ups, and stays so until
// it is forgotten: what the kernel reports is remembered here, and reported
// to the window when the owner is ready for it, so that the set needs no
// change per request.
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
  bool Stream = false;        // a short read means the socket is empty
  bool Readable = false;      // bytes (or connections) may wait
  bool PeerClosed = false;    // the peer ended its sending side
  bool Broken = false;        // hung up or failed
};

constexpr uint32_t kWatched = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;

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
      const bool stream = static_cast<size_t>(S) < FStream.size() && FStream[S];
      w = TWatch{};
      w.Used = true;
      w.Stream = stream;
      w.Generation = ++FGeneration == 0 ? ++FGeneration : FGeneration;
      // Readiness that came before is reported by the kernel on adding.
      epoll_event ev{};
      ev.events = kWatched;
      ev.data.u64 = Token(S, w);
      if (::epoll_ctl(FEpoll, EPOLL_CTL_ADD, S, &ev) != 0) {
        w.Used = false;
        WSASetLastError(WinsockErrorFromErrno(errno));
        return 0;
      }
    }
    w.Wnd = Wnd;
    w.Msg = Msg;
    w.Events = Events;
    // What waited while nothing (or something else) was wanted comes now.
    if (!fresh) Recheck(S, w);
    return Token(S, w);
  }

  void Forget(TSocket S) {
    if (S >= 0 && static_cast<size_t>(S) < FStream.size()) FStream[S] = false;
    TWatch* w = Find(S);
    if (!w) return;
    ::epoll_ctl(FEpoll, EPOLL_CTL_DEL, S, nullptr);
    w->Used = false;
  }

  void NoteStream(TSocket S) {
    if (S < 0) return;
    if (static_cast<size_t>(S) >= FStream.size()) FStream.resize(static_cast<size_t>(S) + 64);
    FStream[S] = true;
  }

  void Connecting(TSocket S, TWatch& W) {
    W.Connecting = true;
    // A socket not yet connected counts as hung up; that was no news, and
    // the session starts afresh.
    W.Readable = W.PeerClosed = W.Broken = W.CloseReported = W.AwaitingRead = false;
    // A connect that ended already is reported like one that ends later.
    Recheck(S, W);
  }

  void ReadDone(TSocket S, TWatch& W, bool Drained) {
    W.AwaitingRead = false;
    if (Drained) W.Readable = false;
    if (W.Readable || ((W.PeerClosed || W.Broken) && !W.CloseReported)) Recheck(S, W);
  }

  // The owner is ready for more and more may wait: the kernel is asked to
  // look again, and reports it like fresh readiness if so.
  void Recheck(TSocket S, TWatch& W) {
    epoll_event ev{};
    ev.events = kWatched;
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
        const uint32_t ready = evs[i].events;
        // The kernel tells the state as it is now, not only what changed.
        w->Readable = (ready & EPOLLIN) != 0;
        if (ready & EPOLLRDHUP) w->PeerClosed = true;
        if (ready & (EPOLLHUP | EPOLLERR)) w->Broken = true;
        Report(s, *w, ready);
      }
    });
  }

  // Ready: what the kernel has just reported.
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
    }
    // What came with the connect (the peer's greeting, say) is told in the
    // same notice, after it: no later edge would bring it.
    if (!W.Connecting && !((bits & FD_CONNECT) && error != 0)) {
      if ((Ready & EPOLLOUT) && W.WantWrite) {
        W.WantWrite = false;
        bits |= FD_WRITE;
      }
      if (W.Events & FD_ACCEPT) {
        if (W.Readable && !W.AwaitingRead) bits |= FD_ACCEPT;
      } else if (W.Events & (FD_READ | FD_CLOSE)) {
        const bool hangUp = W.PeerClosed || W.Broken;
        if (hangUp && !W.CloseReported && (!W.AwaitingRead || W.Broken)) {
          // Only a hang-up needs the count, to tell the last bytes from the
          // bare end.
          int waiting = 0;
          if (::ioctl(S, FIONREAD, &waiting) != 0) waiting = 0;
          if (waiting > 0 && !W.AwaitingRead) bits |= FD_READ;
          bits |= FD_CLOSE;
          error = PendingError(S);
        } else if (W.Readable && !W.AwaitingRead && !W.CloseReported) {
          bits |= FD_READ;
        }
      }
    }
    bits &= static_cast<uint16_t>(W.Events | FD_CONNECT);
    if (bits & (FD_READ | FD_ACCEPT)) W.AwaitingRead = true;
    if (bits & FD_CLOSE) W.CloseReported = true;
    if (!bits) return;
    PostMessage(W.Wnd, W.Msg, Token(S, W), LPARAM(bits) | (LPARAM(static_cast<uint16_t>(error)) << 16));
  }

  int FEpoll = -1;
  QSocketNotifier* FNotifier = nullptr;  // lives as long as the process
  uint32_t FGeneration = 0;
  std::vector<TWatch> FWatches;
  std::vector<bool> FStream;  // by descriptor: made as a stream socket
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
  if (TWatch* w = Events().Find(S)) Events().Connecting(S, *w);
}

void SocketEventsWantWrite(TSocket S) {
  // The edge comes when the socket, full now, can take more again.
  if (TWatch* w = Events().Find(S)) w->WantWrite = true;
}

void SocketEventsReadDone(TSocket S, int64_t Got, int64_t Asked, bool Peek) {
  if (TWatch* w = Events().Find(S)) {
    // Empty for sure: nothing came, the end came, or a stream socket gave
    // less than was asked for.
    const bool drained = Got < 0 || (Asked > 0 && (Got == 0 || (w->Stream && !Peek && Got < Asked)));
    Events().ReadDone(S, *w, drained);
  }
}

void SocketEventsStream(TSocket S) { Events().NoteStream(S); }

}  // namespace kv
