#include "net/ftp_client.h"

#include <algorithm>

#include "platform/rtl/atomic_file_stream.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/message_window.h"

namespace kv {

namespace {

constexpr UINT WM_FTP_SENDDATA = WM_USER + 2;  // WM_USER + 1 is the engine's request-done report
// Each data-sent event reads and queues this much of the local file: one frame
// per loop turn left the upload three times slower than curl.
constexpr int32_t kBlockSize = 65536;
constexpr int32_t kRecvBlock = 2048;

uint16_t ShareFlags(TFtpShareMode M) {
  switch (M) {
    case ftpShareCompat: return fmShareCompat;
    case ftpShareExclusive: return fmShareExclusive;
    case ftpShareDenyWrite: return fmShareDenyWrite;
    case ftpShareDenyRead: return fmShareDenyRead;
    default: return fmShareDenyNone;
  }
}

}  // namespace

TCustomFtpClient::TCustomFtpClient(TComponent* AOwner) : TRequestClient(AOwner, ftpFctNone, ftpFctQuit) {
  FRequestType = ftpRqNone;
  FControlSocket = new TNetSocket(nullptr);
  FDataSocket = new TNetSocket(nullptr);
  FControlSocket->FreeNotification(this);
  FDataSocket->FreeNotification(this);
  FControlSocket->OnSessionConnected = [this](TObject* S, uint16_t E) { ControlConnected(S, E); };
  FControlSocket->OnDataAvailable = [this](TObject* S, uint16_t E) { ControlDataAvailable(S, E); };
  FControlSocket->OnSessionClosed = [this](TObject* S, uint16_t E) { ControlClosed(S, E); };
  FControlSocket->OnDnsLookupDone = [this](TObject* S, uint16_t E) { ControlLookupDone(S, E); };
}

TCustomFtpClient::~TCustomFtpClient() {
  // Handlers must not reach a half-destroyed client while the sockets close.
  for (TNetSocket* s : {FControlSocket, FDataSocket}) {
    if (!s) continue;
    s->RemoveFreeNotification(this);
    s->OnSessionConnected = nullptr;
    s->OnDataAvailable = nullptr;
    s->OnSessionClosed = nullptr;
    s->OnDnsLookupDone = nullptr;
    s->OnDataSent = nullptr;
    s->OnSessionAvailable = nullptr;
    delete s;
  }
  FControlSocket = FDataSocket = nullptr;
}

void TCustomFtpClient::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FControlSocket) FControlSocket = nullptr;
  if (AComponent == FDataSocket) FDataSocket = nullptr;
}

void TCustomFtpClient::HandleError(const std::string& Msg) {
  std::string m = Msg;
  if (OnError) {
    OnError(this, m);
    return;
  }
  throw FtpException(m);
}

void TCustomFtpClient::Display(const std::string& Msg) {
  if (!OnDisplay) return;
  std::string m = Msg;
  OnDisplay(this, m);
}

void TCustomFtpClient::SetState(TFtpState V) {
  FState = V;
  if (OnStateChange) OnStateChange(this);
}

void TCustomFtpClient::SetOptions(TFtpOptions V) {
  FOptions = V;
  FLines.SetAcceptLF(V.Contains(ftpAcceptLF));
}

void TCustomFtpClient::SetPassive(bool V) { FPassive = FConnectionType == ftpDirect ? V : true; }

void TCustomFtpClient::SetConnectionType(TFtpConnectionType V) {
  if (Connected()) {
    HandleError("FTP component connected");
    return;
  }
  FConnectionType = V;
  if (V != ftpDirect) FPassive = true;  // the proxy cannot accept a data connection for us
}

bool TCustomFtpClient::Connected() const { return FControlSocket && FControlSocket->State() != wsClosed; }

void TCustomFtpClient::ApplySocks(TNetSocket& S) {
  if (FConnectionType < ftpSocks4 || FSocksServer.empty()) return;
  S.SetSocksServer(FSocksServer);
  S.SetSocksPort(FSocksPort);
  S.SetSocksLevel(FConnectionType == ftpSocks4 ? "4" : FConnectionType == ftpSocks4A ? "4A" : "5");
  S.SetSocksUsercode(FSocksUserCode);
  S.SetSocksPassword(FSocksPassword);
  S.SetSocksAuthentication(FSocksUserCode.empty() ? socksNoAuthentication : socksAuthenticateUsercode);
  S.OnSocksError = [this](TObject*, int32_t Error, const std::string& Msg) {
    Display("! SOCKS error #" + std::to_string(Error) + ": " + Msg);
  };
}

// ---------------------------------------------------------------- requests

bool TCustomFtpClient::CheckReady() {
  if (FState != ftpReady && FState != ftpInternalReady) {
    HandleError("FTP component not ready");
    return false;
  }
  return true;
}

void TCustomFtpClient::ExecAsync(TFtpRequest RqType, const std::string& Cmd, std::vector<int32_t> OkResponses,
                                 TNext Next) {
  if (!CheckReady()) return;
  if (!Connected()) {
    HandleError("FTP component not connected");
    return;
  }
  BeginRequest(RqType);
  FOkResponses = std::move(OkResponses);
  FNext = Next;
  FMulti.Reset();
  SetState(ftpWaitingResponse);
  SendCommand(Cmd);
}

