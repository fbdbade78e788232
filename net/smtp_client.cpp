#include "net/smtp_client.h"

#include <algorithm>
#include <ctime>

#include "platform/rtl/file_utils.h"
#include "platform/rtl/strings.h"
#include "platform/ui/message_window.h"

namespace kv {

namespace {

// Lines are handed to the socket in batches of about this many bytes per
// data-sent event, so a large attachment does not cost one loop turn per line.
constexpr size_t kSendBatch = 16384;

void CheckHeaderValue(const char* Name, const std::string& Value) {
  if (HasLineBreak(Value)) throw SmtpException(std::string("Line break in ") + Name + " refused");
}

}  // namespace

TCustomSmtpClient::TCustomSmtpClient(TComponent* AOwner)
    : TRequestClient(AOwner, smtpFctNone, smtpFctQuit), FRcptName(std::make_unique<TStringList>()) {
  FSocket = new TNetSocket(nullptr);
  FSocket->OnDnsLookupDone = [this](TObject* S, uint16_t E) { SocketLookupDone(S, E); };
  FSocket->OnSessionConnected = [this](TObject* S, uint16_t E) { SocketConnected(S, E); };
  FSocket->OnDataAvailable = [this](TObject* S, uint16_t E) { SocketDataAvailable(S, E); };
  FSocket->OnDataSent = [this](TObject* S, uint16_t E) { SocketDataSent(S, E); };
  FSocket->OnSessionClosed = [this](TObject* S, uint16_t E) { SocketClosed(S, E); };
}

TCustomSmtpClient::~TCustomSmtpClient() {
  FSocket->OnDnsLookupDone = nullptr;
  FSocket->OnSessionConnected = nullptr;
  FSocket->OnDataAvailable = nullptr;
  FSocket->OnDataSent = nullptr;
  FSocket->OnSessionClosed = nullptr;
  delete FSocket;
}

void TCustomSmtpClient::SetRcptName(const TStrings* V) {
  FRcptName->Clear();
  if (V) FRcptName->AddStrings(V);
}

void TCustomSmtpClient::Display(const std::string& Msg) {
  if (OnDisplay) OnDisplay(this, Msg);
}

void TCustomSmtpClient::CheckReady() {
  if (FState != smtpReady && FState != smtpInternalReady) throw SmtpException("SMTP component not ready");
}

void TCustomSmtpClient::ExecAsync(TSmtpRequest RqType, const std::string& Cmd, std::vector<int32_t> OkResponses,
                                  TNext Next) {
  CheckReady();
  if (!FConnected) throw SmtpException("SMTP component not connected");
  BeginRequest(RqType);
  FOkResponses = std::move(OkResponses);
  FNext = Next;
  FMulti.Reset();
  FState = smtpWaitingResponse;
  SendCommand(Cmd);
}

void TCustomSmtpClient::SendCommand(const std::string& Cmd) {
  if (OnCommand) OnCommand(this, Cmd);
  SendLine(FSocket, Cmd);
}

void TCustomSmtpClient::RequestEnding() {
  FSource.reset();
  FSending = false;
}

void TCustomSmtpClient::HighLevelAsync(TSmtpRequest RqType, TSmtpFctSet Fcts) {
  CheckReady();
  StartSteps(RqType, Fcts.ToMask());
}

void TCustomSmtpClient::RunStep(int Step) {
  switch (TSmtpFct(Step)) {
    case smtpFctConnect: Connect(); break;
    case smtpFctHelo: Helo(); break;
    case smtpFctVrfy: Vrfy(); break;
    case smtpFctMailFrom: MailFrom(); break;
    case smtpFctRcptTo: RcptTo(); break;
    case smtpFctData: Data(); break;
    case smtpFctQuit: Quit(); break;
    case smtpFctNone: break;
  }
}

void TCustomSmtpClient::StepRefused(const Exception& E) {
  FErrorMessage = "500 " + E.Message();
  FState = smtpInternalReady;
}

void TCustomSmtpClient::RaiseRequestDone(uint16_t RqType, uint16_t Error) {
  if (OnRequestDone) OnRequestDone(this, RqType, Error);
}

// ---------------------------------------------------------------- connection

void TCustomSmtpClient::Connect() {
  CheckReady();
  if (FConnected) throw SmtpException("SMTP component already connected");
  BeginRequest(smtpRqConnect);
  FLines.Clear();
  FMulti.Reset();
  FState = smtpDnsLookup;
  FSocket->DnsLookup(FHost);
}

void TCustomSmtpClient::SocketLookupDone(TObject*, uint16_t Error) {
  if (FState == smtpDnsLookup) ConnectAfterLookup(*FSocket, Error, FPort, "500 ", true);
}

void TCustomSmtpClient::SocketConnected(TObject*, uint16_t Error) {
  if (Error != 0) {
    ConnectionFailed(*FSocket, Error, "500 ");
    return;
  }
  FConnected = true;
  FState = smtpWaitingBanner;
}

void TCustomSmtpClient::SocketDataAvailable(TObject*, uint16_t) { ReceiveLines(*FSocket, FLines); }

void TCustomSmtpClient::HandleLine(const std::string& Line) {
  FLastResponse = Line;
  if (OnResponse) OnResponse(this, Line);
  int32_t code = 0;
  if (FState == smtpWaitingBanner) {
    Display("< " + Line);
    if (!FMulti.Feed(Line, code)) return;
    FStatusCode = code;
    if (code != 220) {
      FErrorMessage = Line;
      FState = smtpInternalReady;
      TriggerRequestDone(uint16_t(code));
      FSocket->Close();
      return;
    }
    FState = smtpConnected;
    if (OnSessionConnected) OnSessionConnected(this, 0);
    FState = smtpInternalReady;
    TriggerRequestDone(0);
  } else if (FState == smtpWaitingResponse) {
    if (!FMulti.Feed(Line, code)) {
      Display("< " + Line);
      return;
    }
    JudgeReply();
  } else {
    Display("< " + Line);
  }
}

void TCustomSmtpClient::JudgeReply() {
  const bool ok = JudgeNumberedReply(FOkResponses);
  if (FNext && ok) {
    TNext next = FNext;
    FNext = nullptr;
    (this->*next)();
    return;
  }
  FNext = nullptr;
  TriggerRequestDone(FRequestResult);
}

void TCustomSmtpClient::SocketClosed(TObject*, uint16_t Error) {
  const bool wasConnected = FConnected;
  FConnected = false;
  if (wasConnected && OnSessionClosed) OnSessionClosed(this, Error);
  if (FState == smtpReady || FState == smtpAbort || FRequestDoneFlag) return;
  if (FErrorMessage.empty()) FErrorMessage = "426 Connection closed";
  FHighLevelFlag = false;
  FSource.reset();
  FSending = false;
  TriggerRequestDone(10004);
}

void TCustomSmtpClient::Abort() {
  FState = smtpAbort;
  FSocket->CancelLookup();
  if (FSocket->State() != wsClosed) FSocket->Abort();
  FConnected = false;
  FHighLevelFlag = false;
  FSource.reset();
  FSending = false;
  FState = smtpReady;
}

// ---------------------------------------------------------------- commands

void TCustomSmtpClient::Helo() {
  CheckHeaderValue("SignOn", FSignOn);
  std::string name = FSignOn;
  if (name.empty()) name = GetLocalHostName();
  ExecAsync(smtpRqHelo, "HELO " + name, {250}, nullptr);
}

void TCustomSmtpClient::MailFrom() {
  ExecAsync(smtpRqMailFrom, "MAIL FROM:" + SmtpAddressArg(FFromName), {250}, nullptr);
}

void TCustomSmtpClient::Vrfy() {
  CheckHeaderValue("HdrTo", FHdrTo);
  ExecAsync(smtpRqVrfy, "VRFY " + FHdrTo, {250}, nullptr);
}

void TCustomSmtpClient::RcptTo() {
  if (FRcptName->Count() == 0) throw SmtpException("RcptName list is empty");
  for (int32_t i = 0; i < FRcptName->Count(); ++i) SmtpAddressArg(FRcptName->Strings(i));  // refuse before sending any
  FRcptIndex = 0;
  ExecAsync(smtpRqRcptTo, "RCPT TO:" + SmtpAddressArg(FRcptName->Strings(0)), {250, 251}, &TCustomSmtpClient::RcptToNext);
}

void TCustomSmtpClient::RcptToNext() {
  if (++FRcptIndex >= FRcptName->Count()) {
    TriggerRequestDone(0);
    return;
  }
  FOkResponses = {250, 251};
  FNext = &TCustomSmtpClient::RcptToNext;
  FMulti.Reset();
  FState = smtpWaitingResponse;
  SendCommand("RCPT TO:" + SmtpAddressArg(FRcptName->Strings(FRcptIndex)));
}

void TCustomSmtpClient::Quit() { ExecAsync(smtpRqQuit, "QUIT", {221}, nullptr); }

void TCustomSmtpClient::Rset() { ExecAsync(smtpRqRset, "RSET", {250}, nullptr); }

void TCustomSmtpClient::Open() {
  if (FConnected) throw SmtpException("SMTP component already connected");
  HighLevelAsync(smtpRqOpen, {smtpFctConnect, smtpFctHelo});
}

void TCustomSmtpClient::Mail() {
  CheckReady();
  if (FRcptName->Count() == 0) throw SmtpException("RcptName list is empty");
  SmtpAddressArg(FFromName);
  for (int32_t i = 0; i < FRcptName->Count(); ++i) SmtpAddressArg(FRcptName->Strings(i));
  PrepareMessage();  // nothing is sent when the message cannot be built
  HighLevelAsync(smtpRqMail, {smtpFctMailFrom, smtpFctRcptTo, smtpFctData});
}

// ---------------------------------------------------------------- message

std::vector<std::string> TCustomSmtpClient::BodyText() {
  std::vector<std::string> lines;
  if (!OnGetData) return lines;
  bool more = true;
  for (int32_t n = 1; more; ++n) {
    std::string line;
    more = false;
    try {
      OnGetData(this, n, line, 1023, more);
    } catch (const Exception&) {
      break;  // the handler ends the body
    }
    if (!more) break;
    lines.push_back(line);
  }
  return lines;
}

void TCustomSmtpClient::AddParts(TSmtpMessageSource& Source, const TSmtpText& Text, std::vector<std::string>& Header) {
  Source.AddLines(std::move(Header));
  Source.AddLines(Text.Lines);
}

void TCustomSmtpClient::PrepareMessage() {
  const TSmtpText text = PrepareSmtpText(BodyText(), FCharSet);
  std::vector<std::string> fields;
  auto add = [&](const char* name, const std::string& value, bool address) {
    for (auto& l : HeaderField(name, value, address)) fields.push_back(std::move(l));
  };
  if (!Trim(FHdrReplyTo).empty()) add("Reply-To", FHdrReplyTo, true);
  if (!Trim(FHdrReturnPath).empty()) add("Return-Path", FHdrReturnPath, true);
  add("From", FHdrFrom, true);
  add("To", FHdrTo, true);
  add("Subject", FHdrSubject, false);
  if (!Trim(FHdrSender).empty())
    add("Sender", FHdrSender, true);
  else if (!Trim(FHdrFrom).empty())
    add("Sender", FHdrFrom, true);
  fields.push_back("Mime-Version: 1.0");
  fields.push_back(std::string("Content-Type: ") + ContentTypeText() + "; charset=\"" + text.CharSet + "\"");
  if (text.QuotedPrintable) fields.push_back("Content-Transfer-Encoding: quoted-printable");
  fields.push_back("Date: " + SmtpDateNow());

  TStringList hdr;
  hdr.AssignLines(fields);
  if (OnProcessHeader) OnProcessHeader(this, &hdr);
  std::vector<std::string> header;
  for (int32_t i = 0; i < hdr.Count(); ++i) {
    std::string l = hdr.Strings(i);
    if (OnHeaderLine) OnHeaderLine(this, l, 1024);
    if (HasLineBreak(l)) throw SmtpException("Line break in header line refused");
    header.push_back(l);
  }
  auto source = std::make_unique<TSmtpMessageSource>();
  AddParts(*source, text, header);
  source->Open();
  FSource = std::move(source);
}

void TCustomSmtpClient::Data() {
  if (!FSource) PrepareMessage();
  ExecAsync(smtpRqData, "DATA", {354}, &TCustomSmtpClient::DataGoAhead);
}

void TCustomSmtpClient::DataGoAhead() {
  FSending = true;
  FState = smtpWaitingResponse;
  FNext = nullptr;
  SendMessageLines();
}

void TCustomSmtpClient::SocketDataSent(TObject*, uint16_t Error) {
  if (!FSending || Error != 0) return;
  SendMessageLines();
}

void TCustomSmtpClient::SendMessageLines() {
  if (!FSending || !FSource || FSocket->State() != wsConnected) return;
  std::string batch;
  std::string line;
  try {
    while (batch.size() < kSendBatch) {
      if (!FSource->NextLine(line)) {
        FSending = false;
        FSource.reset();
        break;
      }
      Display("> " + line);
      batch += DotStuffed(line);
      batch += "\r\n";
    }
  } catch (const Exception& E) {
    // A message cut short must not be ended with "."; dropping the connection
    // makes the server discard it.
    FSending = false;
    FSource.reset();
    FErrorMessage = "426 " + E.Message();
    FStatusCode = 426;
    FHighLevelFlag = false;
    FSocket->Abort();
    if (!FRequestDoneFlag) TriggerRequestDone(426);
    return;
  }
  if (!FSending) {
    batch += ".\r\n";
    Display("> .");
    FOkResponses = {250};
    FMulti.Reset();
    FState = smtpWaitingResponse;
  }
  if (!batch.empty()) FSocket->SendStr(batch);
}

// ---------------------------------------------------------------- with attachments

TSmtpClient::TSmtpClient(TComponent* AOwner)
    : TCustomSmtpClient(AOwner), FMailMessage(std::make_unique<TStringList>()),
      FEmailFiles(std::make_unique<TStringList>()) {}

void TSmtpClient::SetMailMessage(const TStrings* V) {
  FMailMessage->Clear();
  if (V) FMailMessage->AddStrings(V);
}

void TSmtpClient::SetEmailFiles(const TStrings* V) {
  if (V)
    for (int32_t i = 0; i < V->Count(); ++i) {
      const std::string name = Trim(V->Strings(i));
      if (!name.empty() && !FileExists(name)) throw SmtpException("File not found '" + name + "'");
    }
  FEmailFiles->Clear();
  if (V) FEmailFiles->AddStrings(V);
}

std::vector<std::string> TSmtpClient::BodyText() {
  std::vector<std::string> lines;
  for (int32_t i = 0; i < FMailMessage->Count(); ++i) lines.push_back(FMailMessage->Strings(i));
  for (auto& l : TCustomSmtpClient::BodyText()) lines.push_back(std::move(l));
  return lines;
}

void TSmtpClient::AddParts(TSmtpMessageSource& Source, const TSmtpText& Text, std::vector<std::string>& Header) {
  std::vector<std::string> files;
  for (int32_t i = 0; i < FEmailFiles->Count(); ++i) {
    const std::string name = Trim(FEmailFiles->Strings(i));
    if (!name.empty()) files.push_back(name);
  }
  if (files.empty()) {
    TCustomSmtpClient::AddParts(Source, Text, Header);
    return;
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string boundary = SmtpBoundary(local);
  // The single-part Content-Type (and its encoding) give way to the multipart one.
  std::vector<std::string> head;
  for (auto& l : Header) {
    if (UpperCase(l).rfind("CONTENT-TYPE:", 0) == 0) {
      head.push_back("Content-Type: multipart/mixed;");
      head.push_back("\tboundary=\"" + boundary + "\"");
    } else if (UpperCase(l).rfind("CONTENT-TRANSFER-ENCODING:", 0) != 0) {
      head.push_back(l);
    }
  }
  Source.AddLines(std::move(head));
  std::vector<std::string> lines = {"This is a multipart MIME message.", "", "--" + boundary,
                                    std::string("Content-Type: ") + ContentTypeText() + "; charset=\"" + Text.CharSet + "\"",
                                    std::string("Content-Transfer-Encoding: ") + Text.TransferEncoding(), ""};
  lines.insert(lines.end(), Text.Lines.begin(), Text.Lines.end());
  Source.AddLines(std::move(lines));
  for (size_t i = 0; i < files.size(); ++i) {
    std::string name = ExtractFileName(files[i]);
    std::string type = "application/octet-stream";
    if (OnAttachContentType) OnAttachContentType(this, int32_t(i), name, type);
    const std::string fileName = ExtractFileName(files[i]);
    for (const std::string* v : std::initializer_list<const std::string*>{&name, &type, &fileName})
      if (HasLineBreak(*v) || v->find('"') != std::string::npos)
        throw SmtpException("Attachment name not allowed: '" + *v + "'");
    TStringList extra;
    extra.AssignLines({"--" + boundary, "Content-Type: " + type + ";", "\tname=\"" + name + "\"",
                       "Content-Transfer-Encoding: base64", "Content-Disposition: attachment;",
                       "\tfilename=\"" + fileName + "\""});
    if (OnAttachHeader) OnAttachHeader(this, int32_t(i), fileName, &extra);
    std::vector<std::string> part;
    for (int32_t k = 0; k < extra.Count(); ++k) {
      if (HasLineBreak(extra.Strings(k))) throw SmtpException("Line break in attachment header refused");
      part.push_back(extra.Strings(k));
    }
    part.push_back("");
    Source.AddLines(std::move(part));
    Source.AddAttachmentContent(files[i]);
  }
  Source.AddLines({"", "--" + boundary + "--"});
}

// ---------------------------------------------------------------- synchronous

TSyncSmtpClient::TSyncSmtpClient(TComponent* AOwner) : TSmtpClient(AOwner) {}

void TSyncSmtpClient::SetMultiThreaded(bool V) {
  FMultiThreaded = V;
  FSocket->SetMultiThreaded(V);
}

bool TSyncSmtpClient::Sync(void (TCustomSmtpClient::*Start)()) {
  return TRequestClient::Sync([&] { (static_cast<TCustomSmtpClient*>(this)->*Start)(); }, FTimeout);
}

}  // namespace kv
