#include "net/pop3_client.h"

#include <algorithm>

#include "platform/rtl/strings.h"
#include "platform/ui/message_window.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {

// A server that neither answers QUIT nor closes is dropped after this long.
constexpr uint32_t kQuitTimeoutMs = 10000;

}  // namespace

TCustomPop3Client::TCustomPop3Client(TComponent* AOwner) : TRequestClient(AOwner, pop3FctNone, pop3FctQuit) {
  FSocket = new TNetSocket(nullptr);
  FSocket->OnDnsLookupDone = [this](TObject* S, uint16_t E) { SocketLookupDone(S, E); };
  FSocket->OnSessionConnected = [this](TObject* S, uint16_t E) { SocketConnected(S, E); };
  FSocket->OnDataAvailable = [this](TObject* S, uint16_t E) { SocketDataAvailable(S, E); };
  FSocket->OnSessionClosed = [this](TObject* S, uint16_t E) { SocketClosed(S, E); };
  FQuitTimer = new TTimer(this);
  FQuitTimer->SetEnabled(false);
  FQuitTimer->SetInterval(kQuitTimeoutMs);
  FQuitTimer->SetOnTimer([this](TObject*) { QuitTimedOut(); });
}

TCustomPop3Client::~TCustomPop3Client() {
  FSocket->OnDnsLookupDone = nullptr;
  FSocket->OnSessionConnected = nullptr;
  FSocket->OnDataAvailable = nullptr;
  FSocket->OnSessionClosed = nullptr;
  delete FSocket;
}

void TCustomPop3Client::Display(const std::string& Msg) {
  if (OnDisplay) OnDisplay(this, Msg);
}

void TCustomPop3Client::SetProtocolState(TPop3ProtocolState V) {
  FProtocolState = V;
  if (OnStateChange) OnStateChange(this);
}

void TCustomPop3Client::CheckReady() {
  if (FState != pop3Ready && FState != pop3InternalReady) throw Pop3Exception("POP3 component not ready");
}

void TCustomPop3Client::RefuseNow(const std::string& Msg) {
  FErrorMessage = Msg;
  Display(Msg);
  throw Pop3Exception(Msg);
}

void TCustomPop3Client::ExecAsync(TPop3Request RqType, const std::string& Cmd, TPop3ProtocolState NextState,
                                  TNext Next) {
  CheckReady();
  if (!FConnected) throw Pop3Exception("POP3 component not connected");
  BeginRequest(RqType);
  FNextProtocolState = NextState;
  FNext = Next;
  FInMultiLine = false;
  FLineKind = lkNone;
  FState = pop3WaitingResponse;
  SendLine(FSocket, Cmd);
}

void TCustomPop3Client::HighLevelAsync(TPop3Request RqType, TPop3FctSet Fcts) {
  CheckReady();
  StartSteps(RqType, Fcts.ToMask());
}

void TCustomPop3Client::RunStep(int Step) {
  switch (TPop3Fct(Step)) {
    case pop3FctConnect: Connect(); break;
    case pop3FctUser: User(); break;
    case pop3FctPass: Pass(); break;
    case pop3FctRPop: RPop(); break;
    case pop3FctDele: Dele(); break;
    case pop3FctNoop: Noop(); break;
    case pop3FctList: List(); break;
    case pop3FctRset: Rset(); break;
    case pop3FctAPop: APop(); break;
    case pop3FctRetr: Retr(); break;
    case pop3FctTop: Top(); break;
    case pop3FctStat: Stat(); break;
    case pop3FctUidl: Uidl(); break;
    case pop3FctLast: Last(); break;
    case pop3FctQuit: Quit(); break;
    case pop3FctNone: break;
  }
}

void TCustomPop3Client::StepRefused(const Exception& E) {
  if (FErrorMessage.empty()) FErrorMessage = E.Message();
  FState = pop3InternalReady;
}

void TCustomPop3Client::RaiseRequestDone(uint16_t RqType, uint16_t Error) {
  if (OnRequestDone) OnRequestDone(this, RqType, Error);
}

// ---------------------------------------------------------------- connection

void TCustomPop3Client::Connect() {
  CheckReady();
  if (FConnected) throw Pop3Exception("POP3 component already connected");
  BeginRequest(pop3RqConnect);
  FTimestamp.clear();
  FLines.Clear();
  FQuitReplied = FQuitting = false;
  FState = pop3DnsLookup;
  FSocket->DnsLookup(FHost);
}