std::string TCustomFtpClient::CommandLine(std::string_view Command, std::string_view Arg) {
  if (HasLineBreak(Arg)) {
    // Refused before sending: the call must not read as the last request's success.
    RefuseRequest("Line break in argument of " + std::string(Command) + " refused");
  }
  return FtpCommandLine(Command, Arg);
}

void TCustomFtpClient::RefuseRequest(const std::string& Why) {
  FRequestResult = 501;
  FStatusCode = 501;
  FErrorMessage = "501 " + Why;
}

void TCustomFtpClient::SendCommand(const std::string& Cmd) {
  std::string line = Cmd;
  if (OnCommand) OnCommand(this, line);
  if (HasLineBreak(line)) line = line.substr(0, line.find_first_of(std::string_view("\r\n\0", 3)));
  SendLine(FControlSocket, line);
}

void TCustomFtpClient::FailRequest(uint16_t Code, const std::string& Msg) {
  FErrorMessage = Msg;
  FLastResponse = Msg;
  FStatusCode = Code;
  Display("! " + Msg);
  TriggerRequestDone(Code);
}

void TCustomFtpClient::RequestEnding() {
  CloseLocal();
  if (FDataSocket && FDataSocket->State() != wsClosed) FDataSocket->Close();
}

void TCustomFtpClient::HighLevelAsync(TFtpRequest RqType, TFtpFctSet Fcts) {
  if (!CheckReady()) return;
  FLoggedIn = false;
  StartSteps(RqType, Fcts.ToMask());
}

bool TCustomFtpClient::SkipStep(int Step) {
  // USER answered 230: no PASS; no folder: no CWD.
  return (Step == ftpFctPass && FLoggedIn && FStepPrv == ftpFctUser) || (Step == ftpFctCwd && FHostDirName.empty());
}

void TCustomFtpClient::RunStep(int Step) {
  switch (TFtpFct(Step)) {
    case ftpFctOpen: Open(); break;
    case ftpFctUser: User(); break;
    case ftpFctPass: Pass(); break;
    case ftpFctCwd: Cwd(); break;
    case ftpFctCdUp: CdUp(); break;
    case ftpFctTypeSet: TypeSet(); break;
    case ftpFctDataPort: DataPort(); break;
    case ftpFctRestartAt: RestartAt(); break;
    case ftpFctRetr: Retr(); break;
    case ftpFctStor: Stor(); break;
    case ftpFctAppe: Appe(); break;
    case ftpFctList: List(); break;
    case ftpFctNlst: Nlst(); break;
    case ftpFctSyst: Syst(); break;
    case ftpFctMkd: Mkd(); break;
    case ftpFctRmd: Rmd(); break;
    case ftpFctRenameFrom: RenameFrom(); break;
    case ftpFctRenameTo: RenameTo(); break;
    case ftpFctSize: Size(); break;
    case ftpFctDele: Dele(); break;
    case ftpFctPwd: Pwd(); break;
    case ftpFctQuote: Quote(); break;
    case ftpFctQuit: Quit(); break;
    case ftpFctNone: break;
  }
}

void TCustomFtpClient::RaiseRequestDone(uint16_t RqType, uint16_t Error) {
  if (OnRequestDone) OnRequestDone(this, RqType, Error);
}

void TCustomFtpClient::HandleMessage(TMessage& Msg) {
  if (Msg.Msg == WM_FTP_SENDDATA) SendNextBlock();
}

void TCustomFtpClient::BackgroundException(const Exception& E) {
  bool canClose = true;
  if (OnBgException) {
    try {
      OnBgException(this, E, canClose);
    } catch (...) {
    }
  }
  if (canClose) Abort();
}

// ---------------------------------------------------------------- connection

void TCustomFtpClient::Open() {
  if (!CheckReady()) return;
  if (Connected()) {
    HandleError("FTP component already connected");
    return;
  }
  BeginRequest(ftpRqOpen);
  FExpectClose = false;
  FLines.Clear();
  FMulti.Reset();
  SetState(ftpDnsLookup);
  FControlSocket->DnsLookup(FConnectionType == ftpProxy ? FProxyServer : FHostName);
}

void TCustomFtpClient::ControlLookupDone(TObject*, uint16_t Error) {
  if (FState == ftpDnsLookup)
    ConnectAfterLookup(*FControlSocket, Error, FConnectionType == ftpProxy ? FProxyPort : FPort, "500 ", false);
}

void TCustomFtpClient::EnterConnecting(TNetSocket& Socket) {
  ApplySocks(Socket);
  SetState(ftpWaitingBanner);
}

void TCustomFtpClient::ControlConnected(TObject*, uint16_t Error) {
  if (Error == 0) {
    FConnected = true;
    return;  // the banner completes Open
  }
  const std::string msg = WinsockReply("500 ", Error);
  FLastResponse = FErrorMessage = msg;
  FStatusCode = 500;
  FRequestResult = 500;
  FExpectClose = true;
  if (FControlSocket->State() != wsClosed) FControlSocket->Close();
  if (!FRequestDoneFlag) {
    SetState(ftpInternalReady);
    TriggerRequestDone(500);
  }
}

