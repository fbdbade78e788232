// TCustomNetSocket: the asynchronous socket under every network connection.
// It never blocks on network input or output: readiness arrives as messages
// on its own hidden window, handled by the message loop, and becomes events.
// Sends are copied into a chain of fixed-size chunks that drain as the network
// takes them. Name and address look-ups run on a worker and answer through
// the same window.
#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>

#include "net/socket_buffer.h"
#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/set.h"
#include "platform/rtl/string_list.h"
#include "platform/sockets/socket_api.h"
#include "platform/ui/messages.h"

namespace kv {

KV_DECLARE_EXCEPTION(ESocketException, Exception)

// Messages of the socket's hidden window.
constexpr UINT WM_ASYNCSELECT = WM_USER + 1;
constexpr UINT WM_ASYNCGETHOSTBYNAME = WM_USER + 2;
constexpr UINT WM_ASYNCGETHOSTBYADDR = WM_USER + 3;
constexpr UINT WM_CLOSE_DELAYED = WM_USER + 4;
constexpr UINT WM_FREE_SOCKET = WM_USER + 5;
constexpr UINT WM_TEST_EXCEPTION = WM_USER + 6;
constexpr UINT WM_RESUME_LINE_MODE = WM_USER + 0x14;

enum TSocketState : uint8_t {
  wsInvalidState, wsOpened, wsBound, wsConnecting, wsConnected, wsAccepting, wsListening, wsClosed
};
enum TSocketSendFlags : uint8_t { wsSendNormal, wsSendUrgent };
enum TSocketLingerOnOff : uint8_t { wsLingerOff, wsLingerOn, wsLingerNoSet };
enum TNetSocketOption : uint8_t { wsoNoReceiveLoop };
using TNetSocketOptions = TSet<TNetSocketOption, 8>;

using TDataAvailable = std::function<void(TObject* Sender, uint16_t Error)>;
using TDataSent = std::function<void(TObject* Sender, uint16_t Error)>;
using TSessionClosed = std::function<void(TObject* Sender, uint16_t Error)>;
using TSessionAvailable = std::function<void(TObject* Sender, uint16_t Error)>;
using TSessionConnected = std::function<void(TObject* Sender, uint16_t Error)>;
using TDnsLookupDone = std::function<void(TObject* Sender, uint16_t Error)>;
using TSendData = std::function<void(TObject* Sender, int32_t BytesSent)>;
using TChangeState = std::function<void(TObject* Sender, TSocketState OldState, TSocketState NewState)>;
using TBgExceptionEvent = std::function<void(TObject* Sender, const Exception& E, bool& CanClose)>;

// A (seconds, microseconds) pair.
struct TTimeVal {
  int32_t tv_sec = 0;
  int32_t tv_usec = 0;
};

class TCustomNetSocket : public TComponent {
 public:
  explicit TCustomNetSocket(TComponent* AOwner);
  ~TCustomNetSocket() override;

  // ---- operations ----
  virtual void Connect();
  virtual void Close();
  virtual void PostClose();
  virtual void PostFree();
  virtual void Abort();
  virtual void Flush();
  virtual void DrainUntilClosed();
  virtual void Listen();
  virtual TSocket Accept();
  virtual int32_t Receive(void* Buffer, int32_t BufferSize);
  virtual std::string ReceiveStr();
  virtual int32_t ReceiveFrom(void* Buffer, int32_t BufferSize, TSockAddrIn& From, int32_t& FromLen);
  virtual int32_t Send(const void* Data, int32_t Len);
  virtual int32_t SendTo(const TSockAddrIn& Dest, int32_t DestLen, const void* Data, int32_t Len);
  virtual int32_t SendStr(const std::string& Str);
  virtual void DnsLookup(const std::string& HostName);
  virtual void ReverseLookup(const std::string& HostAddr);
  virtual void CancelLookup();
  virtual std::string GetPeerAddr();
  virtual std::string GetPeerPort();
  virtual int32_t GetPeerName(TSockAddrIn& Name, int32_t& NameLen);
  virtual std::string GetXPort();
  virtual int32_t GetSockName(TSockAddrIn& Name, int32_t& NameLen);
  virtual void Dup(TSocket NewHSocket);
  virtual void Shutdown(int32_t How);
  virtual void Pause();
  virtual void Resume();
  virtual void PumpMessages();

