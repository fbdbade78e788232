#include "net/request_client.h"

#include <algorithm>

#include "net/reply_lines.h"
#include "net/sync_socket.h"
#include "platform/sockets/winsock_errors.h"
#include "platform/ui/message_window.h"

namespace kv {

namespace {
constexpr UINT WM_REQUEST_DONE = WM_USER + 1;
}  // namespace

TRequestClient::TRequestClient(TComponent* AOwner, int StepCount, int QuitStep)
    : TComponent(AOwner), FStepPrv(StepCount), FStepCount(StepCount), FQuitStep(QuitStep) {
  EnsureMessageLoop();
  FWindowHandle = AllocateHWnd([this](TMessage& M) { WndProc(M); });
}

TRequestClient::~TRequestClient() {
  DeallocateHWnd(FWindowHandle);
  FWindowHandle = 0;
}

void TRequestClient::WndProc(TMessage& Msg) {
  try {
    if (Msg.Msg == WM_REQUEST_DONE) {
      RaiseRequestDone(uint16_t(Msg.WParam), uint16_t(Msg.LParam));
    } else {
      HandleMessage(Msg);
    }
  } catch (const Exception& E) {
    BackgroundException(E);
  }
}

void TRequestClient::BeginRequest(uint16_t RqType) {
  if (!FHighLevelFlag) {
    FRequestType = RqType;
    FErrorMessage.clear();
  }
  FRequestDoneFlag = false;
  FRequestResult = 0;
}

void TRequestClient::TriggerRequestDone(uint16_t Error) {
  if (FRequestDoneFlag) return;
  FRequestDoneFlag = true;
  FRequestResult = Error;
  StepEnded();
  if (FHighLevelFlag) {
    if (!Aborting()) EnterInternalReady();
    NextHighLevel();
    return;
  }
  RequestEnding();
  if (FStepPrv == FQuitStep && !FLastResponseSave.empty()) {
    // The caller wants the reply of the step before QUIT, not QUIT's.
    FLastResponse = FLastResponseSave;
    FStatusCode = FStatusCodeSave;
  }
  FLastResponseSave.clear();
  FStepPrv = FStepCount;
  EnterReady();
  PostRequestDone(Error);
}

void TRequestClient::PostRequestDone(uint16_t Error) { PostMessage(FWindowHandle, WM_REQUEST_DONE, FRequestType, Error); }

void TRequestClient::StartSteps(uint16_t RqType, uint64_t Steps) {
  FRequestType = RqType;
  FErrorMessage.clear();
  FRequestResult = 0;
  FHighLevelResult = 0;
  FHighLevelFlag = true;
  FSteps = Steps;
  FStepPrv = FStepCount;
  FLastResponseSave.clear();
  NextHighLevel();
}

void TRequestClient::NextHighLevel() {
  const uint64_t quit = uint64_t(1) << FQuitStep;
  if (Aborting()) {
    FSteps = 0;
    FHighLevelResult = 426;
    FErrorMessage = "426 Operation aborted.";
  } else if (FRequestResult != 0) {
    // After a failure only QUIT is left, unless it was QUIT that failed.
    if (FHighLevelResult == 0) FHighLevelResult = FRequestResult;
    FSteps = (FSteps & quit) && FStepPrv != FQuitStep ? quit : 0;
  }
  for (int step = 0; step < FStepCount; ++step) {
    const uint64_t bit = uint64_t(1) << step;
    if (!(FSteps & bit)) continue;
    FSteps &= ~bit;
    if (SkipStep(step)) continue;
    if (step == FQuitStep) {
      FLastResponseSave = FLastResponse;
      FStatusCodeSave = FStatusCode;
    }
    FStepPrv = step;
    try {
      RunStep(step);
    } catch (const Exception& E) {
      // A step refused before sending ends the chain like a failed reply.
      StepRefused(E);
      FHighLevelFlag = false;
      FRequestDoneFlag = false;
      TriggerRequestDone(FHighLevelResult ? FHighLevelResult : FRequestResult ? FRequestResult : 500);
    }
    return;
  }
  FHighLevelFlag = false;
  FRequestDoneFlag = false;
  if (!Aborting()) EnterInternalReady();
  TriggerRequestDone(FHighLevelResult);
}

std::string TRequestClient::WinsockReply(const char* Prefix, int32_t Code) {
  return std::string(Prefix) + NetSocketErrorText(Code) + " (Winsock error #" + std::to_string(Code) + ")";
}

void TRequestClient::ConnectAfterLookup(TNetSocket& Socket, uint16_t Error, const std::string& Port,
                                        const char* Prefix, bool WinsockCode) {
  if (Error != 0) {
    FLastResponse = FErrorMessage = WinsockReply(Prefix, Error);
    FStatusCode = 500;
    EnterInternalReady();
    TriggerRequestDone(WinsockCode ? Error : 500);
    return;
  }
  try {
    Socket.SetAddr(Socket.DnsResult());
    Socket.SetProto("tcp");
    Socket.SetPort(Port);
    EnterConnecting(Socket);
    Socket.Connect();
  } catch (const Exception& E) {
    FLastResponse = FErrorMessage = std::string(Prefix) + ExceptionClassName(E) + ": " + E.Message();
    FStatusCode = 500;
    EnterInternalReady();
    TriggerRequestDone(500);
  }
}

void TRequestClient::ConnectionFailed(TNetSocket& Socket, uint16_t Error, const char* Prefix) {
  FLastResponse = FErrorMessage = WinsockReply(Prefix, Error);
  FStatusCode = 500;
  EnterInternalReady();
  TriggerRequestDone(Error);
  if (Socket.State() != wsClosed) Socket.Close();
}

void TRequestClient::ReceiveLines(TNetSocket& Socket, TReplyLineBuffer& Lines) {
  char buf[4096];
  const int32_t n = Socket.Receive(buf, int32_t(sizeof buf));
  if (n <= 0) return;
  Lines.Append(buf, size_t(n));
  std::string line;
  while (Lines.NextLine(line)) HandleLine(line);
}

void TRequestClient::SendLine(TNetSocket* Socket, const std::string& Line) {
  Display("> " + Line);
  if (Socket && Socket->State() == wsConnected) Socket->SendStr(Line + "\r\n");
}

bool TRequestClient::JudgeNumberedReply(const std::vector<int32_t>& Ok) {
  Display("< " + FLastResponse);
  FStatusCode = ReplyStatus(FLastResponse).Code;
  const bool ok = Ok.empty() ? FStatusCode < 500 : std::find(Ok.begin(), Ok.end(), FStatusCode) != Ok.end();
  FRequestResult = ok ? 0 : uint16_t(FStatusCode);
  if (!ok && FErrorMessage.empty()) FErrorMessage = FLastResponse;
  return ok;
}

uint64_t TRequestClient::TickCountNow() { return TickCount64(); }

void TRequestClient::MoveDeadline(int32_t Timeout) {
  if (Timeout > 0) FDeadline = TickCount64() + uint64_t(Timeout) * 1000;
}

bool TRequestClient::WaitForRequest(int32_t Timeout) {
  for (;;) {
    if (IdleNow()) return FRequestResult == 0;
    const uint64_t now = TickCount64();
    if (MessageLoopEnding() || (Timeout > 0 && now >= FDeadline)) {
      AbortRequest();
      FErrorMessage = "426 Timeout";
      FStatusCode = 426;
      FRequestResult = 426;
      return false;
    }
    const uint64_t left = Timeout > 0 ? FDeadline - now : 1000;
    WaitForMessages(uint32_t(std::min<uint64_t>(left, 1000)));
  }
}

}  // namespace kv
