// The request engine of the protocol clients (FTP, SMTP, POP3). A request is
// either one command, ended by its reply, or a chain of steps run in a fixed
// order; either way it is reported once, through a message posted to the
// client's own hidden window, so the caller's handler never runs inside the
// socket event that ended the request. The synchronous classes wait for that
// report while the message loop runs.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/ui/messages.h"

namespace kv {

class TNetSocket;
class TReplyLineBuffer;

class TRequestClient : public TComponent {
 protected:
  // StepCount: the steps are numbered 0 .. StepCount - 1 in the order they run;
  // QuitStep ends the session and still runs after a failed step.
  TRequestClient(TComponent* AOwner, int StepCount, int QuitStep);
  ~TRequestClient() override;

  // ---- what each client supplies ----
  virtual bool Aborting() const = 0;
  virtual void EnterInternalReady() = 0;  // between the steps of a chain
  virtual void EnterReady() = 0;          // the request is over
  virtual void RunStep(int Step) = 0;     // starts one step; may raise
  virtual bool SkipStep(int) { return false; }
  // A step raised before it sent anything. The chain ends with the code the
  // step gave (FRequestResult), else 500.
  virtual void StepRefused(const Exception& E) { FErrorMessage = E.Message(); }
  // Every end of a request or step, before anything else happens.
  virtual void StepEnded() {}
  // The request is over (not only a step): drop what it held.
  virtual void RequestEnding() {}
  virtual void RaiseRequestDone(uint16_t RqType, uint16_t Error) = 0;
  // Messages of the window other than the request-done report.
  virtual void HandleMessage(TMessage&) {}
  // An exception raised by the caller's handler of a window message.
  virtual void BackgroundException(const Exception& E) = 0;
  virtual void Display(const std::string& Msg) = 0;
  // The control connection is about to be made (its address and port are set).
  virtual void EnterConnecting(TNetSocket&) {}
  // One complete line from the control connection.
  virtual void HandleLine(const std::string&) {}
  // Synchronous waits: ready for the next request, and how to give up.
  virtual bool IdleNow() const = 0;
  virtual void AbortRequest() = 0;

  // ---- the engine ----
  // The part of starting a command that every command shares.
  void BeginRequest(uint16_t RqType);
  // Reports the end of the command or step in flight, once.
  void TriggerRequestDone(uint16_t Error);
  // Queues the report of the request as it stands, for callers that end it themselves.
  void PostRequestDone(uint16_t Error);
  // Starts a chain of steps (a bit per step).
  void StartSteps(uint16_t RqType, uint64_t Steps);
  void NextHighLevel();
  // The host lookup of the control connection is done: connect to Port, or end
  // the request with Prefix + the reason ("500 " or "-ERR "). A failed lookup
  // ends it with the system's error code when WinsockCode is set, else with 500.
  void ConnectAfterLookup(TNetSocket& Socket, uint16_t Error, const std::string& Port, const char* Prefix,
                          bool WinsockCode);
  // The control connection could not be made: the request ends with Error.
  void ConnectionFailed(TNetSocket& Socket, uint16_t Error, const char* Prefix);
  // Reads what has come and hands each complete line to HandleLine.
  void ReceiveLines(TNetSocket& Socket, TReplyLineBuffer& Lines);
  static std::string WinsockReply(const char* Prefix, int32_t Code);
  // "> " + Line to the display and Line + CR LF to the socket when it is connected.
  void SendLine(TNetSocket* Socket, const std::string& Line);
  // Judges a numbered reply held in FLastResponse: success when its code is
  // one of Ok (any code below 500 when Ok is empty).
  bool JudgeNumberedReply(const std::vector<int32_t>& Ok);
  // Starts a request by Start and waits for its report; Timeout in seconds
  // (0: none) measured from now or from the last MoveDeadline.
  template <typename F>
  bool Sync(F&& Start, int32_t Timeout) {
    FDeadline = TickCountNow() + uint64_t(Timeout > 0 ? Timeout : 0) * 1000;
    try {
      Start();
    } catch (const Exception& E) {
      StartRefused(E);
      return false;
    }
    return WaitForRequest(Timeout);
  }
  virtual void StartRefused(const Exception& E) { FErrorMessage = E.Message(); }
  void MoveDeadline(int32_t Timeout);
  bool WaitForRequest(int32_t Timeout);

  static uint64_t TickCountNow();

  HWND FWindowHandle = 0;
  uint16_t FRequestType = 0;
  uint16_t FRequestResult = 0;
  int32_t FStatusCode = 0;
  int32_t FStatusCodeSave = 0;
  std::string FLastResponse;
  std::string FLastResponseSave;
  std::string FErrorMessage;
  uint64_t FSteps = 0;  // the steps still to run
  int FStepPrv;         // the step that ran last, FStepCount when none
  uint16_t FHighLevelResult = 0;
  bool FHighLevelFlag = false;
  bool FRequestDoneFlag = false;
  uint64_t FDeadline = 0;

 private:
  void WndProc(TMessage& Msg);

  const int FStepCount;
  const int FQuitStep;
};

}  // namespace kv
