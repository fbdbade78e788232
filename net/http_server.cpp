#include "net/http_server.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "platform/ui/message_window.h"

namespace kv {

namespace {

std::string Lower(std::string S) {
  for (char& c : S)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return S;
}

// One answer block: big enough that a small file goes out in one send.
constexpr int32_t kHttpBufSize = 32768;

std::string ErrorPage(int32_t Code, const std::string& Reason) {
  return "<HTML><HEAD><TITLE>" + std::to_string(Code) + " " + Reason + "</TITLE></HEAD><BODY><H1>" +
         std::to_string(Code) + " " + Reason + "</H1></BODY></HTML>\r\n";
}

}  // namespace

std::string HttpBusyAnswer() {
  std::string body = ErrorPage(503, "Service Unavailable");
  body.resize(body.size() - 2);  // the banner's own CR LF ends it
  return "HTTP/1.0 503 Service Unavailable\r\nContent-Type: text/html\r\nContent-Length: " +
         std::to_string(body.size() + 2) + "\r\nConnection: close\r\n\r\n" + body;
}

// ---- connection ----

THttpConnection::THttpConnection(TComponent* AOwner) : TNetSocketClient(AOwner) {
  SetBufSize(kHttpBufSize);
  SetLineMode(true);
  SetLineEnd("\n");
  SetLineEdit(false);
  SetLineLimit(kHttpMaxLine);
  OnDataAvailable = [this](TObject*, uint16_t) { LineArrived(); };
}

THttpConnection::~THttpConnection() = default;

std::string THttpConnection::StatusLine(int32_t Code, const std::string& Reason) const {
  // Always our own protocol version, whatever the request claimed.
  return "HTTP/1.0 " + std::to_string(Code) + " " + Reason + "\r\n";
}

void THttpConnection::LineArrived() {
  const std::string line = ReceiveStr();
  if (line.empty()) return;
  if (FAnswering) {
    // Pipelined: kept in order for after the answer, within the head limits.
    FPipelinedBytes += line.size();
    if (FPipelinedBytes > static_cast<size_t>(kHttpMaxHeaderBytes) * 2) {
      FPipelined.clear();
      Abort();
      return;
    }
    FPipelined.push_back(line);
    return;
  }
  ProcessLine(line);
}

void THttpConnection::ProcessLine(const std::string& Raw) {
  if (FHttpState == 2) return;  // body lines nobody accepted are dropped
  const std::string line = StripLineEnd(Raw);
  if (FHttpState == 0) {
    if (line.empty()) return;  // stray line ends between requests
    FPostedDataAccepted = false;
    if (ParseRequestLine(line, FHead) != hlMore) {
      SendError(400, "Bad Request");
      return;
    }
    FHttpState = 1;
    FRequestStart = TickCount64();
    return;
  }
  switch (ParseHeaderLine(line, FHead)) {
    case hlMore: return;
    case hlTooMany: SendError(431, "Request Header Fields Too Large"); return;
    case hlBadRequest: SendError(400, "Bad Request"); return;
    case hlComplete:
      FHttpState = 2;
      Dispatch();
      return;
  }
}

void THttpConnection::Dispatch() {
  FDocument = JoinDocument(FDocDir, FHead.Path, FDefaultDoc);
  FKeepAlive = Lower(FHead.Connection) == "keep-alive";
  THttpGetFlag flags = kv::SendDocument;
  const TSocketToken token = FToken;
  auto gone = [&] { return FreePending() || FToken != token; };
  auto sendMapped = [&](bool withBody) {
    if (!FDocRoot || FDocRoot->DocDir() != FDocDir) FDocRoot = std::make_shared<THttpDocRoot>(FDocDir);
    THttpOpenDocument doc;
    if (!FDocRoot->Open(FHead.Path, FDefaultDoc, doc)) {
      Answer404();
      return;
    }
    FDocument = doc.Name;
    FBody = std::move(doc);
    SendDocument(withBody);
  };
  if (FHead.Method == "GET" || FHead.Method == "HEAD") {
    const bool get = FHead.Method == "GET";
    if (get) TriggerGetDocument(flags);
    else TriggerHeadDocument(flags);
    if (gone()) return;
    switch (flags) {
      case kv::SendDocument: sendMapped(get); break;
      case kv::SendStream: SendStream(); break;
      case kv::AnswerMyself: break;
      case kv::Answer404:
      case kv::AcceptData: Answer404(); break;
    }
    return;
  }
  if (FHead.Method == "POST") {
    flags = kv::Answer404;
    TriggerPostDocument(flags);
    if (gone()) return;
    if (flags == kv::Answer404) Answer404();
    else if (flags == kv::AcceptData) {
      FPostedDataAccepted = true;
      // The body goes to OnPostedData as it arrives, not as lines.
      OnDataAvailable = [this](TObject*, uint16_t Error) {
        if (OnPostedData) OnPostedData(this, Error);
        else ReceiveStr();
      };
      SetLineMode(false);
    }
    return;
  }
  Answer404();
}

void THttpConnection::TriggerGetDocument(THttpGetFlag& Flags) {
  if (OnGetDocument) OnGetDocument(this, Flags);
}
void THttpConnection::TriggerHeadDocument(THttpGetFlag& Flags) {
  if (OnHeadDocument) OnHeadDocument(this, Flags);
}
void THttpConnection::TriggerPostDocument(THttpGetFlag& Flags) {
  if (OnPostDocument) OnPostDocument(this, Flags);
}

void THttpConnection::SendDocument(bool WithBody) {
  FAnswerContentType = DocumentContentType(FDocument);
  if (!FBody.File) {
    // Called for a document set by hand: opened by its name.
    const int fd = ::open(FDocument.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st{};
    if (fd >= 0) FBody.File = std::make_shared<THttpFileHandle>(fd);
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      FBody = THttpOpenDocument{};
      Answer404();  // gone since it was found
      return;
    }
    FBody.Size = st.st_size;
  }
  FBodyOffset = 0;
  FBodyEnd = WithBody ? FBody.Size : 0;
  FAnswering = true;
  const std::string length = std::to_string(FBody.Size);
  const std::string status = StatusLine(200, "OK");
  const std::string_view pieces[] = {status,
                                     "Content-Type: ",
                                     FAnswerContentType,
                                     "\r\nContent-Length: ",
                                     length,
                                     FKeepAlive ? "\r\nConnection: keep-alive\r\n\r\n" : "\r\n\r\n"};
  size_t total = 0;
  for (const std::string_view& p : pieces) total += p.size();
  // The head goes straight out in one call when nothing waits before it;
  // what the network does not take yet is queued like any other send.
  size_t sent = 0;
  if (FAllSent && FState == wsConnected && HSocket() != INVALID_SOCKET) {
    const int32_t n = WsSendPieces(HSocket(), pieces, static_cast<int32_t>(std::size(pieces)));
    if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
      FBody = THttpOpenDocument{};
      Abort();
      return;
    }
    if (n > 0) {
      sent = static_cast<size_t>(n);
      Touch();
    }
  }
  if (sent < total) {
    std::string rest;
    rest.reserve(total - sent);
    size_t at = 0;
    for (const std::string_view& p : pieces) {
      if (at + p.size() > sent) rest.append(p.substr(sent > at ? sent - at : 0));
      at += p.size();
    }
    SendStr(rest);
  }
  if (FState != wsConnected) return;
  OnDataSent = [this](TObject*, uint16_t) { SendFileBody(); };
  SendFileBody();
}

