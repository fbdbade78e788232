// The single-instance guard: a second start of the editor hands its command
// line to the first and ends; a second screen saver never runs.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kv {

class THandOverServer;

// The tag a hand-over carries (the receiver does not check it).
constexpr uint32_t HandOverTag = 46459;
// How long a start waits for the guard, and then for the first editor's answer.
constexpr uint32_t HandOverWaitMs = 5000;

// Process-wide guard state.
struct TInstanceGuard {
  std::string Name = "Kavrelin";
  std::string ReceivedCommandLine;
  uint32_t ReceivedTag = 0;
  // Installed by the main window (anotherinstance); called after a hand-over.
  std::function<void()> Handler;
  int32_t Answer = 1;
  std::unique_ptr<THandOverServer> Server;
};
TInstanceGuard& InstanceGuard();

enum TGuardOutcome : uint8_t {
  goFirst,         // this start listens for later ones
  goHandedOver,    // the running editor took the command line: end
  goNoAnswer,      // the guard or the first editor did not answer in time: end
  goOwnEditor,     // the running editor answered 0 or less: go on without listening
  goAlreadyRunning // a screen saver runs already: end
};

// Editor start: hands CommandLine over to a running editor, or becomes the
// one that listens. A socket left by a crashed editor is replaced.
TGuardOutcome StartEditorGuard(const std::string& CommandLine);
// Screen-saver start: ends when one runs, else listens under its own name.
TGuardOutcome StartScreenSaverGuard();
// The receiving end: keeps the text (up to a zero byte) and the tag, calls
// the handler when installed, and answers.
int32_t ReceiveHandOver(uint32_t Tag, const std::string& Data);
// Stops listening and clears the guard's texts.
void StopInstanceGuard();

// The lock file and the socket of a guard name in the private runtime folder.
std::string GuardLockFile(const std::string& Name);
std::string GuardSocketFile(const std::string& Name);

}  // namespace kv
