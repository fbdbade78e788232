// FTP client: RFC 959 commands over a control connection and one data connection.
// TCustomFtpClient is asynchronous: each operation sends one command and the reply
// ends the request, reported through OnRequestDone; multi-step operations chain
// single commands in a fixed order. TFtpClient adds calls that wait for the reply
// while the message loop runs.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/ftp_protocol.h"
#include "net/sync_socket.h"
#include "net/reply_lines.h"
#include "net/request_client.h"
#include "platform/rtl/component.h"
#include "platform/rtl/set.h"
#include "platform/rtl/streams.h"
#include "platform/ui/messages.h"

namespace kv {

class TAtomicFileStream;

enum TFtpShareMode : uint8_t { ftpShareCompat, ftpShareExclusive, ftpShareDenyWrite, ftpShareDenyRead, ftpShareDenyNone };
enum TFtpOption : uint8_t { ftpAcceptLF, ftpNoAutoResumeAt };
using TFtpOptions = TSet<TFtpOption, 8>;
enum TFtpConnectionType : uint8_t { ftpDirect, ftpProxy, ftpSocks4, ftpSocks4A, ftpSocks5 };

enum TFtpState : uint8_t {
  ftpNotConnected = 0, ftpReady = 1, ftpInternalReady = 2, ftpDnsLookup = 3, ftpConnected = 4, ftpAbort = 5,
  ftpWaitingBanner = 7, ftpWaitingResponse = 8
};

// The request numbers reported to OnRequestDone.
enum TFtpRequest : uint16_t {
  ftpRqNone = 0, ftpRqOpen = 1, ftpRqUser = 2, ftpRqPass = 3, ftpRqCwd = 4, ftpRqConnect = 5, ftpRqFullGet = 6,
  ftpRqDir = 7, ftpRqLs = 8, ftpRqDataPort = 9, ftpRqGet = 10, ftpRqFullDir = 11, ftpRqFullLs = 12,
  ftpRqFullSyst = 13, ftpRqSyst = 14, ftpRqQuit = 15, ftpRqSize = 16, ftpRqPut = 17, ftpRqAppend = 18,
  ftpRqMkd = 21, ftpRqRmd = 22, ftpRqFullRename = 23, ftpRqDele = 24, ftpRqRename = 25, ftpRqRenameTo = 26,
  ftpRqRenameFrom = 27, ftpRqFullDele = 28, ftpRqFullMkd = 29, ftpRqFullRmd = 30, ftpRqPwd = 31,
  ftpRqQuote = 32, ftpRqCdUp = 33, ftpRqFullQuote = 34, ftpRqFullPut = 35, ftpRqTypeSet = 36,
  ftpRqRestartAt = 37, ftpRqRestartGet = 38, ftpRqFullRestartGet = 39, ftpRqRestartPut = 40,
  ftpRqFullRestartPut = 41
};

// The steps of multi-step operations, in the order they run.
enum TFtpFct : uint8_t {
  ftpFctOpen, ftpFctUser, ftpFctPass, ftpFctCwd, ftpFctCdUp, ftpFctTypeSet, ftpFctDataPort, ftpFctRestartAt,
  ftpFctRetr, ftpFctStor, ftpFctAppe, ftpFctList, ftpFctNlst, ftpFctSyst, ftpFctMkd, ftpFctRmd,
  ftpFctRenameFrom, ftpFctRenameTo, ftpFctSize, ftpFctDele, ftpFctPwd, ftpFctQuote, ftpFctQuit, ftpFctNone
};
using TFtpFctSet = TSet<TFtpFct, 32>;

using TFtpDisplay = std::function<void(TObject* Sender, std::string& Msg)>;
using TFtpCommand = std::function<void(TObject* Sender, std::string& Cmd)>;
using TFtpProgress = std::function<void(TObject* Sender, int64_t Count, bool& Abort)>;
using TFtpRequestDone = std::function<void(TObject* Sender, uint16_t RqType, uint16_t Error)>;
using TFtpSessionEvent = std::function<void(TObject* Sender, uint16_t Error)>;
using TFtpReadyToTransmit = std::function<void(TObject* Sender, bool& bCancel)>;
using TFtpError = std::function<void(TObject* Sender, std::string& Msg)>;

class TCustomFtpClient : public TRequestClient {
 public:
  explicit TCustomFtpClient(TComponent* AOwner);
  ~TCustomFtpClient() override;

