#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/helpers/text_helpers.h"
#include "app/startup/instance_guard.h"
#include "app/startup/run_mode.h"
#include "app/startup/startup.h"
#include "platform/rtl/exceptions.h"
#include "platform/system/instance_client.h"
#include "platform/ui/instance_channel.h"
#include "platform/ui/message_window.h"
#include "platform/ui/qt_app.h"
#include "support/temp_files.h"
#include "support/unix_socket.h"

namespace kv {
namespace {

TEST(StartupRunMode, ByProgramName) {
  struct TCase {
    const char* Program;
    TRunModeKind Mode;
    bool Editor;
  };
  const TCase cases[] = {
      {"/opt/k/kavrelin", rmEditor, true},
      {"KAVRELIN.EXE", rmEditor, true},
      {"Kavrelin.exe", rmEditor, true},
      {"kavrelin-old", rmEditor, false},
      {"/usr/bin/show", rmSlideShow, false},
      {"SHOW.EXE", rmSlideShow, false},
      {"kavrelin.scr", rmScreenSaver, false},
      {"Slides.SCR", rmScreenSaver, false},
      {"show.scr", rmScreenSaver, false},  // the later test wins
      {"wallp", rmWallpaperChanger, false},
      {"WALLP.exe", rmWallpaperChanger, false},
      {"wallpaper", rmEditor, false},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(RunModeOfProgram(c.Program), c.Mode) << c.Program;
    EXPECT_EQ(IsEditorProgram(c.Program), c.Editor) << c.Program;
  }
}

TEST(StartupSwitches, Table) {
  struct TCase {
    std::vector<std::string> Args;
    const char* Switch;
    const char* Value;
    const char* Counting;  // letters that count
  };
  const TCase cases[] = {
      {{}, "", "", ""},
      {{"/s"}, "/S", "", "S"},
      {{"s"}, "S", "", "S"},
      {{"-c"}, "-C", "", "C"},
      {{"/p:4711"}, "/P:4711", "4711", "P"},
      {{"/p", "4711"}, "/P", "4711", "P"},
      {{"/a:12", "99"}, "/A:12", "12", "A"},
      {{"/init", "de"}, "/INIT", "DE", "I"},
      {{"/xs"}, "/XS", "", "X"},  // S stands third: it does not count
  };
  for (const TCase& c : cases) {
    const TSwitches s = ParseSwitches(c.Args);
    EXPECT_EQ(s.Switch, c.Switch);
    EXPECT_EQ(s.Value, c.Value) << c.Switch;
    EXPECT_EQ(s.HasArgument, !c.Args.empty());
    for (char letter : std::string("ACIPSX"))
      EXPECT_EQ(s.Counts(letter), std::strchr(c.Counting, letter) != nullptr) << c.Switch << ' ' << letter;
  }
}

// The main window takes the program off the handed-over line word by word.
TEST(StartupSwitches, CommandLineSplitsBackIntoItsWords) {
  const std::vector<std::string> items{"/opt/my apps/kavrelin", "a b.png", "c.png", ""};
  std::string line = JoinCommandLine(items);
  EXPECT_EQ(line, "\"/opt/my apps/kavrelin\" \"a b.png\" c.png \"\"");
  for (const std::string& item : items) EXPECT_EQ(StripQuotes(PopToken(line)), item);
}

using StartupArguments = test::TTempFolderTest;

// The editor changes into its program folder: names typed relative to the
// starting folder must still find their files.
TEST_F(StartupArguments, RelativeFileNamesBecomeAbsolute) {
  test::WriteText(Dir + "photo.jpg", "x");
  std::filesystem::create_directory(Dir + "pics");
  char* old = ::getcwd(nullptr, 0);
  ASSERT_EQ(::chdir(Dir.c_str()), 0);
  const std::vector<std::string> r =
      AbsoluteFileArguments({"photo.jpg", "pics", "missing.png", "/INIT", "-c", "/tmp", ""});
  ASSERT_EQ(::chdir(old), 0);
  std::free(old);
  const std::string here = std::filesystem::canonical(Dir).string() + "/";
  EXPECT_EQ(r, (std::vector<std::string>{here + "photo.jpg", here + "pics", "missing.png", "/INIT", "-c", "/tmp", ""}));
}

class InstanceGuardTest : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    TTempFolderTest::SetUp();
    EnsureQtApplication();
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    if (old) FOldRuntime = old;
    FHadRuntime = old != nullptr;
    ::setenv("XDG_RUNTIME_DIR", Dir.c_str(), 1);
  }
  void TearDown() override {
    StopInstanceGuard();
    if (FHadRuntime)
      ::setenv("XDG_RUNTIME_DIR", FOldRuntime.c_str(), 1);
    else
      ::unsetenv("XDG_RUNTIME_DIR");
    TTempFolderTest::TearDown();
  }
  // Lets the message loop serve the socket until Done.
  static void PumpUntil(const std::atomic<bool>& Done, uint32_t LimitMs = 10000) {
    const uint64_t end = TickCount64() + LimitMs;
    while (!Done && TickCount64() < end) WaitForMessages(10);
  }

