// The real program, started as its users start it, without a display: boxes
// nobody can answer go to standard error.
#include <gtest/gtest.h>
#include <QtGui/QImage>
#include <QtGui/QPainter>
#include <QtSvg/QSvgRenderer>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/batch/batch_escapes.h"
#include "app/startup/hand_over.h"
#include "app/startup/startup.h"
#include "platform/rtl/file_utils.h"
#include "platform/system/paths.h"
#include "platform/system/registry.h"
#include "platform/system/registry_hive.h"
#include "platform/ui/instance_channel.h"
#include "platform/ui/message_window.h"
#include "platform/ui/qt_app.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"
#include "support/unix_socket.h"

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
      {"show", Dir + "slides.ini", 0, "No files selected"},  // the show names no pictures
      {"kavrelin.scr", "", 0, "The options can only be changed with Kavrelin."},
      {"kavrelin.scr", "/c", 0, "You need to create a new screen saver"},
      {"kavrelin.scr", "/s", 1, "show.ini not found"},
      {"kavrelin.scr", "/p:0", 0, ""},  // no window to preview into: ends cleanly
      {"kavrelin.scr", "/p 4711", 0, ""},
      {"kavrelin.scr", "/a:77", 0, ""},
      {"wallp", "", 1, "Der Hintergrundbildwechsler findet keine Diashow"},
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

// Batch lines as the recorder writes them.
void WriteBatch(const std::string& FileName, const std::vector<std::string>& Lines) {
  std::string text;
  for (const std::string& l : Lines) text += EscapeBatchLine(l) + "\r\n";
  test::WriteText(FileName, text);
}

// Width, height and the colour of one pixel as ImageMagick reads the file.
std::string Identify(const std::string& FileName) {
  return test::RunCapture("identify -format '%w %h %[fx:int(255*p{1,1}.r)],%[fx:int(255*p{1,1}.g)],%[fx:int(255*p{1,1}.b)]' '" +
                          FileName + "' 2>&1");
}

// A batch named on the command line makes, edits and saves pictures, then quits the editor.
TEST_F(ProgramTest, BatchFromTheCommandLineSavesPicturesAndQuits) {
  if (!test::HaveTool("identify")) GTEST_SKIP() << "ImageMagick is not installed";
  const std::string out = Dir + "out/";
  std::filesystem::create_directory(out);
  WriteBatch(Dir + "job.atp", {
                                  "NEWIMAGE Width=64 Height=48 vwidth=0 vheight=0 FillColor=255",
                                  "SAVEAS FileName=\"" + out + "red.png\"",
                                  "RESIZE Width=32 Height=24 vwidth=0 vheight=0",
                                  "SAVEAS FileName=\"" + out + "small.bmp\"",
                                  "SAVEAS FileName=\"" + out + "small.jpg\"",
                                  "CLOSE",
                                  "OPEN FileName=\"" + out + "red.png\"",
                                  "SAVEAS FileName=\"" + out + "copy.tif\"",
                                  "QUIT",
                              });
  const TResult r = Start("kavrelin", "job.atp");
  EXPECT_EQ(r.Exit, 0) << r.Output;
  EXPECT_EQ(Identify(out + "red.png"), "64 48 255,0,0");
  EXPECT_EQ(Identify(out + "small.bmp"), "32 24 255,0,0");
  EXPECT_EQ(Identify(out + "copy.tif"), "64 48 255,0,0");
  const std::string jpg = Identify(out + "small.jpg");
  EXPECT_EQ(jpg.substr(0, 6), "32 24 ") << jpg;
}

