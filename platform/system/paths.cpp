#include "platform/system/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/rtl/file_utils.h"

namespace kv {

namespace {

std::mutex GMutex;
std::string GProgramFolder;  // override; empty: the executable's folder
std::vector<std::string> GArgs;

std::string ExecutablePath() {
  std::vector<char> buf(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return {};
    if (size_t(n) < buf.size()) return std::string(buf.data(), size_t(n));
    if (buf.size() >= 65536) return {};
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

std::string ProgramFolder() {
  {
    std::lock_guard<std::mutex> lock(GMutex);
    if (!GProgramFolder.empty()) return GProgramFolder;
  }
  const std::string exe = ExecutablePath();
  const size_t slash = exe.rfind('/');
  return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

void SetProgramFolder(const std::string& Folder) {
  std::lock_guard<std::mutex> lock(GMutex);
  GProgramFolder = Folder.empty() ? Folder : IncludeTrailingPathDelimiter(Folder);
}

void SetCommandLine(int Argc, const char* const* Argv) {
  std::lock_guard<std::mutex> lock(GMutex);
  GArgs.clear();
  for (int i = 1; i < Argc && Argv; ++i) GArgs.emplace_back(Argv[i] ? Argv[i] : "");
}

int32_t ParamCount() {
  std::lock_guard<std::mutex> lock(GMutex);
  return int32_t(GArgs.size());
}

std::string ParamStr(int32_t Index) {
  if (Index == 0) return ExecutablePath();
  std::lock_guard<std::mutex> lock(GMutex);
  if (Index < 0 || size_t(Index) > GArgs.size()) return {};
  return GArgs[size_t(Index) - 1];
}

std::string ConfigFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // A relative XDG_CONFIG_HOME is to be ignored, as the XDG base directory rules say.
  if (xdg && xdg[0] == '/') return IncludeTrailingPathDelimiter(xdg) + "kavrelin/";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && h[0] == '/') {
    home = h;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  }
  if (home.empty()) home = "/tmp";
  return IncludeTrailingPathDelimiter(home) + ".config/kavrelin/";
}

}  // namespace kv