void THttpConnection::SendFileBody() {
  if (!FBody.File) return;
  // Only once the head has gone: the body follows it on the wire.
  if (!FAllSent) return;
  while (FBodyOffset < FBodyEnd) {
    const int64_t n = WsSendFile(HSocket(), FBody.File->Fd(), &FBodyOffset, FBodyEnd - FBodyOffset);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
      SocketEventsWantWrite(HSocket());
      return;  // OnDataSent brings us back
    }
    if (n <= 0) {
      // Failed, or the file shrank under us: a short answer must not look complete.
      FBody = THttpOpenDocument{};
      OnDataSent = nullptr;
      Abort();
      return;
    }
    Touch();
  }
  FBody = THttpOpenDocument{};
  OnDataSent = nullptr;
  if (!FKeepAlive) Shutdown(1);
  AnswerDone();
}

void THttpConnection::SendStream() {
  if (!FDocStream) {
    PostClose();
    return;
  }
  FAnswering = true;
  if (!FDocBuf || FDocBufSize != BufSize()) {
    FDocBufSize = BufSize();
    FDocBuf = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(FDocBufSize));
  }
  OnDataSent = [this](TObject*, uint16_t) { SendNextBlock(); };
  SendNextBlock();
}

void THttpConnection::SendNextBlock() {
  if (!FDocStream) return;
  // Only when everything before went out: at most one block waits in memory.
  if (!FAllSent) return;
  int32_t n = 0;
  try {
    n = FDocStream->Read(FDocBuf.get(), FDocBufSize);
  } catch (const Exception&) {
    n = -1;
  }
  if (n > 0) {
    Send(FDocBuf.get(), n);
    return;
  }
  const bool failed = n < 0;
  FDocStream.reset();
  OnDataSent = nullptr;
  if (failed) {
    Abort();  // a short answer must not look complete
    return;
  }
  if (!FKeepAlive) Shutdown(1);
  AnswerDone();
}