  static bool TimerIsSet(const TTimeVal& T) { return T.tv_sec != 0 || T.tv_usec != 0; }
  static void TimerClear(TTimeVal& T) { T = TTimeVal{}; }
  static bool TimerCmp(const TTimeVal& A, const TTimeVal& B, bool Equal) {
    const bool same = A.tv_sec == B.tv_sec && A.tv_usec == B.tv_usec;
    return Equal ? same : !same;
  }

  // ---- properties ----
  HWND Handle() const { return FWindowHandle; }
  TSocket HSocket() const { return FHSocket; }
  TSocketState State() const { return FState; }
  const std::string& Addr() const { return FAddrStr; }
  void SetAddr(const std::string& Value);
  const std::string& Port() const { return FPortStr; }
  void SetPort(const std::string& Value) { SetRemotePort(Value); }
  const std::string& Proto() const { return FProtoStr; }
  void SetProto(const std::string& Value) { SetProtoValue(Value); }
  const std::string& LocalAddr() const { return FLocalAddr; }
  void SetLocalAddr(const std::string& Value);
  const std::string& LocalPort() const { return FLocalPortStr; }
  void SetLocalPort(const std::string& Value);
  std::string PeerAddr() { return GetPeerAddr(); }
  std::string PeerPort() { return GetPeerPort(); }
  const std::string& DnsResult() const { return FDnsResult; }
  TStringList* DnsResultList() const { return FDnsResultList.get(); }
  int32_t ReadCount() const { return FReadCount; }
  int32_t RcvdCount() { return GetRcvdCount(); }
  int32_t LastError() const { return FLastError; }
  bool MultiThreaded() const { return FMultiThreaded; }
  void SetMultiThreaded(bool Value) { FMultiThreaded = Value; }
  TNetSocketOptions ComponentOptions() const { return FComponentOptions; }
  void SetComponentOptions(TNetSocketOptions Value) { FComponentOptions = Value; }
  TSocketSendFlags SendFlags() const;
  void SetSendFlags(TSocketSendFlags Value);
  TSocketLingerOnOff LingerOnOff() const { return FLingerOnOff; }
  void SetLingerOnOff(TSocketLingerOnOff Value) { FLingerOnOff = Value; }
  int32_t LingerTimeout() const { return FLingerTimeout; }
  void SetLingerTimeout(int32_t Value) { FLingerTimeout = Value; }
  int32_t BufSize() const { return FBufSize; }
  void SetBufSize(int32_t Value);
  bool AllSent() const { return FAllSent; }
  bool Paused() const { return FPaused; }

  TSessionAvailable OnSessionAvailable;
  TSessionConnected OnSessionConnected;
  TSessionClosed OnSessionClosed;
  TChangeState OnChangeState;
  TDataAvailable OnDataAvailable;
  TDataSent OnDataSent;
  TSendData OnSendData;
  TNotifyEvent OnError;
  TBgExceptionEvent OnBgException;
  TDnsLookupDone OnDnsLookupDone;

  const TPropertyTable& PropertyTable() const override;

  // Frees the object now, or, when one of its messages is being handled,
  // right after the outermost of them has returned.
  void FreeWhenIdle();

 protected:
  virtual void WndProc(TMessage& Msg);
  virtual void AssignDefaultValue();
  virtual void InternalClose(bool bShut, uint16_t Error);
  virtual void SetRemotePort(const std::string& Value);
  virtual void SetProtoValue(const std::string& Value);
  virtual int32_t GetRcvdCount();
  virtual void BindSocket();
  virtual int32_t RealSend(const void* Data, int32_t Len);
  virtual void RaiseExceptionFmt(const std::string& Msg) { RaiseException(Msg); }
  virtual void RaiseException(const std::string& Msg);
  virtual void HandleBackGroundException(const Exception& E);
  virtual bool DoDataAvailable(uint16_t Error);
  virtual void DoSessionAvailable(uint16_t Error);
  virtual void DoSessionConnected(uint16_t Error);
  virtual void DoSessionClosed(uint16_t Error);
  virtual void DoDataSent(uint16_t Error);
  virtual void DoChangeState(TSocketState OldState, TSocketState NewState);
  virtual void DoDnsLookupDone(uint16_t Error);
  virtual void DoError();
  virtual int32_t DoRecv(void* Buffer, int32_t BufferSize, int32_t Flags);
  virtual int32_t DoRecvFrom(void* Buffer, int32_t BufferSize, int32_t Flags, TSockAddrIn& From, int32_t& FromLen);

