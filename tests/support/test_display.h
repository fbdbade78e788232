// The real X display of the tests that drive shown windows (KV_TEST_DISPLAY,
// an Xvfb in CI). Keys go to whichever window has the focus, so those tests
// take the display one at a time; the server's own lock file is the lock.
#pragma once
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

namespace kv::test {

class TTestDisplayLock {
 public:
  // Waits until no other test holds Display (":n" or ":n.s").
  explicit TTestDisplayLock(const std::string& Display) {
    const std::string number = Display.substr(Display.find(':') + 1);
    FLock = ::open(("/tmp/.X" + number.substr(0, number.find('.')) + "-lock").c_str(), O_RDONLY | O_CLOEXEC);
    if (FLock >= 0) ::flock(FLock, LOCK_EX);
  }
  ~TTestDisplayLock() {
    if (FLock >= 0) ::close(FLock);
  }
  TTestDisplayLock(const TTestDisplayLock&) = delete;
  TTestDisplayLock& operator=(const TTestDisplayLock&) = delete;

 private:
  int FLock = -1;
};

}  // namespace kv::test