void THttpConnection::AnswerDone() {
  FHttpState = 0;
  FAnswering = false;
  OnDataSent = nullptr;
  ++FAnswersDone;
  // An answer finished while the loop below runs: the loop goes on, rather
  // than the stack growing with each pipelined request.
  if (FInAnswerDone) return;
  if (!FKeepAlive) {
    FAnswering = true;  // whatever else came is not for us any more
    PostClose();
    return;
  }
  // Requests that came meanwhile, in the order they came.
  const TSocketToken token = FToken;
  FInAnswerDone = true;
  while (!FPipelined.empty() && !FAnswering && !FreePending() && FToken == token) {
    const std::string line = std::move(FPipelined.front());
    FPipelined.pop_front();
    FPipelinedBytes -= std::min(FPipelinedBytes, line.size());
    const uint64_t before = FAnswersDone;
    ProcessLine(line);
    if (FAnswersDone != before && !FKeepAlive && !FreePending() && FToken == token) {
      FPipelined.clear();
      FAnswering = true;
      PostClose();
      break;
    }
  }
  FInAnswerDone = false;
}

void THttpConnection::Answer404() {
  const std::string body = NotFoundBody(FHead.Path);
  const std::string header = StatusLine(404, "Not Found") + "Content-Type: text/html\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n";
  FAnswering = true;
  SendStr(FHead.Method == "HEAD" ? header : header + body);
  CloseWhenSent();
}

void THttpConnection::SendError(int32_t Code, const std::string& Reason) {
  const std::string body = ErrorPage(Code, Reason);
  FAnswering = true;
  FPipelined.clear();
  SendStr(StatusLine(Code, Reason) + "Content-Type: text/html\r\nContent-Length: " + std::to_string(body.size()) +
          "\r\nConnection: close\r\n\r\n" + body);
  CloseGracefully();
}

void THttpConnection::CloseWhenSent() {
  if (FAllSent) {
    PostClose();
    return;
  }
  FCloseWhenSent = true;
  OnDataSent = [this](TObject*, uint16_t) {
    if (FCloseWhenSent) PostClose();
  };
}

void THttpConnection::DoLineLimitExceeded() {
  if (FHttpState == 0) SendError(414, "Request-URI Too Long");
  else SendError(431, "Request Header Fields Too Large");
}

