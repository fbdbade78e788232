#include "platform/system/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>

extern char** environ;

namespace kv {

std::string FindProgram(const std::string& Name) {
  if (Name.empty()) return {};
  auto executable = [](const std::string& P) {
    struct stat st {};
    return ::stat(P.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(P.c_str(), X_OK) == 0;
  };
  if (Name.find('/') != std::string::npos) return executable(Name) ? Name : std::string();
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t pos = 0;
  while (pos <= dirs.size()) {
    size_t end = dirs.find(':', pos);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(pos, end - pos);
    if (dir.empty()) dir = ".";
    const std::string full = dir + "/" + Name;
    if (executable(full)) return full;
    pos = end + 1;
  }
  return {};
}

TProcessResult RunProcess(const std::vector<std::string>& Args, int32_t TimeoutMs) {
  TProcessResult r;
  if (Args.empty()) return r;
  const std::string program = FindProgram(Args[0]);
  if (program.empty()) return r;
  int pipefd[2];
  if (::pipe2(pipefd, O_CLOEXEC) != 0) return r;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipefd[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipefd[1]);
  if (rc != 0) {
    ::close(pipefd[0]);
    return r;
  }
  r.Started = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  char buf[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      r.TimedOut = true;
      break;
    }
    pollfd p{pipefd[0], POLLIN, 0};
    const int n = ::poll(&p, 1, int(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) continue;  // the deadline is checked above
    const ssize_t got = ::read(pipefd[0], buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // end of output
    if (r.Output.size() < MaxProcessOutput)
      r.Output.append(buf, std::min(size_t(got), MaxProcessOutput - r.Output.size()));
  }
  ::close(pipefd[0]);
  if (r.TimedOut) ::kill(pid, SIGKILL);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!r.TimedOut && WIFEXITED(status)) r.ExitCode = WEXITSTATUS(status);
  return r;
}

bool ShellOpen(const std::string& Target) { return RunProcess({"xdg-open", Target}, 10000).Succeeded(); }

bool StartDetachedProcess(const std::vector<std::string>& Args) {
  if (Args.empty()) return false;
  const std::string program = Args[0].find('/') != std::string::npos ? Args[0] : FindProgram(Args[0]);
  if (program.empty()) return false;
  std::vector<char*> argv;
  for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // A middle child that ends at once leaves the program to init, so no zombie waits on us.
  const pid_t middle = ::fork();
  if (middle < 0) return false;
  if (middle == 0) {
    ::setsid();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    ::_exit(rc == 0 ? 0 : 1);
  }
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace kv
