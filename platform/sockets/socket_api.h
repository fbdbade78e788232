// Thin wrappers over the POSIX socket calls in the shape the network
// components use: IPv4 only, every socket non-blocking and close-on-exec, no
// SIGPIPE ever (MSG_NOSIGNAL), failures return -1 and leave the socket error
// number (winsock_errors.h) for WSAGetLastError.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sockets/socket_events.h"
#include "platform/sockets/winsock_errors.h"

namespace kv {

constexpr int32_t SOCKET_ERROR = -1;
constexpr int32_t AF_INET_FAMILY = 2;
constexpr int32_t SOCK_STREAM_TYPE = 1;
constexpr int32_t SOCK_DGRAM_TYPE = 2;
constexpr uint32_t INADDR_NONE_VALUE = 0xFFFFFFFFu;
constexpr int32_t MSG_OOB_FLAG = 1;
constexpr int32_t MSG_PEEK_FLAG = 2;

// The 16-byte IPv4 socket address: family, port and address in network order.
struct TSockAddrIn {
  uint16_t sin_family = AF_INET_FAMILY;
  uint16_t sin_port = 0;
  uint32_t sin_addr = 0;
  uint8_t sin_zero[8] = {};
};
static_assert(sizeof(TSockAddrIn) == 16);

uint16_t WsHtons(uint16_t V);
uint16_t WsNtohs(uint16_t V);
uint32_t WsHtonl(uint32_t V);
uint32_t WsNtohl(uint32_t V);

TSocket WsSocket(int32_t Type, int32_t Protocol);
int32_t WsBind(TSocket S, const TSockAddrIn& Addr);
// 0 or -1 with WSAEWOULDBLOCK while the connect goes on; the outcome arrives as FD_CONNECT.
int32_t WsConnect(TSocket S, const TSockAddrIn& Addr);
int32_t WsListen(TSocket S, int32_t Backlog);
// The accepted socket (non-blocking). When descriptors run out the waiting
// connection is taken and dropped, so the listener does not stay ready
// forever, and the result is -1 with WSAEMFILE.
TSocket WsAccept(TSocket S, TSockAddrIn* Addr);
int32_t WsSend(TSocket S, const void* Data, int32_t Len, int32_t Flags);
int32_t WsSendTo(TSocket S, const void* Data, int32_t Len, int32_t Flags, const TSockAddrIn& To);
int32_t WsRecv(TSocket S, void* Buf, int32_t Len, int32_t Flags);
// Gathers Count pieces into one send; bytes taken or -1.
int32_t WsSendPieces(TSocket S, const std::string_view* Pieces, int32_t Count);
// Sends up to Count bytes of the open file File from *Offset on, advancing it;
// bytes taken or -1.
int64_t WsSendFile(TSocket S, int File, int64_t* Offset, int64_t Count);
int32_t WsRecvFrom(TSocket S, void* Buf, int32_t Len, int32_t Flags, TSockAddrIn* From);
// Stops the notifications and closes once; the descriptor is gone whatever
// close reports, so it is never closed again.
int32_t WsCloseSocket(TSocket S);
int32_t WsShutdown(TSocket S, int32_t How);
// Bytes waiting to be read (FIONREAD), -1 on failure.
int32_t WsPendingBytes(TSocket S);
int32_t WsGetPeerName(TSocket S, TSockAddrIn& Addr);
int32_t WsGetSockName(TSocket S, TSockAddrIn& Addr);

enum TWsOption : uint8_t { woReuseAddr, woKeepAlive, woBroadcast, woNoDelay };
int32_t WsSetOption(TSocket S, TWsOption Option, bool On);
int32_t WsSetLinger(TSocket S, bool On, int32_t Seconds);

// inet_addr: INADDR_NONE_VALUE for text that is no address.
uint32_t WsInetAddr(const std::string& Text);
std::string WsInetNtoa(uint32_t NetAddr);
// After leading blanks exactly four decimal numbers up to 255 joined by dots,
// then only blanks.
bool WsIsDottedIP(const std::string& Text);
// Port in host order from a service name; false when unknown.
bool WsGetServByName(const std::string& Name, const std::string& Proto, uint16_t& Port);
bool WsGetProtoByName(const std::string& Name, int32_t& Proto);
// Blocking forward look-up: IPv4 addresses in network order, or the error.
int32_t WsGetHostByName(const std::string& Name, std::vector<uint32_t>& Addrs);
bool WsGetHostName(std::string& Name);
// The machine's own IPv4 addresses, from its interfaces (loopback last).
std::vector<std::string> WsLocalAddresses();

// Look-ups on a worker thread. The answer is posted to Wnd as Msg with WParam
// the request handle and the error in LParam's high word; TakeLookupAnswer
// then gives the result. The handle is known before any answer can arrive.
struct TLookupAnswer {
  int32_t Error = 0;
  std::vector<uint32_t> Addrs;  // forward: network order
  std::string HostName;         // reverse
};
uint32_t StartHostLookup(HWND Wnd, UINT Msg, const std::string& Name);
uint32_t StartAddrLookup(HWND Wnd, UINT Msg, uint32_t NetAddr);
bool TakeLookupAnswer(uint32_t Handle, TLookupAnswer& Answer);
// The answer of a cancelled request is never posted.
bool CancelHostLookup(uint32_t Handle);

}  // namespace kv