void TCustomFtpClient::ControlDataAvailable(TObject*, uint16_t) {
  char buf[4096];
  const int32_t n = FControlSocket->Receive(buf, int32_t(sizeof buf));
  if (n <= 0) return;
  FLines.Append(buf, size_t(n));
  std::string line;
  bool truncated = false;
  while (FControlSocket && FLines.NextLine(line, &truncated)) {
    if (truncated) {
      // No reply line is this long; the peer is not speaking FTP.
      FErrorMessage = "500 Reply line too long";
      FRequestResult = 500;
      FControlSocket->Close();
      return;
    }
    HandleLine(line);
  }
}

void TCustomFtpClient::HandleLine(const std::string& Line) {
  FLastResponse = Line;
  if (OnResponse) OnResponse(this);
  int32_t code = 0;
  switch (FState) {
    case ftpWaitingBanner:
      Display("< " + Line);
      if (!FMulti.Feed(Line, code)) return;
      FStatusCode = code;
      if (code != 220) {
        FRequestResult = uint16_t(code);
        if (FErrorMessage.empty()) FErrorMessage = Line;
        FExpectClose = true;
        FControlSocket->Close();
        return;
      }
      SetState(ftpConnected);
      if (OnSessionConnected) OnSessionConnected(this, 0);
      SetState(ftpInternalReady);
      TriggerRequestDone(0);
      return;
    case ftpWaitingResponse:
      if (!FMulti.Feed(Line, code)) {
        Display("< " + Line);
        return;
      }
      JudgeReply();
      return;
    default:
      Display("< " + Line);
  }
}

void TCustomFtpClient::JudgeReply() {
  const bool ok = JudgeNumberedReply(FOkResponses);
  if (ok && FPassive && FStatusCode == 227) FPasvResponse = FLastResponse;
  if (ok && (FFct == ftpFctPwd || FFct == ftpFctMkd || FFct == ftpFctCwd || FFct == ftpFctCdUp))
    ExtractQuotedDir(FLastResponse, FDirResult);
  if (ok && FFct == ftpFctSize) FSizeResult = ReplySecondNumber(FLastResponse);
  if (FNext) {
    TNext next = FNext;
    FNext = nullptr;
    (this->*next)();
  } else {
    TriggerRequestDone(FRequestResult);
  }
}

void TCustomFtpClient::ControlClosed(TObject*, uint16_t Error) {
  FConnected = false;
  if (OnSessionClosed) OnSessionClosed(this, Error);
  if (FState == ftpAbort || FState == ftpReady) return;
  if (!FExpectClose && FRequestResult == 0) {
    // A reply was still owed: the request cannot have succeeded.
    FRequestResult = 426;
    if (FErrorMessage.empty()) FErrorMessage = "426 Connection closed";
  }
  FExpectClose = false;
  CloseLocal();
  if (FDataSocket && FDataSocket->State() != wsClosed) FDataSocket->Abort();
  if (!FRequestDoneFlag) {
    SetState(ftpInternalReady);
    TriggerRequestDone(FRequestResult);
  }
}

void TCustomFtpClient::Abort() {
  const bool busy = FState != ftpReady && FState != ftpNotConnected;
  SetState(ftpAbort);
  CloseLocal();
  if (FControlSocket) {
    FControlSocket->CancelLookup();
    if (FControlSocket->State() != wsClosed) FControlSocket->Abort();
  }
  if (FDataSocket && FDataSocket->State() != wsClosed) FDataSocket->Abort();
  FConnected = false;
  FHighLevelFlag = false;
  FSteps = 0;
  if (busy && !FRequestDoneFlag) {
    FRequestDoneFlag = true;
    FRequestResult = 426;
    FStatusCode = 426;
    FErrorMessage = "426 Operation aborted.";
    SetState(ftpReady);
    PostRequestDone(426);
    return;
  }
  SetState(ftpReady);
}

// ---------------------------------------------------------------- single commands

void TCustomFtpClient::User() {
  if (FUserName.empty()) {
    HandleError("UserName emtpy");
    return;
  }
  std::string user = FUserName;
  if (FConnectionType == ftpProxy) {
    user += "@" + FHostName;
    if (!SameText(FPort, "ftp") && !SameText(FPort, "21")) user += ":" + FPort;
  }
  FFct = ftpFctUser;
  FLoggedIn = false;
  ExecAsync(ftpRqUser, CommandLine("USER", user), {331, 230}, &TCustomFtpClient::UserDone);
}

void TCustomFtpClient::UserDone() {
  FLoggedIn = FRequestResult == 0 && FStatusCode == 230;
  TriggerRequestDone(FRequestResult);
}

void TCustomFtpClient::Pass() {
  if (FPassWord.empty()) {
    HandleError("Password emtpy");
    return;
  }
  FFct = ftpFctPass;
  ExecAsync(ftpRqPass, CommandLine("PASS", FPassWord), {230}, nullptr);
}

void TCustomFtpClient::Cwd() {
  if (FHostDirName.empty()) {
    HandleError("HostDirName emtpy");
    return;
  }
  FFct = ftpFctCwd;
  ExecAsync(ftpRqCwd, CommandLine("CWD", FHostDirName), {200, 250, 257}, nullptr);
}

void TCustomFtpClient::Syst() {
  FFct = ftpFctSyst;
  ExecAsync(ftpRqSyst, "SYST", {215}, nullptr);
}

