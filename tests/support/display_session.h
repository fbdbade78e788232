// What the tests that drive programs on the real X display share: the
// display (KV_TEST_DISPLAY, an Xvfb in CI) taken for the test alone, a user
// of the test's own with its folders in the test folder, programs started
// there and killed at the end however the test ends, xdotool, and waiting
// with deadlines in place of fixed sleeps. Without a display or xdotool the
// test is skipped.
#pragma once
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/outside_tools.h"
#include "support/temp_files.h"
#include "support/test_display.h"

namespace kv::test {

inline uint64_t NowMs() {
  return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

class TDisplaySessionTest : public TTempFolderTest {
 protected:
  // Exit status of a program killed by a signal, as a shell reports it.
  static constexpr int kKilled = -1;

  void SetUp() override {
    const char* display = std::getenv("KV_TEST_DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no test display (KV_TEST_DISPLAY is not set)";
    if (!HaveTool("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    Display = display;
    FDisplayLock.emplace(Display);
    TTempFolderTest::SetUp();
  }
  void TearDown() override {
    for (pid_t p : FStarted)
      if (::kill(p, 0) == 0) {
        ::kill(p, SIGKILL);
        ::waitpid(p, nullptr, 0);
      }
    FStarted.clear();
    FDisplayLock.reset();  // lets the next test have the display
    TTempFolderTest::TearDown();
  }

  // A user of their own on the test display, with folders of the test's own;
  // programs in the test folder's "bin" come before the others.
  std::string Env() const {
    return "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + ExtraEnv + " DISPLAY=" + Display + " PATH=" + Dir +
           "bin:" + std::getenv("PATH") + " XDG_RUNTIME_DIR=" + Dir + " XDG_CONFIG_HOME=" + Dir +
           "config XDG_DATA_HOME=" + Dir + "data HOME=" + Dir + " ";
  }

  // Starts Command (a program and its arguments) in the test folder as that
  // user; its output goes to Log.
  pid_t StartCommand(const std::string& Command, const std::string& Log) {
    const std::string shell = "cd " + Dir + " && exec " + Env() + Command + " >" + Log + " 2>&1";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl("/bin/sh", "sh", "-c", shell.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    if (pid > 0) FStarted.push_back(pid);
    return pid;
  }

  // The exit code once the program has ended, kKilled after a signal (a
  // crash), or nothing when it still runs at the deadline.
  std::optional<int> WaitExit(pid_t Pid, uint64_t TimeoutMs) {
    const uint64_t end = NowMs() + TimeoutMs;
    for (;;) {
      int status = 0;
      const pid_t r = ::waitpid(Pid, &status, WNOHANG);
      if (r == Pid) {
        std::erase(FStarted, Pid);
        if (WIFEXITED(status)) return WEXITSTATUS(status);
        return kKilled;
      }
      if (NowMs() >= end) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  // True while Pid runs (it is not reaped here).
  static bool Running(pid_t Pid) {
    siginfo_t info{};
    return !(::waitid(P_PID, id_t(Pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == Pid);
  }

  std::string Xdo(const std::string& Args) const {
    return RunCapture("DISPLAY=" + Display + " xdotool " + Args + " 2>/dev/null");
  }

  // Waits for Check to hold, up to the deadline.
  static bool WaitFor(const std::function<bool()>& Check, uint64_t TimeoutMs) {
    const uint64_t end = NowMs() + TimeoutMs;
    while (NowMs() < end) {
      if (Check()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  std::string Display;
  std::string ExtraEnv;  // more of Env(): "-u NAME" or "NAME=value" items

 private:
  std::vector<pid_t> FStarted;
  std::optional<TTestDisplayLock> FDisplayLock;
};

}  // namespace kv::test
