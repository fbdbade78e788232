// Stands in for the editor behind the launcher: prints how it was started
// (argv[0], the arguments, the passed guard) and whether the passed
// descriptor is open and the editor's lock is held.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  std::string args;
  for (int i = 1; i < argc; ++i) args += (i > 1 ? " " : "") + std::string(argv[i]);
  const char* passed = std::getenv("KAVRELIN_PASSED_GUARD");
  std::printf("%s|%s|%s\n", argc > 0 ? argv[0] : "", args.c_str(), passed ? passed : "");
  const bool number = passed && *passed && passed[std::strspn(passed, "0123456789")] == 0;
  if (number && ::fcntl(std::atoi(passed), F_GETFD) >= 0) std::puts("open");
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string lock = std::string(runtime ? runtime : "/nonexistent") + "/kavrelin/Kavrelin.lock";
  const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) std::puts("held");
  if (fd >= 0) ::close(fd);
  return 0;
}
