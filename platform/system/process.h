// Running the desktop's own command-line tools (xdg-mime, gsettings ...):
// found on PATH, started without a shell, so no argument is ever read as
// shell syntax, and waited for with a time limit, so a tool that hangs cannot
// hold the program.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

struct TProcessResult {
  bool Started = false;   // false when the program was not found or could not start
  bool TimedOut = false;  // killed at the time limit
  int32_t ExitCode = -1;  // the exit status; -1 when it ended by a signal
  std::string Output;     // standard output, at most MaxProcessOutput bytes
  bool Succeeded() const { return Started && !TimedOut && ExitCode == 0; }
};

constexpr size_t MaxProcessOutput = 1 << 20;

// Args[0] is the program (looked up on PATH unless it holds a "/"); standard
// input is empty and standard error is dropped.
TProcessResult RunProcess(const std::vector<std::string>& Args, int32_t TimeoutMs = 10000);

// Starts a program that goes on by itself (a tool window, a tray program):
// not waited for, in a session of its own, reaped when it ends. False when it
// could not be started.
bool StartDetachedProcess(const std::vector<std::string>& Args);

// The full path of a program on PATH, or "" when there is none.
std::string FindProgram(const std::string& Name);

// Hands a file or address to the desktop's opener (xdg-open), which starts
// the program the desktop associates with it; false when it could not.
bool ShellOpen(const std::string& Target);

}  // namespace kv