  // ---- single commands ----
  void Open();
  void User();
  void Pass();
  void Cwd();
  void DataPort();
  void Syst();
  void Quit();
  void Size();
  void Stor();
  void Appe();
  void Mkd();
  void Rmd();
  void Dele();
  void RenameTo();
  void RenameFrom();
  void Pwd();
  void Quote();
  void CdUp();
  void TypeSet();
  void TypeBinary();
  void TypeAscii();
  void RestartAt();
  void Retr();
  void List();
  void Nlst();
  // ---- multi-step operations ----
  void Connect();
  void Get();
  void Put();
  void Append();
  void Dir();
  void Ls();
  void RestartGet();
  void RestartPut();
  void Rename();
  void FullGet();
  void FullPut();
  void FullAppend();
  void FullRestartGet();
  void FullRestartPut();
  void FullDir();
  void FullLs();
  void FullSyst();
  void FullMkd();
  void FullRmd();
  void FullDele();
  void FullQuote();
  void FullRename();
  void FullSize();

  // Stops whatever runs: closes the file and both connections. A request that was
  // under way ends with error 426, never as a success.
  void Abort();
  bool Connected() const;

  // ---- properties ----
  const std::string& HostName() const { return FHostName; }
  void SetHostName(const std::string& V) { FHostName = V; }
  const std::string& Port() const { return FPort; }
  void SetPort(const std::string& V) { FPort = V; }
  const std::string& UserName() const { return FUserName; }
  void SetUserName(const std::string& V) { FUserName = V; }
  const std::string& PassWord() const { return FPassWord; }
  void SetPassWord(const std::string& V) { FPassWord = V; }
  const std::string& HostDirName() const { return FHostDirName; }
  void SetHostDirName(const std::string& V) { FHostDirName = V; }
  const std::string& HostFileName() const { return FHostFileName; }
  void SetHostFileName(const std::string& V) { FHostFileName = V; }
  const std::string& LocalFileName() const { return FLocalFileName; }
  void SetLocalFileName(const std::string& V) { FLocalFileName = V; }
  // A stream of the caller's to send from or receive into instead of LocalFileName.
  TStream* LocalStream() const { return FLocalStream; }
  void SetLocalStream(TStream* V) { FLocalStream = V; }
  bool DisplayFileFlag() const { return FDisplayFileFlag; }
  void SetDisplayFileFlag(bool V) { FDisplayFileFlag = V; }
  bool Binary() const { return FType == 'I'; }
  void SetBinary(bool V) { FType = V ? 'I' : 'A'; }
  TFtpShareMode ShareMode() const { return FShareMode; }
  void SetShareMode(TFtpShareMode V) { FShareMode = V; }
  TFtpOptions Options() const { return FOptions; }
  void SetOptions(TFtpOptions V);
  bool Passive() const { return FPassive; }
  void SetPassive(bool V);
  TFtpConnectionType ConnectionType() const { return FConnectionType; }
  void SetConnectionType(TFtpConnectionType V);
  const std::string& ProxyServer() const { return FProxyServer; }
  void SetProxyServer(const std::string& V) { FProxyServer = V; }
  const std::string& ProxyPort() const { return FProxyPort; }
  void SetProxyPort(const std::string& V) { FProxyPort = V; }
  const std::string& SocksServer() const { return FSocksServer; }
  void SetSocksServer(const std::string& V) { FSocksServer = V; }
  const std::string& SocksPort() const { return FSocksPort; }
  void SetSocksPort(const std::string& V) { FSocksPort = V; }
  const std::string& SocksUserCode() const { return FSocksUserCode; }
  void SetSocksUserCode(const std::string& V) { FSocksUserCode = V; }
  const std::string& SocksPassword() const { return FSocksPassword; }
  void SetSocksPassword(const std::string& V) { FSocksPassword = V; }
  int64_t ResumeAt() const { return FResumeAt; }
  void SetResumeAt(int64_t V) { FResumeAt = V; }

  const std::string& ErrorMessage() const { return FErrorMessage; }
  const std::string& LastResponse() const { return FLastResponse; }
  int32_t StatusCode() const { return FStatusCode; }
  const std::string& DirResult() const { return FDirResult; }
  int64_t SizeResult() const { return FSizeResult; }
  int64_t ByteCount() const { return FByteCount; }
  TFtpState State() const { return FState; }
  uint16_t RequestType() const { return FRequestType; }
  uint16_t RequestResult() const { return FRequestResult; }
  TNetSocket* ControlSocket() const { return FControlSocket; }
  TNetSocket* DataSocket() const { return FDataSocket; }

  TFtpDisplay OnDisplay;
  TFtpDisplay OnDisplayFile;
  TFtpCommand OnCommand;
  TNotifyEvent OnResponse;
  TFtpProgress OnProgress;
  TFtpSessionEvent OnSessionConnected;
  TFtpSessionEvent OnSessionClosed;
  TFtpRequestDone OnRequestDone;
  TNotifyEvent OnStateChange;
  TFtpReadyToTransmit OnReadyToTransmit;
  TBgExceptionEvent OnBgException;
  TFtpError OnError;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Called for every progress report; the synchronous class moves its deadline.
  virtual void ProgressMade() {}