void TCustomFtpClient::Quit() {
  if (!Connected() && FState == ftpReady) {
    // Nothing to end: done at once.
    FRequestType = ftpRqQuit;
    FRequestDoneFlag = false;
    TriggerRequestDone(0);
    return;
  }
  FFct = ftpFctQuit;
  ExecAsync(ftpRqQuit, "QUIT", {221}, &TCustomFtpClient::QuitDone);
}

void TCustomFtpClient::QuitDone() {
  // The request ends when the connection has closed.
  FExpectClose = true;
  if (FControlSocket->State() != wsClosed)
    FControlSocket->Close();
  else
    TriggerRequestDone(FRequestResult);
}

void TCustomFtpClient::Size() {
  FFct = ftpFctSize;
  FSizeResult = -1;
  ExecAsync(ftpRqSize, CommandLine("SIZE", FHostFileName), {213}, nullptr);
}

void TCustomFtpClient::Mkd() {
  FFct = ftpFctMkd;
  ExecAsync(ftpRqMkd, CommandLine("MKD", FHostFileName), {257}, nullptr);
}

void TCustomFtpClient::Rmd() {
  FFct = ftpFctRmd;
  ExecAsync(ftpRqRmd, CommandLine("RMD", FHostFileName), {250, 257}, nullptr);
}

void TCustomFtpClient::Dele() {
  FFct = ftpFctDele;
  ExecAsync(ftpRqDele, CommandLine("DELE", FHostFileName), {250, 257}, nullptr);
}

void TCustomFtpClient::RenameTo() {
  FFct = ftpFctRenameTo;
  ExecAsync(ftpRqRenameTo, CommandLine("RNTO", FLocalFileName), {200, 250, 257}, nullptr);
}

void TCustomFtpClient::RenameFrom() {
  FFct = ftpFctRenameFrom;
  ExecAsync(ftpRqRenameFrom, CommandLine("RNFR", FHostFileName), {350}, nullptr);
}

void TCustomFtpClient::Pwd() {
  FFct = ftpFctPwd;
  ExecAsync(ftpRqPwd, "PWD", {250, 257}, nullptr);
}

void TCustomFtpClient::Quote() {
  FFct = ftpFctQuote;
  if (HasLineBreak(FLocalFileName)) {
    RefuseRequest("Line break in quoted command refused");
    HandleError("Line break in quoted command refused");
    return;
  }
  ExecAsync(ftpRqQuote, FLocalFileName, {}, nullptr);
}

void TCustomFtpClient::CdUp() {
  FFct = ftpFctCdUp;
  ExecAsync(ftpRqCdUp, "CDUP", {250}, nullptr);
}

void TCustomFtpClient::TypeSet() {
  FFct = ftpFctTypeSet;
  ExecAsync(ftpRqTypeSet, std::string("TYPE ") + FType, {200}, nullptr);
}

void TCustomFtpClient::TypeBinary() {
  SetBinary(true);
  TypeSet();
}

void TCustomFtpClient::TypeAscii() {
  SetBinary(false);
  TypeSet();
}

void TCustomFtpClient::RestartAt() {
  FFct = ftpFctRestartAt;
  if (FHighLevelFlag && (FRequestType == ftpRqRestartGet || FRequestType == ftpRqFullRestartGet) &&
      !FOptions.Contains(ftpNoAutoResumeAt)) {
    // A restarted download goes on where the local copy ends.
    if (FLocalStream) {
      FResumeAt = FLocalStream->Size();
    } else {
      FResumeAt = std::max<int64_t>(FileSizeOf(FLocalFileName), 0);
    }
  }
  if (FResumeAt <= 0) {
    if (!CheckReady()) return;
    if (!FHighLevelFlag) FRequestType = ftpRqRestartAt;
    FRequestDoneFlag = false;
    TriggerRequestDone(0);
    return;
  }
  ExecAsync(ftpRqRestartAt, "REST " + std::to_string(FResumeAt), {}, nullptr);
}

// ---------------------------------------------------------------- data connection

void TCustomFtpClient::ResetDataSocket() {
  if (FDataSocket->State() != wsClosed) FDataSocket->Abort();
  FDataSocket->OnSessionConnected = nullptr;
  FDataSocket->OnSessionAvailable = nullptr;
  FDataSocket->OnDataAvailable = nullptr;
  FDataSocket->OnDataSent = nullptr;
  FDataSocket->OnSessionClosed = nullptr;
  FDataSocket->SetBufSize(kBlockSize);
  FDataSocket->SetProto("tcp");
  FDataSocket->SetAddr("0.0.0.0");
  FDataSocket->SetPort("0");
}

