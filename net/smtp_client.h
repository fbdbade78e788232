// SMTP client: sends one message over SMTP. TCustomSmtpClient runs the commands
// asynchronously and reports each request through OnRequestDone; TSmtpClient adds
// the message text and MIME attachments; TSyncSmtpClient adds calls that wait
// while the message loop runs.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/sync_socket.h"
#include "net/reply_lines.h"
#include "net/request_client.h"
#include "net/smtp_message.h"
#include "platform/rtl/component.h"
#include "platform/rtl/set.h"
#include "platform/rtl/string_list.h"
#include "platform/ui/messages.h"

namespace kv {

enum TSmtpState : uint8_t {
  smtpReady, smtpDnsLookup, smtpConnecting, smtpConnected, smtpInternalReady, smtpWaitingBanner,
  smtpWaitingResponse, smtpAbort
};
enum TSmtpContentType : uint8_t { smtpPlainText, smtpHTML };

enum TSmtpRequest : uint16_t {
  smtpRqConnect = 0, smtpRqHelo = 1, smtpRqMailFrom = 2, smtpRqVrfy = 3, smtpRqRcptTo = 4, smtpRqData = 5,
  smtpRqQuit = 6, smtpRqRset = 7, smtpRqOpen = 8, smtpRqMail = 9
};
// The steps of multi-step operations, in the order they run.
enum TSmtpFct : uint8_t {
  smtpFctConnect, smtpFctHelo, smtpFctVrfy, smtpFctMailFrom, smtpFctRcptTo, smtpFctData, smtpFctQuit, smtpFctNone
};
using TSmtpFctSet = TSet<TSmtpFct, 8>;

using TSmtpDisplay = std::function<void(TObject* Sender, const std::string& Msg)>;
using TSmtpGetDataEvent = std::function<void(TObject* Sender, int32_t LineNum, std::string& MsgLine, int32_t MaxLen, bool& More)>;
using TSmtpHeaderLineEvent = std::function<void(TObject* Sender, std::string& Msg, int32_t Size)>;
using TSmtpProcessHeaderEvent = std::function<void(TObject* Sender, TStrings* HdrLines)>;
using TSmtpRequestDone = std::function<void(TObject* Sender, uint16_t RqType, uint16_t Error)>;
using TSmtpSessionEvent = std::function<void(TObject* Sender, uint16_t Error)>;
using TSmtpAttachmentContentType =
    std::function<void(TObject* Sender, int32_t FileNumber, std::string& FileName, std::string& ContentType)>;
using TSmtpAttachHeader =
    std::function<void(TObject* Sender, int32_t FileNumber, const std::string& FileName, TStrings* HdrLines)>;

class TCustomSmtpClient : public TRequestClient {
 public:
  explicit TCustomSmtpClient(TComponent* AOwner);
  ~TCustomSmtpClient() override;

  void Connect();
  void Helo();
  void MailFrom();
  void Vrfy();
  void RcptTo();
  void Data();
  void Quit();
  void Rset();
  void Open();
  void Mail();
  void Abort();
  bool Connected() const { return FConnected; }

  const std::string& Host() const { return FHost; }
  void SetHost(const std::string& V) { FHost = V; }
  const std::string& Port() const { return FPort; }
  void SetPort(const std::string& V) { FPort = V; }
  const std::string& SignOn() const { return FSignOn; }
  void SetSignOn(const std::string& V) { FSignOn = V; }
  const std::string& FromName() const { return FFromName; }
  void SetFromName(const std::string& V) { FFromName = V; }
  TStrings* RcptName() const { return FRcptName.get(); }
  void SetRcptName(const TStrings* V);
  const std::string& HdrFrom() const { return FHdrFrom; }
  void SetHdrFrom(const std::string& V) { FHdrFrom = V; }
  const std::string& HdrTo() const { return FHdrTo; }
  void SetHdrTo(const std::string& V) { FHdrTo = V; }
  const std::string& HdrReplyTo() const { return FHdrReplyTo; }
  void SetHdrReplyTo(const std::string& V) { FHdrReplyTo = V; }
  const std::string& HdrReturnPath() const { return FHdrReturnPath; }
  void SetHdrReturnPath(const std::string& V) { FHdrReturnPath = V; }
  const std::string& HdrSubject() const { return FHdrSubject; }
  void SetHdrSubject(const std::string& V) { FHdrSubject = V; }
  const std::string& HdrSender() const { return FHdrSender; }
  void SetHdrSender(const std::string& V) { FHdrSender = V; }
  const std::string& CharSet() const { return FCharSet; }
  void SetCharSet(const std::string& V) { FCharSet = V; }
  TSmtpContentType ContentType() const { return FContentType; }
  void SetContentType(TSmtpContentType V) { FContentType = V; }
  TSmtpState State() const { return FState; }
  const std::string& ErrorMessage() const { return FErrorMessage; }
  const std::string& LastResponse() const { return FLastResponse; }
  int32_t StatusCode() const { return FStatusCode; }
  uint16_t RequestResult() const { return FRequestResult; }
  int32_t Tag() const { return FTag; }
  void SetTag(int32_t V) { FTag = V; }
  TNetSocket* CtrlSocket() const { return FSocket; }

