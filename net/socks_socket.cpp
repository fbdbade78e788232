// The SOCKS exchange: greeting, optional user-code sign-in, connect request,
// and the checks of each reply.
#include "net/socks_socket.h"

#include <algorithm>
#include <cstring>

namespace kv {

namespace {

std::string Trimmed(const std::string& S) {
  size_t b = 0, e = S.size();
  while (b < e && static_cast<unsigned char>(S[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(S[e - 1]) <= ' ') --e;
  return S.substr(b, e - b);
}

TSocksReplyCheck Err(int32_t Code, std::string Msg) {
  TSocksReplyCheck r;
  r.Error = Code;
  r.Msg = std::move(Msg);
  return r;
}

TSocksReplyCheck Need(int32_t N) {
  TSocksReplyCheck r;
  r.Needed = N;
  return r;
}

TSocksReplyCheck Ok(int32_t Len) {
  TSocksReplyCheck r;
  r.Length = Len;
  return r;
}

}  // namespace

TSocksReplyCheck CheckSocks4Reply(const uint8_t* Data, int32_t Len) {
  if (Len < 8) return Need(8);
  if (Data[0] != 0) return Err(20002, "socks version error");
  switch (Data[1]) {
    case 90: return Ok(8);
    case 91: return Err(20016, "request rejected or failed");
    case 92: return Err(20008, "connection refused");
    case 93: return Err(20015, "authentification failed");
    default: return Err(20012, "unassigned error #" + std::to_string(Data[1]));
  }
}

TSocksReplyCheck CheckSocks5MethodReply(const uint8_t* Data, int32_t Len) {
  if (Len < 2) return Need(2);
  if (Len > 2) return Err(20001, "too much data availaible");
  if (Data[0] != 5) return Err(20002, "socks version error");
  if (Data[1] != 0 && Data[1] != 2) return Err(20003, "authentification method not acceptable");
  return Ok(2);
}

TSocksReplyCheck CheckSocks5AuthReply(const uint8_t* Data, int32_t Len) {
  if (Len < 2) return Need(2);
  if (Len > 2) return Err(20001, "too much data availaible");
  if (Data[0] != 1) return Err(20002, "socks version error");
  if (Data[1] != 0) return Err(20015, "socks authentication failed");
  return Ok(2);
}

TSocksReplyCheck CheckSocks5ConnectReply(const uint8_t* Data, int32_t Len) {
  if (Len < 2) return Need(2);
  if (Data[0] != 5) return Err(20002, "socks version error");
  switch (Data[1]) {
    case 0: break;
    case 1: return Err(20004, "general SOCKS server failure");
    case 2: return Err(20005, "connection not allowed by ruleset");
    case 3: return Err(20006, "network unreachable");
    case 4: return Err(20007, "host unreachable");
    case 5: return Err(20008, "connection refused");
    case 6: return Err(20009, "time to live expired");
    case 7: return Err(20010, "command not supported");
    case 8: return Err(20011, "address type not supported");
    default: return Err(20012, "unassigned error #" + std::to_string(Data[1]));
  }
  if (Len < 5) return Need(5);
  int32_t total;
  if (Data[3] == 1) total = 10;
  else if (Data[3] == 3) total = 7 + Data[4];
  else return Err(20011, "address type not supported");
  if (Len < total) return Need(total);
  return Ok(total);
}

TCustomSocksNetSocket::TCustomSocksNetSocket(TComponent* AOwner) : TCustomNetSocket(AOwner) {}

void TCustomSocksNetSocket::ResetSocks() {
  FSocksServer.clear();
  FSocksPort.clear();
  FSocksLevel = "5";
  FSocksServerAssigned = false;
  FSocksState = 0;
  FSocksAuthSent = false;
  FSocksRcvdCnt = 0;
  FSocksLeft.clear();
  FSocksLeftPos = 0;
  if (FTargetLookup) {
    CancelHostLookup(FTargetLookup);
    FTargetLookup = 0;
  }
}

void TCustomSocksNetSocket::AssignDefaultValue() {
  TCustomNetSocket::AssignDefaultValue();
  ResetSocks();
}

void TCustomSocksNetSocket::SetSocksServer(const std::string& Value) {
  if (FState != wsClosed) {
    RaiseException("Can't change socks server if not closed");
    return;
  }
  FSocksServer = Trimmed(Value);
  FSocksServerAssigned = !FSocksServer.empty();
}

void TCustomSocksNetSocket::SetSocksPort(const std::string& Value) {
  if (FState != wsClosed) {
    RaiseException("Can't change socks port if not closed");
    return;
  }
  FSocksPort = Trimmed(Value);
}

void TCustomSocksNetSocket::SetSocksLevel(const std::string& Value) {
  if (FState != wsClosed) {
    RaiseException("Can't change socks level if not closed");
    return;
  }
  if (Value == "4" || Value == "5") FSocksLevel = Value;
  else if (Value == "4A" || Value == "4a") FSocksLevel = "4A";
  else RaiseException("Invalid socks level. Must be 4, 4A or 5.");
}

void TCustomSocksNetSocket::Listen() {
  if (FSocksServerAssigned) {
    RaiseException("Listening is not supported thru socks server");
    return;
  }
  TCustomNetSocket::Listen();
}

void TCustomSocksNetSocket::Connect() {
  if (!FSocksServerAssigned || !FAddrAssigned || !FPortAssigned || (FHSocket != INVALID_SOCKET && FState != wsClosed)) {
    TCustomNetSocket::Connect();  // plain, or the plain refusal
    return;
  }
  std::string proto = FProtoStr;
  std::transform(proto.begin(), proto.end(), proto.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (proto != "tcp") {
    RaiseException("tcp is the only protocol supported thru socks server");
    return;
  }
  // Every length goes into one byte of a request; nothing longer is sent.
  if (FAddrStr.size() > 255) {
    RaiseException("connect: NetSocketResolveHost: '" + FAddrStr + "' Invalid Hostname.");
    return;
  }
  if (FSocksUsercode.size() > 255 || FSocksPassword.size() > 255) {
    RaiseException("connect: socks user code and password may hold at most 255 bytes each");
    return;
  }
  try {
    FTargetPort = NetSocketResolvePort(FPortStr, "tcp");
  } catch (const ESocketException& E) {
    RaiseException("connect: " + E.Message());
    return;
  }
  FTargetHost = FAddrStr;
  const std::string userPort = FPortStr;
  // The plain connect goes to the proxy; Addr and Port keep the target's text.
  FAddrStr = FSocksServer;
  FAddrResolved = false;
  FPortStr = FSocksPort;
  FPortAssigned = !FSocksPort.empty();
  FPortResolved = false;
  FSocksState = 1;
  FSocksAuthSent = false;
  FSocksRcvdCnt = 0;
  try {
    TCustomNetSocket::Connect();
  } catch (...) {
    FAddrStr = FTargetHost;
    FPortStr = userPort;
    FPortAssigned = true;
    FSocksState = 0;
    throw;
  }
  FAddrStr = FTargetHost;
  FPortStr = userPort;
  FPortAssigned = true;
  if (FState == wsClosed) FSocksState = 0;
}

void TCustomSocksNetSocket::DoSocksConnected(uint16_t Error) {
  if (OnSocksConnected) OnSocksConnected(this, Error);
}

void TCustomSocksNetSocket::DoSocksError(int32_t Error, const std::string& Msg) {
  if (OnSocksError) OnSocksError(this, Error, Msg);
}

void TCustomSocksNetSocket::DoSessionConnected(uint16_t Error) {
  if (FSocksState != 1) {
    TCustomNetSocket::DoSessionConnected(Error);
    return;
  }
  if (Error != 0) {
    FSocksState = 0;
    DoSocksConnected(Error);
    if (!FreePending()) TCustomNetSocket::DoSessionConnected(Error);
    return;
  }
  DoSocksConnected(0);
  if (FreePending() || FState != wsConnected) return;
  if (FSocksLevel == "5") {
    SendSocks5Greeting();
  } else if (FSocksLevel == "4A") {
    SendSocks4Request(WsHtonl(1));  // 0.0.0.1: the proxy resolves the name
  } else if (WsIsDottedIP(FTargetHost)) {
    SendSocks4Request(WsInetAddr(FTargetHost));
  } else {
    // SOCKS 4 needs the address; looked up on a worker like any other name.
    FTargetLookup = StartHostLookup(FWindowHandle, WM_SOCKS_LOOKUP, FTargetHost);
    if (FTargetLookup == 0) SocksFail(20017, "ESocketException can't start DNS lookup");
  }
}

void TCustomSocksNetSocket::WndProc(TMessage& Msg) {
  if (Msg.Msg != WM_SOCKS_LOOKUP) {
    TCustomNetSocket::WndProc(Msg);
    return;
  }
  const uint32_t handle = static_cast<uint32_t>(Msg.WParam);
  if (handle == 0 || handle != FTargetLookup) return;
  FTargetLookup = 0;
  TLookupAnswer a;
  if (!TakeLookupAnswer(handle, a) || FSocksState != 1) return;
  if (a.Error != 0 || a.Addrs.empty()) {
    const std::string text = "ESocketException NetSocketResolveHost: Cannot convert host address '" + FTargetHost +
                             "', Error #" + std::to_string(a.Error ? a.Error : WSANO_DATA);
    FSocksState = 0;
    DoSocksError(20017, text);
    if (!FreePending() && FState != wsClosed) InternalClose(true, 20017);
    return;
  }
  SendSocks4Request(a.Addrs.front());
}

void TCustomSocksNetSocket::SendSocks4Request(uint32_t TargetAddr) {
  std::string req;
  req += char(4);
  req += char(1);
  req += char(FTargetPort >> 8);
  req += char(FTargetPort & 0xFF);
  req.append(reinterpret_cast<const char*>(&TargetAddr), 4);  // already in network order
  req += FSocksUsercode;
  req += char(0);
  if (FSocksLevel == "4A") {
    req += FTargetHost;
    req += char(0);
  }
  FSocksState = 3;
  FSocksRcvdCnt = 0;
  SendStr(req);
}

void TCustomSocksNetSocket::SendSocks5Greeting() {
  const char method = FSocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
  const char greeting[3] = {5, 1, method};
  FSocksState = 2;
  FSocksAuthSent = false;
  FSocksRcvdCnt = 0;
  Send(greeting, 3);
}

void TCustomSocksNetSocket::SendSocks5Request() {
  std::string req;
  req += char(5);
  req += char(1);
  req += char(0);
  req += char(3);
  req += char(FTargetHost.size());
  req += FTargetHost;
  req += char(FTargetPort >> 8);
  req += char(FTargetPort & 0xFF);
  FSocksState = 3;
  FSocksRcvdCnt = 0;
  SendStr(req);
}

bool TCustomSocksNetSocket::DoDataAvailable(uint16_t Error) {
  if (FSocksState == 0) return TCustomNetSocket::DoDataAvailable(Error);
  CollectReply();
  return true;
}

void TCustomSocksNetSocket::CollectReply() {
  const int32_t room = kSocksReplyMax - FSocksRcvdCnt;
  if (room <= 0) {
    SocksFail(20001, "too much data availaible");
    return;
  }
  const int32_t n = TCustomNetSocket::DoRecv(FSocksRcvdBuf + FSocksRcvdCnt, room, 0);
  if (n < 0) {
    if (FLastError == WSAEWOULDBLOCK) {
      FLastError = 0;
      return;
    }
    SocksFail(FLastError, "data receive error");
    return;
  }
  if (n == 0) return;  // the proxy closed; the close event reports it
  FSocksRcvdCnt += n;
  CheckReply();
}

void TCustomSocksNetSocket::CheckReply() {
  TSocksReplyCheck c;
  if (FSocksState == 3 && FSocksLevel != "5") c = CheckSocks4Reply(FSocksRcvdBuf, FSocksRcvdCnt);
  else if (FSocksState == 2 && !FSocksAuthSent) c = CheckSocks5MethodReply(FSocksRcvdBuf, FSocksRcvdCnt);
  else if (FSocksState == 2) c = CheckSocks5AuthReply(FSocksRcvdBuf, FSocksRcvdCnt);
  else if (FSocksState == 3) c = CheckSocks5ConnectReply(FSocksRcvdBuf, FSocksRcvdCnt);
  else return SocksFail(20013, "internal error");
  if (c.Error) return SocksFail(c.Error, c.Msg);
  if (c.Needed) return;  // wait for the rest of the reply
  if (FSocksState == 2 && !FSocksAuthSent) {
    FSocksMethod = FSocksRcvdBuf[1];
    FSocksRcvdCnt = 0;
    if (FSocksMethod == 0) return SendSocks5Request();
    if (OnSocksAuthState) OnSocksAuthState(this, 0);
    if (FreePending() || FState != wsConnected) return;
    std::string msg;
    msg += char(1);
    msg += char(FSocksUsercode.size());
    msg += FSocksUsercode;
    msg += char(FSocksPassword.size());
    msg += FSocksPassword;
    FSocksAuthSent = true;
    SendStr(msg);
    return;
  }
  if (FSocksState == 2) {
    FSocksRcvdCnt = 0;
    return SendSocks5Request();
  }
  FSocksLeft.assign(reinterpret_cast<const char*>(FSocksRcvdBuf) + c.Length, size_t(FSocksRcvdCnt - c.Length));
  FSocksLeftPos = 0;
  FSocksRcvdCnt = 0;
  SocksDone();
}

void TCustomSocksNetSocket::SocksDone() {
  FSocksState = 0;
  const TSocketToken token = FToken;
  DoSessionConnected(0);
  // Bytes that came with the reply are offered before anything read later.
  while (!FreePending() && FToken == token && FSocksLeftPos < FSocksLeft.size()) {
    const size_t before = FSocksLeftPos;
    if (!DoDataAvailable(0) || FSocksLeftPos == before) break;
  }
}

void TCustomSocksNetSocket::SocksFail(int32_t Error, const std::string& Msg) {
  DoSocksError(Error, Msg);
  FSocksState = 0;
  FSocksRcvdCnt = 0;
  if (FreePending()) return;
  const TSocketToken token = FToken;
  DoSessionConnected(static_cast<uint16_t>(Error));
  if (!FreePending() && FToken == token && FState != wsClosed) InternalClose(true, static_cast<uint16_t>(Error));
}

void TCustomSocksNetSocket::DoSessionClosed(uint16_t Error) {
  if (FSocksState == 2 && OnSocksAuthState) OnSocksAuthState(this, 2);
  if (FSocksState != 0) {
    // The proxy went away during the exchange: the connect has failed, and
    // whoever waits for it learns so before the close.
    FSocksState = 0;
    TCustomNetSocket::DoSessionConnected(Error ? Error : WSAECONNRESET);
  }
  TCustomNetSocket::DoSessionClosed(Error);
}

int32_t TCustomSocksNetSocket::GetRcvdCount() {
  if (FSocksLeftPos < FSocksLeft.size()) return static_cast<int32_t>(FSocksLeft.size() - FSocksLeftPos);
  return TCustomNetSocket::GetRcvdCount();
}

int32_t TCustomSocksNetSocket::DoRecv(void* Buffer, int32_t BufferSize, int32_t Flags) {
  if (FSocksLeftPos < FSocksLeft.size() && BufferSize > 0) {
    const size_t n = std::min(static_cast<size_t>(BufferSize), FSocksLeft.size() - FSocksLeftPos);
    std::memcpy(Buffer, FSocksLeft.data() + FSocksLeftPos, n);
    FSocksLeftPos += n;
    if (FSocksLeftPos >= FSocksLeft.size()) {
      FSocksLeft.clear();
      FSocksLeftPos = 0;
    }
    FReadCount += static_cast<int32_t>(n);
    return static_cast<int32_t>(n);
  }
  return TCustomNetSocket::DoRecv(Buffer, BufferSize, Flags);
}

const TPropertyTable& TCustomSocksNetSocket::PropertyTable() const {
  static const auto table =
      TPropertyTable::Make<TCustomSocksNetSocket>(TCustomNetSocket::PropertyTable(), [](auto& p) {
        p.String("SocksServer", &TCustomSocksNetSocket::SocksServer, &TCustomSocksNetSocket::SetSocksServer);
        p.String("SocksPort", &TCustomSocksNetSocket::SocksPort, &TCustomSocksNetSocket::SetSocksPort);
        p.String("SocksLevel", &TCustomSocksNetSocket::SocksLevel, &TCustomSocksNetSocket::SetSocksLevel);
        p.String("SocksUsercode", &TCustomSocksNetSocket::SocksUsercode, &TCustomSocksNetSocket::SetSocksUsercode);
        p.String("SocksPassword", &TCustomSocksNetSocket::SocksPassword, &TCustomSocksNetSocket::SetSocksPassword);
        p.Enum("SocksAuthentication", &TCustomSocksNetSocket::SocksAuthentication,
               &TCustomSocksNetSocket::SetSocksAuthentication, {"socksNoAuthentication", "socksAuthenticateUsercode"});
        p.Method("OnSocksConnected");
        p.Method("OnSocksError");
        p.Method("OnSocksAuthState");
      });
  return table;
}

}  // namespace kv