void TCustomPop3Client::SocketLookupDone(TObject*, uint16_t Error) {
  if (FState == pop3DnsLookup) ConnectAfterLookup(*FSocket, Error, FPort, "-ERR ", true);
}

void TCustomPop3Client::SocketConnected(TObject*, uint16_t Error) {
  if (Error != 0) {
    ConnectionFailed(*FSocket, Error, "-ERR ");
    return;
  }
  FConnected = true;
  FState = pop3WaitingBanner;
}

void TCustomPop3Client::SocketDataAvailable(TObject*, uint16_t) { ReceiveLines(*FSocket, FLines); }

void TCustomPop3Client::HandleLine(const std::string& Line) {
  FLastResponse = Line;
  if (OnResponse) OnResponse(this, Line);
  if (FState == pop3WaitingBanner) {
    Display("< " + Line);
    if (!Pop3ReplyOk(Line)) {
      FStatusCode = 500;
      FErrorMessage = Line;
      FState = pop3InternalReady;
      TriggerRequestDone(500);
      FSocket->Close();
      return;
    }
    FStatusCode = 0;
    FTimestamp = ApopTimestamp(Line);
    SetProtocolState(pop3WaitingUser);
    FState = pop3Connected;
    if (OnSessionConnected) OnSessionConnected(this, 0);
    FState = pop3InternalReady;
    TriggerRequestDone(0);
    return;
  }
  if (FState != pop3WaitingResponse) {
    Display("< " + Line);
    return;
  }
  if (FInMultiLine) {
    FLastLine = Line;
    if (!Pop3DataLine(FLastLine)) {
      const TNotifyEvent& end = FLineKind == lkList ? OnListEnd : FLineKind == lkUidl ? OnUidlEnd : OnMessageEnd;
      FInMultiLine = false;
      if (end) end(this);
      TriggerRequestDone(0);
      return;
    }
    if (FLineKind == lkList) {
      const TPop3Numbers n = ParsePop3Numbers(FLastLine);
      FMsgNum = n.First;
      FMsgSize = n.Second;
      if (OnListLine) OnListLine(this);
    } else if (FLineKind == lkUidl) {
      ParseUidlLine(FLastLine, FMsgNum, FMsgUidl);
      if (OnUidlLine) OnUidlLine(this);
    } else if (OnMessageLine) {
      OnMessageLine(this);
    }
    return;
  }
  JudgeReply();
}

void TCustomPop3Client::JudgeReply() {
  Display("< " + FLastResponse);
  if (!Pop3ReplyOk(FLastResponse)) {
    FStatusCode = 500;
    FErrorMessage = FLastResponse;
    FNext = nullptr;
    if (FQuitting) {
      QuitDone();
      return;
    }
    TriggerRequestDone(500);
    return;
  }
  FStatusCode = 0;
  if (FQuitting) {
    QuitDone();
    return;
  }
  SetProtocolState(FNextProtocolState);
  if (FNext) {
    TNext next = FNext;
    FNext = nullptr;
    (this->*next)();
    return;
  }
  TriggerRequestDone(0);
}

void TCustomPop3Client::SocketClosed(TObject*, uint16_t Error) {
  const bool wasConnected = FConnected;
  FConnected = false;
  FQuitTimer->SetEnabled(false);
  SetProtocolState(pop3Disconnected);
  if (wasConnected && OnSessionClosed) OnSessionClosed(this, Error);
  if (FState == pop3Ready || FState == pop3Abort || FRequestDoneFlag) return;
  if (FQuitting) {
    // The server's close ends QUIT whether or not its reply came first.
    FQuitting = false;
    TriggerRequestDone(FQuitReplied ? FRequestResult : 0);
    return;
  }
  if (FInMultiLine) {
    FErrorMessage = "-ERR Disconneced unexpectedly";
    FStatusCode = 500;
    FHighLevelFlag = false;
    TriggerRequestDone(500);
    return;
  }
  if (FErrorMessage.empty()) FErrorMessage = "-ERR Connection closed";
  FHighLevelFlag = false;
  TriggerRequestDone(10004);
}

