// THttpServer: a small HTTP/1.0 server. Each connection reads its request in
// line mode, maps the path to a file confined to the document folder and
// answers GET and HEAD with the file or a 404 page; handlers may answer a
// request themselves. Pipelined requests wait their turn; slow clients are
// cut off by read and write time-outs; clients above the maximum get 503.
#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "net/http_request.h"
#include "net/socket_server.h"
#include "platform/rtl/streams.h"

namespace kv {

enum THttpGetFlag : uint8_t { SendDocument, SendStream, AnswerMyself, Answer404, AcceptData };

using THttpGetEvent = std::function<void(TObject* Sender, THttpGetFlag& Flags)>;
using THttpPostedDataEvent = std::function<void(TObject* Sender, uint16_t Error)>;
using THttpGetConnEvent = std::function<void(TObject* Sender, TObject* Client, THttpGetFlag& Flags)>;
using THttpPostedDataConnEvent = std::function<void(TObject* Sender, TObject* Client, uint16_t Error)>;
using THttpClientEvent = std::function<void(TObject* Sender, TObject* Client, uint16_t Error)>;

class THttpConnection : public TNetSocketClient {
 public:
  explicit THttpConnection(TComponent* AOwner);
  ~THttpConnection() override;

  const std::string& DocDir() const { return FDocDir; }
  void SetDocDir(const std::string& Value) { FDocDir = Value; }
  // The opened document folder to share (the server's); one of its own is
  // opened when none is given or the folder differs.
  void SetDocRoot(std::shared_ptr<THttpDocRoot> Value) { FDocRoot = std::move(Value); }
  const std::string& DefaultDoc() const { return FDefaultDoc; }
  void SetDefaultDoc(const std::string& Value) { FDefaultDoc = Value; }
  const std::string& Document() const { return FDocument; }
  void SetDocument(const std::string& Value) { FDocument = Value; }
  const std::string& Path() const { return FHead.Path; }
  void SetPath(const std::string& Value) { FHead.Path = Value; }
  const std::string& Params() const { return FHead.Params; }
  void SetParams(const std::string& Value) { FHead.Params = Value; }
  const std::string& Method() const { return FHead.Method; }
  const std::string& Version() const { return FHead.Version; }
  const std::vector<std::string>& RequestHeader() const { return FHead.Headers; }
  const std::string& RequestContentType() const { return FHead.ContentType; }
  int32_t RequestContentLength() const { return FHead.ContentLength; }
  const std::string& RequestAccept() const { return FHead.Accept; }
  const std::string& RequestReferer() const { return FHead.Referer; }
  const std::string& RequestAcceptLanguage() const { return FHead.AcceptLanguage; }
  const std::string& RequestAcceptEncoding() const { return FHead.AcceptEncoding; }
  const std::string& RequestUserAgent() const { return FHead.UserAgent; }
  const std::string& RequestHost() const { return FHead.Host; }
  const std::string& RequestConnection() const { return FHead.Connection; }
  const std::string& AnswerContentType() const { return FAnswerContentType; }
  void SetAnswerContentType(const std::string& Value) { FAnswerContentType = Value; }
  TStream* DocStream() const { return FDocStream.get(); }
  // Takes the stream over; SendStream sends it and frees it.
  void SetDocStream(TStream* Value) { FDocStream.reset(Value); }
  // 0 waiting for a request line, 1 reading the header, 2 reading the body.
  int32_t HttpState() const { return FHttpState; }
  void SetTimeouts(int32_t ReadMs, int32_t WriteMs) {
    FReadTimeout = ReadMs;
    FWriteTimeout = WriteMs;
  }

  // Sends the mapped document: header, then (WithBody) the file.
  virtual void SendDocument(bool WithBody);
  // Sends DocStream block by block as the network takes it.
  void SendStream();
  // The 404 page (only its header for HEAD).
  void Answer404();
  bool TimedOut(uint64_t Now) override;

  THttpGetEvent OnGetDocument;
  THttpGetEvent OnHeadDocument;
  THttpGetEvent OnPostDocument;
  THttpPostedDataEvent OnPostedData;

  const TPropertyTable& PropertyTable() const override;

 protected:
  void DoLineLimitExceeded() override;
  virtual void TriggerGetDocument(THttpGetFlag& Flags);
  virtual void TriggerHeadDocument(THttpGetFlag& Flags);
  virtual void TriggerPostDocument(THttpGetFlag& Flags);

 private:
  void LineArrived();
  void ProcessLine(const std::string& Raw);
  void Dispatch();
  void SendNextBlock();
  void SendFileBody();
  void AnswerDone();
  void SendError(int32_t Code, const std::string& Reason);
  void CloseWhenSent();
  std::string StatusLine(int32_t Code, const std::string& Reason) const;