  using TNext = void (TCustomFtpClient::*)();

  void HandleError(const std::string& Msg);
  void Display(const std::string& Msg) override;
  void SetState(TFtpState V);
  bool CheckReady();
  void ExecAsync(TFtpRequest RqType, const std::string& Cmd, std::vector<int32_t> OkResponses, TNext Next);
  void SendCommand(const std::string& Cmd);
  std::string CommandLine(std::string_view Command, std::string_view Arg);
  void RefuseRequest(const std::string& Why);
  void HighLevelAsync(TFtpRequest RqType, TFtpFctSet Fcts);
  void FailRequest(uint16_t Code, const std::string& Msg);

  // the request engine's hooks
  bool Aborting() const override { return FState == ftpAbort; }
  void EnterInternalReady() override { SetState(ftpInternalReady); }
  void EnterReady() override { SetState(ftpReady); }
  void RunStep(int Step) override;
  bool SkipStep(int Step) override;
  void RequestEnding() override;
  void RaiseRequestDone(uint16_t RqType, uint16_t Error) override;
  void HandleMessage(TMessage& Msg) override;
  void BackgroundException(const Exception& E) override;
  bool IdleNow() const override { return FState == ftpReady; }
  void AbortRequest() override { Abort(); }
  void StartRefused(const Exception& E) override;
  void StepRefused(const Exception& E) override { StartRefused(E); }
  void EnterConnecting(TNetSocket& Socket) override;

  void JudgeReply();
  void ControlConnected(TObject* Sender, uint16_t Error);
  void ControlDataAvailable(TObject* Sender, uint16_t Error);
  void ControlClosed(TObject* Sender, uint16_t Error);
  void ControlLookupDone(TObject* Sender, uint16_t Error);
  void HandleLine(const std::string& Line) override;
  void ApplySocks(TNetSocket& S);

  // transfers
  void ResetDataSocket();
  void StartTransfer(TFtpFct Fct);
  void StartUpload(TFtpFct Fct);
  void StartDownload(TFtpFct Fct);
  bool OpenLocalForUpload();
  bool OpenLocalForDownload();
  void CloseLocal();
  bool CommitLocal();
  void DataConnected(TObject* Sender, uint16_t Error);
  void DataSessionAvailable(TObject* Sender, uint16_t Error);
  void DataSent(TObject* Sender, uint16_t Error);
  void DataAvailable(TObject* Sender, uint16_t Error);
  void DataClosed(TObject* Sender, uint16_t Error);
  void SendNextBlock();
  void FailTransfer(const std::string& Display, const std::string& Message);
  void TransferFirstReply();
  void TransferFinalReply();
  void CheckTransferDone();
  void WriteDisplayLines(const char* Data, int32_t Count);

  void UserDone();
  void QuitDone();

  TNetSocket* FControlSocket = nullptr;
  TNetSocket* FDataSocket = nullptr;
  TFtpState FState = ftpReady;
  TFtpFct FFct = ftpFctNone;  // the step or single command in flight
  std::vector<int32_t> FOkResponses;
  TNext FNext = nullptr;
  bool FLoggedIn = false;  // USER answered 230: PASS is skipped
  TReplyLineBuffer FLines{4096, true};
  TMultiLineReply FMulti;
  bool FConnected = false;
  bool FExpectClose = false;
  bool FPassive = false;
  std::string FPasvResponse;
  std::string FDirResult;
  int64_t FSizeResult = -1;

  // transfer state
  std::unique_ptr<TStream> FOwnStream;
  TAtomicFileStream* FNewFile = nullptr;  // a download's new file, in FOwnStream until committed
  TStream* FLocalStream = nullptr;
  TStream* FStream = nullptr;  // the stream of the transfer in progress
  int64_t FExpectedSize = 0;
  int64_t FResumeAt = 0;
  int64_t FByteCount = 0;
  uint64_t FStartTick = 0;
  bool FUpload = false;
  bool FReplyAllowsTransfer = false;
  bool FDataReady = false;
  bool FFinalReplySeen = false;
  bool FDataClosed = false;
  bool FEof = false;
  uint16_t FDataCloseError = 0;
  uint16_t FTransferError = 0;  // a local failure that must fail the request
  std::string FTransferMessage;
  std::string FDisplayPartial;
  std::vector<uint8_t> FSendBuf;

