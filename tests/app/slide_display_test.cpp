// The player and the wallpaper changer on a real X display (KV_TEST_DISPLAY,
// Xvfb in CI), started by their names as users start them: the show fills
// the screen and ends on Escape; the changer sets the wallpaper from
// "wallp.ini" through the desktop's gsettings. Skipped without a display.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "app/tools/tool_files.h"
#include "platform/graphics/bitmap.h"
#include "support/bitmap_patterns.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"
#include "support/test_display.h"

#ifdef KV_PROGRAM_DIR

namespace kv {
namespace {

uint64_t NowMs() {
  return uint64_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now().time_since_epoch())
                      .count());
}

class SlideDisplay : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    const char* display = std::getenv("KV_TEST_DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no test display (KV_TEST_DISPLAY is not set)";
    if (!test::HaveTool("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    Display = display;
    FDisplayLock.emplace(Display);
    test::TTempFolderTest::SetUp();
    std::filesystem::create_directories(Dir + "pics");
    for (int i = 0; i < 2; ++i) {
      TBitmap b(64, 48, pf24bit);
      test::FillFlat24(b, TBGRPixel{uint8_t(i * 200), 80, uint8_t(200 - i * 200)});
      SaveToolPicture(Dir + "pics/" + std::to_string(i) + ".png", b);
    }
  }
  void TearDown() override {
    if (FPid > 0 && ::kill(FPid, 0) == 0) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, nullptr, 0);
    }
    FDisplayLock.reset();
    test::TTempFolderTest::TearDown();
  }
  void Start(const std::string& Program, const std::string& Args) {
    const std::string command = "cd " + Dir + " && exec env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=" + Display +
                                " PATH=" + Dir + "bin:" + std::getenv("PATH") + " XDG_RUNTIME_DIR=" + Dir +
                                " XDG_CONFIG_HOME=" + Dir + "config XDG_DATA_HOME=" + Dir + "data HOME=" + Dir + " " +
                                KV_PROGRAM_DIR + Program + " " + Args + " >" + Dir + "log 2>&1";
    FPid = ::fork();
    if (FPid == 0) {
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }
  std::optional<int> WaitExit(uint64_t TimeoutMs) {
    const uint64_t end = NowMs() + TimeoutMs;
    while (NowMs() < end) {
      int status = 0;
      if (::waitpid(FPid, &status, WNOHANG) == FPid) {
        FPid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
  }
  std::string Xdo(const std::string& Args) const {
    return test::RunCapture("DISPLAY=" + Display + " xdotool " + Args + " 2>/dev/null");
  }
  // Waits for Check to hold, up to the deadline.
  bool WaitFor(const std::function<bool()>& Check, uint64_t TimeoutMs) {
    const uint64_t end = NowMs() + TimeoutMs;
    while (NowMs() < end) {
      if (Check()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  std::string Display;
  std::optional<test::TTestDisplayLock> FDisplayLock;
  pid_t FPid = -1;
};

TEST_F(SlideDisplay, ShowFillsTheScreenAndEndsOnEscape) {
  test::WriteText(Dir + "slides.ini", "SLIDESHOW Interval=1.00000000 forever=1 Effects=0 Canvasmode=0 SourceMode=1 Dir=\"" +
                                          Dir + "pics\"\n");
  Start("show", Dir + "slides.ini");
  // The show's window is made anew when it loses its border on the way to
  // full screen, so every check looks the window up again by its name.
  const auto windows = [&] {
    std::vector<std::string> ids;
    std::istringstream lines(Xdo("search --onlyvisible --name '^Diashow$'"));
    for (std::string id; std::getline(lines, id);)
      if (!id.empty()) ids.push_back(id);
    return ids;
  };
  const std::string screen = Xdo("getdisplaygeometry");
  const std::string full = "Geometry: " + screen.substr(0, screen.find(' ')) + "x";
  std::string window;
  EXPECT_TRUE(WaitFor(
      [&] {
        for (const std::string& id : windows())
          if (Xdo("getwindowgeometry " + id).find(full) != std::string::npos) {
            window = id;
            return true;
          }
        return false;
      },
      60000))
      << "no full-screen show window; screen " << screen << "\n" << test::ReadText(Dir + "log");
  ASSERT_FALSE(WaitExit(300).has_value()) << "the show ended before Escape\n" << test::ReadText(Dir + "log");
  // Escape is pressed until the show takes it; a loaded machine may take long
  // for the first key to reach the window.
  std::optional<int> exit;
  const uint64_t end = NowMs() + 90000;
  while (!exit && NowMs() < end) {
    for (const std::string& id : windows()) {
      Xdo("windowfocus " + id);
      Xdo("key --window " + id + " Escape");
    }
    exit = WaitExit(500);
  }
  ASSERT_TRUE(exit.has_value()) << "the show did not end on Escape; its state: "
                                << test::ReadText("/proc/" + std::to_string(FPid) + "/wchan") << " "
                                << test::RunCapture("grep State /proc/" + std::to_string(FPid) + "/status")
                                << " windows: " << windows().size() << "\n"
                                << test::ReadText(Dir + "log");
  EXPECT_EQ(*exit, 0) << test::ReadText(Dir + "log");
}

// Started by the screen saver as one of its modules, with the show installed for the user.
TEST_F(SlideDisplay, ScreenSaverModuleShowsTheInstalledShow) {
  std::filesystem::create_directories(Dir + "data/kavrelin");
  test::WriteText(Dir + "data/kavrelin/show.ini", "SLIDESHOW Interval=1.00000000 forever=1 Effects=0 Canvasmode=0 "
                                                  "SourceMode=1 Dir=\"" + Dir + "pics\"\n");
  Start("kavrelin.scr", "-root");
  EXPECT_TRUE(WaitFor([&] { return !Xdo("search --onlyvisible --name '^Diashow$'").empty(); }, 60000))
      << test::ReadText(Dir + "log");
}

TEST_F(SlideDisplay, WallpaperChangerSetsTheFirstPicture) {
  std::filesystem::create_directories(Dir + "bin");
  test::WriteText(Dir + "bin/gsettings", "#!/bin/sh\necho \"$@\" >> \"" + Dir + "gsettings.log\"\n");
  ::chmod((Dir + "bin/gsettings").c_str(), 0755);
  std::filesystem::create_directories(Dir + "data/kavrelin");
  test::WriteText(Dir + "data/kavrelin/wallp.ini", "SlideShow Interval=60.00000000 SourceMode=1 Dir=\"" + Dir + "pics\"\n");
  Start("wallp", "");
  EXPECT_TRUE(WaitFor(
      [&] {
        return std::filesystem::exists(Dir + "gsettings.log") &&
               test::ReadText(Dir + "gsettings.log").find("picture-uri file://" + Dir + "data/kavrelin/wallp.bmp") !=
                   std::string::npos;
      },
      60000))
      << test::ReadText(Dir + "log");
  EXPECT_TRUE(std::filesystem::exists(Dir + "data/kavrelin/wallp.bmp"));
}

}  // namespace
}  // namespace kv

#endif