  std::string FDocDir;
  std::string FDefaultDoc;
  std::string FDocument;
  THttpRequestHead FHead;
  std::string FAnswerContentType;
  std::unique_ptr<TStream> FDocStream;
  std::shared_ptr<THttpDocRoot> FDocRoot;
  THttpOpenDocument FBody;  // the file being sent
  int64_t FBodyOffset = 0;
  int64_t FBodyEnd = 0;
  bool FInAnswerDone = false;
  uint64_t FAnswersDone = 0;
  std::unique_ptr<uint8_t[]> FDocBuf;
  int32_t FDocBufSize = 0;
  bool FPostedDataAccepted = false;
  int32_t FHttpState = 0;
  bool FKeepAlive = false;
  bool FAnswering = false;
  bool FCloseWhenSent = false;
  uint64_t FRequestStart = 0;
  int32_t FReadTimeout = 30000;
  int32_t FWriteTimeout = 30000;
  std::deque<std::string> FPipelined;  // request lines that came during an answer
  size_t FPipelinedBytes = 0;
};

using THttpConnectionClass = std::function<THttpConnection*(TComponent* Owner)>;

class THttpServer : public TComponent {
 public:
  explicit THttpServer(TComponent* AOwner);
  ~THttpServer() override;

  virtual void Start();
  virtual void Stop();

  const std::string& Port() const { return FPort; }
  void SetPort(const std::string& Value);
  const std::string& Addr() const { return FAddr; }
  void SetAddr(const std::string& Value);
  const std::string& DocDir() const { return FDocDir; }
  void SetDocDir(const std::string& Value) {
    if (Value != FDocDir) FDocRoot.reset();
    FDocDir = Value;
  }
  const std::string& DefaultDoc() const { return FDefaultDoc; }
  void SetDefaultDoc(const std::string& Value) { FDefaultDoc = Value; }
  TSocketLingerOnOff LingerOnOff() const { return FLingerOnOff; }
  void SetLingerOnOff(TSocketLingerOnOff Value) { FLingerOnOff = Value; }
  int32_t LingerTimeout() const { return FLingerTimeout; }
  void SetLingerTimeout(int32_t Value) { FLingerTimeout = Value; }
  int32_t MaxClients() const { return FMaxClients; }
  void SetMaxClients(int32_t Value);
  // A request must arrive within ReadTimeout ms (also the idle limit between
  // requests); an answer that makes no progress for WriteTimeout ms ends.
  int32_t ReadTimeout() const { return FReadTimeout; }
  void SetReadTimeout(int32_t Value) { FReadTimeout = Value; }
  int32_t WriteTimeout() const { return FWriteTimeout; }
  void SetWriteTimeout(int32_t Value) { FWriteTimeout = Value; }
  const THttpConnectionClass& ClientClass() const { return FClientClass; }
  void SetClientClass(THttpConnectionClass Value) { FClientClass = std::move(Value); }
  TNetSocketServer* SrvSock() const { return FSrvSock; }
  bool Listening() const { return FSrvSock && FSrvSock->State() == wsListening; }
  // The port actually listened on (the system's choice for "0").
  std::string ListenPort() const { return FSrvSock ? FSrvSock->GetXPort() : std::string("error"); }
  int32_t ClientCount() const { return FSrvSock ? FSrvSock->ClientCount() : 0; }

  TNotifyEvent OnServerStarted;
  TNotifyEvent OnServerStopped;
  THttpClientEvent OnClientConnect;
  THttpClientEvent OnClientDisconnect;
  THttpGetConnEvent OnGetDocument;
  THttpGetConnEvent OnHeadDocument;
  THttpGetConnEvent OnPostDocument;
  THttpPostedDataConnEvent OnPostedData;

  void Notification(TComponent* AComponent, TOperation Operation) override;
  const TPropertyTable& PropertyTable() const override;

 protected:
  virtual void TriggerServerStarted();
  virtual void TriggerServerStopped();
  virtual void TriggerPostDocument(TObject* Client, THttpGetFlag& Flags);
  virtual void TriggerPostedData(TObject* Client, uint16_t Error);

 private:
  void ClientConnected(TNetSocketClient* Client, uint16_t Error);
  void Restart();

  std::string FPort = "80";
  std::string FAddr = "0.0.0.0";
  std::string FDocDir = "c:\\wwwroot";
  std::string FDefaultDoc = "index.html";
  TSocketLingerOnOff FLingerOnOff = wsLingerNoSet;
  int32_t FLingerTimeout = 0;
  int32_t FMaxClients = 0;
  int32_t FReadTimeout = 30000;
  int32_t FWriteTimeout = 30000;
  THttpConnectionClass FClientClass;
  TNetSocketServer* FSrvSock = nullptr;
  std::shared_ptr<THttpDocRoot> FDocRoot;  // opened on start, shared by the connections
};

// The full answer a client above the maximum gets instead of a banner (the
// banner's CR LF ends its body).
std::string HttpBusyAnswer();

}  // namespace kv
