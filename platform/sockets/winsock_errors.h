// The socket error numbers the network components report, and the one table
// that turns system errors (errno, resolver codes) into them, so messages
// read "Connection refused (Winsock error #10061)" on every path.
#pragma once
#include <cstdint>
#include <string>

namespace kv {

constexpr int32_t WSABASEERR = 10000;
constexpr int32_t WSAEINTR = 10004;
constexpr int32_t WSAEBADF = 10009;
constexpr int32_t WSAEACCES = 10013;
constexpr int32_t WSAEFAULT = 10014;
constexpr int32_t WSAEINVAL = 10022;
constexpr int32_t WSAEMFILE = 10024;
constexpr int32_t WSAEWOULDBLOCK = 10035;
constexpr int32_t WSAEINPROGRESS = 10036;
constexpr int32_t WSAEALREADY = 10037;
constexpr int32_t WSAENOTSOCK = 10038;
constexpr int32_t WSAEDESTADDRREQ = 10039;
constexpr int32_t WSAEMSGSIZE = 10040;
constexpr int32_t WSAEPROTOTYPE = 10041;
constexpr int32_t WSAENOPROTOOPT = 10042;
constexpr int32_t WSAEPROTONOSUPPORT = 10043;
constexpr int32_t WSAESOCKTNOSUPPORT = 10044;
constexpr int32_t WSAEOPNOTSUPP = 10045;
constexpr int32_t WSAEPFNOSUPPORT = 10046;
constexpr int32_t WSAEAFNOSUPPORT = 10047;
constexpr int32_t WSAEADDRINUSE = 10048;
constexpr int32_t WSAEADDRNOTAVAIL = 10049;
constexpr int32_t WSAENETDOWN = 10050;
constexpr int32_t WSAENETUNREACH = 10051;
constexpr int32_t WSAENETRESET = 10052;
constexpr int32_t WSAECONNABORTED = 10053;
constexpr int32_t WSAECONNRESET = 10054;
constexpr int32_t WSAENOBUFS = 10055;
constexpr int32_t WSAEISCONN = 10056;
constexpr int32_t WSAENOTCONN = 10057;
constexpr int32_t WSAESHUTDOWN = 10058;
constexpr int32_t WSAETOOMANYREFS = 10059;
constexpr int32_t WSAETIMEDOUT = 10060;
constexpr int32_t WSAECONNREFUSED = 10061;
constexpr int32_t WSAELOOP = 10062;
constexpr int32_t WSAENAMETOOLONG = 10063;
constexpr int32_t WSAEHOSTDOWN = 10064;
constexpr int32_t WSAEHOSTUNREACH = 10065;
constexpr int32_t WSAENOTEMPTY = 10066;
constexpr int32_t WSAEPROCLIM = 10067;
constexpr int32_t WSAEUSERS = 10068;
constexpr int32_t WSAEDQUOT = 10069;
constexpr int32_t WSAESTALE = 10070;
constexpr int32_t WSAEREMOTE = 10071;
constexpr int32_t WSASYSNOTREADY = 10091;
constexpr int32_t WSAVERNOTSUPPORTED = 10092;
constexpr int32_t WSANOTINITIALISED = 10093;
constexpr int32_t WSAHOST_NOT_FOUND = 11001;
constexpr int32_t WSATRY_AGAIN = 11002;
constexpr int32_t WSANO_RECOVERY = 11003;
constexpr int32_t WSANO_DATA = 11004;

// errno to socket error number (0 stays 0; an unknown errno keeps its value
// above 20000 so it never poses as a known one).
int32_t WinsockErrorFromErrno(int Errno);
// getaddrinfo/getnameinfo result codes.
int32_t WinsockErrorFromResolver(int GaiCode);

// The calling thread's last socket error, as the wrappers of socket_api.h set it.
int32_t WSAGetLastError();
void WSASetLastError(int32_t Code);

// "Connection refused" for 10061, "Not a WinSock error" for unknown codes.
std::string NetSocketErrorText(int32_t Code);
// "Connection refused (Winsock error #10061)".
std::string WinsockErrorMessage(int32_t Code);

}  // namespace kv