bool THttpConnection::TimedOut(uint64_t Now) {
  if (Lingering()) return TNetSocketClient::TimedOut(Now);
  if (FAnswering && (!FAllSent || FBody.File)) return FWriteTimeout > 0 && IdleFor(Now) > static_cast<uint64_t>(FWriteTimeout);
  if (FReadTimeout <= 0) return false;
  if (FHttpState == 1) return Now - FRequestStart > static_cast<uint64_t>(FReadTimeout);
  if (FHttpState == 0 && !FAnswering) return IdleFor(Now) > static_cast<uint64_t>(FReadTimeout);
  return false;
}

const TPropertyTable& THttpConnection::PropertyTable() const {
  static const auto table = TPropertyTable::Make<THttpConnection>(TNetSocketClient::PropertyTable(), [](auto& p) {
    p.String("DocDir", &THttpConnection::DocDir, &THttpConnection::SetDocDir);
    p.String("DefaultDoc", &THttpConnection::DefaultDoc, &THttpConnection::SetDefaultDoc);
    p.String("Document", &THttpConnection::Document, &THttpConnection::SetDocument);
    p.String("Path", &THttpConnection::Path, &THttpConnection::SetPath);
    p.String("Params", &THttpConnection::Params, &THttpConnection::SetParams);
    p.Method("OnGetDocument");
    p.Method("OnHeadDocument");
    p.Method("OnPostDocument");
    p.Method("OnPostedData");
  });
  return table;
}

// ---- server ----

THttpServer::THttpServer(TComponent* AOwner) : TComponent(AOwner) {
  FClientClass = [](TComponent* Owner) { return new THttpConnection(Owner); };
}

THttpServer::~THttpServer() {
  Destroying();
  if (FSrvSock) {
    TNetSocketServer* s = FSrvSock;
    FSrvSock = nullptr;
    s->OnChangeState = nullptr;
    delete s;
  }
}

void THttpServer::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FSrvSock) FSrvSock = nullptr;
}

void THttpServer::SetPort(const std::string& Value) {
  if (Value == FPort) return;
  FPort = Value;
  Restart();
}

void THttpServer::SetAddr(const std::string& Value) {
  if (Value == FAddr) return;
  FAddr = Value;
  Restart();
}

void THttpServer::SetMaxClients(int32_t Value) {
  FMaxClients = Value;
  if (FSrvSock) FSrvSock->SetMaxClients(Value);
}

void THttpServer::Restart() {
  if (!Listening()) return;
  FSrvSock->Close();
  Start();
}

void THttpServer::Start() {
  if (!FSrvSock) {
    FSrvSock = new TNetSocketServer(this);
    FSrvSock->OnChangeState = [this](TObject*, TSocketState Old, TSocketState New) {
      if (New == wsListening) TriggerServerStarted();
      else if (New == wsClosed && Old == wsListening) TriggerServerStopped();
    };
  }
  if (FSrvSock->State() == wsListening) return;
  // Opened afresh on each start, so a folder replaced meanwhile is seen.
  FDocRoot = std::make_shared<THttpDocRoot>(FDocDir);
  FSrvSock->SetClientClass([this](TComponent* Owner) -> TNetSocketClient* { return FClientClass(Owner); });
  FSrvSock->OnClientCreate = [this](TObject*, TNetSocketClient* Client) {
    Client->SetLingerOnOff(FLingerOnOff);
    Client->SetLingerTimeout(FLingerTimeout);
  };
  FSrvSock->OnClientConnect = [this](TObject*, TNetSocketClient* Client, uint16_t Error) {
    ClientConnected(Client, Error);
  };
  FSrvSock->OnClientDisconnect = [this](TObject*, TNetSocketClient* Client, uint16_t Error) {
    if (OnClientDisconnect) OnClientDisconnect(this, Client, Error);
  };
  FSrvSock->SetBanner("");
  FSrvSock->SetBannerToBusy(HttpBusyAnswer());
  FSrvSock->SetMaxClients(FMaxClients);
  int32_t tick = 0;
  for (int32_t t : {FReadTimeout, FWriteTimeout})
    if (t > 0) tick = tick ? std::min(tick, t) : t;
  FSrvSock->SetClientTimeout(tick);
  FSrvSock->SetProto("tcp");
  FSrvSock->SetPort(FPort);
  FSrvSock->SetAddr(FAddr);
  FSrvSock->Listen();
}

