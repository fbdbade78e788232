// TCustomNetSocket: state, properties, connect/listen/accept, sending through
// the chunk chain, the notification handling and closing.
#include "net/net_socket.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/strings.h"
#include "platform/ui/message_window.h"

namespace kv {

namespace {

std::string TrimBlanks(const std::string& S) {
  size_t b = 0, e = S.size();
  while (b < e && static_cast<unsigned char>(S[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(S[e - 1]) <= ' ') --e;
  return S.substr(b, e - b);
}


}  // namespace

// ---- resolvers ----

bool NetSocketIsDottedIP(const std::string& Text) { return WsIsDottedIP(Text); }

uint32_t NetSocketResolveHost(const std::string& InAddr) {
  if (InAddr.empty() || InAddr.size() > 256)
    throw ESocketException("NetSocketResolveHost: '" + InAddr + "' Invalid Hostname.");
  const std::string s = TrimBlanks(InAddr);
  if (WsIsDottedIP(s)) {
    const uint32_t a = WsInetAddr(s);
    if (a == INADDR_NONE_VALUE && s != "255.255.255.255")
      throw ESocketException("NetSocketResolveHost: '" + InAddr + "' Invalid IP address.");
    return a;
  }
  std::vector<uint32_t> addrs;
  const int32_t err = WsGetHostByName(s, addrs);
  if (err != 0)
    throw ESocketException("NetSocketResolveHost: Cannot convert host address '" + InAddr + "', Error #" +
                           std::to_string(err));
  return addrs.front();
}

uint16_t NetSocketResolvePort(const std::string& Port, const std::string& Proto) {
  if (Port.empty() || Port.size() >= 32) throw ESocketException("NetSocketResolvePort: Invalid Port.");
  size_t i = 0;
  while (i < Port.size() && Port[i] == ' ') ++i;
  if (i < Port.size() && Port[i] >= '0' && Port[i] <= '9') {
    uint32_t v = 0;
    while (i < Port.size() && Port[i] >= '0' && Port[i] <= '9') v = (v * 10 + uint32_t(Port[i++] - '0')) & 0xFFFFFu;
    return static_cast<uint16_t>(v);
  }
  uint16_t p = 0;
  if (!WsGetServByName(TrimBlanks(Port), TrimBlanks(Proto), p))
    throw ESocketException("NetSocketResolvePort: Cannot convert port '" + Port + "', Error #" +
                           std::to_string(WSANO_DATA));
  return p;
}

int32_t NetSocketResolveProto(const std::string& Proto) {
  if (Proto.empty() || Proto.size() >= 32) throw ESocketException("NetSocketResolveProto: Invalid Protocol.");
  size_t i = 0;
  while (i < Proto.size() && Proto[i] == ' ') ++i;
  if (i < Proto.size() && Proto[i] >= '0' && Proto[i] <= '9') {
    int32_t v = 0;
    while (i < Proto.size() && Proto[i] >= '0' && Proto[i] <= '9' && v < 100000) v = v * 10 + (Proto[i++] - '0');
    return v;
  }
  int32_t p = 0;
  if (!WsGetProtoByName(TrimBlanks(Proto), p))
    throw ESocketException("NetSocketResolveProto: Cannot convert protocol '" + Proto + "', Error #" +
                           std::to_string(WSANO_DATA));
  return p;
}

std::string GetLocalHostName() {
  std::string name;
  if (!WsGetHostName(name)) throw ESocketException("Winsock.GetHostName failed");
  return name;
}

TStringList* GetLocalAddresses() {
  static auto* list = new TStringList;  // shared, as callers expect; lives as long as the process
  list->Clear();
  for (const std::string& a : WsLocalAddresses()) list->Add(a);
  return list;
}

// ---- life ----

TCustomNetSocket::TCustomNetSocket(TComponent* AOwner) : TComponent(AOwner) {
  FDnsResultList = std::make_unique<TStringList>();
  FWindowHandle = AllocateHWnd([this](TMessage& M) {
    ++FDispatchDepth;
    try {
      WndProc(M);
    } catch (const Exception& E) {
      try {
        HandleBackGroundException(E);
      } catch (...) {
      }
    } catch (...) {
      --FDispatchDepth;
      throw;
    }
    if (--FDispatchDepth == 0 && FFreePending) delete this;
  });
  AssignDefaultValue();
}

TCustomNetSocket::~TCustomNetSocket() {
  TComponent::Destroying();
  try {
    CancelLookup();
  } catch (...) {
  }
  if (FState != wsClosed) {
    try {
      Close();
    } catch (...) {
    }
  }
  if (FHSocket != INVALID_SOCKET) {  // never leak the descriptor, whatever Close said
    WsCloseSocket(FHSocket);
    FHSocket = INVALID_SOCKET;
  }
  DeallocateHWnd(FWindowHandle);
  FWindowHandle = 0;
}

void TCustomNetSocket::FreeWhenIdle() {
  if (FDispatchDepth > 0) {
    FFreePending = true;
    return;
  }
  delete this;
}

void TCustomNetSocket::PostMessageToSelf(UINT Msg, WPARAM WParam, LPARAM LParam) {
  PostMessage(FWindowHandle, Msg, WParam, LParam);
}

void TCustomNetSocket::AssignDefaultValue() {
  FAddrFamily = AF_INET_FAMILY;
  Fsin = TSockAddrIn{};
  FProtoStr = "tcp";
  FProto = 6;
  FType = SOCK_STREAM_TYPE;
  FProtoAssigned = true;
  FProtoResolved = false;
  FAddrAssigned = false;
  FAddrResolved = false;
  FPortAssigned = false;
  FPortResolved = false;
  FLocalPortStr = "0";
  FLocalPortResolved = false;
  FLocalAddr = "0.0.0.0";
  FLingerOnOff = wsLingerOn;
  FLingerTimeout = 0;
  FHSocket = INVALID_SOCKET;
  FToken = 0;
  FState = wsClosed;
  FAllSent = true;
  FPaused = false;
  FCloseInvoked = false;
  FReadCount = 0;
  FDnsLookupForConnect = false;
}

// ---- properties ----

void TCustomNetSocket::SetAddr(const std::string& Value) {
  if (Value == FAddrStr && FAddrAssigned) return;
  if (FState != wsClosed) {
    RaiseException("Cannot change Addr if not closed");
    return;
  }
  FAddrStr = TrimBlanks(Value);
  FAddrAssigned = !FAddrStr.empty();
  FAddrResolved = false;
}

void TCustomNetSocket::SetRemotePort(const std::string& Value) {
  if (Value == FPortStr && FPortAssigned) return;
  if (FState != wsClosed) {
    RaiseException("Cannot change Port if not closed");
    return;
  }
  FPortStr = TrimBlanks(Value);
  FPortAssigned = !FPortStr.empty();
  FPortResolved = false;
}

void TCustomNetSocket::SetProtoValue(const std::string& Value) {
  if (Value == FProtoStr && FProtoAssigned) return;
  if (FState != wsClosed) {
    RaiseException("Cannot change Proto if not closed");
    return;
  }
  FProtoStr = TrimBlanks(Value);
  FProtoAssigned = !FProtoStr.empty();
  FProtoResolved = false;
}

void TCustomNetSocket::SetLocalPort(const std::string& Value) {
  if (FState != wsClosed) {
    RaiseException("Cannot change LocalPort if not closed");
    return;
  }
  FLocalPortStr = Value;
  FLocalPortResolved = false;
}

void TCustomNetSocket::SetLocalAddr(const std::string& Value) {
  if (FState != wsClosed) {
    RaiseException("Cannot change LocalAddr if not closed");
    return;
  }
  std::string v = TrimBlanks(Value);
  if (v.empty()) v = "0.0.0.0";
  const uint32_t a = WsInetAddr(v);
  if (a == INADDR_NONE_VALUE && v != "255.255.255.255") {
    RaiseException("SetLocalAddr(): Invalid IP address");
    return;
  }
  FLocalAddr = WsInetNtoa(a);
}

TSocketSendFlags TCustomNetSocket::SendFlags() const {
  switch (FSendFlags) {
    case 0: return wsSendNormal;
    case MSG_OOB_FLAG: return wsSendUrgent;
    default: throw ESocketException("Invalid internal SendFlags");
  }
}

void TCustomNetSocket::SetSendFlags(TSocketSendFlags Value) {
  switch (Value) {
    case wsSendNormal: FSendFlags = 0; break;
    case wsSendUrgent: FSendFlags = MSG_OOB_FLAG; break;
    default: RaiseException("Invalid SendFlags");
  }
}

void TCustomNetSocket::SetBufSize(int32_t Value) { FBufSize = Value > 0 ? Value : 1514; }

void TCustomNetSocket::ChangeState(TSocketState NewState) {
  const TSocketState old = FState;
  FState = NewState;
  DoChangeState(old, NewState);
}

// ---- errors ----

void TCustomNetSocket::RaiseException(const std::string& Msg) {
  if (OnError) {
    DoError();
    return;
  }
  throw ESocketException(Msg);
}

void TCustomNetSocket::SocketError(const std::string& FuncName) {
  const int32_t code = WSAGetLastError();
  const std::string line = "Error " + std::to_string(code) + " in function " + FuncName + "\r\n" +
                           WinsockErrorMessage(code);
  if (code == WSAECONNRESET || code == WSAENOTCONN) {
    if (FHSocket != INVALID_SOCKET) WsCloseSocket(FHSocket);
    FHSocket = INVALID_SOCKET;
    if (FState != wsClosed) ChangeState(wsClosed);
  }
  FLastError = code;
  RaiseException(line);
}

void TCustomNetSocket::HandleBackGroundException(const Exception& E) {
  bool canClose = true;
  if (OnBgException) {
    try {
      OnBgException(this, E, canClose);
    } catch (...) {
    }
  }
  if (canClose) {
    try {
      Abort();
    } catch (...) {
    }
  }
}

// ---- events ----

bool TCustomNetSocket::DoDataAvailable(uint16_t Error) {
  if (!OnDataAvailable) return false;
  OnDataAvailable(this, Error);
  return true;
}
void TCustomNetSocket::DoSessionAvailable(uint16_t Error) {
  if (OnSessionAvailable) OnSessionAvailable(this, Error);
}
void TCustomNetSocket::DoSessionConnected(uint16_t Error) {
  if (OnSessionConnected) OnSessionConnected(this, Error);
}
void TCustomNetSocket::DoSessionClosed(uint16_t Error) {
  if (OnSessionClosed) OnSessionClosed(this, Error);
}
void TCustomNetSocket::DoDataSent(uint16_t Error) {
  if (OnDataSent) OnDataSent(this, Error);
}
void TCustomNetSocket::DoChangeState(TSocketState OldState, TSocketState NewState) {
  if (OnChangeState) OnChangeState(this, OldState, NewState);
}
void TCustomNetSocket::DoDnsLookupDone(uint16_t Error) {
  if (OnDnsLookupDone) OnDnsLookupDone(this, Error);
}
void TCustomNetSocket::DoError() {
  if (OnError) OnError(this);
}

// ---- the window ----

void TCustomNetSocket::WndProc(TMessage& Msg) {
  switch (Msg.Msg) {
    case WM_ASYNCSELECT: HandleSelect(Msg); break;
    case WM_ASYNCGETHOSTBYNAME: HandleLookup(Msg, false); break;
    case WM_ASYNCGETHOSTBYADDR: HandleLookup(Msg, true); break;
    case WM_CLOSE_DELAYED: Close(); break;
    case WM_FREE_SOCKET: FreeWhenIdle(); break;
    case WM_TEST_EXCEPTION: throw ESocketException("Test exception in NetSocket");
    default: break;
  }
}

void TCustomNetSocket::HandleSelect(TMessage& Msg) {
  if (FPaused || FToken == 0 || static_cast<TSocketToken>(Msg.WParam) != FToken) return;
  const uint16_t events = LoWord(static_cast<uintptr_t>(Msg.LParam));
  const uint16_t error = HiWord(static_cast<uintptr_t>(Msg.LParam));
  const TSocketToken token = FToken;
  // Each step may close the socket or free it; the rest then no longer applies.
  auto gone = [&] { return FFreePending || FToken != token; };
  if (events & FD_CONNECT) {
    ChangeState(wsConnected);
    DoSessionConnected(error);
    if (error != 0 && FState != wsClosed) Close();
    if (gone()) return;
  }
  if (events & FD_READ) {
    ReceiveLoop(error);
    if (gone()) return;
  }
  if (events & FD_WRITE) {
    TryToSend();
    if (gone()) return;
    if (FAllSent) DoDataSent(error);
    if (gone()) return;
  }
  if (events & FD_ACCEPT) {
    DoSessionAvailable(error);
    if (gone()) return;
  }
  if ((events & FD_CLOSE) && FState != wsConnecting) {
    ReceiveLoop(0);
    if (FFreePending) return;
    if (!FCloseInvoked && FToken == token) {
      FCloseInvoked = true;
      DoSessionClosed(error);
    }
    if (!FFreePending && FState != wsClosed && FToken == token) Close();
  }
}

void TCustomNetSocket::ReceiveLoop(uint16_t Error) {
  const TSocketToken token = FToken;
  for (;;) {
    FLastError = 0;
    const uint64_t reads = FRecvCalls;
    try {
      if (!DoDataAvailable(Error)) {
        uint8_t junk[1024];
        if (DoRecv(junk, sizeof junk, 0) < 0 && FLastError == WSAEWOULDBLOCK) {
          FLastError = 0;
          break;
        }
      }
    } catch (...) {
      break;  // a failing handler ends the loop and nothing more
    }
    if (FFreePending || FToken != token || FHSocket == INVALID_SOCKET) break;
    if (FComponentOptions.Contains(wsoNoReceiveLoop)) break;
    if (FLastError != 0) break;
    // A handler that left the bytes waiting gets them with the next notice,
    // after it has read again, instead of being called in a tight loop.
    if (FRecvCalls == reads) break;
    // A read that came back short (or would block) emptied the socket; the
    // next notice brings what arrives later.
    if (FType != SOCK_DGRAM_TYPE) {
      if (FRecvDrained) break;
      continue;
    }
    // Datagrams come one per read, so only the count tells whether more wait.
    const int32_t waiting = WsPendingBytes(FHSocket);
    if (waiting < 0) {
      FLastError = WSAGetLastError();
      break;
    }
    if (waiting == 0) break;
  }
}

void TCustomNetSocket::HandleLookup(TMessage& Msg, bool Reverse) {
  const uint32_t handle = static_cast<uint32_t>(Msg.WParam);
  if (FDnsLookupHandle == 0 || handle != FDnsLookupHandle) return;
  FDnsLookupHandle = 0;
  TLookupAnswer a;
  if (!TakeLookupAnswer(handle, a)) return;
  const uint16_t error = static_cast<uint16_t>(a.Error);
  if (FDnsLookupForConnect) {  // the look-up Connect started for a host name
    FDnsLookupForConnect = false;
    if (error != 0 || a.Addrs.empty()) {
      const uint16_t e = error ? error : WSANO_DATA;
      FLastError = e;
      ChangeState(wsConnected);
      DoSessionConnected(e);
      if (!FFreePending && FState != wsClosed) Close();
      return;
    }
    FAddrValue = a.Addrs.front();
    FAddrResolved = true;
    ConnectResolved();
    return;
  }
  if (error == 0) {
    if (Reverse) {
      FDnsResult = a.HostName;
      FDnsResultList->Clear();
      FDnsResultList->Add(a.HostName);
    } else {
      for (uint32_t addr : a.Addrs) FDnsResultList->Add(WsInetNtoa(addr));
      if (!a.Addrs.empty()) FDnsResult = WsInetNtoa(a.Addrs.front());
    }
  }
  DoDnsLookupDone(error);
}

// ---- connect, listen, accept ----

void TCustomNetSocket::ResolveForConnect() {
  if (!FProtoResolved) {
    FProto = NetSocketResolveProto(FProtoStr);
    FType = FProto == 17 ? SOCK_DGRAM_TYPE : SOCK_STREAM_TYPE;
    FProtoResolved = true;
  }
  if (!FPortResolved) {
    FPortValue = NetSocketResolvePort(FPortStr, FProtoStr);
    FPortResolved = true;
  }
  if (!FLocalPortResolved) {
    FLocalPortValue = NetSocketResolvePort(FLocalPortStr, FProtoStr);
    FLocalPortResolved = true;
  }
  if (!FAddrResolved && WsIsDottedIP(FAddrStr)) {
    FAddrValue = NetSocketResolveHost(FAddrStr);
    FAddrResolved = true;
  }
}

void TCustomNetSocket::Connect() {
  if (FHSocket != INVALID_SOCKET && FState != wsClosed) {
    RaiseException("Connect: Socket already in use");
    return;
  }
  if (!FPortAssigned) {
    RaiseException("Connect: No Port Specified");
    return;
  }
  if (!FAddrAssigned) {
    RaiseException("Connect: No IP Address Specified");
    return;
  }
  if (!FProtoAssigned) {
    RaiseException("Connect: No Protocol Specified");
    return;
  }
  try {
    ResolveForConnect();
    if (!FAddrResolved && FAddrStr.size() > 256) NetSocketResolveHost(FAddrStr);  // raises "Invalid Hostname."
  } catch (const ESocketException& E) {
    RaiseException("connect: " + E.Message());
    return;
  }
  DeleteBufferedData();
  FHSocket = WsSocket(FType, FProto);
  FSendShut = false;
  if (FHSocket == INVALID_SOCKET) {
    SocketError("Connect (socket)");
    return;
  }
  ChangeState(wsOpened);
  if (FType == SOCK_DGRAM_TYPE) {
    BindSocket();
    if (FHSocket == INVALID_SOCKET) return;
    if (FAddrResolved && FAddrValue == INADDR_NONE_VALUE && WsSetOption(FHSocket, woBroadcast, true) != 0) {
      SocketError("setsockopt(SO_BROADCAST)");
      return;
    }
  } else {
    if (WsSetOption(FHSocket, woReuseAddr, true) != 0) {
      SocketError("setsockopt(SO_REUSEADDR)");
      return;
    }
    ApplyLinger();
    if (WsSetOption(FHSocket, woKeepAlive, true) != 0) {
      SocketError("setsockopt(SO_KEEPALIVE)");
      return;
    }
    if (FLocalPortValue != 0 || FLocalAddr != "0.0.0.0") BindSocket();
    if (FHSocket == INVALID_SOCKET) return;
  }
  FSelectEvent = FD_READ | FD_WRITE | FD_CLOSE | FD_CONNECT;
  Select(FSelectEvent, "WSAAsyncSelect");
  if (FToken == 0) return;
  if (!FAddrResolved) {
    // A host name: looked up on a worker, the connect goes on with its answer.
    ChangeState(wsConnecting);
    FDnsLookupForConnect = true;
    FDnsLookupHandle = StartHostLookup(FWindowHandle, WM_ASYNCGETHOSTBYNAME, FAddrStr);
    if (FDnsLookupHandle == 0) {
      FDnsLookupForConnect = false;
      SocketError("Connect (host look-up)");
    }
    return;
  }
  ConnectResolved();
}

void TCustomNetSocket::ConnectResolved() {
  Fsin = TSockAddrIn{};
  Fsin.sin_port = WsHtons(FPortValue);
  Fsin.sin_addr = FAddrValue;
  if (FType == SOCK_DGRAM_TYPE) {
    ChangeState(wsConnected);
    DoSessionConnected(0);
    return;
  }
  if (WsConnect(FHSocket, Fsin) != 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
    FLastError = WSAGetLastError();
    SocketError("Connect");
    return;
  }
  if (FState != wsConnecting) ChangeState(wsConnecting);
}

void TCustomNetSocket::Select(uint16_t Events, const std::string& FuncName) {
  FToken = WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, Events);
  if (FToken == 0) SocketError(FuncName);
}

void TCustomNetSocket::BindSocket() {
  TSockAddrIn local;
  try {
    local.sin_port = WsHtons(NetSocketResolvePort(FLocalPortStr, FProtoStr));
    local.sin_addr = NetSocketResolveHost(FLocalAddr);
  } catch (const ESocketException& E) {
    RaiseException(E.Message());
    return;
  }
  if (WsBind(FHSocket, local) != 0) {
    FLastError = WSAGetLastError();
    RaiseException("winsock.bind failed, error #" + std::to_string(FLastError));
    return;
  }
  TSockAddrIn actual;
  if (WsGetSockName(FHSocket, actual) != 0) {
    FLastError = WSAGetLastError();
    RaiseException("winsock.getsockname failed, error #" + std::to_string(FLastError));
    return;
  }
  FLocalPortValue = WsNtohs(actual.sin_port);
  FLocalPortStr = std::to_string(FLocalPortValue);
  FLocalPortResolved = true;
}

void TCustomNetSocket::ApplyLinger() {
  if (FLingerOnOff == wsLingerNoSet) return;
  if (FHSocket == INVALID_SOCKET) {
    RaiseException("Cannot set linger option at this time");
    return;
  }
  if (WsSetLinger(FHSocket, FLingerOnOff == wsLingerOn, FLingerTimeout) != 0) SocketError("setsockopt(SO_LINGER)");
}

void TCustomNetSocket::Listen() {
  if (!FPortAssigned) {
    WSASetLastError(WSAEINVAL);
    SocketError("listen: port not assigned");
    return;
  }
  if (!FProtoAssigned) {
    WSASetLastError(WSAEINVAL);
    SocketError("listen: protocol not assigned");
    return;
  }
  if (!FAddrAssigned) {
    WSASetLastError(WSAEINVAL);
    SocketError("listen: address not assigned");
    return;
  }
  try {
    if (!FProtoResolved) {
      FProto = NetSocketResolveProto(FProtoStr);
      FType = FProto == 17 ? SOCK_DGRAM_TYPE : SOCK_STREAM_TYPE;
      FProtoResolved = true;
    }
    if (!FPortResolved) {
      FPortValue = NetSocketResolvePort(FPortStr, FProtoStr);
      FPortResolved = true;
    }
    if (!FAddrResolved) {
      FAddrValue = NetSocketResolveHost(FAddrStr);
      FAddrResolved = true;
    }
  } catch (const ESocketException& E) {
    RaiseException("listen: " + E.Message());
    return;
  }
  DeleteBufferedData();
  FHSocket = WsSocket(FType, FProto);
  FSendShut = false;
  if (FHSocket == INVALID_SOCKET) {
    SocketError("socket");
    return;
  }
  // A restarted server must get its port back while old connections linger.
  WsSetOption(FHSocket, woReuseAddr, true);
  Fsin = TSockAddrIn{};
  Fsin.sin_port = WsHtons(FPortValue);
  Fsin.sin_addr = FAddrValue;
  if (WsBind(FHSocket, Fsin) != 0) {
    const int32_t code = WSAGetLastError();
    // Closed before the error is raised, so no descriptor stays behind.
    WsCloseSocket(FHSocket);
    FHSocket = INVALID_SOCKET;
    WSASetLastError(code);
    SocketError("Bind");
    return;
  }
  ChangeState(wsBound);
  if (FType == SOCK_DGRAM_TYPE) {
    ChangeState(wsListening);
    ChangeState(wsConnected);
    FSelectEvent = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
    Select(FSelectEvent, "WSAASyncSelect");
    DoSessionConnected(0);
    return;
  }
  if (WsListen(FHSocket, 128) != 0) {
    SocketError("Listen");
    return;
  }
  ChangeState(wsListening);
  FSelectEvent = FD_READ | FD_WRITE | FD_ACCEPT | FD_CLOSE;
  Select(FSelectEvent, "WSAASyncSelect");
}

TSocket TCustomNetSocket::Accept() {
  if (FState != wsListening) {
    WSASetLastError(WSAEINVAL);
    SocketError("not a listening socket");
    return INVALID_SOCKET;
  }
  TSockAddrIn from;
  FASocket = WsAccept(FHSocket, &from);
  if (FASocket == INVALID_SOCKET) {
    SocketError("Accept");
    return INVALID_SOCKET;
  }
  Fsin = from;
  return FASocket;
}

void TCustomNetSocket::Dup(TSocket NewHSocket) {
  if (NewHSocket == 0 || NewHSocket == INVALID_SOCKET) {
    WSASetLastError(WSAEINVAL);
    SocketError("Dup");
    return;
  }
  if (FState != wsClosed) {
    const int32_t r = FHSocket != INVALID_SOCKET ? WsCloseSocket(FHSocket) : 0;
    FHSocket = INVALID_SOCKET;
    FToken = 0;
    ChangeState(wsClosed);
    if (r != 0) {
      SocketError("Dup (closesocket)");
      return;
    }
  }
  FHSocket = NewHSocket;
  FSendShut = false;
  FCloseInvoked = false;
  ApplyLinger();
  FSelectEvent = FD_READ | FD_WRITE | FD_CLOSE;
  Select(FSelectEvent, "WSAAsyncSelect");
  if (FToken == 0) return;
  ChangeState(wsConnected);
}

// ---- sending ----

void TCustomNetSocket::DeleteBufferedData() {
  FBufList.clear();
  FAllSent = true;
}

int32_t TCustomNetSocket::Send(const void* Data, int32_t Len) {
  if (FState != wsConnected) {
    WSASetLastError(WSAENOTCONN);
    SocketError("Send");
    return -1;
  }
  FAllSent = false;
  if (Len <= 0) {
    FAllSent = FBufList.empty() || FBufList.back()->WrCount() == FBufList.back()->RdCount();
    return 0;
  }
  const uint8_t* p = static_cast<const uint8_t*>(Data);
  int32_t left = Len;
  if (FBufList.empty()) FBufList.push_back(std::make_unique<TBuffer>(FBufSize));
  while (left > 0) {
    const int32_t n = FBufList.back()->Write(p, left);
    p += n;
    left -= n;
    if (left > 0) FBufList.push_back(std::make_unique<TBuffer>(FBufSize));
  }
  TryToSend();
  // OnDataSent always comes from the message loop, never inside Send.
  if (FAllSent && FToken != 0) PostMessageToSelf(WM_ASYNCSELECT, FToken, FD_WRITE);
  return Len;
}

int32_t TCustomNetSocket::SendStr(const std::string& Str) {
  return Send(Str.data(), static_cast<int32_t>(Str.size()));
}

int32_t TCustomNetSocket::SendTo(const TSockAddrIn& Dest, int32_t, const void* Data, int32_t Len) {
  if (FHSocket == INVALID_SOCKET) {
    WSASetLastError(WSAENOTSOCK);
    SocketError("SendTo");
    return -1;
  }
  const int32_t r = WsSendTo(FHSocket, Data, Len, FSendFlags, Dest);
  if (r > 0 && OnSendData) OnSendData(this, r);
  if (r < 0) FLastError = WSAGetLastError();
  return r;
}

int32_t TCustomNetSocket::RealSend(const void* Data, int32_t Len) {
  if (FType == SOCK_DGRAM_TYPE) return WsSendTo(FHSocket, Data, Len, FSendFlags, Fsin);
  return WsSend(FHSocket, Data, Len, FSendFlags);
}

void TCustomNetSocket::TryToSend() {
  if (FHSocket == INVALID_SOCKET || FBufList.empty()) return;
  const TSocketToken token = FToken;
  while (!FBufList.empty()) {
    TBuffer* b = FBufList.front().get();
    int32_t len = 0;
    const uint8_t* data = b->Peek(len);
    if (len <= 0) {
      if (FBufList.size() > 1) {
        FBufList.pop_front();
        continue;
      }
      FAllSent = true;  // the last chunk stays for reuse
      return;
    }
    const int32_t n = RealSend(data, len);
    if (n < 0) {
      const int32_t code = WSAGetLastError();
      if (code == WSAEWOULDBLOCK) {
        SocketEventsWantWrite(FHSocket);
        return;
      }
      FLastError = code;
      if (code == WSAEINVAL || code == WSAENOTSOCK || code == WSAECONNABORTED || code == WSAECONNRESET ||
          code == WSAENOTCONN || code == WSAESHUTDOWN) {
        const bool raise = !FCloseInvoked;
        FCloseInvoked = true;
        Close();
        if (raise && !FFreePending) DoSessionClosed(static_cast<uint16_t>(code));
        return;
      }
      SocketError("TryToSend failed");
      return;
    }
    if (n == 0) return;
    b->Remove(n);
    if (OnSendData) OnSendData(this, n);
    if (FFreePending || FToken != token) return;
    if (n < len) {
      SocketEventsWantWrite(FHSocket);
      return;
    }
  }
}

void TCustomNetSocket::Flush() {
  while (FHSocket != INVALID_SOCKET && !FAllSent) {
    TryToSend();
    if (FAllSent || FHSocket == INVALID_SOCKET) break;
    // Sleeps until the socket (or anything else) has news; no spinning.
    WaitForMessages(50);
    if (MessageLoopEnding()) break;
  }
}

// ---- receiving ----

int32_t TCustomNetSocket::DoRecv(void* Buffer, int32_t BufferSize, int32_t Flags) {
  if (FHSocket == INVALID_SOCKET) {
    FLastError = WSAENOTSOCK;
    return -1;
  }
  ++FRecvCalls;
  const int32_t n = WsRecv(FHSocket, Buffer, BufferSize, Flags);
  if (n < 0) FLastError = WSAGetLastError();
  else FReadCount += n;
  FRecvDrained = n < BufferSize;
  return n;
}

int32_t TCustomNetSocket::DoRecvFrom(void* Buffer, int32_t BufferSize, int32_t Flags, TSockAddrIn& From,
                                     int32_t& FromLen) {
  if (FHSocket == INVALID_SOCKET) {
    FLastError = WSAENOTSOCK;
    return -1;
  }
  ++FRecvCalls;
  const int32_t n = WsRecvFrom(FHSocket, Buffer, BufferSize, Flags, &From);
  FromLen = sizeof(TSockAddrIn);
  if (n < 0) FLastError = WSAGetLastError();
  else FReadCount += n;
  return n;
}

int32_t TCustomNetSocket::Receive(void* Buffer, int32_t BufferSize) { return DoRecv(Buffer, BufferSize, 0); }

int32_t TCustomNetSocket::ReceiveFrom(void* Buffer, int32_t BufferSize, TSockAddrIn& From, int32_t& FromLen) {
  return DoRecvFrom(Buffer, BufferSize, 0, From, FromLen);
}

int32_t TCustomNetSocket::GetRcvdCount() {
  if (FHSocket == INVALID_SOCKET) return 0;
  const int32_t n = WsPendingBytes(FHSocket);
  if (n < 0) {
    SocketError("ioctlSocket");
    return -1;
  }
  return n;
}

std::string TCustomNetSocket::ReceiveStr() {
  const int32_t n = GetRcvdCount();
  if (n <= 0) return {};
  std::string s(static_cast<size_t>(n), '\0');
  const int32_t got = Receive(s.data(), n);
  s.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return s;
}

void TCustomNetSocket::DrainUntilClosed() {
  while (FHSocket != INVALID_SOCKET && FState != wsClosed) {
    PumpMessages();
    if (FHSocket == INVALID_SOCKET || FState == wsClosed) break;
    const int32_t n = WsPendingBytes(FHSocket);
    if (n < 0) break;
    if (n > 0) DoDataAvailable(0);
    if (FHSocket == INVALID_SOCKET) break;
    char probe;
    if (WsRecv(FHSocket, &probe, 0, 0) < 0 && WSAGetLastError() != WSAEWOULDBLOCK) break;
    if (MessageLoopEnding()) break;
    WaitForMessages(50);
  }
}

// ---- closing ----

void TCustomNetSocket::Close() { InternalClose(true, 0); }

void TCustomNetSocket::Abort() {
  CancelLookup();
  DeleteBufferedData();
  if (FState == wsConnected && FProto == 6) {
    FLingerOnOff = wsLingerOff;
    try {
      ApplyLinger();
    } catch (...) {
    }
  }
  InternalClose(false, 0);
}

void TCustomNetSocket::InternalClose(bool bShut, uint16_t Error) {
  if (FHSocket == INVALID_SOCKET) {
    if (FState != wsClosed) {
      ChangeState(wsClosed);
      AssignDefaultValue();
    }
    return;
  }
  if (FState == wsClosed) {
    // A handle made by a Connect or Listen that failed before any state.
    WsCloseSocket(FHSocket);
    FHSocket = INVALID_SOCKET;
    FToken = 0;
    return;
  }
  if (FDnsLookupForConnect) CancelLookup();
  if (bShut && !FSendShut) WsShutdown(FHSocket, 1);  // once is enough
  // Closed exactly once: the descriptor is gone whatever close() says.
  const int32_t r = WsCloseSocket(FHSocket);
  const int32_t code = WSAGetLastError();
  FHSocket = INVALID_SOCKET;
  FToken = 0;
  if (r != 0 && code != WSANOTINITIALISED) {
    ChangeState(wsClosed);
    WSASetLastError(code);
    SocketError("Disconnect (closesocket)");
    return;
  }
  ChangeState(wsClosed);
  if (!IsDestroying() && !FCloseInvoked && !FFreePending) {
    FCloseInvoked = true;
    DoSessionClosed(Error);
  }
  try {
    // Only when no new connection was opened from the handler.
    if (FState == wsClosed && FHSocket == INVALID_SOCKET) AssignDefaultValue();
  } catch (...) {
  }
}

void TCustomNetSocket::PostClose() { PostMessageToSelf(WM_CLOSE_DELAYED, 0, 0); }
void TCustomNetSocket::PostFree() { PostMessageToSelf(WM_FREE_SOCKET, 0, 0); }

void TCustomNetSocket::Shutdown(int32_t How) {
  if (FHSocket == INVALID_SOCKET) return;
  WsShutdown(FHSocket, How);
  if (How >= 1) FSendShut = true;
}

void TCustomNetSocket::Pause() {
  FPaused = true;
  if (FHSocket != INVALID_SOCKET) WSAAsyncSelect(FHSocket, FWindowHandle, WM_ASYNCSELECT, 0);
}

void TCustomNetSocket::Resume() {
  FPaused = false;
  if (FHSocket != INVALID_SOCKET) Select(FSelectEvent, "WSAAsyncSelect");
}

void TCustomNetSocket::PumpMessages() { ProcessPendingMessages(); }

// ---- look-ups ----

void TCustomNetSocket::DnsLookup(const std::string& HostName) {
  if (HostName.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    DoDnsLookupDone(WSAEINVAL);
    return;
  }
  if (FDnsLookupHandle != 0) {
    CancelHostLookup(FDnsLookupHandle);
    FDnsLookupHandle = 0;
  }
  FDnsResult.clear();
  FDnsResultList->Clear();
  if (WsIsDottedIP(HostName)) {
    const uint32_t a = WsInetAddr(TrimBlanks(HostName));
    FDnsResult = WsInetNtoa(a);
    FDnsResultList->Add(FDnsResult);
    DoDnsLookupDone(0);
    return;
  }
  FDnsLookupForConnect = false;
  FDnsLookupHandle = StartHostLookup(FWindowHandle, WM_ASYNCGETHOSTBYNAME, HostName);
  if (FDnsLookupHandle == 0) {
    FLastError = WSAGetLastError();
    RaiseException(HostName + ": can't start DNS lookup, error #" + std::to_string(FLastError));
  }
}

void TCustomNetSocket::ReverseLookup(const std::string& HostAddr) {
  if (HostAddr.empty()) {
    RaiseException("DNS lookup: invalid host name.");
    DoDnsLookupDone(WSAEINVAL);
    return;
  }
  if (FDnsLookupHandle != 0) {
    CancelHostLookup(FDnsLookupHandle);
    FDnsLookupHandle = 0;
  }
  FDnsResult.clear();
  FDnsResultList->Clear();
  FDnsLookupForConnect = false;
  FDnsLookupHandle = StartAddrLookup(FWindowHandle, WM_ASYNCGETHOSTBYADDR, WsInetAddr(TrimBlanks(HostAddr)));
  if (FDnsLookupHandle == 0) {
    FLastError = WSAGetLastError();
    RaiseException(HostAddr + ": can't start DNS lookup, error #" + std::to_string(FLastError));
  }
}

void TCustomNetSocket::CancelLookup() {
  if (FDnsLookupHandle == 0) return;
  const bool forConnect = FDnsLookupForConnect;
  CancelHostLookup(FDnsLookupHandle);
  FDnsLookupHandle = 0;
  FDnsLookupForConnect = false;
  if (!IsDestroying() && !forConnect) DoDnsLookupDone(WSAEINTR);
}

// ---- names ----

std::string TCustomNetSocket::GetPeerAddr() {
  if (FState != wsConnected) return "error";
  TSockAddrIn a;
  if (WsGetPeerName(FHSocket, a) != 0) {
    SocketError("GetPeerName");
    return "error";
  }
  return WsInetNtoa(a.sin_addr);
}

std::string TCustomNetSocket::GetPeerPort() {
  if (FState != wsConnected) return "error";
  TSockAddrIn a;
  if (WsGetPeerName(FHSocket, a) != 0) {
    SocketError("GetPeerPort");
    return "error";
  }
  return std::to_string(WsNtohs(a.sin_port));
}

int32_t TCustomNetSocket::GetPeerName(TSockAddrIn& Name, int32_t& NameLen) {
  NameLen = sizeof(TSockAddrIn);
  return FState == wsConnected ? WsGetPeerName(FHSocket, Name) : -1;
}

int32_t TCustomNetSocket::GetSockName(TSockAddrIn& Name, int32_t& NameLen) {
  NameLen = sizeof(TSockAddrIn);
  return WsGetSockName(FHSocket, Name);
}

std::string TCustomNetSocket::GetXPort() {
  if (FState != wsBound && FState != wsConnected && FState != wsListening) return "error";
  TSockAddrIn a;
  if (WsGetSockName(FHSocket, a) != 0) return "error";
  return std::to_string(WsNtohs(a.sin_port));
}

const TPropertyTable& TCustomNetSocket::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomNetSocket>(TComponent::PropertyTable(), [](auto& p) {
    p.String("Addr", &TCustomNetSocket::Addr, &TCustomNetSocket::SetAddr);
    p.String("Port", &TCustomNetSocket::Port, &TCustomNetSocket::SetPort);
    p.String("Proto", &TCustomNetSocket::Proto, &TCustomNetSocket::SetProto);
    p.String("LocalAddr", &TCustomNetSocket::LocalAddr, &TCustomNetSocket::SetLocalAddr);
    p.String("LocalPort", &TCustomNetSocket::LocalPort, &TCustomNetSocket::SetLocalPort);
    p.Bool("MultiThreaded", &TCustomNetSocket::MultiThreaded, &TCustomNetSocket::SetMultiThreaded);
    p.Enum("LingerOnOff", &TCustomNetSocket::LingerOnOff, &TCustomNetSocket::SetLingerOnOff,
           {"wsLingerOff", "wsLingerOn", "wsLingerNoSet"});
    p.Integer("LingerTimeout", &TCustomNetSocket::LingerTimeout, &TCustomNetSocket::SetLingerTimeout);
    p.Enum("SendFlags", &TCustomNetSocket::SendFlags, &TCustomNetSocket::SetSendFlags,
           {"wsSendNormal", "wsSendUrgent"});
    p.Method("OnSessionAvailable");
    p.Method("OnSessionConnected");
    p.Method("OnSessionClosed");
    p.Method("OnChangeState");
    p.Method("OnDataAvailable");
    p.Method("OnDataSent");
    p.Method("OnSendData");
    p.Method("OnError");
    p.Method("OnBgException");
    p.Method("OnDnsLookupDone");
  });
  return table;
}

}  // namespace kv
