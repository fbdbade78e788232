// POP3 client (RFC 1939, with APOP). TCustomPop3Client runs each command
// asynchronously and reports it through OnRequestDone; TPop3Client publishes it;
// TSyncPop3Client adds calls that wait while the message loop runs.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/sync_socket.h"
#include "net/pop3_protocol.h"
#include "net/reply_lines.h"
#include "net/request_client.h"
#include "platform/rtl/component.h"
#include "platform/rtl/set.h"
#include "platform/ui/messages.h"

namespace kv {

class TTimer;

enum TPop3ProtocolState : uint8_t { pop3Disconnected, pop3WaitingUser, pop3WaitingPass, pop3Transaction };
enum TPop3State : uint8_t {
  pop3Ready = 0, pop3DnsLookup = 1, pop3Connecting = 2, pop3Connected = 3, pop3InternalReady = 4,
  pop3WaitingBanner = 5, pop3WaitingResponse = 6, pop3Abort = 7
};
enum TPop3Request : uint16_t {
  pop3RqConnect = 0, pop3RqUser = 1, pop3RqPass = 2, pop3RqRPop = 3, pop3RqQuit = 4, pop3RqStat = 5,
  pop3RqList = 6, pop3RqRetr = 7, pop3RqTop = 8, pop3RqDele = 9, pop3RqNoop = 10, pop3RqLast = 11,
  pop3RqRset = 12, pop3RqUidl = 13, pop3RqAPop = 14, pop3RqOpen = 15
};
enum TPop3Fct : uint8_t {
  pop3FctConnect, pop3FctUser, pop3FctPass, pop3FctRPop, pop3FctDele, pop3FctNoop, pop3FctList, pop3FctRset,
  pop3FctAPop, pop3FctRetr, pop3FctTop, pop3FctStat, pop3FctUidl, pop3FctLast, pop3FctQuit, pop3FctNone
};
using TPop3FctSet = TSet<TPop3Fct, 16>;

using TPop3Display = std::function<void(TObject* Sender, const std::string& Msg)>;
using TPop3RequestDone = std::function<void(TObject* Sender, uint16_t RqType, uint16_t Error)>;
using TPop3SessionEvent = std::function<void(TObject* Sender, uint16_t Error)>;

class TCustomPop3Client : public TRequestClient {
 public:
  explicit TCustomPop3Client(TComponent* AOwner);
  ~TCustomPop3Client() override;

  void Connect();
  void User();
  void Pass();
  void RPop();
  void APop();
  void Quit();
  void Stat();
  void List();
  void Retr();
  void Top();
  void Dele();
  void Noop();
  void Last();
  void Rset();
  void Uidl();
  void Open();
  void Abort();
  bool Connected() const { return FConnected; }

  const std::string& Host() const { return FHost; }
  void SetHost(const std::string& V) { FHost = V; }
  const std::string& Port() const { return FPort; }
  void SetPort(const std::string& V) { FPort = V; }
  const std::string& UserName() const { return FUserName; }
  void SetUserName(const std::string& V) { FUserName = V; }
  const std::string& PassWord() const { return FPassWord; }
  void SetPassWord(const std::string& V) { FPassWord = V; }
  const std::string& ErrorMessage() const { return FErrorMessage; }
  const std::string& LastResponse() const { return FLastResponse; }
  TPop3ProtocolState ProtocolState() const { return FProtocolState; }
  TPop3State State() const { return FState; }
  int32_t MsgCount() const { return FMsgCount; }
  int32_t MsgSize() const { return FMsgSize; }
  int32_t MsgNum() const { return FMsgNum; }
  void SetMsgNum(int32_t V) { FMsgNum = V; }
  int32_t MsgLines() const { return FMsgLines; }
  void SetMsgLines(int32_t V) { FMsgLines = V; }
  const std::string& MsgUidl() const { return FMsgUidl; }
  // The last line of a multi-line reply, for the line events.
  const std::string& LastLine() const { return FLastLine; }
  const std::string& Timestamp() const { return FTimestamp; }
  uint16_t RequestResult() const { return FRequestResult; }
  int32_t StatusCode() const { return FStatusCode; }
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t V) { FTag = V; }
  TNetSocket* CtrlSocket() const { return FSocket; }

  TPop3Display OnDisplay;
  TPop3Display OnResponse;
  TNotifyEvent OnMessageBegin, OnMessageEnd, OnMessageLine;
  TNotifyEvent OnListBegin, OnListEnd, OnListLine;
  TNotifyEvent OnUidlBegin, OnUidlEnd, OnUidlLine;
  TNotifyEvent OnStateChange;
  TPop3RequestDone OnRequestDone;
  TPop3SessionEvent OnSessionConnected;
  TPop3SessionEvent OnSessionClosed;