void THttpServer::Stop() {
  if (!FSrvSock) return;
  try {
    FSrvSock->Close();
  } catch (...) {
  }
  for (int32_t i = FSrvSock->ClientCount() - 1; i >= 0; --i) {
    try {
      if (TNetSocketClient* c = FSrvSock->Client(i)) c->Abort();
    } catch (...) {
    }
  }
}

void THttpServer::ClientConnected(TNetSocketClient* Client, uint16_t Error) {
  if (auto* c = dynamic_cast<THttpConnection*>(Client)) {
    c->SetLineMode(true);
    c->SetLineEnd("\n");
    c->SetLineEdit(false);
    c->SetDocDir(FDocDir);
    c->SetDocRoot(FDocRoot);
    c->SetDefaultDoc(FDefaultDoc);
    c->SetTimeouts(FReadTimeout, FWriteTimeout);
    WsSetOption(c->HSocket(), woNoDelay, true);  // header and body must not wait on each other
    c->OnGetDocument = [this](TObject* Sender, THttpGetFlag& Flags) {
      if (OnGetDocument) OnGetDocument(this, Sender, Flags);
    };
    c->OnHeadDocument = [this](TObject* Sender, THttpGetFlag& Flags) {
      if (OnHeadDocument) OnHeadDocument(this, Sender, Flags);
    };
    c->OnPostDocument = [this](TObject* Sender, THttpGetFlag& Flags) { TriggerPostDocument(Sender, Flags); };
    c->OnPostedData = [this](TObject* Sender, uint16_t E) { TriggerPostedData(Sender, E); };
  }
  if (OnClientConnect) OnClientConnect(this, Client, Error);
}

void THttpServer::TriggerServerStarted() {
  if (OnServerStarted) OnServerStarted(this);
}
void THttpServer::TriggerServerStopped() {
  if (OnServerStopped) OnServerStopped(this);
}
void THttpServer::TriggerPostDocument(TObject* Client, THttpGetFlag& Flags) {
  if (OnPostDocument) OnPostDocument(this, Client, Flags);
}
void THttpServer::TriggerPostedData(TObject* Client, uint16_t Error) {
  if (OnPostedData) OnPostedData(this, Client, Error);
}

const TPropertyTable& THttpServer::PropertyTable() const {
  static const auto table = TPropertyTable::Make<THttpServer>(TComponent::PropertyTable(), [](auto& p) {
    p.String("Port", &THttpServer::Port, &THttpServer::SetPort);
    p.String("Addr", &THttpServer::Addr, &THttpServer::SetAddr);
    p.String("DocDir", &THttpServer::DocDir, &THttpServer::SetDocDir);
    p.String("DefaultDoc", &THttpServer::DefaultDoc, &THttpServer::SetDefaultDoc);
    p.Enum("LingerOnOff", &THttpServer::LingerOnOff, &THttpServer::SetLingerOnOff,
           {"wsLingerOff", "wsLingerOn", "wsLingerNoSet"});
    p.Integer("LingerTimeout", &THttpServer::LingerTimeout, &THttpServer::SetLingerTimeout);
    p.Method("OnServerStarted");
    p.Method("OnServerStopped");
    p.Method("OnClientConnect");
    p.Method("OnClientDisconnect");
    p.Method("OnGetDocument");
    p.Method("OnHeadDocument");
    p.Method("OnPostDocument");
    p.Method("OnPostedData");
  });
  return table;
}

}  // namespace kv