void TCustomFtpClient::DataPort() {
  if (!CheckReady()) return;
  if (!Connected()) {
    HandleError("FTP component not connected");
    return;
  }
  FFct = ftpFctDataPort;
  FPasvResponse.clear();
  ResetDataSocket();
  if (FPassive) {
    ExecAsync(ftpRqDataPort, "PASV", {227}, nullptr);
    return;
  }
  FDataSocket->SetLingerOnOff(wsLingerOn);
  FDataSocket->SetLingerTimeout(10);
  // Servers may connect as soon as PORT is accepted, before the transfer command.
  FDataReady = false;
  FDataSocket->OnSessionAvailable = [this](TObject* S, uint16_t E) { DataSessionAvailable(S, E); };
  TSockAddrIn local{};
  int32_t len = int32_t(sizeof local);
  FControlSocket->GetSockName(local, len);
  // Only the interface the server already talks to listens: nobody reaching
  // this machine by another address can slip a connection in.
  FDataSocket->SetAddr(WsInetNtoa(local.sin_addr));
  FDataSocket->Listen();
  const uint16_t port = uint16_t(StrToIntDef(FDataSocket->GetXPort(), 0));
  uint32_t addr = WsNtohl(local.sin_addr);
  if (FControlSocket->Addr() == "127.0.0.1") addr = 0x7F000001;
  ExecAsync(ftpRqDataPort, FtpPortLine(addr, port), {200, 227}, nullptr);
}

void TCustomFtpClient::Stor() { StartTransfer(ftpFctStor); }
void TCustomFtpClient::Appe() { StartTransfer(ftpFctAppe); }
void TCustomFtpClient::Retr() { StartTransfer(ftpFctRetr); }
void TCustomFtpClient::List() { StartTransfer(ftpFctList); }
void TCustomFtpClient::Nlst() { StartTransfer(ftpFctNlst); }

namespace {

const char* TransferVerb(TFtpFct F) {
  switch (F) {
    case ftpFctStor: return "STOR";
    case ftpFctAppe: return "APPE";
    case ftpFctRetr: return "RETR";
    case ftpFctList: return "LIST";
    default: return "NLST";
  }
}

TFtpRequest TransferRequest(TFtpFct F) {
  switch (F) {
    case ftpFctStor: return ftpRqPut;
    case ftpFctAppe: return ftpRqAppend;
    case ftpFctRetr: return ftpRqGet;
    case ftpFctList: return ftpRqDir;
    default: return ftpRqLs;
  }
}

}  // namespace

void TCustomFtpClient::StartTransfer(TFtpFct Fct) {
  if (!CheckReady()) return;
  FUpload = Fct == ftpFctStor || Fct == ftpFctAppe;
  if (!Connected()) {
    HandleError(std::string(FUpload ? "STOR/APPE" : TransferVerb(Fct)) + ": not connected");
    return;
  }
  if (FLocalFileName.empty() && !FLocalStream && (FUpload || !FDisplayFileFlag)) {
    HandleError("LocalFileName empty");
    return;
  }
  if (!FHighLevelFlag) {
    FRequestType = TransferRequest(Fct);
    FErrorMessage.clear();
  }
  CommandLine(TransferVerb(Fct), FHostFileName);  // refused here, before the local file is touched
  FFct = Fct;
  BeginRequest(TransferRequest(Fct));
  FByteCount = 0;
  FReplyAllowsTransfer = FFinalReplySeen = FDataClosed = FEof = false;
  FDataReady = !FPassive && FDataReady && FDataSocket->State() == wsConnected;
  FDataCloseError = FTransferError = 0;
  FTransferMessage.clear();
  FDisplayPartial.clear();
  if (FUpload) {
    StartUpload(Fct);
  } else {
    StartDownload(Fct);
  }
}

bool TCustomFtpClient::OpenLocalForUpload() {
  if (OnReadyToTransmit) {
    bool cancel = false;
    OnReadyToTransmit(this, cancel);
    if (cancel) {
      FailRequest(426, "426 Transmit cancelled by application");
      return false;
    }
  }
  try {
    if (FLocalStream) {
      FStream = FLocalStream;
    } else {
      FOwnStream = std::make_unique<TFileStream>(FLocalFileName, fmOpenRead | ShareFlags(FShareMode));
      FStream = FOwnStream.get();
    }
    FExpectedSize = FStream->Size();
    if (FResumeAt > 0) FStream->Seek(FResumeAt, soBeginning);
  } catch (const Exception&) {
    CloseLocal();
    FailRequest(426, "426 Unable to open local file " + FLocalFileName);
    return false;
  }
  return true;
}

bool TCustomFtpClient::OpenLocalForDownload() {
  if (FDisplayFileFlag && !FLocalStream) return true;
  try {
    if (FLocalStream) {
      FStream = FLocalStream;
    } else if (FResumeAt > 0 && FileExists(FLocalFileName)) {
      FOwnStream = std::make_unique<TFileStream>(FLocalFileName, fmOpenReadWrite | ShareFlags(FShareMode));
      FStream = FOwnStream.get();
    } else {
      // The user's file is replaced only once the whole transfer is in: a
      // refused or cut download leaves it as it was.
      auto file = std::make_unique<TAtomicFileStream>(FLocalFileName);
      FNewFile = file.get();
      FOwnStream = std::move(file);
      FStream = FOwnStream.get();
    }
    if (FResumeAt > 0) FStream->Seek(FResumeAt, soBeginning);
  } catch (const Exception&) {
    CloseLocal();
    FailRequest(426, "426 Unable to open local file " + FLocalFileName);
    return false;
  }
  return true;
}

void TCustomFtpClient::CloseLocal() {
  FNewFile = nullptr;  // not committed: the temporary file goes with the stream
  FOwnStream.reset();
  FStream = nullptr;
}