// Damaged shipped settings: the first start still runs, says why it goes on
// with the defaults, and a batch named on its command line does its work.
TEST_F(ProgramTest, DamagedShippedSettingsDoNotStopTheFirstStart) {
  const std::string prog = Dir + "prog/";
  std::filesystem::create_directory(prog);
  for (const char* name : {LauncherExecutableName, EditorExecutableName})
    std::filesystem::copy_file(std::string(KV_PROGRAM_DIR) + name, prog + name);
  test::WriteText(prog + "kavrelin.reg",
                  "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kavrelin\\3.6\\FILTER]\n\"Seperate\"=hux:zz\n");
  WriteBatch(Dir + "job.atp", {"NEWIMAGE Width=8 Height=6 vwidth=0 vheight=0 FillColor=255",
                               "SAVEAS FileName=\"" + Dir + "out.bmp\"", "QUIT"});
  const test::TToolRun run = test::RunTool("cd " + Dir + " && " + Env() + prog + "kavrelin job.atp 2>&1");
  EXPECT_TRUE(WIFEXITED(run.Status) && WEXITSTATUS(run.Status) == 0) << run.Output;
  EXPECT_NE(run.Output.find("Die mitgelieferten Einstellungen konnten nicht gelesen werden"), std::string::npos)
      << run.Output;
  EXPECT_TRUE(FileExists(Dir + "out.bmp")) << run.Output;
}

// Without a display nobody would see the editor: a start with pictures, or
// none, says so and ends at once, through the launcher or not.
TEST_F(ProgramTest, InteractiveStartWithoutADisplayEndsAtOnce) {
  test::WriteText(Dir + "pic.png", "x");
  for (const char* program : {"kavrelin", "kavrelin-editor"})
    for (const char* args : {"", "pic.png"}) {
      const uint64_t start = TickCount64();
      const TResult r = Start(program, args);
      EXPECT_EQ(r.Exit, 1) << program << ' ' << args << ": " << r.Output;
      EXPECT_NE(r.Output.find("Kein Bildschirm, auf dem der Editor erscheinen kann"), std::string::npos) << r.Output;
      EXPECT_LT(TickCount64() - start, 20000u) << program << ' ' << args;
    }
}

// A batch runs without a display and the editor ends with it, QUIT or not;
// a file that did not open leaves nothing in the recent-file list.
TEST_F(ProgramTest, BatchWithoutADisplayEndsWhenTheBatchEnds) {
  test::WriteText(Dir + "broken.png", "not a picture");
  WriteBatch(Dir + "job.atp", {"OPEN FileName=\"" + Dir + "sub/../broken.png\"",
                               "NEWIMAGE Width=8 Height=6 vwidth=0 vheight=0 FillColor=255",
                               "SAVEAS FileName=\"" + Dir + "made.bmp\""});
  ::mkdir((Dir + "sub").c_str(), 0700);
  const TResult r = Start("kavrelin", "job.atp");
  EXPECT_EQ(r.Exit, 0) << r.Output;
  EXPECT_TRUE(FileExists(Dir + "made.bmp")) << r.Output;
  // The box of the failed open went to standard error, with the tidied name.
  EXPECT_NE(r.Output.find(Dir + "broken.png"), std::string::npos) << r.Output;
  const std::string settings = test::ReadText(Dir + "config/kavrelin/HKEY_CURRENT_USER.reg");
  EXPECT_EQ(settings.find("broken.png"), std::string::npos) << settings;
  EXPECT_NE(settings.find("made.bmp"), std::string::npos) << settings;
}

