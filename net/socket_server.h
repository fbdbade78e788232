// A listening socket that makes one client object per accepted connection,
// greets it, turns away clients above MaxClients with a busy text, times out
// idle clients and frees each client after it closed.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "net/sync_socket.h"

namespace kv {

class TCustomNetSocketServer;

constexpr UINT WM_CLIENT_CLOSED = WM_USER + 0x30;

class TNetSocketClient : public TNetSocket {
 public:
  explicit TNetSocketClient(TComponent* AOwner);

  // Sends the banner and CR LF when the banner is not empty.
  virtual void StartConnection();
  void Dup(TSocket NewHSocket) override;
  std::string GetPeerAddr() override { return FPeerAddr; }
  std::string GetPeerPort() override { return FPeerPort; }

  const std::string& Banner() const { return FBanner; }
  void SetBanner(const std::string& Value) { FBanner = Value; }
  TCustomNetSocketServer* Server() const { return FServer; }
  void SetServer(TCustomNetSocketServer* Value) { FServer = Value; }
  bool Closing() const { return FClosing; }
  // Ends the sending side once everything queued went out, reads and drops
  // whatever the peer still sends, and closes when the peer does (or when the
  // server's timer says it took too long): the peer gets our last words
  // instead of a reset.
  void CloseGracefully();
  bool Lingering() const { return FLingering; }
  // Milliseconds since bytes last moved either way.
  uint64_t IdleFor(uint64_t Now) const { return Now > FLastActivity ? Now - FLastActivity : 0; }
  // Asked by the server's timer; true closes the client.
  virtual bool TimedOut(uint64_t Now);

 protected:
  void DoSessionClosed(uint16_t Error) override;
  bool DoDataAvailable(uint16_t Error) override;
  void DoDataSent(uint16_t Error) override;
  int32_t RealSend(const void* Data, int32_t Len) override;
  int32_t DoRecv(void* Buffer, int32_t BufferSize, int32_t Flags) override;
  void Touch();

  std::string FBanner;
  TCustomNetSocketServer* FServer = nullptr;
  bool FClosing = false;
  bool FLingering = false;
  uint64_t FLingerSince = 0;
  std::string FPeerAddr;
  std::string FPeerPort;
  uint64_t FLastActivity = 0;

 private:
  friend class TCustomNetSocketServer;
  uint64_t FClientId = 0;
};

using TNetSocketClientClass = std::function<TNetSocketClient*(TComponent* Owner)>;
using TNetSocketServerClientEvent = std::function<void(TObject* Sender, TNetSocketClient* Client)>;
using TNetSocketServerClientConnectEvent =
    std::function<void(TObject* Sender, TNetSocketClient* Client, uint16_t Error)>;

class TCustomNetSocketServer : public TNetSocket {
 public:
  explicit TCustomNetSocketServer(TComponent* AOwner);
  ~TCustomNetSocketServer() override;

  void Listen() override;

  const std::string& Banner() const { return FBanner; }
  void SetBanner(const std::string& Value) { FBanner = Value; }
  const std::string& BannerToBusy() const { return FBannerToBusy; }
  void SetBannerToBusy(const std::string& Value) { FBannerToBusy = Value; }
  const TNetSocketClientClass& ClientClass() const { return FClientClass; }
  void SetClientClass(TNetSocketClientClass Value) { FClientClass = std::move(Value); }
  int32_t MaxClients() const { return FMaxClients; }
  void SetMaxClients(int32_t Value) { FMaxClients = Value; }
  // Milliseconds without traffic after which a client is closed; 0: never.
  int32_t ClientTimeout() const { return FClientTimeout; }
  void SetClientTimeout(int32_t Value);
  int32_t ClientCounter() const { return FClientNum; }

  virtual void TriggerClientCreate(TNetSocketClient* Client);
  virtual void TriggerClientConnect(TNetSocketClient* Client, uint16_t Error);
  virtual void TriggerClientDisconnect(TNetSocketClient* Client, uint16_t Error);
  virtual int32_t ClientCount() const { return static_cast<int32_t>(FClientList.size()); }
  virtual TNetSocketClient* Client(int32_t Index) const;
  bool IsClient(const TNetSocketClient* Client) const;
  TNetSocketClient* ClientById(uint64_t Id) const;

  TNetSocketServerClientEvent OnClientCreate;
  TNetSocketServerClientConnectEvent OnClientConnect;
  TNetSocketServerClientConnectEvent OnClientDisconnect;

  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  friend class TNetSocketClient;
  void WndProc(TMessage& Msg) override;
  void DoSessionAvailable(uint16_t Error) override;
  void DoSessionClosed(uint16_t Error) override;
  void ClientClosed(TNetSocketClient* Client);
  void CheckTimeouts();
  void UpdateTimer();

  std::string FBanner = "Welcome to TcpSrv";
  std::string FBannerToBusy = "Sorry, too many clients";
  TNetSocketClientClass FClientClass;
  std::vector<TNetSocketClient*> FClientList;
  int32_t FClientNum = 0;
  uint64_t FNextClientId = 0;
  int32_t FMaxClients = 0;
  int32_t FClientTimeout = 0;
  bool FTimerOn = false;
};

class TNetSocketServer : public TCustomNetSocketServer {
 public:
  explicit TNetSocketServer(TComponent* AOwner) : TCustomNetSocketServer(AOwner) {}
};

}  // namespace kv