bool TCustomFtpClient::CommitLocal() {
  if (!FNewFile) return true;
  try {
    FNewFile->Commit();
  } catch (const Exception&) {
    CloseLocal();
    return false;
  }
  CloseLocal();
  return true;
}

void TCustomFtpClient::StartUpload(TFtpFct Fct) {
  if (!OpenLocalForUpload()) return;
  StartDownload(Fct);  // the data connection is made the same way in both directions
}

void TCustomFtpClient::StartDownload(TFtpFct Fct) {
  if (!FUpload && !OpenLocalForDownload()) return;
  FDataSocket->OnSessionClosed = [this](TObject* S, uint16_t E) { DataClosed(S, E); };
  FDataSocket->OnDataSent = [this](TObject* S, uint16_t E) { DataSent(S, E); };
  FDataSocket->OnDataAvailable = [this](TObject* S, uint16_t E) { DataAvailable(S, E); };
  const std::string cmd = FtpCommandLine(TransferVerb(Fct), FHostFileName);
  if (FPassive) {
    uint8_t addr[4];
    uint16_t port = 0;
    if (!ParsePasvReply(FPasvResponse, addr, port)) {
      CloseLocal();
      FailRequest(550, "550 Invalid passive mode reply: " + FPasvResponse);
      return;
    }
    FDataSocket->OnSessionConnected = [this, cmd](TObject* S, uint16_t E) {
      DataConnected(S, E);
      if (E == 0 && !FRequestDoneFlag && FState != ftpAbort) {
        FNext = &TCustomFtpClient::TransferFirstReply;
        FOkResponses = {150, 125};
        FMulti.Reset();
        SetState(ftpWaitingResponse);
        SendCommand(cmd);
      }
    };
    try {
      // The data connection goes to the control connection's host: the address
      // in the reply is not trusted.
      FDataSocket->SetAddr(FControlSocket->Addr());
      FDataSocket->SetPort(std::to_string(port));
      FDataSocket->SetLingerOnOff(wsLingerOff);
      ApplySocks(*FDataSocket);
      SetState(ftpInternalReady);
      FDataSocket->Connect();
    } catch (const Exception& E) {
      CloseLocal();
      FailRequest(FUpload ? 426 : 550, (FUpload ? "426 " : "550 ") + ExceptionClassName(E) + ": " + E.Message());
    }
    return;
  }
  FNext = &TCustomFtpClient::TransferFirstReply;
  FOkResponses = {150, 125};
  FMulti.Reset();
  SetState(ftpWaitingResponse);
  SendCommand(cmd);
}

void TCustomFtpClient::DataConnected(TObject*, uint16_t Error) {
  if (Error != 0) {
    CloseLocal();
    FailRequest(550, "550 Unable to establish data connection, error #" + std::to_string(Error));
    return;
  }
  FStartTick = TickCount64();
  FDataReady = true;
  if (FUpload && FReplyAllowsTransfer) PostMessage(FWindowHandle, WM_FTP_SENDDATA);
}

void TCustomFtpClient::DataSessionAvailable(TObject*, uint16_t Error) {
  if (Error != 0) return;
  const TSocket h = FDataSocket->Accept();
  if (h == INVALID_SOCKET) return;
  // Whoever connects first would otherwise feed or receive the file: only the
  // server's own address may connect; anyone else is turned away and the
  // listener keeps waiting.
  TSockAddrIn peer{}, server{};
  int32_t len = int32_t(sizeof server);
  if (WsGetPeerName(h, peer) != 0 || !FControlSocket || FControlSocket->GetPeerName(server, len) != 0 ||
      peer.sin_addr != server.sin_addr) {
    Display("! Data connection from " + WsInetNtoa(peer.sin_addr) + " refused");
    WsCloseSocket(h);
    return;
  }
  FDataSocket->Dup(h);
  FDataSocket->SetLingerOnOff(wsLingerOff);
  FDataSocket->SetLingerTimeout(10);
  DataConnected(FDataSocket, 0);
}

void TCustomFtpClient::TransferFirstReply() {
  if (FRequestResult != 0) {
    // The server refused the transfer.
    if (FDataSocket->State() != wsClosed) FDataSocket->Abort();
    CloseLocal();
    TriggerRequestDone(FRequestResult);
    return;
  }
  FReplyAllowsTransfer = true;
  FOkResponses = FUpload ? std::vector<int32_t>{226, 250} : std::vector<int32_t>{125, 226, 250};
  FNext = &TCustomFtpClient::TransferFinalReply;
  FMulti.Reset();
  SetState(ftpWaitingResponse);
  if (FUpload && FDataReady) PostMessage(FWindowHandle, WM_FTP_SENDDATA);
}

void TCustomFtpClient::TransferFinalReply() {
  if (FRequestResult != 0) {
    Display(std::string("! ") + TransferVerb(FFct) + " Failed");
    if (FDataSocket->State() != wsClosed) FDataSocket->Abort();
    CloseLocal();
    TriggerRequestDone(FRequestResult);
    return;
  }
  FFinalReplySeen = true;
  CheckTransferDone();
}

