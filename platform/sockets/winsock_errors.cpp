#include "platform/sockets/winsock_errors.h"

#include <netdb.h>

#include <cerrno>

namespace kv {

namespace {

thread_local int32_t GLastError = 0;

struct TErrnoMap {
  int Errno;
  int32_t Code;
};

// EAGAIN and EWOULDBLOCK are one value on Linux; EPIPE is what a send meets
// when the peer has gone, which the components treat as a reset.
constexpr TErrnoMap kErrnoMap[] = {
    {EINTR, WSAEINTR},           {EBADF, WSAEBADF},
    {EACCES, WSAEACCES},         {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},         {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},         {ENFILE, WSAEMFILE},
    {EAGAIN, WSAEWOULDBLOCK},    {EINPROGRESS, WSAEWOULDBLOCK},
    {EALREADY, WSAEALREADY},     {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ}, {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE}, {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT}, {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP}, {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT}, {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL}, {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH}, {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED}, {ECONNRESET, WSAECONNRESET},
    {EPIPE, WSAECONNRESET},      {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},        {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},     {ESHUTDOWN, WSAESHUTDOWN},
    {ETOOMANYREFS, WSAETOOMANYREFS}, {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED}, {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG}, {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH}, {ENOTEMPTY, WSAENOTEMPTY},
    {EUSERS, WSAEUSERS},         {EDQUOT, WSAEDQUOT},
    {ESTALE, WSAESTALE},         {EREMOTE, WSAEREMOTE},
};

struct TErrorText {
  int32_t Code;
  const char* Text;
};

constexpr TErrorText kTexts[] = {
    {0, "No Error"},
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Address not available"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Connection aborted"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references: can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network sub-system is unusable"},
    {10092, "WinSock DLL cannot support this application"},
    {10093, "WinSock not initialized"},
    {11001, "Host not found"},
    {11002, "Non-authoritative host not found"},
    {11003, "Non-recoverable error"},
    {11004, "No Data"},
};

}  // namespace

int32_t WinsockErrorFromErrno(int Errno) {
  if (Errno == 0) return 0;
  for (const TErrnoMap& m : kErrnoMap)
    if (m.Errno == Errno) return m.Code;
  return 20000 + Errno;
}

int32_t WinsockErrorFromResolver(int GaiCode) {
  switch (GaiCode) {
    case 0: return 0;
    case EAI_NONAME: return WSAHOST_NOT_FOUND;
    case EAI_AGAIN: return WSATRY_AGAIN;
    case EAI_FAIL: return WSANO_RECOVERY;
#ifdef EAI_NODATA
    case EAI_NODATA: return WSANO_DATA;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return WSANO_DATA;
#endif
    case EAI_MEMORY: return WSAENOBUFS;
    case EAI_SYSTEM: return WinsockErrorFromErrno(errno);
    default: return WSANO_RECOVERY;
  }
}

int32_t WSAGetLastError() { return GLastError; }
void WSASetLastError(int32_t Code) { GLastError = Code; }

std::string NetSocketErrorText(int32_t Code) {
  for (const TErrorText& t : kTexts)
    if (t.Code == Code) return t.Text;
  return "Not a WinSock error";
}

std::string WinsockErrorMessage(int32_t Code) {
  return NetSocketErrorText(Code) + " (Winsock error #" + std::to_string(Code) + ")";
}

}  // namespace kv
