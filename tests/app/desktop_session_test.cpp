// The real program on a real X display, driven as a user drives it: the
// display is a server the test run provides (KV_TEST_DISPLAY, Xvfb in CI),
// the keyboard and mouse are xdotool's. Without either the tests are skipped.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "support/display_session.h"
#include "support/temp_files.h"

#ifdef KV_PROGRAM_DIR

namespace kv {
namespace {

using test::NowMs;

class DesktopSession : public test::TDisplaySessionTest {
 protected:
  // Starts a program of the program folder in the test's folder; its output goes to Log.
  pid_t Start(const std::string& Program, const std::string& Args, const std::string& Log) {
    return StartCommand(std::string(KV_PROGRAM_DIR) + Program + " " + Args, Log);
  }

  // The first visible window whose title matches Pattern, once one shows;
  // empty when none has by the deadline or the program ended meanwhile.
  std::string WaitWindow(const std::string& Pattern, pid_t Pid, uint64_t TimeoutMs) {
    const uint64_t end = NowMs() + TimeoutMs;
    while (NowMs() < end) {
      std::string id = Xdo("search --onlyvisible --name '" + Pattern + "'");
      if (const size_t nl = id.find('\n'); nl != std::string::npos) id.resize(nl);
      if (!id.empty()) return id;
      if (!Running(Pid)) return {};
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
};

// The player and the screen saver with no "show.ini" to play, and the screen
// saver started for its settings (no switch, or "/c"), say so in a box and
// end with their code once it is answered; the preview and password switches
// end at once without one. No crash on the way out.
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
