// Readiness of every socket of the process comes from one epoll set watched by
// one notifier of the message loop; each readiness becomes a notification
// message posted to the socket's own window, as the components expect:
// WParam the socket token, LParam's low word the FD_ bits, high word the error.
//
// Each kind of readiness is reported once and then waits for the owner, so a
// slow handler never floods the queue: read and accept readiness again once
// the owner has read or accepted and more may wait, write readiness when a
// send would block again, the peer's close only once, so nothing spins on a
// closed peer.
#pragma once
#include <cstdint>

#include "platform/ui/messages.h"

namespace kv {

using TSocket = int32_t;
constexpr TSocket INVALID_SOCKET = -1;

constexpr uint16_t FD_READ = 0x01;
constexpr uint16_t FD_WRITE = 0x02;
constexpr uint16_t FD_OOB = 0x04;
constexpr uint16_t FD_ACCEPT = 0x08;
constexpr uint16_t FD_CONNECT = 0x10;
constexpr uint16_t FD_CLOSE = 0x20;

// Descriptor plus the generation of its registration: a notification that
// arrives for a descriptor closed and reused since carries an old token.
using TSocketToken = uint64_t;
constexpr TSocket SocketOfToken(TSocketToken T) { return static_cast<TSocket>(T & 0xFFFFFFFFu); }

// Starts watching the descriptor for Events (FD_ bits; 0 watches nothing),
// posting Msg to Wnd. Registering an already watched descriptor only changes
// window, message and events. Returns the token; 0 when epoll refused it.
TSocketToken WSAAsyncSelect(TSocket S, HWND Wnd, UINT Msg, uint16_t Events);
// The token of a watched descriptor, 0 when it is not watched.
TSocketToken SocketToken(TSocket S);
// Stops watching; call before closing the descriptor.
void SocketEventsForget(TSocket S);
// A connect was started: report FD_CONNECT (with the outcome) when it ends.
void SocketEventsConnecting(TSocket S);
// A send would block: report FD_WRITE once the socket can take more.
void SocketEventsWantWrite(TSocket S);
// The owner read or accepted (Got: bytes or connections taken, -1 on
// failure, of Asked; Peek when nothing was taken away): read/accept
// readiness may be reported again, unless the socket is known to be empty.
void SocketEventsReadDone(TSocket S, int64_t Got, int64_t Asked, bool Peek = false);
// The descriptor is a stream socket: a read shorter than asked empties it.
void SocketEventsStream(TSocket S);

}  // namespace kv