  TSmtpDisplay OnDisplay;
  TSmtpDisplay OnCommand;
  TSmtpDisplay OnResponse;
  TSmtpGetDataEvent OnGetData;
  TSmtpHeaderLineEvent OnHeaderLine;
  TSmtpProcessHeaderEvent OnProcessHeader;
  TSmtpRequestDone OnRequestDone;
  TSmtpSessionEvent OnSessionConnected;
  TSmtpSessionEvent OnSessionClosed;

 protected:
  using TNext = void (TCustomSmtpClient::*)();

  // The message's body text and attachments; TSmtpClient adds its own.
  virtual std::vector<std::string> BodyText();
  virtual void AddParts(TSmtpMessageSource& Source, const TSmtpText& Text, std::vector<std::string>& Header);
  const char* ContentTypeText() const { return FContentType == smtpHTML ? "text/html" : "text/plain"; }
  // Builds and checks the whole message and opens its attachments; raises
  // SmtpException for anything that would fail half-way through DATA.
  void PrepareMessage();

  void Display(const std::string& Msg) override;
  void CheckReady();
  void ExecAsync(TSmtpRequest RqType, const std::string& Cmd, std::vector<int32_t> OkResponses, TNext Next);
  void SendCommand(const std::string& Cmd);
  void HighLevelAsync(TSmtpRequest RqType, TSmtpFctSet Fcts);
  void JudgeReply();
  void HandleLine(const std::string& Line) override;

  // the request engine's hooks
  void EnterConnecting(TNetSocket&) override { FState = smtpConnecting; }
  bool Aborting() const override { return FState == smtpAbort; }
  void EnterInternalReady() override { FState = smtpInternalReady; }
  void EnterReady() override { FState = smtpReady; }
  void RunStep(int Step) override;
  void StepRefused(const Exception& E) override;
  void RequestEnding() override;
  void RaiseRequestDone(uint16_t RqType, uint16_t Error) override;
  void BackgroundException(const Exception&) override { Abort(); }
  bool IdleNow() const override { return FState == smtpReady; }
  void AbortRequest() override { Abort(); }

  void SocketLookupDone(TObject* Sender, uint16_t Error);
  void SocketConnected(TObject* Sender, uint16_t Error);
  void SocketDataAvailable(TObject* Sender, uint16_t Error);
  void SocketDataSent(TObject* Sender, uint16_t Error);
  void SocketClosed(TObject* Sender, uint16_t Error);

  void RcptToNext();
  void DataGoAhead();
  void SendMessageLines();

  TNetSocket* FSocket = nullptr;
  TSmtpState FState = smtpReady;
  bool FConnected = false;
  std::vector<int32_t> FOkResponses;
  TNext FNext = nullptr;
  TReplyLineBuffer FLines{4096, false};
  TMultiLineReply FMulti;
  int32_t FRcptIndex = 0;
  std::unique_ptr<TSmtpMessageSource> FSource;
  bool FSending = false;  // DATA accepted, message lines going out

  std::string FHost, FPort = "smtp", FSignOn, FFromName;
  std::unique_ptr<TStringList> FRcptName;
  std::string FHdrFrom, FHdrTo, FHdrReplyTo, FHdrReturnPath, FHdrSubject, FHdrSender;
  std::string FCharSet = "iso-8859-1";
  TSmtpContentType FContentType = smtpPlainText;
  int32_t FTag = 0;
};

class TSmtpClient : public TCustomSmtpClient {
 public:
  explicit TSmtpClient(TComponent* AOwner);

  TStrings* MailMessage() const { return FMailMessage.get(); }
  void SetMailMessage(const TStrings* V);
  TStrings* EmailFiles() const { return FEmailFiles.get(); }
  // Raises SmtpException "File not found '<name>'" for a name that is no file.
  void SetEmailFiles(const TStrings* V);

  TSmtpAttachmentContentType OnAttachContentType;
  TSmtpAttachHeader OnAttachHeader;

 protected:
  std::vector<std::string> BodyText() override;
  void AddParts(TSmtpMessageSource& Source, const TSmtpText& Text, std::vector<std::string>& Header) override;

 private:
  std::unique_ptr<TStringList> FMailMessage;
  std::unique_ptr<TStringList> FEmailFiles;
};

class TSyncSmtpClient : public TSmtpClient {
 public:
  explicit TSyncSmtpClient(TComponent* AOwner);

  int32_t Timeout() const { return FTimeout; }
  void SetTimeout(int32_t V) { FTimeout = V; }
  bool MultiThreaded() const { return FMultiThreaded; }
  void SetMultiThreaded(bool V);

  bool Connect() { return Sync(&TCustomSmtpClient::Connect); }
  bool Helo() { return Sync(&TCustomSmtpClient::Helo); }
  bool MailFrom() { return Sync(&TCustomSmtpClient::MailFrom); }
  bool Vrfy() { return Sync(&TCustomSmtpClient::Vrfy); }
  bool RcptTo() { return Sync(&TCustomSmtpClient::RcptTo); }
  bool Data() { return Sync(&TCustomSmtpClient::Data); }
  bool Quit() { return Sync(&TCustomSmtpClient::Quit); }
  bool Rset() { return Sync(&TCustomSmtpClient::Rset); }
  bool Open() { return Sync(&TCustomSmtpClient::Open); }
  bool Mail() { return Sync(&TCustomSmtpClient::Mail); }

 private:
  bool Sync(void (TCustomSmtpClient::*Start)());

  int32_t FTimeout = 15;
  bool FMultiThreaded = false;
};

}  // namespace kv
