#include "net/socket_server.h"

#include <algorithm>

#include "platform/ui/message_window.h"

namespace kv {

namespace {
constexpr uintptr_t kTimeoutTimer = 1;
constexpr uint64_t kLingerMs = 2000;  // how long a closing client may keep sending
}  // namespace

// ---- client ----

TNetSocketClient::TNetSocketClient(TComponent* AOwner) : TNetSocket(AOwner) { FLastActivity = TickCount64(); }

void TNetSocketClient::Touch() { FLastActivity = TickCount64(); }

void TNetSocketClient::Dup(TSocket NewHSocket) {
  TNetSocket::Dup(NewHSocket);
  TSockAddrIn peer;
  if (FHSocket != INVALID_SOCKET && WsGetPeerName(FHSocket, peer) == 0) {
    FPeerAddr = WsInetNtoa(peer.sin_addr);
    FPeerPort = std::to_string(WsNtohs(peer.sin_port));
  }
  FClosing = false;
  Touch();
}

void TNetSocketClient::StartConnection() {
  if (!FBanner.empty()) SendStr(FBanner + "\r\n");
}

void TNetSocketClient::CloseGracefully() {
  if (FState != wsConnected) return;
  FLingering = true;
  FLingerSince = TickCount64();
  FLingerOnOff = wsLingerOff;
  try {
    ApplyLinger();
  } catch (...) {
  }
  if (FAllSent) Shutdown(1);
}

bool TNetSocketClient::TimedOut(uint64_t Now) {
  if (FLingering) return Now - FLingerSince > kLingerMs;
  return FServer && FServer->ClientTimeout() > 0 && IdleFor(Now) > static_cast<uint64_t>(FServer->ClientTimeout());
}

void TNetSocketClient::DoDataSent(uint16_t Error) {
  if (FLingering) {
    Shutdown(1);
    return;
  }
  TNetSocket::DoDataSent(Error);
}

bool TNetSocketClient::DoDataAvailable(uint16_t Error) {
  if (!FLingering) return TNetSocket::DoDataAvailable(Error);
  char junk[4096];
  TCustomNetSocket::DoRecv(junk, sizeof junk, 0);
  return true;
}

int32_t TNetSocketClient::RealSend(const void* Data, int32_t Len) {
  const int32_t n = TNetSocket::RealSend(Data, Len);
  if (n > 0) Touch();
  return n;
}

int32_t TNetSocketClient::DoRecv(void* Buffer, int32_t BufferSize, int32_t Flags) {
  const int32_t n = TNetSocket::DoRecv(Buffer, BufferSize, Flags);
  if (n > 0) Touch();
  return n;
}

void TNetSocketClient::DoSessionClosed(uint16_t Error) {
  if (!FClosing) {
    FClosing = true;
    // The server frees us later, never inside our own event.
    if (FServer) PostMessage(FServer->Handle(), WM_CLIENT_CLOSED, FClientId, 0);
  }
  TNetSocket::DoSessionClosed(Error);
}

// ---- server ----

TCustomNetSocketServer::TCustomNetSocketServer(TComponent* AOwner) : TNetSocket(AOwner) {
  FClientClass = [](TComponent* Owner) { return new TNetSocketClient(Owner); };
}

TCustomNetSocketServer::~TCustomNetSocketServer() {
  TComponent::Destroying();
  const std::vector<TNetSocketClient*> clients = FClientList;
  for (TNetSocketClient* c : clients) {
    try {
      if (IsClient(c)) delete c;
    } catch (...) {
    }
  }
}

TNetSocketClient* TCustomNetSocketServer::Client(int32_t Index) const {
  if (Index < 0 || Index >= ClientCount()) return nullptr;
  return FClientList[static_cast<size_t>(Index)];
}

bool TCustomNetSocketServer::IsClient(const TNetSocketClient* Client) const {
  return std::find(FClientList.begin(), FClientList.end(), Client) != FClientList.end();
}

TNetSocketClient* TCustomNetSocketServer::ClientById(uint64_t Id) const {
  for (TNetSocketClient* c : FClientList)
    if (c->FClientId == Id) return c;
  return nullptr;
}

void TCustomNetSocketServer::Notification(TComponent* AComponent, TOperation Operation) {
  TNetSocket::Notification(AComponent, Operation);
  if (Operation == opRemove)
    std::erase_if(FClientList, [AComponent](TNetSocketClient* c) { return static_cast<TComponent*>(c) == AComponent; });
}

void TCustomNetSocketServer::TriggerClientCreate(TNetSocketClient* Client) {
  if (OnClientCreate) OnClientCreate(this, Client);
}
void TCustomNetSocketServer::TriggerClientConnect(TNetSocketClient* Client, uint16_t Error) {
  if (OnClientConnect) OnClientConnect(this, Client, Error);
}
void TCustomNetSocketServer::TriggerClientDisconnect(TNetSocketClient* Client, uint16_t Error) {
  if (OnClientDisconnect) OnClientDisconnect(this, Client, Error);
}

void TCustomNetSocketServer::SetClientTimeout(int32_t Value) {
  FClientTimeout = std::max(Value, 0);
  UpdateTimer();
}

void TCustomNetSocketServer::UpdateTimer() {
  if (FState != wsListening) {
    if (FTimerOn) KillTimer(FWindowHandle, kTimeoutTimer);
    FTimerOn = false;
    return;
  }
  const uint32_t period = FClientTimeout > 0 ? static_cast<uint32_t>(std::clamp(FClientTimeout / 4, 50, 1000)) : 500;
  FTimerOn = SetTimer(FWindowHandle, kTimeoutTimer, period);
}

void TCustomNetSocketServer::Listen() {
  TNetSocket::Listen();
  UpdateTimer();
}

void TCustomNetSocketServer::DoSessionClosed(uint16_t Error) {
  if (FTimerOn) KillTimer(FWindowHandle, kTimeoutTimer);
  FTimerOn = false;
  TNetSocket::DoSessionClosed(Error);
}

void TCustomNetSocketServer::DoSessionAvailable(uint16_t Error) {
  TNetSocket::DoSessionAvailable(Error);
  if (Error != 0 || FState != wsListening) return;
  // Accepted before a client is made: when descriptors run out the waiting
  // connection is dropped and the server simply goes on listening.
  TSocket h = INVALID_SOCKET;
  try {
    h = Accept();
  } catch (const ESocketException&) {
  }
  if (h == INVALID_SOCKET) return;
  ++FClientNum;
  TNetSocketClient* c = FClientClass(this);
  c->FClientId = ++FNextClientId;
  if (!IsClient(c)) FClientList.push_back(c);
  TriggerClientCreate(c);
  try {
    c->SetName(Name() + "Client" + std::to_string(FClientNum));
  } catch (const Exception&) {
  }
  c->SetBanner(FBanner);
  c->SetServer(this);
  try {
    c->Dup(h);
  } catch (const ESocketException&) {
    if (c->HSocket() == INVALID_SOCKET) WsCloseSocket(h);
    std::erase(FClientList, c);
    c->FreeWhenIdle();
    return;
  }
  TriggerClientConnect(c, Error);
  if (!IsClient(c) || c->State() != wsConnected) return;
  if (FMaxClients >= 1 && ClientCount() > FMaxClients) {
    c->SetBanner(FBannerToBusy);
    c->StartConnection();
    c->CloseGracefully();
    return;
  }
  c->StartConnection();
}

void TCustomNetSocketServer::ClientClosed(TNetSocketClient* Client) {
  try {
    TriggerClientDisconnect(Client, 0);
  } catch (...) {
    if (IsClient(Client)) {
      std::erase(FClientList, Client);
      Client->FreeWhenIdle();
    }
    throw;
  }
  if (IsClient(Client)) {
    std::erase(FClientList, Client);
    Client->FreeWhenIdle();
  }
}

void TCustomNetSocketServer::CheckTimeouts() {
  const uint64_t now = TickCount64();
  const std::vector<TNetSocketClient*> clients = FClientList;
  for (TNetSocketClient* c : clients) {
    if (!IsClient(c) || c->State() == wsClosed || !c->TimedOut(now)) continue;
    try {
      c->Abort();
    } catch (...) {
    }
  }
}

void TCustomNetSocketServer::WndProc(TMessage& Msg) {
  if (Msg.Msg == WM_TIMER && Msg.WParam == kTimeoutTimer) {
    CheckTimeouts();
    return;
  }
  if (Msg.Msg == WM_CLIENT_CLOSED) {
    if (TNetSocketClient* c = ClientById(static_cast<uint64_t>(Msg.WParam))) ClientClosed(c);
    return;
  }
  TNetSocket::WndProc(Msg);
}

const TPropertyTable& TCustomNetSocketServer::PropertyTable() const {
  static const auto table = TPropertyTable::Make<TCustomNetSocketServer>(TNetSocket::PropertyTable(), [](auto& p) {
    p.String("Banner", &TCustomNetSocketServer::Banner, &TCustomNetSocketServer::SetBanner);
    p.String("BannerToBusy", &TCustomNetSocketServer::BannerToBusy, &TCustomNetSocketServer::SetBannerToBusy);
    p.Integer("MaxClients", &TCustomNetSocketServer::MaxClients, &TCustomNetSocketServer::SetMaxClients);
    p.Method("OnClientCreate");
    p.Method("OnClientConnect");
    p.Method("OnClientDisconnect");
  });
  return table;
}

}  // namespace kv
