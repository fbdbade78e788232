// The player and the wallpaper changer on a real X display (KV_TEST_DISPLAY,
// Xvfb in CI), started by their names as users start them: the show fills
// the screen and ends on Escape; the changer sets the wallpaper from
// "wallp.ini" through the desktop's gsettings, with its icon in a tray panel
// or, without one, no icon at all. Skipped without a display.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <vector>

#include "app/tools/tool_files.h"
#include "platform/graphics/bitmap.h"
#include "support/bitmap_patterns.h"
#include "support/display_session.h"
#include "support/temp_files.h"

#ifdef KV_PROGRAM_DIR

namespace kv {
namespace {

using test::NowMs;

class SlideDisplay : public test::TDisplaySessionTest {
 protected:
  void SetUp() override {
    test::TDisplaySessionTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    std::filesystem::create_directories(Dir + "pics");
    for (int i = 0; i < 2; ++i) {
      TBitmap b(64, 48, pf24bit);
      test::FillFlat24(b, TBGRPixel{uint8_t(i * 200), 80, uint8_t(200 - i * 200)});
      SaveToolPicture(Dir + "pics/" + std::to_string(i) + ".png", b);
    }
  }
  // The program of the test; its output goes to "log" in the test folder.
  void Start(const std::string& Program, const std::string& Args) {
    FPid = StartCommand(std::string(KV_PROGRAM_DIR) + Program + " " + Args, Dir + "log");
  }
  std::optional<int> WaitExit(uint64_t TimeoutMs) { return TDisplaySessionTest::WaitExit(FPid, TimeoutMs); }
  // The changer's show in the user's data folder, and a gsettings of the
  // test's own that notes what the changer asks of the desktop.
  void InstallWallpaperShow() {
    std::filesystem::create_directories(Dir + "bin");
    test::WriteText(Dir + "bin/gsettings", "#!/bin/sh\necho \"$@\" >> \"" + Dir + "gsettings.log\"\n");
    ::chmod((Dir + "bin/gsettings").c_str(), 0755);
    std::filesystem::create_directories(Dir + "data/kavrelin");
    test::WriteText(Dir + "data/kavrelin/wallp.ini",
                    "SlideShow Interval=60.00000000 SourceMode=1 Dir=\"" + Dir + "pics\"\n");
  }
  bool WallpaperSet() const {
    return std::filesystem::exists(Dir + "gsettings.log") &&
           test::ReadText(Dir + "gsettings.log").find("picture-uri file://" + Dir + "data/kavrelin/wallp.bmp") !=
               std::string::npos;
  }
  pid_t FPid = -1;
};

TEST_F(SlideDisplay, ShowFillsTheScreenAndEndsOnEscape) {
  test::WriteText(Dir + "slides.ini", "SLIDESHOW Interval=1.00000000 forever=1 Effects=0 Canvasmode=0 SourceMode=1 Dir=\"" +
                                          Dir + "pics\"\n");
  Start("show", Dir + "slides.ini");
  // Every check looks the show's window up again by its name rather than
  // keeping an id that may have gone.
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
  ASSERT_TRUE(Running(FPid)) << "the show ended before Escape\n" << test::ReadText(Dir + "log");
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
  InstallWallpaperShow();
  Start("wallp", "");
  EXPECT_TRUE(WaitFor([&] { return WallpaperSet(); }, 60000)) << test::ReadText(Dir + "log");
  EXPECT_TRUE(std::filesystem::exists(Dir + "data/kavrelin/wallp.bmp"));
}

// A bare X server has no notification area: the changer goes on changing
// the wallpaper without its icon, shows no window and says nothing of it.
TEST_F(SlideDisplay, WallpaperChangerRunsOnWithoutATray) {
  // No notification area reached over the session bus either.
  ExtraEnv = "-u DBUS_SESSION_BUS_ADDRESS";
  InstallWallpaperShow();
  Start("wallp", "");
  ASSERT_TRUE(WaitFor([&] { return WallpaperSet(); }, 60000)) << test::ReadText(Dir + "log");
  EXPECT_TRUE(Running(FPid));
  EXPECT_EQ(Xdo("search --onlyvisible --pid " + std::to_string(FPid)), "");
  EXPECT_EQ(test::ReadText(Dir + "log"), "");
}

// With a notification area (a tray panel from the system's packages) the
// icon docks into it; a click opens the changer's menu, and its last entry,
// "Exit", ends the changer.
TEST_F(SlideDisplay, TrayIconOpensTheChangersMenu) {
  if (!test::HaveTool("trayer")) GTEST_SKIP() << "trayer is not installed";
  ExtraEnv = "-u DBUS_SESSION_BUS_ADDRESS";
  const pid_t tray = StartCommand("trayer --edge top --align left --widthtype pixel --width 96 --height 32 "
                                  "--SetDockType false --SetPartialStrut false --expand false", Dir + "tray.log");
  ASSERT_TRUE(WaitFor([&] { return !Xdo("search --onlyvisible --pid " + std::to_string(tray)).empty(); }, 60000))
      << test::ReadText(Dir + "tray.log");
  InstallWallpaperShow();
  Start("wallp", "");
  auto windows = [&] {
    std::vector<std::string> ids;
    std::istringstream in(Xdo("search --onlyvisible --pid " + std::to_string(FPid)));
    for (std::string id; std::getline(in, id);)
      if (!id.empty()) ids.push_back(id);
    return ids;
  };
  std::vector<std::string> shown;
  ASSERT_TRUE(WaitFor([&] { return !(shown = windows()).empty(); }, 60000)) << test::ReadText(Dir + "log");
  ASSERT_EQ(shown.size(), 1u);
  const std::string icon = shown[0];
  ASSERT_TRUE(WaitFor([&] { return WallpaperSet(); }, 60000)) << test::ReadText(Dir + "log");

  // A click on the icon opens the menu: a second window of the changer.
  std::string menu;
  ASSERT_TRUE(WaitFor(
      [&] {
        Xdo("mousemove --window " + icon + " 4 4 click 1");
        for (int i = 0; i < 20 && menu.empty(); ++i) {
          for (const std::string& id : windows())
            if (id != icon) menu = id;
          if (menu.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return !menu.empty();
      },
      60000))
      << test::ReadText(Dir + "log");
  const std::string geometry = Xdo("getwindowgeometry --shell " + menu);
  auto field = [&](const std::string& Name) {
    const size_t at = geometry.find(Name + "=");
    return at == std::string::npos ? 0 : std::atoi(geometry.c_str() + at + Name.size() + 1);
  };
  ASSERT_GT(field("HEIGHT"), 40) << geometry;
  // "Exit" is the bottom entry.
  std::optional<int> exit;
  const uint64_t end = NowMs() + 60000;
  while (!exit && NowMs() < end) {
    Xdo("mousemove --sync " + std::to_string(field("X") + field("WIDTH") / 2) + " " +
        std::to_string(field("Y") + field("HEIGHT") - 10) + " click 1");
    exit = WaitExit(1000);
  }
  ASSERT_TRUE(exit.has_value()) << "\"Exit\" did not end the changer; " << test::ReadText(Dir + "log");
  EXPECT_EQ(*exit, 0) << test::ReadText(Dir + "log");
}

}  // namespace
}  // namespace kv

#endif