// A running editor gets the second start's command line and opens both
// files; the second start ends at once.
TEST_F(ProgramTest, SecondStartHandsOverAndEnds) {
  if (!test::HaveTool("convert")) GTEST_SKIP() << "ImageMagick is not installed";
  ASSERT_EQ(test::Run("convert -size 10x8 xc:blue " + Dir + "a.png && convert -size 12x6 xc:lime '" + Dir + "b c.png'"), 0);
  // A socket file nobody listens on, as a killed editor leaves it: the new
  // editor, started through the launcher, replaces it.
  const std::string socket = Dir + "kavrelin/Kavrelin.sock";
  ASSERT_EQ(::mkdir((Dir + "kavrelin").c_str(), 0700), 0);
  {
    const int fd = test::BindUnixSocket(socket);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  const std::string log = Dir + "first.log";
  // Offscreen on purpose: without any display an editor of its own would not start.
  const std::string pid = test::RunCapture("cd " + Dir + " && " + Env() + "QT_QPA_PLATFORM=offscreen " +
                                           KV_PROGRAM_DIR + "kavrelin >" + log + " 2>&1 & echo $!");
  const pid_t first = pid_t(std::stol(pid));
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

  // What the first editor has open shows in what it saves.
  WriteBatch(Dir + "save.atp", {"SAVEAS FileName=\"" + Dir + "b_copy.bmp\"", "CLOSE",
                                "SAVEAS FileName=\"" + Dir + "a_copy.bmp\"", "QUIT"});
  r = Start("kavrelin", Dir + "save.atp");
  EXPECT_EQ(r.Exit, 0) << r.Output;
  for (int i = 0; i < 3000 && Alive(first); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const bool ended = !Alive(first);
  if (!ended) ::kill(first, SIGTERM);
  EXPECT_TRUE(ended) << test::ReadText(log);
  if (test::HaveTool("identify")) {
    // The sizes tell which file each window held.
    EXPECT_EQ(Identify(Dir + "a_copy.bmp").substr(0, 5), "10 8 ");
    EXPECT_EQ(Identify(Dir + "b_copy.bmp").substr(0, 5), "12 6 ");
  }
}

// The shared libraries an executable asks for, as readelf reads its dynamic section.
std::set<std::string> NeededLibraries(const std::string& FileName) {
  std::set<std::string> r;
  std::istringstream lines(test::RunCapture("readelf -d '" + FileName + "' 2>&1"));
  for (std::string line; std::getline(lines, line);) {
    const size_t open = line.find("(NEEDED)");
    const size_t from = line.find('[', open);
    const size_t to = line.find(']', from);
    if (open != std::string::npos && from != std::string::npos && to != std::string::npos)
      r.insert(line.substr(from + 1, to - from - 1));
  }
  return r;
}

// The launcher hands over before the window system, the codecs and the rest
// are loaded: it asks for the C and C++ runtimes only.
TEST(ProgramLauncher, LinksNothingButTheRuntimes) {
  if (!test::HaveTool("readelf")) GTEST_SKIP() << "readelf is not installed";
  const std::set<std::string> launcher = NeededLibraries(std::string(KV_PROGRAM_DIR) + LauncherExecutableName);
  ASSERT_FALSE(launcher.empty());
  for (const std::string& lib : launcher) {
    const std::string stem = lib.substr(0, lib.find(".so"));
    EXPECT_TRUE(std::set<std::string>({"libc", "libm", "libstdc++", "libgcc_s", "libpthread", "libdl", "librt",
                                       "ld-linux-x86-64", "ld-linux-aarch64"})
                    .count(stem))
        << lib;
  }
  // The editor proper is what loads them.
  const std::set<std::string> editor = NeededLibraries(std::string(KV_PROGRAM_DIR) + EditorExecutableName);
  EXPECT_TRUE(editor.count("libQt6Core.so.6")) << editor.size();
}

// The launcher alone in a program folder, with a stand-in for the editor
// that tells how it was started, and a listener of the test's own.
class LauncherTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    Dir = std::filesystem::canonical(Dir).string() + "/";
    Bin = Dir + "bin/";
    std::filesystem::create_directory(Bin);
    std::filesystem::copy_file(std::string(KV_PROGRAM_DIR) + LauncherExecutableName, Bin + "kavrelin");
    std::filesystem::create_symlink("kavrelin", Bin + "show");
    std::filesystem::copy_file(KV_EDITOR_STANDIN, Bin + EditorExecutableName);
    ASSERT_EQ(::mkdir((Dir + "kavrelin").c_str(), 0700), 0);
    EnsureQtApplication();
  }
  // Starts Command while the message loop serves the listener, if any.
  TResult StartServed(const std::string& Command) {
    TResult r;
    std::atomic<bool> done{false};
    std::thread t([&] {
      // A window platform of its own, as on a desktop: the launcher then starts editors.
      const test::TToolRun run =
          test::RunTool("cd " + Dir + " && " + Env() + "QT_QPA_PLATFORM=offscreen " + Command + " 2>&1");
      r = {WIFEXITED(run.Status) ? WEXITSTATUS(run.Status) : -1, run.Output};
      done = true;
    });
    const uint64_t end = TickCount64() + 60000;
    while (!done && TickCount64() < end) WaitForMessages(10);
    t.join();
    return r;
  }
  std::string Bin;
};