  std::string FHostName, FPort = "ftp", FUserName, FPassWord, FHostDirName, FHostFileName, FLocalFileName;
  std::string FProxyServer, FProxyPort = "ftp";
  std::string FSocksServer, FSocksPort, FSocksUserCode, FSocksPassword;
  bool FDisplayFileFlag = false;
  char FType = 'I';
  TFtpShareMode FShareMode = ftpShareExclusive;
  TFtpOptions FOptions{ftpAcceptLF};
  TFtpConnectionType FConnectionType = ftpDirect;
};

// Each call starts its operation and waits, letting messages run, until the
// request is done: true when it ended with error 0. The time-out measures silence:
// every progress report of a transfer moves the deadline.
class TFtpClient : public TCustomFtpClient {
 public:
  explicit TFtpClient(TComponent* AOwner);

  int32_t Timeout() const { return FTimeout; }
  void SetTimeout(int32_t V) { FTimeout = V; }
  bool MultiThreaded() const { return FMultiThreaded; }
  void SetMultiThreaded(bool V);

  bool Open() { return Sync(&TCustomFtpClient::Open); }
  bool User() { return Sync(&TCustomFtpClient::User); }
  bool Pass() { return Sync(&TCustomFtpClient::Pass); }
  bool Cwd() { return Sync(&TCustomFtpClient::Cwd); }
  bool DataPort() { return Sync(&TCustomFtpClient::DataPort); }
  bool Syst() { return Sync(&TCustomFtpClient::Syst); }
  bool Quit() { return Sync(&TCustomFtpClient::Quit); }
  bool Size() { return Sync(&TCustomFtpClient::Size); }
  bool Mkd() { return Sync(&TCustomFtpClient::Mkd); }
  bool Rmd() { return Sync(&TCustomFtpClient::Rmd); }
  bool Dele() { return Sync(&TCustomFtpClient::Dele); }
  bool RenameTo() { return Sync(&TCustomFtpClient::RenameTo); }
  bool RenameFrom() { return Sync(&TCustomFtpClient::RenameFrom); }
  bool Pwd() { return Sync(&TCustomFtpClient::Pwd); }
  bool Quote() { return Sync(&TCustomFtpClient::Quote); }
  bool CdUp() { return Sync(&TCustomFtpClient::CdUp); }
  bool TypeSet() { return Sync(&TCustomFtpClient::TypeSet); }
  bool TypeBinary() { return Sync(&TCustomFtpClient::TypeBinary); }
  bool TypeAscii() { return Sync(&TCustomFtpClient::TypeAscii); }
  bool RestartAt() { return Sync(&TCustomFtpClient::RestartAt); }
  bool Connect() { return Sync(&TCustomFtpClient::Connect); }
  bool Get() { return Sync(&TCustomFtpClient::Get); }
  bool Put() { return Sync(&TCustomFtpClient::Put); }
  bool Append() { return Sync(&TCustomFtpClient::Append); }
  bool Dir() { return Sync(&TCustomFtpClient::Dir); }
  bool Ls() { return Sync(&TCustomFtpClient::Ls); }
  bool RestartGet() { return Sync(&TCustomFtpClient::RestartGet); }
  bool RestartPut() { return Sync(&TCustomFtpClient::RestartPut); }
  bool Rename() { return Sync(&TCustomFtpClient::Rename); }
  bool FullGet() { return Sync(&TCustomFtpClient::FullGet); }
  bool FullPut() { return Sync(&TCustomFtpClient::FullPut); }
  bool FullAppend() { return Sync(&TCustomFtpClient::FullAppend); }
  bool FullRestartGet() { return Sync(&TCustomFtpClient::FullRestartGet); }
  bool FullRestartPut() { return Sync(&TCustomFtpClient::FullRestartPut); }
  bool FullDir() { return Sync(&TCustomFtpClient::FullDir); }
  bool FullLs() { return Sync(&TCustomFtpClient::FullLs); }
  bool FullSyst() { return Sync(&TCustomFtpClient::FullSyst); }
  bool FullMkd() { return Sync(&TCustomFtpClient::FullMkd); }
  bool FullRmd() { return Sync(&TCustomFtpClient::FullRmd); }
  bool FullDele() { return Sync(&TCustomFtpClient::FullDele); }
  bool FullQuote() { return Sync(&TCustomFtpClient::FullQuote); }
  bool FullRename() { return Sync(&TCustomFtpClient::FullRename); }
  bool FullSize() { return Sync(&TCustomFtpClient::FullSize); }

 protected:
  void ProgressMade() override;

 private:
  bool Sync(void (TCustomFtpClient::*Start)());

  int32_t FTimeout = 15;
  bool FMultiThreaded = false;
};

}  // namespace kv
