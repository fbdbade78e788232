// The real program on a real X display, driven as a user drives it: the
// display is a server the test run provides (KV_TEST_DISPLAY, Xvfb in CI),
// the keyboard and mouse are xdotool's. Without either the tests are skipped.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/outside_tools.h"
#include "support/temp_files.h"
#include "support/test_display.h"

#ifdef KV_PROGRAM_DIR

namespace kv {
namespace {

// Exit status of a program killed by a signal, as a shell reports it.
constexpr int kKilled = -1;

uint64_t NowMs() {
  return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

class DesktopSession : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    const char* display = std::getenv("KV_TEST_DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no test display (KV_TEST_DISPLAY is not set)";
    if (!test::HaveTool("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    Display = display;
    FDisplayLock.emplace(Display);
    test::TTempFolderTest::SetUp();
  }
  void TearDown() override {
    for (pid_t p : FStarted)
      if (::kill(p, 0) == 0) {
        ::kill(p, SIGKILL);
        ::waitpid(p, nullptr, 0);
      }
    FDisplayLock.reset();  // lets the next test have the display
    test::TTempFolderTest::TearDown();
  }

  // A user of their own on the test display, with folders of the test's own.
  std::string Env() const {
    return "env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=" + Display + " XDG_RUNTIME_DIR=" + Dir +
           " XDG_CONFIG_HOME=" + Dir + "config XDG_DATA_HOME=" + Dir + "data HOME=" + Dir + " ";
  }

  // Starts a program of the program folder in the test's folder; its output goes to Log.
  pid_t Start(const std::string& Program, const std::string& Args, const std::string& Log) {
    const std::string command =
        "cd " + Dir + " && exec " + Env() + KV_PROGRAM_DIR + Program + " " + Args + " >" + Log + " 2>&1";
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
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

  std::string Xdo(const std::string& Args) const {
    return test::RunCapture("DISPLAY=" + Display + " xdotool " + Args + " 2>/dev/null");
  }

  // The first visible window whose title matches Pattern, once one shows;
  // empty when none has by the deadline or the program ended meanwhile.
  std::string WaitWindow(const std::string& Pattern, pid_t Pid, uint64_t TimeoutMs) {
    const uint64_t end = NowMs() + TimeoutMs;
    while (NowMs() < end) {
      std::string id = Xdo("search --onlyvisible --name '" + Pattern + "'");
      if (const size_t nl = id.find('\n'); nl != std::string::npos) id.resize(nl);
      if (!id.empty()) return id;
      siginfo_t info{};
      if (::waitid(P_PID, id_t(Pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == Pid) return {};
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return {};
  }

  bool AnswerDialogWithEscape(const std::string& Window) { return PressUntilGone(Window, "Escape"); }
  bool AnswerBox(const std::string& Window) { return PressUntilGone(Window, "Return"); }

  // Presses a key in a dialog, as the user does after clicking into it. A
  // dialog just mapped may not take the key yet: it is pressed again until
  // the dialog is gone.
  bool PressUntilGone(const std::string& Window, const std::string& Key) {
    const uint64_t end = NowMs() + 30000;
    while (NowMs() < end) {
      // Given the focus, as a click would; the key goes where the focus is.
      Xdo("windowfocus --sync " + Window);
      Xdo("key --clearmodifiers " + Key);
      for (int i = 0; i < 20; ++i) {
        if (("\n" + Xdo("search --onlyvisible --name '.'")).find("\n" + Window + "\n") == std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
    }
    return false;
  }

  std::string Display;

 private:
  std::vector<pid_t> FStarted;
  std::optional<test::TTestDisplayLock> FDisplayLock;
};

// Every run mode without its window yet says so in a box and ends with its
// code once the box is answered: no crash on the way out.
TEST_F(DesktopSession, RunModesEndWithTheirCodeAfterTheirBox) {
  struct TCase {
    const char* Program;
    std::string Args;
    bool Box;
    int Exit;
  };
  const TCase cases[] = {
      {"show", "", true, 1},
      {"kavrelin.scr", "", true, 0},
      {"kavrelin.scr", "/c", true, 0},
      {"kavrelin.scr", "/s", true, 1},
      {"kavrelin.scr", "/p:0", false, 0},
      {"kavrelin.scr", "/a:77", false, 0},
  };
  for (const TCase& c : cases) {
    const std::string what = std::string(c.Program) + " " + c.Args;
    const std::string log = Dir + "mode.log";
    const pid_t pid = Start(c.Program, c.Args, log);
    ASSERT_GT(pid, 0);
    if (c.Box) {
      const std::string box = WaitWindow("^Error", pid, 60000);
      ASSERT_FALSE(box.empty()) << what << ": no box; " << test::ReadText(log);
      EXPECT_TRUE(AnswerBox(box)) << what;
    }
    const std::optional<int> exit = WaitExit(pid, 60000);
    ASSERT_TRUE(exit.has_value()) << what << " still runs";
    EXPECT_EQ(*exit, c.Exit) << what << ": " << test::ReadText(log);
  }
}

// After any box of a session, quitting ends the editor with 0.
TEST_F(DesktopSession, QuitAfterAMessageBoxEndsCleanly) {
  test::WriteText(Dir + "broken.png", "not a picture");
  test::WriteText(Dir + "quit.atp", "QUIT\r\n");
  const std::string log = Dir + "editor.log";
  const pid_t editor = Start("kavrelin", "broken.png", log);
  ASSERT_GT(editor, 0);
  const std::string box = WaitWindow("^Error", editor, 60000);
  ASSERT_FALSE(box.empty()) << test::ReadText(log);
  ASSERT_TRUE(AnswerBox(box));
  // The second start on this display hands its batch over; the batch quits.
  const pid_t second = Start("kavrelin", "quit.atp", Dir + "second.log");
  const std::optional<int> handed = WaitExit(second, 60000);
  ASSERT_TRUE(handed.has_value());
  EXPECT_EQ(*handed, 0) << test::ReadText(Dir + "second.log");
  const std::optional<int> exit = WaitExit(editor, 60000);
  ASSERT_TRUE(exit.has_value()) << "the editor did not quit";
  EXPECT_EQ(*exit, 0) << test::ReadText(log);
}

// The first speed button of a new user's bar opens a picture: a click on it
// brings up the open dialog, as the menu entry does.
TEST_F(DesktopSession, SpeedButtonClickRunsItsAction) {
  test::WriteText(Dir + "quit.atp", "QUIT\r\n");
  const std::string log = Dir + "editor.log";
  const pid_t editor = Start("kavrelin", "", log);
  ASSERT_GT(editor, 0);
  const std::string main = WaitWindow("^Kavrelin$", editor, 60000);
  ASSERT_FALSE(main.empty()) << test::ReadText(log);
  // Where the window is; the bar lies below the menu bar, "Öffnen" first.
  const std::string geometry = Xdo("getwindowgeometry --shell " + main);
  auto field = [&](const std::string& Name) {
    const size_t at = geometry.find(Name + "=");
    return at == std::string::npos ? 0 : std::atoi(geometry.c_str() + at + Name.size() + 1);
  };
  std::string dialog;
  // The welcome window may still be settling: the click is repeated until it took.
  for (int attempt = 0; attempt < 5 && dialog.empty(); ++attempt) {
    Xdo("mousemove --sync " + std::to_string(field("X") + 20) + " " + std::to_string(field("Y") + 32) + " click 1");
    dialog = WaitWindow("^Öffnen$", editor, 5000);
  }
  ASSERT_FALSE(dialog.empty()) << "the speed button did not open the dialog; " << test::ReadText(log);
  ASSERT_TRUE(AnswerDialogWithEscape(dialog));
  const pid_t second = Start("kavrelin", "quit.atp", Dir + "second.log");
  ASSERT_EQ(WaitExit(second, 60000), std::optional<int>(0));
  EXPECT_EQ(WaitExit(editor, 60000), std::optional<int>(0)) << test::ReadText(log);
}

}  // namespace
}  // namespace kv

#endif  // KV_PROGRAM_DIR
