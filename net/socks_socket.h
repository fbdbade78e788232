// TCustomSocksNetSocket: a connection through a SOCKS 4, 4A or 5 proxy. While
// no SOCKS server is set it is the plain socket; with one, Connect goes to the
// proxy, asks it for the path to Addr:Port and raises OnSessionConnected once
// the proxy has opened it (or failed, with the SOCKS error code).
#pragma once
#include <string>

#include "net/net_socket.h"

namespace kv {

enum TSocksAuthentication : uint8_t { socksNoAuthentication, socksAuthenticateUsercode };

using TSocksErrorEvent = std::function<void(TObject* Sender, int32_t Error, const std::string& Msg)>;
using TSocksAuthStateEvent = std::function<void(TObject* Sender, int32_t AuthState)>;

constexpr UINT WM_SOCKS_LOOKUP = WM_USER + 7;

// Reply collection is bounded: the longest valid reply is a SOCKS 5 answer
// with a 255-byte name.
constexpr int32_t kSocksReplyMax = 262;

class TCustomSocksNetSocket : public TCustomNetSocket {
 public:
  explicit TCustomSocksNetSocket(TComponent* AOwner);

  void Connect() override;
  void Listen() override;

  const std::string& SocksServer() const { return FSocksServer; }
  virtual void SetSocksServer(const std::string& Value);
  const std::string& SocksPort() const { return FSocksPort; }
  virtual void SetSocksPort(const std::string& Value);
  const std::string& SocksLevel() const { return FSocksLevel; }
  void SetSocksLevel(const std::string& Value);
  const std::string& SocksUsercode() const { return FSocksUsercode; }
  void SetSocksUsercode(const std::string& Value) { FSocksUsercode = Value; }
  const std::string& SocksPassword() const { return FSocksPassword; }
  void SetSocksPassword(const std::string& Value) { FSocksPassword = Value; }
  TSocksAuthentication SocksAuthentication() const { return FSocksAuthentication; }
  void SetSocksAuthentication(TSocksAuthentication Value) { FSocksAuthentication = Value; }
  // 0 idle, 1 connecting to the proxy, 2 authenticating, 3 sending the request.
  int32_t SocksState() const { return FSocksState; }

  TSessionConnected OnSocksConnected;
  TSocksErrorEvent OnSocksError;
  TSocksAuthStateEvent OnSocksAuthState;

  const TPropertyTable& PropertyTable() const override;

 protected:
  void WndProc(TMessage& Msg) override;
  void AssignDefaultValue() override;
  bool DoDataAvailable(uint16_t Error) override;
  void DoSessionConnected(uint16_t Error) override;
  void DoSessionClosed(uint16_t Error) override;
  int32_t GetRcvdCount() override;
  int32_t DoRecv(void* Buffer, int32_t BufferSize, int32_t Flags) override;
  virtual void DoSocksConnected(uint16_t Error);
  virtual void DoSocksError(int32_t Error, const std::string& Msg);
  bool SocksBusy() const { return FSocksState != 0; }

 private:
  void ResetSocks();
  void SendSocks4Request(uint32_t TargetAddr);
  void SendSocks5Greeting();
  void SendSocks5Request();
  void CollectReply();
  void CheckReply();
  void SocksFail(int32_t Error, const std::string& Msg);
  void SocksDone();

  std::string FSocksServer;
  std::string FSocksPort;
  std::string FSocksLevel = "5";
  std::string FSocksUsercode;
  std::string FSocksPassword;
  TSocksAuthentication FSocksAuthentication = socksNoAuthentication;
  bool FSocksServerAssigned = false;
  int32_t FSocksState = 0;
  bool FSocksAuthSent = false;  // level 5: the user-code message went out
  int32_t FSocksMethod = 0;
  std::string FTargetHost;
  uint16_t FTargetPort = 0;
  uint32_t FTargetLookup = 0;
  uint8_t FSocksRcvdBuf[kSocksReplyMax] = {};
  int32_t FSocksRcvdCnt = 0;
  // Application bytes that came behind the proxy's final reply.
  std::string FSocksLeft;
  size_t FSocksLeftPos = 0;
};

// The checks of one complete reply, apart from the socket, for the fuzz target
// and the tests: 0 when the reply grants the request, else the SOCKS error
// code with its text; Needed > 0 when more bytes must come first.
struct TSocksReplyCheck {
  int32_t Error = 0;
  std::string Msg;
  int32_t Needed = 0;  // total length the reply must reach
  int32_t Length = 0;  // the reply's own length when complete
};
TSocksReplyCheck CheckSocks4Reply(const uint8_t* Data, int32_t Len);
TSocksReplyCheck CheckSocks5MethodReply(const uint8_t* Data, int32_t Len);
TSocksReplyCheck CheckSocks5AuthReply(const uint8_t* Data, int32_t Len);
TSocksReplyCheck CheckSocks5ConnectReply(const uint8_t* Data, int32_t Len);

}  // namespace kv