 private:
  std::string FOldRuntime;
  bool FHadRuntime = false;
};

TEST_F(InstanceGuardTest, SecondStartHandsOverItsCommandLineOnce) {
  ASSERT_EQ(StartEditorGuard("/opt/k/kavrelin first.png"), goFirst);
  struct stat st;
  ASSERT_EQ(::stat((Dir + "kavrelin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(GuardSocketFile("Kavrelin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 077, 0u);

  std::vector<std::string> received;
  InstanceGuard().Handler = [&] { received.push_back(InstanceGuard().ReceivedCommandLine); };
  std::atomic<bool> done{false};
  TGuardOutcome second = goFirst;
  std::thread t([&] {
    second = StartEditorGuard("/opt/k/kavrelin \"a b.png\" c.png");
    done = true;
  });
  PumpUntil(done);
  t.join();
  EXPECT_EQ(second, goHandedOver);
  EXPECT_EQ(received, (std::vector<std::string>{"/opt/k/kavrelin \"a b.png\" c.png"}));
  EXPECT_EQ(InstanceGuard().ReceivedTag, HandOverTag);

  // An answer of 0 lets the second start go on as an editor of its own.
  InstanceGuard().Answer = 0;
  done = false;
  t = std::thread([&] {
    second = StartEditorGuard("/opt/k/kavrelin");
    done = true;
  });
  PumpUntil(done);
  t.join();
  InstanceGuard().Answer = 1;
  EXPECT_EQ(second, goOwnEditor);
}

TEST(StartupGuardNames, CarryTheDisplay) {
  EXPECT_EQ(DisplayGuardSuffix(nullptr, nullptr), "");
  EXPECT_EQ(DisplayGuardSuffix("", ""), "");
  EXPECT_EQ(DisplayGuardSuffix(":1", nullptr), "@:1");
  EXPECT_EQ(DisplayGuardSuffix(":1.0", "wayland-0"), "@:1");  // the screen is not another display
  EXPECT_EQ(DisplayGuardSuffix("host.example:10.0", nullptr), "@host.example:10");
  EXPECT_EQ(DisplayGuardSuffix(nullptr, "wayland-0"), "@wayland-0");
  EXPECT_EQ(DisplayGuardSuffix("/tmp/launch-x/org.x:0", nullptr), "@_tmp_launch-x_org.x:0");
}

// An editor on one display never receives what is started on another.
TEST_F(InstanceGuardTest, HandOverNeverCrossesDisplays) {
  const char* old = std::getenv("DISPLAY");
  const std::string oldDisplay = old ? old : "";
  ::setenv("DISPLAY", ":7", 1);
  ASSERT_EQ(StartEditorGuard("/opt/k/kavrelin"), goFirst);
  std::vector<std::string> received;
  InstanceGuard().Handler = [&] { received.push_back(InstanceGuard().ReceivedCommandLine); };
  auto offer = [&](const char* Display) {
    ::setenv("DISPLAY", Display, 1);
    std::atomic<bool> done{false};
    TGuardOutcome outcome = goNoAnswer;
    std::thread t([&] {
      TInstanceLock lock;
      outcome = OfferHandOver(EditorGuardName, "/opt/k/kavrelin x.png", lock);
      done = true;
    });
    PumpUntil(done);
    t.join();
    return outcome;
  };
  EXPECT_EQ(offer(":8"), goFirst);  // another display: nobody listens there
  EXPECT_TRUE(received.empty());
  EXPECT_EQ(offer(":7.0"), goHandedOver);
  EXPECT_EQ(received.size(), 1u);
  if (old)
    ::setenv("DISPLAY", oldDisplay.c_str(), 1);
  else
    ::unsetenv("DISPLAY");
}

TEST_F(InstanceGuardTest, TextEndsAtAZeroByteAndWithoutHandlerIsKept) {
  EXPECT_EQ(ReceiveHandOver(7, std::string("kavrelin x.png\0junk", 19)), 1);
  EXPECT_EQ(InstanceGuard().ReceivedCommandLine, "kavrelin x.png");
  EXPECT_EQ(InstanceGuard().ReceivedTag, 7u);
}

TEST_F(InstanceGuardTest, StaleSocketOfACrashedEditorIsReplaced) {
  // A socket file nobody listens on, as a killed editor leaves it.
  const std::string path = GuardSocketFile("Kavrelin");
  const int fd = test::BindUnixSocket(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ASSERT_FALSE(ListenerAlive(path));

  const uint64_t start = TickCount64();
  EXPECT_EQ(StartEditorGuard("kavrelin"), goFirst);
  EXPECT_LT(TickCount64() - start, 1000u);
  EXPECT_TRUE(ListenerAlive(path));
  StopInstanceGuard();
  EXPECT_FALSE(ListenerAlive(path));
  EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

TEST_F(InstanceGuardTest, BusyFirstEditorGetsNothingAfterTheWait) {
  // The first editor listens but is still starting: it never answers.
  const std::string path = GuardSocketFile("Kavrelin");
  const int fd = test::BindUnixSocket(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  const uint64_t start = TickCount64();
  EXPECT_EQ(StartEditorGuard("kavrelin a.png"), goNoAnswer);
  const uint64_t waited = TickCount64() - start;
  EXPECT_GE(waited, HandOverWaitMs - 50);
  EXPECT_LT(waited, HandOverWaitMs + 2000);
  ::close(fd);
}

// A peer that sends its whole record and then closes its sending side still
// has it handed on and answered; a record cut short by the close is dropped.
TEST_F(InstanceGuardTest, RecordFollowedByTheEndOfSendingCounts) {
  std::vector<std::string> got;
  THandOverServer server([&](uint32_t, const std::string& Data) {
    got.push_back(Data);
    return int32_t(42);
  });
  server.Listen(Dir + "half.sock");
  for (bool whole : {true, false}) {
    sockaddr_un addr;
    ASSERT_TRUE(MakeSocketAddress(Dir + "half.sock", addr));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    const std::string data = "kavrelin a.png";
    const uint32_t head[2] = {HandOverTag, uint32_t(data.size() + (whole ? 0 : 5))};
    std::string record(reinterpret_cast<const char*>(head), 8);
    record += data;
    ASSERT_EQ(::send(fd, record.data(), record.size(), MSG_NOSIGNAL), ssize_t(record.size()));
    ::shutdown(fd, SHUT_WR);
    std::atomic<bool> done{false};
    int32_t answer = 0;
    ssize_t n = -1;
    std::thread t([&] {
      n = ::recv(fd, &answer, sizeof answer, MSG_WAITALL);
      done = true;
    });
    PumpUntil(done);
    t.join();
    ::close(fd);
    if (whole) {
      EXPECT_EQ(n, 4);
      EXPECT_EQ(answer, 42);
    } else {
      EXPECT_EQ(n, 0);  // closed without an answer
    }
  }
  EXPECT_EQ(got, std::vector<std::string>{"kavrelin a.png"});
}

TEST_F(InstanceGuardTest, PeerOfAnotherUserIsRefused) {
  EXPECT_TRUE(HandOverAllowed(1000, 1000));
  EXPECT_FALSE(HandOverAllowed(1001, 1000));
  EXPECT_FALSE(HandOverAllowed(0, 1000));

  // A listener that admits another uid only: our own connection counts as a stranger's.
  int calls = 0;
  THandOverServer server([&](uint32_t, const std::string&) { return ++calls; }, ::getuid() + 1);
  server.Listen(Dir + "strange.sock");
  std::atomic<bool> done{false};
  THandOverResult r;
  std::thread t([&] {
    r = SendHandOver(Dir + "strange.sock", HandOverTag, "kavrelin evil.png", 3000);
    done = true;
  });
  PumpUntil(done);
  t.join();
  EXPECT_EQ(r.Outcome, hoNoAnswer);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(server.Refused(), 1);
}

// The launcher has found no editor and passes its lock on across exec: the
// editor listens under it, then lets it go.
TEST_F(InstanceGuardTest, PassedLockIsListenedUnderAndThenLetGo) {
  TInstanceLock launcher;
  ASSERT_TRUE(launcher.Acquire(GuardLockFile(EditorGuardName), 0));
  const int fd = launcher.PassOn();
  ASSERT_GE(fd, 0);
  EXPECT_FALSE(launcher.Held());
  EXPECT_EQ(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);  // survives exec
  ::setenv(PassedGuardVariable, std::to_string(fd).c_str(), 1);
  TGuardOutcome outcome = goNoAnswer;
  ASSERT_TRUE(TakePassedGuard(outcome));
  EXPECT_EQ(outcome, goFirst);
  EXPECT_EQ(std::getenv(PassedGuardVariable), nullptr);
  EXPECT_TRUE(ListenerAlive(GuardSocketFile(EditorGuardName)));
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);  // closed with the lock
  TInstanceLock later;
  EXPECT_TRUE(later.Acquire(GuardLockFile(EditorGuardName), 0));
}

// Only the lock itself is taken over; anything else leaves the editor to
// guard itself, and the variable is gone either way.
TEST_F(InstanceGuardTest, PassedGuardThatIsNotTheLockIsIgnored) {
  const std::string lockFile = GuardLockFile(EditorGuardName);
  TInstanceLock holder;  // another start holds the lock meanwhile
  ASSERT_TRUE(holder.Acquire(lockFile, 0));
  const int sameFile = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
  const int otherFile = ::open((Dir + "other").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  for (const std::string& value : {std::string("junk"), std::string("-1"), std::string("9999"),
                                   std::to_string(sameFile), std::to_string(otherFile)}) {
    ::setenv(PassedGuardVariable, value.c_str(), 1);
    TGuardOutcome outcome = goNoAnswer;
    EXPECT_FALSE(TakePassedGuard(outcome)) << value;
    EXPECT_EQ(std::getenv(PassedGuardVariable), nullptr) << value;
    EXPECT_FALSE(ListenerAlive(GuardSocketFile(EditorGuardName))) << value;
  }
  ::close(sameFile);
  ::close(otherFile);
  // The running editor declined the command line: an editor of its own, not listening.
  ::setenv(PassedGuardVariable, PassedGuardOwnEditor, 1);
  TGuardOutcome outcome = goFirst;
  EXPECT_TRUE(TakePassedGuard(outcome));
  EXPECT_EQ(outcome, goOwnEditor);
  EXPECT_EQ(std::getenv(PassedGuardVariable), nullptr);
}

TEST_F(InstanceGuardTest, SecondScreenSaverNeverRuns) {
  EXPECT_EQ(StartScreenSaverGuard(), goFirst);
  EXPECT_EQ(InstanceGuard().Name, "KavrelinScreenSaver");
  EXPECT_EQ(StartScreenSaverGuard(), goAlreadyRunning);
}

TEST_F(InstanceGuardTest, RuntimeFolderOpenToOthersIsMadePrivate) {
  ASSERT_EQ(::mkdir((Dir + "kavrelin").c_str(), 0777), 0);
  ::chmod((Dir + "kavrelin").c_str(), 0777);
  PrivateRuntimeFolder();
  struct stat st;
  ASSERT_EQ(::stat((Dir + "kavrelin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A link planted in its place is not followed.
  std::filesystem::remove(Dir + "kavrelin");
  std::filesystem::create_directory_symlink(Dir, Dir + "kavrelin");
  EXPECT_THROW(PrivateRuntimeFolder(), EInOutError);
}

}  // namespace
}  // namespace kv
