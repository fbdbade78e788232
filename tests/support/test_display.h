// The real X display of the tests that drive shown windows (KV_TEST_DISPLAY,
// an Xvfb in CI). Keys go to whichever window has the focus, so those tests
// take the display one at a time; the server's own lock file is the lock.
// A key whose window vanished on its press is never released by xdotool and
// repeats for the next test, so the holder starts and ends with every key up.
#pragma once
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace kv::test {

class TTestDisplayLock {
 public:
  // Waits until no other test holds Display (":n" or ":n.s").
  explicit TTestDisplayLock(const std::string& Display) {
    const std::string number = Display.substr(Display.find(':') + 1);
    FLock = ::open(("/tmp/.X" + number.substr(0, number.find('.')) + "-lock").c_str(), O_RDONLY | O_CLOEXEC);
    if (FLock >= 0) ::flock(FLock, LOCK_EX);
    FDisplay = Display;
    ReleaseKeys();
  }
  ~TTestDisplayLock() {
    ReleaseKeys();
    if (FLock >= 0) ::close(FLock);
  }
  TTestDisplayLock(const TTestDisplayLock&) = delete;
  TTestDisplayLock& operator=(const TTestDisplayLock&) = delete;

 private:
  void ReleaseKeys() const {
    const std::string command = "DISPLAY=" + FDisplay +
                                " xdotool keyup Escape Return space Tab Up Down Left Right Shift_L Shift_R Control_L "
                                "Control_R Alt_L Alt_R Super_L >/dev/null 2>&1";
    [[maybe_unused]] const int status = std::system(command.c_str());
  }
  std::string FDisplay;
  int FLock = -1;
};

}  // namespace kv::test