void TCustomPop3Client::Abort() {
  FState = pop3Abort;
  FQuitTimer->SetEnabled(false);
  FSocket->CancelLookup();
  if (FSocket->State() != wsClosed) FSocket->Abort();
  FConnected = false;
  FHighLevelFlag = false;
  FQuitting = false;
  FProtocolState = pop3Disconnected;
  FState = pop3Ready;
}

// ---------------------------------------------------------------- commands

void TCustomPop3Client::User() {
  CheckReady();
  if (FProtocolState > pop3WaitingUser) RefuseNow("-ERR USER command invalid now");
  ExecAsync(pop3RqUser, Pop3CommandLine("USER", Trim(FUserName)), pop3WaitingPass, nullptr);
}

void TCustomPop3Client::Pass() {
  CheckReady();
  if (FProtocolState > pop3WaitingPass) RefuseNow("-ERR PASS command invalid now");
  ExecAsync(pop3RqPass, Pop3CommandLine("PASS", Trim(FPassWord)), pop3Transaction, nullptr);
}

void TCustomPop3Client::RPop() {
  CheckReady();
  if (FProtocolState > pop3WaitingPass) RefuseNow("-ERR RPOP command invalid now");
  ExecAsync(pop3RqRPop, Pop3CommandLine("RPOP", Trim(FPassWord)), pop3Transaction, nullptr);
}

void TCustomPop3Client::APop() {
  CheckReady();
  if (FProtocolState != pop3WaitingUser) RefuseNow("-ERR APOP command invalid now");
  if (FTimestamp.empty()) throw Pop3Exception("-ERR Server do not support APOP (no timestamp)");
  const std::string user = Trim(FUserName);
  if (HasLineBreak(user) || user.find(' ') != std::string::npos)
    throw Pop3Exception("-ERR Invalid user name for APOP");
  ExecAsync(pop3RqAPop, Pop3CommandLine("APOP", user + " " + ApopDigest(FTimestamp, Trim(FPassWord))),
            pop3Transaction, nullptr);
}

void TCustomPop3Client::Quit() {
  CheckReady();
  if (!FConnected) {
    if (!FHighLevelFlag) FRequestType = pop3RqQuit;
    FRequestDoneFlag = false;
    TriggerRequestDone(0);
    return;
  }
  ExecAsync(pop3RqQuit, "QUIT", pop3Disconnected, nullptr);
  FQuitting = true;
  FQuitReplied = false;
  FQuitTimer->SetEnabled(true);
}

void TCustomPop3Client::QuitDone() {
  // The reply is in: close ourselves rather than wait for the server to.
  FQuitReplied = true;
  FRequestResult = FStatusCode == 0 ? 0 : 500;
  FQuitTimer->SetEnabled(false);
  if (FSocket->State() != wsClosed)
    FSocket->Close();
  else
    SocketClosed(FSocket, 0);
}

void TCustomPop3Client::QuitTimedOut() {
  FQuitTimer->SetEnabled(false);
  if (!FQuitting) return;
  FErrorMessage = "426 Timeout";
  FStatusCode = 426;
  FQuitReplied = true;
  FRequestResult = 426;
  if (FSocket->State() != wsClosed)
    FSocket->Abort();
  else
    SocketClosed(FSocket, 0);
}

void TCustomPop3Client::Stat() {
  CheckReady();
  if (FProtocolState != pop3Transaction) RefuseNow("-ERR STAT command invalid now");
  ExecAsync(pop3RqStat, "STAT", pop3Transaction, &TCustomPop3Client::StatDone);
}

void TCustomPop3Client::StatDone() {
  const TPop3Numbers n = ParsePop3Numbers(Pop3ReplyText(FLastResponse));
  FMsgCount = n.HasSecond ? n.First : 0;
  FMsgSize = n.HasSecond ? n.Second : 0;
  TriggerRequestDone(0);
}

void TCustomPop3Client::List() {
  CheckReady();
  if (FProtocolState != pop3Transaction) RefuseNow("-ERR LIST command invalid now");
  ExecAsync(pop3RqList, FMsgNum > 0 ? "LIST " + std::to_string(FMsgNum) : "LIST", pop3Transaction,
            &TCustomPop3Client::ListDone);
}

