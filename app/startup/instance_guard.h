// The single-instance guard: a second start of the editor hands its command
// line to the first and ends; a second screen saver never runs.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/startup/hand_over.h"

namespace kv {

class THandOverServer;

// Process-wide guard state.
struct TInstanceGuard {
  std::string Name = EditorGuardName;
  std::string ReceivedCommandLine;
  uint32_t ReceivedTag = 0;
  // Installed by the main window (anotherinstance); called after a hand-over.
  std::function<void()> Handler;
  int32_t Answer = 1;
  std::unique_ptr<THandOverServer> Server;
};
TInstanceGuard& InstanceGuard();

// Editor start: hands CommandLine over to a running editor, or becomes the
// one that listens. A socket left by a crashed editor is replaced.
TGuardOutcome StartEditorGuard(const std::string& CommandLine);
// Editor start through the launcher, which has run the guard already: true
// with the outcome when PassedGuardVariable says how it ended (listening
// under the lock it passed on), false when there is nothing usable to take
// over and the editor must guard itself. Clears the variable either way, so
// programs the editor starts never see it.
bool TakePassedGuard(TGuardOutcome& Outcome);
// Screen-saver start: ends when one runs, else listens under its own name.
TGuardOutcome StartScreenSaverGuard();
// The receiving end: keeps the text (up to a zero byte) and the tag, calls
// the handler when installed, and answers.
int32_t ReceiveHandOver(uint32_t Tag, const std::string& Data);
// Stops listening and clears the guard's texts.
void StopInstanceGuard();

}  // namespace kv
