// The real program, started as its users start it, without a display: boxes
// nobody can answer go to standard error.
#include <gtest/gtest.h>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtSvg/QSvgRenderer>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "app/startup/startup.h"
#include "platform/system/paths.h"
#include "platform/system/registry.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/instance_channel.h"
#include "platform/ui/message_window.h"
#include "platform/ui/qt_app.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

#ifdef KV_PROGRAM_DIR

namespace kv {
namespace {

class ProgramTest : public test::TTempFolderTest {
 protected:
  // The environment of a user without a display, with folders of the test's own.
  std::string Env() const {
    return "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR=" + Dir + " XDG_CONFIG_HOME=" + Dir +
           "config HOME=" + Dir + " ";
  }
  struct TResult {
    int Exit = -1;
    std::string Output;
  };
  TResult Start(const std::string& Program, const std::string& Args = "") const {
    const test::TToolRun r = test::RunTool("cd " + Dir + " && " + Env() + KV_PROGRAM_DIR + Program + " " + Args + " 2>&1");
    return {WIFEXITED(r.Status) ? WEXITSTATUS(r.Status) : -1, r.Output};
  }
};

TEST_F(ProgramTest, RunModesByName) {
  test::WriteText(Dir + "slides.ini", "SLIDESHOW Dir=\"/tmp\"\n");
  struct TCase {
    const char* Program;
    std::string Args;
    int Exit;
    std::string Says;
  };
  const TCase cases[] = {
      {"show", "", 1, std::string("File ") + KV_PROGRAM_DIR + "show.ini not found"},
      {"show", Dir + "none.ini", 1, "File " + Dir + "none.ini not found"},
      {"show", Dir + "slides.ini", 2, "Der Diashow-Spieler ist in dieser Version"},
      {"kavrelin.scr", "", 0, "The options can only be changed with Kavrelin."},
      {"kavrelin.scr", "/c", 0, "You need to create a new screen saver"},
      {"kavrelin.scr", "/s", 1, "show.ini not found"},
      {"kavrelin.scr", "/p:0", 0, ""},  // no window to preview into: ends cleanly
      {"kavrelin.scr", "/p 4711", 0, ""},
      {"kavrelin.scr", "/a:77", 0, ""},
      {"wallp", "", 2, "Der Hintergrundbildwechsler ist in dieser Version"},
  };
  for (const TCase& c : cases) {
    const TResult r = Start(c.Program, c.Args);
    EXPECT_EQ(r.Exit, c.Exit) << c.Program << ' ' << c.Args << ": " << r.Output;
    if (c.Says.empty())
      EXPECT_EQ(r.Output, "") << c.Program << ' ' << c.Args;
    else
      EXPECT_NE(r.Output.find(c.Says), std::string::npos) << c.Program << ' ' << c.Args << ": " << r.Output;
  }
}

TEST_F(ProgramTest, InitImportsSettingsAndChoosesAnExistingLanguage) {
  SetProgramFolder(Dir);
  SetRegistryFolder(Dir);
  test::WriteText(Dir + "kavrelin.reg", "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kavrelin\\3.6\\FILTER]\n\"Seperate\"=\"1\"\n");
  RunInitSwitch("fr");  // no such module: only the import
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Kavrelin\\3.6\\FILTER", false));
    EXPECT_EQ(r.ReadString("Seperate"), "1");
    EXPECT_FALSE(r.KeyExists(LanguageChoiceKey));
  }
  test::WriteText(Dir + "kavrelin.de", "");
  RunInitSwitch("de");
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(LanguageChoiceKey, false));
    EXPECT_EQ(r.ReadString(LanguageChoiceValueName()), "DE");
  }
  SetRegistryFolder("");
  SetProgramFolder("");
}

// Running, not ended and waiting to be reaped by whoever adopted it.
bool Alive(pid_t Pid) {
  if (::kill(Pid, 0) != 0) return false;
  const std::string stat = test::ReadText("/proc/" + std::to_string(Pid) + "/stat");
  const size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
}

// A running editor gets the second start's command line; the second start
// ends at once.
TEST_F(ProgramTest, SecondStartHandsOverAndEnds) {
  test::WriteText(Dir + "a.png", "");
  test::WriteText(Dir + "b c.png", "");
  const std::string log = Dir + "first.log";
  const std::string pid =
      test::RunCapture("cd " + Dir + " && " + Env() + KV_PROGRAM_DIR + "kavrelin >" + log + " 2>&1 & echo $!");
  const pid_t first = pid_t(std::stol(pid));
  const std::string socket = Dir + "kavrelin/Kavrelin.sock";
  // Ready once its message loop answers: a hand-over of the program name alone opens nothing.
  const uint64_t end = TickCount64() + 60000;
  bool ready = false;
  while (!ready && TickCount64() < end) {
    ready = SendHandOver(socket, 46459, "kavrelin", 2000).Outcome == hoAnswered;
    if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(ready) << test::ReadText(log);

  // Names relative to the second start's folder, one with a blank.
  const uint64_t start = TickCount64();
  TResult r = Start("kavrelin", "a.png \"b c.png\"");
  EXPECT_EQ(r.Exit, 0) << r.Output;
  EXPECT_LT(TickCount64() - start, 30000u);
  EXPECT_TRUE(Alive(first));  // the first one still runs

  ::kill(first, SIGTERM);
  for (int i = 0; i < 500 && Alive(first); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// The desktop's own checker judges the entry; the icon must draw something.
TEST(ProgramResources, DesktopEntryAndIconAreValid) {
  const std::string resources = std::string(KV_FIXTURES_DIR) + "/../../resources/";
  if (test::HaveTool("desktop-file-validate")) {
    const test::TToolRun r = test::RunTool("desktop-file-validate " + resources + "kavrelin.desktop 2>&1");
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(r.Output, "");
  }
  EnsureQtApplication();
  QSvgRenderer svg(QString::fromStdString(resources + "kavrelin.svg"));
  ASSERT_TRUE(svg.isValid());
  QImage img(64, 64, QImage::Format_ARGB32);
  img.fill(Qt::transparent);
  QPainter p(&img);
  svg.render(&p);
  p.end();
  EXPECT_EQ(qAlpha(img.pixel(32, 32)), 255);
  EXPECT_EQ(qAlpha(img.pixel(1, 1)), 0);  // rounded corner stays clear
}

}  // namespace
}  // namespace kv

#endif
