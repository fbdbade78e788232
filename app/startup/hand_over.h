// The starting side of the single-instance guard, free of the window system:
// the small launcher `kavrelin` runs it before anything heavy is loaded, and
// the editor runs it itself when started directly.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

class TInstanceLock;

// The tag a hand-over carries (the receiver does not check it).
constexpr uint32_t HandOverTag = 46459;
// How long a start waits for the guard, and then for the first editor's answer.
constexpr uint32_t HandOverWaitMs = 5000;

// The guard's name for the editor.
inline constexpr const char* EditorGuardName = "Kavrelin";
// The editor proper, beside the launcher in the program folder.
inline constexpr const char* EditorExecutableName = "kavrelin-editor";
// The launcher, which the desktop and the run-mode links start.
inline constexpr const char* LauncherExecutableName = "kavrelin";
// Set by the launcher for the editor it starts: "own" when the running editor
// declined the command line, else the number of the inherited descriptor
// that holds the guard's lock, under which the editor is to listen.
inline constexpr const char* PassedGuardVariable = "KAVRELIN_PASSED_GUARD";
inline constexpr const char* PassedGuardOwnEditor = "own";

enum TGuardOutcome : uint8_t {
  goFirst,         // this start listens for later ones
  goHandedOver,    // the running editor took the command line: end
  goNoAnswer,      // the guard or the first editor did not answer in time: end
  goOwnEditor,     // the running editor answered 0 or less: go on without listening
  goAlreadyRunning // a screen saver runs already: end
};

// An editor only takes what is started on its own display: the guard's names
// carry the display ("@:1", "@wayland-0"), and nothing without one.
std::string DisplayGuardSuffix(const char* X11Display, const char* WaylandDisplay);
// The lock file and the socket of a guard name on this start's display, in
// the private runtime folder.
std::string GuardLockFile(const std::string& Name);
std::string GuardSocketFile(const std::string& Name);

// Takes the guard's lock and hands CommandLine to the editor listening under
// Name. goFirst when none listens: Lock is then held, and the caller listens
// before letting it go. Raises EInOutError when the runtime folder or the
// lock file cannot be used.
TGuardOutcome OfferHandOver(const std::string& Name, const std::string& CommandLine, TInstanceLock& Lock);

// The command line a start hands over: the program's own path, then the
// arguments (already made absolute) as one text.
std::string HandOverCommandLine(const std::vector<std::string>& Args);

}  // namespace kv
