#include "net/pop3_client.h"

#include <algorithm>

#include "platform/rtl/strings.h"
#include "platform/sockets/winsock_errors.h"
#include "platform/ui/message_window.h"
#include "platform/ui/timer.h"

namespace kv {

namespace {

constexpr UINT WM_POP3_REQUEST_DONE = WM_USER + 1;
// A server that neither answers QUIT nor closes is dropped after this long.
constexpr uint32_t kQuitTimeoutMs = 10000;

std::string WinsockReply(int32_t Code) {
  return "-ERR " + NetSocketErrorText(Code) + " (Winsock error #" + std::to_string(Code) + ")";
}

}  // namespace

TCustomPop3Client::TCustomPop3Client(TComponent* AOwner) : TComponent(AOwner) {
  EnsureMessageLoop();
  FWindowHandle = AllocateHWnd([this](TMessage& M) { WndProc(M); });
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
  DeallocateHWnd(FWindowHandle);
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
  if (!FHighLevelFlag) {
    FRequestType = RqType;
    FErrorMessage.clear();
  }
  FRequestDoneFlag = false;
  FRequestResult = 0;
  FNextProtocolState = NextState;
  FNext = Next;
  FInMultiLine = false;
  FLineKind = lkNone;
  FState = pop3WaitingResponse;
  Display("> " + Cmd);
  if (FSocket->State() == wsConnected) FSocket->SendStr(Cmd + "\r\n");
}

void TCustomPop3Client::TriggerRequestDone(uint16_t Error) {
  if (FRequestDoneFlag) return;
  FRequestDoneFlag = true;
  FRequestResult = Error;
  FInMultiLine = false;
  if (FHighLevelFlag) {
    if (FState != pop3Abort) FState = pop3InternalReady;
    NextHighLevel();
    return;
  }
  if (FFctPrv == pop3FctQuit && !FLastResponseSave.empty()) {
    FLastResponse = FLastResponseSave;
    FStatusCode = FStatusCodeSave;
  }
  FLastResponseSave.clear();
  FFctPrv = pop3FctNone;
  FState = pop3Ready;
  PostMessage(FWindowHandle, WM_POP3_REQUEST_DONE, FRequestType, Error);
}

void TCustomPop3Client::HighLevelAsync(TPop3Request RqType, TPop3FctSet Fcts) {
  CheckReady();
  FRequestType = RqType;
  FErrorMessage.clear();
  FRequestResult = 0;
  FHighLevelResult = 0;
  FHighLevelFlag = true;
  FFctSet = Fcts;
  FFctPrv = pop3FctNone;
  NextHighLevel();
}

void TCustomPop3Client::NextHighLevel() {
  if (FState == pop3Abort) {
    FFctSet = TPop3FctSet();
    FHighLevelResult = 426;
    FErrorMessage = "426 Operation aborted.";
  } else if (FRequestResult != 0) {
    if (FHighLevelResult == 0) FHighLevelResult = FRequestResult;
    const bool quit = FFctSet.Contains(pop3FctQuit) && FFctPrv != pop3FctQuit;
    FFctSet = TPop3FctSet();
    if (quit) FFctSet.Include(pop3FctQuit);
  }
  for (int f = pop3FctConnect; f < pop3FctNone; ++f) {
    const TPop3Fct fct = TPop3Fct(f);
    if (!FFctSet.Contains(fct)) continue;
    FFctSet.Exclude(fct);
    if (fct == pop3FctQuit) {
      FLastResponseSave = FLastResponse;
      FStatusCodeSave = FStatusCode;
    }
    FFctPrv = fct;
    try {
      switch (fct) {
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
    } catch (const Exception& E) {
      if (FErrorMessage.empty()) FErrorMessage = E.Message();
      FHighLevelFlag = false;
      FRequestDoneFlag = false;
      FState = pop3InternalReady;
      TriggerRequestDone(FHighLevelResult ? FHighLevelResult : 500);
    }
    return;
  }
  FHighLevelFlag = false;
  FRequestDoneFlag = false;
  if (FState != pop3Abort) FState = pop3InternalReady;
  TriggerRequestDone(FHighLevelResult);
}

void TCustomPop3Client::WndProc(TMessage& Msg) {
  if (Msg.Msg != WM_POP3_REQUEST_DONE) return;
  try {
    if (OnRequestDone) OnRequestDone(this, uint16_t(Msg.WParam), uint16_t(Msg.LParam));
  } catch (const Exception&) {
    Abort();
  }
}

// ---------------------------------------------------------------- connection

void TCustomPop3Client::Connect() {
  CheckReady();
  if (FConnected) throw Pop3Exception("POP3 component already connected");
  if (!FHighLevelFlag) {
    FRequestType = pop3RqConnect;
    FErrorMessage.clear();
  }
  FRequestDoneFlag = false;
  FRequestResult = 0;
  FTimestamp.clear();
  FLines.Clear();
  FQuitReplied = FQuitting = false;
  FState = pop3DnsLookup;
  FSocket->DnsLookup(FHost);
}

void TCustomPop3Client::SocketLookupDone(TObject*, uint16_t Error) {
  if (FState != pop3DnsLookup) return;
  if (Error != 0) {
    FLastResponse = FErrorMessage = WinsockReply(Error);
    FStatusCode = 500;
    FState = pop3InternalReady;
    TriggerRequestDone(Error);
    return;
  }
  try {
    FSocket->SetAddr(FSocket->DnsResult());
    FSocket->SetProto("tcp");
    FSocket->SetPort(FPort);
    FState = pop3Connecting;
    FSocket->Connect();
  } catch (const Exception& E) {
    FLastResponse = FErrorMessage = "-ERR " + ExceptionClassName(E) + ": " + E.Message();
    FStatusCode = 500;
    FState = pop3InternalReady;
    TriggerRequestDone(500);
  }
}

void TCustomPop3Client::SocketConnected(TObject*, uint16_t Error) {
  if (Error != 0) {
    FLastResponse = FErrorMessage = WinsockReply(Error);
    FStatusCode = 500;
    FState = pop3InternalReady;
    TriggerRequestDone(Error);
    if (FSocket->State() != wsClosed) FSocket->Close();
    return;
  }
  FConnected = true;
  FState = pop3WaitingBanner;
}

void TCustomPop3Client::SocketDataAvailable(TObject*, uint16_t) {
  char buf[4096];
  const int32_t n = FSocket->Receive(buf, int32_t(sizeof buf));
  if (n <= 0) return;
  FLines.Append(buf, size_t(n));
  std::string line;
  while (FLines.NextLine(line)) HandleLine(line);
}

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
  const uint64_t deadline = TickCount64() + uint64_t(std::max(FTimeout, 0)) * 1000;
  try {
    (static_cast<TCustomPop3Client*>(this)->*Start)();
  } catch (const Exception& E) {
    FErrorMessage = E.Message();
    return false;
  }
  for (;;) {
    if (FState == pop3Ready) return FRequestResult == 0;
    const uint64_t now = TickCount64();
    if (MessageLoopEnding() || (FTimeout > 0 && now >= deadline)) {
      Abort();
      FErrorMessage = "426 Timeout";
      FStatusCode = 426;
      FRequestResult = 426;
      return false;
    }
    WaitForMessages(uint32_t(std::min<uint64_t>(FTimeout > 0 ? deadline - now : 1000, 1000)));
  }
}

}  // namespace kv