 protected:
  using TNext = void (TCustomPop3Client::*)();
  enum TLineKind : uint8_t { lkNone, lkMessage, lkList, lkUidl };

  void Display(const std::string& Msg) override;
  void CheckReady();
  void RefuseNow(const std::string& Msg);
  void ExecAsync(TPop3Request RqType, const std::string& Cmd, TPop3ProtocolState NextState, TNext Next);
  void HighLevelAsync(TPop3Request RqType, TPop3FctSet Fcts);
  void HandleLine(const std::string& Line) override;
  void JudgeReply();

  // the request engine's hooks
  void EnterConnecting(TNetSocket&) override { FState = pop3Connecting; }
  bool Aborting() const override { return FState == pop3Abort; }
  void EnterInternalReady() override { FState = pop3InternalReady; }
  void EnterReady() override { FState = pop3Ready; }
  void RunStep(int Step) override;
  void StepRefused(const Exception& E) override;
  void StepEnded() override { FInMultiLine = false; }
  void RaiseRequestDone(uint16_t RqType, uint16_t Error) override;
  void BackgroundException(const Exception&) override { Abort(); }
  bool IdleNow() const override { return FState == pop3Ready; }
  void AbortRequest() override { Abort(); }
  void SetProtocolState(TPop3ProtocolState V);

  void SocketLookupDone(TObject* Sender, uint16_t Error);
  void SocketConnected(TObject* Sender, uint16_t Error);
  void SocketDataAvailable(TObject* Sender, uint16_t Error);
  void SocketClosed(TObject* Sender, uint16_t Error);

  void StatDone();
  void ListDone();
  void UidlDone();
  void LastDone();
  void MultiLineBegin();
  void QuitDone();
  void QuitTimedOut();

  TNetSocket* FSocket = nullptr;
  TTimer* FQuitTimer = nullptr;
  TPop3State FState = pop3Ready;
  TPop3ProtocolState FProtocolState = pop3Disconnected;
  TPop3ProtocolState FNextProtocolState = pop3Disconnected;
  bool FConnected = false;
  std::string FLastLine, FTimestamp;
  TNext FNext = nullptr;
  TLineKind FLineKind = lkNone;
  bool FInMultiLine = false;
  bool FQuitReplied = false;
  bool FQuitting = false;
  TReplyLineBuffer FLines{4093, false};

  std::string FHost, FPort = "pop3", FUserName, FPassWord;
  int32_t FMsgCount = 0, FMsgSize = 0, FMsgNum = 0, FMsgLines = 0;
  std::string FMsgUidl;
  int32_t FTag = 0;
};

class TPop3Client : public TCustomPop3Client {
 public:
  using TCustomPop3Client::TCustomPop3Client;
};

class TSyncPop3Client : public TPop3Client {
 public:
  explicit TSyncPop3Client(TComponent* AOwner);

  int32_t Timeout() const { return FTimeout; }
  void SetTimeout(int32_t V) { FTimeout = V; }
  bool MultiThreaded() const { return FMultiThreaded; }
  void SetMultiThreaded(bool V);

  bool Connect() { return Sync(&TCustomPop3Client::Connect); }
  bool User() { return Sync(&TCustomPop3Client::User); }
  bool Pass() { return Sync(&TCustomPop3Client::Pass); }
  bool RPop() { return Sync(&TCustomPop3Client::RPop); }
  bool APop() { return Sync(&TCustomPop3Client::APop); }
  bool Quit() { return Sync(&TCustomPop3Client::Quit); }
  bool Stat() { return Sync(&TCustomPop3Client::Stat); }
  bool List() { return Sync(&TCustomPop3Client::List); }
  bool Retr() { return Sync(&TCustomPop3Client::Retr); }
  bool Top() { return Sync(&TCustomPop3Client::Top); }
  bool Dele() { return Sync(&TCustomPop3Client::Dele); }
  bool Noop() { return Sync(&TCustomPop3Client::Noop); }
  bool Last() { return Sync(&TCustomPop3Client::Last); }
  bool Rset() { return Sync(&TCustomPop3Client::Rset); }
  bool Uidl() { return Sync(&TCustomPop3Client::Uidl); }
  bool Open() { return Sync(&TCustomPop3Client::Open); }

 private:
  bool Sync(void (TCustomPop3Client::*Start)());

  int32_t FTimeout = 15;
  bool FMultiThreaded = false;
};

}  // namespace kv