  // Raises the error of a failed call: "Error <code> in function <name>"
  // and the code's text; 10054 and 10057 also close the handle.
  void SocketError(const std::string& FuncName);
  void ChangeState(TSocketState NewState);
  void TryToSend();
  void DeleteBufferedData();
  void ApplyLinger();
  void ReceiveLoop(uint16_t Error);
  void ConnectResolved();
  void PostMessageToSelf(UINT Msg, WPARAM WParam, LPARAM LParam);
  bool IsDestroying() const { return ComponentState().Contains(csDestroying); }
  // True when the socket must not be touched any more (freed while a call
  // out to a handler ran); the socket itself is still valid memory.
  bool FreePending() const { return FFreePending; }

  TSocket FHSocket = INVALID_SOCKET;
  TSocketToken FToken = 0;
  HWND FWindowHandle = 0;
  std::list<std::unique_ptr<TBuffer>> FBufList;
  int32_t FBufSize = 1514;
  std::string FDnsResult;
  std::unique_ptr<TStringList> FDnsResultList;
  uint32_t FDnsLookupHandle = 0;
  bool FDnsLookupForConnect = false;
  int32_t FLastError = 0;
  uint8_t FSendFlags = 0;
  std::string FAddrStr;
  bool FAddrAssigned = false;
  bool FAddrResolved = false;
  uint32_t FAddrValue = 0;
  std::string FPortStr;
  bool FPortAssigned = false;
  bool FPortResolved = false;
  uint16_t FPortValue = 0;
  std::string FProtoStr = "tcp";
  bool FProtoAssigned = true;
  bool FProtoResolved = false;
  int32_t FProto = 6;
  int32_t FType = SOCK_STREAM_TYPE;
  int32_t FAddrFamily = AF_INET_FAMILY;
  std::string FLocalPortStr = "0";
  bool FLocalPortResolved = false;
  uint16_t FLocalPortValue = 0;
  std::string FLocalAddr = "0.0.0.0";
  TSockAddrIn Fsin;
  TSocketLingerOnOff FLingerOnOff = wsLingerOn;
  int32_t FLingerTimeout = 0;
  int32_t FReadCount = 0;
  bool FRecvDrained = false;  // the last read took less than it asked for
  bool FSendShut = false;     // our sending side is ended already
  uint16_t FSelectEvent = 0;
  bool FAllSent = true;
  bool FPaused = false;
  bool FCloseInvoked = false;
  bool FFlushTimeout = false;
  TSocketState FState = wsClosed;
  bool FMultiThreaded = false;
  TNetSocketOptions FComponentOptions;
  TSocket FASocket = INVALID_SOCKET;

 private:
  void HandleSelect(TMessage& Msg);
  void HandleLookup(TMessage& Msg, bool Reverse);
  void Select(uint16_t Events, const std::string& FuncName);
  void ResolveForConnect();

  uint64_t FRecvCalls = 0;
  int32_t FDispatchDepth = 0;
  bool FFreePending = false;
};

// Address in network order; dotted text or a (blocking) name look-up.
uint32_t NetSocketResolveHost(const std::string& InAddr);
// Port in host order from a number or a service name.
uint16_t NetSocketResolvePort(const std::string& Port, const std::string& Proto);
int32_t NetSocketResolveProto(const std::string& Proto);
bool NetSocketIsDottedIP(const std::string& Text);
std::string GetLocalHostName();
// The machine's IPv4 addresses; the list stays valid until the next call.
TStringList* GetLocalAddresses();

}  // namespace kv
