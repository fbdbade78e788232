// The request that keeps the screen awake: made to and released at a stand-in
// org.freedesktop.ScreenSaver service on a private session bus of the test's own.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/system/screen_saver_inhibit.h"
#include "platform/ui/qt_app.h"
#include "support/outside_tools.h"
#include "support/temp_files.h"

namespace kv {
namespace {

// Writes every call it serves, one per line, to the log it is given.
constexpr const char* kFakeService = R"(
import sys, dbus, dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib
DBusGMainLoop(set_as_default=True)
log = open(sys.argv[1], 'a', buffering=1)
class Saver(dbus.service.Object):
    @dbus.service.method('org.freedesktop.ScreenSaver', in_signature='ss', out_signature='u')
    def Inhibit(self, app, reason):
        log.write('Inhibit %s %s\n' % (app, reason))
        return 42
    @dbus.service.method('org.freedesktop.ScreenSaver', in_signature='u')
    def UnInhibit(self, cookie):
        log.write('UnInhibit %d\n' % cookie)
bus = dbus.SessionBus()
name = dbus.service.BusName('org.freedesktop.ScreenSaver', bus)
Saver(bus, '/org/freedesktop/ScreenSaver')
log.write('ready\n')
GLib.MainLoop().run()
)";

class ScreenSaverInhibit : public test::TTempFolderTest {
 protected:
  void SetUp() override {
    if (!test::HaveTool("dbus-daemon") || test::Run("/usr/bin/python3 -c 'import dbus, gi' 2>/dev/null") != 0)
      GTEST_SKIP() << "dbus-daemon or python3-dbus is not installed";
    test::TTempFolderTest::SetUp();
    // The bus prints its address and process number and goes to the background.
    const std::string out = test::RunCapture("dbus-daemon --session --fork --print-address=1 --print-pid=1");
    const size_t nl = out.find('\n');
    ASSERT_NE(nl, std::string::npos) << out;
    FAddress = out.substr(0, nl);
    FBusPid = pid_t(std::atoi(out.c_str() + nl + 1));
    ASSERT_GT(FBusPid, 0) << out;
    ::setenv("DBUS_SESSION_BUS_ADDRESS", FAddress.c_str(), 1);
    test::WriteText(Dir + "saver.py", kFakeService);
    FServicePid = ::fork();
    if (FServicePid == 0) {
      // Debian's own interpreter: the one with python3-dbus.
      ::execl("/usr/bin/python3", "python3", (Dir + "saver.py").c_str(), (Dir + "calls.log").c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ASSERT_TRUE(WaitForLog("ready"));
  }
  void TearDown() override {
    if (FServicePid > 0) {
      ::kill(FServicePid, SIGTERM);
      ::waitpid(FServicePid, nullptr, 0);
    }
    if (FBusPid > 0) ::kill(FBusPid, SIGTERM);
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    test::TTempFolderTest::TearDown();
  }
  std::string Log() {
    return std::filesystem::exists(Dir + "calls.log") ? test::ReadText(Dir + "calls.log") : std::string();
  }
  bool WaitForLog(const std::string& Text) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) {
      if (Log().find(Text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  std::string FAddress;
  pid_t FBusPid = -1;
  pid_t FServicePid = -1;
};

TEST_F(ScreenSaverInhibit, RequestIsMadeAndReleased) {
  EnsureQtApplication();
  {
    TScreenSaverInhibit inhibit;
    ASSERT_TRUE(inhibit.Inhibit("Kavrelin", "Diashow", 0));
    EXPECT_TRUE(inhibit.Held());
    EXPECT_EQ(inhibit.Way(), "dbus");
    EXPECT_TRUE(inhibit.Inhibit("Kavrelin", "Diashow", 0));  // held already: no second request
    EXPECT_TRUE(WaitForLog("Inhibit Kavrelin Diashow\n"));
    inhibit.Release();
    EXPECT_FALSE(inhibit.Held());
    EXPECT_TRUE(WaitForLog("UnInhibit 42\n"));
    // A holder that goes away without a word releases too (a show left by an exception).
    ASSERT_TRUE(inhibit.Inhibit("Kavrelin", "Diashow", 0));
  }
  const std::string log = Log();
  size_t n = 0;
  for (size_t at = log.find("UnInhibit 42"); at != std::string::npos; at = log.find("UnInhibit 42", at + 1)) ++n;
  EXPECT_EQ(n, 2u) << log;
  EXPECT_EQ(log.find("Inhibit Kavrelin Diashow\nInhibit Kavrelin Diashow\nUnInhibit"), std::string::npos) << log;
}

}  // namespace
}  // namespace kv