void TCustomFtpClient::FailTransfer(const std::string& Shown, const std::string& Message) {
  Display(Shown);
  if (FTransferError == 0) {
    FTransferError = 426;
    FTransferMessage = Message;
  }
  CloseLocal();
  // An abortive close, so the server sees the transfer fail rather than end.
  if (FDataSocket->State() != wsClosed) FDataSocket->Abort();
  if (!FDataClosed) DataClosed(FDataSocket, 0);
}

void TCustomFtpClient::SendNextBlock() {
  // Data-sent events also come from a proxy handshake: send only once both the
  // connection and the server's go-ahead are there.
  if (!FUpload || !FDataReady || !FReplyAllowsTransfer || FEof || FDataClosed || !FStream || FState == ftpAbort) return;
  if (FDataSocket->State() != wsConnected) return;
  bool abort = false;
  if (OnProgress) OnProgress(this, FByteCount + FResumeAt, abort);
  ProgressMade();
  if (abort) {
    FailTransfer("! Abort requested", "426 Transfer aborted by application");
    return;
  }
  FSendBuf.resize(kBlockSize);
  uint8_t* buf = FSendBuf.data();
  int32_t n = 0;
  try {
    n = FStream->Read(buf, kBlockSize);
  } catch (const Exception&) {
    n = -1;
  }
  if (n < 0 || (n == 0 && FStream->Position() < FExpectedSize)) {
    // A short read before the size the file had at the start is a read error.
    FailTransfer("! Error reading file", "426 Error reading local file " + FLocalFileName);
    return;
  }
  if (n == 0) {
    FEof = true;
    FDataSocket->Close();
    return;
  }
  if (FDataSocket->Send(buf, n) < 0) {
    FailTransfer("! Error #" + std::to_string(FDataSocket->LastError()) + " sending data",
                 "426 Error sending data");
    return;
  }
  FByteCount += n;
}

void TCustomFtpClient::DataSent(TObject*, uint16_t Error) {
  if (Error != 0) {
    FailTransfer("! Error #" + std::to_string(Error) + " sending data", "426 Error sending data");
    return;
  }
  SendNextBlock();
}

void TCustomFtpClient::DataAvailable(TObject*, uint16_t) {
  if (FUpload) return;
  char buf[kRecvBlock];
  bool abort = false;
  if (OnProgress) OnProgress(this, FByteCount + FResumeAt, abort);
  ProgressMade();
  if (abort) {
    FailTransfer("! Abort requested", "426 Transfer aborted by application");
    return;
  }
  const int32_t n = FDataSocket->Receive(buf, kRecvBlock);
  if (n < 0) {
    const int32_t err = FDataSocket->LastError();
    if (err != 10035) {
      Display("! Data: Receive error " + std::to_string(err));
      FDataSocket->Shutdown(2);
    }
    return;
  }
  if (n == 0) return;
  FByteCount += n;
  if (FStream) {
    bool ok = false;
    try {
      ok = FStream->Write(buf, n) == n;
    } catch (const Exception&) {
    }
    if (!ok) {
      Display("! Error writing local file");
      if (FTransferError == 0) {
        FTransferError = 426;
        FTransferMessage = "426 Error writing local file " + FLocalFileName;
      }
      FDataSocket->Shutdown(2);
    }
  } else if (FDisplayFileFlag) {
    WriteDisplayLines(buf, n);
  }
}

void TCustomFtpClient::WriteDisplayLines(const char* Data, int32_t Count) {
  for (int32_t i = 0; i < Count; ++i) {
    const char c = Data[i];
    if (c == '\r' || c == '\n') {
      if (!FDisplayPartial.empty() && OnDisplayFile) OnDisplayFile(this, FDisplayPartial);
      FDisplayPartial.clear();
    } else {
      FDisplayPartial += c;
    }
  }
}

void TCustomFtpClient::DataClosed(TObject*, uint16_t Error) {
  if (FDataClosed) return;
  FDataClosed = true;
  FDataCloseError = Error;
  if (!FUpload) {
    // Bytes that came with the close are read before the end is judged.
    while (FDataSocket && FDataSocket->State() == wsConnected && FDataSocket->RcvdCount() > 0) DataAvailable(FDataSocket, 0);
    if (!FDisplayPartial.empty() && OnDisplayFile) OnDisplayFile(this, FDisplayPartial);
    FDisplayPartial.clear();
  }
  CheckTransferDone();
}

void TCustomFtpClient::CheckTransferDone() {
  if (!FDataClosed || FRequestDoneFlag) return;
  if (FTransferError != 0) {
    // Whatever the server says, a transfer we broke off did not succeed.
    CloseLocal();
    FErrorMessage = FTransferMessage;
    FStatusCode = FTransferError;
    if (FState == ftpWaitingResponse && !FFinalReplySeen && !FReplyAllowsTransfer) return;
    TriggerRequestDone(FTransferError);
    return;
  }
  if (!FFinalReplySeen) return;
  uint16_t error = FDataCloseError;
  if (error == 0 && !CommitLocal()) {
    error = 426;
    FErrorMessage = "426 Error writing local file " + FLocalFileName;
  }
  CloseLocal();
  Display(FtpStatisticsLine(FByteCount, int64_t(TickCount64() - FStartTick)));
  if (error == 0 && FUpload && FByteCount + FResumeAt != FExpectedSize) {
    error = 426;
    FErrorMessage = "426 Upload incomplete";
  }
  if (error != 0 && FErrorMessage.empty()) FErrorMessage = WinsockReply("426 ", error);
  TriggerRequestDone(error);
}