void TCustomPop3Client::ListDone() {
  if (FMsgNum > 0) {
    const TPop3Numbers n = ParsePop3Numbers(Pop3ReplyText(FLastResponse));
    FMsgNum = n.First;
    FMsgSize = n.Second;
    TriggerRequestDone(0);
    return;
  }
  FLineKind = lkList;
  MultiLineBegin();
}

void TCustomPop3Client::Uidl() {
  CheckReady();
  if (FProtocolState != pop3Transaction) RefuseNow("-ERR UIDL command invalid now");
  ExecAsync(pop3RqUidl, FMsgNum > 0 ? "UIDL " + std::to_string(FMsgNum) : "UIDL", pop3Transaction,
            &TCustomPop3Client::UidlDone);
}

void TCustomPop3Client::UidlDone() {
  if (FMsgNum > 0) {
    ParseUidlLine(Pop3ReplyText(FLastResponse), FMsgNum, FMsgUidl);
    TriggerRequestDone(0);
    return;
  }
  FLineKind = lkUidl;
  MultiLineBegin();
}

void TCustomPop3Client::MultiLineBegin() {
  FInMultiLine = true;
  FState = pop3WaitingResponse;
  const TNotifyEvent& begin =
      FLineKind == lkList ? OnListBegin : FLineKind == lkUidl ? OnUidlBegin : OnMessageBegin;
  if (begin) begin(this);
}

void TCustomPop3Client::Retr() {
  CheckReady();
  if (FProtocolState != pop3Transaction) RefuseNow("-ERR RETR command invalid now");
  ExecAsync(pop3RqRetr, "RETR " + std::to_string(FMsgNum), pop3Transaction, &TCustomPop3Client::MultiLineBegin);
  FLineKind = lkMessage;
}

void TCustomPop3Client::Top() {
  CheckReady();
  if (FProtocolState != pop3Transaction) RefuseNow("-ERR TOP command invalid now");
  if (FMsgLines < 0) throw Pop3Exception("Invalid MsgLines for TOP command");
  ExecAsync(pop3RqTop, "TOP " + std::to_string(FMsgNum) + " " + std::to_string(FMsgLines), pop3Transaction,
            &TCustomPop3Client::MultiLineBegin);
  FLineKind = lkMessage;
}

void TCustomPop3Client::Dele() {
  CheckReady();
  if (FProtocolState != pop3Transaction) RefuseNow("-ERR DELE command invalid now");
  ExecAsync(pop3RqDele, "DELE " + std::to_string(FMsgNum), pop3Transaction, nullptr);
}

void TCustomPop3Client::Noop() {
  CheckReady();
  if (FProtocolState != pop3Transaction) RefuseNow("-ERR NOOP command invalid now");
  ExecAsync(pop3RqNoop, "NOOP", pop3Transaction, nullptr);
}

void TCustomPop3Client::Last() {
  CheckReady();
  if (FProtocolState != pop3Transaction) RefuseNow("-ERR LAST command invalid now");
  ExecAsync(pop3RqLast, "LAST", pop3Transaction, &TCustomPop3Client::LastDone);
}

void TCustomPop3Client::LastDone() {
  FMsgNum = ParsePop3Numbers(Pop3ReplyText(FLastResponse)).First;
  TriggerRequestDone(0);
}

void TCustomPop3Client::Rset() {
  CheckReady();
  if (FProtocolState != pop3Transaction) RefuseNow("-ERR RSET command invalid now");
  ExecAsync(pop3RqRset, "RSET", pop3Transaction, nullptr);
}

void TCustomPop3Client::Open() {
  if (FConnected) throw Pop3Exception("pop3 component already connected");
  HighLevelAsync(pop3RqOpen, {pop3FctConnect, pop3FctUser, pop3FctPass});
}

// ---------------------------------------------------------------- synchronous

TSyncPop3Client::TSyncPop3Client(TComponent* AOwner) : TPop3Client(AOwner) {}

void TSyncPop3Client::SetMultiThreaded(bool V) {
  FMultiThreaded = V;
  FSocket->SetMultiThreaded(V);
}

bool TSyncPop3Client::Sync(void (TCustomPop3Client::*Start)()) {
  return TRequestClient::Sync([&] { (static_cast<TCustomPop3Client*>(this)->*Start)(); }, FTimeout);
}

}  // namespace kv