TEST_F(LauncherTest, StartsTheEditorWithItsArgumentsAndPassesTheLockOn) {
  test::WriteText(Dir + "a.png", "");
  // No editor runs: the stand-in gets argv as given and the held lock.
  TResult r = StartServed(Bin + "kavrelin a.png -x");
  EXPECT_EQ(r.Exit, 0) << r.Output;
  const std::string head = Bin + "kavrelin|a.png -x|";
  ASSERT_EQ(r.Output.substr(0, head.size()), head) << r.Output;
  EXPECT_NE(r.Output.find("\nopen\nheld\n"), std::string::npos) << r.Output;

  // Another run mode keeps its name and gets no guard, whatever the caller had set.
  r = StartServed(std::string(PassedGuardVariable) + "=own " + Bin + "show x.ini");
  EXPECT_EQ(r.Output, Bin + "show|x.ini|\n") << r.Output;

  // A running editor that declines makes the stand-in an editor of its own.
  int32_t answer = 0;
  std::vector<std::string> received;
  THandOverServer server(
      [&](uint32_t, const std::string& Data) {
        received.push_back(Data);
        return answer;
      });
  server.Listen(Dir + "kavrelin/Kavrelin.sock");
  r = StartServed(Bin + "kavrelin a.png");
  EXPECT_EQ(r.Output, Bin + "kavrelin|a.png|own\n") << r.Output;

  // One that takes it: the launcher ends, the editor is never started.
  answer = 1;
  test::WriteText(Dir + "b c.png", "");
  r = StartServed(Bin + "kavrelin a.png \"b c.png\" missing.png");
  EXPECT_EQ(r.Exit, 0);
  EXPECT_EQ(r.Output, "");
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1], Bin + "kavrelin " + Dir + "a.png \"" + Dir + "b c.png\" missing.png");
}

TEST_F(LauncherTest, MissingEditorIsSaid) {
  std::filesystem::remove(Bin + EditorExecutableName);
  const TResult r = StartServed(Bin + "kavrelin");
  EXPECT_EQ(r.Exit, 1);
  EXPECT_NE(r.Output.find("cannot start " + Bin + EditorExecutableName), std::string::npos) << r.Output;
}

// Started without the launcher, the editor guards itself, and hands over
// under the launcher's name.
TEST_F(LauncherTest, EditorStartedDirectlyStillHandsOver) {
  test::WriteText(Dir + "a.png", "");
  std::vector<std::string> received;
  THandOverServer server([&](uint32_t, const std::string& Data) {
    received.push_back(Data);
    return 1;
  });
  server.Listen(Dir + "kavrelin/Kavrelin.sock");
  const TResult r = StartServed(std::string(KV_PROGRAM_DIR) + EditorExecutableName + " a.png");
  EXPECT_EQ(r.Exit, 0) << r.Output;
  const std::string program = std::filesystem::canonical(std::string(KV_PROGRAM_DIR) + LauncherExecutableName).string();
  EXPECT_EQ(received, (std::vector<std::string>{program + " " + Dir + "a.png"}));
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