// ---------------------------------------------------------------- multi-step

void TCustomFtpClient::Connect() { HighLevelAsync(ftpRqConnect, {ftpFctOpen, ftpFctUser, ftpFctPass}); }
void TCustomFtpClient::Get() { HighLevelAsync(ftpRqGet, {ftpFctDataPort, ftpFctRetr}); }
void TCustomFtpClient::Put() { HighLevelAsync(ftpRqPut, {ftpFctDataPort, ftpFctStor}); }
void TCustomFtpClient::Append() { HighLevelAsync(ftpRqAppend, {ftpFctDataPort, ftpFctAppe}); }
void TCustomFtpClient::Dir() { HighLevelAsync(ftpRqDir, {ftpFctDataPort, ftpFctList}); }
void TCustomFtpClient::Ls() { HighLevelAsync(ftpRqLs, {ftpFctDataPort, ftpFctNlst}); }
void TCustomFtpClient::RestartGet() {
  HighLevelAsync(ftpRqRestartGet, {ftpFctDataPort, ftpFctRestartAt, ftpFctRetr});
}
void TCustomFtpClient::RestartPut() {
  HighLevelAsync(ftpRqRestartPut, {ftpFctDataPort, ftpFctRestartAt, ftpFctStor});
}
void TCustomFtpClient::Rename() { HighLevelAsync(ftpRqRename, {ftpFctRenameFrom, ftpFctRenameTo}); }

namespace {
const TFtpFctSet kLogin{ftpFctOpen, ftpFctUser, ftpFctPass};
TFtpFctSet With(std::initializer_list<TFtpFct> More) { return kLogin + TFtpFctSet(More) + TFtpFctSet{ftpFctQuit}; }
}  // namespace

void TCustomFtpClient::FullGet() { HighLevelAsync(ftpRqFullGet, With({ftpFctCwd, ftpFctTypeSet, ftpFctDataPort, ftpFctRetr})); }
void TCustomFtpClient::FullPut() { HighLevelAsync(ftpRqFullPut, With({ftpFctCwd, ftpFctTypeSet, ftpFctDataPort, ftpFctStor})); }
void TCustomFtpClient::FullAppend() {
  HighLevelAsync(ftpRqFullPut, With({ftpFctCwd, ftpFctTypeSet, ftpFctDataPort, ftpFctAppe}));
}
void TCustomFtpClient::FullRestartGet() {
  HighLevelAsync(ftpRqFullRestartGet, With({ftpFctCwd, ftpFctTypeSet, ftpFctDataPort, ftpFctRestartAt, ftpFctRetr}));
}
void TCustomFtpClient::FullRestartPut() {
  HighLevelAsync(ftpRqFullRestartPut, With({ftpFctCwd, ftpFctTypeSet, ftpFctDataPort, ftpFctRestartAt, ftpFctStor}));
}
void TCustomFtpClient::FullDir() { HighLevelAsync(ftpRqFullDir, With({ftpFctCwd, ftpFctDataPort, ftpFctList})); }
void TCustomFtpClient::FullLs() { HighLevelAsync(ftpRqFullLs, With({ftpFctCwd, ftpFctDataPort, ftpFctNlst})); }
void TCustomFtpClient::FullSyst() { HighLevelAsync(ftpRqFullSyst, With({ftpFctSyst})); }
void TCustomFtpClient::FullMkd() { HighLevelAsync(ftpRqFullMkd, With({ftpFctCwd, ftpFctMkd})); }
void TCustomFtpClient::FullRmd() { HighLevelAsync(ftpRqFullRmd, With({ftpFctCwd, ftpFctRmd})); }
void TCustomFtpClient::FullDele() { HighLevelAsync(ftpRqFullDele, With({ftpFctCwd, ftpFctDele})); }
void TCustomFtpClient::FullQuote() { HighLevelAsync(ftpRqFullQuote, With({ftpFctCwd, ftpFctQuote})); }
void TCustomFtpClient::FullRename() {
  HighLevelAsync(ftpRqFullRename, With({ftpFctCwd, ftpFctRenameFrom, ftpFctRenameTo}));
}
void TCustomFtpClient::FullSize() { HighLevelAsync(ftpRqSize, With({ftpFctCwd, ftpFctSize})); }

// ---------------------------------------------------------------- synchronous

TFtpClient::TFtpClient(TComponent* AOwner) : TCustomFtpClient(AOwner) {}

void TFtpClient::SetMultiThreaded(bool V) {
  FMultiThreaded = V;
  if (FControlSocket) FControlSocket->SetMultiThreaded(V);
  if (FDataSocket) FDataSocket->SetMultiThreaded(V);
}

void TFtpClient::ProgressMade() { MoveDeadline(FTimeout); }

void TCustomFtpClient::StartRefused(const Exception& E) {
  if (FErrorMessage.empty()) FErrorMessage = E.Message();
}

bool TFtpClient::Sync(void (TCustomFtpClient::*Start)()) {
  return TRequestClient::Sync([&] { (static_cast<TCustomFtpClient*>(this)->*Start)(); }, FTimeout);
}

}  // namespace kv
